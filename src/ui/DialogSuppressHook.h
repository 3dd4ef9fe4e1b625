// Hides and closes the next standard dialog box (class "#32770") created in
// this process after arming, so that a dialog which would follow a cancelled
// step never shows. One dialog is caught per arming; its destruction, or
// removeDialogSuppressHook, disarms. Process-wide state, one arming at a time.
#pragma once

#include "core/Win32.h"

// True when armed (also when it already was).
bool installDialogSuppressHook();
// Disarms and forgets the captured dialog; 1.
int removeDialogSuppressHook();
// The dialog caught since arming, or null (for tests and diagnostics).
HWND suppressedDialog();
bool isDialogSuppressHookArmed();
