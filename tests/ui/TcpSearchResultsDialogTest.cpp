// The TCP/IP search results: the count in the heading (also for headings
// holding format characters), sorting both ways, and the background
// resolve: held back during the search, one at a time, OK only for a
// resolved selection.
#include "ui/TcpSearchResultsDialog.h"

#include "destination/PrintPathAttr.h"
#include "discovery/TCPIPAddressDiscovery.h"
#include "support/DialogDriver.h"
#include "support/ScriptedSearchService.h"
#include "support/SharedState.h"
#include "support/UiTestEnv.h"
#include "ui/resources/TcpSearchResultsDialogIds.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

VRELM_TEST_SHARES(policy_settings);

using testenv::DialogDriver;

namespace {

// Searches like the scripted service; resolves by setting the address from
// the display string, once the test lets it.
class FakeTcpService : public MPrint::TCPIPAddressDiscovery {
public:
    explicit FakeTcpService(std::vector<std::wstring> results)
        : TCPIPAddressDiscovery(L"no-such-browse-module.dll"),
          search(kCapSearch | kCapWorkerThread, std::move(results)),
          gate_(CreateEventW(nullptr, TRUE, TRUE, nullptr))
    {
    }
    ~FakeTcpService() override { CloseHandle(gate_); }
    uint32_t GetSearchCapabilities() override { return search.GetSearchCapabilities(); }
    uint32_t Search(HWND window, MPrint::DestinationContext* context, PrintPathList& list, uint32_t flags) override
    {
        return search.Search(window, context, list, flags);
    }
    bool RequestCancel() override { return search.RequestCancel(); }
    uint32_t ResolveName(HWND, MPrint::PrintPath* path, uint32_t timeoutMs) override
    {
        WaitForSingleObject(gate_, 5000);
        resolved.push_back(path->getStringAttribute(PrintPathAttr::DisplayString));
        timeout = timeoutMs;
        path->setStringAttribute(PrintPathAttr::Address, L"10.0.0." + std::to_wstring(resolved.size()), true);
        path->setNumericAttribute(PrintPathAttr::Resolved, 1, false);
        return 0;
    }
    void holdResolves() { ResetEvent(gate_); }
    void releaseResolves() { SetEvent(gate_); }

    fakes::ScriptedSearchService search;
    std::vector<std::wstring> resolved; // written by the resolve worker, read after it reported
    uint32_t timeout = 0;

private:
    HANDLE gate_;
};

std::vector<std::wstring> rows(HWND box)
{
    std::vector<std::wstring> texts;
    HWND list = GetDlgItem(box, IDC_SEARCH_LIST);
    const int count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        wchar_t text[128] = {};
        LVITEMW item = {};
        item.iSubItem = 0;
        item.pszText = text;
        item.cchTextMax = 128;
        SendMessageW(list, LVM_GETITEMTEXTW, i, reinterpret_cast<LPARAM>(&item));
        texts.push_back(text);
    }
    return texts;
}

void clickColumn(HWND box)
{
    NMLISTVIEW view = {};
    view.hdr.hwndFrom = GetDlgItem(box, IDC_SEARCH_LIST);
    view.hdr.idFrom = IDC_SEARCH_LIST;
    view.hdr.code = LVN_COLUMNCLICK;
    view.iItem = -1;
    SendMessageW(box, WM_NOTIFY, IDC_SEARCH_LIST, reinterpret_cast<LPARAM>(&view));
}

void selectRow(HWND box, int index)
{
    LVITEMW item = {};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendDlgItemMessageW(box, IDC_SEARCH_LIST, LVM_SETITEMSTATE, index, reinterpret_cast<LPARAM>(&item));
}

bool okEnabled(HWND box)
{
    return IsWindowEnabled(GetDlgItem(box, IDOK)) != FALSE;
}

class TcpSearchResultsDialogTest : public testenv::UiSuite {};

