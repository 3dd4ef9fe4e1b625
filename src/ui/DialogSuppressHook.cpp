#include "ui/DialogSuppressHook.h"

#include <atomic>

namespace {

// Written by the arming thread and by the callback, which runs in whichever
// thread of the process creates or shows windows.
std::atomic<HWINEVENTHOOK> g_hook{nullptr};
std::atomic<HWND> g_captured{nullptr};

void hideCaptured(HWND window)
{
    SetWindowPos(window, HWND_BOTTOM, 0, 0, 0, 0, SWP_HIDEWINDOW | SWP_NOACTIVATE);
}

void CALLBACK onWindowEvent(HWINEVENTHOOK, DWORD event, HWND window, LONG objectId, LONG, DWORD, DWORD)
{
    if (!window || objectId != OBJID_WINDOW)
        return;
    HWND captured = g_captured.load();
    if (!captured) {
        if (event != EVENT_OBJECT_CREATE)
            return;
        wchar_t className[128] = {};
        if (!GetClassNameW(window, className, 128) || lstrcmpW(className, L"#32770") != 0)
            return;
        g_captured = window;
        hideCaptured(window);
        SendMessageW(window, WM_CLOSE, 0, 0);
        return;
    }
    if (event == EVENT_OBJECT_DESTROY && window == captured) {
        removeDialogSuppressHook();
        return;
    }
    if (event == EVENT_OBJECT_CREATE || event == EVENT_OBJECT_SHOW)
        hideCaptured(captured);
}

} // namespace

bool installDialogSuppressHook()
{
    if (g_hook.load())
        return true;
    HWINEVENTHOOK hook = SetWinEventHook(EVENT_OBJECT_CREATE, EVENT_OBJECT_SHOW, GetModuleHandleW(nullptr),
                                         onWindowEvent, GetCurrentProcessId(), 0, WINEVENT_INCONTEXT);
    g_hook = hook;
    return hook != nullptr;
}

int removeDialogSuppressHook()
{
    if (HWINEVENTHOOK hook = g_hook.exchange(nullptr))
        UnhookWinEvent(hook);
    g_captured = nullptr;
    return 1;
}

HWND suppressedDialog()
{
    return g_captured.load();
}

bool isDialogSuppressHookArmed()
{
    return g_hook.load() != nullptr;
}
