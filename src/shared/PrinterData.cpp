#include "shared/PrinterData.h"

#include "core/ScopedHandle.h"
#include "core/ValueText.h"
#include "shared/SpoolerQueries.h"

DWORD readPrinterDataText(HANDLE printer, const wchar_t* key, const wchar_t* value, std::wstring& text,
                          DWORD bufferSize)
{
    if (!printer)
        return ERROR_INVALID_HANDLE;
    return readValueText(
        [&](DWORD* type, BYTE* data, DWORD* size) {
            DWORD needed = 0;
            const DWORD result =
                key ? GetPrinterDataExW(printer, key, value, type, data, *size, &needed)
                    : GetPrinterDataW(printer, const_cast<wchar_t*>(value), type, data, *size, &needed);
            *size = needed;
            return result;
        },
        text, bufferSize);
}

DWORD getPrinterDataDword(HANDLE printer, const wchar_t* value, DWORD* number)
{
    DWORD type = 0;
    DWORD needed = 0;
    return GetPrinterDataW(printer, const_cast<wchar_t*>(value), &type, reinterpret_cast<BYTE*>(number),
                           sizeof(DWORD), &needed);
}

bool getPrinterDataExDword(HANDLE printer, const wchar_t* key, const wchar_t* value, DWORD* number)
{
    if (!printer || !key || !*key || !value || !*value || !number)
        return false;
    DWORD type = 0;
    DWORD needed = 0;
    DWORD read = 0;
    if (GetPrinterDataExW(printer, key, value, &type, reinterpret_cast<BYTE*>(&read), sizeof(read), &needed) !=
            ERROR_SUCCESS ||
        type != REG_DWORD)
        return false;
    *number = read;
    return true;
}

bool getPrinterDataExString(HANDLE printer, const wchar_t* key, const wchar_t* value, std::wstring& text)
{
    if (!printer || !key || !*key || !value || !*value)
        return false;
    return readPrinterDataText(printer, key, value, text) == ERROR_SUCCESS;
}

bool isLumoraPrinter(HANDLE printer)
{
    DWORD flag = 0;
    return getPrinterDataDword(printer, L"LumoraPrinter", &flag) == ERROR_SUCCESS && flag != 0;
}

DWORD getPdlTypeData(HANDLE printer, DWORD* pdlType)
{
    return getPrinterDataDword(printer, L"QZPDLType", pdlType);
}

bool isPrintAutoConfigEnabled(HANDLE printer)
{
    std::wstring setting;
    return !getPrinterDataExString(printer, L"DMCDriverData\\Physical", L"PRINT_AUTO_CONFIG", setting) ||
           setting != L"Disabled";
}

std::wstring getNovellSnmpAddress(const std::wstring& printerName)
{
    ScopedPrinter printer;
    if (!openPrinterWithAccess(printerName, printer.receive(), PRINTER_ACCESS_USE))
        return std::wstring();
    std::wstring value;
    // The value as a 260-character buffer holds it.
    if (readPrinterDataText(printer.get(), nullptr, L"NovellSNMPAddressAndPort", value, 260 * sizeof(wchar_t)) !=
        ERROR_SUCCESS)
        return std::wstring();
    const size_t colon = value.rfind(L':');
    return colon == std::wstring::npos ? value : value.substr(0, colon);
}
