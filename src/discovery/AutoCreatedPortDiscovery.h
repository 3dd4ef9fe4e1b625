// The discovery service of the client ports that remote-desktop sessions
// create for a user's own printers (PrinterPort types 7 and 8): such a port
// resolves to the current queue on this computer, "\\<computer>\<queue>",
// as the UNC service makes it, marked with the port type.
#pragma once

#include "discovery/BasicDiscoveryService.h"

namespace MPrint {

class AutoCreatedPortDiscovery : public BasicDiscoveryService {
public:
    uint32_t GetSearchCapabilities() override; // 20
    uint32_t Search(HWND window, DestinationContext* context, PrintPathList& list, uint32_t flags) override; // 9
    // 3 unless the address is an auto-created port and a job is current;
    // else the UNC service's answer for the current queue.
    uint32_t Resolve(HWND owner, const std::wstring& address, const std::wstring& nickname,
                     const std::wstring& displayString, PrintPathList& list) override;
    // 0 for a path whose "AutoCreateType" is 7 or 8; 3 otherwise.
    uint32_t ValidateDevice(HWND owner, PrintPath* path) override;

    // True for a port of type 7 or 8, whose type goes to type. A name that
    // classifies as nothing leaves type as it was.
    virtual bool IsAutoCreatedPort(const std::wstring& address, int& type);
};

} // namespace MPrint
