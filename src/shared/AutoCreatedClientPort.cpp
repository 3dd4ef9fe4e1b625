#include "shared/AutoCreatedClientPort.h"

#include "core/ScopedHandle.h"
#include "shared/PrinterPort.h"

#include <vector>

namespace autocreated {

bool isAutoCreatedPortPrinter(const wchar_t* printerName)
{
    if (!printerName || !*printerName)
        return false;
    std::wstring name = printerName;
    HANDLE handle = nullptr;
    PRINTER_DEFAULTSW defaults = {nullptr, nullptr, PRINTER_ACCESS_USE};
    if (!OpenPrinterW(name.data(), &handle, &defaults))
        return false;
    const ScopedPrinter printer(handle);
    return ::isAutoCreatedPortPrinter(printer.get());
}

bool splitClientPrinterName(const std::wstring& printerName, std::wstring& server, std::wstring& ownName)
{
    const size_t close = printerName.rfind(L')');
    if (close == std::wstring::npos || close == 0)
        return false;
    const size_t blank = printerName.rfind(L' ', close - 1);
    if (blank == std::wstring::npos || blank + 1 >= close)
        return false;
    server = L"\\\\" + printerName.substr(blank + 1, close - blank - 1);
    ownName = ownPrinterName(printerName);
    return true;
}

std::wstring ownPrinterName(const std::wstring& printerName)
{
    const size_t open = printerName.rfind(L'(');
    const size_t cut = open == std::wstring::npos || open == 0 ? std::wstring::npos : printerName.rfind(L' ', open - 1);
    return cut == std::wstring::npos ? printerName : printerName.substr(0, cut);
}

bool getAutoCreatedClientPort(HANDLE printer, std::wstring& port)
{
    if (!printer)
        return false;
    DWORD type = 0, needed = 0;
    const DWORD sizeResult = GetPrinterDataW(printer, const_cast<wchar_t*>(kClientPortValue), &type, nullptr, 0, &needed);
    if ((sizeResult != ERROR_MORE_DATA && sizeResult != ERROR_SUCCESS) || needed == 0 || needed > 0x100000)
        return false;
    // A margin past the reported size, zeroed: the value may lack its terminator.
    std::vector<BYTE> block(needed + 128, 0);
    DWORD read = 0;
    if (GetPrinterDataW(printer, const_cast<wchar_t*>(kClientPortValue), &type, block.data(), needed, &read) !=
            ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return false;
    const auto* text = reinterpret_cast<const wchar_t*>(block.data());
    size_t length = 0;
    while (length < read / sizeof(wchar_t) && text[length])
        ++length;
    port.assign(text, length);
    return true;
}

} // namespace autocreated
