#include "shared/PrinterPort.h"

#include "core/AsciiCase.h"
#include "core/ProfileScope.h"
#include "core/RegistrySubKeys.h"
#include "core/Socket.h"
#include "core/TraceLine.h"
#include "core/ValueText.h"
#include "shared/PrintDriver.h"
#include "shared/PrinterData.h"
#include "shared/PrinterPortDCOMWrapper.h"
#include "shared/SpoolerNames.h"
#include "shared/SpoolerQueries.h"

#include <cwctype>

namespace {

constexpr wchar_t kMonitorsPath[] = L"SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors";
constexpr wchar_t kPresetRoot[] = L"Software\\Tarvokin";
constexpr wchar_t kCitrixProvider[] = L"Client Network!\\\\Client";
// Registry access of the port lookup: read control, query values, enumerate subkeys.
constexpr REGSAM kLookupAccess = 0x20009;
// The per-user preset path is built in a 520-character buffer.
constexpr size_t kMaxPresetPath = 520;
constexpr int kIpxPortNumber = 16396;

bool startsWith(const std::wstring& text, const wchar_t* prefix)
{
    return text.compare(0, wcslen(prefix), prefix) == 0;
}

// The decimal number at the start of the text; reading stops at the first
// non-digit and gives 0 when there is none. Saturates instead of wrapping.
int numberAfter(const std::wstring& text, size_t start)
{
    long long value = 0;
    for (size_t i = start; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
        value = value * 10 + (text[i] - L'0');
        if (value > 0x7FFFFFFF)
            return 0x7FFFFFFF;
    }
    return static_cast<int>(value);
}

const wchar_t* orNull(const std::wstring& text)
{
    return text.empty() ? nullptr : text.c_str();
}

} // namespace

PrinterPort::PrinterPort(HANDLE printer, const wchar_t* portName) : printerHandle_(printer)
{
    if (portName && *portName)
        setDisplayName(portName);
    else
        getPortDisplayNameFromPrinter(nullptr);
}

PrinterPort::PrinterPort(const wchar_t* printerName, const wchar_t* portName)
{
    if (setDisplayName(portName))
        openPrinter(printerName);
    else
        getPortDisplayNameFromPrinter(printerName);
}

PrinterPort::PrinterPort(const wchar_t* portName)
{
    setDisplayName(portName);
}

PrinterPort::~PrinterPort() = default;

void PrinterPort::closePrinter()
{
    ownedPrinter_.reset();
    printerHandle_ = nullptr;
}

void PrinterPort::openPrinter(const wchar_t* name)
{
    if (!name || !*name)
        return;
    if (ownedPrinter_)
        closePrinter();
    PRINTER_DEFAULTSW defaults{nullptr, nullptr, PRINTER_ACCESS_USE};
    if (OpenPrinterW(const_cast<wchar_t*>(name), ownedPrinter_.receive(), &defaults))
        printerHandle_ = ownedPrinter_.get();
    else
        closePrinter();
}

BYTE* PrinterPort::getPrinterInfoAlloc(DWORD level)
{
    if (!printerHandle_)
        return nullptr;
    GlobalBlock<BYTE> block;
    return getPrinterAlloc(printerHandle_, level, block.receive()) ? block.release() : nullptr;
}

bool PrinterPort::setDisplayName(const wchar_t* name)
{
    if (!name || !*name)
        return false;
    displayName_ = name;
    // A name with a leading backslash is a (shared) printer: take its port.
    if (name[0] == L'\\')
        getPortDisplayNameFromPrinter(name);
    return true;
}

bool PrinterPort::getPortDisplayNameFromPrinter(const wchar_t* printerName)
{
    PROFILE_SCOPE("PrinterPort::getPortDisplayNameFromPrinter(%S)", printerName ? printerName : L"");
    openPrinter(printerName);
    bool taken = false;
    GlobalBlock<PRINTER_INFO_5W> five(reinterpret_cast<PRINTER_INFO_5W*>(getPrinterInfoAlloc(5)));
    if (five && five->pPortName) {
        displayName_ = five->pPortName;
        taken = true;
    }
    five.reset();
    if (taken && displayName_[0] == L'\\') {
        // The queue prints to another queue: that one's port.
        const std::wstring other = displayName_;
        openPrinter(other.c_str());
        GlobalBlock<PRINTER_INFO_2W> two(reinterpret_cast<PRINTER_INFO_2W*>(getPrinterInfoAlloc(2)));
        if (two && two->pPortName)
            displayName_ = two->pPortName;
    }
    return taken;
}

