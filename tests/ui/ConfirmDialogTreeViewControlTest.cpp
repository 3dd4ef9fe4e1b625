// The chooser's tree over the resource module's images and menus, with a
// recording owner: images per node kind (and the open folder on expand),
// the menu of each node kind read as an HMENU (never tracked), the
// numbered "move to" items, Delete and F2 as commands, drops on profiles,
// custom colours and the profile's tool tip.
#include "ui/ConfirmDialogTreeViewControl.h"

#include "core/RegistryKey.h"
#include "destination/HistoryProfile.h"
#include "destination/PrintPath.h"
#include "destination/TargetHistoryList.h"
#include "support/SharedState.h"
#include "support/TestEnv.h"
#include "support/UiTestEnv.h"
#include "ui/CustomDrawTreeViewNode.h"
#include "ui/PrinterGroupTreeViewNode.h"
#include "ui/UiText.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <memory>
#include <string>
#include <vector>

VRELM_TEST_SHARES(policy_settings);

namespace {

using Tree = MPrint::ConfirmDialogTreeViewControl;
using MPrint::TreeViewNode;

class RecordingOwner : public MPrint::ConfirmDialogTreeOwner {
public:
    HWND getWindow() const override { return window; }
    bool moveNodeToProfile(TreeViewNode* printer, TreeViewNode* profile) override
    {
        moves.push_back({printer, profile});
        return true;
    }
    HWND window = nullptr;
    std::vector<std::pair<TreeViewNode*, TreeViewNode*>> moves;
};

Tree* g_tree = nullptr;

LRESULT CALLBACK treeParent(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NOTIFY && g_tree) {
        LRESULT result = 0;
        if (g_tree->onNotify(reinterpret_cast<NMHDR*>(lParam), result))
            return result;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

class ConfirmDialogTreeTest : public testenv::UiSuite {
protected:
    void SetUp() override
    {
        WNDCLASSW windowClass = {};
        windowClass.lpfnWndProc = treeParent;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"ChooserTreeParent";
        RegisterClassW(&windowClass);
        parent_ = CreateWindowExW(0, L"ChooserTreeParent", L"", WS_POPUP | WS_VISIBLE, 50, 50, 260, 300, nullptr,
                                  nullptr, windowClass.hInstance, nullptr);
        HWND tree = CreateWindowExW(0, WC_TREEVIEWW, L"",
                                    WS_CHILD | WS_VISIBLE | TVS_EDITLABELS | TVS_HASBUTTONS | TVS_LINESATROOT |
                                        TVS_SHOWSELALWAYS | TVS_INFOTIP,
                                    0, 0, 260, 300, parent_, reinterpret_cast<HMENU>(1065), nullptr, nullptr);
        owner_.window = parent_;
        tree_ = std::make_unique<Tree>(tree, &owner_, extension());
        g_tree = tree_.get();

        root_ = add(new MPrint::CustomDrawTreeViewNode(L"My printers", Tree::kProfile), nullptr);
        groupA_ = add(profile(L"A"), root_);
        groupB_ = add(profile(L"B"), root_);
        searchRoot_ = add(new MPrint::CustomDrawTreeViewNode(L"Find printers", Tree::kSearchRoot), nullptr);
        service_ = add(new TreeViewNode(L"TCP/IP", Tree::kService), searchRoot_);
        printerPath_.setStringAttribute(L"Address", L"10.0.0.9", true);
        sharePath_.setStringAttribute(L"Address", L"\\\\srv\\q", true);
        sharePath_.setNumericAttribute(L"Default", 1, true);
        printer_ = add(new TreeViewNode(L"Laser", Tree::kPrinter, reinterpret_cast<LPARAM>(&printerPath_)), groupB_);
        share_ = add(new TreeViewNode(L"Share", Tree::kPrinter, reinterpret_cast<LPARAM>(&sharePath_)), root_);
        found_ = add(new TreeViewNode(L"Found", Tree::kPrinter, reinterpret_cast<LPARAM>(&printerPath_)), service_);
    }
    void TearDown() override
    {
        tree_->deleteAllNodes();
        DestroyWindow(parent_);
        g_tree = nullptr;
        tree_.reset();
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        }
    }

    TreeViewNode* profile(const wchar_t* name)
    {
        auto* node = new TreeViewNode(name, Tree::kProfile);
        node->setEditable(true);
        return node;
    }
    TreeViewNode* add(TreeViewNode* node, TreeViewNode* parent)
    {
        EXPECT_TRUE(tree_->insertNode(parent, node));
        return node;
    }
    int image(TreeViewNode* node)
    {
        TVITEMW item = {};
        item.mask = TVIF_IMAGE;
        item.hItem = node->getItem();
        SendMessageW(tree_->getWindow(), TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
        return item.iImage;
    }
    // The commands posted to the owner since the last call.
    std::vector<WPARAM> posted()
    {
        std::vector<WPARAM> commands;
        MSG msg;
        while (PeekMessageW(&msg, parent_, WM_COMMAND, WM_COMMAND, PM_REMOVE))
            commands.push_back(msg.wParam);
        return commands;
    }
    void key(WORD virtualKey)
    {
        NMTVKEYDOWN down = {};
        down.hdr = {tree_->getWindow(), 1065, static_cast<UINT>(TVN_KEYDOWN)};
        down.wVKey = virtualKey;
        LRESULT result = 0;
        tree_->onNotify(&down.hdr, result);
    }

    HWND parent_ = nullptr;
    RecordingOwner owner_;
    std::unique_ptr<Tree> tree_;
    MPrint::PrintPath printerPath_;
    MPrint::PrintPath sharePath_;
    TreeViewNode* root_ = nullptr;
    TreeViewNode* groupA_ = nullptr;
    TreeViewNode* groupB_ = nullptr;
    TreeViewNode* searchRoot_ = nullptr;
    TreeViewNode* service_ = nullptr;
    TreeViewNode* printer_ = nullptr;
    TreeViewNode* share_ = nullptr;
    TreeViewNode* found_ = nullptr;
};

std::vector<UINT> ids(HMENU menu)
{
    std::vector<UINT> result;
    for (int i = 0; i < GetMenuItemCount(menu); ++i)
        result.push_back(GetMenuItemID(menu, i));
    return result;
}

std::wstring itemText(HMENU menu, int position)
{
    wchar_t text[260] = {};
    GetMenuStringW(menu, position, text, 260, MF_BYPOSITION);
    return text;
}

TEST_F(ConfirmDialogTreeTest, ImagesFollowTheNodeKind)
{
    const struct {
        TreeViewNode* node;
        int key;
    } rows[] = {
        {root_, 0}, {groupA_, 0}, {service_, 3}, {printer_, 1}, {share_, 7}, {searchRoot_, 0},
    };
    for (const auto& row : rows) {
        TreeViewNode* node = row.node;
        SCOPED_TRACE(testenv::narrow(node->getText()));
        ASSERT_GE(tree_->imageIndexFor(row.key), 0);
        EXPECT_EQ(tree_->imageIndexFor(row.key), image(node));
    }
    tree_->expandNode(searchRoot_); // the open folder
    EXPECT_EQ(tree_->imageIndexFor(5), image(searchRoot_));
}

TEST_F(ConfirmDialogTreeTest, MenusPerNodeKind)
{
    HMENU general = tree_->getMenuForNode(nullptr); // empty space
    ASSERT_NE(nullptr, general);
    EXPECT_EQ(std::vector<UINT>{4011}, ids(GetSubMenu(general, 0)));
    EXPECT_EQ(general, tree_->getMenuForNode(service_));

    HMENU profileMenu = tree_->getMenuForNode(root_);
    ASSERT_NE(nullptr, profileMenu);
    EXPECT_TRUE(GetMenuState(GetSubMenu(profileMenu, 0), Tree::kDeleteProfile, MF_BYCOMMAND) & MF_GRAYED);
    tree_->getMenuForNode(groupA_);
    EXPECT_FALSE(GetMenuState(GetSubMenu(profileMenu, 0), Tree::kDeleteProfile, MF_BYCOMMAND) & MF_GRAYED);

    // A printer of group B may move to a new profile, the root and group A.
    HMENU printerMenu = tree_->getMenuForNode(printer_);
    ASSERT_NE(nullptr, printerMenu);
    HMENU moveTo = GetSubMenu(GetSubMenu(printerMenu, 0), 0);
    ASSERT_NE(nullptr, moveTo);
    std::vector<UINT> moves = ids(moveTo);
    std::erase(moves, 0u); // the separator the resource keeps
    EXPECT_EQ((std::vector<UINT>{3501, 3502, 3503}), moves);
    std::vector<std::wstring> texts;
    for (int i = 0; i < GetMenuItemCount(moveTo); ++i)
        if (GetMenuItemID(moveTo, i))
            texts.push_back(itemText(moveTo, i));
    EXPECT_EQ((std::vector<std::wstring>{uitext::load(extension(), Tree::kNewProfileString), L"My printers", L"A"}),
              texts);

    // A found printer may go to the root and both groups; menus reload fresh.
    moveTo = GetSubMenu(GetSubMenu(tree_->getMenuForNode(found_), 0), 0);
    moves = ids(moveTo);
    std::erase(moves, 0u);
    EXPECT_EQ((std::vector<UINT>{3501, 3502, 3503, 3504}), moves);
    // A printer of the root profile: the groups only.
    moveTo = GetSubMenu(GetSubMenu(tree_->getMenuForNode(share_), 0), 0);
    moves = ids(moveTo);
    std::erase(moves, 0u);
    EXPECT_EQ((std::vector<UINT>{3501, 3502, 3503}), moves);
}

TEST_F(ConfirmDialogTreeTest, DeleteAndRenameKeysBecomeCommands)
{
    const struct {
        TreeViewNode* node;
        WORD key;
        std::vector<WPARAM> commands;
    } rows[] = {
        {root_, VK_DELETE, {}},    {groupA_, VK_DELETE, {4012}}, {printer_, VK_DELETE, {4003}},
        {printer_, VK_F2, {4004}}, {groupA_, VK_F2, {4014}},     {root_, VK_F2, {}},
        {service_, VK_DELETE, {}},
    };
    for (const auto& row : rows) {
        TreeViewNode* node = row.node;
        SCOPED_TRACE(testenv::narrow(node->getText()) + " " + std::to_string(row.key));
        posted();
        tree_->selectNode(node);
        key(row.key);
        EXPECT_EQ(row.commands, posted());
    }
}

TEST_F(ConfirmDialogTreeTest, PrintersDropOnOtherProfilesOnly)
{
    EXPECT_FALSE(tree_->canDrag(groupA_->getItem()));
    EXPECT_TRUE(tree_->canDrag(printer_->getItem()));
    NMTREEVIEWW drag = {};
    drag.hdr = {tree_->getWindow(), 1065, static_cast<UINT>(TVN_BEGINDRAGW)};
    drag.itemNew.hItem = printer_->getItem();
    LRESULT result = 0;
    tree_->onNotify(&drag.hdr, result);
    ASSERT_TRUE(tree_->isDragging());
    EXPECT_FALSE(tree_->canDropOn(groupB_->getItem())); // its own profile
    EXPECT_FALSE(tree_->canDropOn(service_->getItem()));
    EXPECT_TRUE(tree_->canDropOn(groupA_->getItem()));
    tree_->onDragEnd(0, 0);
    EXPECT_TRUE(tree_->onDrop(printer_->getItem(), groupA_->getItem()));
    ASSERT_EQ(1u, owner_.moves.size());
    EXPECT_EQ(printer_, owner_.moves[0].first);
    EXPECT_EQ(groupA_, owner_.moves[0].second);
}

TEST_F(ConfirmDialogTreeTest, ColouredNodesAndTheProfileToolTip)
{
    MPrint::CustomDrawTreeViewNode coloured(L"x", Tree::kSearchRoot);
    NMTVCUSTOMDRAW draw = {};
    draw.nmcd.dwDrawStage = CDDS_ITEMPREPAINT;
    EXPECT_EQ(CDRF_NOTIFYPOSTPAINT, coloured.onCustomDraw(nullptr, &draw));
    EXPECT_EQ(MPrint::CustomDrawTreeViewNode::kDefaultColour, draw.clrText);
    draw.nmcd.uItemState = CDIS_FOCUS;
    draw.clrText = 0;
    EXPECT_EQ(0, coloured.onCustomDraw(nullptr, &draw));
    EXPECT_EQ(0u, draw.clrText);

    RegistryKey key(HKEY_CURRENT_USER, L"Software\\VrelmTreeTipTest", RegistryKey::kAllAccess, true);
    TargetHistoryList history(key);
    for (const wchar_t* name : {L"Second floor", L"Front desk"}) {
        auto* path = new MPrint::PrintPath();
        path->setStringAttribute(L"DisplayString", name, true);
        history.add(path);
    }
    MPrint::HistoryProfile profile(L"Office", &history);
    MPrint::PrinterGroupTreeViewNode group(extension(), L"Office", Tree::kProfile, reinterpret_cast<LPARAM>(&profile));
    const std::wstring expected = uitext::load(extension(), 65) + L" (2)\nFront desk\nSecond floor\n";
    ASSERT_NE(nullptr, group.getToolTip());
    EXPECT_EQ(expected, group.getToolTip());
    MPrint::PrinterGroupTreeViewNode none(extension(), L"None", Tree::kProfile, 0);
    EXPECT_EQ(nullptr, none.getToolTip());
    history.clear();
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\VrelmTreeTipTest");
}

} // namespace
