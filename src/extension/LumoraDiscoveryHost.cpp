#include "extension/LumoraDiscoveryHost.h"

#include "destination/DestinationContext.h"
#include "extension/LumoraPrintingExtension.h"

namespace {

LumoraDiscoveryHost host;

} // namespace

bool LumoraDiscoveryHost::getCurrentPrinterName(std::wstring& name)
{
    LumoraPrintingExtension* extension = LumoraPrintingExtension::current();
    MPrint::DestinationContext* context = extension ? extension->getDestinationContext() : nullptr;
    if (!context)
        return false;
    name = context->getPrinterName();
    return true;
}

void LumoraDiscoveryHost::install()
{
    MPrint::DiscoveryHost::set(&host);
}

void LumoraDiscoveryHost::uninstall()
{
    if (&MPrint::DiscoveryHost::current() == &host)
        MPrint::DiscoveryHost::set(nullptr);
}
