// Reads the features of an IPX/SPX destination over a connection to the
// path's "IPXSPXAddress".
#pragma once

#include "VagantUIExtension/FeatureAccessor.h"

namespace MPrint {

class IPXSPXFeatureAccessor : public FeatureAccessor {
public:
    uint32_t Apply(PrintPath* path, DeviceSettings* sink) override;
};

} // namespace MPrint
