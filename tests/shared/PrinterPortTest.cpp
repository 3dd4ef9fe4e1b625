// Port-name classification, the port lookup in the monitors' registry keys
// (written by the stand-in monitors themselves), and terminal-server and
// Citrix client ports followed to the client machine's printer.
#include "destination/Address.h"
#include "shared/PrinterPort.h"
#include "support/PortStandIns.h"
#include "support/PrivateCurrentUser.h"
#include "support/ScopedTcpPort.h"
#include "support/SessionPorts.h"
#include "support/SharedState.h"
#include "support/TestEnv.h"
#include "support/TestSpooler.h"

#include <gtest/gtest.h>

VRELM_TEST_SHARES(cluster_node);

using testspool::ScopedQueue;
using testspool::ScopedSessionPorts;
using testspool::ScopedTcpPort;
using testspool::kStandardTcpMonitor;

TEST(PrinterPort, ClassificationByPortName)
{
    struct Row {
        const wchar_t* name;
        bool split;
        bool found;
        int type;
        std::wstring address;
        int number;
    } rows[] = {
        {L"IP_10.0.0.5", true, true, kPortIP, L"10.0.0.5", 9100},
        {L"HST_printer1", true, true, kPortHostName, L"printer1", 9100},
        {L"USB001", true, true, kPortUSB, L"USB001", 1},
        {L"LPT1:", true, true, kPortLPT, L"LPT1:", 1},
        {L"DOT4_003", true, true, kPortDot4, L"DOT4_003", 3},
        {L"FILE:", true, true, kPortFile, L"", 0},
        {L"COM1:", true, true, kPortCOM, L"", 0},
        {L"\\\\srv\\share", true, true, kPortUNC, L"\\\\srv\\share", 0},
        {L"10.0.0.7:raw", true, true, kPortIP, L"10.0.0.7", 9100},
        {L"myhost:raw", true, true, kPortHostName, L"myhost", 9100},
        {L"IPX_0000ABCD", true, true, kPortIPX, L"0000ABCD", 0},
        {L"WSD-1234", true, true, kPortWSD, L"WSD-1234", 0},
        {L"TS003", true, true, kPortTerminalServer, L"TS003", 3},
        {L"Client:3:PC7:Laser", true, true, kPortCitrixClient, L"Client:3:PC7:Laser", 0},
        {L"10.0.0.9:9101", true, true, kPortIP, L"10.0.0.9", 9101},
        {L"10.0.0.9:9101", false, false, kPortUnresolved, L"", 0},
        {L"host-a", true, true, kPortHostName, L"host-a", 9100},
        {L"host-a", false, false, kPortUnresolved, L"", 0},
        {L"usb001", true, true, kPortHostName, L"usb001", 9100},  // the prefixes are case-sensitive
        {L"12-34", true, true, kPortIP, L"12-34", 9100},          // counts as numeric
        {L"fe80::1", true, true, kPortHostName, L"fe80", 0},
        {L"host:99999999999", true, true, kPortHostName, L"host", 0x7FFFFFFF},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testenv::narrow(row.name) + (row.split ? " split" : " no split"));
        PrinterPort port(row.name);
        port.setAllowAddressSplit(row.split);
        EXPECT_EQ(port.guessPortAddress(false), row.found);
        EXPECT_EQ(port.getPortType(), row.type);
        EXPECT_EQ(port.getPortNumber(), row.number);
        std::wstring address = L"unchanged";
        if (row.found) {
            // getPortAddress reports the same classification (no monitor knows these ports).
            PrinterPort again(row.name);
            again.setAllowAddressSplit(row.split);
            again.setResolveClientPorts(false);
            EXPECT_TRUE(again.getPortAddress(address));
            EXPECT_EQ(address, row.address);
        }
    }
    PrinterPort empty(L"");
    EXPECT_FALSE(empty.guessPortAddress(false));
    std::wstring name;
    EXPECT_FALSE(empty.getPortDisplayName(name));
}

