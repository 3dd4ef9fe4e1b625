#include "ui/HelpCalls.h"

#include "core/ScopedHandle.h"

#include <vector>

namespace {

using HtmlHelpFn = HWND(WINAPI*)(HWND, LPCWSTR, UINT, DWORD_PTR);

HWND platformHtmlHelp(HWND caller, const wchar_t* file, UINT command, DWORD_PTR data)
{
    // Kept loaded: the viewer's windows live on after the call.
    static HMODULE viewer = LoadLibraryW(L"hhctrl.ocx");
    if (!viewer)
        return nullptr;
    auto fn = reinterpret_cast<HtmlHelpFn>(reinterpret_cast<void*>(GetProcAddress(viewer, "HtmlHelpW")));
    return fn ? fn(caller, file, command, data) : nullptr;
}

BOOL platformWinHelp(HWND window, const wchar_t* file, UINT command, ULONG_PTR data)
{
    return WinHelpW(window, file, command, data);
}

bool platformStartProcess(const std::wstring& commandLine)
{
    std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
    line.push_back(0);
    STARTUPINFOW startup = {};
    GetStartupInfoW(&startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process))
        return false;
    // Nothing waits for the child.
    ScopedKernelHandle thread(process.hThread);
    ScopedKernelHandle child(process.hProcess);
    return true;
}

} // namespace

HelpCalls HelpCalls::platform()
{
    return HelpCalls{platformHtmlHelp, platformWinHelp, platformStartProcess};
}

HelpCalls& HelpCalls::current()
{
    static HelpCalls calls = platform();
    return calls;
}
