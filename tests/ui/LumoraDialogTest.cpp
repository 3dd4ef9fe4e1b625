// The dialog base classes over a fixture resource module (template 300 and
// its right-to-left twin 800), each dialog shown for real and driven by the
// CBT-hook driver: binding, localisation, titles, help, the rounded
// buttons, doModal's results and message boxes.
#include "ui/LumoraDialog.h"

#include "support/ChildRun.h"
#include "support/DialogDriver.h"
#include "support/SharedState.h"
#include "support/TestEnv.h"
#include "support/UiTestEnv.h"
#include "ui/ChildWindowDlg.h"
#include "ui/HelpCalls.h"
#include "ui/ProsumerButton.h"

#include <gtest/gtest.h>

#include <htmlhelp.h>

#include <string>
#include <vector>

VRELM_TEST_SHARES(policy_settings);

using testenv::DialogDriver;

namespace {

constexpr UINT kFixtureTemplate = 300;

class UiFixture : public testenv::UiSuite {
protected:
    void SetUp() override { module_ = std::make_unique<testenv::UiTestEnv::ModuleScope>(*env_, L"UiFixture.dll"); }
    void TearDown() override { module_.reset(); }

    std::unique_ptr<testenv::UiTestEnv::ModuleScope> module_;
};

// Records what the base routes to it.
class ProbeDialog : public LumoraDialog {
public:
    using LumoraDialog::LumoraDialog;
    INT_PTR onInitDialog(WPARAM wParam, LPARAM lParam) override
    {
        initParam = lParam;
        const INT_PTR result = LumoraDialog::onInitDialog(wParam, lParam);
        if (prefixTitle)
            prefixTitleWithPrinter();
        return result;
    }
    INT_PTR onCommand(WPARAM wParam, LPARAM lParam) override
    {
        commands.push_back(LOWORD(wParam));
        return LumoraDialog::onCommand(wParam, lParam);
    }
    void onDestroy() override
    {
        destroyed = true;
        LumoraDialog::onDestroy();
    }
    LPARAM initParam = 0;
    bool prefixTitle = false;
    bool destroyed = false;
    std::vector<int> commands;
};

struct HelpRecord {
    std::vector<std::wstring> htmlHelp;
    std::vector<UINT> htmlCommands;
    std::vector<std::wstring> processes;
};
HelpRecord g_help;

// Replaces the help calls for one test.
class RecordedHelp {
public:
    RecordedHelp() : saved_(HelpCalls::current())
    {
        g_help = HelpRecord();
        HelpCalls::current().htmlHelp = [](HWND, const wchar_t* file, UINT command, DWORD_PTR) -> HWND {
            g_help.htmlHelp.push_back(file);
            g_help.htmlCommands.push_back(command);
            return nullptr;
        };
        HelpCalls::current().startProcess = [](const std::wstring& line) {
            g_help.processes.push_back(line);
            return true;
        };
    }
    ~RecordedHelp() { HelpCalls::current() = saved_; }

private:
    HelpCalls saved_;
};

TEST(LumoraDialogTables, RightToLeftTemplatesAreShiftedBelow500Only)
{
    const struct {
        UINT asked;
        bool rightToLeft;
        UINT shown;
    } rows[] = {{102, true, 602}, {499, true, 999}, {500, true, 500}, {502, true, 502}, {102, false, 102}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.asked);
        EXPECT_EQ(row.shown, LumoraDialog::templateFor(row.asked, row.rightToLeft));
    }
}

TEST(LumoraDialogTables, TitleTakesThePrinterNameUnlessItHoldsTheTitle)
{
    const struct {
        const wchar_t* printer;
        const wchar_t* title;
        const wchar_t* result;
    } rows[] = {
        {L"Office 1", L"Printers", L"Office 1 - Printers"},
        {L"Printers on floor 2", L"Printers", L"Printers on floor 2"},
        {L"", L"Printers", L"Printers"},
        {L"Office 1", L"", L""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testenv::narrow(row.printer));
        EXPECT_EQ(row.result, LumoraDialog::titleWithPrinter(row.printer, row.title));
    }
}

TEST(LumoraDialogTables, HelpTopicsFollowTheTableInOrder)
{
    DWORD context = 0;
    EXPECT_STREQ(L"200.html", LumoraDialog::helpTopicFor(1034, &context));
    EXPECT_EQ(200u, context);
    EXPECT_STREQ(L"104.html", LumoraDialog::helpTopicFor(1005));
    EXPECT_STREQ(L"210.html", LumoraDialog::helpTopicFor(1060, &context));
    EXPECT_EQ(210u, context);
    EXPECT_EQ(nullptr, LumoraDialog::helpTopicFor(1001));
}

