// The control surface for tests and the demo: exports that set up queues,
// remote servers, client providers, drivers, monitors, ports and jobs as an
// administrator would, whatever the rights switch says. Each returns a Win32
// error code (0 on success).
#include "Spooler.h"

#include "access/MonitorAccess.h"
#include "winspool/SpoolerControl.h"

#include <algorithm>
#include <cwchar>
#include <vector>

using namespace spool;

namespace {

DWORD logged(const wchar_t* function, std::initializer_list<std::wstring> args, DWORD error)
{
    logCall(function, args, error);
    return error;
}

bool validName(const std::wstring& name)
{
    return !name.empty() && name.size() < 256 && name.find(L'\\') == std::wstring::npos;
}

DWORD ensureServer(const std::wstring& server)
{
    if (server.size() < 3 || server.size() > kMaxPrinterName)
        return ERROR_INVALID_NAME;
    RegKey key;
    const LONG rc = key.create(HKEY_LOCAL_MACHINE, std::wstring(kServersPath) + L"\\" + serverKeyName(server));
    if (rc == ERROR_SUCCESS) {
        RegKey printers;
        printers.create(key.get(), L"Printers");
    }
    return static_cast<DWORD>(rc);
}

DWORD removeQueueLocked(const QueueRef& ref)
{
    const DWORD error = deleteQueue(ref);
    // Forget the queue in every provider list.
    RegKey providers;
    providers.open(HKEY_LOCAL_MACHINE, kProvidersPath);
    for (const std::wstring& provider : providers.subkeys()) {
        RegKey list;
        if (list.open(providers.get(), provider, KEY_READ | KEY_SET_VALUE) != ERROR_SUCCESS)
            continue;
        for (const std::wstring& name : list.valueNames())
            if (equalsNoCase(name, ref.fullName()))
                RegDeleteValueW(list.get(), name.c_str());
    }
    return error;
}

} // namespace

