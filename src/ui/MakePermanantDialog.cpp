#include "ui/MakePermanantDialog.h"

#include "core/ScopedHandle.h"
#include "core/TextFormat.h"
#include "destination/MonitorChannel.h"
#include "destination/PrintPath.h"
#include "destination/PrinterDataValues.h"
#include "extension/LumoraPrintingExtension.h"
#include "shared/SpoolerQueries.h"
#include "extension/DestinationWorkflow.h"
#include "ui/UiText.h"
#include "ui/resources/StringIds.h"

#include <cwchar>
#include <vector>

namespace {

wchar_t kStaticMode[] = L"StaticMode";

std::wstring widenModel(const std::string& model)
{
    return std::wstring(model.begin(), model.end());
}

} // namespace

std::wstring MakePermanantDialog::queueNameFor(const MPrint::PrintPath* path)
{
    if (!path)
        return std::wstring();
    std::wstring name = path->getStringAttribute(L"Nickname");
    trimWhitespace(name, false, true);
    return name;
}

void MakePermanantDialog::runWorker()
{
    const int result = makePermanent();
    setResult(result);
    finishWorker(result != 0 ? kFailed : kSucceeded);
}

int MakePermanantDialog::makePermanent()
{
    const std::wstring name = queueNameFor(getPrintPath());
    if (name.empty())
        return -1;
    setStatusText(reinterpret_cast<LPARAM>(uitext::format(getExtension(), IDS_CREATING_PRINTER_FMT, name).c_str()));
    SetLastError(ERROR_INVALID_PRINTER_NAME);

    LumoraPrintingExtension* extension = getExtension();
    MPrint::DestinationContext* context = extension ? extension->getDestinationContext() : nullptr;
    if (!context)
        return ERROR_INVALID_HANDLE;
    const std::wstring currentName = context->getPrinterName();

    if (isCancelled())
        return ERROR_CANCELLED;
    HANDLE printer = nullptr;
    if (!openPrinterWithAccess(currentName, &printer, 0))
        return static_cast<int>(GetLastError());
    ScopedPrinter current(printer);
    BYTE* info = nullptr;
    const bool read = getPrinterAlloc(current.get(), 2, &info);
    GlobalBlock<PRINTER_INFO_2W> currentInfo(reinterpret_cast<PRINTER_INFO_2W*>(info));
    if (!read || !currentInfo)
        return -1;

    PRINTER_INFO_2W added = {};
    std::wstring newName = name;
    wchar_t filePort[] = L"FILE:";
    added.pPrinterName = newName.data();
    added.pDriverName = currentInfo->pDriverName;
    added.pPrintProcessor = currentInfo->pPrintProcessor;
    added.pDatatype = currentInfo->pDatatype;
    added.pPortName = filePort;
    added.Attributes = PRINTER_ATTRIBUTE_LOCAL;
    // The queue may have no device mode: then the new one has none either.
    std::vector<BYTE> devMode;
    if (const DEVMODEW* source = currentInfo->pDevMode) {
        const size_t size = static_cast<size_t>(source->dmSize) + source->dmDriverExtra;
        if (source->dmSize >= offsetof(DEVMODEW, dmFields)) {
            devMode.assign(reinterpret_cast<const BYTE*>(source), reinterpret_cast<const BYTE*>(source) + size);
            auto* copy = reinterpret_cast<DEVMODEW*>(devMode.data());
            wmemset(copy->dmDeviceName, 0, CCHDEVICENAME);
            wcsncpy(copy->dmDeviceName, name.c_str(), kDeviceNameLength);
            added.pDevMode = copy;
        }
    }

    SetLastError(ERROR_CANCELLED);
    if (isCancelled())
        return ERROR_CANCELLED;
    ScopedPrinter created(AddPrinterW(nullptr, 2, reinterpret_cast<BYTE*>(&added)));
    bool viaMonitor = false;
    if (!created) {
        const DWORD error = GetLastError();
        if (error != ERROR_ACCESS_DENIED)
            return static_cast<int>(error);
        MonitorChannel monitor(kMonitorName);
        if (!monitor.addPrinter(currentName.c_str(), name.c_str()))
            return static_cast<int>(GetLastError());
        viaMonitor = true;
    }

    int result = 0;
    if (!isCancelled()) {
        MPrint::DestinationWorkflow& workflow = MPrint::DestinationWorkflow::current();
        workflow.configureDeviceForPrintPath(getWindow(), name, getPrintPath());
        context->setPrinterName(name);
        workflow.applyDestinationToPrinter(context, currentInfo->pPortName ? currentInfo->pPortName : L"");
        context->setPrinterName(currentName);
    }
    if (!isCancelled()) {
        DWORD staticMode = 1;
        const std::wstring model = getPrintPath() ? widenModel(getPrintPath()->getDevice().getModelName()) : L"";
        if (!viaMonitor) {
            DWORD error = SetPrinterDataW(created.get(), kStaticMode, REG_DWORD, reinterpret_cast<BYTE*>(&staticMode),
                                          sizeof(staticMode));
            if (error == ERROR_SUCCESS && !model.empty()) {
                std::wstring value = kModelValue;
                error = SetPrinterDataW(created.get(), value.data(), REG_SZ,
                                        reinterpret_cast<BYTE*>(const_cast<wchar_t*>(model.c_str())),
                                        static_cast<DWORD>((model.size() + 1) * sizeof(wchar_t)));
            }
            result = static_cast<int>(error);
        } else {
            MPrint::PrinterDataValues batch;
            batch.addDword(kStaticMode, staticMode);
            if (!model.empty())
                batch.addString(kModelValue, model.c_str());
            MonitorChannel monitor(kMonitorName);
            if (!monitor.setPrinterData(name.c_str(), &batch))
                result = static_cast<int>(GetLastError() ? GetLastError() : ERROR_GEN_FAILURE);
        }
    }
    created.reset();

    if (isCancelled()) {
        setStatusText(IDS_PLEASE_WAIT);
        HANDLE doomed = nullptr;
        if (!openPrinterWithAccess(name, &doomed, PRINTER_ALL_ACCESS))
            return static_cast<int>(GetLastError() ? GetLastError() : ERROR_CANCELLED);
        ScopedPrinter owner(doomed);
        // A queue left behind is still a failure, never "made permanent".
        if (!DeletePrinter(doomed))
            return static_cast<int>(GetLastError() ? GetLastError() : ERROR_CANCELLED);
        return ERROR_CANCELLED;
    }
    return result;
}
