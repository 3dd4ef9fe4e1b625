// The module's message boxes: MessageBoxW, right-aligned with right-to-left
// reading when the user interface reads right to left. The interface's
// language is the printing extension's, above this layer: the extension
// installs the query when it starts (none installed: left to right). The
// printing core, the discovery services and the dialogs all show their
// boxes through here.
#pragma once

#include "core/Win32.h"

// Whether the user interface reads right to left; null removes the query.
using RightToLeftInterfaceQuery = bool (*)();
void setRightToLeftInterfaceQuery(RightToLeftInterfaceQuery query);

// The MessageBoxW result.
int showMessageBox(HWND owner, const wchar_t* text, const wchar_t* caption, UINT flags);
