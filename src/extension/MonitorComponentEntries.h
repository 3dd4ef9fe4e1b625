// The work of the exports the maker's print monitor and port components
// call besides job accounting: a queue's port switched by address, and the
// Waypost job information and end. Each acquires the printing extension for
// the call; the exports keep exceptions in.
#pragma once

#include "core/Win32.h"

namespace LumoraUI {

// False for a null name, a queue that cannot be opened with full access,
// or a switch that did not apply; the last error is 87 when the extension
// cannot be had. "DMCEACValue" 2 on the queue switches the port only.
bool setPrinterPort(const wchar_t* printerName, const wchar_t* portName);
// *block must be null on entry (else last error 87); it is set only on true.
bool getWaypostJobInfo(DWORD jobId, const char* printerName, void** block);
bool finishedWaypostJob(DWORD jobId);

} // namespace LumoraUI