TEST_F(TcpSearchResultsDialogTest, HeadingCountsTheResultsWhateverItHolds)
{
    const struct {
        const wchar_t* heading;
        const wchar_t* shown;
    } cases[] = {
        {L"Printers", L"Printers (3)"},
        {L"%s%s%s%n", L"%s%s%s%n (3)"}, // once a format: read a bogus pointer
        {L"50% off %d", L"50% off %d (3)"},
        {L"", L""},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(row.heading)));
        FakeTcpService service({L"b", L"", L"c", L"a"});
        TcpSearchResultsDialog dialog(extension(), &service);
        DialogDriver driver;
        std::wstring shown;
        driver.onDialog([&](HWND box) {
            DialogDriver::waitFor([&dialog] { return dialog.isSearchFinished(); }, 3000, [&, box](bool) {
                shown = DialogDriver::text(box, IDC_SEARCH_HEADING);
                DialogDriver::click(box, IDCANCEL);
            });
        });
        EXPECT_EQ(nullptr, dialog.choose(nullptr, row.heading));
        EXPECT_EQ(row.shown, shown);
    }
}

TEST_F(TcpSearchResultsDialogTest, ColumnClicksSortAscendingThenDescending)
{
    FakeTcpService service({L"Beta", L"alpha", L"Alpha", L"Gamma"});
    TcpSearchResultsDialog dialog(extension(), &service);
    DialogDriver driver;
    std::vector<std::wstring> first, second;
    driver.onDialog([&](HWND box) {
        DialogDriver::waitFor([&dialog] { return dialog.isSearchFinished(); }, 3000, [&, box](bool) {
            clickColumn(box);
            first = rows(box);
            clickColumn(box);
            second = rows(box);
            DialogDriver::click(box, IDCANCEL);
        });
    });
    dialog.choose(nullptr, L"Printers");
    EXPECT_EQ((std::vector<std::wstring>{L"Alpha", L"Beta", L"Gamma", L"alpha"}), first);
    EXPECT_EQ((std::vector<std::wstring>{L"alpha", L"Gamma", L"Beta", L"Alpha"}), second);

    // A path without a display string stays first ascending, last descending.
    MPrint::PrintPath empty, named;
    named.setStringAttribute(PrintPathAttr::DisplayString, L"x", true);
    EXPECT_LT(TcpSearchResultsDialog::compareByDisplay(&empty, &named, 1), 0);
    EXPECT_GT(TcpSearchResultsDialog::compareByDisplay(&empty, &named, -1), 0);
    EXPECT_GT(TcpSearchResultsDialog::compareByDisplay(&named, &empty, 1), 0);
}

TEST_F(TcpSearchResultsDialogTest, ASelectionIsResolvedAfterTheSearchAndOneAtATime)
{
    FakeTcpService service({L"First", L"Second"});
    service.search.holdEnd(false);
    service.holdResolves();
    TcpSearchResultsDialog dialog(extension(), &service);
    DialogDriver driver;
    size_t resolvedDuringSearch = 99;
    bool okWhileResolving = true, okAfter = false;
    std::wstring details;
    driver.onDialog([&](HWND box) {
        DialogDriver::waitFor([box] { return SendDlgItemMessageW(box, IDC_SEARCH_LIST, LVM_GETITEMCOUNT, 0, 0) == 2; },
                              3000, [&, box](bool) {
            selectRow(box, 1); // "First" (results go in at the top)
            details = DialogDriver::text(box, IDC_SEARCH_DETAILS);
            DialogDriver::after(100, [&, box] {
                resolvedDuringSearch = service.resolved.size();
                service.search.release();
                DialogDriver::waitFor([&dialog] { return dialog.isSearchFinished(); }, 3000, [&, box](bool) {
                    selectRow(box, 0); // "Second", while "First" resolves
                    okWhileResolving = okEnabled(box);
                    service.releaseResolves();
                    DialogDriver::waitFor([&] { return okEnabled(box); }, 3000, [&, box](bool) {
                        okAfter = okEnabled(box);
                        DialogDriver::click(box, IDOK);
                    });
                });
            });
        });
    });
    std::unique_ptr<MPrint::PrintPath> chosen(dialog.choose(nullptr, L"Printers"));
    ASSERT_TRUE(chosen);
    EXPECT_EQ(L"Second", chosen->getStringAttribute(PrintPathAttr::DisplayString));
    EXPECT_EQ(L"10.0.0.2", chosen->getStringAttribute(PrintPathAttr::Address));
    EXPECT_EQ(0u, resolvedDuringSearch);
    EXPECT_EQ((std::vector<std::wstring>{L"First", L"Second"}), service.resolved);
    EXPECT_EQ(TcpSearchResultsDialog::kResolveTimeoutMs, service.timeout);
    EXPECT_FALSE(okWhileResolving);
    EXPECT_TRUE(okAfter);
    EXPECT_FALSE(details.empty());
}

} // namespace
