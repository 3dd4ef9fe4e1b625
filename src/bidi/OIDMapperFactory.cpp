#include "bidi/OIDMapperFactory.h"

#include <new>

namespace MPrint {

OIDMapperFactory::~OIDMapperFactory() { deleteAllMappers(); }

void OIDMapperFactory::deleteAllMappers() { mappers_.clear(); }

OIDMapper& OIDMapperFactory::add(const std::string& oid, DWORD type, DWORD flags, const std::wstring& xpath,
                                 const std::string& nextOID, OIDConverter converter)
{
    std::unique_ptr<OIDMapper>& row = mappers_[oid];
    row = std::make_unique<OIDMapper>(type, flags, xpath, nextOID, converter);
    return *row;
}

void OIDMapperFactory::Populate(const std::string&)
{
    add("1.3.6.1.2.1.25.3.2.1.3.1", BidiText, 1, L"/ProductInformation/ProductName", kInvalidOID);
    add("1.3.6.1.4.1.11.2.3.9.1.1.7.0", BidiText, 1, L"/ProductInformation/ProductName", kInvalidOID);
}

OIDMapper* OIDMapperFactory::GetMapper(const std::string& oid)
{
    try {
        std::call_once(populated_, [this, &oid] { Populate(oid); });
    } catch (...) {
        return nullptr;
    }
    const auto found = mappers_.find(oid);
    return found == mappers_.end() ? nullptr : new (std::nothrow) OIDMapper(*found->second);
}

std::vector<std::string> OIDMapperFactory::keys() const
{
    std::vector<std::string> result;
    for (const auto& entry : mappers_)
        result.push_back(entry.first);
    return result;
}

} // namespace MPrint
