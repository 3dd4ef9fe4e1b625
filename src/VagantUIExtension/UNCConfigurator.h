// Configures shared queues: over a connection to the device behind the
// share, else by guessing the language from the shared queue's driver name.
//
// ConfigurePrintPath: 0 configured or guessed from the driver name, 2 no
// driver name ("NoUNCFA" set), 4 no "UNCPath".
#pragma once

#include "VagantUIExtension/DeviceConfigurator.h"

namespace MPrint {

class UNCConfigurator : public DeviceConfigurator {
public:
    uint32_t ConfigurePrintPath(PrintPath* path) override;
};

} // namespace MPrint
