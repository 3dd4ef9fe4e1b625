// The managed list driver over lists on disk and on a loopback HTTP
// server, with addresses resolved by fake discovery services registered
// with the component registry and created by the discovery manager: the
// settings each printer's path gets, groups across included lists,
// job-delivery addresses, circular includes, unreadable lists, the cache,
// stop and clear, and a dialog thread reading groups while they fill.
#include "discovery/ManagedListParser.h"

#include "VagantUIExtension/DiscoveryServicesManager.h"
#include "core/AutoLock.h"
#include "core/ComponentRegistry.h"
#include "core/RegistryKey.h"
#include "core/SettingsKeys.h"
#include "destination/PrintPathAttr.h"
#include "extension/ManagedPrintPolicy.h"
#include "support/FakeDiscoveryService.h"
#include "support/HttpTestServer.h"
#include "support/ManagedListFixtures.h"
#include "support/PrivateCurrentUser.h"
#include "support/SharedState.h"
#include "support/TestEnv.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

VRELM_TEST_SHARES(policy_settings);

using MPrint::ManagedListParser;
using MPrint::PrintPath;
using testenv::CapturedRecord;

namespace {

// Byte order decides the services' order: the job-delivery one comes first.
const GUID kJobDeliveryService = {0x00000087, 0x1a2b, 0x4c3d, {0x9e, 0x01, 0x21, 0x00, 0x00, 0x00, 0x00, 0x01}};
const GUID kAddressService = {0x000000E3, 0x1a2b, 0x4c3d, {0x9e, 0x01, 0x21, 0x00, 0x00, 0x00, 0x00, 0x02}};
const wchar_t kRefused[] = L"00000001:0080C7123456"; // Delta's address: no service takes it

bool hasAttribute(const PrintPath& path, const wchar_t* name)
{
    return path.attributes().count(name) != 0;
}

bool isPersisted(const PrintPath& path, const wchar_t* name)
{
    auto it = path.attributes().find(name);
    return it != path.attributes().end() && it->second.persist;
}

class ManagedListParserTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(user_.isActive());
        // The list cache lives under the user's settings key, which it never creates.
        ASSERT_TRUE(RegistryKey(HKEY_CURRENT_USER, settingskeys::kSettings, RegistryKey::kAllAccess, true).isOpen());
        fakes::FakeServiceConfig jobDelivery{"jobdelivery", MPrint::DiscoveryServiceIntf::kCapResolve};
        jobDelivery.resolvePaths = 1;
        jobDelivery.accepts = [](const std::wstring& a) { return a.compare(0, 6, L"^_//_^") == 0; };
        fakes::FakeServiceConfig address{"address", MPrint::DiscoveryServiceIntf::kCapResolve};
        address.resolvePaths = 1;
        address.accepts = [](const std::wstring& a) { return a != kRefused; };
        for (auto [id, config] : {std::pair{kJobDeliveryService, jobDelivery}, std::pair{kAddressService, address}}) {
            fakes::configureFakeService(id, config);
            ComponentRegistry::registerComponent(ComponentDescriptor{id, kDiscoveryServiceComponent,
                                                                     fakes::createFakeService, 1, 0, 0, nullptr, 0,
                                                                     0, 0, 0, 0});
        }
        DiscoveryServicesManager* manager = DiscoveryServicesManager::GetInstance();
        ASSERT_EQ(manager->Initialize(), 0u);
        ASSERT_EQ(manager->Start(), 0u);
        SetEnvironmentVariableW(L"MPLTEST_DIR", dir_.path().c_str());
        fakes::fakeServiceLog().clear();
    }
    void TearDown() override
    {
        delete DiscoveryServicesManager::GetInstance();
        if (MPrint::ManagedPrintPolicy::hasInstance())
            delete MPrint::ManagedPrintPolicy::instance();
        ComponentRegistry::unregisterComponent(kJobDeliveryService);
        ComponentRegistry::unregisterComponent(kAddressService);
    }
    std::wstring write(const std::wstring& name, const std::string& xml)
    {
        const std::wstring path = dir_.file(name);
        EXPECT_TRUE(testenv::writeFile(path, xml));
        return path;
    }
    static std::string list(const std::string& body)
    {
        return "<qzmanagedprinting><Printers>" + body + "</Printers></qzmanagedprinting>";
    }
    static std::string printer(const std::string& name, const std::string& group = "")
    {
        return "<Printer><PrinterName>" + name + "</PrinterName><IPAddress>10.0.0." + std::to_string(name.size()) +
               "</IPAddress>" + (group.empty() ? "" : "<GroupName>" + group + "</GroupName>") + "</Printer>";
    }
    static std::string include(const std::string& name, const std::string& file, bool okv = false)
    {
        return "<ManagedList><Name>" + name + "</Name><xmlfile>" + file + "</xmlfile>" +
               (okv ? "<xmlType>OKV</xmlType>" : "") + "</ManagedList>";
    }
    // Group name -> printer names, newest group first.
    static std::vector<std::pair<std::wstring, std::vector<std::wstring>>> groupsOf(ManagedListParser& parser)
    {
        std::vector<std::pair<std::wstring, std::vector<std::wstring>>> out;
        MPrint::AutoLock hold(&parser.groups().getLock());
        std::wstring name;
        for (uint32_t i = 0; PrintPathList* printers = parser.getAt(i, &name); ++i) {
            out.push_back({name, {}});
            for (auto& path : *printers)
                out.back().second.push_back(path.get()->getStringAttribute(PrintPathAttr::Nickname));
        }
        return out;
    }

    testenv::PrivateCurrentUser user_; // the list cache's key
    testenv::TempDir dir_;
    testenv::RecordingListHost host_;
};

