#include "support/QueueData.h"

#include <winspool.h>

#include <vector>

namespace testspool {

ScopedPrinter openQueue(const std::wstring& name, ACCESS_MASK access)
{
    HANDLE handle = nullptr;
    PRINTER_DEFAULTSW defaults = {nullptr, nullptr, access};
    if (!OpenPrinterW(const_cast<wchar_t*>(name.c_str()), &handle, &defaults))
        return ScopedPrinter();
    return ScopedPrinter(handle);
}

DataValues enumDataValues(HANDLE printer, const std::wstring& key)
{
    DataValues values;
    DWORD needed = 0, count = 0;
    EnumPrinterDataExW(printer, key.c_str(), nullptr, 0, &needed, &count);
    std::vector<BYTE> block(needed + 1);
    if (EnumPrinterDataExW(printer, key.c_str(), block.data(), needed, &needed, &count) != ERROR_SUCCESS)
        return values;
    const auto* items = reinterpret_cast<const PRINTER_ENUM_VALUESW*>(block.data());
    for (DWORD i = 0; i < count; ++i)
        values[items[i].pValueName] = {items[i].dwType,
                                       std::string(reinterpret_cast<const char*>(items[i].pData), items[i].cbData)};
    return values;
}

std::string textBytes(const std::wstring& text)
{
    return std::string(reinterpret_cast<const char*>(text.c_str()), (text.size() + 1) * sizeof(wchar_t));
}

std::string dwordBytes(DWORD value)
{
    return std::string(reinterpret_cast<const char*>(&value), sizeof(value));
}

} // namespace testspool
