#include "tickets/DeviceTicketFactory.h"

#include "tickets/DeviceTicketLEDM.h"
#include "tickets/DeviceTicketLELegacy.h"
#include "tickets/LEDMResourceFetch.h"
#include "tickets/XMLTreeLibrary.h"

#include <new>

namespace MPrint {

void DeviceTicketFactory::create(const std::wstring& host, DeviceTicket** ticket)
{
    if (!ticket || host.empty())
        return;
    *ticket = nullptr;
    if (ledmProbeDiscoveryTree(host.c_str())) {
        *ticket = new (std::nothrow) DeviceTicketLEDM();
        return;
    }
    XMLTreeLibrary* library = XMLTreeLibrary::instance();
    if (!library)
        return;
    if (library->deviceTypeOf(host.c_str(), nullptr) == 1)
        *ticket = new (std::nothrow) DeviceTicketLEDM();
    else
        *ticket = new (std::nothrow) DeviceTicketLELegacy();
}

} // namespace MPrint
