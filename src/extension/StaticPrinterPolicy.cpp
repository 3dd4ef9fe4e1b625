#include "extension/StaticPrinterPolicy.h"

#include "core/ProfileScope.h"
#include "core/ScopedHandle.h"
#include "destination/MonitorChannel.h"
#include "destination/PrinterDataValues.h"
#include "destination/PrinterSettings.h"
#include "extension/KRVProperties.h"
#include "extension/LXESingleton.h"
#include "extension/LumoraPrintingExtension.h"
#include "extension/ManagedPrintPolicy.h"
#include "extension/ModuleEntry.h"
#include "extension/PrinterFeaturesApplicator.h"
#include "extension/StaticModeSteps.h"
#include "shared/SpoolerQueries.h"

#include <cwchar>
#include <string>

namespace LumoraUI {

namespace {

constexpr size_t kMaxNameChars = 1024;

// "LumoAutoCreated" 1 becomes 2, through the maker's monitor when the spooler
// refuses; true when it was written.
bool markAutoCreatedApplied(HANDLE printer, const std::wstring& printerName)
{
    DWORD value = 0;
    if (!getPrinterDword(printer, L"LumoAutoCreated", value) || value != 1)
        return false;
    DWORD two = 2;
    const DWORD error = SetPrinterDataW(printer, const_cast<wchar_t*>(L"LumoAutoCreated"), REG_DWORD,
                                        reinterpret_cast<BYTE*>(&two), sizeof(two));
    if (error == ERROR_SUCCESS)
        return true;
    if (error != ERROR_ACCESS_DENIED)
        return false;
    MPrint::PrinterDataValues batch;
    batch.addDword(L"LumoAutoCreated", 2);
    MonitorChannel channel(kKeravinMonitorName);
    return channel.setPrinterData(printerName.c_str(), &batch);
}

} // namespace

void applyPolicySettingsToStaticPrinter(HANDLE printer, const wchar_t* printerName)
{
    PROFILE_SCOPE("LumoraUI::applyPolicySettingsToStaticPrinter(%X, %S)",
                  static_cast<unsigned>(reinterpret_cast<UINT_PTR>(printer)), printerName ? printerName : L"");
    if (printer)
        PrinterSettings(printer).deleteValue(L"LumoUpdatePolicy");
    if (isProcessMarker(krv::kApplyPolicy))
        return; // already running in this process
    ProcessMarkerScope applying(krv::kApplyPolicy);
    if (!printer && !printerName)
        return;
    ExtensionHold hold;
    LumoraPrintingExtension* extension = hold.get();
    MPrint::ManagedPrintPolicy* policy = MPrint::ManagedPrintPolicy::instance();
    if (!extension || !policy)
        return;
    const std::wstring name =
        printer ? getPrinterName(printer) : std::wstring(printerName, wcsnlen(printerName, kMaxNameChars));
    ScopedPrinter opened;
    if (!openPrinterWithAccess(name, opened.receive(), PRINTER_ALL_ACCESS))
        openPrinterWithAccess(name, opened.receive(), PRINTER_ACCESS_USE);
    bool firstApply = false;
    if (opened) {
        // Only its effect counts: a queue whose data turns both policy kinds
        // off keeps the policy object from asking for them in this process.
        policy->arePoliciesOffForPrinter(opened.get());
        if (!ModuleEntry::inSpooler()) {
            const bool marked = markAutoCreatedApplied(opened.get(), name);
            std::wstring port;
            firstApply = StaticModeSteps::current().setupAutoCreatedClientPort(opened.get(), port) && !port.empty() &&
                         marked;
        }
    }
    if ((policy->hasPolicy() || firstApply) && opened) {
        DWORD caseValue = 3;
        getPrinterDword(opened.get(), L"DMCEACValue", caseValue);
        if (caseValue == 2) {
            MPrint::applyPrinterFeatures(name, true, nullptr);
        } else {
            PrinterSettings settings(opened.get());
            MPrint::PrinterFeaturesApplicator applicator(policy, &settings, nullptr);
            if (applicator.applyManagedFeatures() || firstApply) {
                const HWND window = GetActiveWindow();
                ProcessMarkerScope open(krv::kUIOpen);
                StaticModeSteps::current().verifyStaticModePrinter(*extension, opened.get(), window, firstApply,
                                                                   !ModuleEntry::inSpooler());
            }
        }
    }
    if (extension->isJobDeliveryDestination(name.c_str(), opened.get(), nullptr, nullptr)) {
        GlobalBlock<BYTE> five;
        if (opened && getPrinterAlloc(opened.get(), 5, five.receive())) {
            const auto* info = reinterpret_cast<const PRINTER_INFO_5W*>(five.get());
            if (info->pPrinterName && info->pPortName)
                StaticModeSteps::current().setPrinterPortByAddress(*extension, info->pPrinterName, info->pPortName,
                                                                   true);
        }
    }
}

} // namespace LumoraUI
