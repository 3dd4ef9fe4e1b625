// The discovery service that stands for destinations an administrator set
// up in advance. It finds nothing: its Search only reports whether it may
// run (7 not enabled, 4 not started, 3 unless the flags are exactly 2).
#pragma once

#include "discovery/BasicDiscoveryService.h"

namespace MPrint {

class PreconfiguredDiscovery : public BasicDiscoveryService {
public:
    uint32_t Execute(void* argument) override; // 9
    uint32_t GetSearchCapabilities() override; // 2
    uint32_t Search(HWND window, DestinationContext* context, PrintPathList& list, uint32_t flags) override;
    uint32_t Resolve(HWND owner, const std::wstring& address, const std::wstring& nickname,
                     const std::wstring& displayString, PrintPathList& list) override; // 9
    uint32_t ValidateDevice(HWND owner, PrintPath* path) override; // 0
};

} // namespace MPrint
