#include "support/MonitorPipeHost.h"

#include "support/SharedState.h"
#include "support/TestEnv.h"

#include <string>

MonitorPipeHost::MonitorPipeHost()
{
    // The host serves the pipe's fixed name from a process of its own, which
    // the program's watch does not see.
    testenv::requireSharedState("qzkrvmon_pipe");
    const std::wstring suffix = std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(GetTickCount64());
    const std::wstring stopName = L"QZKRVMonHostStop-" + suffix;
    const std::wstring readyName = L"QZKRVMonHostReady-" + suffix;
    stop_ = CreateEventW(nullptr, TRUE, FALSE, stopName.c_str());
    HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, readyName.c_str());
    std::wstring command = L"\"" + testenv::binDir() + L"\\qzkrvmonhost.exe\" /parent=" +
                           std::to_wstring(GetCurrentProcessId()) + L" /stop=" + stopName + L" /ready=" + readyName;
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    if (stop_ && ready &&
        CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
        process_ = info.hProcess;
        processId_ = info.dwProcessId;
        CloseHandle(info.hThread);
        HANDLE waits[] = {ready, process_};
        ready_ = WaitForMultipleObjects(2, waits, FALSE, 10000) == WAIT_OBJECT_0;
    }
    if (ready)
        CloseHandle(ready);
}

MonitorPipeHost::~MonitorPipeHost()
{
    if (process_) {
        SetEvent(stop_);
        if (WaitForSingleObject(process_, 10000) != WAIT_OBJECT_0)
            TerminateProcess(process_, 1);
        CloseHandle(process_);
    }
    if (stop_)
        CloseHandle(stop_);
}