TEST(PrinterPort, TerminalServerAndCitrixClientPortNames)
{
    PrinterPort port(L"x");
    struct Row {
        const wchar_t* name;
        bool terminalServer, citrix;
    } rows[] = {
        {L"TS001", true, false},      {L"TS", true, false},          {L"TS-01", false, false},
        {L"TS1.2", false, false},     {L"TSx1", false, false},        {L"ts001", false, false},
        {L"TS 1", false, false},      {L"Client:3:PC7:Laser", false, true},
        {L"CLIENT#\\PC7#\\Laser", false, true}, {L"client#/pc7", false, true},
        {L"client:0:x:", false, false}, {L"client:3", false, false}, {L"client::3:x", false, false},
        {L"", false, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testenv::narrow(row.name));
        EXPECT_EQ(port.isTerminalServerPort(row.name), row.terminalServer);
        EXPECT_EQ(port.isCitrixClientPort(row.name), row.citrix);
    }
    struct Split {
        const wchar_t* text;
        bool result;
        std::wstring address;
        int number, type;
    } splits[] = {
        {L"192.168.0.20:9102", true, L"192.168.0.20", 9102, kPortIP},
        {L"printer1", true, L"printer1", 9100, kPortHostName},
        {L"host:", true, L"host", 0, kPortHostName},
        {L"", false, L"unchanged", -1, -1},
    };
    for (const Split& row : splits) {
        SCOPED_TRACE(testenv::narrow(row.text));
        std::wstring address = L"unchanged";
        int number = -1, type = -1;
        EXPECT_EQ(PrinterPort::splitAddressAndPort(row.text, address, number, type), row.result);
        EXPECT_EQ(address, row.address);
        EXPECT_EQ(number, row.number);
        EXPECT_EQ(type, row.type);
    }
    EXPECT_TRUE(PrinterPort::isNumericAddress(L""));
    EXPECT_FALSE(PrinterPort::isNumericAddress(L"10.0.0.a"));
}

TEST(PrinterPort, AddressesFromTheStandardTcpMonitorsPortKeys)
{
    ASSERT_NE(testspool::control(), nullptr);
    struct Row {
        const char* name;
        std::wstring host, ip;
        DWORD number;
        std::wstring address;
        int type;
        bool indexedRaw;
    } rows[] = {
        {"host name only", L"printer-" + std::to_wstring(GetCurrentProcessId()), L"", 9101, L"", kPortHostName, true},
        {"address only", L"", testspool::uniqueTcpAddress(), 9108, L"", kPortIP, true},
        {"both: the host name wins", L"lobby-printer", testspool::uniqueTcpAddress(), 9100, L"lobby-printer", kPortHostName, false},
        {"an IPv6 host name", L"fe80::" + std::to_wstring(GetCurrentProcessId() % 9999), L"", 9109, L"", kPortIP,
         false},
    };
    for (Row& row : rows) {
        SCOPED_TRACE(row.name);
        if (row.address.empty())
            row.address = row.host.empty() ? row.ip : row.host;
        const std::wstring portName = L"IP_" + testspool::uniqueTcpAddress();
        ScopedTcpPort tcp(portName, row.host, row.ip, row.number, L"site-" + std::to_wstring(row.number));
        ASSERT_EQ(tcp.status(), 0u);
        ScopedQueue queue(testspool::uniqueQueueName(L"Tcp"), L"Vrelm Test Driver", portName);
        ASSERT_EQ(queue.error(), DWORD{ERROR_SUCCESS});
        PrinterPort port(queue.name().c_str(), nullptr);
        std::wstring text;
        ASSERT_TRUE(port.getPortDisplayName(text));
        EXPECT_EQ(text, portName);
        ASSERT_TRUE(port.getPortAddress(text));
        EXPECT_EQ(text, row.address);
        EXPECT_EQ(port.getPortType(), row.type);
        EXPECT_EQ(port.getPortNumber(), static_cast<int>(row.number));
        EXPECT_EQ(port.isIndexedRawPort(), row.indexedRaw);
        EXPECT_TRUE(port.getPortDescription(text));
        EXPECT_EQ(text, kStandardTcpMonitor);
        EXPECT_EQ(port.getSNMPCommunity(), L"site-" + std::to_wstring(row.number));
        // reset keeps the community it read.
        port.reset(L"LPT1:");
        EXPECT_EQ(port.getPortType(), kPortUnresolved);
        EXPECT_EQ(port.getSNMPCommunity(), L"site-" + std::to_wstring(row.number));
    }
    EXPECT_FALSE(PrinterPort::doesPortExist(L"IP_no.such.port", nullptr));
    EXPECT_TRUE(PrinterPort::doesPortExist(L"lpt1:", nullptr));
    EXPECT_FALSE(PrinterPort::doesPortExist(L"", nullptr));
}