extern "C" {

DWORD WINAPI SpoolerControlAddQueue(LPCWSTR queue, LPCWSTR driver, LPCWSTR port, DWORD attributes)
{
    const std::wstring name = safeText(queue, 1024), drv = safeText(driver, 1024), prt = safeText(port, 1024);
    QueueRef ref;
    if (!splitPrinterName(name, ref))
        return logged(L"SpoolerControlAddQueue", {name}, ERROR_INVALID_PRINTER_NAME);
    if (drv.empty() || drv.size() > 255 || drv.find(L'\\') != std::wstring::npos)
        return logged(L"SpoolerControlAddQueue", {name, drv}, ERROR_INVALID_PARAMETER);
    SpoolLock lock;
    if (!lock.held())
        return logged(L"SpoolerControlAddQueue", {name}, ERROR_TIMEOUT);
    if (!ref.server.empty()) {
        const DWORD error = ensureServer(ref.server);
        if (error != ERROR_SUCCESS)
            return logged(L"SpoolerControlAddQueue", {name}, error);
    }
    return logged(L"SpoolerControlAddQueue", {name, drv, prt, numberText(attributes)},
                  createQueue(ref, drv, prt, attributes, nullptr));
}

DWORD WINAPI SpoolerControlRemoveQueue(LPCWSTR queue)
{
    const std::wstring name = safeText(queue, 1024);
    QueueRef ref;
    if (!splitPrinterName(name, ref))
        return logged(L"SpoolerControlRemoveQueue", {name}, ERROR_INVALID_PRINTER_NAME);
    SpoolLock lock;
    if (!lock.held())
        return logged(L"SpoolerControlRemoveQueue", {name}, ERROR_TIMEOUT);
    return logged(L"SpoolerControlRemoveQueue", {name}, removeQueueLocked(ref));
}

DWORD WINAPI SpoolerControlSetQueueValue(LPCWSTR queue, LPCWSTR key, LPCWSTR value, DWORD type, const void* data,
                                         DWORD size)
{
    const std::wstring name = safeText(queue, 1024), sub = safeText(key, 1024), val = safeText(value, 16384);
    const std::initializer_list<std::wstring> args = {name, sub, val, numberText(type), hexOf(data, size, 256)};
    QueueRef ref;
    if (!splitPrinterName(name, ref))
        return logged(L"SpoolerControlSetQueueValue", args, ERROR_INVALID_PRINTER_NAME);
    if ((!data && size) || size > kMaxValueSize || sub.size() > kMaxKeyPath ||
        (!sub.empty() && (sub.front() == L'\\' || sub.back() == L'\\')))
        return logged(L"SpoolerControlSetQueueValue", args, ERROR_INVALID_PARAMETER);
    SpoolLock lock;
    if (!lock.held())
        return logged(L"SpoolerControlSetQueueValue", args, ERROR_TIMEOUT);
    if (!queueExists(ref))
        return logged(L"SpoolerControlSetQueueValue", args, ERROR_INVALID_PRINTER_NAME);
    RegKey reg;
    LONG rc = reg.create(HKEY_LOCAL_MACHINE, sub.empty() ? ref.keyPath() : ref.keyPath() + L"\\" + sub);
    if (rc == ERROR_SUCCESS)
        rc = data ? reg.writeValue(val.c_str(), type, data, size) : RegDeleteValueW(reg.get(), val.c_str());
    return logged(L"SpoolerControlSetQueueValue", args, static_cast<DWORD>(rc));
}

DWORD WINAPI SpoolerControlSetDriverValue(LPCWSTR driver, LPCWSTR value, DWORD type, const void* data, DWORD size)
{
    const std::wstring drv = safeText(driver, 1024), val = safeText(value, 16384);
    const std::initializer_list<std::wstring> args = {drv, val, numberText(type), hexOf(data, size, 256)};
    if (!validName(drv) || (!data && size) || size > kMaxValueSize)
        return logged(L"SpoolerControlSetDriverValue", args, ERROR_INVALID_PARAMETER);
    SpoolLock lock;
    if (!lock.held())
        return logged(L"SpoolerControlSetDriverValue", args, ERROR_TIMEOUT);
    ensureDriver(drv);
    RegKey reg;
    LONG rc = reg.create(HKEY_LOCAL_MACHINE, std::wstring(kDriversPath) + L"\\" + drv);
    if (rc == ERROR_SUCCESS && value)
        rc = data ? reg.writeValue(val.c_str(), type, data, size) : RegDeleteValueW(reg.get(), val.c_str());
    return logged(L"SpoolerControlSetDriverValue", args, static_cast<DWORD>(rc));
}

DWORD WINAPI SpoolerControlAddProviderPrinter(LPCWSTR provider, LPCWSTR printer)
{
    const std::wstring prov = safeText(provider, 1024), name = safeText(printer, 1024);
    QueueRef ref;
    if (prov.empty() || prov.size() > 255 || !splitPrinterName(name, ref) || ref.server.empty())
        return logged(L"SpoolerControlAddProviderPrinter", {prov, name}, ERROR_INVALID_PARAMETER);
    SpoolLock lock;
    if (!lock.held())
        return logged(L"SpoolerControlAddProviderPrinter", {prov, name}, ERROR_TIMEOUT);
    if (!queueExists(ref))
        return logged(L"SpoolerControlAddProviderPrinter", {prov, name}, ERROR_INVALID_PRINTER_NAME);
    RegKey key;
    LONG rc = key.create(HKEY_LOCAL_MACHINE, std::wstring(kProvidersPath) + L"\\" + serverKeyName(prov));
    if (rc == ERROR_SUCCESS)
        rc = key.writeDword(ref.fullName().c_str(), 1);
    return logged(L"SpoolerControlAddProviderPrinter", {prov, name}, static_cast<DWORD>(rc));
}

DWORD WINAPI SpoolerControlRemoveProvider(LPCWSTR provider)
{
    const std::wstring prov = safeText(provider, 1024);
    if (prov.empty() || prov.size() > 255)
        return logged(L"SpoolerControlRemoveProvider", {prov}, ERROR_INVALID_PARAMETER);
    SpoolLock lock;
    const LONG rc =
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, (std::wstring(kProvidersPath) + L"\\" + serverKeyName(prov)).c_str());
    return logged(L"SpoolerControlRemoveProvider", {prov}, static_cast<DWORD>(rc));
}

