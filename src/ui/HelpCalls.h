// The calls that open help and start the help viewer, replaceable as one
// set: HTML Help and WinHelp cannot display anything where no browser
// engine is installed, and tests must see the arguments rather than a viewer.
#pragma once

#include "core/Win32.h"

#include <string>

struct HelpCalls {
    // HtmlHelpW(caller, file, command, data); hhctrl.ocx is loaded on use.
    HWND (*htmlHelp)(HWND caller, const wchar_t* file, UINT command, DWORD_PTR data);
    BOOL (*winHelp)(HWND window, const wchar_t* file, UINT command, ULONG_PTR data);
    // CreateProcessW of the whole command line; both handles closed.
    bool (*startProcess)(const std::wstring& commandLine);

    // The process's set; assign members to replace them.
    static HelpCalls& current();
    static HelpCalls platform();
};
