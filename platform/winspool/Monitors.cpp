// Port monitors and ports. Monitors are registered under "Monitors\<name>"
// with their "Driver" DLL; Xcv handles load that DLL once per process through
// InitializePrintMonitor2 and forward to its Xcv functions, as the spooler does.
#include "Spooler.h"

#include "access/MonitorAccess.h"

#include <algorithm>
#include <map>
#include <mutex>

using namespace spool;

namespace {

BOOL finish(const wchar_t* function, std::initializer_list<std::wstring> args, DWORD error)
{
    logCall(function, args, error);
    SetLastError(error);
    return error == ERROR_SUCCESS;
}

bool validMonitorName(const std::wstring& name)
{
    return !name.empty() && name.size() < 256 && name.find(L'\\') == std::wstring::npos;
}

struct CachedMonitor {
    std::wstring driver;  // the "Driver" value it was loaded from
    std::shared_ptr<qzmon::LoadedMonitor> monitor;
};
std::mutex monitorsLock;  // guards monitors
// Loaded once per process and kept while registered under the same DLL: monitors hold
// state between calls, as in the spooler. Open Xcv handles keep a dropped one alive.
// Never destroyed: a monitor's shutdown must not run under the loader lock at process exit.
std::map<std::wstring, CachedMonitor>& monitors = *new std::map<std::wstring, CachedMonitor>;

std::wstring lowered(const std::wstring& name)
{
    std::wstring lower = name;
    CharLowerBuffW(lower.data(), static_cast<DWORD>(lower.size()));
    return lower;
}

std::wstring registeredDriver(const std::wstring& name)
{
    RegKey key;
    key.open(HKEY_LOCAL_MACHINE, std::wstring(kMonitorsPath) + L"\\" + name);
    return key.readString(L"Driver");
}

// DeleteMonitorW and AddMonitorW unload the monitor, as the spooler does.
void forgetMonitor(const std::wstring& name)
{
    std::shared_ptr<qzmon::LoadedMonitor> dropped;
    {
        std::lock_guard<std::mutex> guard(monitorsLock);
        const auto cached = monitors.find(lowered(name));
        if (cached == monitors.end())
            return;
        dropped = std::move(cached->second.monitor);
        monitors.erase(cached);
    }
}

DWORD loadMonitor(const std::wstring& name, std::shared_ptr<qzmon::LoadedMonitor>& out)
{
    const std::wstring lower = lowered(name);
    const std::wstring driver = registeredDriver(name);
    std::lock_guard<std::mutex> guard(monitorsLock);
    const auto cached = monitors.find(lower);
    if (cached != monitors.end()) {
        if (equalsNoCase(cached->second.driver, driver)) {
            out = cached->second.monitor;
            return ERROR_SUCCESS;
        }
        monitors.erase(cached);  // unregistered or registered anew meanwhile
    }
    SetLastError(ERROR_SUCCESS);
    std::shared_ptr<qzmon::LoadedMonitor> loaded = qzmon::LoadedMonitor::load(name);
    if (!loaded) {
        const DWORD error = GetLastError();
        return error ? error : ERROR_INVALID_FUNCTION;
    }
    const MONITOR2& table = loaded->table();
    if (!table.pfnXcvOpenPort || !table.pfnXcvDataPort || !table.pfnXcvClosePort)
        return ERROR_NOT_SUPPORTED;
    monitors[lower] = CachedMonitor{driver, loaded};
    out = loaded;
    return ERROR_SUCCESS;
}

std::wstring monitorOfPort(const std::wstring& port)
{
    for (const PortInfo& info : listPorts(L"")) {
        if (equalsNoCase(info.name, port))
            return info.description;
    }
    return std::wstring();
}

} // namespace

