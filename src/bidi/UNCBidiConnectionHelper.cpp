#include "bidi/UNCBidiConnectionHelper.h"

#include "bidi/BidiPrinterConnectionIntf.h"
#include "bidi/CurrentDestination.h"
#include "bidi/TrebukBidiConnection.h"
#include "core/ScopedHandle.h"
#include "core/Socket.h"
#include "destination/PrintPath.h"
#include "shared/PrinterPort.h"

#include <wsipx.h>
#include <wsnwlink.h>

#include <algorithm>
#include <atomic>
#include <cwctype>
#include <memory>
#include <new>

namespace MPrint {

namespace {

constexpr wchar_t kUncPort[] = L"UNCPort";
constexpr wchar_t kBidiCType[] = L"BidiCType";
constexpr wchar_t kPortType[] = L"BIDIPortType";
constexpr wchar_t kPortNumber[] = L"BIDIPortNumber";
constexpr wchar_t kOverride[] = L"BIDIDeviceAddressOverride";
constexpr wchar_t kBidiPort[] = L"BidiPort";
constexpr wchar_t kTrebukPortInfo[] = L"TrebukPortInfo";
constexpr wchar_t kTrebukPort[] = L"TrebukPort";
constexpr DWORD kNone = 0xFFFFFFFF;  // a numeric attribute the path does not hold

std::atomic<UNCBidiConnectionHelper::CurrentPortSource> currentPortSource{nullptr};

DWORD numberOr(const PrintPath& path, const wchar_t* name, DWORD fallback)
{
    const DWORD value = path.getNumericAttribute(name);
    return value == kNone ? fallback : value;
}

bool parsePort(const std::wstring& text, DWORD& port)
{
    if (text.empty() || text.size() > 5)
        return false;
    DWORD value = 0;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9')
            return false;
        value = value * 10 + static_cast<DWORD>(c - L'0');
    }
    if (value == 0 || value > 65535)
        return false;
    port = value;
    return true;
}

bool isHexPart(const std::wstring& text, size_t width)
{
    if (text.empty() || text.size() > width)
        return false;
    for (wchar_t c : text)
        if (!iswxdigit(c))
            return false;
    return true;
}

void setDword(HANDLE printer, const wchar_t* name, DWORD value)
{
    SetPrinterDataW(printer, const_cast<wchar_t*>(name), REG_DWORD, reinterpret_cast<BYTE*>(&value), sizeof(value));
}

void setText(HANDLE printer, const wchar_t* name, const std::wstring& text)
{
    SetPrinterDataW(printer, const_cast<wchar_t*>(name), REG_SZ,
                    reinterpret_cast<BYTE*>(const_cast<wchar_t*>(text.c_str())),
                    static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

// The state of one call: what the path held or the search found.
struct Found {
    DWORD type = UNCBidiConnectionHelper::kUndetermined;
    DWORD kind = 0;
    DWORD port = 0;
    DWORD override = 0;
    std::wstring device;
};

// Resolves the text into found and names it as the path's "BidiPort".
bool resolveInto(PrintPath& path, const std::wstring& text, Found& found)
{
    std::wstring host;
    DWORD kind = 0, port = 0;
    if (!UNCBidiConnectionHelper::resolveAddress(text, host, kind, port))
        return false;
    found.device = host;
    found.kind = kind;
    found.port = port;
    path.setStringAttribute(kBidiPort, text, true);
    return true;
}

void search(PrintPath& path, const wchar_t* sharedQueue, const std::wstring& uncPort, Found& found)
{
    const std::wstring configAddress = path.getStringAttribute(L"DeviceConfigAddress");
    const std::wstring novellQueue = path.getStringAttribute(L"NovellAddress");
    if (!configAddress.empty()) {
        if (resolveInto(path, configAddress, found)) {
            found.type = UNCBidiConnectionHelper::kTcpIp;
            if (numberOr(path, L"ExternalConfigType", 0) < 2)
                found.override = 1;
        }
    } else if (!novellQueue.empty()) {
        std::wstring external;
        PrinterPort novell(novellQueue.c_str(), nullptr);
        if (novell.isExternalPortConfigForPrinter(external, novellQueue.c_str()) && !external.empty() &&
            resolveInto(path, external, found)) {
            found.override = 1;
            found.type = UNCBidiConnectionHelper::kTcpIp;
        }
    }
    if (found.type == UNCBidiConnectionHelper::kUndetermined) {
        PrinterPort port(sharedQueue, uncPort.empty() ? nullptr : uncPort.c_str());
        std::wstring address;
        if (port.getPortAddress(address)) {
            found.override = 1;
            found.device = address;
            path.setStringAttribute(kBidiPort, address, true);
            found.port = static_cast<DWORD>(port.getPortNumber());
            switch (port.getPortType()) {
            case kPortHostName:
                found.type = UNCBidiConnectionHelper::kTcpIp;
                found.kind = BidiAddressHostName;
                break;
            case kPortIP:
                found.type = UNCBidiConnectionHelper::kTcpIp;
                found.kind = BidiAddressIp;
                break;
            case kPortIPX:
                found.type = UNCBidiConnectionHelper::kIpx;
                found.kind = BidiAddressIpx;
                path.setNumericAttribute(kTrebukPortInfo, BidiAddressIpx, true);
                path.setNumericAttribute(kTrebukPort, found.port, true);
                break;
            case kPortWSD:
                found.type = UNCBidiConnectionHelper::kThroughQueue;
                break;
            default:
                found.override = 0;
                break;
            }
        } else {
            found.type = UNCBidiConnectionHelper::kThroughQueue;
            path.setStringAttribute(kBidiPort, sharedQueue, true);
            if (!uncPort.empty() && uncPort.find(L'\\') == std::wstring::npos && resolveInto(path, uncPort, found)) {
                found.override = 1;
                found.type = UNCBidiConnectionHelper::kTcpIp;
            }
        }
    }
    if (found.type != UNCBidiConnectionHelper::kUndetermined)
        path.setNumericAttribute(kBidiCType, found.type, true);
}

// The local queue learns how to reach the device; false when it cannot be opened.
bool recordOnLocalQueue(PrintPath& path, const wchar_t* sharedQueue, const Found& found)
{
    const bool fromPropertySheet = path.getNumericAttribute(L"UNCDevPropCall") == 1;
    std::wstring local = path.getStringAttribute(L"LocalPrinterName");
    if (local.empty() && !fromPropertySheet)
        local = currentDestinationPrinterName();
    if (local.empty())
        return false;
    ScopedPrinter printer;
    PRINTER_DEFAULTSW defaults = {nullptr, nullptr,
                                  fromPropertySheet ? DWORD{PRINTER_ACCESS_ADMINISTER} : DWORD{PRINTER_ALL_ACCESS}};
    if (!OpenPrinterW(const_cast<wchar_t*>(local.c_str()), printer.receive(), &defaults) || !printer)
        return false;
    setDword(printer.get(), kPortType, found.kind);
    setDword(printer.get(), kPortNumber, found.port);
    setDword(printer.get(), kOverride, found.override);
    setText(printer.get(), L"BIDIDeviceAddress", found.device);
    std::wstring currentPort;
    const UNCBidiConnectionHelper::CurrentPortSource source = currentPortSource.load();
    if (!fromPropertySheet && source)
        currentPort = source(local, path);
    setText(printer.get(), L"BIDICurrentPort", currentPort.empty() ? std::wstring(sharedQueue) : currentPort);
    return true;
}

} // namespace

UNCBidiConnectionHelper::~UNCBidiConnectionHelper() = default;

void UNCBidiConnectionHelper::setCurrentPortSource(CurrentPortSource source)
{
    currentPortSource.store(source);
}

bool UNCBidiConnectionHelper::resolveAddress(const std::wstring& text, std::wstring& host, DWORD& kind, DWORD& port)
{
    if (text.empty())
        return false;
    std::wstring name = text;
    DWORD number = 9100;
    if (text.front() == L'[') {
        // "[v6]" or "[v6]:port"
        const size_t close = text.find(L']');
        if (close == std::wstring::npos || close == 1)
            return false;
        name = text.substr(1, close - 1);
        if (close + 1 < text.size() && (text[close + 1] != L':' || !parsePort(text.substr(close + 2), number)))
            return false;
        kind = BidiAddressIp;
    } else if (text.find(L':') != text.rfind(L':')) {
        kind = BidiAddressIp;  // an IPv6 literal without a port
    } else {
        const size_t colon = text.find(L':');
        name = text.substr(0, colon);
        if (name.empty() || (colon != std::wstring::npos && !parsePort(text.substr(colon + 1), number)))
            return false;
        kind = PrinterPort::isNumericAddress(name) ? BidiAddressIp : BidiAddressHostName;
    }
    host = name;
    port = number;
    return true;
}

bool UNCBidiConnectionHelper::normaliseIpxAddress(const std::wstring& text, std::wstring& address)
{
    const size_t dot = text.find(L'.');
    if (dot == std::wstring::npos)
        return false;
    const std::wstring network = text.substr(0, dot), node = text.substr(dot + 1);
    if (!isHexPart(network, 8) || !isHexPart(node, 12))
        return false;
    address = std::wstring(8 - network.size(), L'0') + network + L"." + std::wstring(12 - node.size(), L'0') + node;
    return true;
}

bool UNCBidiConnectionHelper::searchIpxNetworks(TrebukBidiConnection& connection, const std::wstring& node,
                                                DWORD kind, DWORD port, std::wstring& address)
{
    if (node.size() > 12)
        return false;
    const std::wstring paddedNode = std::wstring(12 - node.size(), L'0') + node;
    bool connected = false;
    // Owns Winsock's start-up and the socket, also when a connection throws.
    Socket ipx(AF_IPX, SOCK_DGRAM, NSPROTO_IPX);
    const SOCKET socketHandle = ipx.getHandle();
    if (ipx.isValid()) {
        SOCKADDR_IPX local{};
        local.sa_family = AF_IPX;
        int adapters = 0;
        int size = sizeof(adapters);
        if (bind(socketHandle, reinterpret_cast<sockaddr*>(&local), sizeof(local)) == 0 &&
            getsockopt(socketHandle, NSPROTO_IPX, IPX_MAX_ADAPTER_NUM, reinterpret_cast<char*>(&adapters), &size) ==
                0) {
            std::wstring tried = L",";
            for (int adapter = adapters - 1; adapter >= 0 && !connected; --adapter) {
                IPX_ADDRESS_DATA info{};
                info.adapternum = adapter;
                size = sizeof(info);
                if (getsockopt(socketHandle, NSPROTO_IPX, IPX_ADDRESS, reinterpret_cast<char*>(&info), &size) != 0)
                    continue;
                wchar_t network[9] = {};
                swprintf(network, 9, L"%02X%02X%02X%02X", info.netnum[0], info.netnum[1], info.netnum[2],
                         info.netnum[3]);
                if (tried.find(L"," + std::wstring(network) + L",") != std::wstring::npos)
                    continue;
                tried += std::wstring(network) + L",";
                const std::wstring candidate = std::wstring(network) + L"." + paddedNode;
                if (connection.Connect(nullptr, candidate.c_str(), kind, port)) {
                    address = candidate;
                    connected = true;
                }
            }
        }
    }
    return connected;
}

TrebukBidiConnection* UNCBidiConnectionHelper::setBIDIHelperValues(PrintPath* path, const wchar_t* sharedQueue,
                                                                   const wchar_t* uncPort, bool* connected)
{
    if (connected)
        *connected = false;
    if (!path || !sharedQueue)
        return nullptr;
    const std::wstring port = uncPort ? uncPort : L"";
    Found found;

    const std::wstring storedPort = path->getStringAttribute(kUncPort);
    if (!storedPort.empty() && !port.empty()) {
        if (storedPort == port) {
            // A type never stored (the last search found nothing) searches again.
            found.type = std::min<DWORD>(numberOr(*path, kBidiCType, kUndetermined), kUndetermined);
        } else {
            path->removeStringAttribute(kUncPort);
        }
    }
    if (found.type != kUndetermined) {
        found.kind = numberOr(*path, kPortType, 0);
        found.port = numberOr(*path, kPortNumber, 0);
        found.override = numberOr(*path, kOverride, 0);
        found.device = path->getStringAttribute(kBidiPort);
    } else {
        search(*path, sharedQueue, port, found);
    }
    path->setStringAttribute(kUncPort, port, true);
    const std::wstring address = path->getStringAttribute(kBidiPort);

    std::unique_ptr<TrebukBidiConnection> connection;
    bool isConnected = false;
    if (found.type == kIpx) {
        connection.reset(new (std::nothrow) TrebukBidiConnection(nullptr));
        const DWORD kind = numberOr(*path, kTrebukPortInfo, 0), number = numberOr(*path, kTrebukPort, 0);
        std::wstring ipx;
        if (connection && address.find(L'.') != std::wstring::npos) {
            isConnected = normaliseIpxAddress(address, ipx) && connection->Connect(nullptr, ipx.c_str(), kind, number);
        } else if (connection && searchIpxNetworks(*connection, address, kind, number, ipx)) {
            isConnected = true;
            found.device = ipx;
            path->setStringAttribute(kBidiPort, ipx, true);
        }
    } else if (found.type == kTcpIp) {
        connection.reset(new (std::nothrow) TrebukBidiConnection(nullptr));
        isConnected = connection && connection->Connect(nullptr, found.device.c_str(), found.kind, found.port);
        if (!isConnected) {
            // The queue's own port from now on: later calls skip the failing connect.
            connection.reset();
            found.type = kThroughQueue;
            path->setNumericAttribute(kBidiCType, kThroughQueue, true);
        }
    }
    if (found.type == kThroughQueue) {
        found.override = 0;
        connection.reset(new (std::nothrow) TrebukBidiConnection(sharedQueue));
        isConnected = connection && connection->Open();
    }
    if (found.type == kUndetermined || !connection)
        return nullptr;

    if (isConnected) {
        path->setNumericAttribute(kPortType, found.kind, true);
        path->setNumericAttribute(kPortNumber, found.port, true);
        path->setNumericAttribute(kOverride, found.override, true);
        path->setStringAttribute(kBidiPort, found.device, true);
        if (!recordOnLocalQueue(*path, sharedQueue, found))
            path->setNumericAttribute(L"SetBIDIHelperValuesXcv", 1, false);
    }
    if (connected)
        *connected = isConnected;
    return connection.release();
}

} // namespace MPrint
