// Verifies and configures one destination for the queue of the current
// job while the user watches: validate the device, check its configuration
// and page-description language, configure the queue, and (unless the job
// is held) apply the destination and watch the queue's "BidiState" settle.
// getStage tells where it stopped; getResult is 0, ERROR_CANCELLED, or why
// the failed step failed (never 0 after a failure).
#pragma once

#include "core/ScopedHandle.h"
#include "ui/PrinterStatusDialog.h"

#include <atomic>
#include <string>

namespace MPrint {
class DestinationContext;
}

class PrintPathVerifyDialog : public PrinterStatusDialog {
public:
    static constexpr DWORD kStageValidating = 0;
    static constexpr DWORD kStageCheckingConfiguration = 1;
    static constexpr DWORD kStageVerifyingPdl = 2;
    static constexpr DWORD kStageApplying = 3;
    static constexpr DWORD kStageConfiguring = 4;
    static constexpr DWORD kStageNotStarted = 5;
    // A check that failed without a cancel, where the step gives no code.
    static constexpr int kStepFailed = ERROR_GEN_FAILURE;

    // For the caller's destination context (borrowed; null: the extension's,
    // as it is now), whose queue is verified and, on a failed apply, set back
    // to its port.
    PrintPathVerifyDialog(LumoraPrintingExtension* extension, MPrint::PrintPath* path,
                          MPrint::DestinationContext* context = nullptr);

    DWORD getStage() const { return stage_; }
    void runWorker() override;
    INT_PTR onTimer(WPARAM wParam, LPARAM lParam) override;

    virtual bool saveCurrentPort();
    virtual void restorePort();
    virtual void storeCommunity(MPrint::PrintPath* path);

    const std::wstring& getSavedPort() const { return savedPort_; }
    HANDLE getPrinter() const { return printer_.get(); }

private:
    // Runs the steps; the outcome to post.
    WPARAM verify();
    bool readBidiState(DWORD& value);

    std::atomic<DWORD> stage_{kStageNotStarted};
    std::wstring savedPort_;
    ScopedPrinter printer_;
    MPrint::DestinationContext* context_;
    std::wstring printerName_;
    DWORD lastBidiState_ = 0;
    std::atomic<bool> watching_{false};
};
