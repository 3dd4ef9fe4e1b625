// Spooler queries whose answers come in global-memory blocks (GlobalAlloc
// GPTR) that the caller frees with GlobalFree, also after a false result.
// The thread's last error is the spooler's on failure.
#pragma once

#include "core/Win32.h"

#include <string>
#include <vector>

// GetPrinterW at the level into a block sized by a first call; the block
// (when one was allocated) is left in *info whatever the result.
bool getPrinterAlloc(HANDLE printer, DWORD level, BYTE** info);
// The queue's name from its level-1 information; empty when that fails.
std::wstring getPrinterName(HANDLE printer);
// The queue's port name(s) from its level-5 information; empty when that fails.
std::wstring getPrinterPortName(HANDLE printer);
// A printer-data number: true only for a value of exactly four bytes, so a
// shorter or longer value never passes for one. *value is untouched on false.
bool getPrinterDword(HANDLE printer, const wchar_t* name, DWORD& value);
// GetJobW at level 1 or 2 into a block of the need plus 4096 (level 1) or
// 8192 (level 2) bytes, so the job may grow between the calls; the block
// is left in *info only on success. False when the job is gone.
bool getJobAlloc(HANDLE printer, DWORD jobId, DWORD level, BYTE** info);
// The same for GetPrinterDriverW of the current environment.
bool getPrinterDriverAlloc(HANDLE printer, DWORD level, BYTE** info);
// Every job of the queue at the level, or null (no handle, no jobs, failure;
// then *count is unchanged unless the second call failed). The block has
// 1024 bytes to spare.
BYTE* enumJobsAlloc(HANDLE printer, DWORD level, DWORD* count);
// Printers at the level: PRINTER_ENUM_NAME of the name (a server, a
// provider such as "Client Network!\\Client") when one is given, else the
// local ones. The block has 1024 bytes to spare; null with the spooler's
// error kept on failure.
BYTE* enumPrintersAlloc(const wchar_t* name, DWORD level, DWORD* count);
// Ports of the server (null: local) at the level, 128 bytes to spare.
BYTE* enumPortsAlloc(const wchar_t* server, DWORD level, DWORD* count);
// The dependent files of a DRIVER_INFO_3 at the start of the block, read
// only within its blockSize bytes; blockSize 0 (a record of the caller's)
// reads up to kMaxDependentFileChars characters of the list.
inline constexpr size_t kMaxDependentFileChars = 65536;
std::vector<std::wstring> dependentFilesInBlock(const BYTE* block, SIZE_T blockSize);
// The number of jobs in the queue, and in *jobId the id of the last one;
// *jobId is not written when the queue is empty. Without a handle the
// printer is opened by name for the call.
DWORD getLastJobId(HANDLE printer, const wchar_t* printerName, DWORD* jobId);
// OpenPrinterW with no data type and no device mode; the caller closes the
// handle with ClosePrinter.
bool openPrinterWithAccess(const std::wstring& printerName, HANDLE* printer, ACCESS_MASK access);
// The queue's default device mode, as its driver completes it: its size,
// the current one, then the driver's answer to it (DM_IN_BUFFER |
// DM_IN_PROMPT | DM_OUT_BUFFER; a refused prompt keeps the current one)
// set as the queue's (level 8). deviceName, when given, is handed to the
// driver with the handle. False when the driver gives no size or one out of
// reason, refuses to give its mode, writes one larger than the buffer, or
// the spooler refuses it.
bool setDefaultDevMode(HANDLE printer, const wchar_t* deviceName = nullptr);
