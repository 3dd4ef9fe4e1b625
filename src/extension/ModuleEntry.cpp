#include "extension/ModuleEntry.h"

#include <cwchar>
#include <cwctype>

namespace {
HINSTANCE g_module = nullptr;
DWORD g_inSpooler = 0;
DWORD g_inShell = 0;
} // namespace

namespace ModuleEntry {

HostFlags classifyHostPath(const wchar_t* path)
{
    HostFlags flags{0, 0};
    if (!path)
        return flags;
    wchar_t lower[513] = {};
    size_t i = 0;
    for (; i < 512 && path[i]; ++i)
        lower[i] = static_cast<wchar_t>(std::towlower(path[i]));
    if (std::wcsstr(lower, L"spoolsv.exe") || std::wcsstr(lower, L"printisolationhost.exe"))
        flags.inSpooler = 1;
    else if (std::wcsstr(lower, L"explorer.exe"))
        flags.inShell = 1;
    return flags;
}

void onProcessAttach(HINSTANCE instance)
{
    g_module = instance;
    wchar_t path[513] = {};
    GetModuleFileNameW(nullptr, path, 512);
    const HostFlags flags = classifyHostPath(path);
    g_inSpooler = flags.inSpooler;
    g_inShell = flags.inShell;
}

void onProcessDetach()
{
    g_module = nullptr;
}

HINSTANCE moduleHandle() { return g_module; }
DWORD inSpooler() { return g_inSpooler; }
DWORD inShell() { return g_inShell; }

} // namespace ModuleEntry
