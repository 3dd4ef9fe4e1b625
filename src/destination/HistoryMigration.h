// Appends the target histories of the two older releases to the current
// layout (TargetHistoryList's): the oldest release's single history, without
// ages, and the next release's per-profile histories. The caller runs each
// phase once and records that it did.
#pragma once

#include "core/RegistryKey.h"

#include <functional>
#include <string>

namespace MPrint {

class HistoryMigration {
public:
    // What the migration asks of the settings that keep the profile list.
    struct Profiles {
        std::wstring current;                                // tried first
        std::function<bool(const std::wstring&)> isListed;   // in the current list, by whole name
        std::function<void(const std::wstring&)> select;     // makes the profile, and current
    };

    // The oldest release's history appended to historyKey.
    static void appendOldestHistory(RegistryKey& historyKey);
    // Each profile of the next release that has a history (the current one,
    // then its list) appended to the same-named profile under settingsKey;
    // a profile not listed yet is selected, so made, and the current one is
    // selected again at the end.
    static void appendOlderProfiles(RegistryKey& settingsKey, const Profiles& profiles);

    // Appends the entries 0..length-1 of `from` after the `to` key's own,
    // without gaps for missing ones; ages only when asked. Writes the new
    // length and the limit, raised to the length when exceeded.
    static void appendHistory(RegistryKey& from, DWORD length, RegistryKey& to, bool withAges);
};

} // namespace MPrint
