// TCP/IP discovery: typed addresses as one table, the browse through the
// browse module's stand-in (results reach the notify window, bad records,
// a cancel in the middle of a search, the started flag), name resolution
// and the device check against raw ports on a loopback device.
#include "discovery/TCPIPAddressDiscovery.h"

#include "core/RegistryKey.h"
#include "core/SettingsKeys.h"
#include "destination/PrintPathAttr.h"
#include "discovery/DiscoveryClassIds.h"
#include "support/PrivateCurrentUser.h"
#include "support/RawPortDevice.h"
#include "support/ScopedCurrentJob.h"
#include "support/ResultWindow.h"
#include "support/TestEnv.h"
#include "support/TestSpooler.h"
#include "support/TrebukStandIn.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using MPrint::PrintPath;
using MPrint::TCPIPAddressDiscovery;

namespace {

// The browse module's records for the scope (VRELM_BROWSE_RECORDS).
class BrowseRecords {
public:
    explicit BrowseRecords(const std::string& lines)
    {
        testenv::writeFile(dir_.file(L"records.txt"), lines);
        SetEnvironmentVariableW(L"VRELM_BROWSE_RECORDS", dir_.file(L"records.txt").c_str());
    }
    ~BrowseRecords() { SetEnvironmentVariableW(L"VRELM_BROWSE_RECORDS", nullptr); }

private:
    testenv::TempDir dir_;
};

std::wstring attr(const PrintPath& path, const wchar_t* name)
{
    return path.getStringAttribute(name);
}

// Initialised with the resource module, enabled and started.
TCPIPAddressDiscovery& started(TCPIPAddressDiscovery& service)
{
    service.Initialize(MPrint::ResourceLoader(testenv::binDir() + L"\\vrelm102.DLL"), nullptr);
    service.SetEnabled(true);
    service.Start();
    return service;
}

} // namespace

