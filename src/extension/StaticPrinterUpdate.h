// Re-pointing a queue without a prompt: at a device named by an address
// (the SetPrinterPort export and the static-printer policy), and a
// static-mode queue verified against the device its port names (printer
// installation and UpdateStaticModePrinter). Both run on the one printing
// extension that concurrent spooler callers share.
#pragma once

#include "core/Win32.h"

#include <string>

class LumoraPrintingExtension;

namespace LumoraUI {

// The destination is worked out on a context of the call's own for the
// named queue, so that callers running at once each re-point their queue.
bool setPrinterPortByAddress(LumoraPrintingExtension& extension, const std::wstring& printerName,
                             const std::wstring& address, bool changePortOnly);

// The address a static-mode queue's device is found at: the port name, or
// the client's address when the port is a terminal-server port.
std::wstring staticModeAddress(HANDLE printer, const std::wstring& portName);

bool verifyStaticModePrinter(LumoraPrintingExtension& extension, HANDLE printer, HWND parent, bool staticUpdate,
                             bool showDialog);

} // namespace LumoraUI
