// The printing extension over a private HKEY_CURRENT_USER: where it finds its
// resource module and help files, what initialisation reads and writes, the
// one-time migration of the older histories, and the mode-gated flags.
#include "extension/LumoraPrintingExtension.h"

#include "VagantUIExtension/DiscoveryServicesManager.h"
#include "VagantUIExtension/ManagedListSource.h"
#include "bidi/CurrentDestination.h"
#include "bidi/PolicySource.h"
#include "bidi/TrebukBidiConnection.h"
#include "bidi/UNCBidiConnectionHelper.h"
#include "core/ComponentRegistry.h"
#include "core/SettingsKeys.h"
#include "destination/PrintPathAttr.h"
#include "discovery/ManagedPortDiscovery.h"
#include "discovery/PrintPathText.h"
#include "discovery/TCPIPAddressDiscovery.h"
#include "extension/KRVProperties.h"
#include "extension/ManagedPrintPolicy.h"
#include "support/FakeDiscoveryService.h"
#include "support/PrivateCurrentUser.h"
#include "support/SharedState.h"
#include "support/TestEnv.h"
#include "support/QueueData.h"
#include "support/TestSpooler.h"
#include "support/TrebukStandIn.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

VRELM_TEST_SHARES(cluster_node, policy_settings, shared_io);

