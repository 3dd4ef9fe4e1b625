// The entries rundll32.exe runs in a process of their own, on command lines
// the module built. No result; every failure ends quietly and no exception
// leaves the module.
#include "core/WaitCursor.h"
#include "core/Win32.h"
#include "extension/RundllEntries.h"

extern "C" void WINAPI ResumePrintJobW(HWND window, HINSTANCE, LPWSTR commandLine, int)
{
    WaitCursor cursor;
    try {
        rundll::resumePrintJob(window, commandLine, [](DWORD milliseconds) { Sleep(milliseconds); });
    } catch (...) {
    }
}

extern "C" void WINAPI MakePermanentW(HWND window, HINSTANCE, LPWSTR commandLine, int)
{
    WaitCursor cursor;
    try {
        rundll::makePermanent(window, commandLine);
    } catch (...) {
    }
}

extern "C" void WINAPI UpdateStaticModePrinterW(HWND window, HINSTANCE instance, LPWSTR commandLine, int show)
{
    WaitCursor cursor;
    try {
        rundll::updateStaticModePrinter(window, instance, commandLine, show);
    } catch (...) {
    }
}
