// The entries the maker's print monitor and the driver report jobs through.
// No exception leaves them: a failure answers FALSE.
#include "core/ProfileScope.h"
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

extern "C" BOOL WINAPI QZDrvSetJobAttrInfo(HANDLE printer, PDEVMODEW mode, DWORD level, PVOID attributes)
{
    PROFILE_SCOPE("LumoraUI::QZDrvSetJobAttrInfo(%X, %d)", static_cast<unsigned>(reinterpret_cast<UINT_PTR>(printer)),
                  static_cast<int>(level));
    try {
        return LumoraUI::setJobAttributes(mode, level, attributes);
    } catch (...) {
        return FALSE;
    }
}
