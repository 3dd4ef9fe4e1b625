// The managed-list search results: the first group's printers listed as
// the list is read and the others on selection, a record that resolved to
// no printer not shown (nor its group's previous printer again), the
// chosen printer released from its group, and saving a group as a profile
// (offered only when profiles are on and no profile has the group's name)
// without the chosen path being owned twice; a cancel ends the reading.
#include "ui/ManagedListSearchResultsDialog.h"

#include "destination/HistoryProfile.h"
#include "destination/PrintPathAttr.h"
#include "destination/TargetHistoryList.h"
#include "discovery/ManagedListParser.h"
#include "discovery/ManagedPortDiscovery.h"
#include "extension/LumoraSettings.h"
#include "support/DialogDriver.h"
#include "support/ManagedListFixtures.h"
#include "support/SharedState.h"
#include "support/UiTestEnv.h"
#include "ui/resources/ManagedListSearchResultsDialogIds.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

VRELM_TEST_SHARES(policy_settings);

using testenv::DialogDriver;

namespace {

constexpr GUID kListClass = {0x5d1c7a10, 0x2f4b, 0x4e6a, {0x9c, 0x11, 0x3a, 0x52, 0x77, 0x01, 0x42, 0x24}};

const char kGroupsList[] = R"(<?xml version="1.0" encoding="UTF-8"?>
<QZManagedPrinting><Printers>
 <Printer><GroupName>A</GroupName><PrinterName>A one</PrinterName><IPAddress>10.0.0.1</IPAddress></Printer>
 <Printer><GroupName>A</GroupName><PrinterName>Nowhere</PrinterName><IPAddress>unresolvable</IPAddress></Printer>
 <Printer><GroupName>B</GroupName><PrinterName>B one</PrinterName><IPAddress>10.0.0.3</IPAddress></Printer>
 <Printer><GroupName>A</GroupName><PrinterName>A two</PrinterName><IPAddress>10.0.0.2</IPAddress></Printer>
 <Printer><GroupName>B</GroupName><PrinterName>B two</PrinterName><IPAddress>10.0.0.4</IPAddress></Printer>
</Printers></QZManagedPrinting>
)";

// Every address but "unresolvable" is a printer named as the list says.
class ListHost : public testenv::DisplayNameListHost {
public:
    ListHost() : DisplayNameListHost(kGroupsList) {}
};

std::vector<std::wstring> items(HWND box, int id)
{
    std::vector<std::wstring> texts;
    const LRESULT count = SendDlgItemMessageW(box, id, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        wchar_t text[128] = {};
        SendDlgItemMessageW(box, id, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text));
        texts.push_back(text);
    }
    return texts;
}

void select(HWND box, int id, int index)
{
    SendDlgItemMessageW(box, id, LB_SETCURSEL, index, 0);
    SendMessageW(box, WM_COMMAND, MAKEWPARAM(id, LBN_SELCHANGE), reinterpret_cast<LPARAM>(GetDlgItem(box, id)));
}

class ManagedListSearchResultsDialogTest : public testenv::UiSuite {
protected:
    void SetUp() override { extension()->getSettings()->setProfilesEnabled(true); }
    void TearDown() override { extension()->getSettings()->setProfilesEnabled(true); }

    ListHost host_;
    MPrint::ManagedListParser parser_{host_};
    MPrint::ManagedPortDiscovery service_{kListClass, L"Office list", L"C:\\lists\\office.xml"};
};

TEST_F(ManagedListSearchResultsDialogTest, GroupsAndTheirPrintersAndTheChosenOne)
{
    HistoryProfileList profiles;
    ManagedListSearchResultsDialog dialog(extension(), &service_, &parser_, &profiles);
    DialogDriver driver;
    std::vector<std::wstring> groups, first, second;
    bool saveOffered = true;
    driver.onDialog([&](HWND box) {
        DialogDriver::waitFor([&dialog] { return dialog.isSearchFinished(); }, 5000, [&, box](bool) {
            groups = items(box, IDC_MANAGED_GROUPS);
            first = items(box, IDC_SEARCH_LIST);
            select(box, IDC_MANAGED_GROUPS, 1);
            second = items(box, IDC_SEARCH_LIST);
            select(box, IDC_SEARCH_LIST, 1);
            saveOffered = IsWindowEnabled(GetDlgItem(box, IDC_MANAGED_SAVE_PROFILE)) != FALSE;
            DialogDriver::click(box, IDOK);
        });
    });
    std::unique_ptr<MPrint::PrintPath> chosen(dialog.choose(nullptr, L"Office list"));
    EXPECT_EQ((std::vector<std::wstring>{L"A", L"B"}), groups);
    EXPECT_EQ((std::vector<std::wstring>{L"A one", L"A two"}), first); // "Nowhere" is not shown, nor "A one" twice
    EXPECT_EQ((std::vector<std::wstring>{L"B one", L"B two"}), second);
    EXPECT_TRUE(saveOffered);
    ASSERT_TRUE(chosen);
    EXPECT_EQ(L"B two", chosen->getStringAttribute(PrintPathAttr::DisplayString));
    ASSERT_TRUE(parser_.find(L"B"));
    EXPECT_EQ(1u, parser_.find(L"B")->size()); // released from its group
    EXPECT_FALSE(dialog.isSavedAsProfile());
    EXPECT_TRUE(profiles.empty());
}