namespace spool {

std::vector<PortInfo> listPorts(const std::wstring& server)
{
    std::vector<PortInfo> ports;
    if (!server.empty()) {
        RegKey key;
        key.open(HKEY_LOCAL_MACHINE, std::wstring(kServersPath) + L"\\" + serverKeyName(server) + L"\\Ports");
        for (const std::wstring& name : key.subkeys()) {
            RegKey port;
            port.open(key.get(), name);
            ports.push_back(PortInfo{name, port.readString(L"Monitor"), port.readString(L"Description"),
                                     PORT_TYPE_WRITE});
        }
        return ports;
    }
    RegKey monitorsKey;
    monitorsKey.open(HKEY_LOCAL_MACHINE, kMonitorsPath);
    for (const std::wstring& monitor : monitorsKey.subkeys()) {
        RegKey key;
        if (key.open(monitorsKey.get(), monitor) != ERROR_SUCCESS)
            continue;
        const std::wstring dll = key.readString(L"Driver");
        if (equalsNoCase(monitor, L"Local Port")) {
            // The local monitor keeps its ports as values of the Windows NT "Ports" key.
            RegKey local;
            local.open(HKEY_LOCAL_MACHINE, kLocalPortsPath);
            for (const std::wstring& name : local.valueNames())
                ports.push_back(PortInfo{name, dll, monitor, PORT_TYPE_WRITE | PORT_TYPE_READ});
        }
        RegKey portsKey;
        if (portsKey.open(key.get(), L"Ports") != ERROR_SUCCESS)
            continue;
        // A monitor that describes its ports one by one (session ports name
        // their client) keeps the text in the port's "Description".
        for (const std::wstring& name : portsKey.subkeys()) {
            RegKey port;
            port.open(portsKey.get(), name);
            ports.push_back(PortInfo{name, dll, port.readString(L"Description", monitor), PORT_TYPE_WRITE});
        }
    }
    return ports;
}

bool portExists(const std::wstring& port)
{
    return !monitorOfPort(port).empty();
}

DWORD openXcv(const std::wstring& what, const std::wstring& name, ACCESS_MASK access, PrinterHandle& handle)
{
    std::wstring monitorName = name;
    if (what == L"port") {
        if (name.empty() || name.size() > 255)
            return ERROR_UNKNOWN_PORT;
        monitorName = monitorOfPort(name);
        if (monitorName.empty())
            return ERROR_UNKNOWN_PORT;
    } else if (!validMonitorName(name)) {
        return ERROR_UNKNOWN_PRINT_MONITOR;
    }
    std::shared_ptr<qzmon::LoadedMonitor> monitor;
    DWORD error = loadMonitor(monitorName, monitor);
    if (error != ERROR_SUCCESS)
        return error;
    HANDLE xcv = nullptr;
    SetLastError(ERROR_SUCCESS);
    if (!monitor->xcvOpen(name, access, xcv)) {
        error = GetLastError();
        return error ? error : ERROR_INVALID_FUNCTION;
    }
    handle.monitor = monitor;
    handle.xcv = xcv;
    handle.xcvObject = name;
    handle.server.clear();
    return ERROR_SUCCESS;
}

void closeXcv(PrinterHandle& handle)
{
    if (handle.monitor && handle.xcv)
        handle.monitor->xcvClose(handle.xcv);
    handle.xcv = nullptr;
}

} // namespace spool

