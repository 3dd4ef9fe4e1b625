// The make-permanent dialog on template 105 against the spooler stand-in:
// the new queue's name, device mode and printer data; an empty nickname;
// a cancel after the queue was added removing it again, and a removal that
// fails being reported as a failure rather than as made permanent.
#include "ui/MakePermanantDialog.h"

#include "core/ScopedHandle.h"
#include "extension/JobAccountingSettings.h"
#include "extension/KRVProperties.h"
#include "support/DialogDriver.h"
#include "ui/PrintTimeDialogsUI.h"
#include "shared/SpoolerQueries.h"
#include "support/FakeDestinationWorkflow.h"
#include "support/SharedState.h"
#include "support/TestSpooler.h"
#include "support/UiTestEnv.h"
#include "ui/resources/PrinterStatusDialogIds.h"
#include "ui/resources/StringIds.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

VRELM_TEST_SHARES(policy_settings);

namespace {

class MakePermanantDialogTest : public testenv::UiSuite {
protected:
    void SetUp() override
    {
        ASSERT_EQ(DWORD{ERROR_SUCCESS}, queue_.error());
        extension()->createDestinationContext(queue_.name());
        extension()->getDestinationContext()->setPrinterName(queue_.name());
        path_.getDevice().setModelName("Vennaset 4000");
    }

    static bool queueExists(const std::wstring& name)
    {
        HANDLE printer = nullptr;
        if (!openPrinterWithAccess(name, &printer, 0))
            return false;
        ClosePrinter(printer);
        return true;
    }
    static void removeQueue(const std::wstring& name)
    {
        HANDLE printer = nullptr;
        if (openPrinterWithAccess(name, &printer, PRINTER_ALL_ACCESS)) {
            DeletePrinter(printer);
            ClosePrinter(printer);
        }
    }
    // Presses Cancel and waits until the dialog took it.
    static void pressCancel(MakePermanantDialog& dialog)
    {
        PostMessageW(dialog.getWindow(), WM_COMMAND, IDCANCEL, 0);
        for (int i = 0; i < 200 && !dialog.isCancelled(); ++i)
            Sleep(5);
    }

    testspool::ScopedQueue queue_{testspool::uniqueQueueName(L"Dynamic"), L"Vrelm Test Driver", L"LPT1:"};
    MPrint::PrintPath path_;
    testenv::FakeDestinationWorkflow workflow_;
};

TEST_F(MakePermanantDialogTest, NewQueueTakesTheNicknameAndIsMarkedStatic)
{
    const std::wstring name = testspool::uniqueQueueName(L"Permanent printer named at length ab");
    ASSERT_GT(name.size(), MakePermanantDialog::kDeviceNameLength);
    path_.setStringAttribute(L"Nickname", name + L"  \t", true);
    MakePermanantDialog dialog(extension(), &path_);
    EXPECT_EQ(1, LumoraDialog::doModal(&dialog, nullptr, IDD_PRINTER_STATUS, IDS_PRODUCT_NAME));
    EXPECT_EQ(0, dialog.getResult());

    HANDLE printer = nullptr;
    ASSERT_TRUE(openPrinterWithAccess(name, &printer, 0));
    ScopedPrinter created(printer);
    BYTE* info = nullptr;
    ASSERT_TRUE(getPrinterAlloc(printer, 2, &info));
    GlobalBlock<PRINTER_INFO_2W> level2(reinterpret_cast<PRINTER_INFO_2W*>(info));
    EXPECT_STREQ(L"Vrelm Test Driver", level2->pDriverName);
    EXPECT_STREQ(L"FILE:", level2->pPortName);
    if (level2->pDevMode) {
        EXPECT_EQ(name.substr(0, MakePermanantDialog::kDeviceNameLength), std::wstring(level2->pDevMode->dmDeviceName));
    }
    DWORD type = 0;
    DWORD value = 0;
    DWORD needed = 0;
    wchar_t staticMode[] = L"StaticMode";
    EXPECT_EQ(DWORD{ERROR_SUCCESS},
              GetPrinterDataW(printer, staticMode, &type, reinterpret_cast<BYTE*>(&value), sizeof(value), &needed));
    EXPECT_EQ(1u, value);
    wchar_t model[64] = {};
    std::wstring modelValue = MakePermanantDialog::kModelValue;
    EXPECT_EQ(DWORD{ERROR_SUCCESS}, GetPrinterDataW(printer, modelValue.data(), &type, reinterpret_cast<BYTE*>(model),
                                                    sizeof(model), &needed));
    EXPECT_STREQ(L"Vennaset 4000", model);
    EXPECT_EQ((std::vector<std::string>{"configure", "restore"}), workflow_.calls());
    EXPECT_EQ(std::vector<std::wstring>{L"LPT1:"}, workflow_.portsApplied());
    EXPECT_EQ(queue_.name(), extension()->getDestinationContext()->getPrinterName());
    created.reset();
    removeQueue(name);
}

TEST_F(MakePermanantDialogTest, BlankNicknameMakesNoQueue)
{
    path_.setStringAttribute(L"Nickname", L"   ", true);
    MakePermanantDialog dialog(extension(), &path_);
    EXPECT_EQ(3, LumoraDialog::doModal(&dialog, nullptr, IDD_PRINTER_STATUS, IDS_PRODUCT_NAME));
    EXPECT_EQ(-1, dialog.getResult());
    EXPECT_TRUE(workflow_.calls().empty());
}

TEST_F(MakePermanantDialogTest, CancelAfterTheQueueWasAddedRemovesIt)
{
    const std::wstring name = testspool::uniqueQueueName(L"Cancelled");
    path_.setStringAttribute(L"Nickname", name, true);
    MakePermanantDialog dialog(extension(), &path_);
    workflow_.duringConfigure = [&] { pressCancel(dialog); };
    EXPECT_EQ(3, LumoraDialog::doModal(&dialog, nullptr, IDD_PRINTER_STATUS, IDS_PRODUCT_NAME));
    EXPECT_EQ(ERROR_CANCELLED, dialog.getResult());
    EXPECT_FALSE(queueExists(name));
}

TEST_F(MakePermanantDialogTest, CancelWhoseRemovalFailsIsNoSuccess)
{
    const std::wstring name = testspool::uniqueQueueName(L"Left behind");
    path_.setStringAttribute(L"Nickname", name, true);
    MakePermanantDialog dialog(extension(), &path_);
    // The queue goes before the dialog can remove it: the removal fails.
    workflow_.duringConfigure = [&] {
        removeQueue(name);
        pressCancel(dialog);
    };
    EXPECT_EQ(3, LumoraDialog::doModal(&dialog, nullptr, IDD_PRINTER_STATUS, IDS_PRODUCT_NAME));
    EXPECT_NE(0, dialog.getResult());
    EXPECT_NE(ERROR_CANCELLED, dialog.getResult());
}

} // namespace

