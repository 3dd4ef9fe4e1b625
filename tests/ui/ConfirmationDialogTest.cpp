// The destination chooser in scripted sessions against the private user's
// registry, a spooler stand-in queue and the core's operations played by a
// fake: a printer picked from the history, a typed address resolved and
// chosen, printers and profiles renamed, copied, moved and deleted (the
// registry read back after each), the hidden automatic OK of modes 2 and
// 3, cancels at each stage, the reset by a right double-click, and a
// managed list served over HTTP opened by group, a printer picked from it;
// the messages of a failed verification, make permanent, the status check,
// and the search nodes, links and make-permanent box under a policy.
#include "ui/ConfirmationDialog.h"

#include "VagantUIExtension/DiscoveryServicesManager.h"
#include "core/ComponentRegistry.h"
#include "core/SettingsKeys.h"
#include "destination/HistoryProfile.h"
#include "destination/PrintPathAttr.h"
#include "destination/TargetHistoryList.h"
#include "discovery/DiscoveryClassIds.h"
#include "extension/CachedFileReader.h"
#include "extension/JobAccountingSettings.h"
#include "extension/KRVProperties.h"
#include "extension/PrintTimeDialogs.h"
#include "support/DialogDriver.h"
#include "support/FakeDestinationWorkflow.h"
#include "support/FakeDiscoveryService.h"
#include "support/HttpTestServer.h"
#include "support/InstalledDialogs.h"
#include "support/PolicyTestEnv.h"
#include "support/SharedState.h"
#include "support/TestSpooler.h"
#include "support/TestEnv.h"
#include "support/UiTestEnv.h"
#include "ui/PrintPathVerifyDialog.h"
#include "ui/EnterTextDialog.h"
#include "ui/OwnerDrawAutoButton.h"
#include "ui/ManagedListSearchResultsDialog.h"
#include "ui/UiText.h"
#include "ui/resources/ConfirmationDialogIds.h"
#include "ui/resources/EnterTextDialogIds.h"
#include "ui/resources/ManagedListSearchResultsDialogIds.h"
#include "ui/resources/StringIds.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

VRELM_TEST_SHARES(cluster_node, policy_settings);

using MPrint::ConfirmationDialog;
using MPrint::TreeViewNode;
using testenv::DialogDriver;

namespace {

using Names = std::vector<std::wstring>;

class ConfirmationDialogTest : public testenv::UiSuite {
protected:
    void SetUp() override
    {
        ASSERT_EQ(DWORD{ERROR_SUCCESS}, queue_.error());
        extension()->createDestinationContext(queue_.name());
        extension()->getDestinationContext()->setPrinterName(queue_.name());
        extension()->setDestination(L"");
        settings().setPromptMethod(LumoraSettings::kPromptAlways);
        RegistryKey& key = settings().getSettingsKey();
        for (const std::wstring& name : {defaultName(), std::wstring(L"Floor 2"), std::wstring(L"Floor 3"),
                                         std::wstring(L"Annex")})
            RegDeleteTreeW(key.getHandle(), name.c_str());
        RegDeleteValueW(key.getHandle(), L"CustomProfiles");
        RegDeleteValueW(key.getHandle(), L"SearchNodeExpanded");
        settings().setCurrentProfileName(L"");
    }

    static LumoraSettings& settings() { return *extension()->getSettings(); }
    static std::wstring text(UINT id) { return uitext::load(extension(), id); }
    static std::wstring defaultName() { return text(LumoraSettings::kDefaultProfileStringId); }

    // Stores the printers (newest first) as the profile's history, each
    // with the device model given.
    static void prime(const std::wstring& profile, const Names& printers, const std::string& model = "")
    {
        TargetHistoryList list(RegistryKey(settings().getSettingsKey().getHandle(), profile + L"\\Target History",
                                           RegistryKey::kAllAccess, true));
        for (auto it = printers.rbegin(); it != printers.rend(); ++it) {
            auto* path = new MPrint::PrintPath();
            path->setStringAttribute(L"DisplayString", *it, true);
            path->setStringAttribute(L"Address", L"10.0.0." + std::to_wstring(it - printers.rbegin() + 1), true);
            if (!model.empty()) {
                MPrint::Device device;
                device.setModelName(model);
                path->setDevice(device, true);
            }
            list.add(path);
        }
        list.save();
    }

    // The display strings the profile's stored history holds, newest first.
    static Names stored(const std::wstring& profile)
    {
        RegistryKey key(settings().getSettingsKey().getHandle(), profile + L"\\Target History",
                        RegistryKey::kAllAccess);
        Names names;
        if (!key.getHandle())
            return names;
        TargetHistoryList list(key);
        list.load();
        for (auto it = list.begin(); it != list.end(); ++it)
            names.push_back(list.getDisplayString(it));
        return names;
    }

    static std::wstring customProfiles()
    {
        std::wstring list;
        settings().getSettingsKey().queryString(L"CustomProfiles", list);
        return list;
    }

    static bool profileKeyExists(const std::wstring& profile)
    {
        HKEY key = nullptr;
        const bool exists = RegOpenKeyExW(settings().getSettingsKey().getHandle(), profile.c_str(), 0, KEY_READ,
                                          &key) == ERROR_SUCCESS;
        if (key)
            RegCloseKey(key);
        return exists;
    }

    static Names children(ConfirmationDialog& chooser, TreeViewNode* parent)
    {
        Names names;
        for (TreeViewNode* n = chooser.getTree()->getFirstChild(parent); n; n = chooser.getTree()->getNextSibling(n))
            names.push_back(n->getText());
        return names;
    }

    static TreeViewNode* child(ConfirmationDialog& chooser, TreeViewNode* parent, const std::wstring& name)
    {
        return chooser.getTree()->findChildByText(name, parent);
    }

    static void pumpFor(DWORD ms)
    {
        const DWORD start = GetTickCount();
        while (GetTickCount() - start < ms) {
            MSG message;
            while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
                DispatchMessageW(&message);
            Sleep(5);
        }
    }

    static void select(ConfirmationDialog& chooser, TreeViewNode* node) { chooser.getTree()->selectNode(node); }

    // Renames the node in place as a user would: F2's command, typing, Enter.
    static void renameInPlace(ConfirmationDialog& chooser, TreeViewNode* node, const std::wstring& name)
    {
        select(chooser, node);
        chooser.getTree()->editSelectedLabel();
        HWND edit = reinterpret_cast<HWND>(SendMessageW(chooser.getTree()->getWindow(), TVM_GETEDITCONTROL, 0, 0));
        SetWindowTextW(edit, name.c_str());
        chooser.getTree()->commitLabelEdit();
    }

    // Posts a menu or key command and runs then once the chooser handled it.
    static void command(ConfirmationDialog& chooser, UINT id, std::function<void()> then)
    {
        SendMessageW(chooser.getWindow(), WM_COMMAND, id, 0);
        DialogDriver::after(0, std::move(then));
    }

    static void answer(DialogDriver& driver, int button, std::wstring* text = nullptr)
    {
        driver.onDialog([button, text](HWND box) {
            if (text)
                *text = DialogDriver::messageBoxText(box);
            PostMessageW(box, WM_COMMAND, button, 0);
        });
    }

    // The extension's services made again, from the registrations and
    // lists as they are now.
    static uint32_t restartServices()
    {
        DiscoveryServicesManager* manager = DiscoveryServicesManager::GetInstance();
        manager->Shutdown();
        const uint32_t result = manager->Initialize();
        return result ? result : manager->Start();
    }

    // Runs the step once the chooser is shown: its controls draw only then.
    static void whenShown(HWND dialog, std::function<void()> step)
    {
        DialogDriver::waitFor([dialog] { return IsWindowVisible(dialog) != FALSE; }, 5000,
                              [step = std::move(step)](bool) { step(); });
    }

