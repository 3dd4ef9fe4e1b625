#include "core/Win32.h"
#include "extension/ModuleEntry.h"

// Only what must happen at attach: no threads, COM or spooler calls under
// the loader lock. Work happens on first use.
extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/)
{
    switch (reason) {
    case DLL_PROCESS_ATTACH:
        ModuleEntry::onProcessAttach(instance);
        DisableThreadLibraryCalls(instance);
        break;
    case DLL_PROCESS_DETACH:
        ModuleEntry::onProcessDetach();
        break;
    default:
        break;
    }
    return TRUE;
}
