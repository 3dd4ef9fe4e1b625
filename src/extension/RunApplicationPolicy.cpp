#include "extension/RunApplicationPolicy.h"

#include <cwctype>
#include <iterator>

namespace {

constexpr wchar_t kRundll32Policy[] = L"SOFTWARE\\Microsoft\\Internet Explorer\\Low Rights\\Rundll32Policy";
constexpr DWORD kHostPathChars = 1024;

const RunApplicationPolicy::Row kRows[] = {
    {L"iexplore.exe", HKEY_LOCAL_MACHINE, kRundll32Policy, L"vrelm104.DLL", L"vrelm104.DLL", 0x2004},
    {L"iexplore.exe", HKEY_LOCAL_MACHINE, kRundll32Policy, L"VRELM101.DLL", L"VRELM101.DLL", 0x2004},
};

std::wstring lowered(const wchar_t* text)
{
    std::wstring lower = text ? text : L"";
    for (wchar_t& c : lower)
        c = static_cast<wchar_t>(std::towlower(c));
    return lower;
}

DWORD runningOsFlags()
{
    OSVERSIONINFOW version = {};
    version.dwOSVersionInfoSize = sizeof(version);
    if (!GetVersionExW(&version))
        return 0;
    return RunApplicationPolicy::osFlagsFor(version.dwMajorVersion, version.dwMinorVersion);
}

} // namespace

DWORD RunApplicationPolicy::osFlagsFor(DWORD major, DWORD minor)
{
    if (major == 5 && minor == 0)
        return 1;
    if (major == 5 && minor == 1)
        return 2;
    if (major == 5 && minor == 2)
        return 0x1000;
    return major == 6 ? 4 : 0;
}

RunApplicationPolicy::RunApplicationPolicy() : osFlags_(runningOsFlags()) {}

bool RunApplicationPolicy::getHostExeName(std::wstring& name)
{
    std::wstring path(kHostPathChars, L'\0');
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), kHostPathChars);
    if (length == 0 || length >= kHostPathChars)
        return false;
    path.resize(length);
    const size_t slash = path.rfind(L'\\');
    name = slash == std::wstring::npos ? path : path.substr(slash + 1);
    return !name.empty();
}

const RunApplicationPolicy::Row* RunApplicationPolicy::findRow(const wchar_t* moduleName, const wchar_t* hostName)
{
    const std::wstring module = lowered(moduleName), host = lowered(hostName);
    for (auto row = std::rbegin(kRows); row != std::rend(kRows); ++row) {
        if (lowered(row->host) == host && lowered(row->application) == module)
            return (row->osMask & osFlags_) != 0 ? &*row : nullptr;
    }
    return nullptr;
}

bool RunApplicationPolicy::ensurePolicy(const wchar_t* moduleName)
{
    std::wstring host;
    if (!getHostExeName(host))
        return true;
    const Row* row = findRow(moduleName, host.c_str());
    if (!row)
        return true;
    RegistryKey policy(row->root, row->key, RegistryKey::kRead);
    if (!policy.isOpen())
        return false;
    RegistryKey entry(policy.getHandle(), row->entry, RegistryKey::kRead);
    return entry.isOpen();
}

bool RunApplicationPolicy::createPolicy(const wchar_t* moduleName, const wchar_t* hostName)
{
    std::wstring host = hostName ? hostName : L"";
    if (!hostName && !getHostExeName(host))
        return false;
    const Row* row = findRow(moduleName, host.c_str());
    if (!row)
        return false;
    RegistryKey policy(row->root, row->key, RegistryKey::kAllAccess, true);
    if (!policy.isOpen())
        return false;
    RegistryKey entry(policy.getHandle(), row->entry, RegistryKey::kAllAccess, true);
    if (!entry.isOpen())
        return false;
    return lowered(row->host) != L"iexplore.exe" || writePolicyValues(*row, entry);
}

bool RunApplicationPolicy::writePolicyValues(const Row& row, RegistryKey& entry)
{
    if (lowered(row.application).find(L".dll") != std::wstring::npos)
        return true;
    return entry.setDword(L"Policy", 1) && entry.setString(L"AppName", row.application) &&
           entry.setString(L"AppPath", L"%Windir%\\System32");
}