namespace {

// The process's policy object goes with each extension; a test that failed
// half-way may leave one behind.
void dropPolicy()
{
    if (MPrint::ManagedPrintPolicy::hasInstance())
        delete MPrint::ManagedPrintPolicy::instance();
}

const wchar_t kOldHistoryPath[] = L"Software\\Tarvokin\\QZ Roving Printing Driver\\Target History";
const wchar_t kOldSettingsPath[] = L"Software\\Tarvokin\\QZ Roving Print Settings";

TEST(LumoraPrintingExtensionPaths, ResourceModuleAndHelpFilesLieBesideTheModule)
{
    const struct {
        const wchar_t* module;
        const wchar_t* directory;
        const wchar_t* resourceModule;
        const wchar_t* winHelp;
    } rows[] = {
        {L"C:\\windows\\system32\\spool\\drivers\\x64\\3\\vrelm101.dll", L"C:\\windows\\system32\\spool\\drivers\\x64\\3\\",
         L"C:\\windows\\system32\\spool\\drivers\\x64\\3\\vrelm102.DLL",
         L"C:\\windows\\system32\\spool\\drivers\\x64\\3\\vrelh01EN.HLP"},
        {L"vrelm101.dll", L"", L"vrelm102.DLL", L""},
        {L"", L"", L"vrelm102.DLL", L""},
        // A "%" in the folder is text, never a format.
        {L"D:\\100%s%n\\vrelm101.dll", L"D:\\100%s%n\\", L"D:\\100%s%n\\vrelm102.DLL", L"D:\\100%s%n\\vrelh01EN.HLP"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testenv::narrow(row.module));
        const auto paths = LumoraPrintingExtension::modulePaths(row.module);
        EXPECT_EQ(row.directory, paths.directory);
        EXPECT_EQ(row.resourceModule, paths.resourceModule);
        EXPECT_EQ(row.winHelp, LumoraPrintingExtension::helpFilePath(paths.directory, false, 0x0409));
    }
    EXPECT_EQ(L"C:\\x\\vrelh02GE.CHM", LumoraPrintingExtension::helpFilePath(L"C:\\x\\", true, 0x0407));
    // Too long for a path: no help file rather than a cut one.
    EXPECT_EQ(L"", LumoraPrintingExtension::helpFilePath(L"C:\\" + std::wstring(300, L'a') + L"\\", true, 0x0409));
}

TEST(LumoraPrintingExtensionPaths, HelpSuffixByLanguage)
{
    const struct {
        LANGID language;
        const wchar_t* suffix;
    } rows[] = {
        {0x0409, L"EN"}, {0x0809, L"EE"}, {0x0C09, L"EE"}, {0x0404, L"TC"}, {0x0804, L"SC"}, {0x0C04, L"SC"},
        {0x0407, L"GE"}, {0x0807, L"GE"}, {0x040A, L"SP"}, {0x0416, L"PR"}, {0x0816, L"PR"}, {0x040D, L"HE"},
        {0x0401, L"AR"}, {0x041F, L"TR"}, {0x041E, L"TH"}, {0x041D, L"SV"}, {0x0419, L"RU"}, {0x0411, L"JA"},
        {0x040F, L"EN"}, {0x0402, L"EN"}, {0x0000, L"EN"}, {0x041A, L"EN"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.language);
        EXPECT_STREQ(row.suffix, LumoraPrintingExtension::helpLanguageSuffix(row.language));
    }
}

// An extension that is built but not initialised, with its mode settable.
class ModeProbe : public LumoraPrintingExtension {
public:
    using LumoraPrintingExtension::setMode;
};

TEST(LumoraPrintingExtensionModes, DestinationChangedAndFirstJobOnlyInTheFirstJobWorkflow)
{
    testenv::PrivateCurrentUser hkcu;
    ASSERT_TRUE(hkcu.isActive());
    ModeProbe extension;
    EXPECT_EQ(LumoraPrintingExtension::kModeNone, extension.getMode());
    EXPECT_FALSE(extension.isNewInstall());
    EXPECT_FALSE(extension.isMakePermanentRequested());
    EXPECT_EQ(nullptr, LumoraPrintingExtension::current()); // only instance() publishes

    for (int mode = 0; mode <= 5; ++mode) {
        SCOPED_TRACE(mode);
        extension.setMode(LumoraPrintingExtension::kModeFirstJob);
        extension.setDestinationChanged(false);
        extension.setMode(mode);
        extension.setDestinationChanged(true);
        const bool firstJob = mode == LumoraPrintingExtension::kModeFirstJob;
        EXPECT_EQ(firstJob, extension.isDestinationChanged());
        deleteProcessProperty(krv::kFirstJob);
        EXPECT_EQ(firstJob, extension.isFirstJobPending());
        setProcessProperty(krv::kFirstJob, GetTickCount() | 1);
        EXPECT_FALSE(extension.isFirstJobPending());
        // The make-permanent request is kept in every mode.
        extension.setMakePermanentRequested(true);
        EXPECT_TRUE(extension.isMakePermanentRequested());
        extension.setMakePermanentRequested(false);
    }
    deleteProcessProperty(krv::kFirstJob);

    // A flag set in mode 2 is not reported in another mode.
    extension.setMode(LumoraPrintingExtension::kModeFirstJob);
    extension.setDestinationChanged(true);
    extension.setMode(LumoraPrintingExtension::kModeRetargetPausedJob);
    EXPECT_FALSE(extension.isDestinationChanged());

    extension.readNewInstallFlag(nullptr);
    EXPECT_FALSE(extension.isNewInstall());

    EXPECT_FALSE(extension.createDestinationContext(L""));
    EXPECT_EQ(nullptr, extension.getDestinationContext());
    ASSERT_TRUE(extension.createDestinationContext(L"Queue A"));
    MPrint::DestinationContext* context = extension.getDestinationContext();
    ASSERT_NE(nullptr, context);
    EXPECT_EQ(L"Queue A", context->getPrinterName());
    EXPECT_TRUE(extension.createDestinationContext(L"Queue B"));
    EXPECT_EQ(context, extension.getDestinationContext());
    EXPECT_EQ(L"Queue A", context->getPrinterName());
}

TEST(LumoraPrintingExtensionModes, NewInstallFlagIsSetByNonZeroPrinterDataOnly)
{
    testspool::ScopedQueue queue(testspool::uniqueQueueName(L"Lumo New Install"));
    ASSERT_EQ(DWORD{ERROR_SUCCESS}, queue.error());
    HANDLE printer = nullptr;
    ASSERT_TRUE(OpenPrinterW(const_cast<wchar_t*>(queue.name().c_str()), &printer, nullptr));
    ModeProbe extension;
    const struct {
        const char* step;
        std::optional<DWORD> stored; // none: the value is absent
        bool expected;
    } steps[] = {{"absent", std::nullopt, false}, {"zero", 0, false}, {"non-zero", 7, true}, {"zero again", 0, true}};
    for (const auto& step : steps) {
        SCOPED_TRACE(step.step);
        if (step.stored) {
            ASSERT_EQ(DWORD{ERROR_SUCCESS}, queue.setDword(L"", L"LumoNewInstall", *step.stored));
        }
        extension.readNewInstallFlag(printer);
        EXPECT_EQ(step.expected, extension.isNewInstall());
    }
    ClosePrinter(printer);
}

// Initialisation and migration: each test starts from an empty private
// HKEY_CURRENT_USER and no policy.
class LumoraPrintingExtensionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(hkcu_.isActive());
        dropPolicy();
        settings_ = std::make_unique<RegistryKey>(HKEY_CURRENT_USER, settingskeys::kSettings, RegistryKey::kAllAccess, true);
    }
    void TearDown() override
    {
        delete LumoraPrintingExtension::current();
        dropPolicy();
    }

    LumoraPrintingExtension* create()
    {
        LumoraPrintingExtension* extension = LumoraPrintingExtension::instance();
        EXPECT_NE(nullptr, extension);
        EXPECT_EQ(extension, LumoraPrintingExtension::current());
        return extension;
    }
    void destroy(LumoraPrintingExtension* extension)
    {
        delete extension;
        EXPECT_EQ(nullptr, LumoraPrintingExtension::current());
        dropPolicy();
    }

    static std::optional<std::wstring> text(RegistryKey& key, const wchar_t* name)
    {
        std::wstring value;
        if (!key.queryString(name, value))
            return std::nullopt;
        return value;
    }
    static std::optional<DWORD> number(RegistryKey& key, const wchar_t* name)
    {
        DWORD value = 0;
        if (!key.queryDword(name, &value))
            return std::nullopt;
        return value;
    }
    RegistryKey history(const std::wstring& profile)
    {
        return RegistryKey(settings_->getHandle(), profile + L"\\Target History", RegistryKey::kAllAccess, true);
    }
    // The history's entries in order, "Target0".."Target<HistoryLength-1>".
    static std::vector<std::wstring> targets(RegistryKey& key)
    {
        std::vector<std::wstring> result;
        const DWORD length = number(key, L"HistoryLength").value_or(0);
        for (DWORD i = 0; i < length; ++i)
            result.push_back(text(key, (L"Target" + std::to_wstring(i)).c_str()).value_or(L"<missing>"));
        return result;
    }
    static void putHistory(RegistryKey& key, const std::vector<std::optional<std::wstring>>& entries,
                           std::optional<DWORD> limit = std::nullopt)
    {
        for (size_t i = 0; i < entries.size(); ++i) {
            if (entries[i])
                key.setString(L"Target" + std::to_wstring(i), *entries[i]);
        }
        key.setDword(L"HistoryLength", static_cast<DWORD>(entries.size()));
        if (limit)
            key.setDword(L"HistoryLimit", *limit);
    }

    testenv::PrivateCurrentUser hkcu_;
    std::unique_ptr<RegistryKey> settings_;
};

