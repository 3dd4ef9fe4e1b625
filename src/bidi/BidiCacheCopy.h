// A queue's cached bidi answers between the queue and its ".creg" file in
// the default cache folder: save, delete, and restore with a per-user road
// for callers that may not write the queue. The names given are cache names
// before sanitising (RegistryCache::makeCacheName is applied here).
#pragma once

#include "core/Win32.h"

namespace MPrint {

class PrinterDataValues;

bool saveBidiCacheToFile(HANDLE printer, const wchar_t* printerName);
bool deleteBidiCacheFile(const wchar_t* printerName);

// Restores the cache file into the queue through the handle or, with none,
// straight into the queue's "PrinterDriverData\BidiCache" key under HKLM.
// When that is refused with access denied and a batch is given, the values
// go through a per-user staging key into the batch as
// "PrinterDriverData\BidiCache\<name>", for the port monitor to store; the
// staging key is removed again. True when the values reached the queue or
// the batch.
bool migrateBidiCache(HANDLE printer, const wchar_t* printerName, const wchar_t* cacheName,
                      PrinterDataValues* batch);

} // namespace MPrint
