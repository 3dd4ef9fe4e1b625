// Installs the maker's port monitor into the spooler from the driver's own
// directory, and upgrades an installed copy older than the driver's. The
// names are fixed for the module; a caller may name other files, another
// monitor or another system directory (the tests do, to stay apart from the
// monitor other processes use).
#pragma once

#include "core/Win32.h"

#include <string>

namespace MPrint {

struct PrintMonitorFiles {
    std::wstring monitorName = L"QZ Keravin Print Monitor";
    std::wstring monitorDll = L"vrelm106.DLL";   // the DLL the spooler registers
    std::wstring companionDll = L"vrelm107.DLL"; // the monitor key's "PM": the monitor's body
    std::wstring systemDirectory;                // empty: GetSystemDirectoryW
};

// True when the monitor was added, or when an older installed one was
// upgraded (by itself, or deleted and added again with the new files);
// false when it is installed and current, cannot be added, or its re-add
// after a delete failed. module is this module: the driver's directory is
// its folder. Marks the install state (0x40000, then 0x80000).
bool installPrintMonitor(const wchar_t* printerName, HMODULE module, const PrintMonitorFiles& files = {});

// The new companion at newPath is newer than the system directory's: also
// when the installed one has no version, never when the new one has none.
bool isMonitorUpgradeNeeded(const std::wstring& newPath, const PrintMonitorFiles& files = {});

// The system directory with a trailing backslash; empty when unknown.
std::wstring monitorSystemDirectory(const PrintMonitorFiles& files);

} // namespace MPrint
