// InstallMonitor: installs or upgrades the maker's port monitor from the
// driver's directory. Callers ignore the result, the cursor the last
// SetCursor gave back; the installation's outcome is kept in the install state.
#include "core/Win32.h"
#include "extension/KRVProperties.h"
#include "extension/ModuleEntry.h"
#include "extension/PrintMonitorInstaller.h"

extern "C" HCURSOR WINAPI InstallMonitor()
{
    const HCURSOR previous = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    try {
        MPrint::installPrintMonitor(nullptr, ModuleEntry::moduleHandle());
    } catch (...) {
        // No exception leaves the module.
    }
    setInstallState(0x80000);
    return SetCursor(previous);
}