TEST(TCPIPAddressDiscoveryTest, ResolvesTypedAddresses)
{
    testspool::ScopedQueue queue(testspool::uniqueQueueName(L"Tcp Community"));
    ASSERT_EQ(queue.error(), DWORD{ERROR_SUCCESS});
    ASSERT_EQ(queue.setString(L"", L"LumoSNMPCommunityName", L"queuecomm"), DWORD{ERROR_SUCCESS});
    const std::wstring community31(31, L'c');
    const std::wstring community32(32, L'c');
    const DWORD none = 0xFFFFFFFF;
    struct Row {
        std::wstring address;
        bool queueName; // the name argument names the queue with a community
        uint32_t code;
        std::wstring ip = {}, hostName = {}, wsd = {}, stampedAddress = {}, community = {};
        DWORD port = 0;
    } rows[] = {
        {L"10.0.0.5", false, 0, L"10.0.0.5", L"", L"", L"10.0.0.5", L"", 0},
        {L" 10.0.0.5:9101 ", false, 0, L"10.0.0.5", L"", L"", L"10.0.0.5", L"", 9101},
        {L"public@10.0.0.5:2", false, 0, L"10.0.0.5", L"", L"", L"10.0.0.5", L"public", 2},
        {community31 + L"@10.0.0.5", false, 0, L"10.0.0.5", L"", L"", L"10.0.0.5", community31, 0},
        {community32 + L"@10.0.0.5", false, 3},
        {L"@10.0.0.5", false, 3},
        {L"10.0.0.5:", false, 3},
        {L"10.0.0.5: ", false, 3},      // a blank port is no port
        {L"10.0.0.5:91a", false, 3},
        {L"10.0.0.5:65535", false, 0, L"10.0.0.5", L"", L"", L"10.0.0.5", L"", 65535},
        {L"10.0.0.5:65536", false, 3},  // would not fit a TCP port
        {L"10.0.0.5:99999999999", false, 3},
        {L"http://10.0.0.5/", false, 3},
        {L"\\\\srv\\q", false, 3},
        {L"fe80::1", false, 0, L"fe80::1", L"", L"", L"fe80::1", L"", 0},
        {L"printer1", false, 0, L"", L"printer1", L"", L"printer1", L"", none},
        {L"printer1:9102", false, 0, L"", L"printer1", L"", L"printer1", L"", none},
        {L"WSD-1234", true, 0, L"", L"", L"WSD-1234", L"WSD-1234", L"", none},
        {L"IP_10.0.0.7", false, 0, L"10.0.0.7", L"", L"", L"IP_10.0.0.7", L"", 0},
        {L"10.0.0.5", true, 0, L"10.0.0.5", L"", L"", L"10.0.0.5", L"queuecomm", 0},
        {L"public@10.0.0.5", true, 0, L"10.0.0.5", L"", L"", L"10.0.0.5", L"public", 0},
        // A job-delivery marker is a host name to this service: the manager
        // asks the job-delivery service first.
        {L"^_//_^10.0.0.5", false, 0, L"", L"^_//_^10.0.0.5", L"", L"^_//_^10.0.0.5", L"", none},
    };
    TCPIPAddressDiscovery service;
    for (const Row& row : rows) {
        SCOPED_TRACE(testenv::narrow(row.address));
        PrintPathList list;
        const std::wstring name = row.queueName ? queue.name() : L"Nick";
        EXPECT_EQ(service.Resolve(nullptr, row.address, name, L"Shown", list), row.code);
        if (row.code != 0) {
            EXPECT_TRUE(list.empty());
            continue;
        }
        ASSERT_EQ(list.size(), 1u);
        const PrintPath& path = *list.front().get();
        EXPECT_EQ(attr(path, PrintPathAttr::IPAddress), row.ip);
        EXPECT_EQ(attr(path, PrintPathAttr::HostnameAddress), row.hostName);
        EXPECT_EQ(attr(path, PrintPathAttr::WSDAddress), row.wsd);
        EXPECT_EQ(attr(path, PrintPathAttr::Address), row.stampedAddress);
        EXPECT_EQ(attr(path, PrintPathAttr::LumoSNMPCommunityName), row.community);
        EXPECT_EQ(path.getNumericAttribute(PrintPathAttr::Port), row.port);
        EXPECT_EQ(attr(path, PrintPathAttr::Nickname), name);
        EXPECT_EQ(attr(path, PrintPathAttr::DisplayString), L"Shown");
        EXPECT_EQ(path.getNumericAttribute(PrintPathAttr::ManuallyEntered), 1u);
        EXPECT_EQ(path.getNumericAttribute(PrintPathAttr::JobDelivery), none) << "no current job";
        GUID id{};
        ASSERT_TRUE(path.getDiscoveryId(id));
        EXPECT_TRUE(IsEqualGUID(id, discoveryids::kTcpIp));
        ASSERT_EQ(std::distance(path.configuratorsBegin(), path.configuratorsEnd()), 1);
        EXPECT_TRUE(IsEqualGUID(*path.configuratorsBegin(), discoveryids::kSnmpConfigurator));
        ASSERT_EQ(std::distance(path.featuresBegin(), path.featuresEnd()), 1);
        EXPECT_TRUE(IsEqualGUID(*path.featuresBegin(), discoveryids::kTcpIpFeatureAccessor));
    }
}

TEST(TCPIPAddressDiscoveryTest, CurrentJobMarksDeliveryAndAnswersIppAddresses)
{
    testspool::ScopedQueue queue(testspool::uniqueQueueName(L"Tcp Novell"));
    ASSERT_EQ(queue.error(), DWORD{ERROR_SUCCESS});
    TCPIPAddressDiscovery service;
    {
        PrintPathList list;
        EXPECT_EQ(service.Resolve(nullptr, L"ipp://10.0.0.9:631/q", L"n", L"d", list), 3u)
            << "no current job: no host for an ipp text";
    }
    testenv::ScopedCurrentJob job(queue.name(), true);
    {
        PrintPathList list;
        EXPECT_EQ(service.Resolve(nullptr, L"ipp://10.0.0.9:631/q", L"n", L"d", list), 3u)
            << "the queue has no NovellSNMPAddressAndPort";
    }
    ASSERT_EQ(queue.setString(L"", L"NovellSNMPAddressAndPort", L"10.0.0.8:161"), DWORD{ERROR_SUCCESS});
    PrintPathList list;
    ASSERT_EQ(service.Resolve(nullptr, L"ipp://10.0.0.9:631/q", L"n", L"d", list), 0u);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(attr(*list.front().get(), PrintPathAttr::IPAddress), L"10.0.0.8");
    EXPECT_EQ(list.front()->getNumericAttribute(PrintPathAttr::JobDelivery), 1u);
}

