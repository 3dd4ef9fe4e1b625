// Walks of registry keys that other processes change while they are read
// (port monitors and their ports, device enumeration, device maps). Keys
// and values that change during a walk are skipped, never a reason to stop
// early or loop.
#pragma once

#include "core/Win32.h"

#include <string>
#include <utility>
#include <vector>

namespace MPrint {

// The names of the key's sub-keys, every one present throughout the call
// even while siblings come and go; empty for a null key.
std::vector<std::wstring> listSubKeyNames(HKEY key);
// (name, text) of the key's string values whose name and text fit
// maxChars characters each (terminator excluded).
std::vector<std::pair<std::wstring, std::wstring>> listStringValues(HKEY key, DWORD maxChars);

} // namespace MPrint