TEST_F(LumoraPrintingExtensionTest, FirstInitialisationCreatesTheDefaultProfile)
{
    settings_->setString(L"CurrentAddress", L"10.1.2.3");
    LumoraPrintingExtension* extension = create();
    ASSERT_NE(nullptr, extension);

    EXPECT_EQ(LumoraPrintingExtension::kModeNone, extension->getMode());
    EXPECT_EQ(L"10.1.2.3", extension->getDestination());
    LumoraSettings* settings = extension->getSettings();
    ASSERT_NE(nullptr, settings);
    EXPECT_EQ(L"Default", settings->getCurrentProfile());
    EXPECT_EQ(L"Default", text(*settings_, L"CurrentProfile"));
    RegistryKey profile(settings_->getHandle(), L"Default", RegistryKey::kRead);
    EXPECT_EQ(L"Default", text(profile, L""));
    // The history key handed to the settings is the profile's.
    ASSERT_TRUE(settings->getTargetHistoryKey().setDword(L"HistoryLimit", 4));
    RegistryKey defaultHistory = history(L"Default");
    EXPECT_EQ(4u, number(defaultHistory, L"HistoryLimit"));

    // Both migration markers are written even when there was nothing to migrate.
    EXPECT_EQ(1u, number(*settings_, L"ReadInOldProfiles"));
    EXPECT_EQ(1u, number(*settings_, L"ReadInM1Profiles"));

    // Help files beside the module (here: the test executable) in the
    // loader's language.
    const std::wstring bin = testenv::binDir() + L"\\";
    const std::wstring suffix =
        LumoraPrintingExtension::helpLanguageSuffix(settings->getResourceLoader().getLanguage());
    EXPECT_EQ(bin + L"vrelh01" + suffix + L".HLP", settings->getHelpFile());
    EXPECT_EQ(bin + L"vrelh02" + suffix + L".CHM", settings->getHtmlHelpFile());

    // instance() hands out the same object until it is deleted.
    EXPECT_EQ(extension, LumoraPrintingExtension::instance());

    // The device connections see the queue of the destination context.
    EXPECT_EQ(L"", MPrint::currentDestinationPrinterName());
    ASSERT_TRUE(extension->createDestinationContext(L"Context Queue"));
    EXPECT_EQ(L"Context Queue", MPrint::currentDestinationPrinterName());
    destroy(extension);
    EXPECT_EQ(L"", MPrint::currentDestinationPrinterName());
}

