// The enabled and started flags every built-in discovery service keeps:
// Start refuses (kNotStarted) while the service is disabled, Stop only
// clears the flag, Execute does nothing.
#pragma once

#include "discovery/DiscoveryServiceIntf.h"

namespace MPrint {

class BasicDiscoveryService : public DiscoveryServiceIntf {
public:
    bool IsEnabled() override;
    uint32_t SetEnabled(bool enabled) override;
    uint32_t Execute(void* argument) override;
    uint32_t Start() override;
    uint32_t IsRunning() override;
    uint32_t Stop() override;

private:
    bool enabled_ = false;
    bool started_ = false;
};

} // namespace MPrint
