// Configures every path with one fixed device, without asking anything.
// ConfigurePrintPath always answers 0.
#pragma once

#include "VagantUIExtension/DeviceConfigurator.h"

namespace MPrint {

class DefaultDeviceConfigurator : public DeviceConfigurator {
public:
    uint32_t ConfigurePrintPath(PrintPath* path) override;
};

} // namespace MPrint
