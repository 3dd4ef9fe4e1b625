// Typed reads of a queue's printer data. Strings go through readValueText
// (core/ValueText.h), so data without a terminator never runs past its size.
// Nothing here writes printer data.
#pragma once

#include "core/Win32.h"

#include <string>

// The value in "PrinterDriverData" (key null, GetPrinterDataW) or in a named
// key (GetPrinterDataExW). bufferSize 0 sizes the read by a first call;
// otherwise one read into that many bytes. Answers the spooler's code; the
// text is set only on ERROR_SUCCESS.
DWORD readPrinterDataText(HANDLE printer, const wchar_t* key, const wchar_t* value, std::wstring& text,
                          DWORD bufferSize = 0);

// GetPrinterDataW into 4 bytes; the spooler's code. *number is written by
// the spooler (any type that fits), so use it only after ERROR_SUCCESS.
DWORD getPrinterDataDword(HANDLE printer, const wchar_t* value, DWORD* number);

// For a handle and non-empty names: a REG_DWORD of the key. *number is
// unchanged on false.
bool getPrinterDataExDword(HANDLE printer, const wchar_t* key, const wchar_t* value, DWORD* number);
// For a handle and non-empty names: the key's value as text (sized by a
// first call). text is unchanged on false.
bool getPrinterDataExString(HANDLE printer, const wchar_t* key, const wchar_t* value, std::wstring& text);

// "LumoraPrinter" reads and is not 0.
bool isLumoraPrinter(HANDLE printer);
// "QZPDLType" into the 4 bytes; the spooler's code.
DWORD getPdlTypeData(HANDLE printer, DWORD* pdlType);
// False only when "PRINT_AUTO_CONFIG" in "DMCDriverData\Physical" is exactly "Disabled".
bool isPrintAutoConfigEnabled(HANDLE printer);
// "NovellSNMPAddressAndPort" of the named queue up to its last ':' (all of it
// without one); empty when the queue or the value cannot be read.
std::wstring getNovellSnmpAddress(const std::wstring& printerName);
