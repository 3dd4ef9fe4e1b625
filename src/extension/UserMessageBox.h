// The module's message boxes: MessageBoxW, right-aligned with right-to-left
// reading when the extension's user-interface language reads right to left.
// The printing core, the discovery services and the dialogs all show their
// boxes through it.
#pragma once

#include "core/Win32.h"

class LumoraPrintingExtension;

// The extension's user-interface language reads right to left; false
// without an extension or its settings.
bool isRightToLeftInterface(const LumoraPrintingExtension* extension);

// The MessageBoxW result.
int showMessageBox(HWND owner, const wchar_t* text, const wchar_t* caption, UINT flags);