using Groups = std::vector<std::pair<std::wstring, std::vector<std::wstring>>>;

} // namespace

TEST_F(ManagedListParserTest, FixturePrintersGetTheirSettings)
{
    host_.rejected = {"Rejected Model"};
    const std::wstring file = write(L"fixture.xml", testenv::kCustomListFixture);
    ManagedListParser parser(host_);
    std::vector<CapturedRecord> records;
    uint32_t count = 99;
    ASSERT_EQ(parser.Parse(file.c_str(), &count, testenv::captureInto, &records, 0), 0u);
    EXPECT_EQ(count, 2u) << "Floor 1 and the default group";
    EXPECT_TRUE(parser.readFailed()) << "its two included lists do not exist";

    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[1].groupName, L"[88] %1") << "the client sees the group its record was filed in";
    EXPECT_EQ(records[2].groupName, L"") << "Delta resolves nowhere and is in no group";
    EXPECT_EQ(groupsOf(parser), (Groups{{L"[88] %1", {L"Gamma"}}, {L"Floor 1", {L"Alpha"}}}));

    const std::vector<std::string> expectedLog = {
        "jobdelivery.Resolve(\\\\srv\\alpha,Alpha,Alpha)",
        "address.Resolve(\\\\srv\\alpha,Alpha,Alpha)",
        "jobdelivery.Resolve(^_//_^gamma.example,Gamma,Gamma)",
        "jobdelivery.Resolve(00000001:0080C7123456,Delta,Delta)",
        "address.Resolve(00000001:0080C7123456,Delta,Delta)",
    };
    EXPECT_EQ(fakes::fakeServiceLog(), expectedLog) << "a job-delivery address is marked and taken by its service";

    MPrint::AutoLock hold(&parser.groups().getLock());
    PrintPath& alpha = *parser.find(L"Floor 1")->front().get();
    PrintPath& gamma = *parser.findDefault(nullptr)->front().get();
    GUID id;
    ASSERT_TRUE(gamma.getDiscoveryId(id));
    EXPECT_TRUE(IsEqualGUID(id, kJobDeliveryService));

    struct Number {
        const char* why;
        PrintPath* path;
        const wchar_t* name;
        bool present;
        DWORD value;
    } numbers[] = {
        {"duplex unit not installed", &alpha, PrintPathAttr::LumoDisableDuplex, true, 1},
        {"hard disk installed", &alpha, PrintPathAttr::LumoDisableJobRetention, true, 0},
        {"validatedevice yes is false", &alpha, PrintPathAttr::ValidateDevice, true, 0},
        {"colour", &alpha, PrintPathAttr::LumoDisableColor, true, 1},
        {"no secure flag", &alpha, PrintPathAttr::SecurePrinter, false, 0},
        {"duplex unit not stated", &gamma, PrintPathAttr::LumoDisableDuplex, false, 0},
        {"hard disk yes is not stated", &gamma, PrintPathAttr::LumoDisableJobRetention, false, 0},
        {"validation by default", &gamma, PrintPathAttr::ValidateDevice, true, 1},
        {"no colour", &gamma, PrintPathAttr::LumoDisableColor, false, 0},
        {"verification type", &gamma, PrintPathAttr::mplDestinationVerificationType, true, 3},
        {"external configuration type", &gamma, PrintPathAttr::ExternalConfigType, true, 2},
        {"model from the list", &gamma, PrintPathAttr::DV_ModelName, true, 1},
        {"PDLs from the list", &gamma, PrintPathAttr::DV_PDL, true, 1},
        {"job delivery", &gamma, PrintPathAttr::JobDelivery, true, 1},
    };
    for (const Number& row : numbers) {
        SCOPED_TRACE(row.why);
        EXPECT_EQ(hasAttribute(*row.path, row.name), row.present);
        if (row.present) {
            EXPECT_EQ(row.path->getNumericAttribute(row.name), row.value);
            EXPECT_TRUE(isPersisted(*row.path, row.name));
        }
    }
    EXPECT_TRUE(hasAttribute(gamma, PrintPathAttr::NoBidiQuery));

    EXPECT_EQ(alpha.getStringAttribute(PrintPathAttr::LumoSNMPCommunityName), L"office");
    EXPECT_FALSE(hasAttribute(gamma, PrintPathAttr::LumoSNMPCommunityName))
        << "a list without a community leaves the resolved path's own";
    EXPECT_EQ(alpha.getStringAttribute(PrintPathAttr::PrinterInfo),
              L"QZ Ardelle 400 @ \\\\srv\\alpha\n[149] Room 12\n[89] by the door\n[128] 0.05");
    EXPECT_TRUE(isPersisted(alpha, PrintPathAttr::PrinterInfo));
    EXPECT_EQ(alpha.getStringAttribute(PrintPathAttr::Location), L"Room 12");
    EXPECT_FALSE(isPersisted(alpha, PrintPathAttr::Location));
    EXPECT_EQ(alpha.getStringAttribute(L"CPP"), L"0.05");
    EXPECT_EQ(alpha.getStringAttribute(PrintPathAttr::ManagedGroupXMLAdded), L"Floor 1");
    EXPECT_EQ(alpha.getDevice().getModelName(), "QZ Ardelle 400");
    EXPECT_EQ(alpha.getDevice().getFriendlyName(), "Alpha");

    EXPECT_EQ(gamma.getStringAttribute(PrintPathAttr::ExternalBidiConfigData), L"http://cfg/gamma.xml");
    EXPECT_EQ(gamma.getStringAttribute(PrintPathAttr::mplDestinationVerificationAddress), L"10.9.9.9");
    EXPECT_EQ(gamma.getStringAttribute(PrintPathAttr::mplJobDeliveryURL), L"http://jobs/submit");
    EXPECT_EQ(gamma.getStringAttribute(PrintPathAttr::mplJobAccountingModule), L"acct.dll");
    EXPECT_EQ(gamma.getStringAttribute(PrintPathAttr::DestinationType), L"Secure");
    EXPECT_TRUE(gamma.isDeviceConfigured());
    std::vector<std::pair<DWORD, std::string>> pdls;
    for (auto it = gamma.getDevice().pdlBegin(); it != gamma.getDevice().pdlEnd(); ++it)
        pdls.push_back({(*it)->getFamily(), (*it)->getDescription() + " " + (*it)->getVersion()});
    EXPECT_EQ(pdls, (std::vector<std::pair<DWORD, std::string>>{{6, "PostScript 3010.107"}, {47, "PCL6 6.0"}}));
}

