// The entries the maker's print monitor and the driver report jobs through.
// No exception leaves them: a failure answers FALSE.
#include "core/Win32.h"
#include "extension/JobAccounting.h"

extern "C" BOOL WINAPI GetJobAccountingInfo(DWORD jobId, LPSTR printerName, void** block)
{
    try {
        return LumoraUI::getJobAccountingInfo(jobId, printerName, block);
    } catch (...) {
        return FALSE;
    }
}

extern "C" BOOL WINAPI FinishedJobAccounting(DWORD jobId)
{
    try {
        return LumoraUI::finishedJobAccounting(jobId);
    } catch (...) {
        return FALSE;
    }
}

extern "C" BOOL WINAPI QZDrvSetJobAttrInfo(HANDLE, PDEVMODEW mode, DWORD level, PVOID attributes)
{
    try {
        return LumoraUI::setJobAttributes(mode, level, attributes);
    } catch (...) {
        return FALSE;
    }
}
