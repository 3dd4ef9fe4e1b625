// The work of the module's rundll32 entries, each run in a process of its
// own on a command line the module built (the exports add the wait cursor
// and keep exceptions in). Every failure ends the work quietly.
#pragma once

#include "core/Win32.h"

#include <compstui.h>

#include <functional>
#include <string>

namespace rundll {

struct ResumeArguments {
    DWORD pausedJobId = 0;
    DWORD previousJobId = 0; // 0xFFFFFFFF when the queue was empty
    std::wstring printer;
    std::wstring destination;
    std::wstring profile;
};

// "/pausedJobId=", "/previousJobId=", "/printer=\"", "/dest=\"" and
// "/profile=\"" in any order. False when a switch is missing, a quoted
// value has no closing quote or the printer is empty.
bool parseResumeArguments(const wchar_t* line, ResumeArguments& arguments);
// The value of a "/name=\"...\"" switch; false when it is missing or not closed.
bool quotedSwitch(const std::wstring& line, const wchar_t* name, std::wstring& value);
// The text between the line's first two double quotes; empty without them.
std::wstring firstQuotedText(const std::wstring& line);
// "/q" after the quoted printer name (a name may hold "/q" itself).
bool hasQuietSwitch(const std::wstring& line);

using Sleeper = std::function<void(DWORD)>;
// How long the wait sleeps between two looks at an earlier job.
inline constexpr DWORD kEarlierJobPollMs = 3539;

// Returns once no job with an id below the paused one is left in the queue
// (ids compared unsigned), starting with the previous job. Sleeps before
// each new look at the same job, so a job that lingers while it is deleted
// is not polled in a tight loop.
void waitForEarlierJobs(HANDLE printer, DWORD pausedJobId, DWORD previousJobId, const Sleeper& sleep);

// ResumePrintJob: waits for the earlier jobs, re-targets the paused job
// through the printing extension and, once it resumed, tells the maker's
// status module to track it.
void resumePrintJob(HWND owner, const wchar_t* commandLine, const Sleeper& sleep);

// MakePermanent: the printer between the quotes of "/printer=\"...\"".
void makePermanent(HWND owner, const wchar_t* commandLine);

// UpdateStaticModePrinter: the printer between the line's first two double
// quotes; "/q" anywhere leaves its properties closed afterwards.
void updateStaticModePrinter(HWND owner, HINSTANCE instance, const wchar_t* commandLine, int show);
// Starts UpdateStaticModePrinter for the queue of a device property sheet
// that closed (the header is the sheet's lParamInit, or lParam without a
// sheet) when the queue is in static mode, is no new install and asked for
// an update. Always 0.
LRESULT launchUpdateStaticModePrinter(const PROPSHEETUI_INFO* sheet, LPARAM lParam);
// Its command line; false when the printer name holds a double quote.
bool updateStaticModeCommandLine(const std::wstring& moduleFile, const std::wstring& printerName, std::wstring& line);

} // namespace rundll
