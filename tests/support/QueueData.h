// Printer data of stand-in queues as tests compare it. Kept apart from
// TestSpooler.cpp so that a test linking only the control surface does not
// import the spooler's functions itself.
#pragma once

#include "core/ScopedHandle.h"
#include "core/Win32.h"

#include <map>
#include <optional>
#include <string>
#include <utility>

namespace testspool {

// OpenPrinterW with that access; an empty owner when refused.
ScopedPrinter openQueue(const std::wstring& name, ACCESS_MASK access = PRINTER_ALL_ACCESS);

// Every value of a printer-data key as EnumPrinterDataExW answers it:
// name -> (type, data bytes). Empty when the key cannot be read.
using DataValues = std::map<std::wstring, std::pair<DWORD, std::string>>;
DataValues enumDataValues(HANDLE printer, const std::wstring& key);

// A queue of this process whose driver is its own (unidrv.dll in the
// driver directory), so that the driver's registry key can carry values;
// the queue and the key go with the scope.
class DriverQueue {
public:
    explicit DriverQueue(const std::wstring& base);
    ~DriverQueue();
    DriverQueue(const DriverQueue&) = delete;
    DriverQueue& operator=(const DriverQueue&) = delete;
    const std::wstring& name() const { return name_; }
    // The queue exists and its driver key is known.
    bool ready() const { return error_ == ERROR_SUCCESS && !keyPath_.empty(); }
    // "VerifyPDL" of the driver; none removes it.
    bool setVerifyPdl(const std::optional<std::wstring>& value);

private:
    std::wstring driver_;
    std::wstring name_;
    DWORD error_ = ERROR_SUCCESS;
    std::wstring keyPath_;
};

// Value bytes: raw bytes, a UTF-16 text with its NUL, a little-endian number.
std::string bytesOf(const void* data, size_t size);
std::string textBytes(const std::wstring& text);
std::string dwordBytes(DWORD value);

} // namespace testspool