extern "C" {

WINBOOL WINAPI XcvDataW(HANDLE hXcv, PCWSTR pszDataName, PBYTE pInputData, DWORD cbInputData, PBYTE pOutputData,
                        DWORD cbOutputData, PDWORD pcbOutputNeeded, PDWORD pdwStatus)
{
    std::shared_ptr<PrinterHandle> handle = findHandle(hXcv);
    const std::wstring data = safeText(pszDataName, 1024);
    const std::wstring input = hexOf(pInputData, pInputData ? cbInputData : 0);
    if (!handle || handle->kind != HandleKind::Xcv || !handle->monitor)
        return finish(L"XcvDataW", {L"", data, input}, ERROR_INVALID_HANDLE);
    const std::wstring object = handle->monitor->name() + L"|" + handle->xcvObject;
    if (!pszDataName || wcsnlen(pszDataName, 1024) >= 1024 || !pcbOutputNeeded || !pdwStatus ||
        (!pInputData && cbInputData) || (!pOutputData && cbOutputData))
        return finish(L"XcvDataW", {object, data, input}, ERROR_INVALID_PARAMETER);
    *pcbOutputNeeded = 0;
    const DWORD status = handle->monitor->xcvData(handle->xcv, data, pInputData, cbInputData, pOutputData,
                                                  cbOutputData, pcbOutputNeeded);
    *pdwStatus = status;
    return finish(L"XcvDataW", {object, data, input, L"status " + numberText(status)}, ERROR_SUCCESS);
}

WINBOOL WINAPI EnumPortsW(LPWSTR pName, DWORD Level, LPBYTE pPorts, DWORD cbBuf, LPDWORD pcbNeeded,
                          LPDWORD pcReturned)
{
    const std::wstring server = safeText(pName, 1024);
    const std::initializer_list<std::wstring> args = {server, numberText(Level)};
    if (!pcbNeeded || !pcReturned)
        return finish(L"EnumPortsW", args, ERROR_INVALID_PARAMETER);
    *pcReturned = 0;
    if (Level != 1 && Level != 2)
        return finish(L"EnumPortsW", args, ERROR_INVALID_LEVEL);
    std::wstring where;
    if (!isLocalServer(server)) {
        if (!knownRemoteServer(server))
            return finish(L"EnumPortsW", args, RPC_S_SERVER_UNAVAILABLE);
        where = server;
    }
    std::vector<PortInfo> ports = listPorts(where);
    BOOL ok;
    if (Level == 1)
        ok = packArray<PORT_INFO_1W>(ports, pPorts, cbBuf, pcbNeeded, pcReturned,
                                     [](Packer& p, PORT_INFO_1W& out, const PortInfo& i) { out.pName = p.text(i.name); });
    else
        ok = packArray<PORT_INFO_2W>(ports, pPorts, cbBuf, pcbNeeded, pcReturned,
                                     [](Packer& p, PORT_INFO_2W& out, const PortInfo& i) {
                                         out.pPortName = p.text(i.name);
                                         out.pMonitorName = p.text(i.monitorDll);
                                         out.pDescription = p.text(i.description);
                                         out.fPortType = i.type;
                                         out.Reserved = 0;
                                     });
    return finish(L"EnumPortsW", args, ok ? ERROR_SUCCESS : GetLastError());
}

WINBOOL WINAPI EnumMonitorsW(LPWSTR pName, DWORD Level, LPBYTE pMonitor, DWORD cbBuf, LPDWORD pcbNeeded,
                             LPDWORD pcReturned)
{
    const std::wstring server = safeText(pName, 1024);
    const std::initializer_list<std::wstring> args = {server, numberText(Level)};
    if (!pcbNeeded || !pcReturned)
        return finish(L"EnumMonitorsW", args, ERROR_INVALID_PARAMETER);
    *pcReturned = 0;
    if (Level != 1 && Level != 2)
        return finish(L"EnumMonitorsW", args, ERROR_INVALID_LEVEL);
    if (!isLocalServer(server))
        return finish(L"EnumMonitorsW", args, RPC_S_SERVER_UNAVAILABLE);
    struct Monitor {
        std::wstring name, dll;
    };
    std::vector<Monitor> list;
    RegKey key;
    key.open(HKEY_LOCAL_MACHINE, kMonitorsPath);
    for (const std::wstring& name : key.subkeys()) {
        RegKey monitor;
        monitor.open(key.get(), name);
        list.push_back(Monitor{name, monitor.readString(L"Driver")});
    }
    BOOL ok;
    if (Level == 1)
        ok = packArray<MONITOR_INFO_1W>(list, pMonitor, cbBuf, pcbNeeded, pcReturned,
                                        [](Packer& p, MONITOR_INFO_1W& out, const Monitor& m) {
                                            out.pName = p.text(m.name);
                                        });
    else
        ok = packArray<MONITOR_INFO_2W>(list, pMonitor, cbBuf, pcbNeeded, pcReturned,
                                        [](Packer& p, MONITOR_INFO_2W& out, const Monitor& m) {
                                            out.pName = p.text(m.name);
                                            out.pEnvironment = p.text(kEnvironment);
                                            out.pDLLName = p.text(m.dll);
                                        });
    return finish(L"EnumMonitorsW", args, ok ? ERROR_SUCCESS : GetLastError());
}

WINBOOL WINAPI AddMonitorW(LPWSTR pName, DWORD Level, LPBYTE pMonitorInfo)
{
    const std::wstring server = safeText(pName, 1024);
    if (Level != 2)
        return finish(L"AddMonitorW", {server, numberText(Level)}, ERROR_INVALID_LEVEL);
    if (!pMonitorInfo)
        return finish(L"AddMonitorW", {server, numberText(Level)}, ERROR_INVALID_PARAMETER);
    const auto* info = reinterpret_cast<const MONITOR_INFO_2W*>(pMonitorInfo);
    const std::wstring name = safeText(info->pName, 1024), dll = safeText(info->pDLLName, 1024),
                       env = safeText(info->pEnvironment, 128);
    const std::initializer_list<std::wstring> args = {server, name, env, dll};
    if (!isLocalServer(server))
        return finish(L"AddMonitorW", args, RPC_S_SERVER_UNAVAILABLE);
    if (restrictedUser())
        return finish(L"AddMonitorW", args, ERROR_ACCESS_DENIED);
    if (!env.empty() && !equalsNoCase(env, kEnvironment))
        return finish(L"AddMonitorW", args, ERROR_INVALID_ENVIRONMENT);
    if (!validMonitorName(name) || dll.empty() || dll.size() >= MAX_PATH)
        return finish(L"AddMonitorW", args, ERROR_INVALID_PARAMETER);
    SpoolLock lock;
    if (!lock.held())
        return finish(L"AddMonitorW", args, ERROR_TIMEOUT);
    RegKey existing;
    const std::wstring path = std::wstring(kMonitorsPath) + L"\\" + name;
    if (existing.open(HKEY_LOCAL_MACHINE, path) == ERROR_SUCCESS && !existing.readString(L"Driver").empty())
        return finish(L"AddMonitorW", args, ERROR_PRINT_MONITOR_ALREADY_INSTALLED);
    // The spooler refuses a DLL that is no monitor.
    HMODULE module = LoadLibraryExW(dll.c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES);
    if (!module)
        return finish(L"AddMonitorW", args, ERROR_MOD_NOT_FOUND);
    const bool isMonitor = GetProcAddress(module, "InitializePrintMonitor2") != nullptr;
    FreeLibrary(module);
    if (!isMonitor)
        return finish(L"AddMonitorW", args, ERROR_PROC_NOT_FOUND);
    RegKey key;
    LONG rc = key.create(HKEY_LOCAL_MACHINE, path);
    if (rc == ERROR_SUCCESS)
        rc = key.writeString(L"Driver", dll);
    forgetMonitor(name);
    return finish(L"AddMonitorW", args, static_cast<DWORD>(rc));
}

WINBOOL WINAPI DeleteMonitorW(LPWSTR pName, LPWSTR pEnvironment, LPWSTR pMonitorName)
{
    const std::wstring server = safeText(pName, 1024), env = safeText(pEnvironment, 128),
                       name = safeText(pMonitorName, 1024);
    const std::initializer_list<std::wstring> args = {server, env, name};
    if (!isLocalServer(server))
        return finish(L"DeleteMonitorW", args, RPC_S_SERVER_UNAVAILABLE);
    if (restrictedUser())
        return finish(L"DeleteMonitorW", args, ERROR_ACCESS_DENIED);
    if (!env.empty() && !equalsNoCase(env, kEnvironment))
        return finish(L"DeleteMonitorW", args, ERROR_INVALID_ENVIRONMENT);
    if (!validMonitorName(name))
        return finish(L"DeleteMonitorW", args, ERROR_INVALID_PARAMETER);
    SpoolLock lock;
    if (!lock.held())
        return finish(L"DeleteMonitorW", args, ERROR_TIMEOUT);
    const std::wstring path = std::wstring(kMonitorsPath) + L"\\" + name;
    RegKey existing;
    if (existing.open(HKEY_LOCAL_MACHINE, path) != ERROR_SUCCESS)
        return finish(L"DeleteMonitorW", args, ERROR_UNKNOWN_PRINT_MONITOR);
    existing.close();
    // A monitor whose port a queue prints to stays.
    for (const QueueRef& queue : listQueues(L"")) {
        QueueInfo info;
        if (readQueue(queue, info) && !info.port.empty() && equalsNoCase(monitorOfPort(info.port), name))
            return finish(L"DeleteMonitorW", args, ERROR_PRINT_MONITOR_IN_USE);
    }
    const LONG rc = RegDeleteTreeW(HKEY_LOCAL_MACHINE, path.c_str());
    forgetMonitor(name);
    return finish(L"DeleteMonitorW", args, static_cast<DWORD>(rc));
}

} // extern "C"