bool PrinterPort::getPortAddress(std::wstring& address)
{
    PROFILE_SCOPE("PrinterPort::getPortAddress() displayName(%S)", displayName_.c_str());
    bool found = false;
    if (getPortInfo() && !portAddress_.empty())
        found = true;
    else
        found = guessPortAddress(resolveClientPorts_);
    if (found)
        address = portAddress_;
    logTraceFormat("displayName(%S);portAddress(%S)gotAddr(%d)", displayName_.c_str(), portAddress_.c_str(),
                   found ? 1 : 0);
    return found;
}

bool PrinterPort::guessPortAddress(bool resolveClientPorts)
{
    PROFILE_SCOPE("PrinterPort::guessPortAddress(%d)", resolveClientPorts ? 1 : 0);
    if (displayName_.empty())
        return false;
    const std::wstring& name = displayName_;
    bool found = true;
    size_t raw = std::wstring::npos;
    if (startsWith(name, L"\\\\")) {
        portType_ = kPortUNC;
        portAddress_ = name;
    } else if (startsWith(name, L"USB")) {
        portType_ = kPortUSB;
        portAddress_ = name;
        portNumber_ = numberAfter(name, 3);
    } else if (startsWith(name, L"DOT4_")) {
        portType_ = kPortDot4;
        portAddress_ = name;
        portNumber_ = numberAfter(name, 5);
    } else if (startsWith(name, L"LPT")) {
        portType_ = kPortLPT;
        portAddress_ = name;
        portNumber_ = numberAfter(name, 3);
    } else if (startsWith(name, L"FILE:")) {
        portType_ = kPortFile;
    } else if (startsWith(name, L"COM")) {
        portType_ = kPortCOM;
    } else if (startsWith(name, L"HST_")) {
        portType_ = kPortHostName;
        portAddress_ = name.substr(4);
        portNumber_ = getDefaultPortNumber();
    } else if (startsWith(name, L"IP_")) {
        portType_ = kPortIP;
        portAddress_ = name.substr(3);
        portNumber_ = getDefaultPortNumber();
    } else if (startsWith(name, L"IPX_")) {
        portType_ = kPortIPX;
        portAddress_ = name.substr(4);
    } else if ((raw = name.find(L":raw")) != std::wstring::npos) {
        portAddress_ = name.substr(0, raw);
        portType_ = isNumericAddress(portAddress_) ? kPortIP : kPortHostName;
        portNumber_ = getDefaultPortNumber();
    } else if (startsWith(name, L"WSD-")) {
        portType_ = kPortWSD;
        portAddress_ = name;
    } else if (isTerminalServerPort(name)) {
        portType_ = kPortTerminalServer;
        portAddress_ = name;
        portNumber_ = numberAfter(name, 2);
        if (resolveClientPorts)
            resolveTerminalServerPort();
    } else if (isCitrixClientPort(name)) {
        portType_ = kPortCitrixClient;
        portAddress_ = name;
        if (resolveClientPorts)
            resolveCitrixPort();
    } else if (allowAddressSplit_) {
        found = splitAddressAndPort(name, portAddress_, portNumber_, portType_);
    } else {
        found = false;
    }
    logTraceFormat("guessed portAddress(%S) from displayName(%S) gotAddr(%d)", portAddress_.c_str(),
                   displayName_.c_str(), found ? 1 : 0);
    return found;
}

bool PrinterPort::getPortDisplayName(std::wstring& name) const
{
    if (displayName_.empty())
        return false;
    name = displayName_;
    return true;
}

bool PrinterPort::getMonitorName(std::wstring& name)
{
    if (!getPortInfo() || monitorName_.empty())
        return false;
    name = monitorName_;
    return true;
}

bool PrinterPort::getPortDescription(std::wstring& description)
{
    if (!getPortInfo() || portDescription_.empty())
        return false;
    description = portDescription_;
    return true;
}

