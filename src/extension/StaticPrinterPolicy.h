// The managed print policy applied to a queue that does not take the
// printing extension (static mode, a client port of a remote session): the
// property sheets and the start of a document both run it. A call inside a
// running one in the same process only takes back the queue's request for
// an update ("LumoUpdatePolicy").
#pragma once

#include "core/Win32.h"

namespace LumoraUI {

// The queue by handle or, without one, by name; nothing with neither.
void applyPolicySettingsToStaticPrinter(HANDLE printer, const wchar_t* printerName);

} // namespace LumoraUI
