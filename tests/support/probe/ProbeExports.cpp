// Test-only exports of the probe build of the module: they read its
// process-wide state and open trace scopes from inside a real host process.
#include "core/DllProfiler.h"
#include "core/InternetHelpers.h"
#include "core/ProfileScope.h"
#include "extension/ModuleEntry.h"

extern "C" {

void __cdecl ProbeHostFlags(DWORD* inSpooler, DWORD* inShell, HMODULE* module)
{
    *inSpooler = ModuleEntry::inSpooler();
    *inShell = ModuleEntry::inShell();
    *module = ModuleEntry::moduleHandle();
}

// Opens and closes one scope; with a wide argument, formats "%s(%S)".
void __cdecl ProbeScope(const char* name, const wchar_t* argument)
{
    if (argument) {
        ProfileScope scope("%s(%S)", __FILE__, __LINE__, name, argument);
    } else {
        ProfileScope scope(name, __FILE__, __LINE__);
    }
}

void __cdecl ProbeLogTrace(const char* text)
{
    logTrace(text);
}

// Lets a test unload the module while the shell works for it.
void __cdecl ProbeOpenUrlAsync(const wchar_t* url)
{
    openUrlAsync(url, nullptr);
}

} // extern "C"
