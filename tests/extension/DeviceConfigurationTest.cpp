// Device configuration for a print path on a queue of the spooler stand-in:
// the deferral rules (queued jobs on another port, a paused job), the query
// freshness with full and older stamps, the keyboard override, the path's
// configurators and the device-verify value, and the external bidi cache
// downloaded from a loopback server.
#include "extension/DeviceConfiguration.h"

#include "VagantUIExtension/DeviceConfigurator.h"
#include "VagantUIExtension/FeatureAccessor.h"
#include "core/ComponentRegistry.h"
#include "core/RegistryKey.h"
#include "core/SettingsKeys.h"
#include "destination/DeviceSettings.h"
#include "destination/PrintPathAttr.h"
#include "destination/PrinterSettings.h"
#include "discovery/DiscoveryClassIds.h"
#include "extension/LumoraPrintingExtension.h"
#include "support/DialogDriver.h"
#include "support/HttpTestServer.h"
#include "support/PolicyTestEnv.h"
#include "support/PrivateCurrentUser.h"
#include "support/SharedState.h"
#include "support/TestEnv.h"
#include "support/TestSpooler.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

VRELM_TEST_SHARES(policy_settings);

namespace {

using MPrint::PrintPath;
using namespace PrintPathAttr;

constexpr DWORD kAbsent = 0xFFFFFFFF;
const GUID kAccessor = {0x25127001, 0x3c51, 0x4a7d, {0x8e, 0x02, 0x6b, 0x31, 0x25, 0x00, 0x00, 0x01}};
const GUID kConfigurator = {0x25127002, 0x3c51, 0x4a7d, {0x8e, 0x02, 0x6b, 0x31, 0x25, 0x00, 0x00, 0x02}};
const GUID kSecondConfigurator = {0x25127003, 0x3c51, 0x4a7d, {0x8e, 0x02, 0x6b, 0x31, 0x25, 0x00, 0x00, 0x03}};

std::vector<std::string> g_calls;
uint32_t g_configureCode = 0;
bool g_marksConfigured = false;

class RecordingAccessor : public MPrint::FeatureAccessor {
public:
    uint32_t Apply(PrintPath*, DeviceSettings* sink) override
    {
        g_calls.push_back("Apply");
        sink->setDword(LumoDisableDuplex, 1);
        sink->setDword(LumoDisableJobRetention, 0);
        return 0;
    }
};

class ScriptedConfigurator : public MPrint::DeviceConfigurator {
public:
    uint32_t ConfigurePrintPath(PrintPath* path) override
    {
        g_calls.push_back("ConfigurePrintPath");
        path->setDeviceConfigured(g_marksConfigured);
        return g_configureCode;
    }
};

uint32_t createAccessor(const GUID&, MPrint::ComponentIntf** out)
{
    *out = new RecordingAccessor;
    return 0;
}

uint32_t createConfigurator(const GUID&, MPrint::ComponentIntf** out)
{
    *out = new ScriptedConfigurator;
    return 0;
}

SYSTEMTIME at(WORD year, WORD month, WORD day, WORD hour)
{
    SYSTEMTIME time = {};
    time.wYear = year;
    time.wMonth = month;
    time.wDay = day;
    time.wHour = hour;
    return time;
}

SYSTEMTIME utcNow()
{
    SYSTEMTIME now;
    GetSystemTime(&now);
    return now;
}

TEST(DeviceStamps, FullStampsCarryTheYearOlderOnesAreStillRead)
{
    const SYSTEMTIME now = at(2026, 12, 11, 2);
    // Older stamps: "LastQuery" month << 16 | day, "LastConfigTime" hour << 16 | day.
    struct Row {
        const char* name;
        DWORD stamp;
        bool queryFresh;
        bool configFresh;
    } rows[] = {
        {"now", MPrint::makeDeviceStamp(now), true, true},
        {"earlier today", MPrint::makeDeviceStamp(at(2026, 12, 11, 0)), true, true},
        {"yesterday 23:00", MPrint::makeDeviceStamp(at(2026, 12, 10, 23)), false, false},
        {"a year ago, same day and hour", MPrint::makeDeviceStamp(at(2025, 12, 11, 2)), false, false},
        {"a month ago, same day and hour", MPrint::makeDeviceStamp(at(2026, 11, 11, 2)), false, false},
        {"later today (a clock set back)", MPrint::makeDeviceStamp(at(2026, 12, 11, 5)), false, false},
        {"absent", kAbsent, false, false},
        {"older stamp: December 11th, or 12:00 on the 11th", (12u << 16) | 11, true, false},
        {"older stamp: December 10th, or 12:00 on the 10th", (12u << 16) | 10, false, false},
        {"older stamp: 00:00 on the 11th", (0u << 16) | 11, false, true},
        {"older stamp: 23:00 on the 11th", (23u << 16) | 11, false, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(row.queryFresh, MPrint::isQueryStampFresh(row.stamp, now));
        EXPECT_EQ(row.configFresh, MPrint::isConfigStampFresh(row.stamp, now));
    }
    EXPECT_NE(0u, MPrint::makeDeviceStamp(now) & 0x80000000u) << "never read as an older stamp";
    EXPECT_FALSE(MPrint::isConfigStampFresh(MPrint::makeDeviceStamp(at(2026, 12, 11, 8)), at(2026, 12, 11, 14)))
        << "six hours is stale";
    EXPECT_TRUE(MPrint::isConfigStampFresh(MPrint::makeDeviceStamp(at(2026, 12, 11, 8)), at(2026, 12, 11, 13)));
}

// Holds the keys down on this thread for the scope.
class HeldKeys {
public:
    explicit HeldKeys(const std::vector<int>& keys)
    {
        GetKeyboardState(saved_);
        BYTE state[256];
        memcpy(state, saved_, sizeof(state));
        for (int key : keys)
            state[key] |= 0x80;
        SetKeyboardState(state);
    }
    ~HeldKeys() { SetKeyboardState(saved_); }

private:
    BYTE saved_[256];
};

class DeviceConfigurationTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(hkcu_.isActive());
        testenv::clearPolicyState();
        ASSERT_EQ(DWORD{ERROR_SUCCESS}, queue_.error());
        ComponentRegistry::registerComponent(ComponentDescriptor{kAccessor, kFeatureAccessorComponent, createAccessor,
                                                                 1, 0, 0, nullptr, 0, 0, 0, 0, 0});
        for (const GUID& id : {kConfigurator, kSecondConfigurator})
            ComponentRegistry::registerComponent(ComponentDescriptor{id, kDeviceConfiguratorComponent,
                                                                     createConfigurator, 1, 0, 0, nullptr, 0, 0, 0, 0,
                                                                     0});
        extension_ = LumoraPrintingExtension::instance();
        ASSERT_NE(nullptr, extension_);
        ASSERT_TRUE(extension_->createDestinationContext(queue_.name()));
        g_calls.clear();
        g_configureCode = 0;
        g_marksConfigured = false;
    }
    void TearDown() override
    {
        delete LumoraPrintingExtension::current();
        for (const GUID& id : {kAccessor, kConfigurator, kSecondConfigurator})
            ComponentRegistry::unregisterComponent(id);
        testenv::clearPolicyState();
    }

