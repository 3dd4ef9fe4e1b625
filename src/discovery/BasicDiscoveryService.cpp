#include "discovery/BasicDiscoveryService.h"

namespace MPrint {

bool BasicDiscoveryService::IsEnabled()
{
    return enabled_;
}

uint32_t BasicDiscoveryService::SetEnabled(bool enabled)
{
    enabled_ = enabled;
    return 0;
}

uint32_t BasicDiscoveryService::Execute(void*)
{
    return 0;
}

uint32_t BasicDiscoveryService::Start()
{
    if (started_)
        return 0;
    if (!enabled_)
        return kNotStarted;
    started_ = true;
    return 0;
}

uint32_t BasicDiscoveryService::IsRunning()
{
    return started_ ? 1 : 0;
}

uint32_t BasicDiscoveryService::Stop()
{
    started_ = false;
    return 0;
}

} // namespace MPrint