TEST(TCPIPAddressDiscoveryTest, BrowseAnnouncesEachGoodRecord)
{
    testenv::PrivateCurrentUser user;
    BrowseRecords records("# name|ip|model|domain|type|comment|location|tag|size\n"
                          "Office 1|127.0.0.1|QZ 4000|local.|_printer._tcp.|-|-\n"
                          "Bad tag|127.0.0.2|QZ 4000|local.|_printer._tcp.|-|-|8C91902\n"
                          "-|127.0.0.3|-|-|-|-|-\n"
                          "Office 2|127.0.0.4|QZ 5000|corp.|_printer._tcp.|-|-|8C91901|72\n");
    testenv::ScopedLogVariable log(L"VRELM_BROWSE_LOG");
    TCPIPAddressDiscovery service;
    EXPECT_EQ(service.GetSearchCapabilities(), 56u);
    started(service).SetDiscoveryParameters("_printer._tcp.", TCPIPAddressDiscovery::kModeBrowse, 300, "corp.");
    testenv::ResultWindow window;
    PrintPathList list;
    EXPECT_EQ(window.search(service, list, 40), 0u);
    EXPECT_EQ(window.displayStrings(), (std::vector<std::wstring>{L"Office 1", L"", L"Office 2"}));
    ASSERT_EQ(list.size(), 3u);
    const PrintPath& last = *window.results().back();
    EXPECT_EQ(attr(last, PrintPathAttr::Nickname), L"Office 2");
    EXPECT_EQ(attr(last, PrintPathAttr::mDNSDomain), L"corp.");
    EXPECT_EQ(attr(last, PrintPathAttr::mDNSType), L"_printer._tcp.");
    EXPECT_EQ(last.getNumericAttribute(PrintPathAttr::Resolved), 0u);
    EXPECT_EQ(attr(last, PrintPathAttr::Address), L"") << "a browse result has no address yet";
    EXPECT_EQ(log.lines().front(), "start _printer._tcp. corp. - 300");
    EXPECT_EQ(service.IsRunning(), 1u) << "a search leaves the started flag alone";

    service.SetDiscoveryParameters("_printer._tcp.", TCPIPAddressDiscovery::kModeOff, 300, nullptr);
    EXPECT_EQ(window.search(service, list, 40), 3u);
    service.SetDiscoveryParameters("", TCPIPAddressDiscovery::kModeBrowse, 300, nullptr);
    EXPECT_EQ(window.search(service, list, 40), 3u);
    EXPECT_EQ(log.count("start"), 1u);
}

