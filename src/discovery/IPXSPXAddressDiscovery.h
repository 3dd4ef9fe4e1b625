// Resolves typed IPX/SPX addresses ("network.node[:socket]", hexadecimal
// network and node numbers, decimal socket) that the IPX/SPX port monitor
// already lists as ports, normalised to 8 + "." + 12 hexadecimal digits.
// It has no search. ValidateDevice connects an IPX datagram socket to the
// device; without an IPX stack (no current system has one) that fails (2).
#pragma once

#include "discovery/BasicDiscoveryService.h"

#include <wsipx.h>

#include <string>

namespace MPrint {

class IPXSPXAddressDiscovery : public BasicDiscoveryService {
public:
    static constexpr DWORD kDefaultSocket = 0x400C;
    static constexpr uint32_t kUnreachable = 2;
    // Sub-keys of this key (HKLM) name the monitor's ports.
    static constexpr wchar_t kPortsKey[] =
        L"SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\QZ Standard IPX/SPX Port\\Ports";

    IPXSPXAddressDiscovery();
    ~IPXSPXAddressDiscovery() override;

    uint32_t GetSearchCapabilities() override; // kCapResolve
    uint32_t Search(HWND window, DestinationContext* context, PrintPathList& list, uint32_t flags) override;
    uint32_t Resolve(HWND owner, const std::wstring& address, const std::wstring& nickname,
                     const std::wstring& displayString, PrintPathList& list) override;
    // 0 with "NetNum" and "HardwareAddress" set; 2 (path untouched) when the
    // address is malformed or the device cannot be reached; 3 for no path.
    uint32_t ValidateDevice(HWND owner, PrintPath* path) override;

    // The 21-character form of an address and its socket (kDefaultSocket
    // when none is typed). False for anything but one ".", up to 8 network
    // and 12 node hexadecimal digits, and an optional ":" with a decimal
    // socket of 1 to 65535; the outputs are then untouched.
    static bool normaliseAddress(const std::wstring& address, std::wstring& normalised, DWORD& socket);
    // The socket address of a normalised text, the socket number in network
    // byte order. False for a text that is not in the normalised form.
    static bool buildSocketAddress(const std::wstring& normalised, DWORD socket, SOCKADDR_IPX& out);
    // Whether the monitor lists a port whose name begins the text (letter
    // case ignored).
    static bool isIpxPortRegistered(const std::wstring& name);

protected:
    // Connects a datagram socket to the device and sends it a greeting.
    // The one step that needs an IPX stack: tests replace it.
    virtual bool probeDevice(const SOCKADDR_IPX& address);
};

} // namespace MPrint
