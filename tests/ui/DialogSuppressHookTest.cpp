// The suppression hook: the first dialog box created after arming is
// hidden and closed; later creations and shows hide it again; its
// destruction disarms. Wine raises only the creation event by itself, so
// shows and destructions are raised here with NotifyWinEvent.
#include "ui/DialogSuppressHook.h"

#include <gtest/gtest.h>

namespace {

int g_closes = 0;

// The WM_CLOSE sent at creation reaches the default dialog procedure
// before this one is installed; it answers with a posted IDCANCEL.
INT_PTR CALLBACK countingDialog(HWND, UINT message, WPARAM wParam, LPARAM)
{
    if (message == WM_CLOSE || (message == WM_COMMAND && LOWORD(wParam) == IDCANCEL)) {
        ++g_closes;
        return TRUE; // kept alive: the test decides when it goes
    }
    return message == WM_INITDIALOG;
}

// A modeless box from an in-memory template.
HWND createBox(bool visible)
{
    struct {
        DLGTEMPLATE header;
        WORD menu, windowClass, title;
    } box = {};
    box.header.style = WS_POPUP | WS_CAPTION | (visible ? WS_VISIBLE : 0);
    box.header.cx = 100;
    box.header.cy = 50;
    return CreateDialogIndirectParamW(GetModuleHandleW(nullptr), &box.header, nullptr, countingDialog, 0);
}

void pump()
{
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

TEST(DialogSuppressHook, CatchesTheFirstBoxOnlyAndDisarmsWhenItGoes)
{
    ASSERT_TRUE(installDialogSuppressHook());
    EXPECT_TRUE(installDialogSuppressHook()); // armed already
    g_closes = 0;
    HWND first = createBox(true);
    // The box shows itself after its init; Windows raises the show event
    // there, Wine does not.
    NotifyWinEvent(EVENT_OBJECT_SHOW, first, OBJID_WINDOW, CHILDID_SELF);
    pump();
    ASSERT_EQ(first, suppressedDialog());
    EXPECT_FALSE(IsWindowVisible(first));
    EXPECT_EQ(1, g_closes);

    HWND second = createBox(false);
    pump();
    ShowWindow(second, SW_SHOWNA);
    EXPECT_TRUE(IsWindowVisible(second));
    EXPECT_EQ(first, suppressedDialog());
    EXPECT_EQ(1, g_closes);

    // A show of the caught box, however it came, is undone.
    ShowWindow(first, SW_SHOWNA);
    NotifyWinEvent(EVENT_OBJECT_SHOW, first, OBJID_WINDOW, CHILDID_SELF);
    EXPECT_FALSE(IsWindowVisible(first));

    NotifyWinEvent(EVENT_OBJECT_DESTROY, first, OBJID_WINDOW, CHILDID_SELF);
    DestroyWindow(first);
    EXPECT_FALSE(isDialogSuppressHookArmed());
    EXPECT_EQ(nullptr, suppressedDialog());

    HWND third = createBox(true);
    pump();
    EXPECT_TRUE(IsWindowVisible(third));
    DestroyWindow(second);
    DestroyWindow(third);
}

TEST(DialogSuppressHook, RemovingStopsTheRehiding)
{
    ASSERT_TRUE(installDialogSuppressHook());
    HWND caught = createBox(false);
    pump();
    ASSERT_EQ(caught, suppressedDialog());
    EXPECT_EQ(1, removeDialogSuppressHook());
    EXPECT_FALSE(isDialogSuppressHookArmed());
    ShowWindow(caught, SW_SHOWNA);
    NotifyWinEvent(EVENT_OBJECT_SHOW, caught, OBJID_WINDOW, CHILDID_SELF);
    EXPECT_TRUE(IsWindowVisible(caught));
    DestroyWindow(caught);

    // Windows of other classes are never caught.
    ASSERT_TRUE(installDialogSuppressHook());
    HWND button = CreateWindowExW(0, L"BUTTON", L"x", WS_POPUP | WS_VISIBLE, 0, 0, 10, 10, nullptr, nullptr, nullptr,
                                  nullptr);
    pump();
    EXPECT_EQ(nullptr, suppressedDialog());
    DestroyWindow(button);
    removeDialogSuppressHook();
}

} // namespace
