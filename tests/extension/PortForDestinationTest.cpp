// The port for a destination: print paths of every discovery service turned
// into (code, port name, port created, destination text), the ports really
// found or created through the stand-in monitors; and the job-delivery test
// that decides for a Waypost port.
#include "extension/LumoraPrintingExtension.h"

#include "access/MonitorAccess.h"
#include "destination/PrintPathAttr.h"
#include "destination/TargetHistoryList.h"
#include "discovery/DiscoveryClassIds.h"
#include "extension/ManagedPrintPolicy.h"
#include "support/PolicyTestEnv.h"
#include "support/PrivateCurrentUser.h"
#include "support/SharedState.h"
#include "support/TestEnv.h"
#include "support/TestSpooler.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

VRELM_TEST_SHARES(policy_settings);

namespace {

const std::wstring kMonitors = L"SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\";
constexpr GUID kUnknownService = {0x11111111, 0x2222, 0x3333, {0x44, 0x44, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55}};

bool keyExists(const std::wstring& path)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

// Texts of this process only, so that parallel runs never share a port.
std::wstring own(const std::wstring& text)
{
    return text + std::to_wstring(GetCurrentProcessId());
}

class PortForDestinationTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(hkcu_.isActive());
        ASSERT_TRUE(qzmon::registerStandInMonitors());
        testenv::clearPolicyState();
        extension_ = LumoraPrintingExtension::instance();
        ASSERT_NE(nullptr, extension_);
        ASSERT_EQ(DWORD{ERROR_SUCCESS}, queue_.error());
    }
    void TearDown() override
    {
        delete LumoraPrintingExtension::current();
        testenv::clearPolicyState();
        for (const std::wstring& key : created_)
            RegDeleteTreeW(HKEY_LOCAL_MACHINE, key.c_str());
    }

    testenv::PrivateCurrentUser hkcu_;
    testspool::ScopedQueue queue_{testspool::uniqueQueueName(L"Port For Destination")};
    LumoraPrintingExtension* extension_ = nullptr;
    std::vector<std::wstring> created_; // registry keys of the ports made here
};

