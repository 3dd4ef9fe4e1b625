// The status dialog's worker rules, with a worker that blocks until the
// test releases it: outcomes, cancel while the worker runs, buttons held
// back and re-posted, an Enter pressed during a long operation, the title
// and destination texts, and the dialog thread's priority given back.
#include "ui/PrinterStatusDialog.h"

#include "destination/PrintPath.h"
#include "support/DialogDriver.h"
#include "support/SharedState.h"
#include "support/TestEnv.h"
#include "support/UiTestEnv.h"
#include "ui/resources/PrinterStatusDialogIds.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>

VRELM_TEST_SHARES(policy_settings);

using testenv::DialogDriver;

namespace {

constexpr UINT kStatusTemplate = 305; // of the fixture module

class BlockingStatusDialog : public PrinterStatusDialog {
public:
    BlockingStatusDialog(LumoraPrintingExtension* extension, MPrint::PrintPath* path, WPARAM outcome)
        : PrinterStatusDialog(extension, path), outcome_(outcome), release_(CreateEventW(nullptr, TRUE, FALSE, nullptr))
    {
    }
    ~BlockingStatusDialog() override
    {
        SetEvent(release_); // never leaves a worker waiting
        destroyedWhileRunning = !finished;
    }
    void runWorker() override
    {
        priorityOfDialogThread = priorityProbe ? GetThreadPriority(priorityProbe) : 0;
        started = true;
        WaitForSingleObject(release_, 5000);
        const bool cancelled = isCancelled();
        setResult(cancelled ? ERROR_CANCELLED : outcome_ == kSucceeded ? 0 : ERROR_GEN_FAILURE);
        finishWorker(cancelled ? kFailed : outcome_);
        Sleep(20); // the report arrives while the thread still runs
        finished = true;
    }
    void release() { SetEvent(release_); }
    void allowCancelWhileRunning() { setCancelEndsWhileRunning(true); }

    HANDLE priorityProbe = nullptr;
    std::atomic<int> priorityOfDialogThread{0};
    std::atomic<bool> started{false};
    std::atomic<bool> finished{false};
    bool destroyedWhileRunning = false;

private:
    WPARAM outcome_;
    HANDLE release_;
};

class PrinterStatusDialogTest : public testenv::UiSuite {
protected:
    void SetUp() override
    {
        path_.setStringAttribute(L"Nickname", L"", false);
        path_.setStringAttribute(L"Address", L"10.1.2.3", false);
        priorityBefore_ = GetThreadPriority(GetCurrentThread());
    }
    void TearDown() override { EXPECT_EQ(priorityBefore_, GetThreadPriority(GetCurrentThread())); }

    HANDLE dialogThread()
    {
        HANDLE thread = nullptr;
        DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &thread, 0, FALSE,
                        DUPLICATE_SAME_ACCESS);
        return thread;
    }

    testenv::UiTestEnv::ModuleScope module_{*env_, L"UiFixture.dll"};
    MPrint::PrintPath path_;
    int priorityBefore_ = 0;
};

TEST_F(PrinterStatusDialogTest, OutcomesOfTheWorkerEndTheDialog)
{
    const struct {
        const char* name;
        WPARAM outcome;
        bool cancel;
        INT_PTR modal;
        int result;
        int held; // the worker's own report, arriving while its thread returns, is never held
    } rows[] = {
        {"success", 1, false, 1, 0, 0},
        {"failure", 3, false, 3, ERROR_GEN_FAILURE, 0},
        {"cancel while running", 1, true, 3, ERROR_CANCELLED, 1},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        BlockingStatusDialog dialog(extension(), &path_, row.outcome);
        HANDLE self = dialogThread();
        dialog.priorityProbe = self;
        DialogDriver driver;
        bool openAfterCancel = false;
        bool cancelledAtOnce = false;
        std::wstring destination;
        driver.onDialog([&](HWND box) {
            destination = DialogDriver::text(box, IDC_STATUS_PRINTER);
            if (row.cancel)
                DialogDriver::click(box, IDCANCEL);
            DialogDriver::after(100, [&, box] {
                cancelledAtOnce = dialog.isCancelled();
                openAfterCancel = IsWindow(box) != FALSE;
                dialog.release();
            });
        });
        EXPECT_EQ(row.modal, LumoraDialog::doModal(&dialog, nullptr, kStatusTemplate, 0));
        EXPECT_EQ(row.result, dialog.getResult());
        EXPECT_EQ(row.held, dialog.heldCommands());
        EXPECT_EQ(L"10.1.2.3", destination); // no nickname: the address
        EXPECT_TRUE(openAfterCancel);
        EXPECT_EQ(row.cancel, cancelledAtOnce);
        EXPECT_EQ(THREAD_PRIORITY_HIGHEST, dialog.priorityOfDialogThread.load());
        CloseHandle(self);
    }
}

