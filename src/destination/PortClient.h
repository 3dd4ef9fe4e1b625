// Finds or creates the spooler port that reaches one destination: TCP/IP by
// address or host name (the platform's "Standard TCP/IP Port", else the
// maker's "QZ Standard TCP/IP Port"), UNC path and UNC path on Novell, IPX/SPX
// and the Waypost service (the maker's "QZ Keravin Print Monitor"). One object
// serves one request: construct it, call one ensure operation, read the port
// name, whether a port was created, and on failure the error: 21 when no
// step recorded more, 1796 once the monitor's port search ran, or the status
// with which a monitor refused a command.
#pragma once

#include "core/ResourceLoader.h"
#include "core/Win32.h"
#include "destination/PrintPath.h"

#include <functional>
#include <string>
#include <vector>

namespace MPrint {

class PortClient {
public:
    // The SNMP read community a new port gets for a queue (or, for IPX/SPX,
    // a device) name; none given: an empty community.
    using CommunityLookup = std::function<std::wstring(const std::wstring& name)>;

    static constexpr size_t kPortNameChars = 128;

    PortClient(ResourceLoader* owner, const std::wstring& requestedName, PrintPath& printPath,
               CommunityLookup community = {});
    virtual ~PortClient() = default;
    PortClient(const PortClient&) = delete;
    PortClient& operator=(const PortClient&) = delete;

    // The printer name is the queue being configured: it decides the cluster
    // form of the registry paths and the community of a new TCP/IP port.
    bool ensureTcpIpPort(const std::wstring& printerName);
    bool ensureHostNamePort(const std::wstring& printerName);
    bool ensureUncPort(const std::wstring& printerName);
    bool ensureUncNovellPort(const std::wstring& printerName);
    bool ensureIpxSpxPort(const std::wstring& printerName);
    bool ensureWaypostPort();

    // Always terminated, at most kPortNameChars - 1 characters.
    const wchar_t* getPortName() const { return portNameBuffer_; }
    bool wasPortCreated() const { return portCreated_; }
    DWORD getError() const { return lastError_; }

    // The record of the Keravin monitor's port commands: size, 3, 96, the
    // second string's offset, zeroed reserved bytes, the two strings from 96.
    static std::vector<BYTE> commandRecord(const std::wstring& first, const std::wstring& second);
    // The TCP port for the print path's "Port" (0xFFFFFFFF when absent).
    static DWORD portNumberFor(DWORD portAttribute);

private:
    enum class AddOutcome { Refused, Added, Exists };

    bool ensureTcpPort(const std::wstring& printerName, const wchar_t* prefix, bool byAddress);
    bool ensureUncKind(const std::wstring& printerName, const wchar_t* kind, bool novell);
    std::wstring portKeyPath(const std::wstring& monitor, const std::wstring& subkey, const std::wstring& printerName,
                             const std::wstring& portName) const;
    static bool isRegistryKeyPresent(const std::wstring& path);
    bool findPortInList();
    bool sendMonitorCommand(const std::wstring& first, const wchar_t* command);
    bool findPortBySubString();
    bool findOrGetPortName(const std::wstring& first);
    bool addNewPort(const std::wstring& first, const wchar_t* command = L"AddNewPort");
    // True when the port is usable: made now (portCreated_) or already there.
    bool createTcpIpPort(const std::wstring& ipAddress, const std::wstring& hostName);
    // A port made or found: the spooler rereads its ports, the name is taken.
    bool takePort(AddOutcome outcome);
    AddOutcome sendAddPort(const wchar_t* monitor, const wchar_t* command, const BYTE* input, DWORD size);
    bool writeAddPortIni(const std::wstring& ipAddress, const std::wstring& hostName, DWORD portNumber,
                         const std::wstring& community);
    static bool prepareAddPortIni(std::wstring& path);
    static void refreshPorts();
    void setPortNameBuffer(const std::wstring& text);
    std::wstring community(const std::wstring& name) const;

    ResourceLoader* owner_; // kept for the caller; not used here
    std::wstring requestedName_;
    std::wstring portName_;
    std::wstring printerName_;
    wchar_t portNameBuffer_[kPortNameChars] = {};
    PrintPath& printPath_;
    DWORD lastError_ = ERROR_NOT_READY;
    bool portCreated_ = false;
    CommunityLookup community_;
};

} // namespace MPrint
