// The verification dialog on template 105 of the resource module, for a
// queue of the spooler stand-in, with the core's operations played by a
// fake: each step's failure and its result code, a cancel during the
// language check, a held job, a failed application restoring the port,
// the "BidiState" values shown while the queue settles, and a caller's own
// context verified in place of the extension's.
#include "ui/PrintPathVerifyDialog.h"

#include "bidi/CurrentDestination.h"
#include "destination/DestinationContext.h"
#include "support/DialogDriver.h"
#include "support/FakeDestinationWorkflow.h"
#include "support/SharedState.h"
#include "support/TestSpooler.h"
#include "support/UiTestEnv.h"
#include "ui/UiText.h"
#include "ui/resources/PrinterStatusDialogIds.h"
#include "ui/resources/StringIds.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

VRELM_TEST_SHARES(policy_settings);

using testenv::DialogDriver;

namespace {

DWORD bidiState(HANDLE printer)
{
    DWORD state = 7;
    DWORD type = 0;
    DWORD needed = 0;
    wchar_t name[] = L"BidiState";
    EXPECT_EQ(DWORD{ERROR_SUCCESS},
              GetPrinterDataW(printer, name, &type, reinterpret_cast<BYTE*>(&state), sizeof(state), &needed));
    return state;
}

class PrintPathVerifyDialogTest : public testenv::UiSuite {
protected:
    void SetUp() override
    {
        ASSERT_EQ(DWORD{ERROR_SUCCESS}, queue_.error());
        extension()->createDestinationContext(queue_.name());
        extension()->getDestinationContext()->setPrinterName(queue_.name());
        path_.setStringAttribute(L"Nickname", L"Front desk", true);
        path_.setStringAttribute(L"LumoSNMPCommunityName", L"office", true);
    }

    // Presses Cancel in the dialog and waits until the flag is set.
    std::function<void()> pressCancel(PrintPathVerifyDialog*& dialog)
    {
        return [&dialog] {
            PostMessageW(dialog->getWindow(), WM_COMMAND, IDCANCEL, 0);
            for (int i = 0; i < 200 && !dialog->isCancelled(); ++i)
                Sleep(5);
        };
    }

