#include "ui/PrintPathVerifyDialog.h"

#include "destination/PrintPath.h"
#include "extension/LumoraPrintingExtension.h"
#include "shared/SpoolerQueries.h"
#include "extension/DestinationWorkflow.h"
#include "ui/resources/StringIds.h"

namespace {

wchar_t kBidiState[] = L"BidiState";

} // namespace

PrintPathVerifyDialog::PrintPathVerifyDialog(LumoraPrintingExtension* extension, MPrint::PrintPath* path,
                                             MPrint::DestinationContext* context)
    : PrinterStatusDialog(extension, path),
      context_(context ? context : extension ? extension->getDestinationContext() : nullptr)
{
    if (!context_)
        return;
    printerName_ = context_->getPrinterName();
    HANDLE printer = nullptr;
    if (openPrinterWithAccess(printerName_, &printer, PRINTER_ALL_ACCESS)) {
        printer_.reset(printer);
        DWORD zero = 0;
        if (SetPrinterDataW(printer, kBidiState, REG_DWORD, reinterpret_cast<BYTE*>(&zero), sizeof(zero)) !=
            ERROR_SUCCESS)
            readBidiState(lastBidiState_);
    } else if (openPrinterWithAccess(printerName_, &printer, PRINTER_ACCESS_USE)) {
        printer_.reset(printer);
        readBidiState(lastBidiState_);
    }
}

bool PrintPathVerifyDialog::readBidiState(DWORD& value)
{
    DWORD type = 0;
    DWORD read = 0;
    DWORD needed = 0;
    if (!printer_ || GetPrinterDataW(printer_.get(), kBidiState, &type, reinterpret_cast<BYTE*>(&read), sizeof(read),
                                     &needed) != ERROR_SUCCESS ||
        type != REG_DWORD || needed != sizeof(read))
        return false;
    value = read;
    return true;
}

void PrintPathVerifyDialog::runWorker()
{
    // The worker may run on a thread of its own: the layers below look for
    // the job's queue through the extension.
    const LumoraPrintingExtension::ThreadContext bound(context_);
    finishWorker(verify());
}

WPARAM PrintPathVerifyDialog::verify()
{
    MPrint::DestinationWorkflow& workflow = MPrint::DestinationWorkflow::current();
    MPrint::PrintPath* path = getPrintPath();
    HWND window = getWindow();
    auto failed = [this](int code) {
        setResult(isCancelled() ? ERROR_CANCELLED : code);
        setStatusText(IDS_PLEASE_WAIT);
        return kFailed;
    };

    stage_ = kStageValidating;
    DWORD code = 0;
    if (!workflow.validateDeviceWithPrompt(path, window, code)) {
        setResult(code ? static_cast<int>(code) : kStepFailed);
        return kFailed;
    }
    setResult(static_cast<int>(code));
    if (isCancelled())
        return failed(ERROR_CANCELLED);
    setStatusText(IDS_CHECKING_PRINTER);
    stage_ = kStageCheckingConfiguration;
    saveCurrentPort();
    storeCommunity(path);

    if (!workflow.checkDeviceConfiguration(path) || isCancelled())
        return failed(kStepFailed);
    stage_ = kStageVerifyingPdl;
    if (workflow.verifyDevicePDL(window, path, printerName_) != 1 || isCancelled())
        return failed(kStepFailed);
    stage_ = kStageConfiguring;
    if (workflow.configureDeviceForPrintPath(window, printerName_, path) != 1)
        return failed(kStepFailed);

    stage_ = kStageApplying;
    if (path && path->getNumericAttribute(L"PausePrintJob") != 0xFFFFFFFF) {
        setResult(0);
        setStatusText(IDS_PLEASE_WAIT);
        return kSucceeded;
    }
    watching_ = true;
    DWORD value = 0;
    const bool applied = workflow.applyPrintPathToPrinter(context_, path, value);
    const bool cancelled = isCancelled();
    watching_ = false;
    setStatusText(IDS_PLEASE_WAIT);
    if (!applied || cancelled)
        restorePort();
    if (applied && !cancelled) {
        setResult(0);
        return kSucceeded;
    }
    setResult(cancelled ? ERROR_CANCELLED : kStepFailed);
    return kFailed;
}

bool PrintPathVerifyDialog::saveCurrentPort()
{
    HANDLE printer = nullptr;
    if (printerName_.empty() || !openPrinterWithAccess(printerName_, &printer, 0))
        return false;
    ScopedPrinter owner(printer);
    BYTE* info = nullptr;
    const bool read = getPrinterAlloc(printer, 5, &info);
    GlobalBlock<PRINTER_INFO_5W> block(reinterpret_cast<PRINTER_INFO_5W*>(info));
    if (!read || !block || !block->pPortName)
        return false;
    savedPort_ = block->pPortName;
    return true;
}

void PrintPathVerifyDialog::restorePort()
{
    if (savedPort_.empty() || !context_)
        return;
    context_->setPrintPath(nullptr);
    MPrint::DestinationWorkflow::current().applyDestinationToPrinter(context_, savedPort_);
}

void PrintPathVerifyDialog::storeCommunity(MPrint::PrintPath* path)
{
    if (!path || !printer_)
        return;
    const std::wstring& community = path->getStringAttribute(L"LumoSNMPCommunityName");
    if (!community.empty())
        MPrint::DestinationWorkflow::current().storeQueueCommunity(printer_.get(), printerName_, community);
}

INT_PTR PrintPathVerifyDialog::onTimer(WPARAM wParam, LPARAM lParam)
{
    DWORD state = 0;
    if (watching_ && stage_ == kStageApplying && readBidiState(state) && state != lastBidiState_) {
        lastBidiState_ = state;
        if (state >= 1 && state <= 3)
            setStatusText(IDS_BIDI_READING + state - 1);
        if (state == 3)
            watching_ = false;
    }
    return PrinterStatusDialog::onTimer(wParam, lParam);
}
