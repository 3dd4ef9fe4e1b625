#include "extension/RundllEntries.h"

#include "core/ScopedHandle.h"
#include "extension/KRVProperties.h"
#include "extension/LXESingleton.h"
#include "extension/LumoraPrintingExtension.h"
#include "extension/Rundll32Launch.h"
#include "extension/RunApplicationPolicy.h"
#include "extension/StaticModeSteps.h"
#include "core/WaitCursor.h"
#include "shared/SpoolerQueries.h"

#include <cwchar>
#include <cstdlib>

namespace rundll {

namespace {

bool numberSwitch(const std::wstring& line, const wchar_t* name, DWORD& value)
{
    const size_t at = line.find(name);
    if (at == std::wstring::npos)
        return false;
    value = static_cast<DWORD>(_wtol(line.c_str() + at + wcslen(name)));
    return true;
}

// JOB_STATUS_DELETED or _DELETING, or not readable: the job is gone or going.
bool isJobLeaving(HANDLE printer, DWORD jobId)
{
    GlobalBlock<BYTE> info;
    if (!getJobAlloc(printer, jobId, 1, info.receive()))
        return true;
    return (reinterpret_cast<const JOB_INFO_1W*>(info.get())->Status & (JOB_STATUS_DELETED | JOB_STATUS_DELETING)) != 0;
}

// The queue's last job whose id is below the paused one; false when none is left.
bool earlierJob(HANDLE printer, DWORD pausedJobId, DWORD& jobId)
{
    DWORD count = 0;
    GlobalBlock<BYTE> jobs(enumJobsAlloc(printer, 3, &count));
    if (!jobs)
        return false;
    const JOB_INFO_3* list = reinterpret_cast<const JOB_INFO_3*>(jobs.get());
    for (DWORD i = count; i > 0; --i) {
        if (list[i - 1].JobId < pausedJobId) {
            jobId = list[i - 1].JobId;
            return true;
        }
    }
    return false;
}

void trackPausedJob(const std::wstring& printer, DWORD jobId)
{
    using TrackFn = BOOL(WINAPI*)(LPCWSTR, DWORD);
    const std::wstring path = moduleDirectory(moduleFileName()) + L"vrelm104.DLL";
    ScopedModule module(LoadLibraryW(path.c_str()));
    if (!module)
        return;
    auto track = reinterpret_cast<TrackFn>(reinterpret_cast<void*>(GetProcAddress(module.get(), "TrackPausedJob")));
    if (track)
        track(printer.c_str(), jobId);
}

} // namespace

bool quotedSwitch(const std::wstring& line, const wchar_t* name, std::wstring& value)
{
    const std::wstring opening = std::wstring(name) + L"\"";
    const size_t at = line.find(opening);
    if (at == std::wstring::npos)
        return false;
    const size_t begin = at + opening.size();
    const size_t end = line.find(L'"', begin);
    if (end == std::wstring::npos)
        return false;
    value = line.substr(begin, end - begin);
    return true;
}

std::wstring firstQuotedText(const std::wstring& line)
{
    const size_t first = line.find(L'"');
    if (first == std::wstring::npos)
        return {};
    const size_t second = line.find(L'"', first + 1);
    if (second == std::wstring::npos)
        return {};
    return line.substr(first + 1, second - first - 1);
}

bool hasQuietSwitch(const std::wstring& line)
{
    const size_t first = line.find(L'"');
    const size_t second = first == std::wstring::npos ? first : line.find(L'"', first + 1);
    return second != std::wstring::npos && line.find(L"/q", second + 1) != std::wstring::npos;
}

bool parseResumeArguments(const wchar_t* line, ResumeArguments& arguments)
{
    if (!line)
        return false;
    const std::wstring text = line;
    ResumeArguments parsed;
    if (!numberSwitch(text, L"/pausedJobId=", parsed.pausedJobId) ||
        !numberSwitch(text, L"/previousJobId=", parsed.previousJobId) ||
        !quotedSwitch(text, L"/printer=", parsed.printer) || !quotedSwitch(text, L"/dest=", parsed.destination) ||
        !quotedSwitch(text, L"/profile=", parsed.profile) || parsed.printer.empty())
        return false;
    arguments = std::move(parsed);
    return true;
}

void waitForEarlierJobs(HANDLE printer, DWORD pausedJobId, DWORD previousJobId, const Sleeper& sleep)
{
    DWORD previous = previousJobId;
    bool looked = false; // at this job already: sleep before looking again
    for (;;) {
        if (looked)
            sleep(kEarlierJobPollMs);
        if (!isJobLeaving(printer, previous)) {
            looked = true;
            continue;
        }
        DWORD next = 0;
        if (!earlierJob(printer, pausedJobId, next))
            return;
        looked = next == previous;
        previous = next;
    }
}

void resumePrintJob(HWND owner, const wchar_t* commandLine, const Sleeper& sleep)
{
    ResumeArguments arguments;
    if (!parseResumeArguments(commandLine, arguments))
        return;
    HANDLE opened = nullptr;
    if (!openPrinterWithAccess(arguments.printer, &opened, PRINTER_ACCESS_USE))
        return;
    bool present = false;
    {
        ScopedPrinter printer(opened);
        GlobalBlock<BYTE> paused;
        if (!getJobAlloc(printer.get(), arguments.pausedJobId, 1, paused.receive()))
            return;
        waitForEarlierJobs(printer.get(), arguments.pausedJobId, arguments.previousJobId, sleep);
        present = getJobAlloc(printer.get(), arguments.pausedJobId, 1, paused.receive());
    }
    if (!present)
        return;
    ExtensionHold hold;
    if (!hold.get())
        return;
    ProcessMarkerScope open(krv::kUIOpen);
    const int result = hold.get()->retargetPausedJob(owner, arguments.printer.c_str(), arguments.destination.c_str(),
                                                     arguments.profile.c_str(), arguments.pausedJobId);
    if (result == 1)
        trackPausedJob(arguments.printer, arguments.pausedJobId);
}

void makePermanent(HWND owner, const wchar_t* commandLine)
{
    std::wstring printer;
    if (!commandLine || !quotedSwitch(commandLine, L"/printer=", printer) || printer.empty())
        return;
    ExtensionHold hold;
    if (!hold.get())
        return;
    ProcessMarkerScope open(krv::kUIOpen);
    hold.get()->makePermanent(owner, printer.c_str());
}

namespace {

constexpr wchar_t kStaticMode[] = L"StaticMode";

// The published head of the driver's device property header: its size,
// flags, then the queue's handle.
struct DevicePropertyHeaderHead {
    WORD cbSize;
    WORD Flags;
    HANDLE hPrinter;
};

void openPrinterProperties(HWND owner, HINSTANCE instance, const std::wstring& printer, int show)
{
    using PrintUIEntryFn = void(WINAPI*)(HWND, HINSTANCE, LPCWSTR, int);
    ScopedModule printui(LoadLibraryW(L"printui.dll"));
    if (!printui)
        return;
    auto entry =
        reinterpret_cast<PrintUIEntryFn>(reinterpret_cast<void*>(GetProcAddress(printui.get(), "PrintUIEntryW")));
    if (!entry)
        return;
    const std::wstring line = L" /p /n \"" + printer + L"\"";
    WaitCursor cursor;
    entry(owner, instance, line.c_str(), show);
}

} // namespace

void updateStaticModePrinter(HWND owner, HINSTANCE instance, const wchar_t* commandLine, int show)
{
    if (!commandLine)
        return;
    const std::wstring name = firstQuotedText(commandLine);
    if (name.empty())
        return;
    bool updated = false;
    HANDLE opened = nullptr;
    if (openPrinterWithAccess(name, &opened, PRINTER_ALL_ACCESS)) {
        ScopedPrinter printer(opened);
        DWORD staticMode = 0;
        if (getPrinterDword(printer.get(), kStaticMode, staticMode) && staticMode != 0) {
            ExtensionHold hold;
            if (hold.get())
                StaticModeSteps::current().updateNowMarker(StaticModeSteps::kSet, printer.get(), staticMode, nullptr);
            ProcessMarkerScope open(krv::kUIOpen);
            if (hold.get())
                updated = hold.get()->verifyStaticModePrinter(printer.get(), owner, true, true);
        }
    }
    if (updated && !hasQuietSwitch(commandLine))
        openPrinterProperties(owner, instance, name, show);
}

bool updateStaticModeCommandLine(const std::wstring& moduleFile, const std::wstring& printerName, std::wstring& line)
{
    std::wstring text = commandLine(moduleFile, L"UpdateStaticModePrinter") + L" ";
    if (!appendQuoted(text, printerName))
        return false;
    line = std::move(text);
    return true;
}

LRESULT launchUpdateStaticModePrinter(const PROPSHEETUI_INFO* sheet, LPARAM lParam)
{
    const auto* header = reinterpret_cast<const DevicePropertyHeaderHead*>(sheet ? sheet->lParamInit : lParam);
    if (!header || header->cbSize < sizeof(DevicePropertyHeaderHead) || !header->hPrinter)
        return 0;
    HANDLE printer = header->hPrinter;
    DWORD staticMode = 0;
    if (!getPrinterDword(printer, kStaticMode, staticMode) || staticMode == 0)
        return 0;
    ExtensionHold hold;
    DWORD newInstall = 0;
    DWORD updateNow = 0;
    StaticModeSteps& steps = StaticModeSteps::current();
    if (!hold.get() || (getPrinterDword(printer, L"LumoNewInstall", newInstall) && newInstall != 0) ||
        !steps.updateNowMarker(StaticModeSteps::kGet, printer, updateNow, nullptr) || updateNow == 0 ||
        steps.isUpdateNowProtectedMode())
        return 0;
    GlobalBlock<BYTE> info;
    if (!getPrinterAlloc(printer, 1, info.receive()))
        return 0;
    const wchar_t* name = reinterpret_cast<const PRINTER_INFO_1W*>(info.get())->pName;
    std::wstring line;
    if (!name || !RunApplicationPolicy().ensurePolicy(L"VRELM101.DLL"))
        return 0;
    const std::wstring moduleFile = moduleFileName();
    const std::wstring directory = moduleDirectory(moduleFile);
    if (updateStaticModeCommandLine(moduleFile, name, line))
        start(line, directory.empty() ? nullptr : directory.c_str());
    return 0;
}

} // namespace rundll
