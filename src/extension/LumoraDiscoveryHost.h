// The discovery services' view of the printing extension: the current
// job's queue from the extension's destination context. The extension
// installs it while it exists.
#pragma once

#include "discovery/DiscoveryHost.h"

class LumoraDiscoveryHost : public MPrint::DiscoveryHost {
public:
    bool getCurrentPrinterName(std::wstring& name) override;

    // The process's one instance becomes (or stops being) the services' host.
    static void install();
    static void uninstall();
};
