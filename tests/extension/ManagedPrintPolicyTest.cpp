// Policy values: the colour schedule and application list over a scratch
// key, and typed access and discovery allowance with the policy loaded from
// a valid cache (server policy) and the group-policy key (directory policy
// through the "ADSLoginSimulator" override).
#include "extension/ManagedPrintPolicy.h"

#include "discovery/DiscoveryClassIds.h"
#include "support/PolicyTestEnv.h"
#include "support/ScratchKey.h"
#include "support/SharedState.h"
#include "support/TestEnv.h"
#include "support/TestSpooler.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

VRELM_TEST_SHARES(policy_settings);

using MPrint::ManagedPrintPolicy;

namespace {

constexpr DWORD kMarkerOn = 19728374;

using discoveryids::kBluetooth;
using discoveryids::kLocalPorts;
using discoveryids::kNetworkShares;
using discoveryids::kTcpIp;
const GUID kUnknownService = {0x12345678, 0x1234, 0x1234, {1, 2, 3, 4, 5, 6, 7, 8}};

const wchar_t* const kDays[] = {L"Sunday", L"Monday", L"Tuesday", L"Wednesday", L"Thursday", L"Friday", L"Saturday"};

// The colour schedule and application list read from a key of the test's own.
struct ScratchKey : testenv::ScratchKey {
    ScratchKey() : testenv::ScratchKey(L"ManagedPrintPolicyTest") {}
};

SYSTEMTIME at(WORD weekday, WORD hour, WORD minute)
{
    SYSTEMTIME time{};
    time.wYear = 2026;
    time.wDayOfWeek = weekday;
    time.wHour = hour;
    time.wMinute = minute;
    return time;
}

TEST(PolicyKeyTable, ScheduleIdsFollowWeekdayAndSuffix)
{
    const wchar_t* suffixes[] = {L"Color", L"ColorOnHour", L"ColorOffHour", L"ColorOnMinute", L"ColorOffMinute"};
    for (DWORD d = 0; d < 7; ++d)
        for (DWORD k = 0; k < 5; ++k)
            EXPECT_EQ(std::wstring(kDays[d]) + suffixes[k], MPrint::policyKeyName(37 + 5 * d + k));
    EXPECT_STREQ(L"RefreshPolicy", MPrint::policyKeyName(0));
    EXPECT_STREQ(L"CheckStatus", MPrint::policyKeyName(36));
    EXPECT_STREQ(L"ApplicationExclude", MPrint::policyKeyName(72));
    EXPECT_STREQ(L"GrayscaleDefault", MPrint::policyKeyName(82));
    EXPECT_EQ(nullptr, MPrint::policyKeyNames[83]);
    EXPECT_EQ(nullptr, MPrint::policyKeyName(83));
}

struct ScheduleCase {
    const char* name;
    std::optional<std::wstring> mode; // the day's "<Day>Color"
    // on hour, off hour, on minute, off minute; -1 leaves one out
    int numbers[4];
    WORD hour, minute;
    bool allowed;
};

TEST(ColorSchedule, ByWeekdayHourAndMinute)
{
    const ScheduleCase cases[] = {
        {"no mode for the day", std::nullopt, {-1, -1, -1, -1}, 12, 0, true},
        {"restricted all day", L"Restrict Color all day", {-1, -1, -1, -1}, 12, 0, false},
        {"restricted, any case", L"restrict color ALL DAY", {8, 17, 0, 0}, 12, 0, false},
        {"another mode text", L"Always", {8, 17, 0, 0}, 3, 0, true},
        {"night window 23:30", L"Specify time", {22, 6, 0, 0}, 23, 30, true},
        {"night window 05:59", L"specify TIME", {22, 6, 0, 0}, 5, 59, true},
        {"night window opens 22:00", L"Specify time", {22, 6, 0, 0}, 22, 0, false},
        {"night window closes 06:00", L"Specify time", {22, 6, 0, 0}, 6, 0, false},
        {"night window noon", L"Specify time", {22, 6, 0, 0}, 12, 0, false},
        {"day window 08:30 opens", L"Specify time", {8, 17, 30, 15}, 8, 30, false},
        {"day window 08:31", L"Specify time", {8, 17, 30, 15}, 8, 31, true},
        {"day window 17:14", L"Specify time", {8, 17, 30, 15}, 17, 14, true},
        {"day window 17:15 closes", L"Specify time", {8, 17, 30, 15}, 17, 15, false},
        {"on equals off", L"Specify time", {9, 9, 0, 0}, 12, 0, false},
        {"on equals off at that minute", L"Specify time", {9, 9, 0, 0}, 9, 0, false},
        {"one number missing", L"Specify time", {22, 6, 0, -1}, 12, 0, true},
    };
    for (WORD day = 0; day < 7; ++day) {
        for (const auto& row : cases) {
            SCOPED_TRACE(testing::Message() << row.name << ", weekday " << day);
            ScratchKey fresh;
            const DWORD first = 37 + 5 * day;
            if (row.mode)
                fresh->setString(MPrint::policyKeyName(first), row.mode->c_str());
            for (int k = 0; k < 4; ++k)
                if (row.numbers[k] >= 0)
                    fresh->setDword(MPrint::policyKeyName(first + 1 + k), static_cast<DWORD>(row.numbers[k]));
            EXPECT_EQ(row.allowed, ManagedPrintPolicy::isColorAllowedAt(*fresh, at(day, row.hour, row.minute)));
            // Only the day's own schedule counts.
            EXPECT_TRUE(ManagedPrintPolicy::isColorAllowedAt(*fresh, at((day + 1) % 7, row.hour, row.minute)));
        }
    }
}

struct ApplicationCase {
    const char* name;
    std::optional<DWORD> exclude;
    std::map<int, std::wstring> entries; // "Application_<n>"
    const wchar_t* hostPath;
    bool allowed;
};

TEST(ColorApplications, IncludeAndExcludeLists)
{
    const wchar_t* word = L"C:\\Program Files\\Office\\WINWORD.EXE";
    const wchar_t* calc = L"C:\\windows\\system32\\calc.exe";
    const ApplicationCase cases[] = {
        {"no list mode", std::nullopt, {{1, L"winword"}}, word, true},
        {"excluded, any case", 1, {{1, L"WinWord"}}, word, false},
        {"excluded list, other program", 1, {{1, L"winword"}}, calc, true},
        {"included program", 0, {{1, L"notepad"}, {2, L"office\\winword"}}, word, true},
        {"not included", 0, {{1, L"notepad"}, {2, L"winword"}}, calc, false},
        {"include mode, empty list", 0, {}, word, false},
        {"a gap ends the list", 1, {{1, L"notepad"}, {3, L"winword"}}, word, true},
        {"empty entry is skipped (exclude)", 1, {{1, L""}, {2, L"notepad"}}, calc, true},
        {"empty entry is skipped (include)", 0, {{1, L""}, {2, L"notepad"}}, calc, false},
        {"blank entry is skipped", 0, {{1, L" \r\n "}}, calc, false},
        {"entry after an empty one still counts", 1, {{1, L""}, {2, L"calc.exe"}}, calc, false},
        {"untrimmed entry matches nothing", 1, {{1, L"\n  winword.exe \n"}}, word, true},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        ScratchKey key;
        if (row.exclude)
            key->setDword(L"ApplicationExclude", *row.exclude);
        for (const auto& [n, text] : row.entries)
            key->setString(L"Application_" + std::to_wstring(n), text);
        EXPECT_EQ(row.allowed, ManagedPrintPolicy::isColorAllowedForPath(*key, row.hostPath));
    }
}

TEST(ColorApplications, UsesTheHostProgramPath)
{
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    ScratchKey key;
    key->setDword(L"ApplicationExclude", 1);
    key->setString(L"Application_1", L"managedprintpolicytest.exe");
    ManagedPrintPolicy policy;
    EXPECT_FALSE(policy.isColorAllowedForApplication(*key));
    key->setString(L"Application_1", L"some-other-program.exe");
    EXPECT_TRUE(policy.isColorAllowedForApplication(*key));
}

TEST(PrinterPolicySwitch, PrinterDataTurnsBothPoliciesOff)
{
    constexpr DWORD kOff = 972565793;
    testspool::ScopedQueue queue(testspool::uniqueQueueName(L"Policy Switch"));
    ASSERT_EQ(DWORD{ERROR_SUCCESS}, queue.error());
    HANDLE printer = nullptr;
    ASSERT_TRUE(OpenPrinterW(const_cast<wchar_t*>(queue.name().c_str()), &printer, nullptr));

    ManagedPrintPolicy policy;
    EXPECT_FALSE(policy.arePoliciesOffForPrinter(nullptr));
    EXPECT_FALSE(policy.arePoliciesOffForPrinter(printer));
    queue.setDword(L"", L"KRVZMA", kOff);
    queue.setDword(L"", L"KRVADS", kOff + 1);
    EXPECT_FALSE(policy.arePoliciesOffForPrinter(printer)); // only the server policy is off
    queue.setDword(L"", L"KRVADS", kOff);
    EXPECT_TRUE(policy.arePoliciesOffForPrinter(printer));
    // The object keeps it for the rest of the process.
    queue.setDword(L"", L"KRVZMA", 0);
    EXPECT_TRUE(policy.arePoliciesOffForPrinter(nullptr));
    EXPECT_TRUE(policy.arePoliciesOffForPrinter(printer));
    ClosePrinter(printer);
}

// The policy loaded for real from the registry: a server policy from a valid
// cache and, when asked, the group-policy key in force.
class PolicyValuesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        testenv::clearPolicyState();
        ASSERT_FALSE(testenv::policyLocalAddress().empty()) << "the computer name must resolve";
        // An existing file as the location: no network is involved and the
        // cache below is what the policy answers from.
        cache_ = std::make_unique<RegistryKey>(testenv::makeServerPolicyInForce(dir_.file(L"policy.xml")));
        ASSERT_TRUE(cache_->isOpen());
        settings_ = std::make_unique<RegistryKey>(HKEY_CURRENT_USER, settingskeys::kSettings,
                                                  RegistryKey::kAllAccess, true);
    }
    void TearDown() override
    {
        cache_.reset();
        settings_.reset();
        testenv::clearPolicyState();
    }

    // The policy loaded again, from the still valid cache: the colour rules
    // are read once per load.
    static ManagedPrintPolicy* reloaded()
    {
        delete ManagedPrintPolicy::instance();
        return ManagedPrintPolicy::instance();
    }

    // Group policy in force through the directory override.
    std::unique_ptr<RegistryKey> enableGroupPolicy()
    {
        settings_->setDword(L"KRVADS", kMarkerOn);
        settings_->setDword(L"ADSLoginSimulator", 1);
        return std::make_unique<RegistryKey>(HKEY_CURRENT_USER, settingskeys::kGroupPolicy, RegistryKey::kAllAccess,
                                             true);
    }

    testenv::Winsock winsock_;
    testenv::TempDir dir_;
    std::unique_ptr<RegistryKey> settings_;
    std::unique_ptr<RegistryKey> cache_;
};

