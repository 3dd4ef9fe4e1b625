// The discovery service of job-delivery destinations: an address that the
// managed printing core marks with a leading "^_//_^" becomes a print path
// carrying the address without the marker. It searches nothing. Its device
// check decides whether the destination is configured over SNMP like a
// TCP/IP device.
#pragma once

#include "discovery/BasicDiscoveryService.h"

namespace MPrint {

// Put in front of a job-delivery destination's address.
inline constexpr wchar_t JobDeliveryAddressMarker[] = L"^_//_^";

class JobDeliveryAddressDiscovery : public BasicDiscoveryService {
public:
    uint32_t GetSearchCapabilities() override; // 16
    uint32_t Search(HWND window, DestinationContext* context, PrintPathList& list, uint32_t flags) override;
    // 0 always; one path only for a marked address (the marker at the
    // start: anywhere else it marks nothing), so other services go on.
    uint32_t Resolve(HWND owner, const std::wstring& address, const std::wstring& nickname,
                     const std::wstring& displayString, PrintPathList& list) override;
    // 3 for no path. A path with a numeric "NoBidiQuery" (any value) is left
    // alone; any other gets the SNMP configurator and the TCP/IP feature
    // accessor (once) and "ManuallyEntered" 1. 0 otherwise.
    uint32_t ValidateDevice(HWND owner, PrintPath* path) override;
};

} // namespace MPrint
