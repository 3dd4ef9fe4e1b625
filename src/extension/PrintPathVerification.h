// Free functions that check and find destinations for the managed printing
// core. They run on the caller's thread and use the process's printing
// extension (its settings) when one exists.
#pragma once

#include "destination/PrintPath.h"

namespace MPrint {

// The first entry of the profile's target history whose display string is
// exactly the destination (case-sensitive). A non-empty profile is made the
// current one first. The caller owns the path; null without a hit or
// without a printing extension. The stored history is not changed.
PrintPath* findPrintPathInHistory(const wchar_t* destination, const wchar_t* profile);

} // namespace MPrint
