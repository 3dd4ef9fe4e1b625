// Runs bin\qzkrvmonhost.exe, the Keravin monitor's pipe "\\.\pipe\QZKRVMon",
// for the scope of the object. Tests using it take the qzkrvmon_pipe
// RESOURCE_LOCK (the pipe name is fixed).
#pragma once

#include "core/Win32.h"

class MonitorPipeHost {
public:
    MonitorPipeHost();
    ~MonitorPipeHost();
    MonitorPipeHost(const MonitorPipeHost&) = delete;
    MonitorPipeHost& operator=(const MonitorPipeHost&) = delete;

    // True once the pipe accepts connections.
    bool ready() const { return ready_; }
    DWORD processId() const { return processId_; }

private:
    HANDLE process_ = nullptr;
    HANDLE stop_ = nullptr;
    DWORD processId_ = 0;
    bool ready_ = false;
};