TEST(TCPIPAddressDiscoveryTest, CancelStopsTheRunningSearchAndNothingLater)
{
    // Three records arrive in one answer, then the module waits.
    BrowseRecords records("A|127.0.0.1|-|local.|_printer._tcp.|-|-\n"
                          "B|127.0.0.1|-|local.|_printer._tcp.|-|-\n"
                          "C|127.0.0.1|-|local.|_printer._tcp.|-|-\n"
                          "pause 10000\n"
                          "D|127.0.0.1|-|local.|_printer._tcp.|-|-\n");
    testenv::ScopedLogVariable log(L"VRELM_BROWSE_LOG");
    TCPIPAddressDiscovery service;
    started(service).SetDiscoveryParameters("_printer._tcp.", TCPIPAddressDiscovery::kModeBrowse, 20000, nullptr);
    EXPECT_FALSE(service.RequestCancel()) << "no search runs";

    testenv::ResultWindow window;
    bool stopped = false;
    window.onResult([&](const PrintPath&) {
        if (window.results().size() == 1)
            stopped = service.RequestCancel();
    });
    PrintPathList list;
    const ULONGLONG begin = GetTickCount64();
    EXPECT_EQ(window.search(service, list, 40), 5u);
    EXPECT_LT(GetTickCount64() - begin, 10000u) << "the module was stopped, not waited out";
    EXPECT_TRUE(stopped);
    EXPECT_EQ(window.displayStrings(), std::vector<std::wstring>{L"A"})
        << "records the module still delivered after the cancel are not announced";
    EXPECT_EQ(list.size(), 1u);
    EXPECT_EQ(log.count("stop"), 1u);

    EXPECT_FALSE(service.RequestCancel()) << "the ended search's handle is not used again";
    EXPECT_EQ(log.count("stop"), 1u);
    window.onResult(nullptr);
    service.SetDiscoveryParameters("_printer._tcp.", TCPIPAddressDiscovery::kModeBrowse, 200, nullptr);
    PrintPathList again;
    BrowseRecords one("E|127.0.0.1|-|local.|_printer._tcp.|-|-\n");
    EXPECT_EQ(window.search(service, again, 40), 0u) << "an earlier cancel does not reach a new search";
    EXPECT_EQ(again.size(), 1u);
    EXPECT_EQ(service.IsRunning(), 1u);
}

TEST(TCPIPAddressDiscoveryTest, ResolveNameFillsInTheBrowsedPrinter)
{
    testenv::PrivateCurrentUser user;
    BrowseRecords records("Other|127.0.0.9|QZ 1|local.|_printer._tcp.|-|-\n"
                          "Office|127.0.0.1|QZ 4000|local.|_printer._tcp.|Second floor note|Room 12\n"
                          "Short|127.0.0.1|QZ 4000|local.|_printer._tcp.|note|room|8C91901|72\n"
                          "Unknown|127.0.0.77|QZ 9|local.|_printer._tcp.|-|-\n");
    struct Row {
        const char* name;
        DWORD setting; // "TCPAddressDiscovery" before the search; 5 leaves it unset
        std::wstring address, ip, hostName;
        bool texts;
    } rows[] = {
        {"Office", 5, L"localhost", L"", L"localhost", true},
        {"Office", 1, L"127.0.0.1", L"127.0.0.1", L"", true},
        {"Short", 5, L"localhost", L"", L"localhost", false},
        {"Unknown", 0, L"127.0.0.77", L"127.0.0.77", L"", false}, // no reverse name
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        user.clear();
        if (row.setting != 5) {
            RegistryKey key(HKEY_CURRENT_USER, settingskeys::kSettings, RegistryKey::kAllAccess, true);
            key.setDword(L"TCPAddressDiscovery", row.setting);
        }
        TCPIPAddressDiscovery service;
        started(service).SetDiscoveryParameters("_printer._tcp.", 0, 100, nullptr);
        testenv::ResultWindow window;
        PrintPathList browsed;
        ASSERT_EQ(window.search(service, browsed, 40), 0u);
        PrintPath* path = nullptr;
        for (auto& found : browsed) {
            if (found->getStringAttribute(PrintPathAttr::DisplayString) == testenv::widen(row.name))
                path = found.get();
        }
        ASSERT_NE(path, nullptr);
        ASSERT_EQ(service.ResolveName(window.handle(), path, 2791), 0u);
        EXPECT_EQ(path->getNumericAttribute(PrintPathAttr::Resolved), 1u);
        EXPECT_EQ(attr(*path, PrintPathAttr::Address), row.address);
        EXPECT_EQ(attr(*path, PrintPathAttr::IPAddress), row.ip);
        EXPECT_EQ(attr(*path, PrintPathAttr::HostnameAddress), row.hostName);
        const std::wstring info = attr(*path, PrintPathAttr::PrinterInfo);
        EXPECT_NE(info.find(L"QZ"), std::wstring::npos) << testenv::narrow(info);
        EXPECT_EQ(info.find(L"Room 12") != std::wstring::npos, row.texts) << testenv::narrow(info);
        EXPECT_EQ(info.find(L"Second floor note") != std::wstring::npos, row.texts);
        if (row.texts) {
            EXPECT_LT(info.find(L"Room 12"), info.find(L"Second floor note")) << "location first";
        }
    }

    TCPIPAddressDiscovery service;
    service.GetSearchCapabilities();
    PrintPath nobody;
    nobody.setStringAttribute(PrintPathAttr::DisplayString, L"Nobody", true);
    nobody.setStringAttribute(PrintPathAttr::mDNSType, L"_printer._tcp.", false);
    EXPECT_EQ(service.ResolveName(nullptr, &nobody, 100), TCPIPAddressDiscovery::kNoAnswer);
    EXPECT_EQ(service.ResolveName(nullptr, nullptr, 100), 9u);
}