bool PrinterPort::isIndexedRawPort()
{
    return getPortInfo() && portNumber_ > 9100 && portNumber_ < 9109;
}

std::wstring PrinterPort::getSNMPCommunity()
{
    return readSNMPCommunityFromPortKey();
}

void PrinterPort::setAllowAddressSplit(bool allow)
{
    allowAddressSplit_ = allow;
}

void PrinterPort::setResolveClientPorts(bool resolve)
{
    resolveClientPorts_ = resolve;
}

bool PrinterPort::reset(const wchar_t* name)
{
    if (!displayName_.empty()) {
        closePrinter();
        displayName_.clear();
        portAddress_.clear();
        monitorName_.clear();
        portDescription_.clear();
        serverName_.clear();
        portType_ = kPortUnresolved;
        portNumber_ = 0;
        portInfoResolved_ = false;
    }
    return setDisplayName(name);
}

void PrinterPort::assign(const PrinterPort& other)
{
    if (&other == this)
        return;
    displayName_ = other.displayName_;
    portAddress_ = other.portAddress_;
    monitorName_ = other.monitorName_;
    portDescription_ = other.portDescription_;
    serverName_ = other.serverName_;
    portType_ = other.portType_;
    portNumber_ = other.portNumber_;
    portInfoResolved_ = other.portInfoResolved_;
}

bool PrinterPort::isExternalPortConfig(std::wstring& address, HANDLE printer)
{
    PROFILE_SCOPE("PrinterPort::isExternalPortConfig()");
    HANDLE handle = printer ? printer : printerHandle_;
    if (!handle)
        return false;
    bool found = false;
    for (const wchar_t* name : {L"LumoAutoCreatedClientPort", L"DeviceConfigAddress", L"NovellSNMPAddressAndPort"}) {
        std::wstring value;
        if (readPrinterDataText(handle, nullptr, name, value, 1024) == ERROR_SUCCESS && !value.empty()) {
            found = splitAddressAndPort(value, address, portNumber_, portType_);
            break;
        }
    }
    logTraceFormat("portAddress(%S); isExtConfig(%d)", address.c_str(), found ? 1 : 0);
    return found;
}

bool PrinterPort::isExternalPortConfigForPrinter(std::wstring& address, const wchar_t* printerName)
{
    ScopedPrinter printer;
    if (!printerName || !*printerName ||
        !OpenPrinterW(const_cast<wchar_t*>(printerName), printer.receive(), nullptr))
        return false;
    return isExternalPortConfig(address, printer.get());
}

bool PrinterPort::doesPortExist(const wchar_t* portName, const wchar_t* serverName)
{
    PROFILE_SCOPE("PrinterPort::doesPortExist(%S, %S)", portName ? portName : L"", serverName ? serverName : L"");
    if (!portName || !*portName)
        return false;
    DWORD count = 0;
    GlobalBlock<PORT_INFO_1W> ports(reinterpret_cast<PORT_INFO_1W*>(enumPortsAlloc(serverName, 1, &count)));
    for (DWORD i = 0; ports && i < count; ++i)
        if (ports.get()[i].pName && equalsIgnoringAsciiCase(ports.get()[i].pName, portName))
            return true;
    return false;
}

bool PrinterPort::splitAddressAndPort(const std::wstring& text, std::wstring& address, int& portNumber,
                                      int& portType)
{
    if (text.empty())
        return false;
    const size_t colon = text.find(L':');
    address = text.substr(0, colon);
    portNumber = colon == std::wstring::npos ? getDefaultPortNumber() : numberAfter(text, colon + 1);
    portType = isNumericAddress(address) ? kPortIP : kPortHostName;
    return true;
}

bool PrinterPort::isNumericAddress(const std::wstring& text)
{
    for (wchar_t c : text)
        if (c != L'.' && c > L'9')
            return false;
    return true;
}

// --- Registry lookup and client ports ---

