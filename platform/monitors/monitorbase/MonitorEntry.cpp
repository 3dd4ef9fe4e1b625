// InitializePrintMonitor2 and the MONITOR2 table of every stand-in monitor:
// compiled into each monitor DLL, which supplies qzmon::createMonitor.
#include "MonitorCore.h"

#include <cstring>

namespace {

struct XcvHandle {
    qzmon::Monitor* monitor;
    std::wstring object;
    ACCESS_MASK access;
};

BOOL WINAPI monEnumPorts(HANDLE hMonitor, LPWSTR, DWORD level, LPBYTE ports, DWORD size, LPDWORD needed,
                         LPDWORD returned)
{
    auto* monitor = static_cast<qzmon::Monitor*>(hMonitor);
    if (!monitor || !needed || !returned) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (level != 1 && level != 2) {
        SetLastError(ERROR_INVALID_LEVEL);
        return FALSE;
    }
    const std::vector<qzmon::PortEntry> entries = monitor->ports();
    const DWORD fixed = level == 1 ? sizeof(PORT_INFO_1W) : sizeof(PORT_INFO_2W);
    DWORD total = 0;
    for (const auto& entry : entries) {
        total += fixed + static_cast<DWORD>((entry.name.size() + 1) * sizeof(wchar_t));
        if (level == 2)
            total += static_cast<DWORD>((wcslen(monitor->name()) + 1 + entry.description.size() + 1) * sizeof(wchar_t));
    }
    *needed = total;
    *returned = 0;
    if (!ports || size < total) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    // Fixed parts first, strings packed from the end of the buffer.
    BYTE* stringEnd = ports + total;
    auto place = [&](const std::wstring& text) {
        const DWORD bytes = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
        stringEnd -= bytes;
        std::memcpy(stringEnd, text.c_str(), bytes);
        return reinterpret_cast<LPWSTR>(stringEnd);
    };
    for (size_t i = 0; i < entries.size(); ++i) {
        if (level == 1) {
            auto* info = reinterpret_cast<PORT_INFO_1W*>(ports) + i;
            info->pName = place(entries[i].name);
        } else {
            auto* info = reinterpret_cast<PORT_INFO_2W*>(ports) + i;
            info->pPortName = place(entries[i].name);
            info->pMonitorName = place(monitor->name());
            info->pDescription = place(entries[i].description);
            info->fPortType = PORT_TYPE_WRITE;
            info->Reserved = 0;
        }
    }
    *returned = static_cast<DWORD>(entries.size());
    return TRUE;
}

BOOL WINAPI monXcvOpenPort(HANDLE hMonitor, LPCWSTR object, ACCESS_MASK access, PHANDLE xcv)
{
    auto* monitor = static_cast<qzmon::Monitor*>(hMonitor);
    if (!monitor || !object || !xcv) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    // The spooler resolved the object (a port, or the name the monitor is
    // registered under, which need not be its own): taken as given, as the
    // platform's monitors do.
    if (!*object) {
        SetLastError(ERROR_INVALID_NAME);
        return FALSE;
    }
    *xcv = new XcvHandle{monitor, object, access};
    return TRUE;
}

DWORD WINAPI monXcvDataPort(HANDLE hXcv, LPCWSTR dataName, PBYTE input, DWORD inputSize, PBYTE output,
                            DWORD outputSize, PDWORD needed)
{
    auto* handle = static_cast<XcvHandle*>(hXcv);
    if (!handle || !dataName)
        return ERROR_INVALID_PARAMETER;
    qzmon::XcvCall call;
    call.object = handle->object;
    call.access = handle->access;
    call.input = input;
    call.inputSize = inputSize;
    call.output = output;
    call.outputSize = output ? outputSize : 0;
    DWORD status = ERROR_NOT_ENOUGH_MEMORY;
    try {
        status = handle->monitor->dispatch(dataName, call);
    } catch (...) {
        call.needed = 0;
    }
    if (needed)
        *needed = call.needed;
    return status;
}

BOOL WINAPI monXcvClosePort(HANDLE hXcv)
{
    delete static_cast<XcvHandle*>(hXcv);
    return TRUE;
}

VOID WINAPI monShutdown(HANDLE hMonitor)
{
    delete static_cast<qzmon::Monitor*>(hMonitor);
}

MONITOR2 makeTable()
{
    MONITOR2 table = {};
    table.cbSize = sizeof(MONITOR2);
    table.pfnEnumPorts = monEnumPorts;
    table.pfnXcvOpenPort = monXcvOpenPort;
    table.pfnXcvDataPort = monXcvDataPort;
    table.pfnXcvClosePort = monXcvClosePort;
    table.pfnShutdown = monShutdown;
    return table;
}

MONITOR2 g_table = makeTable();

} // namespace

extern "C" LPMONITOR2 WINAPI InitializePrintMonitor2(PMONITORINIT init, PHANDLE hMonitor)
{
    if (!init || !hMonitor || init->cbSize < sizeof(MONITORINIT)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    qzmon::Monitor* monitor = nullptr;
    try {
        monitor = qzmon::createMonitor(*init);
    } catch (...) {
        monitor = nullptr;
    }
    if (!monitor || !monitor->usable()) {
        delete monitor;
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    *hMonitor = monitor;
    return &g_table;
}
