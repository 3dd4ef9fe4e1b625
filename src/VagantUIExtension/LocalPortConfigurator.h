// Configures local USB, parallel, DOT4 and Bluetooth ports: over a
// connection to the port, else by guessing the language from the path's
// registered model name or from the Plug and Play description of the device
// on the port.
//
// ConfigurePrintPath: 0 configured, 2 no model found, 4 no "LocalPort" or a
// port of another kind.
#pragma once

#include "VagantUIExtension/DeviceConfigurator.h"

namespace MPrint {

class LocalPortConfigurator : public DeviceConfigurator {
public:
    uint32_t ConfigurePrintPath(PrintPath* path) override;
    // The non-empty "DeviceDesc" of the first instance of enumKey\deviceKeyName when
    // the instance's name contains the port name; model untouched on false.
    virtual bool QueryDeviceDescription(const std::wstring& portName, HKEY enumKey, const std::wstring& deviceKeyName,
                                        std::string& model);

    // "LPT", "USB", "BTH" or "DOT4" in the name (case as written).
    static bool isLocalPortName(const std::wstring& port);

private:
    bool findPnPModel(const std::wstring& port, std::string& model);
};

} // namespace MPrint