TEST(PrinterPort, ServerQueuesFallBackToTheLocalRegistryAndFindTheMonitorByItsDriver)
{
    ASSERT_NE(testspool::control(), nullptr);
    const std::wstring server = L"\\\\PS" + std::to_wstring(GetCurrentProcessId());
    const std::wstring address = testspool::uniqueTcpAddress();
    const std::wstring portName = L"IP_" + address;
    ScopedTcpPort tcp(portName, L"", address, 9102);
    ASSERT_EQ(tcp.status(), 0u);
    ScopedQueue queue(server + L"\\" + testspool::uniqueQueueName(L"Shared"), L"Vrelm Test Driver", portName);
    ASSERT_EQ(queue.error(), DWORD{ERROR_SUCCESS});
    // The server lists the port under a description of its own; the monitor's
    // key is then the one whose "Driver" names the same DLL.
    std::wstring dll;
    {
        HKEY key = nullptr;
        ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE,
                                L"SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\Standard TCP/IP Port", 0,
                                KEY_READ, &key),
                  ERROR_SUCCESS);
        wchar_t value[MAX_PATH] = {};
        DWORD size = sizeof(value) - sizeof(wchar_t);
        RegQueryValueExW(key, L"Driver", nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size);
        RegCloseKey(key);
        dll = value;
    }
    ASSERT_FALSE(dll.empty());
    ASSERT_EQ(testspool::control()->addServerPort(server.c_str(), portName.c_str(), dll.c_str(),
                                                  L"Remote TCP/IP Printing"),
              DWORD{ERROR_SUCCESS});
    PrinterPort port(queue.name().c_str(), nullptr);
    std::wstring text;
    ASSERT_TRUE(port.getPortAddress(text));
    EXPECT_EQ(text, address);
    EXPECT_EQ(port.getPortNumber(), 9102);
    EXPECT_EQ(port.getServerName(), server);
    ASSERT_TRUE(port.getPortDescription(text));
    EXPECT_EQ(text, kStandardTcpMonitor);
    ASSERT_TRUE(port.getMonitorName(text));
    EXPECT_EQ(text, dll);
}

TEST(PrinterPort, ExternalConfigurationFromPrinterData)
{
    ASSERT_NE(testspool::control(), nullptr);
    ScopedQueue queue(testspool::uniqueQueueName(L"Ext"), L"Vrelm Test Driver", L"LPT1:");
    ASSERT_EQ(queue.error(), DWORD{ERROR_SUCCESS});
    PrinterPort port(queue.name().c_str(), nullptr);
    std::wstring address = L"unchanged";
    EXPECT_FALSE(port.isExternalPortConfigForPrinter(address, queue.name().c_str()));
    EXPECT_EQ(address, L"unchanged");
    queue.setString(L"", L"NovellSNMPAddressAndPort", L"10.9.9.9:161");
    queue.setString(L"", L"DeviceConfigAddress", L"192.168.0.20:9102");
    EXPECT_TRUE(port.isExternalPortConfigForPrinter(address, queue.name().c_str()));
    EXPECT_EQ(address, L"192.168.0.20");
    EXPECT_EQ(port.getPortNumber(), 9102);
    EXPECT_EQ(port.getPortType(), kPortIP);
    queue.setString(L"", L"LumoAutoCreatedClientPort", L"client-host");
    EXPECT_TRUE(port.isExternalPortConfig(address, nullptr));
    EXPECT_EQ(address, L"client-host");
    EXPECT_EQ(port.getPortType(), kPortHostName);
    EXPECT_FALSE(port.isExternalPortConfigForPrinter(address, L"No Such Queue"));
}

TEST(PrinterPort, QueuePrintingToAnotherQueueTakesThatQueuesPort)
{
    ASSERT_NE(testspool::control(), nullptr);
    const std::wstring server = L"\\\\SQ" + std::to_wstring(GetCurrentProcessId());
    ScopedQueue shared(server + L"\\" + testspool::uniqueQueueName(L"Target"), L"Vrelm Test Driver", L"IP_10.7.7.7");
    ASSERT_EQ(shared.error(), DWORD{ERROR_SUCCESS});
    ScopedQueue local(testspool::uniqueQueueName(L"Via"), L"Vrelm Test Driver", shared.name());
    ASSERT_EQ(local.error(), DWORD{ERROR_SUCCESS});
    PrinterPort port(local.name().c_str(), nullptr);
    std::wstring text;
    ASSERT_TRUE(port.getPortDisplayName(text));
    EXPECT_EQ(text, L"IP_10.7.7.7");
    // A port name that names a shared printer is followed too.
    PrinterPort byName(shared.name().c_str());
    ASSERT_TRUE(byName.getPortDisplayName(text));
    EXPECT_EQ(text, L"IP_10.7.7.7");
}

