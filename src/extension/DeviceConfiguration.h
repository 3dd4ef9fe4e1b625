// Configuring a queue for the device of a chosen print path: features and
// policy written into the queue's data, the device's features queried when
// the last query is not fresh, the device configured through the path's
// configurators, the device-verify value the document events read, and the
// cache file of an externally configured device. Caller's thread; the
// functions read the live keyboard state and may show a message box.
#pragma once

#include "core/Win32.h"
#include "destination/PrintPath.h"

#include <string>

namespace MPrint {

// "LastQuery" and "LastConfigTime" stamps: the UTC hour counted from 1601,
// marked by the top bit. Stamps of older releases (month << 16 | day and
// hour << 16 | day) carry no year and are still read by their own rule.
DWORD makeDeviceStamp(const SYSTEMTIME& utc);
// A query is fresh on the same UTC day.
bool isQueryStampFresh(DWORD stamp, const SYSTEMTIME& now);
// A configuration is fresh on the same UTC day and for less than six hours.
bool isConfigStampFresh(DWORD stamp, const SYSTEMTIME& now);

// 0 without a print path (an error box was shown), else 1: also when the
// queue holds jobs for another port or a paused job, where the newest job's
// id goes to the path's "PausePrintJob" and nothing is configured.
DWORD configureDeviceForPrintPath(HWND parent, const std::wstring& printerName, PrintPath* path);
// False for a null path, when no configurator configured the device, or
// when the device-verify value came out 0.
bool checkDeviceConfiguration(PrintPath* path);
// Writes the queue's "LumoDeviceVerify" (1 or 0) and answers it.
bool updateDeviceVerifySetting(PrintPath* path, const std::string& model);
// The user accepts every device (bit 0x200 of the per-user setting), or the model is the maker's.
bool readDeviceVerifySetting(const std::string& model);
// True when the path's external bidi source has a usable cache file for
// the printer, or one was made from it (downloaded when it is a URL).
bool updateExternalBidiConfig(PrintPath* path, const std::wstring& printerName);
// True when the queue's port is not the port the path needs (names compared
// ignoring ASCII case); false for a static-mode queue or anything unknown.
bool printerPortDiffersFromPrintPath(PrintPath* path, const std::wstring& printerName);

} // namespace MPrint
