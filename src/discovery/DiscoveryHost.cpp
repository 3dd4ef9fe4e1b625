#include "discovery/DiscoveryHost.h"

#include <atomic>

namespace MPrint {

namespace {

DiscoveryHost baseHost;
std::atomic<DiscoveryHost*> installed{nullptr};

} // namespace

bool DiscoveryHost::getCurrentPrinterName(std::wstring&)
{
    return false;
}

bool DiscoveryHost::isJobDeliveryEnabled(const std::wstring&, const PrintPath&)
{
    return false;
}

DiscoveryHost& DiscoveryHost::current()
{
    DiscoveryHost* host = installed.load();
    return host ? *host : baseHost;
}

void DiscoveryHost::set(DiscoveryHost* host)
{
    installed = host;
}

} // namespace MPrint