TEST_F(ManagedListParserTest, IncludedListsShareGroups)
{
    write(L"annex.xml", list(printer("C", "G1") + printer("D")));
    write(L"branch.xml", testenv::kOkvListFixture);
    const std::wstring main = write(L"main.xml", list(printer("A", "G1") + include("Annex", "%MPLTEST_DIR%\\annex.xml") +
                                                      printer("B") +
                                                      include("Branch", "%MPLTEST_DIR%\\branch.xml", true)));
    ManagedListParser parser(host_);
    parser.setListName(L"Own name");
    uint32_t count = 0;
    ASSERT_EQ(parser.Parse(main.c_str(), &count, nullptr, nullptr, 0), 0u);
    EXPECT_FALSE(parser.readFailed());
    EXPECT_EQ(count, 3u);
    EXPECT_EQ(groupsOf(parser), (Groups{{L"Lab", {L"QZ Ardelle 500 (00:11:22:33:44:55 )"}},
                                        {L"Annex", {L"D", L"B", L"QZ Plinthe 9 (plinthe-sys )", L"Named",
                                                    L"M4 (10.1.1.4 )"}},
                                        {L"G1", {L"A", L"C"}}}))
        << "a group-less printer of an include makes a default group named after it; later ones join it";

    // An "OKV:" location on a fresh parser: its devices' default group is
    // named after the list.
    ManagedListParser okv(host_);
    okv.setListName(L"Own name");
    const std::wstring location = L"OKV:%MPLTEST_DIR%\\branch.xml";
    ASSERT_EQ(okv.Parse(location.c_str(), &count, nullptr, nullptr, 0), 0u);
    EXPECT_EQ(groupsOf(okv)[0].first, L"Own name");
    EXPECT_EQ(host_.reads.back(), dir_.file(L"branch.xml")) << "prefix dropped, variable expanded";
}