TEST_F(LumoraPrintingExtensionTest, StoredProfileAndLanguageAreUsed)
{
    settings_->setString(L"CurrentProfile", L"Work");
    settings_->setDword(L"LangId", 0x0407);
    LumoraPrintingExtension* extension = create();
    ASSERT_NE(nullptr, extension);
    LumoraSettings* settings = extension->getSettings();

    EXPECT_EQ(L"Work", settings->getCurrentProfile());
    RegistryKey defaultProfile(settings_->getHandle(), L"Default", RegistryKey::kRead);
    EXPECT_FALSE(defaultProfile.isOpen()); // nothing created for the stored profile
    ASSERT_TRUE(settings->getTargetHistoryKey().setDword(L"HistoryLimit", 6));
    RegistryKey workHistory = history(L"Work");
    EXPECT_EQ(6u, number(workHistory, L"HistoryLimit"));

    EXPECT_EQ(0x0407, settings->getResourceLoader().getLanguage());
    EXPECT_EQ(0x0407, settings->getLangId());
    EXPECT_EQ(testenv::binDir() + L"\\vrelh01GE.HLP", settings->getHelpFile());
    EXPECT_EQ(testenv::binDir() + L"\\vrelh02GE.CHM", settings->getHtmlHelpFile());
    destroy(extension);

    // An empty stored name counts as none: the default profile is made, named
    // before the stored language applies.
    settings_->setString(L"CurrentProfile", L"");
    const std::wstring defaultName = MPrint::ResourceLoader(testenv::binDir() + L"\\vrelm102.DLL").loadString(25);
    ASSERT_FALSE(defaultName.empty());
    extension = create();
    ASSERT_NE(nullptr, extension);
    EXPECT_EQ(defaultName, extension->getSettings()->getCurrentProfile());
    EXPECT_EQ(defaultName, text(*settings_, L"CurrentProfile"));
    destroy(extension);
}

TEST_F(LumoraPrintingExtensionTest, DiscoveryServicesRunForTheExtensionsLifetime)
{
    const GUID service = {0x5e1d0a31, 0x77c2, 0x4f0e, {0x9a, 0x41, 0x10, 0x20, 0x30, 0x40, 0x50, 0x60}};
    fakes::configureFakeService(service, {"svc"});
    ComponentRegistry::registerComponent(
        ComponentDescriptor{service, kDiscoveryServiceComponent, fakes::createFakeService, 1, 0, 0, nullptr, 0, 0, 0, 0, 0});
    fakes::fakeServiceLog().clear();

    LumoraPrintingExtension* extension = create();
    ASSERT_NE(nullptr, extension);
    EXPECT_EQ((std::vector<std::string>{"svc.SetEnabled(1)", "svc.Start"}), fakes::fakeServiceLog());
    EXPECT_EQ(1, fakes::liveFakeServices());
    // The registry hands the extension's loader and settings to its components.
    EXPECT_EQ(extension->getSettings(), ComponentRegistry::getContext());
    EXPECT_NE(nullptr, ComponentRegistry::getResourceLoader().getModule());

    fakes::fakeServiceLog().clear();
    destroy(extension);
    EXPECT_EQ((std::vector<std::string>{"svc.Stop", "svc.delete"}), fakes::fakeServiceLog());
    EXPECT_EQ(nullptr, ComponentRegistry::getContext()); // no dangling settings
    EXPECT_EQ(0, fakes::liveFakeServices());
    ComponentRegistry::unregisterComponent(service);
}

