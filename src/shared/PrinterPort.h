// Which device a print queue prints to. Given a printer (handle or name) or
// a bare port name, PrinterPort finds the port, classifies it by the shape
// of its name and yields an address, a TCP port number and a PortType: from
// the port monitor's registry key first (local, a print server's or a
// cluster's), else from the name; terminal-server and Citrix client ports
// are followed to the client machine's printer. A plain value object: no
// operation throws, and each leaves unchanged the fields it did not fill.
#pragma once

#include "core/ScopedHandle.h"
#include "core/Win32.h"

#include <string>

enum PortType : int {
    kPortHostName = 0,
    kPortIP = 1,
    kPortIPX = 2,
    kPortUNC = 3,
    kPortDot4 = 4,
    kPortUSB = 5,
    kPortLPT = 6,
    kPortCitrixClient = 7,
    kPortTerminalServer = 8,
    kPortCOM = 9,
    kPortFile = 10,
    kPortWSD = 11,
    kPortUnresolved = 12,
};

class PrinterPort {
public:
    // Borrows the handle. Without a port name, the printer's own port.
    PrinterPort(HANDLE printer, const wchar_t* portName);
    // Opens the printer (PRINTER_ACCESS_USE); without a port name, its port.
    PrinterPort(const wchar_t* printerName, const wchar_t* portName);
    // A port, or a "\\server\printer" name without a local queue.
    explicit PrinterPort(const wchar_t* portName);
    virtual ~PrinterPort();
    PrinterPort(const PrinterPort&) = delete;
    PrinterPort& operator=(const PrinterPort&) = delete;

    // Slots in the order the other modules know them.
    virtual bool reset(const wchar_t* name);  // keeps the SNMP community
    virtual void setAllowAddressSplit(bool allow);
    virtual void setResolveClientPorts(bool resolve);
    virtual bool isExternalPortConfigForPrinter(std::wstring& address, const wchar_t* printerName);
    virtual bool isExternalPortConfig(std::wstring& address, HANDLE printer);
    virtual bool getPortAddress(std::wstring& address);
    virtual bool guessPortAddress(bool resolveClientPorts);
    virtual bool isIndexedRawPort();
    virtual std::wstring getSNMPCommunity();
    virtual bool getTerminalServerClient(std::wstring& client);
    virtual bool getPortInfo();
    virtual bool lookupPortAddressInRegistry();
    virtual bool getRegKeyPathForPort(ScopedRegKey& portKey);
    virtual bool getTCPIPDeviceAddressFromPortKey(HKEY portKey);
    virtual bool readIPXPortKey(HKEY portKey);
    virtual bool setDisplayName(const wchar_t* name);
    virtual void openPrinter(const wchar_t* name);
    virtual bool isCitrixClientPort(const std::wstring& name);
    virtual bool isTerminalServerPort(const std::wstring& name);
    virtual bool getPortMonitorInfo();
    virtual void assign(const PrinterPort& other);
    virtual bool resolveTerminalServerPort();
    virtual bool resolveCitrixPort();
    virtual bool resolveRemotePort(std::wstring& client, const wchar_t* printerName);
    virtual std::wstring readSNMPCommunityFromPortKey();

    int getPortType() const { return portType_; }
    int getPortNumber() const { return portNumber_; }
    bool getPortDisplayName(std::wstring& name) const;
    bool getMonitorName(std::wstring& name);
    bool getPortDescription(std::wstring& description);
    bool getAllowAddressSplit() const { return allowAddressSplit_; }
    const std::wstring& getServerName() const { return serverName_; }

    bool getPortDisplayNameFromPrinter(const wchar_t* printerName);
    // GetPrinterW of the held printer into a GPTR block freed with GlobalFree; null on failure.
    BYTE* getPrinterInfoAlloc(DWORD level);
    // Opens monitorsPath\<portDescription>, else the subkey whose "Driver" is
    // the monitor; a Win32 code.
    LONG openPortMonitorKey(HKEY root, REGSAM access, const std::wstring& monitorsPath, ScopedRegKey& monitorKey);
    bool findMonitorKeyByDriver(HKEY monitorsKey, REGSAM access, ScopedRegKey& monitorKey);
    bool getRemotePrinterAndServer(const wchar_t* printerName, std::wstring& server, std::wstring& remotePrinter);
    std::wstring getPrintServerNameData();
    std::wstring getPrinterNameData();

    static bool doesPortExist(const wchar_t* portName, const wchar_t* serverName);
    static bool splitAddressAndPort(const std::wstring& text, std::wstring& address, int& portNumber, int& portType);
    static bool isNumericAddress(const std::wstring& text);
    static int getDefaultPortNumber() { return 9100; }
    // The per-user preset key of a restricted user of the queue (HKCU
    // "Software\Tarvokin\<QZRestrictedUserGuid>[\subkey]"), volatile when
    // created for a terminal-server or Citrix client port; null on failure.
    // The caller closes it. *disposition is 0 unless a key is returned.
    static HKEY openRestrictedUserPresetKey(HANDLE printer, bool create, DWORD* disposition, const wchar_t* subkey);

private:
    void closePrinter();
    std::wstring printerDataString(const wchar_t* value);

    std::wstring displayName_;
    std::wstring portAddress_;
    std::wstring monitorName_;
    std::wstring portDescription_;
    std::wstring serverName_;
    std::wstring snmpCommunity_;
    int portType_ = kPortUnresolved;
    int portNumber_ = 0;
    bool portInfoResolved_ = false;
    HANDLE printerHandle_ = nullptr;  // borrowed, or ownedPrinter_'s
    ScopedPrinter ownedPrinter_;
    bool allowAddressSplit_ = true;
    bool resolveClientPorts_ = true;
};

// The printer prints to an auto-created client port (a terminal-server or
// Citrix client port); false for a null handle.
bool isAutoCreatedPortPrinter(HANDLE printer);
// The printer's own port is a Citrix client or terminal-server port, its
// address resolved; false for a null handle.
bool isRemoteSessionPort(HANDLE printer);
