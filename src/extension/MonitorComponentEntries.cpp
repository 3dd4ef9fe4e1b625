#include "extension/MonitorComponentEntries.h"

#include "core/ProfileScope.h"
#include "core/ScopedHandle.h"
#include "extension/LXESingleton.h"
#include "extension/LumoraPrintingExtension.h"
#include "shared/SpoolerQueries.h"

namespace LumoraUI {

namespace {

constexpr DWORD kChangePortOnly = 2;
constexpr DWORD kDefaultChangeValue = 3;

} // namespace

bool setPrinterPort(const wchar_t* printerName, const wchar_t* portName)
{
    if (!printerName || !portName)
        return false;
    PROFILE_SCOPE("LumoraUI::SetPrinterPort(%S, %S,,)", printerName, portName);
    HANDLE opened = nullptr;
    if (!openPrinterWithAccess(printerName, &opened, PRINTER_ALL_ACCESS))
        return false;
    bool changePortOnly = false;
    {
        ScopedPrinter printer(opened);
        DWORD value = kDefaultChangeValue;
        if (!getPrinterDword(printer.get(), L"DMCEACValue", value))
            value = kDefaultChangeValue;
        changePortOnly = value == kChangePortOnly;
    }
    SetLastError(ERROR_INVALID_PARAMETER);
    ExtensionHold hold;
    return hold.get() && hold.get()->setPrinterPortByAddress(printerName, portName, changePortOnly);
}

bool getWaypostJobInfo(DWORD jobId, const char* printerName, void** block)
{
    if (!block || *block) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    ExtensionHold hold;
    return hold.get() && hold.get()->getWaypostJobInfo(jobId, printerName, block);
}

bool finishedWaypostJob(DWORD jobId)
{
    ExtensionHold hold;
    return hold.get() && hold.get()->finishWaypostJob(jobId);
}

} // namespace LumoraUI