    // Ticks the make-permanent box as a press does (it flips its mark when
    // drawn pushed, so the chooser must be shown); whether it is ticked.
    static bool tickMakePermanent(HWND dialog)
    {
        HWND box = GetDlgItem(dialog, IDC_CHOOSER_MAKE_PERMANENT);
        SendMessageW(box, BM_SETSTATE, TRUE, 0);
        UpdateWindow(box);
        SendMessageW(box, BM_SETSTATE, FALSE, 0);
        UpdateWindow(box);
        const auto* check = static_cast<OwnerDrawAutoButton*>(GetPropW(box, OwnerDrawControl::kProperty));
        return IsWindowEnabled(box) && check && check->isChecked();
    }

    // The verification dialog runs by itself.
    static void verification(DialogDriver& driver)
    {
        driver.onDialog([](HWND) {});
    }

    testspool::ScopedQueue queue_{testspool::uniqueQueueName(L"Chooser"), L"Vrelm Test Driver", L"LPT1:"};
    testenv::FakeDestinationWorkflow workflow_;
};

TEST_F(ConfirmationDialogTest, PickFromHistoryWithANewNickname)
{
    prime(defaultName(), {L"Front desk", L"Back office"});
    prime(L"Floor 2", {L"Copy room"});
    settings().getSettingsKey().setString(L"CustomProfiles", L"Floor 2;;");
    extension()->setDestination(L"Front desk");
    ConfirmationDialog chooser(extension(), LumoraPrintingExtension::kModeSelectDestination);
    DialogDriver driver;
    Names rootChildren;
    Names groupChildren;
    std::wstring selectedAtStart;
    std::wstring heading;
    driver.onDialog([&](HWND dialog) {
        TreeViewNode* root = chooser.getRootNode();
        rootChildren = children(chooser, root);
        groupChildren = children(chooser, child(chooser, root, L"Floor 2"));
        selectedAtStart = chooser.getTree()->getNode(chooser.getTree()->getSelectedItem())->getText();
        heading = DialogDriver::text(dialog, IDC_CHOOSER_HEADING);
        select(chooser, child(chooser, root, L"Back office"));
        DialogDriver::type(dialog, IDC_CHOOSER_NICKNAME, L"Back office, 2nd floor");
        DialogDriver::click(dialog, IDOK);
    });
    verification(driver);
    EXPECT_EQ(ConfirmationDialog::kResultChosen,
              LumoraDialog::doModal(&chooser, nullptr, ConfirmationDialog::kTemplate, IDS_CHOOSER_HEADING_PRINT));
    EXPECT_EQ((Names{L"Back office", L"Floor 2", L"Front desk"}), rootChildren);
    EXPECT_EQ(Names{L"Copy room"}, groupChildren);
    EXPECT_EQ(L"Front desk", selectedAtStart);
    EXPECT_EQ(text(IDS_CHOOSER_HEADING_PRINT), heading);
    EXPECT_EQ(L"Back office, 2nd floor", extension()->getDestination());
    EXPECT_EQ((Names{L"Back office, 2nd floor", L"Front desk"}), stored(defaultName()));
    EXPECT_EQ(Names{L"Copy room"}, stored(L"Floor 2"));
    DWORD expanded = 7;
    EXPECT_TRUE(settings().getSettingsKey().queryDword(L"SearchNodeExpanded", &expanded));
    EXPECT_EQ(0u, expanded);
}

// A name listed twice, or the root's own name, is read once: every printer
// node then points at a path some profile still holds.
TEST_F(ConfirmationDialogTest, CustomProfilesListAddsEveryNamedGroupOnce)
{
    const struct {
        std::wstring list;
        Names groups;
    } rows[] = {
        {L"Floor 2;;Floor 3", {L"Floor 2", L"Floor 3"}},
        {L"Floor 2", {L"Floor 2"}},
        {L";", {}},
        {L"Floor 2;Floor 2", {L"Floor 2"}},
        {text(IDS_MY_PRINTERS) + L";Floor 2", {L"Floor 2"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testenv::narrow(row.list));
        SetUp();
        prime(defaultName(), {L"Front desk"});
        prime(L"Floor 2", {L"Copy room"});
        settings().getSettingsKey().setString(L"CustomProfiles", row.list);
        ConfirmationDialog chooser(extension(), LumoraPrintingExtension::kModeSelectDestination);
        DialogDriver driver;
        Names groups;
        Names unheld;
        driver.onDialog([&](HWND dialog) {
            auto held = [&chooser](TreeViewNode* node) {
                const auto* path = reinterpret_cast<const MPrint::PrintPath*>(node->getData());
                for (auto& profile : chooser.getProfiles()) {
                    TargetHistoryList* history = profile->getHistory();
                    if (history->find(path) != history->end())
                        return true;
                }
                return false;
            };
            TreeViewNode* root = chooser.getRootNode();
            for (TreeViewNode* n = chooser.getTree()->getFirstChild(root); n; n = chooser.getTree()->getNextSibling(n)) {
                if (n->getKind() == ConfirmationDialog::Kind::kProfile) {
                    groups.push_back(n->getText());
                    for (TreeViewNode* p = chooser.getTree()->getFirstChild(n); p; p = chooser.getTree()->getNextSibling(p)) {
                        if (!held(p))
                            unheld.push_back(p->getText());
                    }
                } else if (!held(n)) {
                    unheld.push_back(n->getText());
                }
            }
            DialogDriver::click(dialog, IDCANCEL);
        });
        EXPECT_EQ(ConfirmationDialog::kResultCancelled,
                  LumoraDialog::doModal(&chooser, nullptr, ConfirmationDialog::kTemplate, IDS_CHOOSER_HEADING_PRINT));
        EXPECT_EQ(row.groups, groups);
        EXPECT_EQ(Names{}, unheld);
    }
}

// A printer renamed in the default profile keeps its new name: the
// default profile's node has no data, and the name was saved only for
// groups. The chooser is cancelled afterwards, so only the rename saves it.
TEST_F(ConfirmationDialogTest, RenamedPrintersAndProfilesAreSaved)
{
    prime(defaultName(), {L"Front desk", L"Back office"});
    prime(L"Floor 2", {L"Copy room"});
    settings().getSettingsKey().setString(L"CustomProfiles", L"Floor 2;");
    ConfirmationDialog chooser(extension(), LumoraPrintingExtension::kModeSelectDestination);
    DialogDriver driver;
    driver.onDialog([&](HWND dialog) {
        TreeViewNode* root = chooser.getRootNode();
        renameInPlace(chooser, child(chooser, root, L"Back office"), L"Reception");
        renameInPlace(chooser, child(chooser, child(chooser, root, L"Floor 2"), L"Copy room"), L"Print room");
        renameInPlace(chooser, child(chooser, root, L"Floor 2"), L"Annex");
        // A name a sibling has is refused and changes nothing, for a
        // printer as for a profile (which stays listed).
        renameInPlace(chooser, child(chooser, root, L"Reception"), L"Front desk");
        renameInPlace(chooser, child(chooser, root, L"Annex"), L"Front desk");
        DialogDriver::click(dialog, IDCANCEL);
    });
    EXPECT_EQ(ConfirmationDialog::kResultCancelled,
              LumoraDialog::doModal(&chooser, nullptr, ConfirmationDialog::kTemplate, IDS_CHOOSER_HEADING_PRINT));
    EXPECT_EQ((Names{L"Front desk", L"Reception"}), stored(defaultName()));
    EXPECT_EQ(Names{L"Print room"}, stored(L"Annex"));
    EXPECT_FALSE(profileKeyExists(L"Floor 2"));
    EXPECT_EQ(L"Annex;", customProfiles());
}

TEST_F(ConfirmationDialogTest, CopyMoveAndDeletePrintersAndProfiles)
{
    prime(defaultName(), {L"Front desk", L"Back office", L"Lobby"});
    prime(L"Floor 2", {L"Copy room"});
    settings().getSettingsKey().setString(L"CustomProfiles", L"Floor 2;");
    ConfirmationDialog chooser(extension(), LumoraPrintingExtension::kModeSelectDestination);
    DialogDriver driver;
    Names afterCopy;
    Names floor3;
    Names afterDelete;
    TreeViewNode* targetAfterDelete = reinterpret_cast<TreeViewNode*>(1);
    driver.onDialog([&](HWND dialog) {
        TreeViewNode* root = chooser.getRootNode();
        // Copy "Front desk" into a new profile "Floor 3".
        select(chooser, child(chooser, root, L"Front desk"));
        command(chooser, ConfirmationDialog::kCopyToNewProfile, [&, dialog, root] {
            afterCopy = stored(L"Floor 3");
            // Move "Back office" into "Floor 2": the menu numbers the groups
            // after the new-profile entry, in tree order.
            select(chooser, child(chooser, root, L"Back office"));
            EXPECT_EQ(child(chooser, root, L"Floor 2"),
                      chooser.profileForMenuCommand(3502, ConfirmationDialog::kMoveToNewProfile));
            command(chooser, 3502, [&, dialog, root] {
                floor3 = children(chooser, child(chooser, root, L"Floor 3"));
                // Delete "Lobby" (Yes), then a move by the menu has no target.
                select(chooser, child(chooser, root, L"Lobby"));
                command(chooser, MPrint::ConfirmDialogTreeViewControl::kDeletePrinter, [&, dialog, root] {
                    afterDelete = children(chooser, root);
                    targetAfterDelete = chooser.getMenuTarget();
                    SendMessageW(dialog, WM_COMMAND, 3502, 0);
                    // Delete profile "Floor 3" (Yes).
                    select(chooser, child(chooser, root, L"Floor 3"));
                    command(chooser, MPrint::ConfirmDialogTreeViewControl::kDeleteProfile,
                            [dialog] { DialogDriver::click(dialog, IDCANCEL); });
                });
            });
        });
    });
    driver.onDialog([](HWND box) {
        DialogDriver::type(box, IDC_ENTER_TEXT, L"Floor 3");
        DialogDriver::click(box, IDOK);
    });
    std::wstring deleteQuestion;
    std::wstring profileQuestion;
    answer(driver, IDYES, &deleteQuestion);
    answer(driver, IDYES, &profileQuestion);
    EXPECT_EQ(ConfirmationDialog::kResultCancelled,
              LumoraDialog::doModal(&chooser, nullptr, ConfirmationDialog::kTemplate, IDS_CHOOSER_HEADING_PRINT));
    EXPECT_EQ(Names{L"Front desk"}, afterCopy);
    EXPECT_EQ(Names{L"Front desk"}, floor3);
    EXPECT_EQ((Names{L"Floor 2", L"Floor 3", L"Front desk"}), afterDelete);
    EXPECT_EQ(nullptr, targetAfterDelete);
    EXPECT_EQ(uitext::format(extension(), IDS_REMOVE_PRINTER_FMT, L"Lobby"), deleteQuestion);
    EXPECT_EQ(uitext::format(extension(), IDS_DELETE_PROFILE_FMT, L"Floor 3"), profileQuestion);
    EXPECT_EQ(Names{L"Front desk"}, stored(defaultName()));
    EXPECT_EQ((Names{L"Back office", L"Copy room"}), stored(L"Floor 2"));
    EXPECT_FALSE(profileKeyExists(L"Floor 3"));
    EXPECT_EQ(L"Floor 2;", customProfiles());
}

// A profile made from the menu becomes the current one while the tree keeps
// the old selection: clearing or deleting acts on the selected profile.
TEST_F(ConfirmationDialogTest, ProfileMenuActsOnTheSelectedProfileAfterANewOne)
{
    const struct {
        const char* name;
        UINT command;
        UINT question;
        bool floor2Listed;
        Names floor2Stored;
    } rows[] = {
        {"clear", ConfirmationDialog::kClearProfile, IDS_CLEAR_HISTORY_FMT, true, {}},
        {"delete", MPrint::ConfirmDialogTreeViewControl::kDeleteProfile, IDS_DELETE_PROFILE_FMT, false, {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        SetUp();
        prime(L"Floor 2", {L"Copy room"});
        settings().getSettingsKey().setString(L"CustomProfiles", L"Floor 2;");
        ConfirmationDialog chooser(extension(), LumoraPrintingExtension::kModeSelectDestination);
        DialogDriver driver;
        Names groups;
        bool annexHeld = false;
        driver.onDialog([&](HWND dialog) {
            TreeViewNode* root = chooser.getRootNode();
            select(chooser, child(chooser, root, L"Floor 2"));
            command(chooser, ConfirmationDialog::kNewProfile, [&, dialog, root] {
                command(chooser, row.command, [&, dialog, root] {
                    groups = children(chooser, root);
                    if (TreeViewNode* annex = child(chooser, root, L"Annex")) {
                        for (auto& profile : chooser.getProfiles())
                            annexHeld = annexHeld || reinterpret_cast<LPARAM>(profile.get()) == annex->getData();
                    }
                    DialogDriver::click(dialog, IDCANCEL);
                });
            });
        });
        driver.onDialog([](HWND box) {
            DialogDriver::type(box, IDC_ENTER_TEXT, L"Annex");
            DialogDriver::click(box, IDOK);
        });
        std::wstring question;
        answer(driver, IDYES, &question);
        EXPECT_EQ(ConfirmationDialog::kResultCancelled,
                  LumoraDialog::doModal(&chooser, nullptr, ConfirmationDialog::kTemplate, IDS_CHOOSER_HEADING_PRINT));
        EXPECT_EQ(uitext::format(extension(), row.question, L"Floor 2"), question);
        EXPECT_EQ(row.floor2Listed, std::find(groups.begin(), groups.end(), L"Floor 2") != groups.end());
        EXPECT_NE(groups.end(), std::find(groups.begin(), groups.end(), L"Annex"));
        EXPECT_TRUE(annexHeld);
        EXPECT_EQ(row.floor2Stored, stored(L"Floor 2"));
        EXPECT_EQ(row.floor2Listed, customProfiles().find(L"Floor 2") != std::wstring::npos);
        EXPECT_NE(std::wstring::npos, customProfiles().find(L"Annex"));
    }
}

// A printer moved into a profile that lists one of the same name: deleting
// the one that was there removes its own node, not the newcomer's.
TEST_F(ConfirmationDialogTest, DeletingOneOfTwoSameNamedPrintersKeepsTheOther)
{
    prime(defaultName(), {L"Copy room"});
    prime(L"Floor 2", {L"Copy room"});
    settings().getSettingsKey().setString(L"CustomProfiles", L"Floor 2;");
    ConfirmationDialog chooser(extension(), LumoraPrintingExtension::kModeSelectDestination);
    DialogDriver driver;
    Names afterMove;
    Names afterDelete;
    bool heldAfterDelete = false;
    driver.onDialog([&](HWND dialog) {
        TreeViewNode* root = chooser.getRootNode();
        TreeViewNode* floor2 = child(chooser, root, L"Floor 2");
        select(chooser, child(chooser, root, L"Copy room"));
        command(chooser, 3502, [&, dialog, floor2] {
            afterMove = children(chooser, floor2);
            // The newcomer goes first; the one that was there is second.
            select(chooser, chooser.getTree()->getNextSibling(chooser.getTree()->getFirstChild(floor2)));
            command(chooser, MPrint::ConfirmDialogTreeViewControl::kDeletePrinter, [&, dialog, floor2] {
                afterDelete = children(chooser, floor2);
                TargetHistoryList* history = chooser.findProfile(L"Floor 2")->getHistory();
                TreeViewNode* left = chooser.getTree()->getFirstChild(floor2);
                heldAfterDelete = left && history->find(reinterpret_cast<const MPrint::PrintPath*>(left->getData())) !=
                                              history->end();
                DialogDriver::click(dialog, IDCANCEL);
            });
        });
    });
    answer(driver, IDYES);
    EXPECT_EQ(ConfirmationDialog::kResultCancelled,
              LumoraDialog::doModal(&chooser, nullptr, ConfirmationDialog::kTemplate, IDS_CHOOSER_HEADING_PRINT));
    EXPECT_EQ((Names{L"Copy room", L"Copy room"}), afterMove);
    EXPECT_EQ(Names{L"Copy room"}, afterDelete);
    EXPECT_TRUE(heldAfterDelete);
    EXPECT_EQ(Names{L"Copy room"}, stored(L"Floor 2"));
    EXPECT_EQ(Names{}, stored(defaultName()));
}

TEST_F(ConfirmationDialogTest, TypedAddressIsResolvedAndLandsInTheDefaultProfile)
{
    prime(L"Floor 2", {L"Copy room"});
    settings().getSettingsKey().setString(L"CustomProfiles", L"Floor 2;");
    settings().setCurrentProfileName(L"Floor 2");
    MPrint::PrintPath device;
    device.setStringAttribute(L"Address", L"10.0.0.7", true);
    device.getDevice().setModelName("Orvane 3");
    MPrint::PrintPath named(device);
    named.setStringAttribute(L"DisplayString", L"Orvane 3 (10.0.0.7)", true);
    workflow_.resolutions = {&device, &named};
    ConfirmationDialog chooser(extension(), LumoraPrintingExtension::kModeSelectDestination);
    DialogDriver driver;
    Names manualChildren;
    size_t uncommitted = 0;
    driver.onDialog([&](HWND dialog) {
        TreeViewNode* manual = chooser.getTree()->findChildByText(text(IDS_MANUAL_ENTRY_TITLE), chooser.getSearchRoot());
        ASSERT_NE(nullptr, manual);
        select(chooser, manual);
        manualChildren = children(chooser, manual);
        uncommitted = chooser.getUncommittedProfile()->getHistory()->size();
        DialogDriver::click(dialog, IDOK);
    });
    driver.onDialog([](HWND box) {
        DialogDriver::type(box, IDC_ENTER_TEXT, L"10.0.0.7");
        DialogDriver::click(box, IDOK);
    });
    verification(driver);
    EXPECT_EQ(ConfirmationDialog::kResultChosen,
              LumoraDialog::doModal(&chooser, nullptr, ConfirmationDialog::kTemplate, IDS_CHOOSER_HEADING_PRINT));
    EXPECT_EQ(Names{L"Orvane 3 (10.0.0.7)"}, manualChildren);
    EXPECT_EQ(1u, uncommitted);
    EXPECT_EQ(0u, chooser.getUncommittedProfile()->getHistory()->size());
    EXPECT_EQ(L"Orvane 3 (10.0.0.7)", extension()->getDestination());
    EXPECT_EQ(Names{L"Orvane 3 (10.0.0.7)"}, stored(defaultName()));
    EXPECT_EQ(Names{L"Copy room"}, stored(L"Floor 2"));
}

TEST_F(ConfirmationDialogTest, HiddenAutomaticOkInModesTwoAndThree)
{
    const struct {
        int mode;
        DWORD prompt;
    } rows[] = {
        {LumoraPrintingExtension::kModeFirstJob, LumoraSettings::kPromptOnError},
        {LumoraPrintingExtension::kModeRetargetPausedJob, LumoraSettings::kPromptAlways},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.mode);
        SetUp();
        prime(defaultName(), {L"Front desk", L"Back office"});
        extension()->setDestination(L"Back office");
        settings().setPromptMethod(static_cast<int>(row.prompt));
        ConfirmationDialog chooser(extension(), row.mode);
        DialogDriver driver;
        // Watched from the modal loops throughout, not only when a box
        // activates: the hidden chooser may activate too, or not.
        bool ended = false;
        bool everShown = false;
        DialogDriver::waitFor(
            [&] {
                HWND window = chooser.getWindow();
                everShown = everShown || (window && IsWindowVisible(window));
                return ended;
            },
            20000, [](bool) {});
        EXPECT_EQ(ConfirmationDialog::kResultChosen,
                  LumoraDialog::doModal(&chooser, nullptr, ConfirmationDialog::kTemplate, IDS_CHOOSER_HEADING_PRINT));
        EXPECT_TRUE(chooser.isAutoOK());
        ended = true;
        pumpFor(100); // lets the watch see the end
        EXPECT_FALSE(everShown);
        EXPECT_EQ(L"Back office", extension()->getDestination());
        EXPECT_EQ((Names{L"Back office", L"Front desk"}), stored(defaultName()));
    }
    settings().setPromptMethod(LumoraSettings::kPromptAlways);
}

// A verification that stopped after the device was reached, on a model the
// settings refuse, says so and offers no removal: the destination is not at
// fault. Any other stop asks whether to remove it, and Yes removes it for
// good, also when the chooser is cancelled afterwards.
TEST_F(ConfirmationDialogTest, FailedVerificationOffersRemovalOnlyForAnAcceptedModel)
{
    const struct {
        const char* name;
        bool validates;
        bool configurationCurrent;
        DWORD pdlAnswer;
        const char* model;
        bool offered;
    } rows[] = {
        {"device not reached, model refused", false, true, 1, "Orvane 3", true},
        {"configuration check failed, model refused", true, false, 1, "Orvane 3", false},
        {"language check failed, model refused", true, true, 0, "Orvane 3", false},
        {"configuration check failed, own model", true, false, 1, "QZ Orvane 3", true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        SetUp();
        prime(defaultName(), {L"Front desk", L"Back office"}, row.model);
        workflow_.validates = row.validates;
        workflow_.configurationCurrent = row.configurationCurrent;
        workflow_.pdlAnswer = row.pdlAnswer;
        ConfirmationDialog chooser(extension(), LumoraPrintingExtension::kModeSelectDestination);
        DialogDriver driver;
        std::wstring rootText;
        driver.onDialog([&](HWND dialog) {
            rootText = chooser.getRootNode()->getText();
            select(chooser, child(chooser, chooser.getRootNode(), L"Back office"));
            DialogDriver::click(dialog, IDOK);
        });
        verification(driver);
        std::wstring message;
        bool offered = false;
        driver.onDialog([&](HWND box) {
            message = DialogDriver::messageBoxText(box);
            offered = GetDlgItem(box, IDYES) != nullptr;
            PostMessageW(box, WM_COMMAND, offered ? IDYES : IDOK, 0);
            HWND dialog = chooser.getWindow();
            DialogDriver::after(50, [dialog] { DialogDriver::click(dialog, IDCANCEL); });
        });
        EXPECT_EQ(ConfirmationDialog::kResultCancelled,
                  LumoraDialog::doModal(&chooser, nullptr, ConfirmationDialog::kTemplate, IDS_CHOOSER_HEADING_PRINT));
        EXPECT_EQ(row.offered, offered);
        EXPECT_EQ(row.offered ? uitext::format(extension(), IDS_VERIFY_FAILED_REMOVE_FMT, rootText)
                              : uitext::format(extension(), IDS_WRONG_MODEL_FMT, L"Back office"),
                  message);
        EXPECT_EQ(row.offered ? Names{L"Front desk"} : (Names{L"Front desk", L"Back office"}), stored(defaultName()));
    }
    workflow_.validates = true;
    workflow_.configurationCurrent = true;
    workflow_.pdlAnswer = 1;
}

// Make permanent from the chooser takes the road every make-permanent
// takes: the marker and the protected mode while it runs, the message that
// names the new queue, and a failure that keeps the chooser open.
TEST_F(ConfirmationDialogTest, MakePermanentRunsTheSharedRoad)
{
    testenv::InstalledDialogs dialogs;
    const std::wstring made = testspool::uniqueQueueName(L"Made from chooser");
    const struct {
        const char* name;
        std::wstring nickname;
        bool made;
    } rows[] = {
        {"a new queue", made, true},
        {"a name a queue has already", queue_.name(), false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        SetUp();
        prime(defaultName(), {L"Front desk", L"Back office"});
        ConfirmationDialog chooser(extension(), LumoraPrintingExtension::kModeSelectDestination);
        DialogDriver driver;
        bool ticked = false;
        driver.onDialog([&](HWND dialog) {
            whenShown(dialog, [&, dialog] {
                select(chooser, child(chooser, chooser.getRootNode(), L"Back office"));
                DialogDriver::type(dialog, IDC_CHOOSER_NICKNAME, row.nickname);
                ticked = tickMakePermanent(dialog);
                DialogDriver::click(dialog, IDOK);
            });
        });
        verification(driver);
        driver.onDialog([](HWND) {}); // the make-permanent dialog works by itself
        std::wstring message;
        DWORD markerDuring = 0;
        std::uint64_t protectedDuring = 0;
        driver.onDialog([&](HWND box) {
            message = DialogDriver::messageBoxText(box);
            markerDuring = JobAccountingSettings::readMakePermanentInstance();
            protectedDuring = getProcessProperty(krv::kUpdateNowProtectedMode);
            PostMessageW(box, WM_COMMAND, IDOK, 0);
            if (!row.made) {
                HWND dialog = chooser.getWindow();
                DialogDriver::after(50, [dialog] { DialogDriver::click(dialog, IDCANCEL); });
            }
        });
        EXPECT_EQ(row.made ? ConfirmationDialog::kResultChosen : ConfirmationDialog::kResultCancelled,
                  LumoraDialog::doModal(&chooser, nullptr, ConfirmationDialog::kTemplate, IDS_CHOOSER_HEADING_PRINT));
        EXPECT_TRUE(ticked);
        EXPECT_EQ(1u, markerDuring);
        EXPECT_EQ(1u, protectedDuring);
        EXPECT_EQ(0u, JobAccountingSettings::readMakePermanentInstance());
        EXPECT_EQ(0u, getProcessProperty(krv::kUpdateNowProtectedMode));
        EXPECT_EQ(0u, message.find(uitext::format(extension(), row.made ? IDS_ADDED_FMT : IDS_ADD_FAILED_FMT,
                                                  row.nickname)))
            << testenv::narrow(message);
        PRINTER_DEFAULTSW access = {nullptr, nullptr, PRINTER_ALL_ACCESS};
        HANDLE printer = nullptr;
        const bool exists = OpenPrinterW(const_cast<wchar_t*>(made.c_str()), &printer, &access) && printer;
        EXPECT_EQ(row.made, exists);
        if (exists) {
            EXPECT_TRUE(DeletePrinter(printer));
            ClosePrinter(printer);
        }
    }
}

// The chooser makes a printer permanent through the process's print-time
// dialogs, like every other caller: a set installed in place of the user
// interface's is the one asked, with the chosen path, over the chooser.
TEST_F(ConfirmationDialogTest, MakePermanentGoesThroughTheInstalledDialogs)
{
    class RecordingDialogs : public PrintTimeDialogs {
    public:
        RecordingDialogs() { PrintTimeDialogs::set(this); }
        ~RecordingDialogs() override { PrintTimeDialogs::set(nullptr); }
        bool makePrinterPermanent(LumoraPrintingExtension&, MPrint::PrintPath* path, HWND parent) override
        {
            nicknames.push_back(path ? path->getStringAttribute(PrintPathAttr::Nickname) : L"(no path)");
            owner = parent;
            return true;
        }
        Names nicknames;
        HWND owner = nullptr;
    } dialogs;
    prime(defaultName(), {L"Front desk", L"Back office"});
    ConfirmationDialog chooser(extension(), LumoraPrintingExtension::kModeSelectDestination);
    DialogDriver driver;
    HWND window = nullptr;
    bool ticked = false;
    driver.onDialog([&](HWND dialog) {
        window = dialog;
        whenShown(dialog, [&, dialog] {
            select(chooser, child(chooser, chooser.getRootNode(), L"Back office"));
            DialogDriver::type(dialog, IDC_CHOOSER_NICKNAME, L"Made here");
            ticked = tickMakePermanent(dialog);
            DialogDriver::click(dialog, IDOK);
        });
    });
    verification(driver);
    EXPECT_EQ(ConfirmationDialog::kResultChosen,
              LumoraDialog::doModal(&chooser, nullptr, ConfirmationDialog::kTemplate, IDS_CHOOSER_HEADING_PRINT));
    EXPECT_TRUE(ticked);
    EXPECT_EQ(Names{L"Made here"}, dialogs.nicknames);
    EXPECT_EQ(window, dialogs.owner);
    EXPECT_EQ(0, driver.watchdogHits());
}

TEST_F(ConfirmationDialogTest, CancelAtEachStage)
{
    prime(defaultName(), {L"Front desk"});
    {
        SCOPED_TRACE("new profile cancelled, then the chooser in mode 1");
        ConfirmationDialog chooser(extension(), LumoraPrintingExtension::kModeSelectDestination);
        DialogDriver driver;
        driver.onDialog([&](HWND dialog) {
            command(chooser, ConfirmationDialog::kNewProfile, [dialog] { DialogDriver::click(dialog, IDCANCEL); });
        });
        driver.onDialog([](HWND box) {
            DialogDriver::type(box, IDC_ENTER_TEXT, L"Annex");
            DialogDriver::click(box, IDCANCEL);
        });
        EXPECT_EQ(ConfirmationDialog::kResultCancelled,
                  LumoraDialog::doModal(&chooser, nullptr, ConfirmationDialog::kTemplate, IDS_CHOOSER_HEADING_PRINT));
        EXPECT_FALSE(profileKeyExists(L"Annex"));
        EXPECT_EQ(L"", customProfiles());
    }
    {
        SCOPED_TRACE("verification cancelled: the chooser stays; in mode 2 it asks before it ends");
        ConfirmationDialog chooser(extension(), LumoraPrintingExtension::kModeFirstJob);
        std::atomic<HWND> verifyWindow{nullptr};
        // Cancel pressed while the device's language is checked.
        workflow_.duringPdl = [&verifyWindow] {
            for (int i = 0; i < 400 && !verifyWindow; ++i)
                Sleep(5);
            auto* verify = static_cast<PrintPathVerifyDialog*>(DialogDriver::boundObject(verifyWindow));
            if (!verify)
                return;
            PostMessageW(verifyWindow, WM_COMMAND, IDCANCEL, 0);
            for (int i = 0; i < 400 && !verify->isCancelled(); ++i)
                Sleep(5);
        };
        DialogDriver driver;
        bool openAfterVerify = false;
        bool openAfterNo = false;
        driver.onDialog([&](HWND dialog) {
            select(chooser, child(chooser, chooser.getRootNode(), L"Front desk"));
            DialogDriver::click(dialog, IDOK);
        });
        driver.onDialog([&](HWND box) {
            verifyWindow = box;
            HWND dialog = chooser.getWindow();
            DialogDriver::waitFor([box] { return !IsWindow(box); }, 5000, [&, dialog](bool) {
                DialogDriver::after(50, [&, dialog] {
                    openAfterVerify = IsWindowVisible(dialog) != FALSE;
                    DialogDriver::click(dialog, IDCANCEL);
                });
            });
        });
        std::wstring question;
        driver.onDialog([&](HWND box) {
            question = DialogDriver::messageBoxText(box);
            PostMessageW(box, WM_COMMAND, IDNO, 0);
            HWND dialog = chooser.getWindow();
            DialogDriver::after(50, [&, dialog] {
                openAfterNo = IsWindowVisible(dialog) != FALSE;
                DialogDriver::click(dialog, IDCANCEL);
            });
        });
        answer(driver, IDYES);
        EXPECT_EQ(ConfirmationDialog::kResultCancelled,
                  LumoraDialog::doModal(&chooser, nullptr, ConfirmationDialog::kTemplate, IDS_CHOOSER_HEADING_PRINT));
        EXPECT_TRUE(openAfterVerify);
        EXPECT_TRUE(openAfterNo);
        EXPECT_EQ(text(IDS_CONFIRM_CANCEL_PRINT), question);
        EXPECT_EQ(4u, driver.dialogsSeen().size()); // no message after a cancelled verification
        EXPECT_EQ(L"", extension()->getDestination());
        workflow_.duringPdl = nullptr;
    }
}

// The heading's argument is a text wherever it lives, also at an address
// whose second 16-bit word is zero.
TEST_F(ConfirmationDialogTest, HeadingTextAtAnyAddress)
{
    const wchar_t name[] = L"Queue 7";
    void* block = nullptr;
    for (ULONG_PTR base = 0x200000000; !block && base <= 0x900000000; base += 0x100000000)
        block = VirtualAlloc(reinterpret_cast<void*>(base), 4096, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
    ASSERT_NE(nullptr, block);
    ASSERT_EQ(0u, HIWORD(reinterpret_cast<ULONG_PTR>(block)));
    std::memcpy(block, name, sizeof(name));
    ConfirmationDialog chooser(extension(), LumoraPrintingExtension::kModeSelectDestination);
    DialogDriver driver;
    std::wstring heading;
    driver.onDialog([&](HWND dialog) {
        heading = DialogDriver::text(dialog, IDC_CHOOSER_HEADING);
        DialogDriver::click(dialog, IDCANCEL);
    });
    EXPECT_EQ(ConfirmationDialog::kResultCancelled,
              LumoraDialog::doModal(&chooser, nullptr, ConfirmationDialog::kTemplate, reinterpret_cast<LPARAM>(block)));
    VirtualFree(block, 0, MEM_RELEASE);
    EXPECT_EQ(uitext::format(extension(), IDS_CHOOSER_HEADING_FMT, name), heading);
}

TEST_F(ConfirmationDialogTest, RightDoubleClickAsksForAFreshChooser)
{
    prime(defaultName(), {L"Front desk"});
    ConfirmationDialog chooser(extension(), LumoraPrintingExtension::kModeFirstJob);
    DialogDriver driver;
    driver.onDialog([](HWND dialog) { PostMessageW(dialog, WM_RBUTTONDBLCLK, 0, MAKELPARAM(5, 5)); });
    EXPECT_EQ(ConfirmationDialog::kResultShowAgain,
              LumoraDialog::doModal(&chooser, nullptr, ConfirmationDialog::kTemplate, IDS_CHOOSER_HEADING_PRINT));
    EXPECT_EQ(1u, driver.dialogsSeen().size()); // no question
}

// A list of two groups on the loopback server; a resolver that makes a
// printer of every address, named as the list names it.
class ChooserManagedListTest : public ConfirmationDialogTest {
protected:
    static constexpr GUID kResolver = {0x24c0ffee, 0x5e6f, 0x4a70, {0x81, 0x92, 0xa3, 0xb4, 0xc5, 0xd6, 0xe7, 0x24}};

    void SetUp() override
    {
        ConfirmationDialogTest::SetUp();
        settings().setProfilesEnabled(true);
        ASSERT_TRUE(server_.started());
        server_.answer("/lists/office.xml", testenv::HttpAnswer::ok(R"(<?xml version="1.0"?>
<QZManagedPrinting><Printers>
 <Printer><GroupName>Ground</GroupName><PrinterName>Lobby</PrinterName><IPAddress>10.4.0.1</IPAddress></Printer>
 <Printer><GroupName>Upstairs</GroupName><PrinterName>Studio</PrinterName><IPAddress>10.4.0.2</IPAddress></Printer>
 <Printer><GroupName>Ground</GroupName><PrinterName>Mail room</PrinterName><IPAddress>10.4.0.3</IPAddress></Printer>
</Printers></QZManagedPrinting>
)"));
        RegistryKey lists(HKEY_CURRENT_USER, settingskeys::kUserLists, RegistryKey::kAllAccess, true);
        lists.setString(L"Office", server_.url("/lists/office.xml"));
        fakes::FakeServiceConfig resolver{"resolver", MPrint::DiscoveryServiceIntf::kCapResolve};
        resolver.resolvePaths = 1;
        fakes::configureFakeService(kResolver, resolver);
        ComponentRegistry::registerComponent(ComponentDescriptor{kResolver, kDiscoveryServiceComponent,
                                                                 fakes::createFakeService, 1, 0, 0, nullptr, 0, 0,
                                                                 0, 0, 0});
        // The extension's manager, made before the list was known, starts again.
        ASSERT_EQ(0u, restartServices());
    }
    void TearDown() override
    {
        ComponentRegistry::unregisterComponent(kResolver);
        RegDeleteTreeW(HKEY_CURRENT_USER, settingskeys::kUserLists);
        restartServices();
        RegDeleteTreeW(settings().getSettingsKey().getHandle(), L"Ground");
        RegDeleteValueW(settings().getSettingsKey().getHandle(), L"CustomProfiles");
    }

    static Names listItems(HWND box, int id)
    {
        Names texts;
        const LRESULT count = SendDlgItemMessageW(box, id, LB_GETCOUNT, 0, 0);
        for (LRESULT i = 0; i < count; ++i) {
            const LRESULT length = SendDlgItemMessageW(box, id, LB_GETTEXTLEN, i, 0);
            std::wstring item(length > 0 ? length : 0, L'\0');
            SendDlgItemMessageW(box, id, LB_GETTEXT, i, reinterpret_cast<LPARAM>(item.data()));
            texts.push_back(item);
        }
        return texts;
    }

    static void pick(HWND box, int id, int index)
    {
        SendDlgItemMessageW(box, id, LB_SETCURSEL, index, 0);
        SendMessageW(box, WM_COMMAND, MAKEWPARAM(id, LBN_SELCHANGE), reinterpret_cast<LPARAM>(GetDlgItem(box, id)));
    }

    testenv::HttpTestServer server_;
};

TEST_F(ChooserManagedListTest, AListOpenedByGroupHandsItsPrinterToTheChooser)
{
    const struct {
        const char* name;
        int group;
        int printer;
        bool saveAsProfile;
        std::wstring chosen;
        Names savedProfile; // the profile "Ground", newest first
    } cases[] = {
        {"a printer of the second group", 1, 0, false, L"Studio", {}},
        {"the group saved as a profile", 0, 1, true, L"Mail room", {L"Mail room", L"Lobby"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        extension()->setDestination(L"");
        RegDeleteTreeW(settings().getSettingsKey().getHandle(), defaultName().c_str());
        settings().setCurrentProfileName(L""); // the deleted key is opened again
        server_.clearRequests();
        MPrint::CachedFileReader().clearCache();
        ConfirmationDialog chooser(extension(), LumoraPrintingExtension::kModeSelectDestination);
        DialogDriver driver;
        Names groups, printers, listChildren, profileGroup;
        bool listShown = false;
        driver.onDialog([&](HWND dialog) {
            TreeViewNode* list = child(chooser, chooser.getSearchRoot(),
                                       uitext::format(extension(), IDS_PRINTER_LIST_FMT, L"Office"));
            ASSERT_NE(nullptr, list);
            select(chooser, list); // runs the list's dialog
            listChildren = children(chooser, list);
            if (TreeViewNode* saved = child(chooser, chooser.getRootNode(), L"Ground"))
                profileGroup = children(chooser, saved);
            DialogDriver::click(dialog, IDOK);
        });
        driver.onDialog([&](HWND box) {
            listShown = true;
            auto* search = static_cast<ManagedListSearchResultsDialog*>(DialogDriver::boundObject(box));
            ASSERT_NE(nullptr, search);
            DialogDriver::waitFor([search] { return search->isSearchFinished(); }, 5000, [&, box](bool) {
                groups = listItems(box, IDC_MANAGED_GROUPS);
                pick(box, IDC_MANAGED_GROUPS, c.group);
                printers = listItems(box, IDC_SEARCH_LIST);
                pick(box, IDC_SEARCH_LIST, c.printer);
                if (c.saveAsProfile)
                    SendDlgItemMessageW(box, IDC_MANAGED_SAVE_PROFILE, BM_SETCHECK, BST_CHECKED, 0);
                DialogDriver::click(box, IDOK);
            });
        });
        verification(driver);
        EXPECT_EQ(ConfirmationDialog::kResultChosen,
                  LumoraDialog::doModal(&chooser, nullptr, ConfirmationDialog::kTemplate, IDS_CHOOSER_HEADING_PRINT));
        EXPECT_TRUE(listShown);
        EXPECT_EQ(1u, server_.count("/lists/office.xml"));
        EXPECT_EQ((Names{L"Ground", L"Upstairs"}), groups);
        EXPECT_EQ(c.group == 0 ? (Names{L"Lobby", L"Mail room"}) : (Names{L"Studio"}), printers);
        EXPECT_EQ(Names{c.chosen}, listChildren);
        EXPECT_EQ(c.chosen, extension()->getDestination());
        EXPECT_EQ(Names{c.chosen}, stored(defaultName()));
        EXPECT_EQ(c.savedProfile, stored(L"Ground"));
        EXPECT_EQ(c.saveAsProfile, customProfiles().find(L"Ground;") != std::wstring::npos);
        Names shownGroup = c.savedProfile;
        std::sort(shownGroup.begin(), shownGroup.end());
        EXPECT_EQ(shownGroup, profileGroup) << "the saved group is in the tree at once";
    }
}

TEST_F(ChooserManagedListTest, AListPageHandsThePrinterOfItsLinkToTheChooser)
{
    // The browser module's window lists the page's links (control 1008).
    constexpr int kPageLinks = 1008;
    server_.answer("/lists/campus.html",
                   testenv::HttpAnswer::ok("<html><body><ul><li><a href=\"qzmpl://printer/?address=10.4.0.9"
                                           "&amp;modelName=M&amp;printerName=Front%20Desk&amp;groupName=Floor%201\">"
                                           "Front desk</a></li></ul></body></html>",
                                           "text/html"));
    std::wstring page = server_.url("/lists/campus.html");
    ASSERT_EQ(0u, page.rfind(L"http://", 0));
    page.replace(0, 7, L"qzmpl://"); // the lists' own scheme: a web page, not a list document
    RegistryKey(HKEY_CURRENT_USER, settingskeys::kUserLists, RegistryKey::kAllAccess, true)
        .setString(L"Campus", page);
    ASSERT_EQ(0u, restartServices());
    extension()->setDestination(L"");
    RegDeleteTreeW(settings().getSettingsKey().getHandle(), defaultName().c_str());
    settings().setCurrentProfileName(L"");

    ConfirmationDialog chooser(extension(), LumoraPrintingExtension::kModeSelectDestination);
    DialogDriver driver;
    bool pageShown = false;
    driver.onDialog([&](HWND dialog) {
        TreeViewNode* list = child(chooser, chooser.getSearchRoot(),
                                   uitext::format(extension(), IDS_PRINTER_LIST_FMT, L"Campus"));
        ASSERT_NE(nullptr, list);
        select(chooser, list); // runs the page's dialog
        DialogDriver::click(dialog, IDOK);
    });
    driver.onDialog([&](HWND browser) {
        pageShown = SendDlgItemMessageW(browser, kPageLinks, LB_GETCOUNT, 0, 0) == 1;
        SendDlgItemMessageW(browser, kPageLinks, LB_SETCURSEL, 0, 0);
        SendMessageW(browser, WM_COMMAND, MAKEWPARAM(kPageLinks, LBN_DBLCLK),
                     reinterpret_cast<LPARAM>(GetDlgItem(browser, kPageLinks)));
        DialogDriver::click(browser, IDOK);
    });
    verification(driver);
    EXPECT_EQ(ConfirmationDialog::kResultChosen,
              LumoraDialog::doModal(&chooser, nullptr, ConfirmationDialog::kTemplate, IDS_CHOOSER_HEADING_PRINT));
    EXPECT_TRUE(pageShown);
    EXPECT_EQ(1u, server_.count("/lists/campus.html"));
    EXPECT_EQ(L"Front Desk", extension()->getDestination());
    EXPECT_EQ(Names{L"Front Desk"}, stored(defaultName()));
}

// A newly found printer starts its status check by itself the first time it
// is selected, and only then; the check ends showing the status module's text
// with OK and the check button enabled again.
TEST_F(ConfirmationDialogTest, NewlyFoundPrinterChecksItsStatusOnce)
{
    testenv::ScopedLogVariable log(L"VRELM104_LOG");
    prime(defaultName(), {L"Front desk", L"Back office"});
    ConfirmationDialog chooser(extension(), LumoraPrintingExtension::kModeSelectDestination);
    DialogDriver driver;
    bool startedBySelection = false;
    bool statusShown = false;
    bool okEnabled = false;
    bool buttonEnabled = false;
    driver.onDialog([&](HWND dialog) {
        TreeViewNode* root = chooser.getRootNode();
        TreeViewNode* found = child(chooser, root, L"Back office");
        reinterpret_cast<MPrint::PrintPath*>(found->getData())->setNumericAttribute(L"NewlyDiscovered", 1, false);
        select(chooser, found);
        DialogDriver::after(0, [&, dialog, root, found] {
            startedBySelection = IsWindowVisible(GetDlgItem(dialog, IDC_CHOOSER_PROGRESS)) != FALSE;
            DialogDriver::waitFor(
                [dialog] { return !IsWindowVisible(GetDlgItem(dialog, IDC_CHOOSER_PROGRESS)); }, 10000,
                [&, dialog, root, found](bool) {
                    statusShown = IsWindowVisible(GetDlgItem(dialog, IDC_CHOOSER_STATUS)) != FALSE;
                    okEnabled = IsWindowEnabled(GetDlgItem(dialog, IDOK)) != FALSE;
                    buttonEnabled = IsWindowEnabled(GetDlgItem(dialog, IDC_CHOOSER_STATUS_BUTTON)) != FALSE;
                    select(chooser, child(chooser, root, L"Front desk"));
                    select(chooser, found);
                    DialogDriver::after(50, [dialog] { DialogDriver::click(dialog, IDCANCEL); });
                });
        });
    });
    EXPECT_EQ(ConfirmationDialog::kResultCancelled,
              LumoraDialog::doModal(&chooser, nullptr, ConfirmationDialog::kTemplate, IDS_CHOOSER_HEADING_PRINT));
    EXPECT_TRUE(startedBySelection);
    EXPECT_TRUE(statusShown);
    EXPECT_TRUE(okEnabled);
    EXPECT_TRUE(buttonEnabled);
    ASSERT_EQ(1u, log.count("open"));
    EXPECT_EQ(0u, log.lines()[0].find("open " + testenv::narrow(queue_.name()) + "\t10.0.0.1\t"));
}

// The chooser under a server policy with the values a test gives, or with
// the user's settings restricted: the extension and the policy object are
// made again so that they read them.
class ChooserPolicyTest : public ConfirmationDialogTest {
protected:
    void TearDown() override
    {
        testenv::clearPolicyState();
        RegDeleteValueW(settings().getSettingsKey().getHandle(), L"Restricted");
        RegDeleteTreeW(HKEY_CURRENT_USER, settingskeys::kUserLists);
        remake();
    }

    // The policy in force from the next remake() on.
    RegistryKey enforcePolicy() { return testenv::makeServerPolicyInForce(dir_.file(L"policy.xml")); }

    void remake()
    {
        env_->remakeExtension();
        ConfirmationDialogTest::SetUp();
    }

    // The search root's nodes, each as "kind:text".
    static Names searchNodes(ConfirmationDialog& chooser)
    {
        Names nodes;
        for (TreeViewNode* n = chooser.getTree()->getFirstChild(chooser.getSearchRoot()); n;
             n = chooser.getTree()->getNextSibling(n))
            nodes.push_back(std::to_wstring(n->getKind()) + L":" + n->getText());
        return nodes;
    }

    testenv::Winsock winsock_;
    testenv::TempDir dir_;
};

// Manual entry heads the search nodes; a service the policy does not allow
// has none; a restricted user gets the managed lists alone.
TEST_F(ChooserPolicyTest, SearchNodesFollowThePolicyAndTheRestriction)
{
    // A searching service under the shares' class id, which the policy names.
    fakes::configureFakeService(discoveryids::kNetworkShares,
                                fakes::FakeServiceConfig{"shares", MPrint::DiscoveryServiceIntf::kCapSearch});
    ASSERT_EQ(0u, ComponentRegistry::registerComponent(ComponentDescriptor{
                      discoveryids::kNetworkShares, kDiscoveryServiceComponent, fakes::createFakeService, 1, 0, 0,
                      nullptr, 0, 0, IDS_SHARED_PRINTERS, IDS_SHARED_PRINTERS_INFO, 0}));
    ComponentInfo shares;
    ASSERT_EQ(0u, ComponentRegistry::getComponentInfo(discoveryids::kNetworkShares, shares));
    const std::wstring manual = std::to_wstring(ConfirmationDialog::Kind::kManualEntry) + L":" +
                                text(IDS_MANUAL_ENTRY_TITLE);
    const std::wstring sharesNode = std::to_wstring(ConfirmationDialog::Kind::kService) + L":" + shares.displayName;
    const std::wstring listNode = std::to_wstring(ConfirmationDialog::Kind::kManagedList) + L":" +
                                  uitext::format(extension(), IDS_PRINTER_LIST_FMT, L"Office");
    const struct {
        const char* name;
        bool policy;
        DWORD sharesAllowed;
        DWORD restricted;
        bool manualShown;
        bool sharesShown;
    } rows[] = {
        {"no policy", false, 0, 0, true, true},
        {"shares allowed", true, 1, 0, true, true},
        {"shares not allowed", true, 0, 0, true, false},
        {"restricted by the policy", true, 1, 1, false, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        testenv::clearPolicyState();
        RegistryKey(HKEY_CURRENT_USER, settingskeys::kUserLists, RegistryKey::kAllAccess, true)
            .setString(L"Office", L"http://127.0.0.1:9/office.xml");
        if (row.policy) {
            RegistryKey policy = enforcePolicy();
            policy.setDword(L"NetworkShares", row.sharesAllowed);
            policy.setDword(L"Restricted", row.restricted);
        }
        remake();
        ConfirmationDialog chooser(extension(), LumoraPrintingExtension::kModeSelectDestination);
        DialogDriver driver;
        Names nodes;
        driver.onDialog([&](HWND dialog) {
            nodes = searchNodes(chooser);
            DialogDriver::click(dialog, IDCANCEL);
        });
        EXPECT_EQ(ConfirmationDialog::kResultCancelled,
                  LumoraDialog::doModal(&chooser, nullptr, ConfirmationDialog::kTemplate, IDS_CHOOSER_HEADING_PRINT));
        auto has = [&nodes](const std::wstring& node) {
            return std::find(nodes.begin(), nodes.end(), node) != nodes.end();
        };
        ASSERT_FALSE(nodes.empty());
        EXPECT_EQ(row.manualShown, nodes.front() == manual);
        EXPECT_EQ(row.manualShown, has(manual));
        EXPECT_EQ(row.sharesShown, has(sharesNode));
        EXPECT_TRUE(has(listNode));
        if (row.restricted) {
            EXPECT_EQ(Names{listNode}, nodes);
        }
    }
    ComponentRegistry::unregisterComponent(discoveryids::kNetworkShares);
    restartServices();
}

// The settings link shows unless the policy hides it and, hot-tracked,
// opens the settings sheet; the policy's link shows the policy's name.
TEST_F(ChooserPolicyTest, LinksFollowThePolicyAndTrackTheMouse)
{
    const struct {
        const char* name;
        bool policy;
        bool settingsShown;
        std::wstring policyLink; // empty: hidden
    } rows[] = {
        {"no policy", false, true, L""},
        {"policy hides the settings and names its page", true, false, L"Printing rules"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        testenv::clearPolicyState();
        if (row.policy) {
            RegistryKey policy = enforcePolicy();
            policy.setDword(L"ShowDriverSettings", 0);
            policy.setString(L"PolicyInfoLinkURL", L"http://127.0.0.1:9/rules.html");
            policy.setString(L"PolicyInfoLinkName", row.policyLink);
        }
        remake();
        ConfirmationDialog chooser(extension(), LumoraPrintingExtension::kModeSelectDestination);
        DialogDriver driver;
        bool settingsShown = false;
        bool policyShown = false;
        std::wstring policyText;
        HWND capturedOnSettings = nullptr;
        HWND capturedOnPolicy = nullptr;
        bool sheetOpened = false;
        // A point inside the link's text, in the chooser's client coordinates.
        auto pointIn = [](HWND dialog, int id) {
            RECT area = {};
            GetWindowRect(GetDlgItem(dialog, id), &area);
            MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&area), 2);
            return MAKELPARAM(area.left + 1, area.top + 1);
        };
        driver.onDialog([&](HWND dialog) {
            settingsShown = IsWindowVisible(GetDlgItem(dialog, IDC_CHOOSER_SETTINGS_LINK)) != FALSE;
            policyShown = IsWindowVisible(GetDlgItem(dialog, IDC_CHOOSER_POLICY_LINK)) != FALSE;
            policyText = DialogDriver::text(dialog, IDC_CHOOSER_POLICY_LINK);
            SendMessageW(dialog, WM_MOUSEMOVE, 0, pointIn(dialog, IDC_CHOOSER_POLICY_LINK));
            capturedOnPolicy = GetCapture();
            SendMessageW(dialog, WM_MOUSEMOVE, 0, MAKELPARAM(0, 0));
            SendMessageW(dialog, WM_MOUSEMOVE, 0, pointIn(dialog, IDC_CHOOSER_SETTINGS_LINK));
            capturedOnSettings = GetCapture();
            if (capturedOnSettings) {
                SendMessageW(dialog, WM_LBUTTONUP, 0, pointIn(dialog, IDC_CHOOSER_SETTINGS_LINK));
            } else {
                DialogDriver::click(dialog, IDCANCEL);
            }
        });
        if (row.settingsShown) {
            driver.onDialog([&](HWND sheet) {
                sheetOpened = true;
                PostMessageW(sheet, WM_COMMAND, IDCANCEL, 0);
                HWND dialog = chooser.getWindow();
                DialogDriver::after(50, [dialog] { DialogDriver::click(dialog, IDCANCEL); });
            });
        }
        EXPECT_EQ(ConfirmationDialog::kResultCancelled,
                  LumoraDialog::doModal(&chooser, nullptr, ConfirmationDialog::kTemplate, IDS_CHOOSER_HEADING_PRINT));
        EXPECT_EQ(row.settingsShown, settingsShown);
        EXPECT_EQ(row.settingsShown, capturedOnSettings != nullptr);
        EXPECT_EQ(row.settingsShown, sheetOpened);
        EXPECT_EQ(!row.policyLink.empty(), policyShown);
        EXPECT_EQ(!row.policyLink.empty(), capturedOnPolicy != nullptr);
        if (policyShown) {
            EXPECT_EQ(row.policyLink, policyText);
        }
    }
}

// Make permanent is offered for a printer that is not a share and names no
// queue of this computer, unless the policy hides the box.
TEST_F(ChooserPolicyTest, MakePermanentIsOfferedOnlyForANewQueue)
{
    const struct {
        const char* name;
        std::wstring printer;
        bool policyHides;
        bool visible;
        bool enabled;
    } rows[] = {
        {"a printer without a queue", L"Front desk", false, true, true},
        {"a share", L"\\\\srv\\Front desk", false, true, false},
        {"the name of a queue", queue_.name(), false, true, false},
        {"hidden by the policy", L"Front desk", true, false, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        testenv::clearPolicyState();
        if (row.policyHides)
            enforcePolicy().setDword(L"ShowMakePermanent", 0);
        remake();
        prime(defaultName(), {row.printer});
        ConfirmationDialog chooser(extension(), LumoraPrintingExtension::kModeSelectDestination);
        DialogDriver driver;
        bool visible = false;
        bool enabled = false;
        driver.onDialog([&](HWND dialog) {
            select(chooser, child(chooser, chooser.getRootNode(), row.printer));
            HWND box = GetDlgItem(dialog, IDC_CHOOSER_MAKE_PERMANENT);
            // The box's own style: what the chooser decided, whether or not
            // the chooser itself is shown yet.
            visible = (GetWindowLongW(box, GWL_STYLE) & WS_VISIBLE) != 0;
            enabled = IsWindowEnabled(box) != FALSE;
            DialogDriver::click(dialog, IDCANCEL);
        });
        EXPECT_EQ(ConfirmationDialog::kResultCancelled,
                  LumoraDialog::doModal(&chooser, nullptr, ConfirmationDialog::kTemplate, IDS_CHOOSER_HEADING_PRINT));
        EXPECT_EQ(row.visible, visible);
        EXPECT_EQ(row.enabled, visible && enabled);
    }
}

} // namespace
