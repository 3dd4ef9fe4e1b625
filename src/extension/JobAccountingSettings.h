// Where a printer's print jobs are accounted: a URL, or a module and an API
// name, and the user identity reported with them. Three sources, each with
// value names of its own: the queue ("q..."), the managed printer list the
// destination came from ("mpl...") and the policy. The result takes the
// managed list's value, else the policy's, per field; the user comes from
// the environment ("USERID"), else the policy. Loading reports nothing:
// what cannot be read stays empty.
#pragma once

#include "core/ScopedHandle.h"
#include "core/Win32.h"
#include "destination/PrintPath.h"
#include "discovery/ManagedPrinterRecord.h"

#include <string>

class PrinterSettings;

class JobAccountingSettings {
public:
    JobAccountingSettings(const wchar_t* printerName, const wchar_t* destination, const wchar_t* profile);
    JobAccountingSettings(const JobAccountingSettings&) = delete;
    JobAccountingSettings& operator=(const JobAccountingSettings&) = delete;

    const std::wstring& getURL() const { return url_; }
    const std::wstring& getModule() const { return module_; }
    const std::wstring& getAPIName() const { return apiName_; }
    const std::wstring& getUser() const { return user_; }

    // Re-reads the managed-list values with the path (which may be null),
    // then writes each non-empty one into the printer's data and deletes
    // each empty one. False only without printer settings.
    bool writeManagedListValues(PrinterSettings* settings, const MPrint::PrintPath* path);
    // The record's non-empty texts onto the path as persisted "mpl..."
    // attributes. False when either is null.
    static bool setManagedListAttributes(const MPrint::ManagedPrinterRecord* record, MPrint::PrintPath* path);
    // The path's non-empty "q..." attributes into the printer's data.
    static bool writeQueueValues(PrinterSettings* settings, const MPrint::PrintPath* path);
    // Only for a queue made permanent (HKCU "MakePermanentInstance" non-zero)
    // while the current job's printer opens: the printer's or the policy's
    // values written into the given printer's data. False otherwise.
    static bool writePolicyValues(PrinterSettings* settings);

    // Shared with the job delivery settings.
    // HKCU "...\QZ Print Settings" "MakePermanentInstance", 0 when absent
    // and when the process that set it ("MakePermanentInstanceProcess") no
    // longer runs: a marker left by a crash is then removed. A marker without
    // its process (an older release's) counts as set.
    static DWORD readMakePermanentInstance();
    // The marker = 1 for this process, while it makes a destination permanent.
    static bool setMakePermanentInstance();
    static void clearMakePermanentInstance();
    // The printer of the printing extension's current job; invalid when
    // there is none or it does not open.
    static ScopedPrinter openCurrentJobPrinter();
    // The queue opened for reading its data; invalid when it does not open.
    static ScopedPrinter openQueue(const wchar_t* printerName);
    // The printer's data DWORD, 0 when absent.
    static DWORD printerDword(HANDLE printer, const wchar_t* name);
    // The printer's own data value, else the policy's (ManagedPrintPolicy).
    static bool printerOrPolicyString(HANDLE printer, const wchar_t* name, std::wstring& value);
    // Writes a non-empty text, deletes the value for an empty one.
    static void writeOrDelete(PrinterSettings& settings, const wchar_t* name, const std::wstring& text);

private:
    void load();
    void readManagedListValues(HANDLE printer, const MPrint::PrintPath* path);
    void readPolicyValues(HANDLE printer, MPrint::PrintPath* path);

    std::wstring url_, module_, apiName_, user_;
    std::wstring mplUrl_, mplModule_, mplApiName_;
    std::wstring environmentUser_;
    std::wstring policyUrl_, policyModule_, policyApiName_, policyUser_;
    std::wstring destination_, profile_;
    std::wstring printerName_;
};
