// The driver user interface's property-sheet callbacks: for a queue that
// takes the printing extension they run its document-properties and
// printer-properties pages and leave the markers that tell the next start of
// document whether to prompt; for a queue in static mode they apply the
// managed print policy to it instead. They also copy the driver's directory
// service values between the printer data and the "DsDriver" key.
// Every header the driver hands in is checked before it is read.
#pragma once

#include "core/Win32.h"

#include <compstui.h>

#include <string>

namespace LumoraUI {

// The headers the driver's user interface passes (as published for
// printer drivers); only their leading members are read.
struct DocumentPropertyHeader {
    WORD cbSize;
    WORD Reserved;
    HANDLE hPrinter;
    LPWSTR pszPrinterName;
    PDEVMODEW pdmIn;
    PDEVMODEW pdmOut;
    DWORD cbOut;
    DWORD fMode;
};
struct DevicePropertyHeader {
    WORD cbSize;
    WORD Flags;
    HANDLE hPrinter;
    LPWSTR pszPrinterName;
};
struct OemCuiParam {
    DWORD cbSize;
    void* poemuiobj;
    HANDLE hPrinter;
    LPWSTR pPrinterName;
};

inline constexpr int kOemDocumentProperties = 1; // OEMCUIP_DOCPROP
inline constexpr INT_PTR kCancelled = 2;

// The sheet's printer: the header is the sheet's lParamInit, or lParam
// without sheet information. A document header whose name does not open
// while its input device mode names another device gives that device's
// name (its 32 characters at most). Null, and an empty name, without a
// usable header.
HANDLE getDocumentPropertyPrinter(const PROPSHEETUI_INFO* sheet, LPARAM lParam, std::wstring& printerName);

int docPropSheetInit(const PROPSHEETUI_INFO* sheet, LPARAM lParam);
int docPropSheetDestroy(const PROPSHEETUI_INFO* sheet, LPARAM lParam);
int devPropSheetInit(const PROPSHEETUI_INFO* sheet, LPARAM lParam);
int devPropSheetDestroy(const PROPSHEETUI_INFO* sheet, LPARAM lParam);
int commonUIProp(DWORD mode, const OemCuiParam* parameters);
int documentPropertySheets(const PROPSHEETUI_INFO* sheet, LPARAM lParam);
int devicePropertySheetsPre(const PROPSHEETUI_INFO* sheet, LPARAM lParam);
int devicePropertySheetsPost(const PROPSHEETUI_INFO* sheet, LPARAM lParam);

// The extension's pages for the named printer: 0, or 2 when the user cancelled.
INT_PTR documentProperties(const wchar_t* printerName);
INT_PTR printerProperties(const wchar_t* printerName);

} // namespace LumoraUI
