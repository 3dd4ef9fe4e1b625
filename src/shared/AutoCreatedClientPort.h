// The destination of a queue that a remote-desktop connection made for a
// client's printer: the client named in the queue's name, and the port
// found for it, kept in the queue's printer data "LumoAutoCreatedClientPort".
#pragma once

#include "core/Win32.h"

#include <string>

namespace autocreated {

inline constexpr wchar_t kClientPortValue[] = L"LumoAutoCreatedClientPort";

// The printer prints to a terminal-server or Citrix client port; false for
// a null name or a printer that cannot be opened.
bool isAutoCreatedPortPrinter(const wchar_t* printerName);

// From a name such as "Office 1 (from CLIENT1) in session 3": the client's
// server ("\\CLIENT1", the word before the last ")") and the printer's own
// name ("Office 1", cut at the blank before the last "("). False, with both
// untouched, when the name holds no ")" or no word before it; a name
// without "(" or without a blank before it is its own name.
bool splitClientPrinterName(const std::wstring& printerName, std::wstring& server, std::wstring& ownName);
// The printer's own name alone: cut at the blank before the last "(", or
// the whole name when there is none.
std::wstring ownPrinterName(const std::wstring& printerName);

// The stored client port, however long; false (port untouched) when there
// is none or it cannot be read.
bool getAutoCreatedClientPort(HANDLE printer, std::wstring& port);

} // namespace autocreated
