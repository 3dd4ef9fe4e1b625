// Reads the features of a shared queue over a connection to the device
// behind the share, unless the configurator found no way to it ("NoUNCFA").
#pragma once

#include "VagantUIExtension/FeatureAccessor.h"

namespace MPrint {

class UNCFeatureAccessor : public FeatureAccessor {
public:
    uint32_t Apply(PrintPath* path, DeviceSettings* sink) override;
};

} // namespace MPrint