    testspool::ScopedQueue queue_{testspool::uniqueQueueName(L"Verify"), L"Vrelm Test Driver", L"LPT1:"};
    MPrint::PrintPath path_;
    testenv::FakeDestinationWorkflow workflow_;
};

TEST_F(PrintPathVerifyDialogTest, EachStepsFailureEndsWithItsStageAndACode)
{
    struct Row {
        const char* name;
        std::function<void(testenv::FakeDestinationWorkflow&)> arrange;
        bool cancelDuringPdl;
        INT_PTR modal;
        int result;
        DWORD stage;
        std::vector<std::string> calls;
    };
    const Row rows[] = {
        {"all pass", [](auto&) {}, false, 1, 0, 3, {"validate", "community", "check", "pdl", "configure", "apply"}},
        {"validation fails without a code", [](auto& w) { w.validates = false; }, false, 3,
         PrintPathVerifyDialog::kStepFailed, 0, {"validate"}},
        {"validation fails with a code", [](auto& w) { w.validates = false; w.validationCode = ERROR_ACCESS_DENIED; },
         false, 3, ERROR_ACCESS_DENIED, 0, {"validate"}},
        {"configuration out of date", [](auto& w) { w.configurationCurrent = false; }, false, 3,
         PrintPathVerifyDialog::kStepFailed, 1, {"validate", "community", "check"}},
        {"language mismatch is no cancel", [](auto& w) { w.pdlAnswer = 0; }, false, 3,
         PrintPathVerifyDialog::kStepFailed, 2, {"validate", "community", "check", "pdl"}},
        {"cancel during the language check", [](auto&) {}, true, 3, ERROR_CANCELLED, 2,
         {"validate", "community", "check", "pdl"}},
        {"configuration fails", [](auto& w) { w.configureAnswer = 0; }, false, 3, PrintPathVerifyDialog::kStepFailed,
         4, {"validate", "community", "check", "pdl", "configure"}},
        {"application fails", [](auto& w) { w.applies = false; }, false, 3, PrintPathVerifyDialog::kStepFailed, 3,
         {"validate", "community", "check", "pdl", "configure", "apply", "restore"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        testenv::FakeDestinationWorkflow workflow;
        row.arrange(workflow);
        auto* dialog = new PrintPathVerifyDialog(extension(), &path_);
        if (row.cancelDuringPdl)
            workflow.duringPdl = pressCancel(dialog);
        EXPECT_EQ(PrintPathVerifyDialog::kStageNotStarted, dialog->getStage());
        EXPECT_EQ(row.modal, LumoraDialog::doModal(dialog, nullptr, IDD_PRINTER_STATUS, IDS_VERIFYING_PRINTER));
        EXPECT_EQ(row.result, dialog->getResult());
        EXPECT_EQ(row.stage, dialog->getStage());
        EXPECT_EQ(row.calls, workflow.calls());
        if (row.stage >= 1) {
            EXPECT_EQ(std::vector<std::wstring>{L"office"}, workflow.communities());
            EXPECT_EQ(L"LPT1:", dialog->getSavedPort());
        }
        if (!workflow.portsApplied().empty()) {
            EXPECT_EQ(std::vector<std::wstring>{L"LPT1:"}, workflow.portsApplied());
        }
        delete dialog;
    }
}

// A spooler caller's own context names the queue verified and, when the
// application fails, set back to its port; the layers the worker thread
// reaches see that queue too, and the extension's context stays as it was.
TEST_F(PrintPathVerifyDialogTest, TheCallersOwnContextIsVerifiedOnTheWorker)
{
    testspool::ScopedQueue own(testspool::uniqueQueueName(L"Verify Own"), L"Vrelm Test Driver", L"LPT2:");
    ASSERT_EQ(DWORD{ERROR_SUCCESS}, own.error());
    MPrint::DestinationContext context(own.name(), nullptr);
    testenv::FakeDestinationWorkflow workflow;
    workflow.applies = false;
    std::wstring seenByApply;
    workflow.duringApply = [&] { seenByApply = MPrint::currentDestinationPrinterName(); };
    PrintPathVerifyDialog dialog(extension(), &path_, &context);
    EXPECT_EQ(3, LumoraDialog::doModal(&dialog, nullptr, IDD_PRINTER_STATUS, IDS_VERIFYING_PRINTER));
    EXPECT_EQ(L"LPT2:", dialog.getSavedPort());
    EXPECT_EQ(own.name(), seenByApply);
    EXPECT_EQ((std::vector<std::pair<std::wstring, std::wstring>>{{own.name(), L"LPT2:"}}),
              workflow.destinationsApplied());
    EXPECT_EQ(queue_.name(), extension()->getDestinationContext()->getPrinterName());
}

TEST_F(PrintPathVerifyDialogTest, HeldJobSkipsTheApplication)
{
    path_.setNumericAttribute(L"PausePrintJob", 0, true);
    PrintPathVerifyDialog dialog(extension(), &path_);
    EXPECT_EQ(1, LumoraDialog::doModal(&dialog, nullptr, IDD_PRINTER_STATUS, IDS_VERIFYING_PRINTER));
    EXPECT_EQ(0, dialog.getResult());
    EXPECT_EQ(3u, dialog.getStage());
    EXPECT_EQ((std::vector<std::string>{"validate", "community", "check", "pdl", "configure"}), workflow_.calls());
}

TEST_F(PrintPathVerifyDialogTest, BidiStateIsShownUntilItSettles)
{
    HANDLE gate = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE entered = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    workflow_.duringApply = [&] {
        SetEvent(entered);
        WaitForSingleObject(gate, 8000);
    };
    ASSERT_EQ(DWORD{ERROR_SUCCESS}, queue_.setDword(L"", L"BidiState", 2));
    PrintPathVerifyDialog dialog(extension(), &path_);
    // The constructor starts from 0 on a queue it may change.
    const DWORD state = bidiState(dialog.getPrinter());
    EXPECT_EQ(0u, state);

    const std::wstring reading = uitext::load(extension(), IDS_BIDI_READING);
    const std::wstring done = uitext::load(extension(), IDS_BIDI_DONE);
    std::vector<std::wstring> seen;
    DialogDriver driver;
    driver.onDialog([&](HWND box) {
        auto status = [box] { return DialogDriver::text(box, IDC_STATUS_TEXT); };
        DialogDriver::waitFor([&] { return WaitForSingleObject(entered, 0) == WAIT_OBJECT_0; }, 3000, [&, status](bool) {
            queue_.setDword(L"", L"BidiState", 1);
            DialogDriver::waitFor([&, status] { return status() == reading; }, 2000, [&, status](bool) {
                seen.push_back(status());
                queue_.setDword(L"", L"BidiState", 3);
                DialogDriver::waitFor([&, status] { return status() == done; }, 2000, [&, status](bool) {
                    seen.push_back(status());
                    queue_.setDword(L"", L"BidiState", 2); // no longer watched
                    DialogDriver::after(300, [&, status] {
                        seen.push_back(status());
                        SetEvent(gate);
                    });
                });
            });
        });
    });
    EXPECT_EQ(1, LumoraDialog::doModal(&dialog, nullptr, IDD_PRINTER_STATUS, IDS_VERIFYING_PRINTER));
    EXPECT_EQ((std::vector<std::wstring>{reading, done, done}), seen);
    CloseHandle(gate);
    CloseHandle(entered);
}

TEST_F(PrintPathVerifyDialogTest, WithoutTheRightToChangeTheQueueTheStateIsReadNotReset)
{
    ASSERT_EQ(DWORD{ERROR_SUCCESS}, queue_.setDword(L"", L"BidiState", 2));
    testspool::ScopedUserRights user;
    PrintPathVerifyDialog dialog(extension(), &path_);
    ASSERT_NE(nullptr, dialog.getPrinter());
    const DWORD state = bidiState(dialog.getPrinter());
    EXPECT_EQ(2u, state);
}

} // namespace