TEST_F(ManagedListParserTest, CircularIncludesEnd)
{
    write(L"self.xml", list(printer("S") + include("Self", "%MPLTEST_DIR%\\SELF.xml")));
    write(L"a.xml", list(printer("A") + include("B", "%MPLTEST_DIR%\\b.xml")));
    write(L"b.xml", list(printer("B") + include("A", "%MPLTEST_DIR%\\a.xml")));
    // A chain deeper than any list needs: each list includes the next.
    for (int i = 0; i < 24; ++i)
        write(L"chain" + std::to_wstring(i) + L".xml",
              list(printer("P" + std::to_string(i)) +
                   include("C", "%MPLTEST_DIR%\\chain" + std::to_string(i + 1) + ".xml")));
    struct Row {
        const wchar_t* file;
        size_t printers;
        size_t reads;
    } rows[] = {
        {L"self.xml", 1, 1},
        {L"a.xml", 2, 2},
        {L"chain0.xml", ManagedListParser::kMaxDepth, ManagedListParser::kMaxDepth},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testenv::narrow(row.file));
        ManagedListParser parser(host_);
        host_.reads.clear();
        const std::wstring path = dir_.file(row.file);
        ASSERT_EQ(parser.Parse(path.c_str(), nullptr, nullptr, nullptr, 0), 0u);
        EXPECT_EQ(host_.reads.size(), row.reads);
        ASSERT_EQ(parser.getCount(), 1u);
        MPrint::AutoLock hold(&parser.groups().getLock());
        EXPECT_EQ(parser.getAt(0, nullptr)->size(), row.printers);
    }
}

TEST_F(ManagedListParserTest, ListsOverHttp)
{
    testenv::HttpTestServer server;
    ASSERT_TRUE(server.started());
    const std::string refused = "http://127.0.0.1:" + std::to_string(testenv::HttpTestServer::closedPort()) + "/x.xml";
    server.answer("/forbidden.xml", testenv::HttpAnswer::withStatus(403));
    server.answer("/main.xml", testenv::HttpAnswer::ok("<qzmanagedprinting><RefreshMPL>5</RefreshMPL><Printers>" +
                                                       printer("Web", "W") + "</Printers><ManagedPrinters>" +
                                                       include("F", testenv::narrow(server.url("/forbidden.xml"))) +
                                                       include("R", refused) + "</ManagedPrinters></qzmanagedprinting>"));
    const std::wstring url = server.url("/main.xml");
    ManagedListParser parser(host_);
    uint32_t count = 0;
    ASSERT_EQ(parser.Parse(url.c_str(), &count, nullptr, nullptr, 0), 0u) << "unreadable includes still answer 0";
    EXPECT_TRUE(parser.readFailed()) << "but are told apart from empty ones";
    EXPECT_EQ(count, 1u);
    EXPECT_EQ(server.count("/forbidden.xml"), 1u);

    RegistryKey cache(HKEY_CURRENT_USER, settingskeys::kFileCache, RegistryKey::kRead);
    DWORD refresh = 0;
    EXPECT_TRUE(cache.queryDword(url + L"-refreshTime", &refresh));
    EXPECT_EQ(refresh, 5u);

    // Read again: from the cache. After clear: from the server.
    ASSERT_EQ(parser.Parse(url.c_str(), &count, nullptr, nullptr, 0), 0u);
    EXPECT_EQ(server.count("/main.xml"), 1u);
    parser.clear();
    EXPECT_EQ(parser.getCount(), 0u);
    ASSERT_EQ(parser.Parse(url.c_str(), &count, nullptr, nullptr, 0), 0u);
    EXPECT_EQ(server.count("/main.xml"), 2u);
    EXPECT_EQ(parser.getCount(), 1u);
}

