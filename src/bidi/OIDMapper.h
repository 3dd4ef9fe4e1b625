// One row of an OID table: how the text at an XPath of the device ticket
// answers an OID. Taking an alternate XPath consumes it, so the engine works
// on a copy of a row, never on the table's own.
#pragma once

#include "bidi/BidiRequest.h"

#include <deque>
#include <string>

namespace MPrint {

class DeviceTicket;

// Prepares the ticket for a row (the requested OID, the request, the ticket,
// the row's flags); false means the OID cannot be answered.
using OIDConverter = bool (*)(const std::string& oid, BidiRequest* request, DeviceTicket* ticket, DWORD flags);

class OIDMapper {
public:
    OIDMapper(DWORD type, DWORD flags, std::wstring xpath, std::string nextOID, OIDConverter converter = nullptr);
    OIDMapper(const OIDMapper& other) = default;
    OIDMapper& operator=(const OIDMapper& other) = default;
    virtual ~OIDMapper() = default;

    void addAlternateXPath(const std::wstring& xpath);
    // Takes the first alternate out of the list; false when none is left.
    bool nextAlternateXPath(std::wstring& xpath);

    DWORD type;
    DWORD flags;  // the ticket's use-cached flag for this row
    std::wstring xpath;
    std::string nextOID;
    OIDConverter converter;
    std::deque<std::wstring> alternateXPaths;
};

} // namespace MPrint
