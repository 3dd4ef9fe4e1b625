// A status dialog whose operation (runWorker, in subclasses) runs on a
// worker thread while the picture moves. The worker ends by recording its
// outcome and posting WM_COMMAND 1 (success) or 3 (failure). Buttons
// pressed while the worker runs (1, 2, 3) are held back and re-posted
// every 499 ms until it has ended (once the worker has reported, the box
// waits for its thread instead); nothing ends the dialog while it runs,
// and it ends with 1 only when the worker reported success. The modal
// result is 1, 3 or 2 (cancelled); getResult gives the worker's code.
// The destructor waits for the worker before anything it uses goes.
#pragma once

#include "core/Thread.h"
#include "ui/AnimatingStatusDialog.h"
#include "ui/DerivedFont.h"

#include <atomic>
#include <memory>

namespace MPrint {
class PrintPath;
}

class PrinterStatusDialog : public AnimatingStatusDialog {
public:
    static constexpr UINT_PTR kRetryTimer = 22202;
    static constexpr UINT kRetryInterval = 499;
    static constexpr int kMaxHeldCommands = 10;
    static constexpr DWORD kStopWait = 7000;
    static constexpr WPARAM kSucceeded = 1;
    static constexpr WPARAM kFailed = 3;

    PrinterStatusDialog(LumoraPrintingExtension* extension, MPrint::PrintPath* path);
    ~PrinterStatusDialog() override;

    INT_PTR onInitDialog(WPARAM wParam, LPARAM lParam) override;
    INT_PTR onCommand(WPARAM wParam, LPARAM lParam) override;
    INT_PTR onTimer(WPARAM wParam, LPARAM lParam) override;
    void endDialog(INT_PTR result) override;

    virtual int getResult() const { return result_; }
    // Runs on the worker thread; ends with finishWorker.
    virtual void runWorker() = 0;
    virtual bool isCancelled() const { return cancelled_; }
    virtual bool startWorker();
    virtual void stopWorker();

    // A string id (high word 0) or a text; shown in the status line.
    void setStatusText(LPARAM value);
    bool isWorkerRunning();
    int heldCommands() const { return held_; }
    MPrint::PrintPath* getPrintPath() const { return printPath_; }

protected:
    void setResult(int result) { result_ = result; }
    // Records the outcome and posts it to the dialog (when there is one).
    void finishWorker(WPARAM outcome);
    // The one switch the dialogs here never set: lets a Cancel end the box
    // while the worker still runs.
    void setCancelEndsWhileRunning(bool flag) { cancelEndsWhileRunning_ = flag; }

private:
    // The end result for a command once the worker has ended.
    INT_PTR outcomeFor(WPARAM command) const;

    std::unique_ptr<MPrint::Thread> worker_;
    MPrint::PrintPath* printPath_; // not owned
    std::atomic<bool> cancelled_{false};
    std::atomic<int> result_{-1};
    int held_ = 0;
    bool cancelEndsWhileRunning_ = false;
    WPARAM heldWParam_ = 0;
    LPARAM heldLParam_ = 0;
    std::atomic<WPARAM> workerOutcome_{0};
    DerivedFont boldFont_;
};
