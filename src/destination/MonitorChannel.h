// A client of one port monitor through the spooler's XcvDataW, falling back
// to the Keravin monitor's pipe "\\.\pipe\QZKRVMon" when the spooler denies
// the open (ERROR_ACCESS_DENIED). Storing printer data, adding a printer and
// printer commands always go through the pipe. Failures return false with
// the Win32 code as the thread's last error; no lock: one channel per user.
#pragma once

#include "core/ScopedHandle.h"
#include "core/Win32.h"

#include <string>

namespace MPrint {
class PrinterDataValues;
}

// The maker's port monitor, which the module's commands mostly address.
inline constexpr wchar_t kKeravinMonitorName[] = L"QZ Keravin Print Monitor";

class MonitorChannel {
public:
    explicit MonitorChannel(const wchar_t* monitorName);
    ~MonitorChannel();
    MonitorChannel(const MonitorChannel&) = delete;
    MonitorChannel& operator=(const MonitorChannel&) = delete;

    bool openMonitor();
    bool open(const wchar_t* monitorName);
    bool openPort(const wchar_t* portName);
    bool xcvData(const wchar_t* dataName, const BYTE* input, DWORD inputSize, BYTE* output, DWORD outputSize,
                 DWORD* needed);
    DWORD getStatus() const { return lastStatus_; }
    bool close();

    bool setPrinterData(const wchar_t* printerName, const MPrint::PrinterDataValues* batch);
    bool addPrinter(const wchar_t* firstText, const wchar_t* secondText);
    bool sendPrinterCommand(DWORD opcode, const wchar_t* printerName, const wchar_t* argument);

private:
    using XcvDataFn = BOOL(WINAPI*)(HANDLE, PCWSTR, PBYTE, DWORD, PBYTE, DWORD, PDWORD, PDWORD);

    bool openText(const std::wstring& text);
    bool openOverPipe(const std::wstring& text);
    // Starts a request of the given size and opcode in the zeroed message buffer.
    BYTE* beginMessage(ULONGLONG size, DWORD opcode);
    bool transact(DWORD size);
    // Opcodes 5, 7 and printer commands: open over the pipe, exchange, close.
    bool monitorRequest(DWORD size);

    bool isOpen() const { return remote_ != kClosed || xcv_.valid(); }

    static constexpr ULONGLONG kClosed = ~0ULL;

    ScopedPrinter xcv_;          // through the spooler: its Xcv handle
    ULONGLONG remote_ = kClosed; // through the pipe: the monitor's handle
    XcvDataFn xcvDataW_ = nullptr;
    ScopedModule spooler_;
    DWORD lastStatus_ = 0;
    GlobalBlock<BYTE> buffer_; // GMEM_FIXED, grown only
    DWORD capacity_ = 0;
    bool pipeMode_ = false;
    std::wstring monitorName_;
};
