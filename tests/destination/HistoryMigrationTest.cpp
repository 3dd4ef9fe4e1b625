// The migration of older target histories on its own, under a private
// HKEY_CURRENT_USER: damaged stored lengths and the profile walk. The
// extension's tests show when it runs (its markers).
#include "destination/HistoryMigration.h"

#include "core/SettingsKeys.h"
#include "destination/TargetHistoryList.h"
#include "support/PrivateCurrentUser.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

using MPrint::HistoryMigration;

namespace {

const wchar_t kOldHistoryPath[] = L"Software\\Tarvokin\\QZ Roving Printing Driver\\Target History";
const wchar_t kOldSettingsPath[] = L"Software\\Tarvokin\\QZ Roving Print Settings";

class HistoryMigrationTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(hkcu_.isActive());
        settings_ = std::make_unique<RegistryKey>(HKEY_CURRENT_USER, settingskeys::kSettings, RegistryKey::kAllAccess,
                                                  true);
    }

    RegistryKey history(const std::wstring& profile)
    {
        return RegistryKey(settings_->getHandle(), profile + L"\\" + historylayout::kKeyName,
                           RegistryKey::kAllAccess, true);
    }
    static std::optional<std::wstring> text(RegistryKey& key, const std::wstring& name)
    {
        std::wstring value;
        if (!key.queryString(name, value))
            return std::nullopt;
        return value;
    }
    static std::vector<std::wstring> targets(RegistryKey& key)
    {
        DWORD length = 0;
        key.queryDword(historylayout::kLengthValue, &length);
        std::vector<std::wstring> result;
        for (DWORD i = 0; i < length && i < 64; ++i)
            result.push_back(text(key, historylayout::targetName(i)).value_or(L"<missing>"));
        return result;
    }
    static void putHistory(RegistryKey& key, const std::vector<std::optional<std::wstring>>& entries)
    {
        for (size_t i = 0; i < entries.size(); ++i) {
            if (entries[i])
                key.setString(historylayout::targetName(static_cast<DWORD>(i)), *entries[i]);
        }
        key.setDword(historylayout::kLengthValue, static_cast<DWORD>(entries.size()));
    }

    testenv::PrivateCurrentUser hkcu_;
    std::unique_ptr<RegistryKey> settings_;
};

TEST_F(HistoryMigrationTest, OldestHistoryIsAppendedWithoutGapsAndRaisesTheLimit)
{
    RegistryKey oldHistory(HKEY_CURRENT_USER, kOldHistoryPath, RegistryKey::kAllAccess, true);
    putHistory(oldHistory, {L"old-0", std::nullopt, L"old-2"});
    oldHistory.setString(historylayout::ageName(0), L"5"); // the oldest release kept no ages
    RegistryKey current = history(L"Default");
    putHistory(current, {L"cur-0"});
    current.setDword(historylayout::kLimitValue, 1);

    HistoryMigration::appendOldestHistory(current);

    EXPECT_EQ((std::vector<std::wstring>{L"cur-0", L"old-0", L"old-2"}), targets(current));
    DWORD limit = 0;
    EXPECT_TRUE(current.queryDword(historylayout::kLimitValue, &limit));
    EXPECT_EQ(3u, limit);
    EXPECT_FALSE(text(current, historylayout::ageName(1)));
}

TEST_F(HistoryMigrationTest, DamagedOlderLengthIsBounded)
{
    RegistryKey oldHistory(HKEY_CURRENT_USER, kOldHistoryPath, RegistryKey::kAllAccess, true);
    oldHistory.setDword(historylayout::kLengthValue, 0xFFFFFFFF);
    oldHistory.setString(historylayout::targetName(0), L"only");
    RegistryKey current = history(L"Default");
    HistoryMigration::appendOldestHistory(current);
    EXPECT_EQ(std::vector<std::wstring>{L"only"}, targets(current));
}

TEST_F(HistoryMigrationTest, DamagedCurrentLengthNeitherOverwritesNorHidesEntries)
{
    RegistryKey oldHistory(HKEY_CURRENT_USER, kOldHistoryPath, RegistryKey::kAllAccess, true);
    putHistory(oldHistory, {L"old-0", L"old-1"});
    RegistryKey current = history(L"Default");
    putHistory(current, {L"cur-0", L"cur-1"});
    current.setDword(historylayout::kLengthValue, 0xFFFFFFFF);

    HistoryMigration::appendOldestHistory(current);

    // A load reads no further than the key's value count: every entry, the
    // current ones unchanged, lies below both.
    DWORD length = 0;
    ASSERT_TRUE(current.queryDword(historylayout::kLengthValue, &length));
    ASSERT_LE(length, historylayout::storedValueCount(current));
    EXPECT_EQ(L"cur-0", text(current, historylayout::targetName(0)));
    EXPECT_EQ(L"cur-1", text(current, historylayout::targetName(1)));
    std::vector<std::wstring> found;
    for (DWORD i = 2; i < length; ++i) {
        if (auto entry = text(current, historylayout::targetName(i)))
            found.push_back(*entry);
    }
    EXPECT_EQ((std::vector<std::wstring>{L"old-0", L"old-1"}), found);
}

TEST_F(HistoryMigrationTest, ProfilesAreWalkedOnceEachAndUnlistedOnesSelected)
{
    RegistryKey oldSettings(HKEY_CURRENT_USER, kOldSettingsPath, RegistryKey::kAllAccess, true);
    oldSettings.setString(L"CustomProfiles", L"Home;Default;Listed;Gone;");
    for (const wchar_t* name : {L"Default", L"Home", L"Listed"}) {
        RegistryKey old(oldSettings.getHandle(), std::wstring(name) + L"\\" + historylayout::kKeyName,
                        RegistryKey::kAllAccess, true);
        putHistory(old, {std::wstring(name) + L"-old"});
        old.setString(historylayout::ageName(0), L"7");
    }
    RegistryKey current = history(L"Default");
    RegistryKey listed = history(L"Listed");

    std::vector<std::wstring> selected;
    HistoryMigration::Profiles profiles;
    profiles.current = L"Default";
    profiles.isListed = [](const std::wstring& name) { return name == L"Default" || name == L"Listed"; };
    profiles.select = [&](const std::wstring& name) {
        selected.push_back(name);
        history(name); // selecting makes the profile's history
    };
    HistoryMigration::appendOlderProfiles(*settings_, profiles);

    EXPECT_EQ((std::vector<std::wstring>{L"Home", L"Default"}), selected) << "switched back at the end";
    EXPECT_EQ(std::vector<std::wstring>{L"Default-old"}, targets(current));
    EXPECT_EQ(L"7", text(current, historylayout::ageName(0))) << "the next release's ages come along";
    RegistryKey home = history(L"Home");
    EXPECT_EQ(std::vector<std::wstring>{L"Home-old"}, targets(home));
    EXPECT_EQ(std::vector<std::wstring>{L"Listed-old"}, targets(listed));
    EXPECT_FALSE(RegistryKey(settings_->getHandle(), L"Gone", RegistryKey::kRead).isOpen());
}

} // namespace
