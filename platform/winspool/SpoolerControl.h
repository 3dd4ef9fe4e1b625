// Control surface of the spooler stand-in (exports of its winspool.drv).
// Each function returns a Win32 error code, 0 on success, and acts as an
// administrator whatever the rights switch (VRELM_SPOOLER_RIGHTS) says.
// Queue names are "Queue" (local) or "\\Server\Queue" (a stand-in remote
// server, created on first use). Callers outside the DLL load the exports
// with SpoolerControlApi::load().
#pragma once

#include <windows.h>

// The named mutex that serialises every change of the spooler state. A process that
// writes the state in the registry directly (the monitors' pipe host) takes it too.
inline constexpr wchar_t kSpoolerLockName[] = L"Local\\VrelmSpoolerStandInLock";

extern "C" {
DWORD WINAPI SpoolerControlAddQueue(LPCWSTR queue, LPCWSTR driver, LPCWSTR port, DWORD attributes);
DWORD WINAPI SpoolerControlRemoveQueue(LPCWSTR queue);
// key null or "": a value of the queue's own key ("Port", "Default DevMode", "Status"...);
// otherwise a (nested) key below it, e.g. "PrinterDriverData". data null deletes the value.
DWORD WINAPI SpoolerControlSetQueueValue(LPCWSTR queue, LPCWSTR key, LPCWSTR value, DWORD type, const void* data,
                                         DWORD size);
// Creates the driver under "...\Version-3\<driver>" when missing; data null deletes the value.
DWORD WINAPI SpoolerControlSetDriverValue(LPCWSTR driver, LPCWSTR value, DWORD type, const void* data, DWORD size);
// Lists an existing remote queue ("\\Client\Laser") under a provider name such as "Client Network!\\Client".
DWORD WINAPI SpoolerControlAddProviderPrinter(LPCWSTR provider, LPCWSTR printer);
DWORD WINAPI SpoolerControlRemoveProvider(LPCWSTR provider);
DWORD WINAPI SpoolerControlAddServerPort(LPCWSTR server, LPCWSTR port, LPCWSTR monitorDll, LPCWSTR description);
// Removes a stand-in remote server ("\\Server") with its queues, their jobs and its ports.
DWORD WINAPI SpoolerControlRemoveServer(LPCWSTR server);
// Registers a monitor without loading it (AddMonitorW checks the DLL).
DWORD WINAPI SpoolerControlAddMonitor(LPCWSTR monitor, LPCWSTR dll);
DWORD WINAPI SpoolerControlRemoveMonitor(LPCWSTR monitor);
DWORD WINAPI SpoolerControlAddPort(LPCWSTR monitor, LPCWSTR port);
DWORD WINAPI SpoolerControlRemovePort(LPCWSTR monitor, LPCWSTR port);
// A job with the given JOB_STATUS_* bits (0: spooled and waiting).
DWORD WINAPI SpoolerControlAddJob(LPCWSTR queue, LPCWSTR document, DWORD status, DWORD* jobId);
// A job marked JOB_STATUS_DELETING leaves once neither SPOOLING nor PRINTING is set.
DWORD WINAPI SpoolerControlSetJobStatus(DWORD jobId, DWORD setBits, DWORD clearBits);
// The job printed and leaves the queue.
DWORD WINAPI SpoolerControlCompleteJob(DWORD jobId);
// Removes the queues whose names start with the prefix (local and remote) with their jobs.
// An empty prefix removes every queue, job, remote server and provider and registers the
// stand-in monitors: the demo's reset, never a test's.
DWORD WINAPI SpoolerControlReset(LPCWSTR queuePrefix);
// The same from a command line, for scripts and the demo:
//   rundll32.exe winspool.drv,SpoolerControlRun <verb> <args...>   ("quoted" arguments may hold blanks)
// verbs: reset [prefix] | addqueue Q DRIVER PORT [attributes] | removequeue Q | setdata Q KEY VALUE sz|dword DATA
// | addjob Q DOCUMENT [status] | completejob ID | setjobstatus ID SET CLEAR | addmonitor NAME DLL
// | addport MONITOR PORT | addprovider PROVIDER PRINTER. The result is written to the call log.
void WINAPI SpoolerControlRunW(HWND window, HINSTANCE instance, LPWSTR commandLine, int show);
}

// Typed access to the exports from a process that has loaded winspool.drv.
struct SpoolerControlApi {
    decltype(&SpoolerControlAddQueue) addQueue = nullptr;
    decltype(&SpoolerControlRemoveQueue) removeQueue = nullptr;
    decltype(&SpoolerControlSetQueueValue) setQueueValue = nullptr;
    decltype(&SpoolerControlSetDriverValue) setDriverValue = nullptr;
    decltype(&SpoolerControlAddProviderPrinter) addProviderPrinter = nullptr;
    decltype(&SpoolerControlRemoveProvider) removeProvider = nullptr;
    decltype(&SpoolerControlAddServerPort) addServerPort = nullptr;
    decltype(&SpoolerControlRemoveServer) removeServer = nullptr;
    decltype(&SpoolerControlAddMonitor) addMonitor = nullptr;
    decltype(&SpoolerControlRemoveMonitor) removeMonitor = nullptr;
    decltype(&SpoolerControlAddPort) addPort = nullptr;
    decltype(&SpoolerControlRemovePort) removePort = nullptr;
    decltype(&SpoolerControlAddJob) addJob = nullptr;
    decltype(&SpoolerControlSetJobStatus) setJobStatus = nullptr;
    decltype(&SpoolerControlCompleteJob) completeJob = nullptr;
    decltype(&SpoolerControlReset) reset = nullptr;

    // False when the loaded winspool.drv is not the stand-in.
    bool load()
    {
        HMODULE module = LoadLibraryW(L"winspool.drv");  // stays loaded: the process uses it anyway
        if (!module)
            return false;
        return bind(module, addQueue, "SpoolerControlAddQueue") && bind(module, removeQueue, "SpoolerControlRemoveQueue") &&
               bind(module, setQueueValue, "SpoolerControlSetQueueValue") &&
               bind(module, setDriverValue, "SpoolerControlSetDriverValue") &&
               bind(module, addProviderPrinter, "SpoolerControlAddProviderPrinter") &&
               bind(module, removeProvider, "SpoolerControlRemoveProvider") &&
               bind(module, addServerPort, "SpoolerControlAddServerPort") &&
               bind(module, removeServer, "SpoolerControlRemoveServer") &&
               bind(module, addMonitor, "SpoolerControlAddMonitor") &&
               bind(module, removeMonitor, "SpoolerControlRemoveMonitor") && bind(module, addPort, "SpoolerControlAddPort") &&
               bind(module, removePort, "SpoolerControlRemovePort") && bind(module, addJob, "SpoolerControlAddJob") &&
               bind(module, setJobStatus, "SpoolerControlSetJobStatus") &&
               bind(module, completeJob, "SpoolerControlCompleteJob") && bind(module, reset, "SpoolerControlReset");
    }

private:
    template <class Fn>
    static bool bind(HMODULE module, Fn& target, const char* name)
    {
        target = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
        return target != nullptr;
    }
};
