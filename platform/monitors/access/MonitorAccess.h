// For the spooler stand-in, the pipe host and tests: registration of the
// stand-in monitors, loading a registered monitor the way the spooler does
// (InitializePrintMonitor2 with a MONITORREG table over the registry), and
// reading back the calls a monitor recorded.
#pragma once

#include "core/Win32.h"

#include <winsplp.h>

#include <memory>
#include <string>
#include <vector>

namespace qzmon {

// The MONITORREG table over RegCreateKeyExW and friends: hcKey handles are HKEYs.
const MONITORREG& standardMonitorReg();

// Writes "Driver" (and the Keravin monitor's "PM") for every stand-in monitor
// under HKLM "...\Print\Monitors"; changes nothing else. False on a registry error.
bool registerStandInMonitors();

// One monitor loaded from its registered "Driver" DLL, shut down and freed on destruction.
class LoadedMonitor {
public:
    static std::unique_ptr<LoadedMonitor> load(const std::wstring& monitorName);
    ~LoadedMonitor();
    LoadedMonitor(const LoadedMonitor&) = delete;
    LoadedMonitor& operator=(const LoadedMonitor&) = delete;

    const std::wstring& name() const { return name_; }
    const MONITOR2& table() const { return table_; }
    HANDLE handle() const { return monitor_; }

    // XcvOpenPort; the object is the monitor name or a port name.
    bool xcvOpen(const std::wstring& object, ACCESS_MASK access, HANDLE& xcv) const;
    DWORD xcvData(HANDLE xcv, const std::wstring& command, const void* input, DWORD inputSize, void* output,
                  DWORD outputSize, DWORD* needed) const;
    void xcvClose(HANDLE xcv) const;

private:
    LoadedMonitor() = default;

    std::wstring name_;
    HMODULE module_ = nullptr;
    HKEY root_ = nullptr;
    MONITORINIT init_ = {};
    MONITOR2 table_ = {};
    HANDLE monitor_ = nullptr;
};

struct ReceivedCall {
    std::wstring object;
    std::wstring command;
    DWORD access = 0;
    std::vector<BYTE> input;
    std::vector<BYTE> output;  // what the monitor wrote, when it succeeded
    DWORD outputSize = 0;      // the caller's capacity
    DWORD status = 0;
    DWORD needed = 0;
    DWORD process = 0;
};

// The XcvData calls the monitor received in the given process, oldest first.
std::vector<ReceivedCall> receivedCalls(const std::wstring& monitorName, DWORD processId);

} // namespace qzmon