DWORD WINAPI SpoolerControlAddServerPort(LPCWSTR server, LPCWSTR port, LPCWSTR monitorDll, LPCWSTR description)
{
    const std::wstring srv = safeText(server, 1024), prt = safeText(port, 1024);
    const std::initializer_list<std::wstring> args = {srv, prt, safeText(monitorDll), safeText(description)};
    if (!validName(prt) || srv.compare(0, 2, L"\\\\") != 0 || isLocalServer(srv))
        return logged(L"SpoolerControlAddServerPort", args, ERROR_INVALID_PARAMETER);
    SpoolLock lock;
    DWORD error = ensureServer(srv);
    if (error == ERROR_SUCCESS) {
        RegKey key;
        error = static_cast<DWORD>(
            key.create(HKEY_LOCAL_MACHINE, std::wstring(kServersPath) + L"\\" + serverKeyName(srv) + L"\\Ports\\" + prt));
        key.writeString(L"Monitor", safeText(monitorDll));
        key.writeString(L"Description", safeText(description));
    }
    return logged(L"SpoolerControlAddServerPort", args, error);
}

DWORD WINAPI SpoolerControlRemoveServer(LPCWSTR server)
{
    const std::wstring srv = safeText(server, 1024);
    if (srv.size() < 3 || srv.compare(0, 2, L"\\\\") != 0 || isLocalServer(srv))
        return logged(L"SpoolerControlRemoveServer", {srv}, ERROR_INVALID_PARAMETER);
    SpoolLock lock;
    if (!lock.held())
        return logged(L"SpoolerControlRemoveServer", {srv}, ERROR_TIMEOUT);
    // Its queues go as any queue goes, with their jobs.
    for (const QueueRef& ref : listQueues(srv))
        removeQueueLocked(ref);
    const LONG rc =
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, (std::wstring(kServersPath) + L"\\" + serverKeyName(srv)).c_str());
    return logged(L"SpoolerControlRemoveServer", {srv}, static_cast<DWORD>(rc));
}

DWORD WINAPI SpoolerControlAddMonitor(LPCWSTR monitor, LPCWSTR dll)
{
    const std::wstring name = safeText(monitor, 1024), driver = safeText(dll, 1024);
    if (!validName(name) || driver.empty() || driver.size() >= MAX_PATH)
        return logged(L"SpoolerControlAddMonitor", {name, driver}, ERROR_INVALID_PARAMETER);
    SpoolLock lock;
    RegKey key;
    LONG rc = key.create(HKEY_LOCAL_MACHINE, std::wstring(kMonitorsPath) + L"\\" + name);
    if (rc == ERROR_SUCCESS)
        rc = key.writeString(L"Driver", driver);
    return logged(L"SpoolerControlAddMonitor", {name, driver}, static_cast<DWORD>(rc));
}

DWORD WINAPI SpoolerControlRemoveMonitor(LPCWSTR monitor)
{
    const std::wstring name = safeText(monitor, 1024);
    if (!validName(name))
        return logged(L"SpoolerControlRemoveMonitor", {name}, ERROR_INVALID_PARAMETER);
    SpoolLock lock;
    const LONG rc = RegDeleteTreeW(HKEY_LOCAL_MACHINE, (std::wstring(kMonitorsPath) + L"\\" + name).c_str());
    return logged(L"SpoolerControlRemoveMonitor", {name}, static_cast<DWORD>(rc));
}