TEST_F(PolicyValuesTest, ServerPolicyAnswersEveryKind)
{
    cache_->setString(L"JobAccountingURL", L"http://accounting.example/jobs");
    cache_->setDword(L"DuplexDefault", 2);
    cache_->setDword(L"ShowProfiles", 0);
    cache_->setDword(L"Restricted", 1);

    ManagedPrintPolicy* policy = ManagedPrintPolicy::instance();
    ASSERT_TRUE(policy->hasPolicy());
    std::wstring text = L"untouched";
    EXPECT_TRUE(policy->getString(L"JobAccountingURL", text));
    EXPECT_EQ(L"http://accounting.example/jobs", text);
    DWORD number = 77;
    EXPECT_TRUE(policy->getDword(L"DuplexDefault", number));
    EXPECT_EQ(2u, number);
    EXPECT_FALSE(policy->getBool(L"ShowProfiles", true));
    EXPECT_TRUE(policy->getBool(L"Restricted", false));
    EXPECT_TRUE(policy->getBool(L"ShowMakePermanent", true)); // absent: the default
    EXPECT_FALSE(policy->getBool(L"ShowMakePermanent", false));

    // Absent or of another type: false, outputs untouched.
    text = L"untouched";
    number = 77;
    EXPECT_FALSE(policy->getString(L"VendorPortName", text));
    EXPECT_FALSE(policy->getString(L"DuplexDefault", text));
    EXPECT_FALSE(policy->getDword(L"JobAccountingURL", number));
    EXPECT_EQ(L"untouched", text);
    EXPECT_EQ(77u, number);
}

