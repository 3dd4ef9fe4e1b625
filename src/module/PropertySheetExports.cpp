// The driver user interface's property-sheet callbacks. Each answers what
// the driver expects (0 to go on; -1 or 2 when the user cancelled the
// extension's page); the work checks the headers and keeps exceptions in.
#include "core/Win32.h"
#include "ui/PropertySheetEvents.h"

extern "C" int WINAPI DocPropSheetInit(PPROPSHEETUI_INFO sheet, LPARAM lParam)
{
    return LumoraUI::docPropSheetInit(sheet, lParam);
}

extern "C" int WINAPI DocPropSheetDestroy(PPROPSHEETUI_INFO sheet, LPARAM lParam)
{
    return LumoraUI::docPropSheetDestroy(sheet, lParam);
}

extern "C" int WINAPI DevPropSheetInit(PPROPSHEETUI_INFO sheet, LPARAM lParam)
{
    return LumoraUI::devPropSheetInit(sheet, lParam);
}

extern "C" int WINAPI DevPropSheetDestroy(PPROPSHEETUI_INFO sheet, LPARAM lParam)
{
    return LumoraUI::devPropSheetDestroy(sheet, lParam);
}

extern "C" int WINAPI CommonUIProp(DWORD mode, void* parameters)
{
    return LumoraUI::commonUIProp(mode, static_cast<const LumoraUI::OemCuiParam*>(parameters));
}

extern "C" int WINAPI QZDrvDocumentPropertySheets(PPROPSHEETUI_INFO sheet, LPARAM lParam)
{
    return LumoraUI::documentPropertySheets(sheet, lParam);
}

extern "C" int WINAPI QZDrvDevicePropertySheetsPre(PPROPSHEETUI_INFO sheet, LPARAM lParam)
{
    return LumoraUI::devicePropertySheetsPre(sheet, lParam);
}

extern "C" int WINAPI QZDrvDevicePropertySheetsPost(PPROPSHEETUI_INFO sheet, LPARAM lParam)
{
    return LumoraUI::devicePropertySheetsPost(sheet, lParam);
}
