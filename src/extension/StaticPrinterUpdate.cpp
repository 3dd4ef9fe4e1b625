#include "extension/StaticPrinterUpdate.h"

#include "core/ScopedHandle.h"
#include "destination/DestinationContext.h"
#include "destination/PrintPathAttr.h"
#include "extension/DestinationWorkflow.h"
#include "extension/LumoraPrintingExtension.h"
#include "extension/ManagedPrintPolicy.h"
#include "extension/PrintTimeDialogs.h"
#include "extension/StaticModeSteps.h"
#include "shared/PrinterPort.h"
#include "shared/SpoolerQueries.h"

#include <memory>

namespace LumoraUI {

namespace {

constexpr wchar_t kNewInstall[] = L"LumoNewInstall";

} // namespace

bool setPrinterPortByAddress(LumoraPrintingExtension& extension, const std::wstring& printerName,
                             const std::wstring& address, bool changePortOnly)
{
    MPrint::DestinationWorkflow& workflow = MPrint::DestinationWorkflow::current();
    std::unique_ptr<MPrint::PrintPath> path(
        workflow.findPrintPathForAddress(GetDesktopWindow(), address, printerName, printerName));
    if (!path)
        return false;
    // The extension's own context may name another queue another caller is
    // handling at this moment: this call's queue gets a context of its own.
    MPrint::DestinationContext context(printerName, nullptr);
    const LumoraPrintingExtension::ThreadContext bound(&context);
    path->setStringAttribute(PrintPathAttr::Nickname, printerName, true);
    path->setStringAttribute(PrintPathAttr::DisplayString, printerName, true);
    MPrint::PrintPath* chosen = path.get();
    if (changePortOnly) {
        chosen->setNumericAttribute(PrintPathAttr::ChangePortOnly, 1, false);
        context.setPrintPath(path.release());
    } else {
        workflow.checkDeviceConfiguration(chosen);
        context.setPrintPath(path.release());
        workflow.configureDeviceForPrintPath(nullptr, printerName, chosen);
    }

    std::wstring portName;
    DWORD code = ERROR_SUCCESS;
    if (PrinterPort::doesPortExist(address.c_str(), nullptr))
        portName = address;
    else
        code = extension.makePortRecord(&context, portName);
    return !portName.empty() && code == ERROR_SUCCESS && workflow.applyDestinationToPrinter(&context, portName);
}

std::wstring staticModeAddress(HANDLE printer, const std::wstring& portName)
{
    PrinterPort port(printer, portName.c_str());
    std::wstring address;
    if (port.guessPortAddress(false) && port.getPortType() == kPortTerminalServer && port.getPortAddress(address) &&
        !address.empty())
        return address;
    return portName;
}

bool verifyStaticModePrinter(LumoraPrintingExtension& extension, HANDLE printer, HWND parent, bool staticUpdate,
                             bool showDialog)
{
    if (!printer)
        return true;
    bool result = true;
    GlobalBlock<BYTE> info;
    if (!getPrinterAlloc(printer, 5, info.receive())) {
        result = false;
    } else {
        const PRINTER_INFO_5W* record = reinterpret_cast<const PRINTER_INFO_5W*>(info.get());
        if (record->pPrinterName && record->pPortName) {
            const std::wstring printerName = record->pPrinterName;
            const std::wstring address = staticModeAddress(printer, record->pPortName);
            DWORD one = 1;
            SetPrinterDataW(printer, const_cast<wchar_t*>(kNewInstall), REG_DWORD, reinterpret_cast<BYTE*>(&one),
                            sizeof(one));
            extension.setNewInstall(true);
            // Install events of several queues verify them at once: this
            // queue gets a context of its own, not the extension's.
            MPrint::DestinationContext context(printerName, nullptr);
            const LumoraPrintingExtension::ThreadContext bound(&context);
            if (MPrint::ManagedPrintPolicy* policy = MPrint::ManagedPrintPolicy::instance())
                policy->arePoliciesOffForPrinter(printer);

            std::unique_ptr<MPrint::PrintPath> path(MPrint::DestinationWorkflow::current().findPrintPathForAddress(
                parent, address, printerName, printerName));
            if (path) {
                if (staticUpdate)
                    path->setNumericAttribute(PrintPathAttr::StaticModeUpdate, 1, false);
                PrintTimeDialogs::current().verifyPrintPath(extension, &context, path.get(), parent, showDialog);
                LumoraPrintingExtension::refreshJobControlTicket(printerName, path.get());
            }
        }
    }
    if (!LumoraPrintingExtension::isMakePermanentInstance()) {
        DWORD unused = 0;
        StaticModeSteps::current().updateNowMarker(StaticModeSteps::kDelete, printer, unused, nullptr);
    }
    DeletePrinterDataW(printer, const_cast<wchar_t*>(kNewInstall));
    return result;
}

} // namespace LumoraUI