TEST_F(ManagedListParserTest, StopClearAndHostileInput)
{
    const std::wstring file = write(L"one.xml", list(printer("One")));
    ManagedListParser parser(host_);
    uint32_t count = 7;
    EXPECT_EQ(parser.Parse(nullptr, &count, nullptr, nullptr, 0), ManagedListParser::kNoLocation);
    EXPECT_EQ(parser.Parse(L"", &count, nullptr, nullptr, 0), ManagedListParser::kNoLocation);
    parser.stop();
    count = 7;
    EXPECT_EQ(parser.Parse(file.c_str(), &count, nullptr, nullptr, 0), ManagedListParser::kStopped);
    EXPECT_EQ(count, 0u) << "the count is set also when stopped";
    EXPECT_TRUE(host_.reads.empty());
    parser.clear();
    EXPECT_EQ(parser.Parse(file.c_str(), &count, nullptr, nullptr, 0), 0u);
    EXPECT_EQ(count, 1u);

    // A DTD that would pull a file in: nothing of it is read.
    const std::wstring dtd = write(
        L"dtd.xml", "<!DOCTYPE qzmanagedprinting [<!ENTITY e SYSTEM \"file:///" + testenv::narrow(file) +
                        "\">]><qzmanagedprinting><Printers><Printer><PrinterName>&e;</PrinterName><IPAddress>1.2.3.4"
                        "</IPAddress></Printer></Printers></qzmanagedprinting>");
    ManagedListParser hostile(host_);
    EXPECT_EQ(hostile.Parse(dtd.c_str(), &count, nullptr, nullptr, 0), 0u);
    EXPECT_TRUE(hostile.readFailed());
    EXPECT_EQ(hostile.getCount(), 0u);

    // addPrinter: one record as if read; 3 always.
    MPrint::ManagedPrinterRecord record;
    record.printerName = L"Added";
    record.address = L"10.0.0.9";
    record.groupName = L"Manual";
    MPrint::ManagedPrinterCaps caps;
    EXPECT_EQ(hostile.addPrinter(&record, &caps, nullptr, nullptr), 3u);
    EXPECT_EQ(hostile.addPrinter(nullptr, &caps, nullptr, nullptr), 3u);
    EXPECT_EQ(groupsOf(hostile), (Groups{{L"Manual", {L"Added"}}}));
}

TEST_F(ManagedListParserTest, DialogReadsGroupsWhileAWorkerFillsThem)
{
    const std::wstring file = write(L"big.xml", testenv::generateCustomList(600, 60));
    ManagedListParser parser(host_);
    std::atomic<bool> done{false};
    std::thread worker([&] {
        parser.Parse(file.c_str(), nullptr, nullptr, nullptr, 0);
        done = true;
    });
    size_t seen = 0;
    while (!done) {
        MPrint::AutoLock hold(&parser.groups().getLock());
        for (uint32_t i = 0; PrintPathList* printers = parser.getAt(i, nullptr); ++i) {
            for (auto& path : *printers)
                seen += path.get()->getStringAttribute(PrintPathAttr::Nickname).empty() ? 0 : 1;
        }
    }
    worker.join();
    EXPECT_EQ(parser.getCount(), 60u);
    size_t printers = 0;
    for (uint32_t i = 0; i < parser.getCount(); ++i)
        printers += parser.getAt(i, nullptr)->size();
    EXPECT_EQ(printers, 600u);
    (void)seen;
}