TEST_F(ManagedListSearchResultsDialogTest, SavingAGroupAsProfileGivesTheCallerAPathOfItsOwn)
{
    HistoryProfileList profiles;
    {
        ManagedListSearchResultsDialog dialog(extension(), &service_, &parser_, &profiles);
        DialogDriver driver;
        driver.onDialog([&](HWND box) {
            DialogDriver::waitFor([&dialog] { return dialog.isSearchFinished(); }, 5000, [&, box](bool) {
                select(box, IDC_MANAGED_GROUPS, 1);
                select(box, IDC_SEARCH_LIST, 0);
                SendDlgItemMessageW(box, IDC_MANAGED_SAVE_PROFILE, BM_SETCHECK, BST_CHECKED, 0);
                DialogDriver::click(box, IDOK);
            });
        });
        std::unique_ptr<MPrint::PrintPath> chosen(dialog.choose(nullptr, L"Office list"));
        ASSERT_TRUE(chosen);
        EXPECT_TRUE(dialog.isSavedAsProfile());
        EXPECT_EQ(L"B one", chosen->getStringAttribute(PrintPathAttr::DisplayString));
        ASSERT_EQ(1u, profiles.size());
        MPrint::HistoryProfile* profile = profiles.front().get();
        EXPECT_STREQ(L"B", profile->getName());
        std::vector<std::wstring> saved;
        for (auto& entry : *profile->getHistory()) {
            saved.push_back(entry.get()->getStringAttribute(PrintPathAttr::DisplayString));
            EXPECT_NE(chosen.get(), entry.get());
        }
        EXPECT_EQ((std::vector<std::wstring>{L"B two", L"B one"}), saved);
        EXPECT_TRUE(parser_.find(L"B")->empty());
    }
    // Read back from the registry: the profile's history was saved.
    TargetHistoryList stored(extension()->getSettings()->getTargetHistoryKey());
    stored.load();
    EXPECT_EQ(2u, stored.size());

    // The list read again offers no saving for a group named like that profile.
    parser_.clear();
    ManagedListSearchResultsDialog again(extension(), &service_, &parser_, &profiles);
    DialogDriver driver;
    bool offeredForB = true, offeredForA = false;
    driver.onDialog([&](HWND box) {
        DialogDriver::waitFor([&again] { return again.isSearchFinished(); }, 5000, [&, box](bool) {
            select(box, IDC_MANAGED_GROUPS, 0);
            offeredForA = IsWindowEnabled(GetDlgItem(box, IDC_MANAGED_SAVE_PROFILE)) != FALSE;
            select(box, IDC_MANAGED_GROUPS, 1);
            offeredForB = IsWindowEnabled(GetDlgItem(box, IDC_MANAGED_SAVE_PROFILE)) != FALSE;
            DialogDriver::click(box, IDCANCEL);
        });
    });
    EXPECT_EQ(nullptr, again.choose(nullptr, L"Office list"));
    EXPECT_TRUE(offeredForA);
    EXPECT_FALSE(offeredForB);
    extension()->getSettings()->selectProfile(L"Default");
}

TEST_F(ManagedListSearchResultsDialogTest, WithoutProfilesNothingIsSaved)
{
    extension()->getSettings()->setProfilesEnabled(false);
    HistoryProfileList profiles;
    ManagedListSearchResultsDialog dialog(extension(), &service_, &parser_, &profiles);
    DialogDriver driver;
    bool visible = true;
    driver.onDialog([&](HWND box) {
        DialogDriver::waitFor([&dialog] { return dialog.isSearchFinished(); }, 5000, [&, box](bool) {
            visible = IsWindowVisible(GetDlgItem(box, IDC_MANAGED_SAVE_PROFILE)) != FALSE;
            select(box, IDC_SEARCH_LIST, 0);
            SendDlgItemMessageW(box, IDC_MANAGED_SAVE_PROFILE, BM_SETCHECK, BST_CHECKED, 0);
            DialogDriver::click(box, IDOK);
        });
    });
    std::unique_ptr<MPrint::PrintPath> chosen(dialog.choose(nullptr, L"Office list"));
    EXPECT_TRUE(chosen);
    EXPECT_FALSE(visible);
    EXPECT_FALSE(dialog.isSavedAsProfile());
    EXPECT_TRUE(profiles.empty());
}

// The list's second record holds its resolution until the cancel is seen:
// the records after it are not resolved for a box that is ending.
TEST_F(ManagedListSearchResultsDialogTest, CancelWhileReadingStopsTheList)
{
    class GatedHost : public ListHost {
    public:
        ~GatedHost() override { CloseHandle(gate); }
        MPrint::PrintPath* findPrintPath(const std::wstring& address, const std::wstring& name) override
        {
            if (++resolved == 2)
                WaitForSingleObject(gate, 5000);
            return ListHost::findPrintPath(address, name);
        }
        HANDLE gate = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        std::atomic<int> resolved{0};
    } host;
    MPrint::ManagedListParser parser(host);
    ManagedListSearchResultsDialog dialog(extension(), &service_, &parser, nullptr);
    DialogDriver driver;
    driver.onDialog([&](HWND box) {
        DialogDriver::waitFor([&host] { return host.resolved == 2; }, 5000, [&, box](bool) {
            DialogDriver::click(box, IDCANCEL);
            DialogDriver::waitFor([this] { return service_.IsCancelled(); }, 5000,
                                  [&host](bool) { SetEvent(host.gate); });
        });
    });
    EXPECT_EQ(nullptr, dialog.choose(nullptr, L"Office list"));
    EXPECT_EQ(2, host.resolved.load()); // of the list's five records
    EXPECT_EQ(0, driver.watchdogHits());
}

} // namespace
