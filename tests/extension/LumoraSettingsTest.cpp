// LumoraSettings over a private HKEY_CURRENT_USER: registry values with and
// without a managed print policy (a server policy answered from a valid
// cache), the setters' ranges and the profile list operations.
#include "extension/LumoraSettings.h"

#include "core/SettingsKeys.h"
#include "core/Socket.h"
#include "extension/ManagedPrintPolicy.h"
#include "support/PolicyTestEnv.h"
#include "support/PrivateCurrentUser.h"
#include "support/SharedState.h"
#include "support/TestEnv.h"

#include <gtest/gtest.h>

#include <climits>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <variant>

VRELM_TEST_SHARES(policy_settings);

namespace {


using PolicyValue = std::variant<DWORD, std::wstring>;

class LumoraSettingsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(hkcu_.isActive());
        settingsKey_ = std::make_unique<RegistryKey>(HKEY_CURRENT_USER, settingskeys::kSettings, RegistryKey::kAllAccess, true);
        historyKey_ = std::make_unique<RegistryKey>(settingsKey_->getHandle(), L"Default\\Target History",
                                                    RegistryKey::kAllAccess, true);
        loader_ = std::make_unique<MPrint::ResourceLoader>(testenv::binDir() + L"\\vrelm102.DLL");
        ASSERT_NE(nullptr, loader_->getModule());
        loader_->setLanguage(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
    }
    void TearDown() override { dropPolicy(); }

    // No policy object and no policy configured (all of it lives in the
    // private HKEY_CURRENT_USER).
    void dropPolicy()
    {
        if (MPrint::ManagedPrintPolicy::hasInstance())
            delete MPrint::ManagedPrintPolicy::instance();
        cache_.reset();
        settingsKey_->deleteValue(L"KRVZMA");
        settingsKey_->deleteValue(L"Policy");
        RegDeleteTreeW(settingsKey_->getHandle(), testenv::policyLocalAddress().c_str());
    }

    // A server policy with these values, taken from a valid cache.
    void setPolicy(const std::map<std::wstring, PolicyValue>& values)
    {
        dropPolicy(); // a policy object loads once: the next one sees the new source
        ASSERT_FALSE(testenv::policyLocalAddress().empty()) << "the computer name must resolve";
        cache_ = std::make_unique<RegistryKey>(testenv::makeServerPolicyInForce(dir_.file(L"policy.xml")));
        ASSERT_TRUE(cache_->isOpen());
        for (const auto& [name, value] : values) {
            if (const DWORD* number = std::get_if<DWORD>(&value))
                cache_->setDword(name, *number);
            else
                cache_->setString(name, std::get<std::wstring>(value));
        }
        ASSERT_TRUE(MPrint::ManagedPrintPolicy::instance()->hasPolicy());
    }

    std::unique_ptr<LumoraSettings> make()
    {
        return std::make_unique<LumoraSettings>(L"C:\\temp\\", *settingsKey_, *historyKey_, *loader_);
    }

    std::optional<DWORD> storedDword(const wchar_t* name)
    {
        DWORD value = 0;
        if (!settingsKey_->queryDword(name, &value))
            return std::nullopt;
        return value;
    }
    std::optional<std::wstring> storedString(const wchar_t* name)
    {
        std::wstring value;
        if (!settingsKey_->queryString(name, value))
            return std::nullopt;
        return value;
    }

    testenv::PrivateCurrentUser hkcu_;
    MPrint::Socket::Initializer winsock_; // the policy resolves the computer's name
    testenv::TempDir dir_;
    std::unique_ptr<RegistryKey> settingsKey_;
    std::unique_ptr<RegistryKey> historyKey_;
    std::unique_ptr<RegistryKey> cache_;
    std::unique_ptr<MPrint::ResourceLoader> loader_;
};