TEST(TCPIPAddressDiscoveryTest, WithoutTheBrowseModule)
{
    TCPIPAddressDiscovery service(L"vrelm103-absent.dll");
    EXPECT_EQ(service.GetSearchCapabilities(), 16u);
    testenv::ResultWindow window;
    PrintPathList list;
    EXPECT_EQ(window.search(service, list, 40), 9u);
    PrintPath path;
    EXPECT_EQ(service.ResolveName(nullptr, &path, 100), 9u);
    EXPECT_EQ(service.Resolve(nullptr, L"10.0.0.5", L"n", L"d", list), 0u) << "typed addresses still resolve";
}

TEST(TCPIPAddressDiscoveryTest, DeviceCheckAsksTheDeviceOnItsRawPort)
{
    ASSERT_TRUE(testtrebuk::registerServer());
    testtrebuk::ScopedCallLog log;
    testenv::RawPortDevice device({9100, 9101, 9102});
    ASSERT_TRUE(device.started());
    const std::wstring host = device.host();
    const DWORD none = 0xFFFFFFFF;
    struct Row {
        const char* name;
        std::wstring ip, hostName, wsd;
        DWORD port;
        uint32_t code;
        const char* asked; // the port the server is asked for; null: no check
    } rows[] = {
        {"no port", host, L"", L"", none, 0, "9100"},
        {"port 1", host, L"", L"", 1, 0, "9100"},
        {"port 2", host, L"", L"", 2, 0, "9101"},
        {"port 3 is the third raw port here", host, L"", L"", 3, 0, "9102"},
        {"a port as it is", host, L"", L"", 9101, 0, "9101"},
        {"nothing listens", host, L"", L"", 9103, TCPIPAddressDiscovery::kDeviceNotReachable, "9103"},
        {"host name without an IP address", L"", L"printer.invalid", L"", none,
         TCPIPAddressDiscovery::kDeviceNotReachable, "9100"},
        {"WSD device", L"", L"", L"uuid:1234", 2, 0, nullptr},
    };
    TCPIPAddressDiscovery service;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        PrintPath path;
        path.setStringAttribute(PrintPathAttr::IPAddress, row.ip, true);
        path.setStringAttribute(PrintPathAttr::HostnameAddress, row.hostName, true);
        path.setStringAttribute(PrintPathAttr::WSDAddress, row.wsd, true);
        if (row.port != none)
            path.setNumericAttribute(PrintPathAttr::Port, row.port, true);
        const size_t before = log.calls("connect").size();
        EXPECT_EQ(service.ValidateDevice(nullptr, &path), row.code);
        const auto connects = log.calls("connect");
        if (!row.asked) {
            EXPECT_EQ(connects.size(), before);
            continue;
        }
        ASSERT_GT(connects.size(), before);
        ASSERT_GE(connects.back().size(), 4u);
        EXPECT_EQ(connects.back()[2], testenv::narrow(row.ip.empty() ? row.hostName : row.ip));
        EXPECT_EQ(connects.back()[3], row.asked);
    }
    EXPECT_EQ(service.ValidateDevice(nullptr, nullptr), 3u);
}
