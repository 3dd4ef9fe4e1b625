// The entries the maker's print monitor and port components switch a
// queue's port and follow Waypost jobs through. No exception leaves them: a
// failure answers FALSE.
#include "core/Win32.h"
#include "extension/MonitorComponentEntries.h"

extern "C" BOOL WINAPI SetPrinterPort(LPCWSTR printerName, LPCWSTR portName)
{
    try {
        return LumoraUI::setPrinterPort(printerName, portName);
    } catch (...) {
        return FALSE;
    }
}

extern "C" BOOL WINAPI GetWaypostJobInfo(DWORD jobId, LPSTR printerName, void** block)
{
    try {
        return LumoraUI::getWaypostJobInfo(jobId, printerName, block);
    } catch (...) {
        return FALSE;
    }
}

extern "C" BOOL WINAPI FinishedWaypostJob(DWORD jobId)
{
    try {
        return LumoraUI::finishedWaypostJob(jobId);
    } catch (...) {
        return FALSE;
    }
}
