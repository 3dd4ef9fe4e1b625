// Configures TCP/IP and WSD destinations: a WSD path reaches its device
// through the current job's queue (its port resolved to the device's
// address), any other path through the address the path names.
//
// ConfigurePrintPath: 0 configured or unchanged, 1 no connection could be
// opened, 2 the device gave no model name.
#pragma once

#include "VagantUIExtension/DeviceConfigurator.h"

namespace MPrint {

class SNMPConfigurator : public DeviceConfigurator {
public:
    uint32_t ConfigurePrintPath(PrintPath* path) override;

    // The first of: "IPAddress", or "HostnameAddress" resolved to a dotted
    // IPv4 address (empty when it does not resolve), kind 2, port "Port" or
    // 0; "IPXSPXAddress", kind 8, port 16396; the device configuration
    // address. False, outputs untouched, when the path names none.
    static bool lookupAddress(const PrintPath* path, std::wstring& address, DWORD& kind, DWORD& port);
    // A connected connection owned by the caller, or null.
    BidiPrinterConnectionIntf* openConnection(PrintPath* path);

protected:
    // Through the current job's queue; stores the resolved "IPAddress".
    virtual BidiPrinterConnectionIntf* openWsdConnection(PrintPath* path);
};

} // namespace MPrint
