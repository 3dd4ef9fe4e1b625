#include "discovery/IPXSPXAddressDiscovery.h"

#include "core/AsciiCase.h"
#include "core/HexDigit.h"
#include "core/ScopedHandle.h"
#include "core/Socket.h"
#include "core/TraceLine.h"
#include "destination/PrintPathAttr.h"
#include "discovery/DiscoveryClassIds.h"
#include "discovery/PrintPathText.h"
#include "core/RegistrySubKeys.h"

#include <wsnwlink.h>

#include <cstring>

namespace MPrint {

namespace {

constexpr size_t kNetworkDigits = 8;
constexpr size_t kNodeDigits = 12;
constexpr size_t kNormalisedLength = kNetworkDigits + 1 + kNodeDigits;

bool isHex(const std::wstring& text)
{
    for (wchar_t c : text)
        if (hexDigitValue(c) < 0)
            return false;
    return true;
}

// Bytes from hexadecimal pairs, most significant first.
void readHexBytes(const std::wstring& text, size_t at, size_t count, char* out)
{
    for (size_t i = 0; i < count; ++i)
        out[i] = static_cast<char>(hexDigitValue(text[at + 2 * i]) << 4 | hexDigitValue(text[at + 2 * i + 1]));
}

} // namespace

IPXSPXAddressDiscovery::IPXSPXAddressDiscovery() = default;
IPXSPXAddressDiscovery::~IPXSPXAddressDiscovery() = default;

uint32_t IPXSPXAddressDiscovery::GetSearchCapabilities()
{
    return kCapResolve;
}

uint32_t IPXSPXAddressDiscovery::Search(HWND, DestinationContext*, PrintPathList&, uint32_t)
{
    clearCancel();
    return kNotApplicable;
}

bool IPXSPXAddressDiscovery::normaliseAddress(const std::wstring& address, std::wstring& normalised, DWORD& socket)
{
    std::wstring text = address;
    DWORD number = kDefaultSocket;
    const size_t colon = text.find(L':');
    if (colon != std::wstring::npos) {
        const std::wstring digits = text.substr(colon + 1);
        if (digits.empty() || digits.size() > 5)
            return false;
        number = 0;
        for (wchar_t c : digits) {
            if (c < L'0' || c > L'9')
                return false;
            number = number * 10 + static_cast<DWORD>(c - L'0');
        }
        if (number == 0 || number > 0xFFFF)
            return false;
        text.resize(colon);
    }
    const size_t dot = text.find(L'.');
    if (dot == std::wstring::npos || text.find(L'.', dot + 1) != std::wstring::npos)
        return false;
    const std::wstring network = text.substr(0, dot), node = text.substr(dot + 1);
    if (network.size() > kNetworkDigits || node.size() > kNodeDigits || !isHex(network) || !isHex(node))
        return false;
    normalised = std::wstring(kNetworkDigits - network.size(), L'0') + network + L"." +
                 std::wstring(kNodeDigits - node.size(), L'0') + node;
    socket = number;
    return true;
}

bool IPXSPXAddressDiscovery::buildSocketAddress(const std::wstring& normalised, DWORD socket, SOCKADDR_IPX& out)
{
    if (normalised.size() != kNormalisedLength || normalised[kNetworkDigits] != L'.' ||
        !isHex(normalised.substr(0, kNetworkDigits)) || !isHex(normalised.substr(kNetworkDigits + 1)))
        return false;
    SOCKADDR_IPX address = {};
    address.sa_family = AF_IPX;
    readHexBytes(normalised, 0, sizeof(address.sa_netnum), address.sa_netnum);
    readHexBytes(normalised, kNetworkDigits + 1, sizeof(address.sa_nodenum), address.sa_nodenum);
    address.sa_socket = htons(static_cast<u_short>(socket));
    out = address;
    return true;
}

bool IPXSPXAddressDiscovery::isIpxPortRegistered(const std::wstring& name)
{
    ScopedRegKey ports;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kPortsKey, 0, KEY_READ, ports.receive()) != ERROR_SUCCESS)
        return false;
    for (const std::wstring& port : listSubKeyNames(ports.get()))
        if (!port.empty() && startsWithIgnoringAsciiCase(name, port))
            return true;
    return false;
}

uint32_t IPXSPXAddressDiscovery::Resolve(HWND, const std::wstring& address, const std::wstring& nickname,
                                         const std::wstring& displayString, PrintPathList& list)
{
    std::wstring normalised;
    DWORD socket = 0;
    if (address.find_first_of(L"\\/") != std::wstring::npos || !normaliseAddress(address, normalised, socket) ||
        !isIpxPortRegistered(address))
        return kNotApplicable;
    auto* path = new PrintPath();
    path->setStringAttribute(PrintPathAttr::Address, address, true);
    path->setNumericAttribute(PrintPathAttr::Port, socket, true);
    path->setStringAttribute(PrintPathAttr::IPXSPXAddress, normalised, true);
    path->setStringAttribute(PrintPathAttr::Nickname, nickname, true);
    path->setStringAttribute(PrintPathAttr::DisplayString, displayString, true);
    path->setDiscoveryId(discoveryids::kIpxSpx);
    path->addConfiguratorId(discoveryids::kIpxSpxConfigurator);
    path->addFeatureId(discoveryids::kIpxSpxFeatureAccessor);
    path->setNumericAttribute(PrintPathAttr::ManuallyEntered, 1, true);
    setPrinterInfoText(*path, getResourceLoader(), std::wstring(), address);
    list.push_back(QZAutoPtr<PrintPath>(path));
    return 0;
}

uint32_t IPXSPXAddressDiscovery::ValidateDevice(HWND, PrintPath* path)
{
    if (!path)
        return kNotApplicable;
    const std::wstring normalised = path->getStringAttribute(PrintPathAttr::IPXSPXAddress);
    // A stored path may carry anything: only a well-formed address and a
    // socket number that fits 16 bits reach the network.
    const DWORD socket = path->getNumericAttribute(PrintPathAttr::Port);
    SOCKADDR_IPX address = {};
    if (socket == 0 || socket > 0xFFFF || !buildSocketAddress(normalised, socket, address))
        return kUnreachable;
    if (!probeDevice(address))
        return kUnreachable;
    path->setStringAttribute(PrintPathAttr::HardwareAddress, normalised.substr(kNetworkDigits + 1), true);
    path->setStringAttribute(PrintPathAttr::NetNum, normalised.substr(0, kNetworkDigits), true);
    return 0;
}

bool IPXSPXAddressDiscovery::probeDevice(const SOCKADDR_IPX& address)
{
    Socket socket(AF_IPX, SOCK_DGRAM, NSPROTO_IPX);
    if (!socket.isValid()) {
        logTraceFormat("IPX/SPX: no datagram socket (error %d)", socket.getLastError());
        return false;
    }
    if (connect(socket.getHandle(), reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
        logTraceFormat("IPX/SPX: connect failed (error %d)", WSAGetLastError());
        return false;
    }
    static const char kGreeting[] = "hello";
    const int sent = socket.send(kGreeting, static_cast<int>(std::strlen(kGreeting)), 0);
    logTraceFormat("IPX/SPX: connected, greeting sent (%d)", sent);
    socket.close(false);
    return true;
}

} // namespace MPrint
