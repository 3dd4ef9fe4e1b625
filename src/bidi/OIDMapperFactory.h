// An OID table: OID text (compared byte by byte) to a prototype row. The
// table is filled once, by the first GetMapper of the process, and never
// changes after; filling is done once even when threads ask at the same
// time. The base table answers the model name from
// "/ProductInformation/ProductName".
#pragma once

#include "bidi/OIDMapper.h"

#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace MPrint {

class OIDMapperFactory {
public:
    OIDMapperFactory() = default;
    virtual ~OIDMapperFactory();
    OIDMapperFactory(const OIDMapperFactory&) = delete;
    OIDMapperFactory& operator=(const OIDMapperFactory&) = delete;

    // A new copy of the row (the caller deletes it), or null.
    virtual OIDMapper* GetMapper(const std::string& oid);
    virtual void Populate(const std::string& oid);

    size_t size() const { return mappers_.size(); }
    // The table's keys in OID order.
    std::vector<std::string> keys() const;

protected:
    // Adds (or replaces) a row; returns it so alternates can be added.
    OIDMapper& add(const std::string& oid, DWORD type, DWORD flags, const std::wstring& xpath,
                   const std::string& nextOID, OIDConverter converter = nullptr);
    void deleteAllMappers();

private:
    std::once_flag populated_;
    std::map<std::string, std::unique_ptr<OIDMapper>> mappers_;
};

} // namespace MPrint
