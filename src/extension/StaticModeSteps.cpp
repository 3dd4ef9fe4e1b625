#include "extension/StaticModeSteps.h"

#include "extension/LumoraPrintingExtension.h"

#include <atomic>

namespace {

StaticModeSteps g_default;
std::atomic<StaticModeSteps*> g_current{nullptr};

} // namespace

bool StaticModeSteps::updateNowMarker(MarkerOperation operation, HANDLE printer, DWORD& value, bool* protectedMode)
{
    bool held = false;
    const bool done = LumoraPrintingExtension::updateNowMarker(operation, printer, value, held);
    if (protectedMode && printer)
        *protectedMode = held;
    return done;
}

bool StaticModeSteps::isUpdateNowProtectedMode()
{
    return LumoraPrintingExtension::isUpdateNowProtectedMode();
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
