// Where the module keeps its settings: the per-user settings key (also read
// under HKEY_LOCAL_MACHINE) and its subkeys, each spelled once.
#pragma once

#define VRELM_SETTINGS_KEY L"Software\\Tarvokin\\QZ Print Settings"
#define VRELM_COMMON_IO_KEY L"Software\\Tarvokin\\Meridian Common IO"

namespace settingskeys {

// HKCU and HKLM: the user's own values, one subkey per profile.
inline constexpr wchar_t kSettings[] = VRELM_SETTINGS_KEY;
// Volatile index of the cached policy and printer-list files.
inline constexpr wchar_t kFileCacheName[] = L"MPLCache";
inline constexpr wchar_t kFileCache[] = VRELM_SETTINGS_KEY L"\\MPLCache";
// HKCU: the user's own managed printer lists, one value (name = location) each.
inline constexpr wchar_t kUserLists[] = VRELM_SETTINGS_KEY L"\\MPL";
// Volatile per-process properties.
inline constexpr wchar_t kKrvProperties[] = VRELM_SETTINGS_KEY L"\\KRVProperties";
inline constexpr wchar_t kCancelJob[] = VRELM_SETTINGS_KEY L"\\CancelJob";
// HKCU: staging of a queue's bidi cache values on their way to the port monitor.
inline constexpr wchar_t kBidiCacheStaging[] = VRELM_SETTINGS_KEY L"\\BidiCache";
// HKLM: one subkey per driver, the date of the driver whose files were last pre-copied.
inline constexpr wchar_t kPreCopy[] = VRELM_SETTINGS_KEY L"\\PreCopy";
// HKCU: the policy set by group policy, which overrides the server's.
inline constexpr wchar_t kGroupPolicy[] = L"Software\\Policies\\Tarvokin\\QZ Print Settings\\ADSPrintPolicy";

// HKLM: the maker's shared I/O component: its direct-connection switch, and
// the communities published to it, one REG_SZ per device address.
inline constexpr wchar_t kCommonIo[] = VRELM_COMMON_IO_KEY;
inline constexpr wchar_t kCommonIoCommunities[] =
    VRELM_COMMON_IO_KEY L"\\Protocols\\vrelm110.exe\\SNMPCommunityName\\Get";

} // namespace settingskeys

#undef VRELM_SETTINGS_KEY
#undef VRELM_COMMON_IO_KEY