TEST(PrinterPort, TerminalServerAndCitrixPortsResolveToTheClientsPrinter)
{
    ASSERT_NE(testspool::control(), nullptr);
    const std::wstring id = std::to_wstring(GetCurrentProcessId());
    const std::wstring client = L"PC" + id;
    ScopedQueue laser(L"\\\\" + client + L"\\Laser", L"Vrelm Test Driver", L"IP_10.0.0.9");
    ASSERT_EQ(laser.error(), DWORD{ERROR_SUCCESS});
    ScopedSessionPorts ports(L"Session Ports " + id);

    // A terminal-server port says whose printer it is in its description.
    const std::wstring tsPort = L"TS" + std::to_wstring(GetCurrentProcessId() % 100000);
    ports.add(tsPort, client + L":  PRN1");
    ScopedQueue session(L"Laser (from " + client + L") in session 2", L"Vrelm Test Driver", tsPort);
    ASSERT_EQ(session.error(), DWORD{ERROR_SUCCESS});
    PrinterPort ts(session.name().c_str(), nullptr);
    std::wstring text;
    ASSERT_TRUE(ts.getPortAddress(text));
    EXPECT_EQ(text, L"10.0.0.9");
    EXPECT_EQ(ts.getPortType(), kPortIP);
    PrinterPort unresolved(session.name().c_str(), nullptr);
    unresolved.setResolveClientPorts(false);
    ASSERT_TRUE(unresolved.getPortAddress(text));
    EXPECT_EQ(unresolved.getPortType(), kPortTerminalServer);
    EXPECT_TRUE(unresolved.getTerminalServerClient(text));
    EXPECT_EQ(text, L"\\\\" + client);

    // A Citrix client port: its printer is among the client provider's printers.
    const std::wstring clientPrinter = L"Desk" + id;
    ScopedQueue desk(L"\\\\Client\\" + clientPrinter, L"Vrelm Test Driver", L"IP_10.0.0.10");
    ASSERT_EQ(desk.error(), DWORD{ERROR_SUCCESS});
    const std::wstring provider = L"Client Network!\\\\Client";
    ASSERT_EQ(testspool::control()->addProviderPrinter(provider.c_str(), desk.name().c_str()),
              DWORD{ERROR_SUCCESS});
    const std::wstring citrixPort = L"Client:2:" + client + L":" + clientPrinter;
    ports.add(citrixPort, L"Client printer port");
    ScopedQueue citrix(clientPrinter + L" (from " + client + L")", L"Vrelm Test Driver", citrixPort);
    ASSERT_EQ(citrix.error(), DWORD{ERROR_SUCCESS});
    PrinterPort ctx(citrix.name().c_str(), nullptr);
    ASSERT_TRUE(ctx.getPortAddress(text));
    EXPECT_EQ(text, L"10.0.0.10");
    EXPECT_EQ(ctx.getPortType(), kPortIP);
    testspool::control()->removeProvider(provider.c_str());

    // The queue's session ports make it a remote-session queue.
    HANDLE printer = nullptr;
    ASSERT_TRUE(OpenPrinterW(const_cast<wchar_t*>(session.name().c_str()), &printer, nullptr));
    EXPECT_TRUE(isRemoteSessionPort(printer));
    ClosePrinter(printer);
    ASSERT_TRUE(OpenPrinterW(const_cast<wchar_t*>(laser.name().c_str()), &printer, nullptr));
    EXPECT_FALSE(isRemoteSessionPort(printer));
    ClosePrinter(printer);
    EXPECT_FALSE(isRemoteSessionPort(nullptr));
}