TEST_F(UiFixture, ShownDialogIsBoundLocalisedAndEndsThroughItsButtons)
{
    ProbeDialog dialog(extension());
    DialogDriver driver;
    std::wstring texts[3];
    std::wstring nested;
    bool bound = false;
    bool okIsGreenDefault = false;
    bool cancelIsBlue = false;
    driver.onDialog([&](HWND box) {
        bound = DialogDriver::boundObject(box) == &dialog && dialog.getWindow() == box;
        for (int i = 0; i < 3; ++i)
            texts[i] = DialogDriver::text(box, 1000 + i);
        // A window below a control is visited as well.
        HWND child = CreateWindowExW(0, L"STATIC", L"RCLID_75", WS_CHILD, 0, 0, 10, 10, GetDlgItem(box, 1002), nullptr,
                                     nullptr, nullptr);
        dialog.localize();
        nested = DialogDriver::title(child);
        auto* ok = static_cast<ProsumerButton*>(dialog.findOwnerDrawControl(IDOK));
        auto* cancel = static_cast<ProsumerButton*>(dialog.findOwnerDrawControl(IDCANCEL));
        okIsGreenDefault = ok && ok->getStyle() == ProsumerButton::kGreen && ok->isDefault();
        cancelIsBlue = cancel && cancel->getStyle() == ProsumerButton::kBlue && !cancel->isDefault();
        DialogDriver::click(box, IDOK);
    });
    EXPECT_EQ(IDOK, LumoraDialog::doModal(&dialog, nullptr, kFixtureTemplate, 0x1234));
    EXPECT_TRUE(bound);
    EXPECT_EQ(0x1234, dialog.initParam);
    EXPECT_EQ(L"Printer", texts[0]);
    EXPECT_EQ(L"Zero", texts[1]); // "RCLID_" and no digits: string 0
    EXPECT_EQ(L"Plain text", texts[2]);
    EXPECT_EQ(L"Printer", nested);
    EXPECT_TRUE(okIsGreenDefault);
    EXPECT_TRUE(cancelIsBlue);
    EXPECT_TRUE(dialog.destroyed);
    EXPECT_EQ(std::vector<int>{IDOK}, dialog.commands);
}

TEST_F(UiFixture, CancelAndCloseEndWithTwo)
{
    for (UINT message : {WM_CLOSE, WM_COMMAND}) {
        SCOPED_TRACE(message);
        ProbeDialog dialog(extension());
        DialogDriver driver;
        driver.onDialog([message](HWND box) {
            if (message == WM_CLOSE)
                PostMessageW(box, WM_CLOSE, 0, 0);
            else
                DialogDriver::click(box, IDCANCEL);
        });
        EXPECT_EQ(IDCANCEL, LumoraDialog::doModal(&dialog, nullptr, kFixtureTemplate, 0));
    }
}

TEST_F(UiFixture, CloseBeforeAnyObjectIsBoundEndsWithTwo)
{
    DialogDriver driver;
    void* object = reinterpret_cast<void*>(1);
    driver.onDialog([&](HWND box) {
        object = DialogDriver::boundObject(box);
        PostMessageW(box, WM_CLOSE, 0, 0);
    });
    EXPECT_EQ(IDCANCEL, DialogBoxParamW(module_->module(), MAKEINTRESOURCEW(kFixtureTemplate), nullptr,
                                        lumoraDialogProc, 0));
    EXPECT_EQ(nullptr, object);
}

TEST_F(UiFixture, MissingTemplateGivesMinusOneAndLeavesNothingParked)
{
    ProbeDialog missing(extension());
    EXPECT_EQ(-1, LumoraDialog::doModal(&missing, nullptr, 399, 0));
    // The next box is not bound to the object that never showed.
    DialogDriver driver;
    void* object = reinterpret_cast<void*>(1);
    driver.onDialog([&](HWND box) {
        object = DialogDriver::boundObject(box);
        PostMessageW(box, WM_CLOSE, 0, 0);
    });
    DialogBoxParamW(module_->module(), MAKEINTRESOURCEW(kFixtureTemplate), nullptr, lumoraDialogProc, 0);
    EXPECT_EQ(nullptr, object);
}

TEST_F(UiFixture, NullDialogShowsAnErrorBoxAndCountsAsCancel)
{
    DialogDriver driver;
    std::wstring text;
    std::wstring caption;
    driver.onDialog([&](HWND box) {
        text = DialogDriver::messageBoxText(box);
        caption = DialogDriver::title(box);
        PostMessageW(box, WM_COMMAND, IDOK, 0);
    });
    EXPECT_EQ(IDCANCEL, LumoraDialog::doModal(nullptr, nullptr, kFixtureTemplate, 0));
    // Wine has no system text for 0x80030008: the pre-filled one stays.
    EXPECT_EQ(L"Internal Error", text);
    EXPECT_EQ(L"Fixture Error", caption);
}

