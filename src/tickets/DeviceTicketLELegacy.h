// A device ticket for legacy devices: every tree comes from the device-data
// module by its root name.
#pragma once

#include "tickets/DeviceTicket.h"

namespace MPrint {

class DeviceTicketLELegacy : public DeviceTicket {
public:
    DeviceTicketLELegacy() = default;
    ~DeviceTicketLELegacy() override;

    const wchar_t* const* getTreeNames(DWORD& count) override;
};

} // namespace MPrint