struct LoadCase {
    const char* name;
    std::map<std::wstring, DWORD> registry;
    std::optional<std::map<std::wstring, PolicyValue>> policy; // none: no policy at all
    DWORD promptMethod;
    DWORD deviceVerifyLevel;
    bool profilesEnabled;
    bool restricted;
};

TEST_F(LumoraSettingsTest, LoadsRegistryValuesWithPolicyOverridingThem)
{
    using P = std::map<std::wstring, PolicyValue>;
    const LoadCase cases[] = {
        {"nothing stored", {}, std::nullopt, 0, 1, true, false},
        {"stored values in range",
         {{L"PromptMethod", 2}, {L"DeviceVerifyLevel", 0}, {L"EnableProfiles", 0}, {L"Restricted", 1}},
         std::nullopt, 2, 0, false, true},
        {"out of range (unsigned) is ignored",
         {{L"PromptMethod", 3}, {L"DeviceVerifyLevel", 0xFFFFFFFF}, {L"EnableProfiles", 9}, {L"Restricted", 0}},
         std::nullopt, 0, 1, true, false},
        {"policy words in any letter case",
         {{L"PromptMethod", 2}, {L"DeviceVerifyLevel", 2}},
         P{{L"DeviceVerifyLevel", std::wstring(L"HIGH")}, {L"WhenPrinting", std::wstring(L"FirstJob")}}, 1, 0,
         true, false},
        {"policy words with anything extra are ignored",
         {{L"PromptMethod", 2}, {L"DeviceVerifyLevel", 2}},
         P{{L"DeviceVerifyLevel", std::wstring(L"high ")}, {L"WhenPrinting", std::wstring(L"always!")}}, 2, 2,
         true, false},
        {"policy medium and onerror",
         {{L"DeviceVerifyLevel", 0}},
         P{{L"DeviceVerifyLevel", std::wstring(L"Medium")}, {L"WhenPrinting", std::wstring(L"ONERROR")}}, 2, 1,
         true, false},
        {"policy low and always", {{L"PromptMethod", 1}},
         P{{L"DeviceVerifyLevel", std::wstring(L"low")}, {L"WhenPrinting", std::wstring(L"always")}}, 0, 2, true,
         false},
        {"policy restricted: ShowProfiles not consulted", {{L"EnableProfiles", 1}},
         P{{L"Restricted", DWORD{1}}, {L"ShowProfiles", DWORD{0}}}, 0, 1, true, true},
        {"policy ShowProfiles off", {{L"EnableProfiles", 1}}, P{{L"ShowProfiles", DWORD{0}}}, 0, 1, false, false},
        {"policy ShowProfiles on over stored off", {{L"EnableProfiles", 0}}, P{{L"ShowProfiles", DWORD{1}}}, 0, 1,
         true, false},
        {"policy without ShowProfiles keeps the stored value", {{L"EnableProfiles", 0}},
         P{{L"JobAccountingURL", std::wstring(L"http://x")}}, 0, 1, false, false},
        {"policy not restricting leaves a stored restriction", {{L"Restricted", 1}},
         P{{L"Restricted", DWORD{0}}}, 0, 1, true, true},
    };
    for (const LoadCase& row : cases) {
        SCOPED_TRACE(row.name);
        dropPolicy();
        for (const wchar_t* name : {L"PromptMethod", L"DeviceVerifyLevel", L"EnableProfiles", L"Restricted"})
            settingsKey_->deleteValue(name);
        for (const auto& [name, value] : row.registry)
            settingsKey_->setDword(name, value);
        if (row.policy)
            setPolicy(*row.policy);

        const auto settings = make();
        EXPECT_EQ(row.promptMethod, settings->getPromptMethod());
        EXPECT_EQ(row.deviceVerifyLevel, settings->getDeviceVerifyLevel());
        EXPECT_EQ(row.profilesEnabled, settings->isProfilesEnabled());
        EXPECT_EQ(row.restricted, settings->isRestricted());
        EXPECT_EQ(L"Default", settings->getCurrentProfile());
    }
}