namespace {

// Through the print-time dialogs: the markers while it runs, the message
// naming the queue the dialog made, and "LumoUpdateNow" removed from that
// queue only, never from one that merely carries the destination's text.
TEST_F(MakePermanantDialogTest, MakingPermanentNamesAndClearsTheQueueTheDialogMade)
{
    const std::wstring made = testspool::uniqueQueueName(L"Made Permanent");
    ASSERT_EQ(0u, queue_.setDword(L"", L"LumoUpdateNow", 1));
    const struct {
        const char* what;
        std::wstring nickname;
        bool result;
        std::wstring clearedQueue; // empty: none
    } rows[] = {
        {"nickname with trailing blanks", made + L"  \t", true, made},
        {"no nickname: nothing is made, the queue named like the destination keeps its marker", L"", false, L""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        MPrint::PrintPath path;
        path.getDevice().setModelName("Vennaset 4000");
        path.setStringAttribute(L"Nickname", row.nickname, true);
        path.setStringAttribute(L"DisplayString", queue_.name(), true);
        testspool::ScopedCallLog log;
        testenv::DialogDriver driver;
        std::wstring message;
        DWORD markerDuring = 0;
        std::uint64_t protectedDuring = 0;
        driver.onDialog([](HWND) {}); // the status dialog works by itself
        driver.onDialog([&](HWND box) {
            message = testenv::DialogDriver::messageBoxText(box);
            markerDuring = JobAccountingSettings::readMakePermanentInstance();
            protectedDuring = getProcessProperty(krv::kUpdateNowProtectedMode);
            PostMessageW(box, WM_COMMAND, IDOK, 0);
        });
        PrintTimeDialogsUI dialogs;
        EXPECT_EQ(dialogs.makePrinterPermanent(*extension(), &path, nullptr), row.result);
        EXPECT_EQ(markerDuring, 1u);
        EXPECT_EQ(protectedDuring, 1u);
        EXPECT_EQ(JobAccountingSettings::readMakePermanentInstance(), 0u);
        EXPECT_EQ(getProcessProperty(krv::kUpdateNowProtectedMode), 0u);
        std::vector<std::string> cleared;
        for (const std::string& line : log.calls("DeletePrinterDataW"))
            if (line.find("LumoUpdateNow") != std::string::npos)
                cleared.push_back(line);
        ASSERT_EQ(cleared.size(), row.clearedQueue.empty() ? 0u : 1u);
        if (!row.clearedQueue.empty()) {
            EXPECT_NE(cleared[0].find(testenv::narrow(row.clearedQueue) + "\t"), std::string::npos) << cleared[0];
            EXPECT_NE(message.find(row.clearedQueue + L" was"), std::wstring::npos) << testenv::narrow(message);
        }
        removeQueue(made);
    }
    DWORD type = 0, value = 0, needed = 0;
    HANDLE printer = nullptr;
    ASSERT_TRUE(openPrinterWithAccess(queue_.name(), &printer, 0));
    ScopedPrinter kept(printer);
    EXPECT_EQ(DWORD{ERROR_SUCCESS}, GetPrinterDataW(printer, const_cast<wchar_t*>(L"LumoUpdateNow"), &type,
                                                    reinterpret_cast<BYTE*>(&value), sizeof(value), &needed));
}

} // namespace