// The layers below learn from the extension whether the job's queue
// delivers its jobs to a path: the TCP/IP address stamp marks such a path,
// and the UNC helper names the queue's vendor port as its current port.
TEST_F(LumoraPrintingExtensionTest, JobDeliveryOfTheJobsQueueReachesTheLayersBelow)
{
    testspool::ScopedQueue queue(testspool::uniqueQueueName(L"Lumo Delivery"));
    ASSERT_EQ(DWORD{ERROR_SUCCESS}, queue.error());
    LumoraPrintingExtension* extension = create();
    ASSERT_NE(nullptr, extension);
    ASSERT_TRUE(extension->createDestinationContext(queue.name()));

    auto stamped = [] {
        MPrint::TCPIPAddressDiscovery service;
        PrintPathList list;
        EXPECT_EQ(0u, service.Resolve(nullptr, L"10.0.0.5", L"n", L"d", list));
        return list.size() == 1 ? list.front()->getNumericAttribute(PrintPathAttr::JobDelivery) : 0u;
    };
    EXPECT_EQ(0xFFFFFFFFu, stamped()) << "the queue does not deliver";
    // A static queue's own switch decides for any path.
    ASSERT_EQ(DWORD{ERROR_SUCCESS}, queue.setDword(L"", L"StaticMode", 1));
    ASSERT_EQ(DWORD{ERROR_SUCCESS}, queue.setDword(L"", L"JobDelivery", 1));
    EXPECT_EQ(1u, stamped());
    ASSERT_EQ(DWORD{ERROR_SUCCESS}, queue.setDword(L"", L"JobDelivery", 0));
    EXPECT_EQ(0xFFFFFFFFu, stamped());
    ASSERT_EQ(DWORD{ERROR_SUCCESS}, queue.setDword(L"", L"StaticMode", 0));

    ASSERT_TRUE(testtrebuk::registerServer());
    testtrebuk::ScopedDevice device;
    const std::wstring resourcePort = extension->getSettings()->getResourceLoader().loadString(1);
    ASSERT_FALSE(resourcePort.empty());
    struct Row {
        const char* name;
        bool delivers;        // the path's own switch
        bool fromSheet;       // the device-property sheet asks
        const wchar_t* vendorPort; // the queue's "VendorPortName"; null: absent
        std::wstring currentPort;
    } rows[] = {
        {"a job-delivery path: the queue's vendor port", true, false, L"Waypost 7", L"Waypost 7"},
        {"without a vendor port: the resource module's", true, false, nullptr, resourcePort},
        {"an empty vendor port counts as none", true, false, L"", resourcePort},
        {"not a job-delivery path: the shared queue", false, false, L"Waypost 7", L"\\\\PC7\\Laser"},
        {"from the property sheet: the shared queue", true, true, L"Waypost 7", L"\\\\PC7\\Laser"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ScopedPrinter printer = testspool::openQueue(queue.name());
        DeletePrinterDataW(printer.get(), const_cast<wchar_t*>(L"VendorPortName"));
        if (row.vendorPort) {
            ASSERT_EQ(DWORD{ERROR_SUCCESS}, queue.setString(L"", L"VendorPortName", row.vendorPort));
        }
        MPrint::PrintPath path;
        path.setStringAttribute(L"DeviceConfigAddress", device.address(), true);
        path.setStringAttribute(L"LocalPrinterName", queue.name(), true);
        if (row.delivers)
            path.setNumericAttribute(PrintPathAttr::JobDelivery, 1, true);
        if (row.fromSheet)
            path.setNumericAttribute(L"UNCDevPropCall", 1, true);
        bool connected = false;
        MPrint::UNCBidiConnectionHelper helper;
        std::unique_ptr<MPrint::TrebukBidiConnection> connection(
            helper.setBIDIHelperValues(&path, L"\\\\PC7\\Laser", L"PORT7", &connected));
        ASSERT_TRUE(connected);
        const testspool::DataValues data = testspool::enumDataValues(printer.get(), L"PrinterDriverData");
        ASSERT_TRUE(data.count(L"BIDICurrentPort"));
        EXPECT_EQ(testspool::textBytes(row.currentPort), data.at(L"BIDICurrentPort").second);
    }
    destroy(extension);
}

// The layers below ask the managed print policy, and read lists through the
// cache, by what the extension installs when it is made: the discovery
// manager registers the policy's lists, paths hide device addresses as the
// policy says, and the device code reads its yes/no values.
TEST_F(LumoraPrintingExtensionTest, ManagedPolicyReachesTheLayersBelow)
{
    settings_->setDword(L"KRVADS", 19728374); // the directory policy is on
    settings_->setDword(L"ADSLoginSimulator", 1);
    RegistryKey group(HKEY_CURRENT_USER, settingskeys::kGroupPolicy, RegistryKey::kAllAccess, true);
    group.setDword(L"CustomMPLCount", 1);
    group.setString(L"CustomMPLName0", L"Zero");
    group.setString(L"CustomMPLPath0", L"\\\\srv\\lists\\zero.xml");
    group.setDword(L"VrelmTestSwitch", 1);
    testenv::TempDir dir;
    const std::wstring list = dir.file(L"list.xml");
    ASSERT_TRUE(testenv::writeFile(list, "<qzmanagedprinting/>"));

    LumoraPrintingExtension* extension = create();
    ASSERT_NE(nullptr, extension);
    DiscoveryServicesManager* manager = DiscoveryServicesManager::GetInstance();
    std::vector<std::wstring> lists;
    for (const auto& [classId, name] : manager->getListNames()) {
        if (auto* service = dynamic_cast<MPrint::ManagedPortDiscovery*>(manager->GetService(classId)))
            lists.push_back(service->getName() + L" " + service->getListLocation());
    }
    EXPECT_NE(std::find(lists.begin(), lists.end(), L"Zero \\\\srv\\lists\\zero.xml"), lists.end());
    EXPECT_TRUE(MPrint::policyBool(L"VrelmTestSwitch", false));
    auto info = [&] {
        MPrint::PrintPath path;
        MPrint::setPrinterInfoText(path, extension->getSettings()->getResourceLoader(), L"QZ Laser 5", L"10.0.0.5");
        return path.getStringAttribute(PrintPathAttr::PrinterInfo);
    };
    EXPECT_EQ(L"Model: QZ Laser 5", info()) << "a policy without ShowDeviceAddress hides addresses";
    group.setDword(L"ShowDeviceAddress", 1);
    MPrint::ManagedPrintPolicy::instance()->reset();
    EXPECT_EQ(L"Model: QZ Laser 5\nAddress: 10.0.0.5", info());
    std::string bytes;
    EXPECT_TRUE(MPrint::ManagedListSource::current().readList(list, bytes, nullptr, 5000));
    EXPECT_EQ("<qzmanagedprinting/>", bytes);
    destroy(extension);
}

TEST_F(LumoraPrintingExtensionTest, MigrationRunsOnceAcrossInitialisations)
{
    RegistryKey oldHistory(HKEY_CURRENT_USER, kOldHistoryPath, RegistryKey::kAllAccess, true);
    putHistory(oldHistory, {L"old-0", std::nullopt, L"old-2"});
    RegistryKey oldSettings(HKEY_CURRENT_USER, kOldSettingsPath, RegistryKey::kAllAccess, true);
    oldSettings.setString(L"CustomProfiles", L"Work;");
    RegistryKey oldWork(oldSettings.getHandle(), L"Work\\Target History", RegistryKey::kAllAccess, true);
    putHistory(oldWork, {L"work-0"});
    RegistryKey current = history(L"Default");
    putHistory(current, {L"cur-0"}, 1);

    for (int run = 0; run < 2; ++run) {
        SCOPED_TRACE(run);
        destroy(create());
        EXPECT_EQ((std::vector<std::wstring>{L"cur-0", L"old-0", L"old-2"}), targets(current));
        EXPECT_EQ(3u, number(current, L"HistoryLimit")); // raised to the count
        RegistryKey work = history(L"Work");
        EXPECT_EQ(std::vector<std::wstring>{L"work-0"}, targets(work));
        EXPECT_EQ(L"Work;", text(*settings_, L"CustomProfiles"));
        EXPECT_EQ(L"Default", text(*settings_, L"CurrentProfile")); // switched back
    }
}

TEST_F(LumoraPrintingExtensionTest, EachPhaseFollowsItsOwnMarkerInTheSettingsKey)
{
    // The older release left only the first marker: its single history was
    // migrated already and must not be appended again; the profiles are new.
    settings_->setDword(L"ReadInOldProfiles", 1);
    RegistryKey oldHistory(HKEY_CURRENT_USER, kOldHistoryPath, RegistryKey::kAllAccess, true);
    putHistory(oldHistory, {L"old-0"});
    RegistryKey current = history(L"Default");
    putHistory(current, {L"old-0"});
    RegistryKey oldSettings(HKEY_CURRENT_USER, kOldSettingsPath, RegistryKey::kAllAccess, true);
    RegistryKey oldDefault(oldSettings.getHandle(), L"Default\\Target History", RegistryKey::kAllAccess, true);
    putHistory(oldDefault, {L"m1-0"});

    destroy(create());
    EXPECT_EQ((std::vector<std::wstring>{L"old-0", L"m1-0"}), targets(current));
    EXPECT_EQ(1u, number(*settings_, L"ReadInM1Profiles"));

    // The other way round.
    settings_->deleteValue(L"ReadInOldProfiles");
    destroy(create());
    EXPECT_EQ((std::vector<std::wstring>{L"old-0", L"m1-0", L"old-0"}), targets(current));
}

TEST_F(LumoraPrintingExtensionTest, ProfilesMigrateByWholeNameWithTheirAges)
{
    settings_->setString(L"CustomProfiles", L"Home Office;");
    RegistryKey homeOffice = history(L"Home Office");
    putHistory(homeOffice, {L"ho-0"});
    RegistryKey current = history(L"Default");
    putHistory(current, {L"cur-0"});

    RegistryKey oldSettings(HKEY_CURRENT_USER, kOldSettingsPath, RegistryKey::kAllAccess, true);
    // "Default" is listed by the older release as well: copied once only.
    oldSettings.setString(L"CustomProfiles", L"Home;Default;Home Office;Gone;");
    RegistryKey oldDefault(oldSettings.getHandle(), L"Default\\Target History", RegistryKey::kAllAccess, true);
    putHistory(oldDefault, {L"d-0", L"d-1"});
    oldDefault.setString(L"TargetAge0", L"1");
    oldDefault.setDword(L"TargetAge1", 0); // a number: not copied
    RegistryKey oldHome(oldSettings.getHandle(), L"Home\\Target History", RegistryKey::kAllAccess, true);
    putHistory(oldHome, {L"h-0"});
    oldHome.setString(L"TargetAge0", L"0");
    RegistryKey oldHomeOffice(oldSettings.getHandle(), L"Home Office\\Target History", RegistryKey::kAllAccess,
                              true);
    putHistory(oldHomeOffice, {std::nullopt, L"ho-old"});

    destroy(create());

    // The current profile first, appended after its own entries.
    EXPECT_EQ((std::vector<std::wstring>{L"cur-0", L"d-0", L"d-1"}), targets(current));
    EXPECT_EQ(L"1", text(current, L"TargetAge1"));
    EXPECT_FALSE(text(current, L"TargetAge2"));
    EXPECT_FALSE(number(current, L"TargetAge2"));
    // "Home" is a profile of its own although "Home Office" contains it.
    RegistryKey home = history(L"Home");
    EXPECT_EQ(std::vector<std::wstring>{L"h-0"}, targets(home));
    EXPECT_EQ(L"0", text(home, L"TargetAge0"));
    EXPECT_EQ(L"Home Office;Home;", text(*settings_, L"CustomProfiles"));
    // A listed profile gets its older entries appended, without gaps.
    EXPECT_EQ((std::vector<std::wstring>{L"ho-0", L"ho-old"}), targets(homeOffice));
    // A name without an older history key is not created.
    RegistryKey gone(settings_->getHandle(), L"Gone", RegistryKey::kRead);
    EXPECT_FALSE(gone.isOpen());
    EXPECT_EQ(L"Default", text(*settings_, L"CurrentProfile"));
}

} // namespace