TEST_F(LumoraSettingsTest, RequiredDevicesComeOnlyFromPolicy)
{
    EXPECT_TRUE(make()->isQZDeviceOptional());
    setPolicy({{L"RequireQZDevices", DWORD{1}}});
    EXPECT_FALSE(make()->isQZDeviceOptional());
    dropPolicy();
    setPolicy({{L"RequireQZDevices", DWORD{0}}});
    EXPECT_TRUE(make()->isQZDeviceOptional());
}

TEST_F(LumoraSettingsTest, SettersTakeOnlyTheDefinedValues)
{
    const auto settings = make();
    struct Row {
        long long value;
        bool taken;
    };
    const Row rows[] = {{2, true}, {-1, false}, {3, false}, {INT_MIN, false}, {0, true}, {0x7FFFFFFF, false}};
    DWORD method = settings->getPromptMethod();
    DWORD level = settings->getDeviceVerifyLevel();
    for (const Row& row : rows) {
        SCOPED_TRACE(row.value);
        settings->setPromptMethod(static_cast<int>(row.value));
        settings->setDeviceVerifyLevel(static_cast<DWORD>(row.value));
        if (row.taken) {
            method = level = static_cast<DWORD>(row.value);
            EXPECT_EQ(method, storedDword(L"PromptMethod"));
            EXPECT_EQ(level, storedDword(L"DeviceVerifyLevel"));
        }
        EXPECT_EQ(method, settings->getPromptMethod());
        EXPECT_EQ(level, settings->getDeviceVerifyLevel());
        EXPECT_EQ(method, storedDword(L"PromptMethod").value_or(0xBAD));
        EXPECT_EQ(level, storedDword(L"DeviceVerifyLevel").value_or(0xBAD));
    }
    // The next load agrees with what was kept.
    const auto reloaded = make();
    EXPECT_EQ(0u, reloaded->getPromptMethod());
    EXPECT_EQ(0u, reloaded->getDeviceVerifyLevel());
}

TEST_F(LumoraSettingsTest, StoredNumbersAndLanguage)
{
    const auto settings = make();
    EXPECT_EQ(90u, settings->getTimeout());
    settings->setTimeout(15);
    EXPECT_EQ(15u, settings->getTimeout());

    std::uint64_t time = 0xAAAA;
    EXPECT_FALSE(settings->getSurveyPromptTime(time));
    EXPECT_EQ(0xAAAAu, time);
    settings->setSurveyPromptTime(0x100000005ull); // only the low half is kept
    EXPECT_TRUE(settings->getSurveyPromptTime(time));
    EXPECT_EQ(5u, time);

    settings->setProfilesEnabled(false);
    EXPECT_EQ(0u, storedDword(L"EnableProfiles"));
    EXPECT_FALSE(settings->isProfilesEnabled());

    EXPECT_EQ(0, settings->getLangId());
    EXPECT_FALSE(settings->isRightToLeftLanguage());
    const struct {
        LANGID language;
        bool rightToLeft;
    } languages[] = {{0x040D, true}, {0x0401, true}, {0x0C01, true}, {0x0407, false}, {0x0409, false}};
    for (const auto& row : languages) {
        SCOPED_TRACE(row.language);
        settings->setLangId(row.language);
        EXPECT_EQ(row.language, settings->getLangId());
        EXPECT_EQ(row.language, settings->getResourceLoader().getLanguage());
        EXPECT_EQ(row.rightToLeft, settings->isRightToLeftLanguage());
    }
    settings->setLangId(0x0407);
    EXPECT_EQ(L"Standard", settings->getResourceLoader().loadString(25));

    settings->setHelpFile(L"C:\\help\\a.HLP");
    settings->setHtmlHelpFile(nullptr);
    EXPECT_EQ(L"C:\\help\\a.HLP", settings->getHelpFile());
    EXPECT_EQ(L"", settings->getHtmlHelpFile());
}

