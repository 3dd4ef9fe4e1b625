// The driver's printer and driver events inside the spooler: a new queue is
// marked as a managed queue, gets its first printer data, its job-control
// ticket and a default device mode, the maker's port monitor is installed
// and, once per new driver version, the maker's pre-install step runs on a
// thread of its own. Every event answers 0 and keeps its exceptions in.
#pragma once

#include "core/Win32.h"
#include "extension/PrintMonitorInstaller.h"

#include <string>

namespace LumoraUI {

inline constexpr int kPrinterEventInitialize = 3; // PRINTER_EVENT_INITIALIZE

int printerEventInitPre(const wchar_t* printerName, int event);
// The monitor installed is the maker's unless the caller names another.
int printerEventInitPost(const wchar_t* printerName, int event, const MPrint::PrintMonitorFiles& monitor = {});
int driverEventInit();
int printerEventRefresh();

// The queue's local name: cut at its first ","; then everything up to and
// including the first "\" after the computer's name, or (when the name holds
// none after it) the last "\" of the name, goes.
std::wstring stripServerFromPrinterName(const std::wstring& printerName, const std::wstring& computerName);
// The computer's name (GetComputerNameW); empty when unknown.
std::wstring computerName();

// HKLM "Software\Tarvokin\QZ Print Settings\PreCopy\<driver>": true when the
// driver's date is newer than the one recorded there, or none is recorded.
// A driver without a name needs nothing.
bool needsPreInstall(const DRIVER_INFO_6W& driver);
bool recordDriverDate(const DRIVER_INFO_6W& driver);
// Runs "vrelm111.dll"'s RunDllDoPreInstall on a thread above normal priority
// and waits for it, bounded; true when it ended within the wait. The thread
// holds the module loaded while it runs, so a wait that gives up is safe.
bool runPreInstall(DWORD waitMs);

} // namespace LumoraUI
