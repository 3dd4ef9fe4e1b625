// A typed or listed address turned into a print path by the discovery
// services of the process-wide manager.
#pragma once

#include "core/Win32.h"

#include <string>

namespace MPrint {
class PrintPath;
} // namespace MPrint

// Asks every service that resolves addresses, in the manager's order; the
// first one that answers 0 with exactly one path wins, and that path is
// returned (the caller owns it). Null when none does.
MPrint::PrintPath* resolveAddressThroughServices(HWND parent, const std::wstring& address,
                                                 const std::wstring& nickname, const std::wstring& displayString);
// The same with the wait cursor shown meanwhile, for a thread that owns the
// windows the user looks at.
MPrint::PrintPath* findPrintPathForAddress(HWND parent, const std::wstring& address, const std::wstring& nickname,
                                           const std::wstring& displayString);
