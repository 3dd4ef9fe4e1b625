// Records that tests send to the Keravin monitor stand-in.
#pragma once

#include "core/Win32.h"

#include <string>
#include <vector>

namespace testenv {

// The command record of "FindPortSubString", "GetPortName", "AddNewPort" and
// "AddNewWPPort": size, 3, 96, the second string's offset, two strings from 96.
std::vector<BYTE> keravinCommandRecord(const std::wstring& first, const std::wstring& second);

} // namespace testenv
