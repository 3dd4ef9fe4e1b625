// A batch of printer-data values waiting to be stored by the port monitor:
// at most one entry per value name (exact comparison), in insertion order.
// A value added under a name already present replaces that entry's type and data.
// A deletion is an entry of type REG_NONE without data: the monitor removes
// that value (an absent one counts as removed) instead of storing it.
#pragma once

#include "core/Win32.h"

#include <memory>
#include <string>
#include <vector>

struct PrinterDataValue {
    DWORD type = 0;           // REG_SZ, REG_BINARY, REG_DWORD, REG_MULTI_SZ, or REG_NONE to delete
    std::wstring name;
    DWORD size = 0;           // bytes of data
    std::unique_ptr<BYTE[]> data;
};

namespace MPrint {

class PrinterDataValues {
public:
    PrinterDataValues() = default;
    virtual ~PrinterDataValues();
    PrinterDataValues(const PrinterDataValues&) = delete;
    PrinterDataValues& operator=(const PrinterDataValues&) = delete;

    void addString(const wchar_t* name, const wchar_t* text);
    void addDword(const wchar_t* name, DWORD value);
    void addBinary(const wchar_t* name, DWORD size, const BYTE* bytes);
    void addMultiString(const wchar_t* name, DWORD size, const BYTE* bytes);
    void addDeletion(const wchar_t* name);

    // The entries in insertion order; *count receives their number.
    PrinterDataValue* const* getValues(DWORD* count) const;
    // The entry of that exact name, or null.
    const PrinterDataValue* find(const wchar_t* name) const;

private:
    void add(const wchar_t* name, DWORD type, DWORD size, const BYTE* bytes);

    std::vector<PrinterDataValue*> entries_;  // owned
};

} // namespace MPrint
