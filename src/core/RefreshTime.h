// The freshness rule of the per-user caches (downloaded files, the server
// policy): refresh times stored in the registry count hours below 1000 and
// milliseconds from 1000 on, and ages are GetTickCount differences.
#pragma once

#include "core/Win32.h"

// The stored refresh value in milliseconds (0 stays 0: never fresh).
DWORD refreshTimeToMs(DWORD value);

// True when a copy stamped at storedTick is still fresh at now: now is at or
// after the stamp and less than refreshMs later, all unsigned 32-bit. A
// stamp in the future, as after the tick counter wraps, is stale.
bool isFresh(DWORD storedTick, DWORD refreshMs, DWORD now);
