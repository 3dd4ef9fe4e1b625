// A combo box whose items mirror a list of print paths: each item's data is
// its print path, owned by the list. Removing an item deletes it from the
// combo box and its path from the list. Items without a path are only
// deleted from the box.
#pragma once

#include "core/Win32.h"
#include "destination/PrintPath.h"

#include <string>

namespace MPrint {

// Nothing happens for an item without a path.
void removeComboItemAt(PrintPathList& list, HWND combo, int index);
// The first item (below the list's size) of the path, if any.
void removeComboItemForPath(PrintPathList& list, HWND combo, const PrintPath* path);
// Every item showing exactly the text.
void removeComboItemsByText(PrintPathList& list, HWND combo, const std::wstring& text);
// Every item showing the path's "DisplayString" except the path's own.
void removeDuplicateDisplayStrings(PrintPathList& list, HWND combo, const PrintPath* path);
// Every item whose path is marked "NewlyDiscovered" 1.
void removeNewlyDiscoveredItems(PrintPathList& list, HWND combo);
// Every path of the list, with its item where it has one.
void removeAllComboItems(PrintPathList& list, HWND combo);

} // namespace MPrint
