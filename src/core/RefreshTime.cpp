#include "core/RefreshTime.h"

DWORD refreshTimeToMs(DWORD value)
{
    // 999 hours is 3,596,400,000 ms: the product always fits.
    return value < 1000 ? value * 3600000u : value;
}

bool isFresh(DWORD storedTick, DWORD refreshMs, DWORD now)
{
    // A copy stamped in this very tick is fresh: only a stamp in the future
    // (the counter wrapped) is stale.
    return now >= storedTick && now - storedTick < refreshMs;
}
