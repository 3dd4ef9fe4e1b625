// Fixtures for tests that use the spooler stand-in (bin/winspool.drv):
// unique queue names, queues removed with their scope, a per-process call
// log and the per-process rights switch.
#pragma once

#include "core/Win32.h"
#include "support/TestEnv.h"
#include "winspool/SpoolerControl.h"

#include <string>
#include <vector>

namespace testspool {

// The stand-in's control exports; null when winspool.drv is not the stand-in.
const SpoolerControlApi* control();

// base + " " + process id + "." + its start time + "-" + counter: never shared
// by two test processes, nor met in what a killed one left.
std::wstring uniqueQueueName(const std::wstring& base);

// A local or remote ("\\Server\Queue") queue that exists for the scope.
class ScopedQueue {
public:
    explicit ScopedQueue(const std::wstring& name, const std::wstring& driver = L"Vrelm Test Driver",
                         const std::wstring& port = L"LPT1:", DWORD attributes = PRINTER_ATTRIBUTE_LOCAL);
    ~ScopedQueue();
    ScopedQueue(const ScopedQueue&) = delete;
    ScopedQueue& operator=(const ScopedQueue&) = delete;
    const std::wstring& name() const { return name_; }
    DWORD error() const { return error_; }  // of the creation
    // Printer data in "PrinterDriverData" (key empty) or a named key.
    DWORD setString(const std::wstring& key, const std::wstring& value, const std::wstring& text) const;
    DWORD setDword(const std::wstring& key, const std::wstring& value, DWORD number) const;

private:
    std::wstring name_;
    DWORD error_ = ERROR_SUCCESS;
};

// Points VRELM_SPOOLER_LOG of this process (and its children) at a fresh file.
class ScopedCallLog : public testenv::ScopedLogVariable {
public:
    ScopedCallLog() : ScopedLogVariable(L"VRELM_SPOOLER_LOG") {}
    // Each line: pid, function, arguments..., "=> <error>", tab-separated.
    // Lines whose function field equals the name.
    std::vector<std::string> calls(const std::string& function) const;
};

// A job's JOB_STATUS_* bits through the handle; kJobGone when the queue no longer has it.
// Inline: the support library itself imports nothing from the spooler, so a
// test that never calls it loads winspool.drv only by its own LoadLibrary.
inline constexpr DWORD kJobGone = ~0u;
inline DWORD jobStatus(HANDLE printer, DWORD jobId)
{
    JOB_INFO_1W info[8] = {}; // room for the strings
    DWORD needed = 0;
    if (!GetJobW(printer, jobId, 1, reinterpret_cast<BYTE*>(info), sizeof(info), &needed))
        return kJobGone;
    return info[0].Status;
}

// VRELM_SPOOLER_RIGHTS=user for this process (and children started meanwhile).
// The level "withdrawn" instead refuses every printer-data change, also
// through a handle opened with full access before.
class ScopedUserRights {
public:
    ScopedUserRights();
    explicit ScopedUserRights(const wchar_t* level);
    ~ScopedUserRights();
    ScopedUserRights(const ScopedUserRights&) = delete;
    ScopedUserRights& operator=(const ScopedUserRights&) = delete;
};

} // namespace testspool