TEST_F(PortForDestinationTest, PrintPathsBecomePorts)
{
    using namespace PrintPathAttr;
    const std::wstring pid = std::to_wstring(GetCurrentProcessId() % 65000);
    const std::wstring ip = L"10.25." + std::to_wstring(GetCurrentProcessId() % 250) + L"." +
                            std::to_wstring(GetCurrentProcessId() / 250 % 250);
    const std::wstring host = own(L"printhost");
    const std::wstring server = own(L"srv");
    const std::wstring ipx = L"0000" + pid + L":00A0C9000001";
    const std::wstring waypost = L"QZ Managed Printing"; // the resource module's vendor port name
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, (kMonitors + L"QZ Keravin Print Monitor\\Ports\\" + waypost).c_str());
    created_ = {kMonitors + L"Standard TCP/IP Port\\Ports\\IP_" + ip,
                kMonitors + L"Standard TCP/IP Port\\Ports\\HST_" + host,
                kMonitors + L"QZ Standard IPX/SPX Port\\Ports\\IPX_" + ipx,
                kMonitors + L"QZ Keravin Print Monitor\\Ports\\" + server + L" share",
                kMonitors + L"QZ Keravin Print Monitor\\QZ UNC Port\\" + server + L" share",
                kMonitors + L"QZ Keravin Print Monitor\\Ports\\" + server + L" sys lasers",
                kMonitors + L"QZ Keravin Print Monitor\\QZ UNC Novell Port\\" + server + L" sys lasers",
                kMonitors + L"QZ Keravin Print Monitor\\Ports\\" + server + L" usb",
                kMonitors + L"QZ Keravin Print Monitor\\QZ UNC Port\\" + server + L" usb",
                kMonitors + L"QZ Keravin Print Monitor\\Ports\\" + waypost,
                kMonitors + L"QZ Keravin Print Monitor\\QZ Waypost Port\\" + waypost};
    for (const std::wstring& key : created_)
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, key.c_str());

    struct Row {
        const char* name;
        GUID service;
        std::vector<std::pair<std::wstring, std::wstring>> texts;
        std::vector<std::pair<std::wstring, DWORD>> numbers;
        DWORD code;
        std::wstring port;
        bool created;
        std::wstring key = {}; // a port key that must exist afterwards
    } rows[] = {
        {"static update: the address, whatever found it", discoveryids::kLocalPorts,
         {{Address, L"IP_10.9.9.9"}, {LocalPort, L"LPT1:"}}, {{StaticModeUpdate, 1}, {LocalPortType, 1}}, 0,
         L"IP_10.9.9.9", false},
        {"local port type 1", discoveryids::kLocalPorts, {{LocalPort, L"LPT1:"}, {DynamicPort, L"USB001"}},
         {{LocalPortType, 1}}, 0, L"LPT1:", false},
        {"local port type 2", discoveryids::kLocalPorts, {{LocalPort, L"COM2:"}}, {{LocalPortType, 2}}, 0, L"COM2:",
         false},
        {"local port type 3", discoveryids::kLocalPorts, {{LocalPort, L"LPT1:"}, {DynamicPort, L"USB001"}},
         {{LocalPortType, 3}}, 0, L"USB001", false},
        {"local port type 4", discoveryids::kLocalPorts, {{LocalPort, L"LPT1:"}, {DynamicPort, L"USB001"}},
         {{LocalPortType, 4}}, ERROR_UNKNOWN_PORT, L"", false},
        {"local port type 5", discoveryids::kLocalPorts, {{DynamicPort, L"WSD-1"}}, {{LocalPortType, 5}}, 0,
         L"WSD-1", false},
        {"local port without a type", discoveryids::kLocalPorts, {{LocalPort, L"LPT1:"}}, {}, ERROR_UNKNOWN_PORT,
         L"", false},
        {"TCP/IP address: a new port", discoveryids::kTcpIp, {{IPAddress, ip}, {HostnameAddress, host}},
         {{Port, 3}}, 0, L"IP_" + ip, true, kMonitors + L"Standard TCP/IP Port\\Ports\\IP_" + ip},
        // The port client counts an "IP_" port found under the platform's
        // monitor as its own creation, as it always has.
        {"TCP/IP address again: found", discoveryids::kTcpIp, {{IPAddress, ip}}, {}, 0, L"IP_" + ip, true},
        {"TCP/IP host name only", discoveryids::kTcpIp, {{HostnameAddress, host}}, {}, 0, L"HST_" + host, true,
         kMonitors + L"Standard TCP/IP Port\\Ports\\HST_" + host},
        {"IPX/SPX address", discoveryids::kIpxSpx, {{IPXSPXAddress, ipx}, {HardwareAddress, L"00A0C9000001"}}, {},
         0, L"IPX_" + ipx, true, kMonitors + L"QZ Standard IPX/SPX Port\\Ports\\IPX_" + ipx},
        {"IPX/SPX without an address: no port", discoveryids::kIpxSpx, {{HardwareAddress, L"00A0C9000001"}}, {}, 0,
         L"", false},
        {"UNC path", discoveryids::kNetworkShares, {{UNCPath, L"\\\\" + server + L"\\share"}}, {}, 0,
         server + L" share", true, kMonitors + L"QZ Keravin Print Monitor\\QZ UNC Port\\" + server + L" share"},
        {"UNC path again: found", discoveryids::kNetworkShares, {{UNCPath, L"\\\\" + server + L"\\share"}}, {}, 0,
         server + L" share", false},
        {"Novell path", discoveryids::kNetworkShares,
         {{NovellAddress, L"\\\\" + server + L"\\sys\\lasers"}, {UNCPath, L"\\\\" + server + L"\\share"}}, {}, 0,
         server + L" sys lasers", true,
         kMonitors + L"QZ Keravin Print Monitor\\QZ UNC Novell Port\\" + server + L" sys lasers"},
        {"USB print key: as a UNC path", discoveryids::kUsbPrintKey, {{UNCPath, L"\\\\" + server + L"\\usb"}}, {},
         0, server + L" usb", true},
        {"a port the monitor refuses: its status", discoveryids::kNetworkShares,
         {{UNCPath, L"\\\\" + server + L",x\\share"}}, {}, ERROR_INVALID_NAME, L"", false},
        {"an unknown discovery service, even with an address", kUnknownService, {{Address, ip}, {IPAddress, ip}}, {},
         ERROR_UNKNOWN_PORT, L"", false},
        {"job delivery: the Waypost port", discoveryids::kTcpIp, {{IPAddress, ip}}, {{JobDelivery, 1}}, 0, waypost,
         true, kMonitors + L"QZ Keravin Print Monitor\\Ports\\" + waypost},
        {"job delivery again: found", discoveryids::kTcpIp, {{IPAddress, ip}}, {{JobDelivery, 1}}, 0, waypost,
         false},
    };
    int index = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        MPrint::DestinationContext context(queue_.name(), L"Document");
        auto* path = new MPrint::PrintPath();
        path->setDiscoveryId(row.service);
        const std::wstring display = L"Destination " + std::to_wstring(++index);
        path->setStringAttribute(DisplayString, display, true);
        for (const auto& [name, text] : row.texts)
            path->setStringAttribute(name, text, true);
        for (const auto& [name, number] : row.numbers)
            path->setNumericAttribute(name, number, true);
        ASSERT_TRUE(context.setPrintPath(path));
        std::wstring port = L"unchanged";
        const std::wstring expectedPort = row.code == 0 ? row.port : L"unchanged";
        extension_->setDestination(L"before");
        EXPECT_EQ(row.code, extension_->makePortRecord(&context, port));
        EXPECT_EQ(row.code == 0 && row.port.empty() ? L"unchanged" : expectedPort, port);
        EXPECT_EQ(row.created ? 1u : 0xFFFFFFFFu, path->getNumericAttribute(NewPortCreated));
        EXPECT_EQ(display, extension_->getDestination());
        if (!row.key.empty()) {
            EXPECT_TRUE(keyExists(row.key));
        }
        if (row.created && row.key.find(L"Standard TCP/IP Port") != std::wstring::npos) {
            // A new TCP/IP port gets the community chosen for the queue: none set, the default.
            wchar_t community[64] = {};
            DWORD size = sizeof(community) - sizeof(wchar_t);
            RegGetValueW(HKEY_LOCAL_MACHINE, row.key.c_str(), L"SNMP Community", RRF_RT_REG_SZ, nullptr, community,
                         &size);
            EXPECT_STREQ(L"tundra", community);
        }
    }

    // No print path: nothing changes.
    MPrint::DestinationContext empty(queue_.name(), L"Document");
    std::wstring port = L"unchanged";
    extension_->setDestination(L"before");
    EXPECT_EQ(DWORD{ERROR_INVALID_PARAMETER}, extension_->makePortRecord(&empty, port));
    EXPECT_EQ(DWORD{ERROR_INVALID_PARAMETER}, extension_->makePortRecord(nullptr, port));
    EXPECT_EQ(L"unchanged", port);
    EXPECT_EQ(L"before", extension_->getDestination());

    // An iPrint queue that cannot be opened: no port, success.
    MPrint::DestinationContext iprint(L"\\\\" + own(L"nowhere") + L"\\ipp://nowhere/q", L"Document");
    ASSERT_TRUE(iprint.setPrintPath(new MPrint::PrintPath()));
    EXPECT_EQ(DWORD{ERROR_SUCCESS}, extension_->makePortRecord(&iprint, port));
    EXPECT_EQ(L"unchanged", port);
}

