// The queue of the job being handled, as the device connections need it.
// The printing extension, which owns the destination context, sits above
// this layer: it names the source of the queue name when it is created.
#pragma once

#include <string>

namespace MPrint {

using CurrentPrinterNameSource = std::wstring (*)();

// Null removes the source.
void setCurrentPrinterNameSource(CurrentPrinterNameSource source);
// The current destination's queue name; empty without a source or a context.
std::wstring currentDestinationPrinterName();

} // namespace MPrint