TEST_F(UiFixture, HelpOpensTheTopicOfTheControlAndTheHelpButtonQuotesItsFile)
{
    RecordedHelp recorded;
    LumoraSettings* settings = extension()->getSettings();
    const std::wstring savedHelp = settings->getHelpFile();
    const std::wstring savedHtml = settings->getHtmlHelpFile();
    settings->setHelpFile(L"C:\\Help Files\\vrelh.chm");
    settings->setHtmlHelpFile(L"C:\\Program Files\\QZ\\vrelh02EN.CHM");

    ProbeDialog dialog(extension());
    DialogDriver driver;
    driver.onDialog([](HWND box) {
        for (int id : {1034, 1001}) {
            HELPINFO info = {sizeof(info), HELPINFO_WINDOW, id, GetDlgItem(box, id), 0, {0, 0}};
            SendMessageW(box, WM_HELP, 0, reinterpret_cast<LPARAM>(&info));
        }
        DialogDriver::click(box, 9);
        DialogDriver::click(box, IDCANCEL);
    });
    LumoraDialog::doModal(&dialog, nullptr, kFixtureTemplate, 0);
    settings->setHelpFile(savedHelp.c_str());
    settings->setHtmlHelpFile(savedHtml.c_str());

    EXPECT_EQ(std::vector<std::wstring>{L"C:\\Help Files\\vrelh.chm::/200.html"}, g_help.htmlHelp);
    EXPECT_EQ(std::vector<UINT>{HH_DISPLAY_TOPIC}, g_help.htmlCommands);
    EXPECT_EQ(std::vector<std::wstring>{L"HH.EXE \"C:\\Program Files\\QZ\\vrelh02EN.CHM\""}, g_help.processes);
}

TEST_F(UiFixture, TitleIsPrefixedWithThePrinterOfTheDestination)
{
    ASSERT_TRUE(extension()->createDestinationContext(L"Office 1"));
    ProbeDialog dialog(extension());
    dialog.prefixTitle = true;
    DialogDriver driver;
    std::wstring title;
    driver.onDialog([&](HWND box) {
        title = DialogDriver::title(box);
        DialogDriver::click(box, IDCANCEL);
    });
    LumoraDialog::doModal(&dialog, nullptr, kFixtureTemplate, 0);
    EXPECT_EQ(L"Office 1 - Printers", title);
}

TEST_F(UiFixture, RightToLeftLanguageShowsTheMirroredTemplate)
{
    testenv::UiTestEnv::LanguageScope hebrew(*env_, MAKELANGID(LANG_HEBREW, SUBLANG_DEFAULT));
    ProbeDialog dialog(extension());
    DialogDriver driver;
    std::wstring title;
    LONG_PTR exStyle = 0;
    driver.onDialog([&](HWND box) {
        title = DialogDriver::title(box);
        exStyle = GetWindowLongPtrW(box, GWL_EXSTYLE);
        DialogDriver::click(box, IDCANCEL);
    });
    EXPECT_EQ(IDCANCEL, LumoraDialog::doModal(&dialog, nullptr, kFixtureTemplate, 0));
    EXPECT_EQ(L"Printers RTL", title);
    EXPECT_TRUE(exStyle & WS_EX_LAYOUTRTL);
}

TEST_F(UiFixture, ChildWindowDialogFindsDescendants)
{
    ProbeDialog dialog(extension());
    DialogDriver driver;
    bool found = false;
    bool missing = true;
    driver.onDialog([&](HWND box) {
        HWND inner = CreateWindowExW(0, L"STATIC", L"RCLID_31", WS_CHILD, 0, 0, 10, 10, GetDlgItem(box, 1002),
                                     reinterpret_cast<HMENU>(4242), nullptr, nullptr);
        ChildWindowDlg wrapper(box, extension());
        found = wrapper.getDlgItem(4242) == inner && DialogDriver::title(inner) == L"Remove";
        missing = wrapper.getDlgItem(4243) != nullptr;
        DialogDriver::click(box, IDCANCEL);
    });
    LumoraDialog::doModal(&dialog, nullptr, kFixtureTemplate, 0);
    EXPECT_TRUE(found);
    EXPECT_FALSE(missing);
}

// In the print host the box stays above every window.
TEST_F(UiFixture, PrintHostMakesTheDialogTopmost)
{
    if (testenv::inChildProcess()) {
        ASSERT_TRUE(LumoraDialog::isPrintHostProcess());
        ProbeDialog dialog(extension());
        DialogDriver driver;
        LONG_PTR exStyle = 0;
        driver.onDialog([&](HWND box) {
            exStyle = GetWindowLongPtrW(box, GWL_EXSTYLE);
            DialogDriver::click(box, IDCANCEL);
        });
        LumoraDialog::doModal(&dialog, nullptr, kFixtureTemplate, 0);
        EXPECT_TRUE(exStyle & WS_EX_TOPMOST);
        return;
    }
    EXPECT_FALSE(LumoraDialog::isPrintHostProcess());
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    const std::wstring host = testenv::binDir() + L"\\splwow64.exe";
    ASSERT_TRUE(CopyFileW(self, host.c_str(), FALSE));
    const auto result = testenv::runProcess(
        L"\"" + host + L"\" --gtest_filter=UiFixture.PrintHostMakesTheDialogTopmost",
        {{L"VRELM_TEST_CHILD", L"1"}}, testenv::binDir());
    DeleteFileW(host.c_str());
    EXPECT_EQ(0u, result.exitCode) << result.output;
}

} // namespace
