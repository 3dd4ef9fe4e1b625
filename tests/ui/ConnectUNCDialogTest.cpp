// The connect box: the share's path (or the client's display text) shown,
// credentials cut to their length, a refused connection explained with the
// system's text (or the fallback) while the box stays open, and OK ending
// the box only once connected.
#include "ui/AutoCreatedPrinterConnectionDialog.h"
#include "ui/ConnectUNCDialog.h"
#include "ui/PrintTimeDialogsUI.h"

#include "core/ResourceLoader.h"
#include "support/DialogDriver.h"
#include "support/SharedState.h"
#include "support/UiTestEnv.h"
#include "ui/UiText.h"
#include "ui/resources/ConnectUNCDialogIds.h"
#include "ui/resources/StringIds.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <utility>
#include <vector>

VRELM_TEST_SHARES(policy_settings);

using testenv::DialogDriver;

namespace {

// The platform cannot connect to a share here: the connection's answers
// are scripted and its credentials recorded.
template <typename Base>
class ScriptedConnection : public Base {
public:
    using Base::Base;
    std::deque<DWORD> answers;
    std::vector<std::pair<std::wstring, std::wstring>> calls;

protected:
    DWORD addConnection(const std::wstring& user, const std::wstring& password) override
    {
        calls.emplace_back(user, password);
        const DWORD answer = answers.empty() ? ERROR_SUCCESS : answers.front();
        if (!answers.empty())
            answers.pop_front();
        return answer;
    }
};

class ConnectUNCDialogTest : public testenv::UiSuite {
protected:
    std::wstring text(UINT id) { return uitext::load(extension(), id); }
    std::wstring systemText(DWORD code)
    {
        MPrint::ResourceLoader* loader = uitext::loader(extension());
        return uitext::systemMessage(code, loader ? loader->getLanguage() : 0, text(IDS_UNEXPECTED_ERROR));
    }
};

TEST_F(ConnectUNCDialogTest, RefusalsAreExplainedUntilTheConnectionIsMade)
{
    const struct {
        const char* name;
        DWORD refusal;
    } rows[] = {{"logon failure", ERROR_LOGON_FAILURE}, {"no network", ERROR_NO_NETWORK},
                {"code without a text", 0xE0001234}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ScriptedConnection<ConnectUNCDialog> dialog(extension(), L"\\\\server\\Office Printer");
        dialog.answers = {row.refusal, ERROR_SUCCESS};
        DialogDriver driver;
        std::wstring path, boxText, caption;
        bool openAfterRefusal = false;
        HWND box = nullptr;
        driver.onDialog([&](HWND window) {
            box = window;
            path = DialogDriver::text(window, IDC_CONNECT_PATH);
            DialogDriver::type(window, IDC_CONNECT_USER, L"DOMAIN\\" + std::wstring(200, L'u'));
            DialogDriver::type(window, IDC_CONNECT_PASSWORD, L"secret");
            DialogDriver::click(window, IDOK);
        });
        driver.onDialog([&](HWND message) {
            boxText = DialogDriver::messageBoxText(message);
            caption = DialogDriver::title(message);
            openAfterRefusal = IsWindow(box) && IsWindowVisible(box);
            DialogDriver::click(message, IDOK);
            DialogDriver::after(50, [&] { DialogDriver::click(box, IDOK); });
        });
        EXPECT_EQ(IDOK, LumoraDialog::doModal(&dialog, nullptr, ConnectUNCDialog::kTemplate, 0));
        EXPECT_EQ(0, driver.watchdogHits());
        EXPECT_EQ(L"\\\\server\\Office Printer", path);
        EXPECT_TRUE(openAfterRefusal);
        EXPECT_EQ(systemText(row.refusal), boxText);
        EXPECT_FALSE(boxText.empty());
        EXPECT_EQ(text(IDS_ERROR_CAPTION), caption);
        ASSERT_EQ(2u, dialog.calls.size());
        EXPECT_EQ((L"DOMAIN\\" + std::wstring(200, L'u')).substr(0, ConnectUNCDialog::kMaxCredential),
                  dialog.calls[0].first);
        EXPECT_EQ(L"secret", dialog.calls[0].second);
    }
}

TEST_F(ConnectUNCDialogTest, CancelDoesNotConnect)
{
    ScriptedConnection<ConnectUNCDialog> dialog(extension(), L"\\\\server\\share");
    DialogDriver driver;
    driver.onDialog([](HWND window) { DialogDriver::click(window, IDCANCEL); });
    EXPECT_EQ(IDCANCEL, LumoraDialog::doModal(&dialog, nullptr, ConnectUNCDialog::kTemplate, 0));
    EXPECT_TRUE(dialog.calls.empty());
}

// The platform's own connection is refused on this machine: the box says so
// and stays open.
TEST_F(ConnectUNCDialogTest, PlatformRefusalKeepsTheBoxOpen)
{
    ConnectUNCDialog dialog(extension(), L"\\\\nowhere-host\\print$");
    DialogDriver driver;
    std::wstring boxText;
    HWND box = nullptr;
    driver.onDialog([&](HWND window) {
        box = window;
        DialogDriver::click(window, IDOK);
    });
    driver.onDialog([&](HWND message) {
        boxText = DialogDriver::messageBoxText(message);
        DialogDriver::click(message, IDOK);
        DialogDriver::after(50, [&] { DialogDriver::click(box, IDCANCEL); });
    });
    EXPECT_EQ(IDCANCEL, LumoraDialog::doModal(&dialog, nullptr, ConnectUNCDialog::kTemplate, 0));
    EXPECT_FALSE(boxText.empty());
}

TEST_F(ConnectUNCDialogTest, AutoCreatedBoxShowsTheClientsPrinter)
{
    ScriptedConnection<AutoCreatedPrinterConnectionDialog> dialog(extension(), L"\\\\CLIENT1\\print$",
                                                                  L"\\\\CLIENT1\\Office 1");
    DialogDriver driver;
    std::wstring shown;
    driver.onDialog([&](HWND window) {
        shown = DialogDriver::text(window, IDC_CONNECT_PATH);
        DialogDriver::click(window, IDOK);
    });
    EXPECT_EQ(IDOK, LumoraDialog::doModal(&dialog, nullptr, ConnectUNCDialog::kTemplate, 0));
    EXPECT_EQ(L"\\\\CLIENT1\\Office 1", shown);
    EXPECT_EQ(L"\\\\CLIENT1\\print$", dialog.getUncPath());
    EXPECT_EQ(1u, dialog.calls.size());
}

// The verification's share prompt opens this box for the refused address.
TEST_F(ConnectUNCDialogTest, ThePrintTimeDialogsOfferItForARefusedShare)
{
    PrintTimeDialogsUI dialogs;
    DialogDriver driver;
    std::wstring shown;
    driver.onDialog([&](HWND window) {
        shown = DialogDriver::text(window, IDC_CONNECT_PATH);
        DialogDriver::click(window, IDCANCEL);
    });
    EXPECT_EQ(IDCANCEL, dialogs.connectShare(extension(), nullptr, L"\\\\server\\laser"));
    EXPECT_EQ(L"\\\\server\\laser", shown);
}

} // namespace
