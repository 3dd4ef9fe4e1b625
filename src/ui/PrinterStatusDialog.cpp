#include "ui/PrinterStatusDialog.h"

#include "core/Runnable.h"
#include "destination/PrintPath.h"
#include "extension/LumoraPrintingExtension.h"
#include "ui/UiText.h"
#include "ui/resources/PrinterStatusDialogIds.h"
#include "ui/resources/StringIds.h"

namespace {

// The worker runs the dialog's operation.
class BackgroundVerify : public MPrint::Runnable {
public:
    explicit BackgroundVerify(PrinterStatusDialog* dialog) : dialog_(dialog) {}
    void run() override { dialog_->runWorker(); }

private:
    PrinterStatusDialog* dialog_;
};

} // namespace

PrinterStatusDialog::PrinterStatusDialog(LumoraPrintingExtension* extension, MPrint::PrintPath* path)
    : AnimatingStatusDialog(extension), printPath_(path)
{
}

PrinterStatusDialog::~PrinterStatusDialog()
{
    // Always joined: the runnable and this object are in use until it ends.
    if (worker_)
        worker_->joinPumping(INFINITE);
}

bool PrinterStatusDialog::isWorkerRunning()
{
    return worker_ && worker_->isRunning();
}

INT_PTR PrinterStatusDialog::onInitDialog(WPARAM wParam, LPARAM lParam)
{
    AnimatingStatusDialog::onInitDialog(wParam, lParam);
    if (static_cast<ULONG_PTR>(lParam) > 0xFFFF) {
        SetWindowTextW(getWindow(), reinterpret_cast<const wchar_t*>(lParam));
    } else if (LOWORD(lParam)) {
        const std::wstring title = uitext::load(getExtension(), LOWORD(lParam));
        if (!title.empty())
            SetWindowTextW(getWindow(), title.c_str());
    }
    if (printPath_) {
        const std::wstring& nickname = printPath_->getStringAttribute(L"Nickname");
        SetDlgItemTextW(getWindow(), IDC_STATUS_PRINTER,
                        (nickname.empty() ? printPath_->getStringAttribute(L"Address") : nickname).c_str());
    }
    if (boldFont_.create(getDlgItem(IDC_STATUS_PRINTER_LABEL), 800)) {
        for (int id : {IDC_STATUS_PRINTER_LABEL, IDC_STATUS_STATE_LABEL}) {
            if (HWND label = getDlgItem(id))
                SendMessageW(label, WM_SETFONT, reinterpret_cast<WPARAM>(boldFont_.get()), TRUE);
        }
    }
    startWorker();
    return 1;
}

bool PrinterStatusDialog::startWorker()
{
    startAnimation();
    worker_ = std::make_unique<MPrint::Thread>(new BackgroundVerify(this));
    if (worker_->start())
        return true;
    // Nobody else would end the dialog.
    worker_.reset();
    if (result_ == -1)
        result_ = ERROR_NOT_ENOUGH_MEMORY;
    finishWorker(kFailed);
    return false;
}

void PrinterStatusDialog::finishWorker(WPARAM outcome)
{
    workerOutcome_ = outcome;
    if (HWND window = getWindow())
        PostMessageW(window, WM_COMMAND, outcome, 0);
}

void PrinterStatusDialog::stopWorker()
{
    if (isWorkerRunning())
        worker_->joinPumping(kStopWait);
    stopAnimation();
}

INT_PTR PrinterStatusDialog::outcomeFor(WPARAM command) const
{
    if (LOWORD(command) == IDCANCEL)
        return IDCANCEL;
    // An OK of the user never turns a failed or unfinished operation into
    // success.
    return workerOutcome_ == kSucceeded && LOWORD(command) == kSucceeded ? kSucceeded : kFailed;
}

INT_PTR PrinterStatusDialog::onCommand(WPARAM wParam, LPARAM lParam)
{
    const WORD id = LOWORD(wParam);
    if (id != kSucceeded && id != IDCANCEL && id != kFailed)
        return AnimatingStatusDialog::onCommand(wParam, lParam);
    if (wParam == IDCANCEL)
        cancelled_ = true;
    // A worker that reported its outcome is only returning: its report, which
    // nearly always arrives before the thread has ended, must not wait a retry.
    if (workerOutcome_ != 0 && isWorkerRunning())
        worker_->joinPumping(kStopWait);
    if (isWorkerRunning()) {
        if (held_ < kMaxHeldCommands) {
            if (held_ == 0)
                SetTimer(getWindow(), kRetryTimer, kRetryInterval, nullptr);
            ++held_;
            heldWParam_ = wParam;
            heldLParam_ = lParam;
            return 1;
        }
        if (id == IDCANCEL) {
            setStatusText(IDS_PLEASE_WAIT);
            if (cancelEndsWhileRunning_) {
                endDialog(IDCANCEL);
                return 1;
            }
        }
        // Still held for the retry, which ends the box once the worker is done.
        heldWParam_ = wParam;
        heldLParam_ = lParam;
        return 1;
    }
    if (id == IDCANCEL)
        setStatusText(IDS_PLEASE_WAIT);
    endDialog(outcomeFor(wParam));
    return 1;
}

INT_PTR PrinterStatusDialog::onTimer(WPARAM wParam, LPARAM lParam)
{
    if (wParam == kRetryTimer && getWindow())
        PostMessageW(getWindow(), WM_COMMAND, heldWParam_, heldLParam_);
    return AnimatingStatusDialog::onTimer(wParam, lParam);
}

void PrinterStatusDialog::endDialog(INT_PTR result)
{
    stopWorker();
    if (getWindow())
        KillTimer(getWindow(), kRetryTimer);
    boldFont_.reset();
    AnimatingStatusDialog::endDialog(result);
}

void PrinterStatusDialog::setStatusText(LPARAM value)
{
    LumoraPrintingExtension* extension = getExtension();
    if (!extension || !extension->getSettings() || !value)
        return;
    const std::wstring text = uitext::textOrStringId(extension, value);
    if (text.empty() && static_cast<ULONG_PTR>(value) <= 0xFFFF)
        return;
    SetDlgItemTextW(getWindow(), IDC_STATUS_TEXT, text.c_str());
    invalidateControl(IDC_STATUS_TEXT);
}