    // A local-port destination on the given port, asking the accessor.
    static std::unique_ptr<PrintPath> pathOn(const wchar_t* port)
    {
        auto path = std::make_unique<PrintPath>();
        path->setDiscoveryId(discoveryids::kLocalPorts);
        path->setStringAttribute(LocalPort, port, true);
        path->setNumericAttribute(LocalPortType, 1, true);
        path->setStringAttribute(DisplayString, port, true);
        path->addFeatureId(kAccessor);
        path->addConfiguratorId(kConfigurator);
        return path;
    }

    DWORD addJob(DWORD status)
    {
        DWORD id = 0;
        EXPECT_EQ(DWORD{ERROR_SUCCESS}, testspool::control()->addJob(queue_.name().c_str(), L"doc", status, &id));
        return id;
    }

    DWORD queueDword(const wchar_t* name)
    {
        PrinterSettings settings(queue_.name().c_str(), PRINTER_ACCESS_USE);
        DWORD value = kAbsent;
        settings.getDword(name, value);
        return value;
    }

    testenv::PrivateCurrentUser hkcu_;
    testspool::ScopedQueue queue_{testspool::uniqueQueueName(L"Device Configuration")};
    LumoraPrintingExtension* extension_ = nullptr;
};

TEST_F(DeviceConfigurationTest, QueuedJobsDeferConfiguration)
{
    struct Row {
        const char* name;
        const wchar_t* port;
        std::vector<DWORD> jobs; // statuses, oldest first
        std::optional<DWORD> pending; // "PausePrintJob" already set
        bool deferred;
    } rows[] = {
        {"empty queue", L"LPT1:", {}, std::nullopt, false},
        {"jobs, the queue already on the path's port", L"LPT1:", {0, 0, 0}, std::nullopt, false},
        {"jobs, the queue on another port", L"LPT2:", {0, 0}, std::nullopt, true},
        {"jobs, one of them paused", L"LPT1:", {JOB_STATUS_PAUSED, 0}, std::nullopt, true},
        {"a pause already asked for", L"LPT1:", {}, 77, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<DWORD> ids;
        for (DWORD status : row.jobs)
            ids.push_back(addJob(status));
        std::unique_ptr<PrintPath> path = pathOn(row.port);
        if (row.pending)
            path->setNumericAttribute(PausePrintJob, *row.pending, false);
        g_calls.clear();

        EXPECT_EQ(1u, MPrint::configureDeviceForPrintPath(nullptr, queue_.name(), path.get()));
        const DWORD expectedPause = row.deferred ? (ids.empty() ? *row.pending : ids.back()) : kAbsent;
        EXPECT_EQ(expectedPause, path->getNumericAttribute(PausePrintJob));
        EXPECT_EQ(row.deferred ? std::vector<std::string>{} : std::vector<std::string>{"Apply"}, g_calls);
        EXPECT_EQ(!row.deferred, path->getNumericAttribute(LastQuery) != kAbsent);
        if (!row.deferred) {
            EXPECT_EQ(1u, path->getNumericAttribute(LumoDisableDuplex)) << "copied from the queue's data";
        }
        for (DWORD id : ids)
            testspool::control()->completeJob(id);
    }
    EXPECT_EQ(extension_->getDestinationContext()->getPrintPath(), nullptr)
        << "the port comparison puts the context's own path back";
}

TEST_F(DeviceConfigurationTest, FreshQueryIsSkippedUnlessForced)
{
    const DWORD today = MPrint::makeDeviceStamp(utcNow());
    SYSTEMTIME yearAgo = utcNow();
    --yearAgo.wYear;
    if (yearAgo.wMonth == 2 && yearAgo.wDay == 29)
        yearAgo.wDay = 28;
    struct Row {
        const char* name;
        DWORD lastQuery;
        std::vector<int> keys;
        std::vector<const wchar_t*> flags; // numeric attributes present
        std::vector<std::string> calls;
    } rows[] = {
        {"queried today", today, {}, {}, {}},
        {"queried today, Ctrl and Alt held", today, {VK_CONTROL, VK_MENU}, {}, {"Apply"}},
        {"queried today, Ctrl alone", today, {VK_CONTROL}, {}, {}},
        {"queried on this day a year ago", MPrint::makeDeviceStamp(yearAgo), {}, {}, {"Apply"}},
        {"configuration changed", today, {}, {ConfigChanged}, {"Apply"}},
        {"no bidi query", kAbsent, {}, {NoBidiQuery}, {}},
        {"re-configure", kAbsent, {}, {ReConfigure}, {"Apply", "ConfigurePrintPath"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::unique_ptr<PrintPath> path = pathOn(L"LPT1:");
        path->getDevice().setModelName("QZ Ardelle 4020");
        if (row.lastQuery != kAbsent)
            path->setNumericAttribute(LastQuery, row.lastQuery, true);
        for (const wchar_t* flag : row.flags)
            path->setNumericAttribute(flag, 1, false);
        g_calls.clear();
        {
            HeldKeys keys(row.keys);
            EXPECT_EQ(1u, MPrint::configureDeviceForPrintPath(nullptr, queue_.name(), path.get()));
        }
        EXPECT_EQ(row.calls, g_calls);
        const DWORD stamp = path->getNumericAttribute(LastQuery);
        EXPECT_TRUE(MPrint::isQueryStampFresh(stamp, utcNow()));
        EXPECT_NE(0u, stamp & 0x80000000u) << "a full stamp is stored";
        if (!row.calls.empty() && row.calls.back() == "ConfigurePrintPath") {
            EXPECT_TRUE(MPrint::isConfigStampFresh(path->getNumericAttribute(LastConfigTime), utcNow()));
            EXPECT_EQ(1u, queueDword(L"LumoDeviceVerify"));
        }
    }
}

TEST_F(DeviceConfigurationTest, NoPathShowsAnErrorAndConfiguresNothing)
{
    testenv::DialogDriver driver(4000);
    bool error = false;
    driver.onDialog([&](HWND box) {
        error = GetDlgItem(box, IDYES) == nullptr;
        testenv::DialogDriver::click(box, IDOK);
    });
    EXPECT_EQ(0u, MPrint::configureDeviceForPrintPath(nullptr, queue_.name(), nullptr));
    EXPECT_EQ(1u, driver.dialogsSeen().size());
    EXPECT_TRUE(error);
    EXPECT_EQ(0, driver.watchdogHits());
}

TEST_F(DeviceConfigurationTest, ConfiguratorsAndTheDeviceVerifyValue)
{
    const DWORD now = MPrint::makeDeviceStamp(utcNow());
    struct Row {
        const char* name;
        std::string model;
        uint32_t code;
        bool marksConfigured;
        DWORD lastConfig;
        std::wstring external;
        DWORD userSetting; // HKCU "LumoDeviceVerify"; absent when kAbsent
        bool result;
        std::vector<std::string> calls;
        DWORD verify; // queue "LumoDeviceVerify"; kAbsent: not written
    } rows[] = {
        {"configured, the maker's device", "QZ Ardelle 4020", 0, false, kAbsent, L"", kAbsent, true,
         {"ConfigurePrintPath", "ConfigurePrintPath"}, 1},
        {"configured and marked: the walk stops", "QZ Ardelle 4020", 0, true, kAbsent, L"", kAbsent, true,
         {"ConfigurePrintPath"}, 1},
        {"no connection still counts, another maker's device", "Brand X 100", 1, false, kAbsent, L"", kAbsent,
         false, {"ConfigurePrintPath", "ConfigurePrintPath"}, 0},
        {"every device accepted by the user", "Brand X 100", 2, false, kAbsent, L"", 0x200, true,
         {"ConfigurePrintPath", "ConfigurePrintPath"}, 1},
        {"an unknown code fails", "QZ Ardelle 4020", 9, false, kAbsent, L"", kAbsent, false,
         {"ConfigurePrintPath", "ConfigurePrintPath"}, kAbsent},
        {"configured externally", "", 0, false, kAbsent, L"C:\\cfg.creg", kAbsent, true, {}, kAbsent},
        {"configured within the hour", "", 0, false, now, L"", kAbsent, true, {}, kAbsent},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        RegistryKey user(HKEY_CURRENT_USER, settingskeys::kSettings, RegistryKey::kAllAccess, true);
        if (row.userSetting != kAbsent)
            user.setDword(L"LumoDeviceVerify", row.userSetting);
        else
            user.deleteValue(L"LumoDeviceVerify");
        {
            PrinterSettings settings(queue_.name().c_str(), PRINTER_ALL_ACCESS);
            settings.deleteValue(L"LumoDeviceVerify");
        }
        std::unique_ptr<PrintPath> path = pathOn(L"LPT1:");
        path->addConfiguratorId(kSecondConfigurator);
        path->getDevice().setModelName(row.model);
        path->setNumericAttribute(ChangeId, 42, true);
        if (row.lastConfig != kAbsent)
            path->setNumericAttribute(LastConfigTime, row.lastConfig, true);
        if (!row.external.empty())
            path->setStringAttribute(ExternalBidiConfigData, row.external, true);
        g_configureCode = row.code;
        g_marksConfigured = row.marksConfigured;
        g_calls.clear();

        EXPECT_EQ(row.result, MPrint::checkDeviceConfiguration(path.get()));
        EXPECT_EQ(row.calls, g_calls);
        EXPECT_EQ(row.verify, queueDword(L"LumoDeviceVerify"));
        if (row.code == 0 && !row.calls.empty()) {
            EXPECT_TRUE(MPrint::isConfigStampFresh(path->getNumericAttribute(LastConfigTime), utcNow()));
        }
        if (row.lastConfig != kAbsent) {
            EXPECT_EQ(42u, path->getNumericAttribute(NoBidiQuery)) << "the change counter as last read";
        }
    }
    EXPECT_FALSE(MPrint::checkDeviceConfiguration(nullptr));
}

// The user's temporary folder pointed at a folder of the test's own.
class ScopedTempFolder {
public:
    explicit ScopedTempFolder(const std::wstring& folder)
    {
        wchar_t saved[MAX_PATH];
        const DWORD length = GetEnvironmentVariableW(L"TMP", saved, MAX_PATH);
        if (length > 0 && length < MAX_PATH)
            saved_ = saved;
        SetEnvironmentVariableW(L"TMP", folder.c_str());
    }
    ~ScopedTempFolder() { SetEnvironmentVariableW(L"TMP", saved_ ? saved_->c_str() : nullptr); }

private:
    std::optional<std::wstring> saved_;
};

size_t filesIn(const std::wstring& folder)
{
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
    size_t count = 0;
    if (find == INVALID_HANDLE_VALUE)
        return 0;
    do
        count += (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? 0 : 1;
    while (FindNextFileW(find, &data));
    FindClose(find);
    return count;
}

TEST_F(DeviceConfigurationTest, ExternalBidiCacheFromAServerOrAFile)
{
    testenv::Winsock sockets;
    testenv::TempDir temp, sources;
    ScopedTempFolder tempFolder(temp.path());
    testenv::HttpTestServer server;
    ASSERT_TRUE(server.started());
    server.answer("/objects.xml", testenv::HttpAnswer::ok(
                                      "<Objects><Object name=\"Model\" type=\"REG_SZ\">QZ Ardelle</Object></Objects>"));
    // A cache file of one REG_DWORD record "A" = 1.
    const std::string record = std::string("\x02\0\0\0\x04\0\0\0\x04\0\0\0A\0\0\0\x01\0\0\0", 20);
    server.answer("/cache.creg", testenv::HttpAnswer::ok(record, "application/octet-stream"));
    ASSERT_TRUE(testenv::writeFile(sources.file(L"local.creg"), record));

    struct Row {
        const char* name;
        std::wstring source;
        DWORD type;
        bool made;
        const char* requested;
    } rows[] = {
        {"XML objects by URL", server.url("/objects.xml"), 3, true, "/objects.xml"},
        {"a cache file by URL", server.url("/cache.creg"), 0, true, "/cache.creg"},
        {"a URL that is not found", server.url("/missing.xml"), 3, false, "/missing.xml"},
        {"a cache file on disk", sources.file(L"local.creg"), 0, true, nullptr},
        {"a file that is not there", sources.file(L"none.creg"), 0, false, nullptr},
    };
    std::wstring made;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        server.clearRequests();
        PrintPath path;
        path.setStringAttribute(ExternalBidiConfigData, row.source, true);
        path.setNumericAttribute(ExternalConfigType, row.type, true);
        EXPECT_EQ(row.made, MPrint::updateExternalBidiConfig(&path, queue_.name()));
        if (row.requested) {
            EXPECT_EQ(1u, server.count(row.requested));
        }
        EXPECT_EQ(0u, filesIn(temp.path())) << "no download is left behind";
        const std::wstring& cache = path.getStringAttribute(ExtBidiCacheFile);
        EXPECT_EQ(row.made, !cache.empty());
        if (row.made) {
            EXPECT_TRUE(testenv::fileExists(cache));
            made = cache;
        }
    }

    // A cache file that can still be read is used as it is.
    server.clearRequests();
    PrintPath path;
    path.setStringAttribute(ExternalBidiConfigData, server.url("/objects.xml"), true);
    path.setStringAttribute(ExtBidiCacheFile, made, true);
    EXPECT_TRUE(MPrint::updateExternalBidiConfig(&path, queue_.name()));
    EXPECT_EQ(0u, server.requests().size());
    EXPECT_FALSE(MPrint::updateExternalBidiConfig(nullptr, queue_.name()));
    DeleteFileW(made.c_str());
}

} // namespace
