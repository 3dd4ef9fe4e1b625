// The driver's printer and driver events, forwarded from its event handlers
// in the spooler. Each answers 0; the work keeps its exceptions in.
#include "core/Win32.h"
#include "extension/PrinterEvents.h"

extern "C" int WINAPI PrinterEventInitPre(LPCWSTR printerName, int event, DWORD, LPARAM)
{
    return LumoraUI::printerEventInitPre(printerName, event);
}

extern "C" int WINAPI PrinterEventInitPost(LPCWSTR printerName, int event, DWORD, LPARAM)
{
    return LumoraUI::printerEventInitPost(printerName, event);
}

extern "C" int WINAPI PrinterEventRefresh()
{
    return LumoraUI::printerEventRefresh();
}

extern "C" int WINAPI PrinterEventDelete(LPCWSTR, int, DWORD, LPARAM)
{
    return 0;
}

extern "C" int WINAPI DriverEventInit()
{
    return LumoraUI::driverEventInit();
}

extern "C" int WINAPI DriverEventDelete()
{
    return 0;
}