bool PrinterPort::getPortInfo()
{
    PROFILE_SCOPE("PrinterPort::getPortInfo()");
    if (portInfoResolved_ || displayName_.empty())
        return portInfoResolved_;
    GlobalBlock<PRINTER_INFO_4W> four(reinterpret_cast<PRINTER_INFO_4W*>(getPrinterInfoAlloc(4)));
    if (four) {
        if (four->pServerName)
            serverName_ = four->pServerName;
    } else {
        GlobalBlock<PRINTER_INFO_2W> two(reinterpret_cast<PRINTER_INFO_2W*>(getPrinterInfoAlloc(2)));
        if (two && two->pServerName)
            serverName_ = two->pServerName;
    }
    if (getPortMonitorInfo())
        portInfoResolved_ = lookupPortAddressInRegistry();
    return portInfoResolved_;
}

bool PrinterPort::getPortMonitorInfo()
{
    DWORD count = 0;
    GlobalBlock<PORT_INFO_2W> ports(
        reinterpret_cast<PORT_INFO_2W*>(enumPortsAlloc(orNull(serverName_), 2, &count)));
    for (DWORD i = 0; ports && i < count; ++i) {
        const PORT_INFO_2W& port = ports.get()[i];
        if (!port.pPortName || !equalsIgnoringAsciiCase(port.pPortName, displayName_))
            continue;
        if (port.pMonitorName)
            monitorName_ = port.pMonitorName;
        if (port.pDescription)
            portDescription_ = port.pDescription;
        return true;
    }
    return false;
}

bool PrinterPort::lookupPortAddressInRegistry()
{
    PROFILE_SCOPE("PrinterPort::lookupPortAddressInRegistry()");
    ScopedRegKey portKey;
    if (!getRegKeyPathForPort(portKey))
        return false;
    if (portDescription_.find(L"TCP/IP") != std::wstring::npos)
        return getTCPIPDeviceAddressFromPortKey(portKey.get());
    if (portDescription_.find(L"IPX/SPX") != std::wstring::npos)
        return readIPXPortKey(portKey.get());
    return false;
}

bool PrinterPort::getRegKeyPathForPort(ScopedRegKey& portKey)
{
    PROFILE_SCOPE("PrinterPort::getRegKeyPathForPort()");
    std::wstring monitorsPath = kMonitorsPath;
    std::wstring examined;
    if (isClusterNode()) {
        PrintDriver driver(printerHandle_);
        driver.getDriverPath(examined);
    }
    if (examined.empty())
        getPrinterDriverDirectory(examined, serverName_);
    std::wstring resource;
    if (getClusterResourceFromDriverPath(examined, resource))
        monitorsPath = L"Cluster\\Resources\\" + resource + L"\\Parameters\\Monitors";
    monitorsPath += L"\\";
    // A print server's own registry when it can be reached, else the local one.
    ScopedRegKey remote;
    HKEY root = HKEY_LOCAL_MACHINE;
    if (!serverName_.empty() && RegConnectRegistryW(serverName_.c_str(), HKEY_LOCAL_MACHINE, remote.receive()) ==
                                    ERROR_SUCCESS)
        root = remote.get();
    ScopedRegKey monitorKey;
    if (openPortMonitorKey(root, kLookupAccess, monitorsPath, monitorKey) != ERROR_SUCCESS)
        return false;
    ScopedRegKey ports;
    if (RegOpenKeyExW(monitorKey.get(), L"Ports", 0, kLookupAccess, ports.receive()) == ERROR_SUCCESS)
        return RegOpenKeyExW(ports.get(), displayName_.c_str(), 0, kLookupAccess, portKey.receive()) ==
               ERROR_SUCCESS;
    return RegOpenKeyExW(monitorKey.get(), displayName_.c_str(), 0, kLookupAccess, portKey.receive()) ==
           ERROR_SUCCESS;
}

LONG PrinterPort::openPortMonitorKey(HKEY root, REGSAM access, const std::wstring& monitorsPath,
                                     ScopedRegKey& monitorKey)
{
    ScopedRegKey monitors;
    LONG result = RegOpenKeyExW(root, monitorsPath.c_str(), 0, access, monitors.receive());
    if (result != ERROR_SUCCESS)
        return result;
    // An empty description would open the Monitors key itself.
    if (!portDescription_.empty())
        result = RegOpenKeyExW(monitors.get(), portDescription_.c_str(), 0, access, monitorKey.receive());
    if (portDescription_.empty() || result != ERROR_SUCCESS)
        result = findMonitorKeyByDriver(monitors.get(), access, monitorKey) ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
    return result;
}

