// What the chooser's sources share: the settings value names, the policy in
// force, and the few helpers over its controls and tree nodes. Internal to
// ConfirmationDialog*.cpp.
#pragma once

#include "core/Win32.h"

#include <string>

namespace MPrint {

class ManagedPrintPolicy;
class PrintPath;
class TreeViewNode;

namespace chooser {

inline constexpr wchar_t kSearchNodeExpanded[] = L"SearchNodeExpanded";
inline constexpr DWORD kAbsent = static_cast<DWORD>(-1);

// The policy when one is in force, else null.
ManagedPrintPolicy* policy();
// The window's text, at most limit characters.
std::wstring windowText(HWND window, size_t limit);
// A printer node's path; null for any other node.
PrintPath* pathOf(TreeViewNode* node);
// The device's cached answers are named by its address and model.
void deleteCacheFileOf(const PrintPath* path);
HCURSOR cursor(const wchar_t* id);

} // namespace chooser
} // namespace MPrint
