// vrelm106.DLL, the file the spooler registers for "QZ Keravin Print
// Monitor": it loads the companion named by the monitor key's value "PM"
// (vrelm107.DLL when absent) from its own folder and hands over to it, so
// that the companion can be upgraded without re-registering the monitor.
#include "core/Win32.h"

#include <winsplp.h>

#include <string>

namespace {

std::wstring companionName(const MONITORINIT& init)
{
    wchar_t name[MAX_PATH] = {};
    DWORD type = 0;
    DWORD size = sizeof(name) - sizeof(wchar_t);
    if (init.pMonitorReg && init.pMonitorReg->cbSize >= sizeof(MONITORREG) &&
        init.pMonitorReg->fpQueryValue(init.hckRegistryRoot, L"PM", &type, reinterpret_cast<BYTE*>(name), &size,
                                       init.hSpooler) == ERROR_SUCCESS &&
        type == REG_SZ && name[0]) {
        const std::wstring value = name;
        // A file name only: the companion always sits beside this DLL.
        return value.substr(value.find_last_of(L"\\/:") == std::wstring::npos ? 0 : value.find_last_of(L"\\/:") + 1);
    }
    return L"vrelm107.DLL";
}

std::wstring ownFolder()
{
    HMODULE self = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&companionName), &self);
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(self, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return {};
    const std::wstring file = path;
    return file.substr(0, file.find_last_of(L'\\'));
}

} // namespace

extern "C" LPMONITOR2 WINAPI InitializePrintMonitor2(PMONITORINIT init, PHANDLE monitor)
{
    if (!init || !monitor || init->cbSize < sizeof(MONITORINIT)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const std::wstring name = companionName(*init);
    if (name.empty()) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    // The companion stays loaded for the life of the process: the spooler
    // keeps calling into the table it returns.
    HMODULE companion = LoadLibraryW((ownFolder() + L"\\" + name).c_str());
    if (!companion)
        return nullptr;
    using Init = LPMONITOR2(WINAPI*)(PMONITORINIT, PHANDLE);
    auto next = reinterpret_cast<Init>(reinterpret_cast<void*>(GetProcAddress(companion, "InitializePrintMonitor2")));
    if (!next) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    return next(init, monitor);
}
