// The OID table of legacy devices: the base rows, then rows over the trees
// "/ProductInformation", "/PaperHandling" and "/Phx", and over the "/PMLTree"
// subtree that the PDL and tray converters build from them on demand.
#pragma once

#include "bidi/OIDMapperFactory.h"

namespace MPrint {

class OIDKRVMapperFactory : public OIDMapperFactory {
public:
    // The process's one table, made on first use.
    static OIDKRVMapperFactory& instance();
    void Populate(const std::string& oid) override;
};

// Converters of the interpreter and tray column prefixes: they write
// "/PMLTree/pdl[i]" or "/PMLTree/tray[i]" records into the ticket. With
// flags 1 a subtree already written makes them refuse, so a column prefix
// answers once per connection.
bool answerPDLQuery(const std::string& oid, BidiRequest* request, DeviceTicket* ticket, DWORD flags);
bool answerTrayQuery(const std::string& oid, BidiRequest* request, DeviceTicket* ticket, DWORD flags);

} // namespace MPrint
