// The tree view wrapper on a real tree window whose parent forwards
// WM_NOTIFY to it: insert, find, move and recursive delete; renames through
// the in-place edit box; drag and drop by mouse messages; clicks, tool tips
// and custom draw routing.
#include "ui/TreeViewControl.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <string>
#include <vector>

namespace {

using MPrint::TreeViewControl;
using MPrint::TreeViewNode;

int g_deletedNodes = 0;

class CountedNode : public TreeViewNode {
public:
    CountedNode(const std::wstring& text, bool editable = true) : TreeViewNode(text, 5)
    {
        setEditable(editable);
    }
    ~CountedNode() override { ++g_deletedNodes; }
};

// Accepts drops on every item but the first root, and records them.
class RecordingTree : public TreeViewControl {
public:
    using TreeViewControl::TreeViewControl;
    bool canDropOn(HTREEITEM item) override { return item != refused; }
    bool onDrop(HTREEITEM source, HTREEITEM target) override
    {
        drops.push_back({source, target});
        return true;
    }
    HTREEITEM refused = nullptr;
    std::vector<std::pair<HTREEITEM, HTREEITEM>> drops;
};

TreeViewControl* g_control = nullptr;

LRESULT CALLBACK forwardingParent(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NOTIFY && g_control) {
        LRESULT result = 0;
        if (g_control->onNotify(reinterpret_cast<NMHDR*>(lParam), result))
            return result;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

class TreeViewControlTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_TREEVIEW_CLASSES};
        InitCommonControlsEx(&controls);
        WNDCLASSW windowClass = {};
        windowClass.lpfnWndProc = forwardingParent;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"TreeTestParent";
        RegisterClassW(&windowClass);
        parent_ = CreateWindowExW(0, L"TreeTestParent", L"", WS_POPUP | WS_VISIBLE, 100, 100, 240, 120, nullptr,
                                  nullptr, windowClass.hInstance, nullptr);
        tree_ = CreateWindowExW(0, WC_TREEVIEWW, L"",
                                WS_CHILD | WS_VISIBLE | TVS_EDITLABELS | TVS_HASBUTTONS | TVS_LINESATROOT |
                                    TVS_SHOWSELALWAYS | TVS_INFOTIP,
                                0, 0, 240, 120, parent_, reinterpret_cast<HMENU>(1065), nullptr, nullptr);
        control_ = new RecordingTree(tree_);
        g_control = control_;
        g_deletedNodes = 0;
    }
    void TearDown() override
    {
        control_->deleteAllNodes();
        DestroyWindow(parent_);
        g_control = nullptr;
        delete control_;
    }

    CountedNode* add(const std::wstring& text, TreeViewNode* parent = nullptr, bool editable = true)
    {
        auto* node = new CountedNode(text, editable);
        EXPECT_TRUE(control_->insertNode(parent, node));
        return node;
    }
    std::wstring itemText(TreeViewNode* node)
    {
        wchar_t buffer[512] = {};
        TVITEMW item = {};
        item.mask = TVIF_TEXT;
        item.hItem = node->getItem();
        item.pszText = buffer;
        item.cchTextMax = 512;
        SendMessageW(tree_, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
        return buffer;
    }
    POINT centreOf(TreeViewNode* node)
    {
        RECT rect = {};
        *reinterpret_cast<HTREEITEM*>(&rect) = node->getItem();
        SendMessageW(tree_, TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(&rect));
        return {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
    }
    void mouse(UINT message, POINT at) { SendMessageW(tree_, message, 0, MAKELPARAM(at.x, at.y)); }
    void beginDrag(TreeViewNode* node)
    {
        NMTREEVIEWW drag = {};
        drag.hdr.hwndFrom = tree_;
        drag.hdr.idFrom = 1065;
        drag.hdr.code = TVN_BEGINDRAGW;
        drag.itemNew.hItem = node->getItem();
        drag.itemNew.lParam = reinterpret_cast<LPARAM>(node);
        drag.ptDrag = centreOf(node);
        SendMessageW(parent_, WM_NOTIFY, 1065, reinterpret_cast<LPARAM>(&drag));
    }

    HWND parent_ = nullptr;
    HWND tree_ = nullptr;
    RecordingTree* control_ = nullptr;
};

TEST_F(TreeViewControlTest, InsertFindMoveAndDeleteRecursively)
{
    CountedNode* office = add(L"Office");
    CountedNode* home = add(L"Home");
    CountedNode* a = add(L"A", office);
    CountedNode* b = add(L"B", office);
    add(L"B1", b);
    EXPECT_EQ(office, a->getParent());
    EXPECT_EQ(office, control_->findChildByText(L"Office", nullptr));
    EXPECT_EQ(b, control_->findChildByText(L"B", office));
    EXPECT_EQ(nullptr, control_->findChildByText(L"b", office)); // case counts
    EXPECT_EQ(nullptr, control_->findChildByText(L"B", home));
    EXPECT_EQ(a, control_->getFirstChild(office));
    EXPECT_EQ(b, control_->getNextSibling(a));
    EXPECT_EQ(a, control_->getPreviousSibling(b));

    // Moved first under the new parent; the object survives.
    CountedNode* leaf = add(L"Leaf", office);
    ASSERT_TRUE(control_->moveNode(leaf, home));
    EXPECT_EQ(home, leaf->getParent());
    EXPECT_EQ(leaf, control_->getFirstChild(home));
    EXPECT_EQ(L"Leaf", itemText(leaf));
    EXPECT_FALSE(control_->moveNode(nullptr, home));
    EXPECT_FALSE(control_->moveNode(leaf, nullptr));

    leaf->rename(L"Renamed");
    EXPECT_TRUE(control_->updateNode(leaf));
    EXPECT_EQ(L"Renamed", itemText(leaf));

    g_deletedNodes = 0;
    EXPECT_TRUE(control_->deleteNode(office)); // Office, A, B and B1
    EXPECT_EQ(4, g_deletedNodes);
    EXPECT_EQ(nullptr, control_->findChildByText(L"Office", nullptr));
    EXPECT_TRUE(control_->deleteAllNodes());
    EXPECT_FALSE(control_->deleteAllNodes());
}

TEST_F(TreeViewControlTest, RenamesAreCheckedAgainstSiblingsAndLength)
{
    CountedNode* group = add(L"Group");
    CountedNode* first = add(L"First", group);
    add(L"Second", group);
    const struct {
        const char* name;
        std::wstring text;
        bool accepted;
    } rows[] = {
        {"unchanged: finds itself", L"First", false},
        {"a sibling's name", L"Second", false},
        {"221 characters", std::wstring(221, L'n'), true},
        {"222 characters", std::wstring(222, L'm'), false},
        {"a new name", L"Third", true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const std::wstring before = first->getText();
        ASSERT_TRUE(control_->selectNode(first));
        HWND edit = reinterpret_cast<HWND>(
            SendMessageW(tree_, TVM_EDITLABELW, 0, reinterpret_cast<LPARAM>(first->getItem())));
        ASSERT_NE(nullptr, edit);
        EXPECT_TRUE(control_->isEditingLabel());
        SetWindowTextW(edit, row.text.c_str());
        SendMessageW(tree_, TVM_ENDEDITLABELNOW, FALSE, 0);
        EXPECT_FALSE(control_->isEditingLabel());
        EXPECT_EQ(row.accepted ? row.text : before, first->getText());
        EXPECT_EQ(first->getText(), itemText(first));
    }

    // A node that may not be renamed never gets an edit box.
    CountedNode* fixed = add(L"Fixed", group, false);
    EXPECT_EQ(nullptr, reinterpret_cast<HWND>(
                           SendMessageW(tree_, TVM_EDITLABELW, 0, reinterpret_cast<LPARAM>(fixed->getItem()))));
    EXPECT_FALSE(control_->isEditingLabel());
    EXPECT_FALSE(control_->cancelLabelEdit());
}

TEST_F(TreeViewControlTest, DropOnAnotherItemCallsOnDropOnItselfRestoresTheSelection)
{
    CountedNode* source = add(L"Printer");
    CountedNode* target = add(L"Profile");
    CountedNode* refused = add(L"Refused");
    control_->refused = refused->getItem();

    beginDrag(source);
    ASSERT_TRUE(control_->isDragging());
    EXPECT_EQ(static_cast<UINT>(TVIS_CUT), control_->getItemState(source, TVIS_CUT));
    mouse(WM_MOUSEMOVE, centreOf(target));
    EXPECT_EQ(static_cast<UINT>(TVIS_DROPHILITED), control_->getItemState(target, TVIS_DROPHILITED));
    mouse(WM_MOUSEMOVE, centreOf(refused));
    EXPECT_EQ(0u, control_->getItemState(target, TVIS_DROPHILITED));
    EXPECT_EQ(0u, control_->getItemState(refused, TVIS_DROPHILITED));
    mouse(WM_MOUSEMOVE, centreOf(target));
    mouse(WM_LBUTTONUP, centreOf(target));
    EXPECT_FALSE(control_->isDragging());
    ASSERT_EQ(1u, control_->drops.size());
    EXPECT_EQ(source->getItem(), control_->drops[0].first);
    EXPECT_EQ(target->getItem(), control_->drops[0].second);
    EXPECT_EQ(0u, control_->getItemState(source, TVIS_CUT));

    beginDrag(source);
    mouse(WM_MOUSEMOVE, centreOf(source));
    mouse(WM_LBUTTONUP, centreOf(source));
    EXPECT_EQ(1u, control_->drops.size());
    EXPECT_EQ(static_cast<UINT>(TVIS_SELECTED), control_->getItemState(source, 0x0F));

    beginDrag(source); // onto a refused item: no drop either
    mouse(WM_MOUSEMOVE, centreOf(refused));
    mouse(WM_RBUTTONUP, centreOf(refused));
    EXPECT_EQ(1u, control_->drops.size());
    EXPECT_EQ(1, control_->onDragMove(0, 0)); // no drag runs
}

TEST_F(TreeViewControlTest, DraggingAboveTheTopScrollsOneItemPerMove)
{
    std::vector<CountedNode*> nodes;
    for (int i = 0; i < 30; ++i)
        nodes.push_back(add(L"Item " + std::to_wstring(i)));
    control_->ensureVisible(nodes.back());
    auto firstVisible = [this] {
        return reinterpret_cast<HTREEITEM>(SendMessageW(tree_, TVM_GETNEXTITEM, TVGN_FIRSTVISIBLE, 0));
    };
    CountedNode* dragged = nodes.back();
    beginDrag(dragged);
    mouse(WM_MOUSEMOVE, {20, -5}); // leaves the item: no scroll yet
    const HTREEITEM start = firstVisible();
    int index = -1;
    for (size_t i = 0; i < nodes.size(); ++i)
        if (nodes[i]->getItem() == start)
            index = static_cast<int>(i);
    ASSERT_GT(index, 2);
    mouse(WM_MOUSEMOVE, {20, -5});
    EXPECT_EQ(nodes[index - 1]->getItem(), firstVisible());
    mouse(WM_MOUSEMOVE, {20, -5});
    EXPECT_EQ(nodes[index - 2]->getItem(), firstVisible());
    mouse(WM_LBUTTONUP, {20, -5});
    EXPECT_TRUE(control_->drops.empty());
}

TEST_F(TreeViewControlTest, RightClickOnEmptySpaceSelectsNothingYetIsHandled)
{
    CountedNode* only = add(L"Only");
    RECT client = {};
    GetClientRect(tree_, &client);
    POINT empty = {client.right / 2, client.bottom - 5};
    ClientToScreen(tree_, &empty);
    SetCursorPos(empty.x, empty.y);
    NMHDR click = {tree_, 1065, static_cast<UINT>(NM_RCLICK)};
    LRESULT result = 0;
    EXPECT_TRUE(control_->onNotify(&click, result));
    EXPECT_EQ(1, result);
    EXPECT_EQ(nullptr, control_->getSelectedItem());

    POINT onLabel = centreOf(only);
    ClientToScreen(tree_, &onLabel);
    SetCursorPos(onLabel.x, onLabel.y);
    EXPECT_TRUE(control_->onNotify(&click, result));
    EXPECT_EQ(only->getItem(), control_->getSelectedItem());
}

TEST_F(TreeViewControlTest, ToolTipsAndCustomDrawReachTheNode)
{
    CountedNode* node = add(L"Printers");
    node->setToolTip(L"Three printers");
    wchar_t buffer[6] = {};
    NMTVGETINFOTIPW tip = {};
    tip.hdr = {tree_, 1065, static_cast<UINT>(TVN_GETINFOTIPW)};
    tip.hItem = node->getItem();
    tip.pszText = buffer;
    tip.cchTextMax = 6;
    LRESULT result = 0;
    EXPECT_TRUE(control_->onNotify(&tip.hdr, result));
    EXPECT_STREQ(L"Three", buffer); // bounded by the buffer

    NMTVCUSTOMDRAW draw = {};
    draw.nmcd.hdr = {tree_, 1065, static_cast<UINT>(NM_CUSTOMDRAW)};
    draw.nmcd.dwDrawStage = CDDS_PREPAINT;
    EXPECT_TRUE(control_->onNotify(&draw.nmcd.hdr, result));
    EXPECT_EQ(CDRF_NOTIFYITEMDRAW | CDRF_NOTIFYPOSTPAINT, result);
    draw.nmcd.dwDrawStage = CDDS_ITEMPREPAINT;
    draw.nmcd.dwItemSpec = reinterpret_cast<DWORD_PTR>(node->getItem());
    EXPECT_TRUE(control_->onNotify(&draw.nmcd.hdr, result));
    EXPECT_EQ(0, result);
}

} // namespace