DWORD WINAPI SpoolerControlAddPort(LPCWSTR monitor, LPCWSTR port)
{
    const std::wstring name = safeText(monitor, 1024), prt = safeText(port, 1024);
    if (!validName(name) || !validName(prt))
        return logged(L"SpoolerControlAddPort", {name, prt}, ERROR_INVALID_PARAMETER);
    SpoolLock lock;
    RegKey key;
    if (key.open(HKEY_LOCAL_MACHINE, std::wstring(kMonitorsPath) + L"\\" + name) != ERROR_SUCCESS)
        return logged(L"SpoolerControlAddPort", {name, prt}, ERROR_UNKNOWN_PRINT_MONITOR);
    RegKey portKey;
    const LONG rc = portKey.create(key.get(), L"Ports\\" + prt);
    return logged(L"SpoolerControlAddPort", {name, prt}, static_cast<DWORD>(rc));
}

DWORD WINAPI SpoolerControlRemovePort(LPCWSTR monitor, LPCWSTR port)
{
    const std::wstring name = safeText(monitor, 1024), prt = safeText(port, 1024);
    if (!validName(name) || !validName(prt))
        return logged(L"SpoolerControlRemovePort", {name, prt}, ERROR_INVALID_PARAMETER);
    SpoolLock lock;
    const LONG rc = RegDeleteTreeW(HKEY_LOCAL_MACHINE,
                                   (std::wstring(kMonitorsPath) + L"\\" + name + L"\\Ports\\" + prt).c_str());
    return logged(L"SpoolerControlRemovePort", {name, prt}, static_cast<DWORD>(rc));
}

DWORD WINAPI SpoolerControlAddJob(LPCWSTR queue, LPCWSTR document, DWORD status, DWORD* jobId)
{
    const std::wstring name = safeText(queue, 1024), doc = safeText(document, 1024);
    QueueRef ref;
    if (!jobId || !splitPrinterName(name, ref))
        return logged(L"SpoolerControlAddJob", {name, doc}, ERROR_INVALID_PARAMETER);
    *jobId = 0;
    SpoolLock lock;
    if (!lock.held())
        return logged(L"SpoolerControlAddJob", {name, doc}, ERROR_TIMEOUT);
    const DWORD error = addJob(ref, doc, L"", status, *jobId);
    return logged(L"SpoolerControlAddJob", {name, doc, numberText(status), numberText(*jobId)}, error);
}

DWORD WINAPI SpoolerControlSetJobStatus(DWORD jobId, DWORD setBits, DWORD clearBits)
{
    SpoolLock lock;
    if (!lock.held())
        return logged(L"SpoolerControlSetJobStatus", {numberText(jobId)}, ERROR_TIMEOUT);
    return logged(L"SpoolerControlSetJobStatus", {numberText(jobId), numberText(setBits), numberText(clearBits)},
                  setJobStatus(jobId, setBits, clearBits));
}

DWORD WINAPI SpoolerControlCompleteJob(DWORD jobId)
{
    SpoolLock lock;
    if (!lock.held())
        return logged(L"SpoolerControlCompleteJob", {numberText(jobId)}, ERROR_TIMEOUT);
    return logged(L"SpoolerControlCompleteJob", {numberText(jobId)}, removeJob(jobId));
}

DWORD WINAPI SpoolerControlReset(LPCWSTR queuePrefix)
{
    const std::wstring prefix = safeText(queuePrefix, 1024);
    SpoolLock lock;
    if (!lock.held())
        return logged(L"SpoolerControlReset", {prefix}, ERROR_TIMEOUT);
    std::vector<QueueRef> queues = listQueues(L"");
    RegKey servers;
    servers.open(HKEY_LOCAL_MACHINE, kServersPath);
    for (const std::wstring& server : servers.subkeys()) {
        std::wstring serverName = server;
        std::replace(serverName.begin(), serverName.end(), L',', L'\\');
        for (const QueueRef& ref : listQueues(serverName))
            queues.push_back(ref);
    }
    for (const QueueRef& ref : queues) {
        if (ref.name.compare(0, prefix.size(), prefix) == 0)
            removeQueueLocked(ref);
    }
    if (prefix.empty()) {
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, kJobsPath);
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, kServersPath);
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, kProvidersPath);
        // The stand-in monitors stay registered (this never removes their ports).
        if (!qzmon::registerStandInMonitors())
            return logged(L"SpoolerControlReset", {prefix}, ERROR_CANTWRITE);
    }
    return logged(L"SpoolerControlReset", {prefix}, ERROR_SUCCESS);
}

} // extern "C"