bool PrinterPort::findMonitorKeyByDriver(HKEY monitorsKey, REGSAM access, ScopedRegKey& monitorKey)
{
    // Monitors come and go while the key is read; the list holds every one
    // present throughout, and a walk that keeps failing cannot loop.
    for (const std::wstring& name : MPrint::listSubKeyNames(monitorsKey)) {
        ScopedRegKey candidate;
        if (RegOpenKeyExW(monitorsKey, name.c_str(), 0, KEY_READ | access, candidate.receive()) != ERROR_SUCCESS)
            continue;
        std::wstring driver;
        DWORD type = REG_NONE;
        if (readRegistryText(candidate.get(), L"Driver", driver, 1024, &type) == ERROR_SUCCESS && type == REG_SZ &&
            !driver.empty() && equalsIgnoringAsciiCase(driver, monitorName_)) {
            monitorKey = std::move(candidate);
            portDescription_ = name;
            return true;
        }
    }
    return false;
}

bool PrinterPort::getTCPIPDeviceAddressFromPortKey(HKEY portKey)
{
    PROFILE_SCOPE("PrinterPort::getTCPIPDeviceAddressFromPortKey()");
    constexpr DWORD kBufferBytes = 2048;
    std::wstring value;
    bool taken = false;
    if (readRegistryText(portKey, L"HostName", value, kBufferBytes) == ERROR_SUCCESS && !value.empty()) {
        portAddress_ = value;
        const int family = MPrint::getAddressFamily(value.c_str());
        portType_ = family == AF_INET || family == AF_INET6 ? kPortIP : kPortHostName;
        taken = true;
    } else if (readRegistryText(portKey, L"IPAddress", value, kBufferBytes) == ERROR_SUCCESS && !value.empty()) {
        portAddress_ = value;
        portType_ = kPortIP;
        taken = true;
    }
    if (taken) {
        DWORD number = 0;
        DWORD size = sizeof(number);
        DWORD type = REG_NONE;
        if (RegQueryValueExW(portKey, L"PortNumber", nullptr, &type, reinterpret_cast<BYTE*>(&number), &size) ==
            ERROR_SUCCESS)
            portNumber_ = static_cast<int>(number);
    }
    return taken;
}

bool PrinterPort::readIPXPortKey(HKEY)
{
    portNumber_ = kIpxPortNumber;
    return false;
}

std::wstring PrinterPort::readSNMPCommunityFromPortKey()
{
    if (snmpCommunity_.empty()) {
        ScopedRegKey portKey;
        std::wstring community;
        if (getRegKeyPathForPort(portKey) &&
            readRegistryText(portKey.get(), L"SNMP Community", community) == ERROR_SUCCESS)
            snmpCommunity_ = community;
    }
    return snmpCommunity_;
}

bool PrinterPort::isTerminalServerPort(const std::wstring& name)
{
    if (!startsWith(name, L"TS") || name.find_first_of(L".:- ") != std::wstring::npos)
        return false;
    for (size_t i = 2; i < name.size(); ++i)
        if (name[i] < L'0' || name[i] > L'9')
            return false;
    return true;
}

bool PrinterPort::isCitrixClientPort(const std::wstring& name)
{
    if (name.empty())
        return false;
    if (name.size() > 7 && startsWithIgnoringAsciiCase(name, L"client:")) {
        // After the first ':' a positive number, then a further ':' later on.
        const std::wstring rest = name.substr(name.find(L':') + 1);
        if (numberAfter(rest, 0) > 0) {
            const size_t colon = rest.find(L':');
            if (colon != std::wstring::npos && colon != 0)
                return true;
        }
    }
    std::wstring upper = name;
    for (wchar_t& c : upper)
        c = static_cast<wchar_t>(std::towupper(c));
    return startsWith(upper, L"CLIENT") &&
           (upper.find(L"#\\") != std::wstring::npos || upper.find(L"#/") != std::wstring::npos);
}

bool PrinterPort::getTerminalServerClient(std::wstring& client)
{
    if (portType_ != kPortTerminalServer)
        return false;
    size_t found = portDescription_.find(L":  PRN");
    if (found == std::wstring::npos)
        found = portDescription_.find(L": PRN");
    if (found == std::wstring::npos)
        return false;
    client = L"\\\\" + portDescription_.substr(0, found);
    return true;
}

