// Process-wide state set once when the module attaches to a host process:
// the module's own handle and the host classification that every export
// consults before it prompts or shows UI.
#pragma once

#include "core/Win32.h"

namespace ModuleEntry {

// What DllMain does on DLL_PROCESS_ATTACH (without DisableThreadLibraryCalls).
void onProcessAttach(HINSTANCE instance);
// What DllMain does on DLL_PROCESS_DETACH.
void onProcessDetach();

HINSTANCE moduleHandle();
// 1 when the host is the spooler or a print-isolation host, else 0.
DWORD inSpooler();
// 1 when the host is the Windows shell, else 0.
DWORD inShell();

struct HostFlags {
    DWORD inSpooler;
    DWORD inShell;
};
// Classifies a host executable path by substring tests on its lower-cased
// form: the spooler names win over the shell's.
HostFlags classifyHostPath(const wchar_t* path);

} // namespace ModuleEntry