namespace {

// Splits a command line at blanks; "double quotes" group, as rundll32 callers write them.
std::vector<std::wstring> splitArguments(const std::wstring& line)
{
    std::vector<std::wstring> args;
    std::wstring current;
    bool quoted = false, any = false;
    for (wchar_t c : line) {
        if (c == L'"') {
            quoted = !quoted;
            any = true;
        } else if ((c == L' ' || c == L'\t') && !quoted) {
            if (any)
                args.push_back(current);
            current.clear();
            any = false;
        } else {
            current += c;
            any = true;
        }
    }
    if (any)
        args.push_back(current);
    return args;
}

DWORD number(const std::wstring& text)
{
    return static_cast<DWORD>(wcstoul(text.c_str(), nullptr, 0));
}

DWORD runCommand(const std::vector<std::wstring>& a)
{
    const size_t n = a.size();
    if (n == 0)
        return ERROR_INVALID_PARAMETER;
    const std::wstring& verb = a[0];
    if (verb == L"reset")
        return SpoolerControlReset(n > 1 ? a[1].c_str() : L"");
    if (verb == L"addqueue" && n >= 4)
        return SpoolerControlAddQueue(a[1].c_str(), a[2].c_str(), a[3].c_str(),
                                      n > 4 ? number(a[4]) : PRINTER_ATTRIBUTE_LOCAL);
    if (verb == L"removequeue" && n >= 2)
        return SpoolerControlRemoveQueue(a[1].c_str());
    if (verb == L"setdata" && n >= 6) {
        if (a[4] == L"dword") {
            const DWORD value = number(a[5]);
            return SpoolerControlSetQueueValue(a[1].c_str(), a[2].c_str(), a[3].c_str(), REG_DWORD, &value,
                                               sizeof(value));
        }
        if (a[4] == L"sz")
            return SpoolerControlSetQueueValue(a[1].c_str(), a[2].c_str(), a[3].c_str(), REG_SZ, a[5].c_str(),
                                               static_cast<DWORD>((a[5].size() + 1) * sizeof(wchar_t)));
        return ERROR_INVALID_PARAMETER;
    }
    if (verb == L"addjob" && n >= 3) {
        DWORD id = 0;
        return SpoolerControlAddJob(a[1].c_str(), a[2].c_str(), n > 3 ? number(a[3]) : 0, &id);
    }
    if (verb == L"completejob" && n >= 2)
        return SpoolerControlCompleteJob(number(a[1]));
    if (verb == L"setjobstatus" && n >= 4)
        return SpoolerControlSetJobStatus(number(a[1]), number(a[2]), number(a[3]));
    if (verb == L"addmonitor" && n >= 3)
        return SpoolerControlAddMonitor(a[1].c_str(), a[2].c_str());
    if (verb == L"addport" && n >= 3)
        return SpoolerControlAddPort(a[1].c_str(), a[2].c_str());
    if (verb == L"addprovider" && n >= 3)
        return SpoolerControlAddProviderPrinter(a[1].c_str(), a[2].c_str());
    return ERROR_INVALID_PARAMETER;
}

} // namespace

extern "C" void WINAPI SpoolerControlRunW(HWND, HINSTANCE, LPWSTR commandLine, int)
{
    const std::wstring line = safeText(commandLine, 8192);
    logged(L"SpoolerControlRunW", {line}, runCommand(splitArguments(line)));
}
