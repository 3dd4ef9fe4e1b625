// One OID question answered from a device ticket through the table of the
// device's kind: get (mode 0) stores the text at the row's XPath, or at the
// first alternate that has one; get-next (mode 1) answers the row's next OID
// and writes it into the request ("Invalid" when the chain ends).
#pragma once

#include "bidi/BidiRequest.h"

#include <string>

namespace MPrint {

class DeviceTicket;
class OIDMapperFactory;
class OIDObject;

enum OIDRequestMode : DWORD { OIDGet = 0, OIDGetNext = 1 };

// 1 the LEDM table, 2 the legacy table, anything else null. Both tables are
// process-wide and made on first use.
OIDMapperFactory* getOIDMapperFactory(DWORD kind);

bool executeOIDRequest(OIDObject* object, DWORD mode, const std::string& oid, BidiRequest* request,
                       DeviceTicket* ticket);
bool executeOIDGet(OIDObject* object, BidiRequest* request, DeviceTicket* ticket);
bool executeOIDGetNext(OIDObject* object, BidiRequest* request, DeviceTicket* ticket);

} // namespace MPrint
