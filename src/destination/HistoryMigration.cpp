#include "destination/HistoryMigration.h"

#include "destination/TargetHistoryList.h"

#include <algorithm>
#include <vector>

namespace {

// The two older layouts.
const wchar_t kOldHistoryPath[] = L"Software\\Tarvokin\\QZ Roving Printing Driver\\Target History";
const wchar_t kOldSettingsPath[] = L"Software\\Tarvokin\\QZ Roving Print Settings";
const wchar_t kOldProfileList[] = L"CustomProfiles";

// An older length is only a stored number: bound the walk so that a damaged
// value cannot keep initialisation reading the registry for hours.
constexpr DWORD kMaxMigratedIndex = 4096;

DWORD dwordOr(RegistryKey& key, const wchar_t* name, DWORD fallback)
{
    DWORD value = 0;
    return key.queryDword(name, &value) ? value : fallback;
}

// Every stored entry needs a value of its own: a length above the key's
// value count is damage, and counting on from it would write the copies
// where no load reads them, or wrap round onto the first entries.
DWORD boundedLength(RegistryKey& key)
{
    return std::min(dwordOr(key, historylayout::kLengthValue, 0), historylayout::storedValueCount(key));
}

} // namespace

namespace MPrint {

void HistoryMigration::appendHistory(RegistryKey& from, DWORD length, RegistryKey& to, bool withAges)
{
    using historylayout::ageName;
    using historylayout::targetName;
    DWORD count = boundedLength(to);
    DWORD limit = dwordOr(to, historylayout::kLimitValue, historylayout::kDefaultLimit);
    length = std::min(length, kMaxMigratedIndex);
    for (DWORD i = 0; i < length; ++i) {
        std::wstring target;
        if (!from.queryString(targetName(i), target))
            continue;
        to.setString(targetName(count), target);
        std::wstring age;
        if (withAges && from.queryString(ageName(i), age))
            to.setString(ageName(count), age);
        ++count;
        if (count > limit)
            limit = count;
    }
    to.setDword(historylayout::kLengthValue, count);
    to.setDword(historylayout::kLimitValue, limit);
}

void HistoryMigration::appendOldestHistory(RegistryKey& historyKey)
{
    RegistryKey oldHistory(HKEY_CURRENT_USER, kOldHistoryPath, RegistryKey::kAllAccess);
    DWORD oldLength = 0;
    if (oldHistory.isOpen() && oldHistory.queryDword(historylayout::kLengthValue, &oldLength) && oldLength > 0)
        appendHistory(oldHistory, oldLength, historyKey, false);
}

void HistoryMigration::appendOlderProfiles(RegistryKey& settingsKey, const Profiles& profiles)
{
    RegistryKey oldSettings(HKEY_CURRENT_USER, kOldSettingsPath, RegistryKey::kAllAccess);
    if (!oldSettings.isOpen())
        return;
    std::wstring oldList;
    oldSettings.queryString(kOldProfileList, oldList);
    const std::wstring names = profiles.current + L";" + oldList;

    bool switched = false;
    std::vector<std::wstring> done; // a name listed twice is copied once
    size_t start = 0;
    while (start < names.size()) {
        size_t end = names.find(L';', start);
        if (end == std::wstring::npos)
            end = names.size();
        const std::wstring name = names.substr(start, end - start);
        start = end + 1;
        if (name.empty() || std::find(done.begin(), done.end(), name) != done.end())
            continue;
        done.push_back(name);
        const std::wstring path = name + L"\\" + historylayout::kKeyName;
        RegistryKey oldProfile(oldSettings.getHandle(), path, RegistryKey::kAllAccess);
        if (!oldProfile.isOpen())
            continue;
        if (!profiles.isListed(name)) {
            profiles.select(name);
            switched = true;
        }
        RegistryKey current(settingsKey.getHandle(), path, RegistryKey::kAllAccess);
        if (!current.isOpen())
            continue;
        appendHistory(oldProfile, dwordOr(oldProfile, historylayout::kLengthValue, 0), current, true);
    }
    if (switched)
        profiles.select(profiles.current);
}

} // namespace MPrint
