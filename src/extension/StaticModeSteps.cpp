#include "extension/StaticModeSteps.h"

#include "core/ReplaceableSet.h"
#include "extension/LumoraPrintingExtension.h"
#include "extension/PrintTimeDialogs.h"
#include "extension/RundllEntries.h"
#include "extension/StaticPrinterUpdate.h"

namespace {

ReplaceableSet<StaticModeSteps> g_installed;

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

bool StaticModeSteps::verifyStaticModePrinter(LumoraPrintingExtension& extension, HANDLE printer, HWND parent,
                                              bool staticUpdate, bool showDialog)
{
    return LumoraUI::verifyStaticModePrinter(extension, printer, parent, staticUpdate, showDialog);
}

bool StaticModeSteps::setPrinterPortByAddress(LumoraPrintingExtension& extension, const std::wstring& printerName,
                                              const std::wstring& address, bool changePortOnly)
{
    return LumoraUI::setPrinterPortByAddress(extension, printerName, address, changePortOnly);
}

void StaticModeSteps::launchUpdateStaticModePrinter(const PROPSHEETUI_INFO* sheet, LPARAM lParam)
{
    rundll::launchUpdateStaticModePrinter(sheet, lParam);
}

bool StaticModeSteps::setupAutoCreatedClientPort(HANDLE printer, std::wstring& port)
{
    return PrintTimeDialogs::current().setupAutoCreatedClientPort(LumoraPrintingExtension::current(), printer, port);
}

StaticModeSteps& StaticModeSteps::current()
{
    return g_installed.current();
}

void StaticModeSteps::set(StaticModeSteps* steps)
{
    g_installed.set(steps);
}
