#include "core/RegistrySubKeys.h"

#include <cwchar>
#include <set>

namespace MPrint {

namespace {

// A lookup gives up on a key that keeps changing after this many walks and
// answers every name they saw. A walk disturbed by a sibling's removal skips
// at most the key beside it, so the chance that every walk skipped one key
// present throughout falls with each walk; a quiet key costs one walk.
constexpr int kWalks = 32;
// Keys added during one walk that it follows before it counts as changed.
constexpr DWORD kAddedDuringWalk = 64;

struct KeyState {
    DWORD subKeys = 0;
    DWORD longest = 0;
    FILETIME written{};
};

bool queryState(HKEY key, KeyState& state)
{
    return RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &state.subKeys, &state.longest, nullptr, nullptr,
                            nullptr, nullptr, nullptr, &state.written) == ERROR_SUCCESS;
}

// One walk by index; false when the key changed under it.
bool walkOnce(HKEY key, const KeyState& before, std::vector<std::wstring>& names)
{
    std::vector<wchar_t> buffer(static_cast<size_t>(before.longest) + 1);
    for (DWORD index = 0;; ++index) {
        if (index > before.subKeys + kAddedDuringWalk)
            return false;
        DWORD length = static_cast<DWORD>(buffer.size());
        const LONG result = RegEnumKeyExW(key, index, buffer.data(), &length, nullptr, nullptr, nullptr, nullptr);
        if (result == ERROR_NO_MORE_ITEMS)
            return true;
        if (result == ERROR_MORE_DATA)
            continue; // a longer name than the key had when the walk began
        if (result != ERROR_SUCCESS)
            return false; // the key itself went: every index would fail
        if (length < buffer.size())
            names.emplace_back(buffer.data(), length);
    }
}

} // namespace

std::vector<std::wstring> listSubKeyNames(HKEY key)
{
    // Siblings added or removed during a walk shift the indexes under it, so
    // a key present throughout could be skipped (Plug and Play keys come and
    // go as devices do). Walk again until one walk saw the key unchanged;
    // failing that, every name any walk saw.
    std::vector<std::wstring> seen;
    std::set<std::wstring> known;
    for (int walk = 0; key && walk < kWalks; ++walk) {
        KeyState before, after;
        if (!queryState(key, before))
            break;
        std::vector<std::wstring> names;
        const bool complete = walkOnce(key, before, names);
        if (complete && queryState(key, after) && after.subKeys == before.subKeys &&
            CompareFileTime(&after.written, &before.written) == 0 && after.longest <= before.longest)
            return names;
        for (std::wstring& name : names) {
            if (known.insert(name).second)
                seen.push_back(std::move(name));
        }
    }
    return seen;
}

std::vector<std::pair<std::wstring, std::wstring>> listStringValues(HKEY key, DWORD maxChars)
{
    std::vector<std::pair<std::wstring, std::wstring>> values;
    if (!key)
        return values;
    std::vector<wchar_t> name(static_cast<size_t>(maxChars) + 1);
    std::vector<wchar_t> data(static_cast<size_t>(maxChars) + 1);
    for (DWORD index = 0;; ++index) {
        DWORD nameLength = static_cast<DWORD>(name.size());
        DWORD type = REG_NONE;
        DWORD bytes = static_cast<DWORD>(data.size() * sizeof(wchar_t));
        const LONG result = RegEnumValueW(key, index, name.data(), &nameLength, nullptr, &type,
                                          reinterpret_cast<BYTE*>(data.data()), &bytes);
        if (result == ERROR_NO_MORE_ITEMS)
            break;
        if (result == ERROR_MORE_DATA)
            continue; // longer than allowed
        if (result != ERROR_SUCCESS)
            break;
        if (type != REG_SZ)
            continue;
        // The stored text may lack its terminator: bound it by what was read.
        const size_t chars = wcsnlen(data.data(), bytes / sizeof(wchar_t));
        values.emplace_back(std::wstring(name.data(), nameLength), std::wstring(data.data(), chars));
    }
    return values;
}

} // namespace MPrint
