// The text entry box on template 110 and the manual printer entry built on
// it, with the core's resolution and checks played by a fake: labels and
// title from lParam, the text read back on OK, the display text, and each
// failure keeping the box open with its message (a second resolution that
// finds nothing included), and the job delivery mark and the queue's stored
// community by the core's own operations.
#include "ui/ManualPrinterEntryDialog.h"

#include "bidi/SNMPCommunityName.h"
#include "support/ChildRun.h"
#include "support/DialogDriver.h"
#include "support/FakeDestinationWorkflow.h"
#include "support/SharedState.h"
#include "support/TestEnv.h"
#include "support/TestSpooler.h"
#include "support/UiTestEnv.h"
#include "ui/UiText.h"
#include "ui/resources/EnterTextDialogIds.h"
#include "ui/resources/StringIds.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

VRELM_TEST_SHARES(policy_settings);

using testenv::DialogDriver;

namespace {

class ManualPrinterEntryDialogTest : public testenv::UiSuite {
protected:
    std::wstring text(UINT id) { return uitext::load(extension(), id); }

    // Types the address, presses OK and takes the result the box made.
    static std::unique_ptr<MPrint::PrintPath> enter(MPrint::ManualPrinterEntryDialog& dialog,
                                                    const std::wstring& address)
    {
        DialogDriver driver;
        driver.onDialog([address](HWND box) {
            DialogDriver::type(box, IDC_ENTER_TEXT, address);
            DialogDriver::click(box, IDOK);
        });
        EXPECT_EQ(IDOK, LumoraDialog::doModal(&dialog, nullptr, EnterTextDialog::kTemplate, 0x0093003A));
        return std::unique_ptr<MPrint::PrintPath>(dialog.takePrintPath());
    }
};

// Scripted lookups and checks; whether the queue delivers jobs is the
// answer of the workflow's default set.
class CoreJobDelivery : public testenv::FakeDestinationWorkflow {
public:
    bool isJobDeliveryEnabled(const std::wstring& printerName, MPrint::PrintPath* path) override
    {
        return MPrint::DestinationWorkflow::isJobDeliveryEnabled(printerName, path);
    }
};

// Scripted lookups and checks; the queue's community is written by the
// workflow's default set, into the queue's printer data.
class CoreCommunityStore : public testenv::FakeDestinationWorkflow {
public:
    bool storeQueueCommunity(HANDLE printer, const std::wstring& printerName, const std::wstring& community) override
    {
        return MPrint::DestinationWorkflow::storeQueueCommunity(printer, printerName, community);
    }
};

TEST(ManualPrinterEntryDisplay, CommunityModelAndAddress)
{
    const struct {
        const wchar_t* address;
        const char* model;
        const wchar_t* community;
        const wchar_t* display;
    } rows[] = {
        {L"\\\\srv\\q", "M", L"", L"\\\\srv\\q"},
        {L"1.2.3.4", "M", L"", L"M (1.2.3.4)"},
        {L"1.2.3.4", "M", L"pub", L"pub@M (1.2.3.4)"},
        {L"1.2.3.4", "", L"", L"1.2.3.4"},
        {L"\\\\srv\\q", "M", L"pub", L"pub@\\\\srv\\q"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testenv::narrow(row.display));
        EXPECT_EQ(row.display, MPrint::ManualPrinterEntryDialog::displayText(row.address, row.model, row.community));
    }
}

TEST_F(ManualPrinterEntryDialogTest, TextEntryShowsItsLabelsAndReturnsTheText)
{
    EnterTextDialog dialog(extension(), IDS_NEW_PROFILE, nullptr);
    DialogDriver driver;
    std::wstring title;
    std::wstring labels[2];
    std::wstring initial;
    driver.onDialog([&](HWND box) {
        title = DialogDriver::title(box);
        labels[0] = DialogDriver::text(box, IDC_ENTER_LABEL1);
        labels[1] = DialogDriver::text(box, IDC_ENTER_LABEL2);
        initial = DialogDriver::text(box, IDC_ENTER_TEXT);
        DialogDriver::type(box, IDC_ENTER_TEXT, L"Second floor");
        DialogDriver::click(box, IDOK);
    });
    EXPECT_EQ(IDOK, LumoraDialog::doModal(&dialog, nullptr, EnterTextDialog::kTemplate, 0x005F0063));
    EXPECT_EQ(text(IDS_NEW_PROFILE), title);
    EXPECT_EQ(text(IDS_PROFILE_NAME_LABEL), labels[0]);
    EXPECT_EQ(text(IDS_NAME), labels[1]);
    EXPECT_EQ(L"", initial);
    EXPECT_EQ(L"Second floor", dialog.getText());

    EnterTextDialog cancelled(extension(), IDS_NEW_PROFILE, L"Kept");
    driver.onDialog([](HWND box) {
        DialogDriver::type(box, IDC_ENTER_TEXT, L"Typed");
        DialogDriver::click(box, IDCANCEL);
    });
    EXPECT_EQ(IDCANCEL, LumoraDialog::doModal(&cancelled, nullptr, EnterTextDialog::kTemplate, 0));
    EXPECT_EQ(L"Kept", cancelled.getText());
}

TEST_F(ManualPrinterEntryDialogTest, FailuresKeepTheBoxOpenWithTheirMessage)
{
    MPrint::PrintPath device;
    device.setStringAttribute(L"Address", L"10.0.0.7", true);
    device.getDevice().setModelName("Vennaset");
    struct Row {
        const char* name;
        std::function<void(testenv::FakeDestinationWorkflow&)> arrange;
        std::wstring message;
    };
    const Row rows[] = {
        {"no service resolves the address", [](auto&) {}, text(IDS_PRINTER_NOT_FOUND)},
        {"the device fails validation", [&](auto& w) { w.resolutions = {&device}; w.validates = false; },
         text(IDS_PRINTER_NOT_FOUND)},
        {"the language does not fit", [&](auto& w) { w.resolutions = {&device}; w.pdlAnswer = 0; },
         uitext::format(extension(), IDS_WRONG_MODEL_FMT, L"printer7")},
        {"the second resolution finds nothing", [&](auto& w) { w.resolutions = {&device, nullptr}; },
         text(IDS_PRINTER_NOT_FOUND)},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        testenv::FakeDestinationWorkflow workflow;
        row.arrange(workflow);
        MPrint::ManualPrinterEntryDialog dialog(extension(), IDS_MANUAL_ENTRY_TITLE, L"");
        DialogDriver driver;
        std::wstring message;
        std::wstring caption;
        bool stillOpen = false;
        driver.onDialog([](HWND box) {
            DialogDriver::type(box, IDC_ENTER_TEXT, L"printer7");
            DialogDriver::click(box, IDOK);
        });
        driver.onDialog([&](HWND messageBox) {
            message = DialogDriver::messageBoxText(messageBox);
            caption = DialogDriver::title(messageBox);
            HWND entry = GetWindow(messageBox, GW_OWNER);
            PostMessageW(messageBox, WM_COMMAND, IDOK, 0);
            DialogDriver::after(50, [&, entry] {
                stillOpen = IsWindow(entry) && IsWindowVisible(entry);
                DialogDriver::click(entry, IDCANCEL);
            });
        });
        EXPECT_EQ(IDCANCEL, LumoraDialog::doModal(&dialog, nullptr, EnterTextDialog::kTemplate, 0x0093003A));
        EXPECT_EQ(row.message, message);
        EXPECT_EQ(text(IDS_ERROR_CAPTION), caption);
        EXPECT_TRUE(stillOpen);
        EXPECT_EQ(nullptr, std::unique_ptr<MPrint::PrintPath>(dialog.takePrintPath()));
    }
}

TEST_F(ManualPrinterEntryDialogTest, ResolvedPrinterBecomesThePrintPath)
{
    MPrint::PrintPath device;
    device.setStringAttribute(L"Address", L"10.0.0.7", true);
    device.setStringAttribute(L"LumoSNMPCommunityName", L"pub", true);
    device.setStringAttribute(L"PrinterInfo", L"Model: Vennaset", true);
    device.getDevice().setModelName("Vennaset");
    MPrint::PrintPath second;
    second.setStringAttribute(L"Address", L"10.0.0.7", true);
    testenv::FakeDestinationWorkflow workflow;
    workflow.resolutions = {&device, &second};
    workflow.jobDelivery = true;
    MPrint::ManualPrinterEntryDialog dialog(extension(), IDS_MANUAL_ENTRY_TITLE, L"");
    std::unique_ptr<MPrint::PrintPath> path = enter(dialog, L"printer7");
    ASSERT_NE(nullptr, path);
    EXPECT_EQ(nullptr, dialog.takePrintPath());
    EXPECT_EQ(1u, path->getNumericAttribute(L"JobDelivery"));
    EXPECT_EQ("Vennaset", path->getDevice().getModelName());
    EXPECT_EQ(L"Model: Vennaset", path->getStringAttribute(L"PrinterInfo"));
    EXPECT_EQ((std::vector<std::wstring>{L"printer7", L"pub@Vennaset (10.0.0.7)"}), workflow.resolvedDisplays());
    EXPECT_EQ(std::vector<std::wstring>{L"pub"}, workflow.communities());
    EXPECT_EQ(L"printer7", dialog.getText());
}

// The community an administrator stored on the job's queue survives an
// address typed without one, whether the device is then taken or refused;
// a typed "community@address" replaces it.
TEST_F(ManualPrinterEntryDialogTest, QueueCommunityIsReplacedOnlyByATypedOne)
{
    struct Row {
        const char* name;
        const wchar_t* typed;
        const wchar_t* community; // the found path's, as the resolution reads it from the typed text
        DWORD pdlAnswer;          // 1: the device is taken
        const wchar_t* stored;
    };
    const Row rows[] = {
        {"no community, the device taken", L"10.0.0.7", L"", 1, L"cedar"},
        {"no community, the device refused", L"10.0.0.7", L"", 0, L"cedar"},
        {"a typed community", L"x@10.0.0.7", L"x", 1, L"x"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        testspool::ScopedQueue queue(testspool::uniqueQueueName(L"Community"));
        ASSERT_EQ(DWORD{ERROR_SUCCESS}, queue.error());
        ASSERT_EQ(DWORD{ERROR_SUCCESS}, queue.setString(L"", SNMPCommunityName::kValueName, L"cedar"));
        extension()->replaceDestinationContext(queue.name(), nullptr);
        MPrint::PrintPath found;
        found.setStringAttribute(L"Address", L"10.0.0.7", true);
        if (*row.community)
            found.setStringAttribute(SNMPCommunityName::kValueName, row.community, true);
        MPrint::PrintPath named;
        named.setStringAttribute(L"Address", L"10.0.0.7", true);
        CoreCommunityStore workflow;
        workflow.resolutions = {&found, &named};
        workflow.pdlAnswer = row.pdlAnswer;

        MPrint::ManualPrinterEntryDialog dialog(extension(), IDS_MANUAL_ENTRY_TITLE, L"");
        const bool taken = row.pdlAnswer == 1;
        DialogDriver driver;
        driver.onDialog([&row](HWND box) {
            DialogDriver::type(box, IDC_ENTER_TEXT, row.typed);
            DialogDriver::click(box, IDOK);
        });
        if (!taken) {
            driver.onDialog([](HWND messageBox) {
                HWND entry = GetWindow(messageBox, GW_OWNER);
                PostMessageW(messageBox, WM_COMMAND, IDOK, 0);
                DialogDriver::after(50, [entry] { DialogDriver::click(entry, IDCANCEL); });
            });
        }
        EXPECT_EQ(taken ? IDOK : IDCANCEL,
                  LumoraDialog::doModal(&dialog, nullptr, EnterTextDialog::kTemplate, 0x0093003A));
        EXPECT_EQ(0, driver.watchdogHits());
        EXPECT_EQ(row.stored, SNMPQueueCommunityName(queue.name().c_str()).getValue());
    }
}

// The job's queue decides whether the printer found is marked for job
// delivery: its own data in static mode, or the managed list's switch on
// the printer.
TEST_F(ManualPrinterEntryDialogTest, PrinterIsMarkedWhenTheQueueDeliversItsJobs)
{
    struct Row {
        const char* name;
        bool staticQueueDelivers;        // the queue's "StaticMode" 1 and "JobDelivery" 1
        std::optional<DWORD> listSwitch; // the found printer's "JobDelivery", from a managed list
        bool marked;
    };
    const Row rows[] = {
        {"a static-mode queue that delivers", true, std::nullopt, true},
        {"a managed list's printer that delivers", false, 1, true},
        {"a switch of 2 counts as off", false, 2, false},
        {"nothing says so", false, std::nullopt, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        testspool::ScopedQueue queue(testspool::uniqueQueueName(L"Delivery"));
        ASSERT_EQ(DWORD{ERROR_SUCCESS}, queue.error());
        if (row.staticQueueDelivers) {
            ASSERT_EQ(DWORD{ERROR_SUCCESS}, queue.setDword(L"", L"StaticMode", 1));
            ASSERT_EQ(DWORD{ERROR_SUCCESS}, queue.setDword(L"", L"JobDelivery", 1));
        }
        extension()->replaceDestinationContext(queue.name(), nullptr);
        MPrint::PrintPath found;
        found.setStringAttribute(L"Address", L"10.0.0.7", true);
        if (row.listSwitch)
            found.setNumericAttribute(L"JobDelivery", *row.listSwitch, true);
        MPrint::PrintPath named;
        named.setStringAttribute(L"Address", L"10.0.0.7", true);
        CoreJobDelivery workflow;
        workflow.resolutions = {&found, &named};

        MPrint::ManualPrinterEntryDialog dialog(extension(), IDS_MANUAL_ENTRY_TITLE, L"");
        std::unique_ptr<MPrint::PrintPath> path = enter(dialog, L"10.0.0.7");
        ASSERT_NE(nullptr, path);
        EXPECT_EQ(row.marked ? 1u : 0xFFFFFFFFu, path->getNumericAttribute(L"JobDelivery"));
    }
}

// In a Hebrew user interface the mirrored template (610) shows, laid out
// right to left, with the Hebrew texts.
TEST_F(ManualPrinterEntryDialogTest, HebrewUserInterfaceShowsTheMirroredTemplate)
{
    if (!testenv::inChildProcess()) {
        const auto child = testenv::runSelfInLocale(
            "ManualPrinterEntryDialogTest.HebrewUserInterfaceShowsTheMirroredTemplate", L"he_IL.UTF-8");
        EXPECT_EQ(0u, child.exitCode) << child.output;
        return;
    }
    ASSERT_TRUE(extension()->getSettings()->isRightToLeftLanguage());
    EnterTextDialog dialog(extension(), IDS_NEW_PROFILE, nullptr);
    DialogDriver driver;
    LONG_PTR exStyle = 0;
    std::wstring title;
    driver.onDialog([&](HWND box) {
        exStyle = GetWindowLongPtrW(box, GWL_EXSTYLE);
        title = DialogDriver::title(box);
        DialogDriver::click(box, IDCANCEL);
    });
    EXPECT_EQ(IDCANCEL, LumoraDialog::doModal(&dialog, nullptr, EnterTextDialog::kTemplate, 0x005F0063));
    EXPECT_TRUE(exStyle & WS_EX_LAYOUTRTL);
    EXPECT_EQ(text(IDS_NEW_PROFILE), title);
    ASSERT_FALSE(title.empty());
    EXPECT_GE(title[0], 0x0590); // Hebrew letters
    EXPECT_LE(title[0], 0x05FF);
}

} // namespace