TEST_F(PrinterStatusDialogTest, EnterPressedMoreThanTenTimesNeverEndsWithSuccess)
{
    BlockingStatusDialog dialog(extension(), &path_, 3);
    DialogDriver driver;
    bool openAfterSpam = false;
    int held = 0;
    std::wstring status;
    driver.onDialog([&](HWND box) {
        for (int i = 0; i < 12; ++i)
            DialogDriver::command(box, IDOK, reinterpret_cast<LPARAM>(box));
        DialogDriver::after(150, [&, box] {
            held = dialog.heldCommands();
            openAfterSpam = IsWindow(box) != FALSE;
            DialogDriver::click(box, IDCANCEL); // past ten holds: swallowed
            DialogDriver::after(50, [&, box] {
                status = DialogDriver::text(box, IDC_STATUS_TEXT);
                openAfterSpam = openAfterSpam && IsWindow(box);
                dialog.release();
            });
        });
    });
    // The worker failed: its outcome stands, not the user's OK.
    EXPECT_EQ(3, LumoraDialog::doModal(&dialog, nullptr, kStatusTemplate, 0));
    EXPECT_TRUE(openAfterSpam);
    EXPECT_EQ(PrinterStatusDialog::kMaxHeldCommands, held);
    EXPECT_EQ(L"Please wait", status);
    EXPECT_TRUE(dialog.isCancelled());
    EXPECT_FALSE(dialog.destroyedWhileRunning);
}

TEST_F(PrinterStatusDialogTest, TitleFromAStringIdOrAText)
{
    path_.setStringAttribute(L"Nickname", L"Front desk", false);
    const struct {
        LPARAM lParam;
        const wchar_t* title;
    } rows[] = {
        {85, L"Verifying the printer"},
        {reinterpret_cast<LPARAM>(L"Own title"), L"Own title"},
        {4321, L"Status"}, // no such string: the template's title stays
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testenv::narrow(row.title));
        BlockingStatusDialog dialog(extension(), &path_, 1);
        DialogDriver driver;
        std::wstring title;
        std::wstring destination;
        driver.onDialog([&](HWND box) {
            title = DialogDriver::title(box);
            destination = DialogDriver::text(box, IDC_STATUS_PRINTER);
            dialog.release();
        });
        EXPECT_EQ(1, LumoraDialog::doModal(&dialog, nullptr, kStatusTemplate, row.lParam));
        EXPECT_EQ(row.title, title);
        EXPECT_EQ(L"Front desk", destination);
    }
}

TEST_F(PrinterStatusDialogTest, ACancelAllowedToEndEarlyStillWaitsForTheWorkerBeforeDeletion)
{
    auto* dialog = new BlockingStatusDialog(extension(), &path_, 1);
    dialog->allowCancelWhileRunning();
    DialogDriver driver;
    driver.onDialog([&](HWND box) {
        for (int i = 0; i < PrinterStatusDialog::kMaxHeldCommands; ++i)
            DialogDriver::command(box, IDOK, reinterpret_cast<LPARAM>(box));
        DialogDriver::after(100, [box] { DialogDriver::click(box, IDCANCEL); });
    });
    // Released from elsewhere while the dialog waits for its worker.
    HANDLE releaser = CreateThread(
        nullptr, 0,
        [](void* self) -> DWORD {
            Sleep(400);
            static_cast<BlockingStatusDialog*>(self)->release();
            return 0;
        },
        dialog, 0, nullptr);
    EXPECT_EQ(IDCANCEL, LumoraDialog::doModal(dialog, nullptr, kStatusTemplate, 0));
    delete dialog; // joins the worker first; the runnable is never deleted while it runs
    WaitForSingleObject(releaser, 5000);
    CloseHandle(releaser);
}

} // namespace
