// The OID table of LEDM devices: 102 rows over the LEDM trees, each
// revision-1 XPath with its revision-2 alternate where the trees differ.
#pragma once

#include "bidi/OIDMapperFactory.h"

namespace MPrint {

class OIDLEDMMapperFactory : public OIDMapperFactory {
public:
    // The process's one table, made on first use.
    static OIDLEDMMapperFactory& instance();
    void Populate(const std::string& oid) override;
};

} // namespace MPrint
