#include "destination/PortClient.h"

#include "core/AsciiCase.h"
#include "core/FileVersion.h"
#include "core/RegistryKey.h"
#include "core/ScopedHandle.h"
#include "core/StringConversion.h"
#include "destination/MonitorChannel.h"
#include "destination/PrintPathAttr.h"
#include "shared/PortData1.h"
#include "shared/PrintDriver.h"
#include "shared/SpoolerQueries.h"

#include <cstring>

namespace MPrint {

namespace {

constexpr const wchar_t* kKeravinMonitor = kKeravinMonitorName;
constexpr wchar_t kStandardTcp[] = L"Standard TCP/IP Port";
constexpr wchar_t kMakerTcp[] = L"QZ Standard TCP/IP Port";
constexpr wchar_t kMakerIpx[] = L"QZ Standard IPX/SPX Port";
constexpr wchar_t kUncKind[] = L"QZ UNC Port";
constexpr wchar_t kNovellKind[] = L"QZ UNC Novell Port";
constexpr wchar_t kWaypostKind[] = L"QZ Waypost Port";

constexpr DWORD kRecordHeader = 96;
constexpr DWORD kIpxRecordSize = 1048;
constexpr DWORD kIpxDefaultPort = 16396;

// The first occurrence of part in text runs to the end of text.
bool firstOccurrenceEnds(const std::wstring& text, const std::wstring& part)
{
    if (part.empty())
        return false;
    const size_t at = text.find(part);
    return at != std::wstring::npos && at + part.size() == text.size();
}

// A text into a fixed UTF-16 field; false when it does not fit with its terminator.
bool putField(WCHAR* field, size_t capacity, const std::wstring& text)
{
    if (text.size() >= capacity)
        return false;
    std::memcpy(field, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
    return true;
}

// The same for a field at an offset of a byte record; the text is cut to fit.
void putText(BYTE* record, size_t offset, size_t capacity, const std::wstring& text)
{
    const size_t chars = std::min(text.size(), capacity - 1);
    std::memcpy(record + offset, text.c_str(), chars * sizeof(wchar_t));
    std::memset(record + offset + chars * sizeof(wchar_t), 0, sizeof(wchar_t));
}

void putU32(BYTE* record, size_t offset, DWORD value)
{
    std::memcpy(record + offset, &value, sizeof(value));
}

} // namespace

PortClient::PortClient(ResourceLoader* owner, const std::wstring& requestedName, PrintPath& printPath,
                       CommunityLookup community)
    : owner_(owner), requestedName_(requestedName), printPath_(printPath), community_(std::move(community))
{
}

std::vector<BYTE> PortClient::commandRecord(const std::wstring& first, const std::wstring& second)
{
    const size_t firstBytes = (first.size() + 1) * sizeof(wchar_t);
    const size_t secondBytes = (second.size() + 1) * sizeof(wchar_t);
    // Zero-filled: no byte of this process's memory reaches the monitor unasked.
    std::vector<BYTE> record(kRecordHeader + firstBytes + secondBytes, 0);
    putU32(record.data(), 0, static_cast<DWORD>(record.size()));
    putU32(record.data(), 4, 3);
    putU32(record.data(), 8, kRecordHeader);
    const ULONGLONG secondOffset = kRecordHeader + firstBytes;
    std::memcpy(record.data() + 16, &secondOffset, sizeof(secondOffset));
    std::memcpy(record.data() + kRecordHeader, first.c_str(), firstBytes);
    std::memcpy(record.data() + secondOffset, second.c_str(), secondBytes);
    return record;
}

DWORD PortClient::portNumberFor(DWORD portAttribute)
{
    switch (portAttribute) {
    case 0xFFFFFFFF:
    case 0:
    case 1:
        return 9100;
    case 2:
        return 9101;
    case 3:
        return 9102;
    default:
        return portAttribute;
    }
}

void PortClient::setPortNameBuffer(const std::wstring& text)
{
    const size_t chars = std::min(text.size(), kPortNameChars - 1);
    std::memcpy(portNameBuffer_, text.c_str(), chars * sizeof(wchar_t));
    portNameBuffer_[chars] = L'\0';
}

std::wstring PortClient::community(const std::wstring& name) const
{
    return community_ ? community_(name) : std::wstring();
}

std::wstring PortClient::portKeyPath(const std::wstring& monitor, const std::wstring& subkey,
                                     const std::wstring& printerName, const std::wstring& portName) const
{
    std::wstring path = L"SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors";
    if (!printerName.empty() && isClusterPrinter(printerName)) {
        PrintDriver driver(printerName);
        std::wstring driverPath, resource;
        if (driver.getDriverPath(driverPath) && getClusterResourceFromDriverPath(driverPath, resource))
            path = L"Cluster\\Resources\\" + resource + L"\\Parameters\\Monitors";
    }
    path += L"\\" + monitor + L"\\" + subkey;
    if (!portName.empty())
        path += L"\\" + portName;
    return path;
}

bool PortClient::isRegistryKeyPresent(const std::wstring& path)
{
    RegistryKey key(HKEY_LOCAL_MACHINE, path, RegistryKey::kRead);
    return key.isOpen();
}

bool PortClient::findPortInList()
{
    DWORD count = 0;
    // The enumeration itself asks again when ports added elsewhere outgrow its block.
    GlobalBlock<BYTE> ports(enumPortsAlloc(nullptr, 2, &count));
    if (!ports)
        return false;
    const auto* info = reinterpret_cast<const PORT_INFO_2W*>(ports.get());
    for (DWORD i = 0; i < count; ++i) {
        if (!info[i].pPortName)
            continue;
        const std::wstring name = info[i].pPortName;
        if (equalsIgnoringAsciiCase(name, portName_) || firstOccurrenceEnds(name, portName_)) {
            setPortNameBuffer(name);
            return true;
        }
    }
    return false;
}

void PortClient::refreshPorts()
{
    DWORD count = 0;
    // The enumeration makes the spooler read its ports again; the list itself is not needed.
    GlobalBlock<BYTE> ports(enumPortsAlloc(nullptr, 2, &count));
}

bool PortClient::sendMonitorCommand(const std::wstring& first, const wchar_t* command)
{
    MonitorChannel channel(kKeravinMonitor);
    if (!channel.openMonitor())
        return false;
    std::vector<BYTE> record = commandRecord(first, requestedName_);
    wchar_t answer[kPortNameChars] = {};
    DWORD needed = 0;
    const bool sent = channel.xcvData(command, record.data(), static_cast<DWORD>(record.size()),
                                      reinterpret_cast<BYTE*>(answer), sizeof(answer), &needed);
    const DWORD status = channel.getStatus();
    channel.close();
    if (!sent)
        return false;
    if (status != ERROR_SUCCESS) {
        lastError_ = status;
        return false;
    }
    answer[kPortNameChars - 1] = L'\0';
    setPortNameBuffer(answer);
    return true;
}

bool PortClient::findPortBySubString()
{
    lastError_ = ERROR_UNKNOWN_PORT;
    if (sendMonitorCommand(kKeravinMonitor, L"FindPortSubString")) {
        const std::wstring found = portNameBuffer_;
        if (firstOccurrenceEnds(found, portName_)) {
            portName_ = found;
            return true;
        }
        setPortNameBuffer(portName_);
        return false;
    }
    if (!findPortInList())
        return false;
    portName_ = portNameBuffer_;
    return true;
}

bool PortClient::findOrGetPortName(const std::wstring& first)
{
    return findPortInList() || sendMonitorCommand(first, L"GetPortName");
}

bool PortClient::addNewPort(const std::wstring& first, const wchar_t* command)
{
    if (!sendMonitorCommand(first, command))
        return false;
    refreshPorts();
    return true;
}

bool PortClient::ensureTcpIpPort(const std::wstring& printerName)
{
    return ensureTcpPort(printerName, L"IP_", true);
}

// The queue's community is taken for a host-name port too: a port made for
// no queue would skip the queue's own community.
bool PortClient::ensureHostNamePort(const std::wstring& printerName)
{
    return ensureTcpPort(printerName, L"HST_", false);
}

bool PortClient::ensureTcpPort(const std::wstring& printerName, const wchar_t* prefix, bool byAddress)
{
    printerName_ = printerName;
    std::wstring monitor;
    bool exists = false;
    auto present = [&](const wchar_t* candidate, const std::wstring& name) {
        return isRegistryKeyPresent(portKeyPath(candidate, L"Ports", printerName, name));
    };
    if (present(kMakerTcp, requestedName_)) {
        portName_ = requestedName_;
        monitor = kMakerTcp;
        exists = true;
    } else if (present(kStandardTcp, requestedName_)) {
        portName_ = requestedName_;
        monitor = kStandardTcp;
        exists = true;
    } else {
        portName_ = requestedName_.find(prefix) != std::wstring::npos ? requestedName_ : prefix + requestedName_;
        if (present(kMakerTcp, portName_)) {
            monitor = kMakerTcp;
            exists = true;
        } else {
            monitor = kStandardTcp;
            exists = present(kStandardTcp, portName_);
            portCreated_ = exists;
        }
    }
    setPortNameBuffer(portName_);
    if (exists)
        return isClusterPrinter(printerName) || findOrGetPortName(monitor);
    if (findPortBySubString())
        return true;
    return byAddress ? createTcpIpPort(requestedName_, L"") : createTcpIpPort(L"", requestedName_);
}

PortClient::AddOutcome PortClient::sendAddPort(const wchar_t* monitor, const wchar_t* command, const BYTE* input,
                                               DWORD size)
{
    MonitorChannel channel(monitor);
    if (!channel.openMonitor())
        return AddOutcome::Refused;
    DWORD needed = 0;
    const bool sent = channel.xcvData(command, input, size, nullptr, 0, &needed);
    const DWORD status = channel.getStatus();
    channel.close();
    // A TRUE return with a status is the monitor refusing the port: only
    // status 0 made one, and an existing port of the name serves as well.
    if (!sent)
        return AddOutcome::Refused;
    if (status == ERROR_SUCCESS)
        return AddOutcome::Added;
    if (status == ERROR_ALREADY_EXISTS)
        return AddOutcome::Exists;
    lastError_ = status;
    return AddOutcome::Refused;
}

bool PortClient::createTcpIpPort(const std::wstring& ipAddress, const std::wstring& hostName)
{
    PORT_DATA_1 data;
    std::memset(&data, 0, sizeof(data));
    const std::wstring chosenCommunity = community(printerName_);
    const DWORD portNumber = portNumberFor(printPath_.getNumericAttribute(PrintPathAttr::Port));
    // A name or address cut to its field would make a port for something else.
    if (!putField(data.sztPortName, 64, portName_) ||
        !putField(data.sztHostAddress, 49, hostName.empty() ? ipAddress : hostName) ||
        !putField(data.sztIPAddress, 16, ipAddress)) {
        lastError_ = ERROR_INVALID_NAME;
        return false;
    }
    putField(data.sztSNMPCommunity, 33, chosenCommunity.substr(0, 32));
    data.dwVersion = 1;
    data.dwProtocol = PROTOCOL_RAWTCP_TYPE;
    data.cbSize = sizeof(PORT_DATA_1);
    data.dwPortNumber = portNumber;
    data.dwSNMPEnabled = 1;
    data.dwSNMPDevIndex = 1;
    const BYTE* record = reinterpret_cast<const BYTE*>(&data);

    AddOutcome outcome = sendAddPort(kStandardTcp, L"AddPort", record, sizeof(data));
    if (outcome == AddOutcome::Refused) {
        if (writeAddPortIni(ipAddress, hostName, portNumber, chosenCommunity)) {
            std::wstring name = portName_;
            outcome = sendAddPort(kMakerTcp, L"AddPortEx", reinterpret_cast<const BYTE*>(name.c_str()),
                                  static_cast<DWORD>((name.size() + 1) * sizeof(wchar_t)));
        }
        if (outcome == AddOutcome::Refused)
            outcome = sendAddPort(kMakerTcp, L"AddPort", record, sizeof(data));
    }
    return takePort(outcome);
}

bool PortClient::writeAddPortIni(const std::wstring& ipAddress, const std::wstring& hostName, DWORD portNumber,
                                 const std::wstring& chosenCommunity)
{
    std::wstring file;
    if (!prepareAddPortIni(file))
        return false;
    const wchar_t* section = portName_.c_str();
    const std::wstring values[][2] = {{L"PortNumber", std::to_wstring(portNumber)},
                                      {L"SNMPEnabled", L"1"},
                                      {L"ProtocolType", std::to_wstring(PROTOCOL_RAWTCP_TYPE)},
                                      {L"Community", chosenCommunity}};
    for (const auto& value : values) {
        if (!WritePrivateProfileStringW(section, value[0].c_str(), value[1].c_str(), file.c_str()))
            return false;
    }
    if (!hostName.empty())
        return WritePrivateProfileStringW(section, L"HostName", hostName.c_str(), file.c_str()) != FALSE;
    if (!ipAddress.empty())
        return WritePrivateProfileStringW(section, L"IPAddress", ipAddress.c_str(), file.c_str()) != FALSE;
    return false;
}

bool PortClient::prepareAddPortIni(std::wstring& path)
{
    // The maker's monitor reads AddPort.ini from version 5.2.0.11 on.
    VS_FIXEDFILEINFO version = {};
    if (!getFileVersionInfoFixed(L"vrelm613.DLL", version))
        return false;
    const WORD major = HIWORD(version.dwFileVersionMS), minor = LOWORD(version.dwFileVersionMS);
    const WORD build = HIWORD(version.dwFileVersionLS), revision = LOWORD(version.dwFileVersionLS);
    if (!(major > 5 || (major == 5 && minor > 2) || (major == 5 && minor == 2 && (build > 0 || revision >= 11))))
        return false;
    const wchar_t* pattern = L"%SystemRoot%\\system32\\AddPort.ini";
    const DWORD length = ExpandEnvironmentStringsW(pattern, nullptr, 0);
    if (length == 0)
        return false;
    std::wstring expanded(length, L'\0');
    const DWORD written = ExpandEnvironmentStringsW(pattern, expanded.data(), length);
    if (written == 0 || written > length)
        return false;
    expanded.resize(written - 1);
    // The folder must take the file: write, read back, remove the probe.
    if (!WritePrivateProfileStringW(L"QZCPD", L"QZCPD", L"123", expanded.c_str()) ||
        GetPrivateProfileIntW(L"QZCPD", L"QZCPD", 0, expanded.c_str()) != 123)
        return false;
    WritePrivateProfileStringW(L"QZCPD", nullptr, nullptr, expanded.c_str());
    path = expanded;
    return true;
}

bool PortClient::ensureUncPort(const std::wstring& printerName)
{
    return ensureUncKind(printerName, kUncKind, false);
}

bool PortClient::ensureUncNovellPort(const std::wstring& printerName)
{
    return ensureUncKind(printerName, kNovellKind, true);
}

bool PortClient::ensureUncKind(const std::wstring& printerName, const wchar_t* kind, bool novell)
{
    if (requestedName_.size() <= 2)
        return false;
    portName_ = requestedName_.substr(2);
    for (wchar_t& c : portName_) {
        if (c == L'\\') {
            c = L' ';
            if (!novell)
                break;
        }
    }
    setPortNameBuffer(novell ? portName_ : requestedName_);
    if (isRegistryKeyPresent(portKeyPath(kKeravinMonitor, kind, printerName, portName_)))
        return findOrGetPortName(kind);
    if (findPortBySubString())
        return true;
    portCreated_ = addNewPort(kind);
    return portCreated_;
}

bool PortClient::ensureIpxSpxPort(const std::wstring& printerName)
{
    auto present = [&]() {
        return isRegistryKeyPresent(portKeyPath(kMakerIpx, L"Ports", printerName, portName_));
    };
    portName_ = L"IPX_" + requestedName_;
    bool exists = present();
    if (!exists) {
        requestedName_ = printPath_.getStringAttribute(PrintPathAttr::HardwareAddress);
        portName_ = L"IPX_" + requestedName_;
        exists = present();
    }
    if (!exists) {
        requestedName_ = printPath_.getStringAttribute(PrintPathAttr::IPXSPXAddress);
        portName_ = L"IPX_" + requestedName_;
    }
    setPortNameBuffer(portName_);
    if (exists)
        return findOrGetPortName(kMakerIpx);
    if (findPortBySubString())
        return true;

    std::vector<BYTE> record(kIpxRecordSize, 0);
    BYTE* bytes = record.data();
    std::wstring device;
    convertString(printPath_.getDevice().getFriendlyName(), device, CP_ACP);
    const std::wstring& hardware = printPath_.getStringAttribute(PrintPathAttr::HardwareAddress);
    const DWORD port = printPath_.getNumericAttribute(PrintPathAttr::Port);
    putText(bytes, 0, 64, portName_);
    putU32(bytes, 128, 1);
    putU32(bytes, 132, 3);
    putU32(bytes, 136, kIpxRecordSize);
    putText(bytes, 242, 33, community(device));
    putText(bytes, 410, 13, hardware);
    putU32(bytes, 952, port != 0xFFFFFFFF ? port : kIpxDefaultPort);
    putU32(bytes, 956, 1);
    putU32(bytes, 960, 1);
    putU32(bytes, 972, 1);
    putText(bytes, 976, 9, printPath_.getStringAttribute(PrintPathAttr::NetNum));
    putText(bytes, 994, 22, hardware);
    putU32(bytes, 1044, 90);
    return takePort(sendAddPort(kMakerIpx, L"AddPort", bytes, kIpxRecordSize));
}

bool PortClient::takePort(AddOutcome outcome)
{
    if (outcome == AddOutcome::Refused)
        return false;
    refreshPorts();
    setPortNameBuffer(portName_);
    portCreated_ = outcome == AddOutcome::Added;
    return true;
}

bool PortClient::ensureWaypostPort()
{
    portName_ = requestedName_;
    setPortNameBuffer(portName_);
    if (findPortInList())
        return true;
    portCreated_ = addNewPort(kWaypostKind, L"AddNewWPPort");
    return portCreated_;
}

} // namespace MPrint
