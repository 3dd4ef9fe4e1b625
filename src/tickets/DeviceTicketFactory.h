// Makes the device ticket that fits a host: LEDM when it answers the LEDM
// probe or the device-data module calls it an LEDM device, legacy for any
// other device the module knows. The ticket is returned unopened; the caller
// opens it with the same host and deletes it.
#pragma once

#include "tickets/DeviceTicket.h"

namespace MPrint {

class DeviceTicketFactory {
public:
    virtual ~DeviceTicketFactory() = default;
    // Nothing happens for a null output or an empty host; otherwise *ticket
    // is the new ticket or null.
    static void create(const std::wstring& host, DeviceTicket** ticket);
};

} // namespace MPrint