bool PrinterPort::resolveTerminalServerPort()
{
    PROFILE_SCOPE("PrinterPort::resolveTerminalServerPort()");
    if (portType_ != kPortTerminalServer)
        return false;
    if (portDescription_.empty() && !getPortMonitorInfo())
        return false;
    const size_t colon = portDescription_.find(L':');
    if (colon == std::wstring::npos)
        return false;
    std::wstring client = L"\\\\" + portDescription_.substr(0, colon);
    GlobalBlock<PRINTER_INFO_1W> one(reinterpret_cast<PRINTER_INFO_1W*>(getPrinterInfoAlloc(1)));
    if (!one || !one->pName)
        return false;
    const std::wstring printerName = one->pName;
    one.reset();
    return resolveRemotePort(client, printerName.c_str());
}

bool PrinterPort::resolveCitrixPort()
{
    PROFILE_SCOPE("PrinterPort::resolveCitrixPort()");
    if (portType_ != kPortCitrixClient)
        return false;
    if (portDescription_.empty() && !getPortMonitorInfo())
        return false;
    GlobalBlock<PRINTER_INFO_5W> five(reinterpret_cast<PRINTER_INFO_5W*>(getPrinterInfoAlloc(5)));
    if (!five)
        return false;
    const std::wstring queueName = five->pPrinterName ? five->pPrinterName : L"";
    const std::wstring queuePort = five->pPortName ? five->pPortName : L"";
    five.reset();

    // "Laser (from PC7)": the client machine is the word before the last ')'.
    std::wstring client;
    const size_t close = queueName.rfind(L')');
    if (close != std::wstring::npos && close > 0) {
        const size_t blank = queueName.rfind(L' ', close - 1);
        if (blank != std::wstring::npos)
            client = L"\\\\" + queueName.substr(blank + 1, close - blank - 1);
    }
    // "Client:3:PC7:Laser" names the client printer "\\Client\Laser".
    std::wstring clientPath;
    const size_t lastColon = queuePort.rfind(L':');
    if (lastColon != std::wstring::npos)
        clientPath = L"\\\\" + queuePort.substr(0, queuePort.find(L':')) + L"\\" + queuePort.substr(lastColon + 1);

    std::wstring clientPort;
    DWORD count = 0;
    GlobalBlock<PRINTER_INFO_2W> printers(
        reinterpret_cast<PRINTER_INFO_2W*>(enumPrintersAlloc(kCitrixProvider, 2, &count)));
    for (DWORD i = 0; printers && i < count; ++i) {
        const PRINTER_INFO_2W& printer = printers.get()[i];
        if (!printer.pPrinterName)
            continue;
        if (equalsIgnoringAsciiCase(printer.pPrinterName, queuePort) ||
            (!clientPath.empty() && equalsIgnoringAsciiCase(printer.pPrinterName, clientPath))) {
            clientPort = printer.pPortName ? printer.pPortName : L"";
            break;
        }
    }
    printers.reset();
    if (clientPort.empty())
        return false;
    if (resolveRemotePort(client, queueName.c_str()))
        return true;
    PrinterPort port(clientPort.c_str());
    if (!port.guessPortAddress(false))
        return false;
    assign(port);
    return true;
}

std::wstring PrinterPort::printerDataString(const wchar_t* value)
{
    std::wstring text;
    if (!printerHandle_ || readPrinterDataText(printerHandle_, nullptr, value, text) != ERROR_SUCCESS)
        return std::wstring();
    return text;
}

std::wstring PrinterPort::getPrintServerNameData()
{
    return printerDataString(L"PrintServerName");
}

std::wstring PrinterPort::getPrinterNameData()
{
    return printerDataString(L"PrinterName");
}

