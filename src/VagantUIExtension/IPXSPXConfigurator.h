// Configures IPX/SPX destinations over a connection to the path's
// "IPXSPXAddress", or to its device configuration address when it has one.
//
// ConfigurePrintPath: 0 configured or unchanged, 2 no connection or no model
// name, 4 no "IPXSPXAddress".
#pragma once

#include "VagantUIExtension/DeviceConfigurator.h"

namespace MPrint {

class IPXSPXConfigurator : public DeviceConfigurator {
public:
    uint32_t ConfigurePrintPath(PrintPath* path) override;
};

} // namespace MPrint
