// The search results dialog against a service the test steers: results
// listed as they come and one chosen, cancel and stop while the search
// runs (also a cancel before the service's search has begun), a close
// while the worker still reports results, a search on the dialog's thread,
// search again, and headings that look like format strings.
#include "ui/SearchResultsDialog.h"

#include "destination/PrintPathAttr.h"
#include "support/DialogDriver.h"
#include "support/ScriptedSearchService.h"
#include "support/SharedState.h"
#include "support/UiTestEnv.h"
#include "ui/UiText.h"
#include "ui/resources/SearchResultsDialogIds.h"
#include "ui/resources/StringIds.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

VRELM_TEST_SHARES(policy_settings);

using fakes::ScriptedSearchService;
using testenv::DialogDriver;

namespace {

constexpr uint32_t kWorker = MPrint::DiscoveryServiceIntf::kCapSearch | MPrint::DiscoveryServiceIntf::kCapWorkerThread;

LRESULT listCount(HWND box)
{
    return SendDlgItemMessageW(box, IDC_SEARCH_LIST, LB_GETCOUNT, 0, 0);
}

std::wstring listText(HWND box, int index)
{
    wchar_t text[256] = {};
    SendDlgItemMessageW(box, IDC_SEARCH_LIST, LB_GETTEXT, index, reinterpret_cast<LPARAM>(text));
    return text;
}

void select(HWND box, int index)
{
    SendDlgItemMessageW(box, IDC_SEARCH_LIST, LB_SETCURSEL, index, 0);
    SendMessageW(box, WM_COMMAND, MAKEWPARAM(IDC_SEARCH_LIST, LBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(GetDlgItem(box, IDC_SEARCH_LIST)));
}

class SearchResultsDialogTest : public testenv::UiSuite {
protected:
    std::wstring text(UINT id) { return uitext::load(extension(), id); }
};

TEST_F(SearchResultsDialogTest, ResultsAreListedAsFoundAndTheChosenOneIsHandedOver)
{
    for (uint32_t capabilities : {kWorker, MPrint::DiscoveryServiceIntf::kCapSearch}) {
        SCOPED_TRACE(capabilities);
        ScriptedSearchService service(capabilities, {L"Printer A", L"", L"Printer B"});
        SearchResultsDialog dialog(extension(), &service);
        DialogDriver driver;
        LRESULT countAtStart = -1, count = -1;
        bool okBefore = true, okSelected = false, okCleared = true;
        std::wstring details, status, second;
        driver.onDialog([&](HWND box) {
            countAtStart = listCount(box); // on the dialog's thread: all there before the first paint
            DialogDriver::waitFor([&dialog] { return dialog.isSearchFinished(); }, 3000, [&, box](bool) {
                count = listCount(box);
                second = listText(box, 1);
                status = DialogDriver::text(box, IDC_SEARCH_STATUS);
                okBefore = IsWindowEnabled(GetDlgItem(box, IDOK)) != FALSE;
                select(box, 1);
                okSelected = IsWindowEnabled(GetDlgItem(box, IDOK)) != FALSE;
                details = DialogDriver::text(box, IDC_SEARCH_DETAILS);
                select(box, -1);
                okCleared = IsWindowEnabled(GetDlgItem(box, IDOK)) != FALSE;
                select(box, 1);
                DialogDriver::click(box, IDOK);
            });
        });
        std::unique_ptr<MPrint::PrintPath> chosen(dialog.choose(nullptr, L"Printers"));
        ASSERT_TRUE(chosen);
        EXPECT_EQ(L"Printer B", chosen->getStringAttribute(PrintPathAttr::DisplayString));
        if (capabilities != kWorker) {
            EXPECT_EQ(2, countAtStart);
        }
        EXPECT_EQ(2, count); // the path without a display string is not listed
        EXPECT_EQ(L"Printer B", second);
        EXPECT_EQ(text(IDS_SELECT_AND_OK), status);
        EXPECT_FALSE(okBefore);
        EXPECT_TRUE(okSelected);
        EXPECT_FALSE(okCleared);
        EXPECT_EQ(L"Info of Printer B", details);
        EXPECT_EQ(capabilities == kWorker ? 40u : 8u, service.lastFlags.load());
        EXPECT_EQ(nullptr, dialog.takeChosenPath());
    }
}

TEST_F(SearchResultsDialogTest, CancelAndStopEndTheBoxOnlyWhenTheSearchHasEnded)
{
    const struct {
        const char* name;
        int button;
        bool closeToo;      // the window is closed while the request is pending
        bool beforeSearch;  // pressed before the service's search has begun
        INT_PTR result;
    } rows[] = {
        {"cancel", IDCANCEL, false, false, IDCANCEL},
        {"cancel before the search begins", IDCANCEL, false, true, IDCANCEL},
        {"stop", IDC_SEARCH_STOP, false, false, IDC_SEARCH_STOP},
        {"stop, then close", IDC_SEARCH_STOP, true, false, IDC_SEARCH_STOP},
        {"cancel, then close", IDCANCEL, true, false, IDCANCEL},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ScriptedSearchService service(kWorker, {L"Printer A"});
        service.holdEnd(row.closeToo); // a close waits for the search, which must end on the cancel
        service.lateResults = {L"Late one", L"Late two"}; // sent while the dialog may be waiting
        if (row.beforeSearch)
            service.holdStart();
        SearchResultsDialog dialog(extension(), &service);
        DialogDriver driver;
        bool openWhileRunning = false;
        std::wstring status;
        driver.onDialog([&](HWND box) {
            DialogDriver::click(box, row.button);
            if (row.closeToo)
                PostMessageW(box, WM_CLOSE, 0, 0);
            DialogDriver::after(100, [&, box] {
                openWhileRunning = IsWindow(box) != FALSE;
                status = DialogDriver::text(box, IDC_SEARCH_STATUS);
                service.openStart();
                // Past a repeat of the cancel: a search that began after it still sees it.
                DialogDriver::after(row.beforeSearch ? 2 * SearchResultsDialog::kCancelRepeatInterval : 0,
                                    [&] { service.release(); });
            });
        });
        EXPECT_EQ(row.result, LumoraDialog::doModal(&dialog, nullptr, IDD_SEARCH_RESULTS,
                                                    reinterpret_cast<LPARAM>(L"Printers")));
        // With a close the wait ends the search before the check runs.
        if (!row.closeToo) {
            EXPECT_TRUE(openWhileRunning);
            EXPECT_EQ(text(IDS_PLEASE_WAIT), status);
        }
        EXPECT_TRUE(service.sawCancel); // the search was asked to end, not waited out
        EXPECT_EQ(0, driver.watchdogHits());
        EXPECT_EQ(nullptr, dialog.takeChosenPath());
    }
}

TEST_F(SearchResultsDialogTest, SearchAgainRestartsTheServiceAndListsAfresh)
{
    ScriptedSearchService service(kWorker, {L"One", L"Two"});
    SearchResultsDialog dialog(extension(), &service);
    DialogDriver driver;
    LRESULT countAfterAgain = -1;
    driver.onDialog([&](HWND box) {
        DialogDriver::waitFor([&dialog] { return dialog.isSearchFinished(); }, 3000, [&, box](bool) {
            select(box, 0);
            service.results = {L"Three"};
            DialogDriver::click(box, IDC_SEARCH_AGAIN);
            DialogDriver::after(20, [&, box] {
                DialogDriver::waitFor([&dialog] { return dialog.isSearchFinished(); }, 3000, [&, box](bool) {
                    countAfterAgain = listCount(box);
                    select(box, 0);
                    DialogDriver::click(box, IDOK);
                });
            });
        });
    });
    std::unique_ptr<MPrint::PrintPath> chosen(dialog.choose(nullptr, L"Printers"));
    ASSERT_TRUE(chosen);
    EXPECT_EQ(L"Three", chosen->getStringAttribute(PrintPathAttr::DisplayString));
    EXPECT_EQ(1, countAfterAgain);
    EXPECT_EQ(2, service.searches.load());
    EXPECT_EQ(1, service.stops.load());
    EXPECT_EQ(1, service.starts.load());
}

TEST_F(SearchResultsDialogTest, HeadingsAreShownAsWritten)
{
    for (const wchar_t* heading : {L"Printers", L"%s%s%n 50% off", L"<b>\"quoted\"</b>"}) {
        ScriptedSearchService service(kWorker, {});
        SearchResultsDialog dialog(extension(), &service);
        DialogDriver driver;
        std::wstring shown, status;
        driver.onDialog([&](HWND box) {
            DialogDriver::waitFor([&dialog] { return dialog.isSearchFinished(); }, 3000, [&, box](bool) {
                shown = DialogDriver::text(box, IDC_SEARCH_HEADING);
                status = DialogDriver::text(box, IDC_SEARCH_STATUS);
                DialogDriver::click(box, IDCANCEL);
            });
        });
        EXPECT_EQ(nullptr, dialog.choose(nullptr, heading));
        EXPECT_EQ(heading, shown);
        EXPECT_EQ(text(IDS_NO_PRINTERS_FOUND), status);
    }
}

} // namespace