TEST_F(PolicyValuesTest, PrinterDataComesBeforePolicy)
{
    cache_->setDword(L"DuplexDefault", 1);
    cache_->setString(L"LumoSNMPCommunityName", L"policy-community");
    testspool::ScopedQueue queue(testspool::uniqueQueueName(L"Policy Values"));
    ASSERT_EQ(DWORD{ERROR_SUCCESS}, queue.error());
    queue.setDword(L"", L"DuplexDefault", 2);
    queue.setString(L"", L"LumoSNMPCommunityName", L"queue-community");
    HANDLE printer = nullptr;
    ASSERT_TRUE(OpenPrinterW(const_cast<wchar_t*>(queue.name().c_str()), &printer, nullptr));

    ManagedPrintPolicy* policy = ManagedPrintPolicy::instance();
    testspool::ScopedCallLog log; // the caller's handle serves every read
    struct Row {
        const char* name;
        HANDLE printer;
        DWORD number;
        std::wstring text;
        bool fromPrinter;
    } rows[] = {
        {"printer has them", printer, 2, L"queue-community", true},
        {"no printer", nullptr, 1, L"policy-community", false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        DWORD number = 0;
        bool fromPrinter = !row.fromPrinter;
        EXPECT_TRUE(policy->getPrinterOrPolicyDword(row.printer, L"DuplexDefault", number, fromPrinter));
        EXPECT_EQ(row.number, number);
        EXPECT_EQ(row.fromPrinter, fromPrinter);
        std::wstring text;
        fromPrinter = !row.fromPrinter;
        EXPECT_TRUE(policy->getPrinterOrPolicyString(row.printer, L"LumoSNMPCommunityName", text, fromPrinter));
        EXPECT_EQ(row.text, text);
        EXPECT_EQ(row.fromPrinter, fromPrinter);
    }
    // Absent from the printer: the policy answers.
    DWORD number = 0;
    bool fromPrinter = true;
    cache_->setDword(L"EconomodeDefault", 5);
    EXPECT_TRUE(policy->getPrinterOrPolicyDword(printer, L"EconomodeDefault", number, fromPrinter));
    EXPECT_EQ(5u, number);
    EXPECT_FALSE(fromPrinter);
    EXPECT_FALSE(policy->getPrinterOrPolicyDword(printer, L"PrivatePrintDefault", number, fromPrinter));
    EXPECT_TRUE(log.calls("OpenPrinterW").empty());
    EXPECT_FALSE(log.calls("GetPrinterDataW").empty());
    ClosePrinter(printer);
}

TEST_F(PolicyValuesTest, GroupPolicyHidesTheServerPolicyExceptColor)
{
    cache_->setString(L"JobDeliveryURL", L"http://server-only");
    cache_->setDword(L"LocalPorts", 1);
    cache_->setDword(L"Color", 0);
    auto group = enableGroupPolicy();
    group->setString(L"JobAccountingURL", L"http://group");
    group->setDword(L"NetworkShares", 1);
    group->setDword(L"RendezvousTCPIP", 0);

    ManagedPrintPolicy* policy = ManagedPrintPolicy::instance();
    ASSERT_TRUE(policy->hasPolicy());
    std::wstring text;
    EXPECT_TRUE(policy->getString(L"JobAccountingURL", text));
    EXPECT_EQ(L"http://group", text);
    EXPECT_FALSE(policy->getString(L"JobDeliveryURL", text)); // only the server has it
    EXPECT_TRUE(policy->getBool(L"LocalPorts", true));
    EXPECT_FALSE(policy->getBool(L"LocalPorts", false));

    // Discovery: the group key decides; a missing value is not allowed.
    EXPECT_FALSE(policy->isDiscoveryServiceAllowed(kLocalPorts));
    EXPECT_TRUE(policy->isDiscoveryServiceAllowed(kNetworkShares));
    EXPECT_FALSE(policy->isDiscoveryServiceAllowed(kTcpIp));
    EXPECT_FALSE(policy->isDiscoveryServiceAllowed(kBluetooth));
    EXPECT_TRUE(policy->isDiscoveryServiceAllowed(kUnknownService));

    // "Color" is absent from the group key: the server's 0 decides.
    EXPECT_FALSE(policy->getBool(L"Color", true));
    group->setDword(L"Color", 1);
    EXPECT_FALSE(policy->getBool(L"Color", true)); // seen from the next load on
    EXPECT_TRUE(reloaded()->getBool(L"Color", false));
}

TEST_F(PolicyValuesTest, ServerPolicyDiscoveryAllowance)
{
    cache_->setDword(L"LocalPorts", 1);
    cache_->setDword(L"NetworkShares", 0);
    ManagedPrintPolicy* policy = ManagedPrintPolicy::instance();
    EXPECT_TRUE(policy->isDiscoveryServiceAllowed(kLocalPorts));
    EXPECT_FALSE(policy->isDiscoveryServiceAllowed(kNetworkShares));
    EXPECT_FALSE(policy->isDiscoveryServiceAllowed(kTcpIp)); // absent: default false
    EXPECT_TRUE(policy->isDiscoveryServiceAllowed(kUnknownService));
}

TEST_F(PolicyValuesTest, ColorAlwaysGoesThroughScheduleAndApplications)
{
    cache_->setDword(L"Color", 1);
    ManagedPrintPolicy* policy = ManagedPrintPolicy::instance();
    EXPECT_TRUE(policy->getBool(L"Color", false)); // no schedule, no list

    // Restricted every day: "Color" = 1 is not read as a plain boolean.
    for (DWORD d = 0; d < 7; ++d)
        cache_->setString(MPrint::policyKeyName(37 + 5 * d), L"Restrict Color all day");
    EXPECT_FALSE(reloaded()->getBool(L"Color", true));
    for (DWORD d = 0; d < 7; ++d)
        cache_->deleteValue(MPrint::policyKeyName(37 + 5 * d));

    // An include list that does not name this program.
    cache_->setDword(L"ApplicationExclude", 0);
    EXPECT_FALSE(reloaded()->getBool(L"Color", true));
    cache_->setString(L"Application_1", L"ManagedPrintPolicyTest");
    EXPECT_TRUE(reloaded()->getBool(L"Color", false));
}

TEST_F(PolicyValuesTest, NoPolicyAnswersDefaults)
{
    settings_->setDword(L"KRVZMA", 0); // server policy off, no directory policy
    ManagedPrintPolicy* policy = ManagedPrintPolicy::instance();
    EXPECT_FALSE(policy->hasPolicy());
    std::wstring text;
    EXPECT_FALSE(policy->getString(L"Userid", text));
    EXPECT_TRUE(policy->getBool(L"Restricted", true));
    EXPECT_TRUE(policy->getBool(L"Color", true));
    EXPECT_FALSE(policy->getBool(L"Color", false));
    EXPECT_TRUE(policy->isDiscoveryServiceAllowed(kLocalPorts));
}

} // namespace
