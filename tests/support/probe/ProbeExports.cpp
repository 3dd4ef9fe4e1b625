// Test-only exports of the probe build of the module: they read its
// process-wide state and open trace scopes from inside a real host process.
#include "core/DllProfiler.h"
#include "core/InternetHelpers.h"
#include "core/ProfileScope.h"
#include "destination/PrinterSettings.h"
#include "extension/ModuleEntry.h"
#include "shared/SpoolerNames.h"

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

// One printer-data string written as the module writes it: straight to the
// queue when it may be written, else batched and stored by the port monitor
// when the settings end. 1 when the write was taken.
DWORD __cdecl ProbeSetPrinterString(const wchar_t* queue, const wchar_t* name, const wchar_t* text)
{
    PrinterSettings settings(queue, PRINTER_ALL_ACCESS);
    return settings.setString(name, text) ? 1 : 0;
}

// The module's own test of its host's file name.
DWORD __cdecl ProbeIsSpoolerProcess()
{
    return isSpoolerProcess() ? 1 : 0;
}

} // extern "C"