TEST_F(LumoraSettingsTest, ProfileEntriesMatchWhole)
{
    const struct {
        const wchar_t* list;
        const wchar_t* name;
        size_t at;
    } rows[] = {
        {L"Office;", L"Office", 0},
        {L"OfficeA;Office;", L"Office", 8},
        {L"Home Office;Home;", L"Home", 12},
        {L"Office;", L"Off", std::wstring::npos},
        {L"Office;", L"ffice", std::wstring::npos},
        {L"A;Office", L"Office", 2}, // the last entry lacks its ";"
        {L"", L"Office", std::wstring::npos},
        {L"Office;", L"", std::wstring::npos},
        {L";;x;", L"x", 2},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testenv::narrow(std::wstring(row.list) + L" / " + row.name));
        EXPECT_EQ(row.at, LumoraSettings::findProfileEntry(row.list, row.name));
    }
}

TEST_F(LumoraSettingsTest, SelectProfileListsOnlyNewProfilesByWholeName)
{
    settingsKey_->setString(L"CustomProfiles", L"Office;");
    const auto settings = make();

    // The current profile again: nothing is written.
    settings->selectProfile(L"Default");
    EXPECT_FALSE(storedString(L"CurrentProfile"));

    // "Off" is a part of "Office" but a profile of its own.
    settings->selectProfile(L"Off");
    EXPECT_EQ(L"Off", settings->getCurrentProfile());
    EXPECT_EQ(L"Office;Off;", storedString(L"CustomProfiles"));
    EXPECT_EQ(L"Off", storedString(L"CurrentProfile"));
    ASSERT_TRUE(settings->getTargetHistoryKey().setDword(L"HistoryLength", 7));
    RegistryKey offHistory(settingsKey_->getHandle(), L"Off\\Target History", RegistryKey::kRead);
    DWORD length = 0;
    EXPECT_TRUE(offHistory.queryDword(L"HistoryLength", &length));
    EXPECT_EQ(7u, length);

    // A profile whose history key exists already leaves the list alone.
    RegistryKey(settingsKey_->getHandle(), L"Home\\Target History", RegistryKey::kAllAccess, true);
    settings->selectProfile(L"Home");
    EXPECT_EQ(L"Office;Off;", storedString(L"CustomProfiles"));
    EXPECT_EQ(L"Home", storedString(L"CurrentProfile"));

    // Names that would break the list or the key are refused.
    settings->selectProfile(L"");
    settings->selectProfile(L"a;b");
    settings->selectProfile(nullptr);
    EXPECT_EQ(L"Home", settings->getCurrentProfile());
    EXPECT_EQ(L"Office;Off;", storedString(L"CustomProfiles"));

    EXPECT_TRUE(settings->isOtherProfile(L"home"));
    EXPECT_FALSE(settings->isOtherProfile(L"Home"));
}

TEST_F(LumoraSettingsTest, RemoveCustomProfileTakesOutTheWholeEntryOnly)
{
    const auto settings = make();
    const struct {
        const wchar_t* before;
        const wchar_t* name;
        const wchar_t* after;
    } rows[] = {
        {L"OfficeA;Office;", L"Office", L"OfficeA;"},
        {L"Office;OfficeA;", L"Office", L"OfficeA;"},
        {L"Home Office;Home;Work;", L"Home", L"Home Office;Work;"},
        {L"Office;", L"Off", L"Office;"},
        {L"A;Office", L"Office", L"A;"},
        {L"Office;Office;", L"Office", L"Office;"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testenv::narrow(std::wstring(row.before) + L" - " + row.name));
        settingsKey_->setString(L"CustomProfiles", row.before);
        settings->removeCustomProfile(row.name);
        EXPECT_EQ(row.after, storedString(L"CustomProfiles"));
    }
    // Nothing stored: nothing is written.
    settingsKey_->deleteValue(L"CustomProfiles");
    settings->removeCustomProfile(L"Office");
    EXPECT_FALSE(storedString(L"CustomProfiles"));
}

} // namespace
