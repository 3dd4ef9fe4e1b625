// The shared-printer dialog: when OK may be pressed, a browsed printer
// dropped once the path is edited, and OK that resolves and validates
// before it closes (an ambiguous path or an invalid device keeps the box
// open with the error).
#include "ui/UNCSearchResultsDialog.h"

#include "destination/PrintPathAttr.h"
#include "support/DialogDriver.h"
#include "support/FakeDestinationWorkflow.h"
#include "support/ScriptedSearchService.h"
#include "support/SharedState.h"
#include "support/UiTestEnv.h"
#include "ui/UiText.h"
#include "ui/resources/StringIds.h"
#include "ui/resources/UNCSearchResultsDialogIds.h"

#include <gtest/gtest.h>

#include <memory>

VRELM_TEST_SHARES(policy_settings);

using fakes::ScriptedSearchService;
using testenv::DialogDriver;

namespace {

class UNCSearchResultsDialogTest : public testenv::UiSuite {};

TEST_F(UNCSearchResultsDialogTest, OkNeedsThreeBackslashes)
{
    const struct {
        const wchar_t* text;
        bool complete;
    } cases[] = {
        {L"", false}, {L"\\\\srv", false}, {L"\\\\srv\\", true}, {L"\\\\srv\\queue", true}, {L"srv\\a\\b", false},
    };
    ScriptedSearchService service(MPrint::DiscoveryServiceIntf::kCapSearch);
    UNCSearchResultsDialog dialog(extension(), &service);
    DialogDriver driver;
    std::vector<bool> enabled;
    driver.onDialog([&](HWND box) {
        enabled.push_back(IsWindowEnabled(GetDlgItem(box, IDOK)) != FALSE);
        for (const auto& row : cases) {
            SetDlgItemTextW(box, IDC_UNC_PATH, row.text);
            enabled.push_back(IsWindowEnabled(GetDlgItem(box, IDOK)) != FALSE);
        }
        DialogDriver::click(box, IDCANCEL);
    });
    EXPECT_EQ(nullptr, dialog.choose(nullptr, L"Shared printers"));
    ASSERT_EQ(std::size(cases) + 1, enabled.size());
    EXPECT_FALSE(enabled[0]);
    for (size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(cases[i].complete, enabled[i + 1]) << i;
    EXPECT_EQ(0, service.searches.load()); // no search of its own
}

TEST_F(UNCSearchResultsDialogTest, EditingTheBrowsedPathDropsIt)
{
    ScriptedSearchService service(MPrint::DiscoveryServiceIntf::kCapSearch, {L"Queue"});
    UNCSearchResultsDialog dialog(extension(), &service);
    DialogDriver driver;
    std::wstring typed, details, detailsAfterEdit;
    bool heldAfterBrowse = false;
    driver.onDialog([&](HWND box) {
        SendMessageW(box, WM_COMMAND, MAKEWPARAM(IDC_UNC_BROWSE, BN_CLICKED), 0);
        typed = DialogDriver::text(box, IDC_UNC_PATH);
        details = DialogDriver::text(box, IDC_SEARCH_DETAILS);
        heldAfterBrowse = dialog.getChosenPath() != nullptr;
        SetDlgItemTextW(box, IDC_UNC_PATH, L"\\\\other\\queue");
        detailsAfterEdit = DialogDriver::text(box, IDC_SEARCH_DETAILS);
        DialogDriver::click(box, IDCANCEL);
    });
    EXPECT_EQ(nullptr, dialog.choose(nullptr, L"Shared printers"));
    EXPECT_EQ(L"addr-Queue", typed);
    EXPECT_EQ(L"Info of Queue", details);
    EXPECT_TRUE(heldAfterBrowse);
    EXPECT_EQ(L"", detailsAfterEdit);
    EXPECT_EQ(nullptr, dialog.getChosenPath());
}

TEST_F(UNCSearchResultsDialogTest, OkClosesOnlyForOneValidPrinter)
{
    const struct {
        const char* name;
        std::vector<std::wstring> resolveTo;
        bool valid;
        bool closes;
    } rows[] = {
        {"one valid printer", {L"Queue"}, true, true},
        {"two printers", {L"Queue", L"Other"}, true, false},
        {"none", {}, true, false},
        {"device not valid", {L"Queue"}, false, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ScriptedSearchService service(MPrint::DiscoveryServiceIntf::kCapSearch);
        service.resolveTo = row.resolveTo;
        testenv::FakeDestinationWorkflow workflow;
        workflow.validates = row.valid;
        UNCSearchResultsDialog dialog(extension(), &service);
        DialogDriver driver;
        std::wstring error;
        driver.onDialog([&](HWND box) {
            SetDlgItemTextW(box, IDC_UNC_PATH, L"\\\\srv\\queue");
            DialogDriver::click(box, IDOK);
            if (!row.closes) {
                driver.onDialog([&, box](HWND message) {
                    error = DialogDriver::messageBoxText(message);
                    DialogDriver::click(message, IDOK);
                    DialogDriver::after(50, [box] { DialogDriver::click(box, IDCANCEL); });
                });
            }
        });
        std::unique_ptr<MPrint::PrintPath> chosen(dialog.choose(nullptr, L"Shared printers"));
        EXPECT_EQ(L"\\\\srv\\queue", service.lastResolved);
        EXPECT_EQ(row.closes, chosen != nullptr);
        if (chosen)
            EXPECT_EQ(L"Queue", chosen->getStringAttribute(PrintPathAttr::DisplayString));
        else
            EXPECT_EQ(uitext::load(extension(), IDS_PRINTER_NOT_FOUND), error);
        EXPECT_EQ(0, driver.watchdogHits());
    }
}

} // namespace
