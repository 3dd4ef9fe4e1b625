// One local print queue: its name, its driver's name, a description built
// from printer data and the driver's page description language, and a
// rename to a free "<name> (Copy n)".
#pragma once

#include "core/ScopedHandle.h"
#include "core/Win32.h"

#include <string>

class SpoolerPrinter {
public:
    // Opens the queue with full access (when the name is not empty).
    explicit SpoolerPrinter(const std::wstring& printerName);
    // Borrows the handle.
    explicit SpoolerPrinter(HANDLE printer);
    SpoolerPrinter(const SpoolerPrinter&) = delete;
    SpoolerPrinter& operator=(const SpoolerPrinter&) = delete;

    void close();
    const std::wstring& getPrinterName() const { return printerName_; }
    const std::wstring& getDriverName() const { return driverName_; }
    // "<data text> KRV <PDL word>", empty while a part is missing.
    const std::wstring& getDescription();
    // Renames the queue to the first free name derived from newName; the
    // object then carries the name the queue really got.
    bool rename(const std::wstring& newName);

    // The last of "PS", "PCL 5", "PCL 6", "PCL 3", "XPS" found in the driver name.
    static std::wstring pdlWordOf(const std::wstring& driverName);

private:
    void readDriverName();
    std::wstring freeName(const std::wstring& requested) const;

    std::wstring printerName_;
    std::wstring driverName_;
    std::wstring description_;
    std::wstring dataText_;
    std::wstring familyWord_ = L"KRV";
    std::wstring pdlWord_;
    HANDLE printer_ = nullptr;  // borrowed, or owned_'s
    ScopedPrinter owned_;
};
