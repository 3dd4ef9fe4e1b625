#include "extension/StaticModeSteps.h"

#include "extension/KRVProperties.h"

#include <atomic>

namespace {

StaticModeSteps g_default;
std::atomic<StaticModeSteps*> g_current{nullptr};

constexpr wchar_t kUpdateNow[] = L"LumoUpdateNow";

} // namespace

bool StaticModeSteps::updateNowMarker(MarkerOperation operation, HANDLE printer, DWORD& value, bool* protectedMode)
{
    if (!printer)
        return false;
    const bool held = isUpdateNowProtectedMode();
    if (protectedMode)
        *protectedMode = held;
    switch (operation) {
    case kSet:
        if (held && value == 0)
            return false;
        return SetPrinterDataW(printer, const_cast<wchar_t*>(kUpdateNow), REG_DWORD, reinterpret_cast<BYTE*>(&value),
                               sizeof(value)) == ERROR_SUCCESS;
    case kGet: {
        DWORD type = 0, size = 0, read = 0;
        if (GetPrinterDataW(printer, const_cast<wchar_t*>(kUpdateNow), &type, reinterpret_cast<BYTE*>(&read),
                            sizeof(read), &size) != ERROR_SUCCESS ||
            size != sizeof(read))
            return false;
        value = read;
        return true;
    }
    case kDelete:
        return held || DeletePrinterDataW(printer, const_cast<wchar_t*>(kUpdateNow)) == ERROR_SUCCESS;
    }
    return false;
}

bool StaticModeSteps::isUpdateNowProtectedMode()
{
    return getProcessProperty(krv::kUpdateNowProtectedMode) != 0;
}

bool StaticModeSteps::verifyStaticModePrinter(LumoraPrintingExtension&, HANDLE, HWND, bool, bool)
{
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return true; // only an unreadable printer record is a failure
}

bool StaticModeSteps::setPrinterPortByAddress(LumoraPrintingExtension&, const std::wstring&, const std::wstring&, bool)
{
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return false;
}

void StaticModeSteps::launchUpdateStaticModePrinter(const PROPSHEETUI_INFO*, LPARAM)
{
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
}

bool StaticModeSteps::setupAutoCreatedClientPort(HANDLE, std::wstring&)
{
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return false;
}

StaticModeSteps& StaticModeSteps::current()
{
    StaticModeSteps* steps = g_current.load();
    return steps ? *steps : g_default;
}

void StaticModeSteps::set(StaticModeSteps* steps)
{
    g_current = steps;
}
