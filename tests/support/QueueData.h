// Printer data of stand-in queues as tests compare it. Kept apart from
// TestSpooler.cpp so that a test linking only the control surface does not
// import the spooler's functions itself.
#pragma once

#include "core/ScopedHandle.h"
#include "core/Win32.h"

#include <map>
#include <string>
#include <utility>

namespace testspool {

// OpenPrinterW with that access; an empty owner when refused.
ScopedPrinter openQueue(const std::wstring& name, ACCESS_MASK access = PRINTER_ALL_ACCESS);

// Every value of a printer-data key as EnumPrinterDataExW answers it:
// name -> (type, data bytes). Empty when the key cannot be read.
using DataValues = std::map<std::wstring, std::pair<DWORD, std::string>>;
DataValues enumDataValues(HANDLE printer, const std::wstring& key);

// Value bytes: a UTF-16 text with its NUL, a little-endian number.
std::string textBytes(const std::wstring& text);
std::string dwordBytes(DWORD value);

} // namespace testspool
