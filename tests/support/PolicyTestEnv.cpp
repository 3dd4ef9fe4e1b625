#include "support/PolicyTestEnv.h"

#include "extension/ManagedPrintPolicy.h"

#include <cstdio>

namespace testenv {


std::wstring policyLocalAddress()
{
    char computer[128] = {};
    DWORD length = sizeof(computer);
    if (!GetComputerNameA(computer, &length))
        return std::wstring();
    const hostent* host = gethostbyname(computer);
    if (!host || host->h_length != 4 || !host->h_addr_list[0])
        return std::wstring();
    const auto* b = reinterpret_cast<const unsigned char*>(host->h_addr_list[0]);
    wchar_t text[16] = {};
    std::swprintf(text, 16, L"%u.%u.%u.%u", b[0], b[1], b[2], b[3]);
    return text;
}

void clearPolicyState()
{
    if (MPrint::ManagedPrintPolicy::hasInstance())
        delete MPrint::ManagedPrintPolicy::instance();
    for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
        RegistryKey settings(root, settingskeys::kSettings, RegistryKey::kAllAccess);
        for (const wchar_t* name : {L"KRVZMA", L"KRVADS", L"Policy", L"MPPQueryString", L"ADSLoginSimulator"})
            settings.deleteValue(name);
    }
    const std::wstring address = policyLocalAddress();
    if (!address.empty())
        RegDeleteTreeW(HKEY_CURRENT_USER, (std::wstring(settingskeys::kSettings) + L"\\" + address).c_str());
    RegDeleteTreeW(HKEY_CURRENT_USER, settingskeys::kGroupPolicy);
    SetEnvironmentVariableW(L"USERID", nullptr);
}

RegistryKey makeValidPolicyCache(const std::wstring& location, DWORD refreshHours)
{
    RegistryKey settings(HKEY_CURRENT_USER, settingskeys::kSettings, RegistryKey::kAllAccess, true);
    RegistryKey cache(settings.getHandle(), policyLocalAddress(), RegistryKey::kAllAccess, true, true);
    cache.setString(L"Policy", location.c_str());
    cache.setDword(L"RefreshPolicy", refreshHours);
    cache.setDword(L"LastPolicyQuery", GetTickCount() - 1);
    return cache;
}

RegistryKey makeServerPolicyInForce(const std::wstring& location)
{
    constexpr DWORD kServerPolicyMarkerOn = 19728374;
    HANDLE file = CreateFileW(location.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return RegistryKey(nullptr, L"", RegistryKey::kRead);
    CloseHandle(file);
    RegistryKey settings(HKEY_CURRENT_USER, settingskeys::kSettings, RegistryKey::kAllAccess, true);
    settings.setDword(L"KRVZMA", kServerPolicyMarkerOn);
    settings.setString(L"Policy", location.c_str());
    return makeValidPolicyCache(location);
}

} // namespace testenv