TEST_F(PortForDestinationTest, JobDeliveryTestTakesThePathTheHistoryOrNothing)
{
    using namespace PrintPathAttr;
    TargetHistoryList history(extension_->getSettings()->getTargetHistoryKey());
    auto* delivering = new MPrint::PrintPath();
    delivering->setStringAttribute(DisplayString, L"Mail Room", true);
    delivering->setNumericAttribute(JobDelivery, 1, true);
    history.add(delivering);
    history.save();
    MPrint::PrintPath plain;

    struct Row {
        const char* name;
        const wchar_t* destination;
        MPrint::PrintPath* path;
        DWORD staticMode; // 0: absent
        bool expected;
    } rows[] = {
        {"the history entry of the destination", L"Mail Room", nullptr, 0, true},
        {"a destination differing in letter case only", L"mail room", nullptr, 0, false},
        {"a given path wins over the history", L"Mail Room", &plain, 0, false},
        {"a static queue skips the history", L"Mail Room", nullptr, 1, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        queue_.setDword(L"", L"StaticMode", row.staticMode);
        extension_->setDestination(row.destination);
        bool tested = false;
        EXPECT_EQ(row.expected, extension_->isJobDeliveryDestination(queue_.name().c_str(), nullptr, row.path,
                                                                      &tested));
        EXPECT_TRUE(tested);
        HANDLE printer = nullptr;
        ASSERT_TRUE(OpenPrinterW(const_cast<wchar_t*>(queue_.name().c_str()), &printer, nullptr));
        EXPECT_EQ(row.expected, extension_->isJobDeliveryDestination(nullptr, printer, row.path, nullptr));
        ClosePrinter(printer);
    }
}

} // namespace