TEST(PrinterPort, RemotePrinterFallsBackToTheRemotePortModule)
{
    ASSERT_NE(testspool::control(), nullptr);
    testenv::ScopedLogVariable record(L"VRELM_REMOTEPORT_LOG");
    const std::wstring serverName = L"RM" + std::to_wstring(GetCurrentProcessId());
    ScopedQueue remote(L"\\\\" + serverName + L"\\Plotter", L"Vrelm Test Driver", L"IP_10.3.3.3");
    ASSERT_EQ(remote.error(), DWORD{ERROR_SUCCESS});
    testspool::control()->addServerPort((L"\\\\" + serverName).c_str(), L"IP_10.3.3.3", L"tcpmon.dll",
                                        L"Standard TCP/IP Port");
    // The session queue's driver lives beside the remote-port module.
    const std::wstring driver = testspool::uniqueQueueName(L"RemoteDriver");
    const std::wstring file = testports::remotePortDir(L"full") + L"\\VRELMDRV.DLL";
    testspool::control()->setDriverValue(driver.c_str(), L"Driver", REG_SZ, file.c_str(),
                                         static_cast<DWORD>((file.size() + 1) * sizeof(wchar_t)));
    // The port names the client; the printer data names a server that cannot
    // be reached, so the printer is not opened directly and the module is asked.
    const std::wstring tsPort = L"TS" + std::to_wstring(GetCurrentProcessId() % 100000 + 1);
    ScopedSessionPorts ports(L"Remote Session Ports " + serverName);
    ports.add(tsPort, serverName + L": PRN");
    ScopedQueue session(L"Plotter (from X)", driver, tsPort);
    ASSERT_EQ(session.error(), DWORD{ERROR_SUCCESS});
    session.setString(L"", L"PrintServerName", L"UNREACHABLE" + serverName);
    PrinterPort port(session.name().c_str(), nullptr);
    std::wstring address;
    ASSERT_TRUE(port.getPortAddress(address));
    EXPECT_EQ(address, L"10.3.3.3");
    EXPECT_EQ(port.getPortType(), kPortIP);
    ASSERT_TRUE(port.getPortDisplayName(address));
    EXPECT_EQ(address, L"IP_10.3.3.3");
    EXPECT_EQ(record.count("GetRemotePortName"), 1u);
    EXPECT_EQ(record.count("GetRemotePortInformation"), 1u);
    EXPECT_EQ(record.count("FreeQZString"), 4u);
    RegDeleteTreeW(HKEY_LOCAL_MACHINE,
                   (L"SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\Windows x64\\Drivers\\Version-3\\" +
                    driver).c_str());
}

TEST(PrinterPort, RestrictedUserPresetKeyIsVolatileForSessionQueues)
{
    ASSERT_NE(testspool::control(), nullptr);
    testenv::PrivateCurrentUser user;
    ASSERT_TRUE(user.isActive());
    const std::wstring id = std::to_wstring(GetCurrentProcessId());
    ScopedSessionPorts ports(L"Preset Session Ports " + id);
    const std::wstring tsPort = L"TS" + std::to_wstring(GetCurrentProcessId() % 100000 + 2);
    ports.add(tsPort, L"NOWHERE" + id + L": PRN");
    ScopedQueue session(testspool::uniqueQueueName(L"Session"), L"Vrelm Test Driver", tsPort);
    ScopedQueue local(testspool::uniqueQueueName(L"Local"), L"Vrelm Test Driver", L"LPT1:");
    const std::wstring guid = L"{6F1C2B7E-0000-4000-8000-" + std::wstring(12 - std::min<size_t>(12, id.size()), L'0') + id + L"}";
    for (const ScopedQueue* queue : {&session, &local}) {
        ASSERT_EQ(queue->error(), DWORD{ERROR_SUCCESS});
        queue->setString(L"QZPresetRoot", L"QZRestrictedUserGuid", guid);
    }
    HANDLE printer = nullptr;
    DWORD disposition = 0xBD;
    ASSERT_TRUE(OpenPrinterW(const_cast<wchar_t*>(local.name().c_str()), &printer, nullptr));
    EXPECT_EQ(PrinterPort::openRestrictedUserPresetKey(printer, false, &disposition, L"Presets"), nullptr);
    EXPECT_EQ(disposition, 0u);
    HKEY key = PrinterPort::openRestrictedUserPresetKey(printer, true, &disposition, L"Presets");
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(disposition, DWORD{REG_CREATED_NEW_KEY});
    HKEY child = nullptr;
    // A non-volatile key may have non-volatile children.
    EXPECT_EQ(RegCreateKeyExW(key, L"Child", 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &child,
                              nullptr),
              ERROR_SUCCESS);
    RegCloseKey(child);
    RegCloseKey(key);
    key = PrinterPort::openRestrictedUserPresetKey(printer, false, &disposition, L"Presets");
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(disposition, DWORD{REG_OPENED_EXISTING_KEY});
    RegCloseKey(key);
    // The path is built in 520 characters: a longer one opens nothing.
    EXPECT_EQ(PrinterPort::openRestrictedUserPresetKey(printer, true, &disposition, std::wstring(520, L'k').c_str()),
              nullptr);
    ClosePrinter(printer);

    ASSERT_TRUE(OpenPrinterW(const_cast<wchar_t*>(session.name().c_str()), &printer, nullptr));
    key = PrinterPort::openRestrictedUserPresetKey(printer, true, &disposition, L"Session");
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(RegCreateKeyExW(key, L"Child", 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &child,
                              nullptr),
              LONG{ERROR_CHILD_MUST_BE_VOLATILE});
    RegCloseKey(key);
    ClosePrinter(printer);
    // Without the printer data there is no key.
    EXPECT_EQ(PrinterPort::openRestrictedUserPresetKey(nullptr, true, &disposition, nullptr), nullptr);
}