bool PrinterPort::getRemotePrinterAndServer(const wchar_t* printerName, std::wstring& server,
                                            std::wstring& remotePrinter)
{
    // "Laser (from PC7)" is "Laser" on its machine; a name whose last '(' is
    // its first character, or that has none, stays whole.
    std::wstring name = printerName ? printerName : L"";
    const size_t open = name.rfind(L'(');
    if (open != std::wstring::npos && open > 0)
        name.erase(open - 1);
    const std::wstring serverData = getPrintServerNameData();
    if (!serverData.empty())
        server = L"\\\\" + serverData;
    const std::wstring printerData = getPrinterNameData();
    remotePrinter = printerData.empty() ? name : printerData;
    return !remotePrinter.empty() && !server.empty();
}

bool PrinterPort::resolveRemotePort(std::wstring& client, const wchar_t* printerName)
{
    const std::wstring originalClient = client;
    if (!printerName)
        return false;
    std::wstring remotePrinter;
    if (getRemotePrinterAndServer(printerName, client, remotePrinter)) {
        client += L"\\" + remotePrinter;
        PrinterPort remote(client.c_str());
        remote.setResolveClientPorts(false);
        remote.setAllowAddressSplit(false);
        std::wstring address;
        if (remote.getPortAddress(address) && address != client) {
            assign(remote);
            return true;
        }
    }
    PrintDriver driver(printerName);
    std::wstring directory;
    if (!driver.getDriverDirectory(directory))
        return false;
    PrinterPortDCOMWrapper wrapper(originalClient, remotePrinter, directory);
    if (wrapper.getRemotePortName().empty() || wrapper.getRemotePortAddress().empty() ||
        wrapper.getRemoteMonitorName().empty())
        return false;
    displayName_ = wrapper.getRemotePortName();
    portAddress_ = wrapper.getRemotePortAddress();
    monitorName_ = wrapper.getRemoteMonitorName();
    portDescription_ = wrapper.getRemotePortDescription();
    return guessPortAddress(false);
}

HKEY PrinterPort::openRestrictedUserPresetKey(HANDLE printer, bool create, DWORD* disposition, const wchar_t* subkey)
{
    if (disposition)
        *disposition = 0;
    std::wstring guid;
    if (!printer || readPrinterDataText(printer, L"QZPresetRoot", L"QZRestrictedUserGuid", guid, 520) !=
                        ERROR_SUCCESS)
        return nullptr;
    std::wstring path = kPresetRoot;
    if (path.size() + 1 + guid.size() + 2 < kMaxPresetPath + 1)
        path += L"\\" + guid;
    if (subkey && *subkey)
        path += std::wstring(L"\\") + subkey;
    // The path is built in a 520-character buffer: a longer one opens nothing.
    if (path.size() >= kMaxPresetPath)
        return nullptr;
    constexpr REGSAM kPresetAccess = 0x2001F;
    ScopedRegKey key;
    DWORD created = 0;
    if (!create || isSpoolerProcess()) {
        if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, kPresetAccess, key.receive()) != ERROR_SUCCESS)
            return nullptr;
        created = REG_OPENED_EXISTING_KEY;
    } else {
        DWORD options = REG_OPTION_NON_VOLATILE;
        if (isRemoteSessionPort(printer)) {
            ScopedRegKey root;
            RegCreateKeyExW(HKEY_CURRENT_USER, kPresetRoot, 0, nullptr, REG_OPTION_NON_VOLATILE, kPresetAccess,
                            nullptr, root.receive(), nullptr);
            options = REG_OPTION_VOLATILE;
        }
        if (RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, options, kPresetAccess, nullptr,
                            key.receive(), &created) != ERROR_SUCCESS)
            return nullptr;
    }
    if (disposition)
        *disposition = created;
    return key.release();
}

namespace {

// The queue's own port kind: following a session port to the client's
// printer would replace it by the kind of the client's port.
bool ownPortIsClientPort(HANDLE printer, bool addressRequired)
{
    if (!printer)
        return false;
    PrinterPort port(printer, nullptr);
    port.setResolveClientPorts(false);
    std::wstring address;
    if (!port.getPortAddress(address) && addressRequired)
        return false;
    return port.getPortType() == kPortCitrixClient || port.getPortType() == kPortTerminalServer;
}

} // namespace

bool isAutoCreatedPortPrinter(HANDLE printer)
{
    return ownPortIsClientPort(printer, false);
}

bool isRemoteSessionPort(HANDLE printer)
{
    return ownPortIsClientPort(printer, true);
}
