#include "ui/TreeViewControl.h"

#include "core/ResourceLoader.h"
#include "extension/LumoraPrintingExtension.h"
#include "ui/LumoraDialog.h"
#include "ui/UiText.h"

#include <vector>

namespace MPrint {

namespace {

constexpr UINT kDuplicateNameMessage = 5010;
constexpr UINT kNameTooLongMessage = 8348;
constexpr DWORD kToolTipDelay = 1800;

HTREEITEM nextItem(HWND tree, HTREEITEM item, UINT relation)
{
    return reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, relation, reinterpret_cast<LPARAM>(item)));
}

bool setState(HWND tree, HTREEITEM handle, UINT state, UINT mask)
{
    TVITEMW item = {};
    item.mask = TVIF_STATE;
    item.hItem = handle;
    item.state = state;
    item.stateMask = mask;
    return SendMessageW(tree, TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item)) != 0;
}

} // namespace

TreeViewControl::TreeViewControl(HWND tree) : tree_(tree)
{
    if (!tree_)
        return;
    previousProc_ = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(tree_, GWLP_WNDPROC));
    SetPropW(tree_, kProperty, this);
    SetWindowLongPtrW(tree_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(windowProc));
    if (HWND tips = reinterpret_cast<HWND>(SendMessageW(tree_, TVM_GETTOOLTIPS, 0, 0)))
        SendMessageW(tips, TTM_SETDELAYTIME, TTDT_AUTOMATIC, kToolTipDelay);
}

TreeViewControl::~TreeViewControl() = default;

LRESULT CALLBACK TreeViewControl::windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* control = static_cast<TreeViewControl*>(GetPropW(window, kProperty));
    if (!control)
        return 0;
    if (control->isDragging()) {
        const int x = static_cast<short>(LOWORD(lParam));
        const int y = static_cast<short>(HIWORD(lParam));
        if (message == WM_MOUSEMOVE)
            return static_cast<int>(control->onDragMove(x, y));
        if (message == WM_LBUTTONUP || message == WM_RBUTTONUP)
            return static_cast<int>(control->onDragEnd(x, y));
    }
    return CallWindowProcW(control->previousProc_, window, message, wParam, lParam);
}

HTREEITEM TreeViewControl::insertItem(TVITEMW& item, TreeViewNode* parentNode, TreeViewNode* node,
                                      HTREEITEM insertAfter)
{
    TVINSERTSTRUCTW insert = {};
    insert.hParent = parentNode ? parentNode->getItem() : TVI_ROOT;
    insert.hInsertAfter = insertAfter;
    insert.item = item;
    auto created =
        reinterpret_cast<HTREEITEM>(SendMessageW(tree_, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)));
    if (created && node) {
        node->setItem(created);
        node->setParent(parentNode);
    }
    return created;
}

HTREEITEM TreeViewControl::insertRootItem(TVITEMW& item, TreeViewNode* node, HTREEITEM insertAfter)
{
    return insertItem(item, nullptr, node, insertAfter);
}

bool TreeViewControl::insertNode(TreeViewNode* parentNode, TreeViewNode* node, HTREEITEM insertAfter)
{
    if (!node)
        return false;
    TVITEMW item = {};
    item.mask = TVIF_TEXT | TVIF_PARAM;
    item.pszText = const_cast<wchar_t*>(node->getText().c_str());
    item.lParam = reinterpret_cast<LPARAM>(node);
    return insertItem(item, parentNode, node, insertAfter) != nullptr;
}

bool TreeViewControl::addRootNode(TreeViewNode* node, HTREEITEM insertAfter)
{
    return insertNode(nullptr, node, insertAfter);
}

TreeViewNode* TreeViewControl::findChildByText(const std::wstring& text, TreeViewNode* parentNode)
{
    HTREEITEM child = parentNode ? nextItem(tree_, parentNode->getItem(), TVGN_CHILD) : nextItem(tree_, nullptr, TVGN_ROOT);
    for (; child; child = nextItem(tree_, child, TVGN_NEXT)) {
        wchar_t buffer[512] = {};
        TVITEMW item = {};
        item.mask = TVIF_TEXT | TVIF_PARAM;
        item.hItem = child;
        item.pszText = buffer;
        item.cchTextMax = 512;
        if (SendMessageW(tree_, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item)) && text == buffer)
            return reinterpret_cast<TreeViewNode*>(item.lParam);
    }
    return nullptr;
}

TreeViewNode* TreeViewControl::getNode(HTREEITEM item)
{
    if (!item)
        return nullptr;
    TVITEMW query = {};
    query.mask = TVIF_PARAM;
    query.hItem = item;
    if (!SendMessageW(tree_, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&query)))
        return nullptr;
    return reinterpret_cast<TreeViewNode*>(query.lParam);
}

TreeViewNode* TreeViewControl::getNodeOrSelected(HTREEITEM item)
{
    return getNode(item ? item : getSelectedItem());
}

HTREEITEM TreeViewControl::getSelectedItem()
{
    return nextItem(tree_, nullptr, TVGN_CARET);
}

bool TreeViewControl::updateNode(TreeViewNode* node)
{
    if (!node || !node->getItem())
        return false;
    TVITEMW item = {};
    item.mask = TVIF_TEXT;
    item.hItem = node->getItem();
    item.pszText = const_cast<wchar_t*>(node->getText().c_str());
    return SendMessageW(tree_, TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item)) != 0;
}

bool TreeViewControl::selectNode(TreeViewNode* node)
{
    if (!node)
        return false;
    const bool selected = SendMessageW(tree_, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(node->getItem()));
    ensureVisible(node);
    return selected;
}

bool TreeViewControl::ensureVisible(TreeViewNode* node)
{
    if (!node)
        return false;
    SendMessageW(tree_, TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(node->getItem()));
    UpdateWindow(tree_);
    return true;
}

bool TreeViewControl::expandNode(TreeViewNode* node)
{
    return node && SendMessageW(tree_, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(node->getItem()));
}

bool TreeViewControl::collapseNode(TreeViewNode* node)
{
    return node && SendMessageW(tree_, TVM_EXPAND, TVE_COLLAPSE, reinterpret_cast<LPARAM>(node->getItem()));
}

TreeViewNode* TreeViewControl::getFirstChild(TreeViewNode* node)
{
    return node ? getNode(nextItem(tree_, node->getItem(), TVGN_CHILD)) : nullptr;
}

TreeViewNode* TreeViewControl::getNextSibling(TreeViewNode* node)
{
    return node ? getNode(nextItem(tree_, node->getItem(), TVGN_NEXT)) : nullptr;
}

TreeViewNode* TreeViewControl::getPreviousSibling(TreeViewNode* node)
{
    return node ? getNode(nextItem(tree_, node->getItem(), TVGN_PREVIOUS)) : nullptr;
}

bool TreeViewControl::moveNode(TreeViewNode* node, TreeViewNode* newParent)
{
    if (!node || !newParent)
        return false;
    if (!SendMessageW(tree_, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(node->getItem())))
        return false;
    node->setItem(nullptr);
    return insertNode(newParent, node, TVI_FIRST);
}

HTREEITEM TreeViewControl::hitTest(POINT clientPoint, UINT* flags)
{
    TVHITTESTINFO hit = {};
    hit.pt = clientPoint;
    auto item = reinterpret_cast<HTREEITEM>(SendMessageW(tree_, TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
    if (flags)
        *flags = hit.flags;
    return item;
}

TreeViewNode* TreeViewControl::getNodeUnderCursor()
{
    POINT cursor = {};
    GetCursorPos(&cursor);
    ScreenToClient(tree_, &cursor);
    UINT flags = 0;
    HTREEITEM item = hitTest(cursor, &flags);
    return item && (flags & TVHT_ONITEMLABEL) ? getNode(item) : nullptr;
}

UINT TreeViewControl::getItemState(TreeViewNode* node, UINT mask)
{
    if (!node)
        return 0;
    return static_cast<UINT>(SendMessageW(tree_, TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(node->getItem()), mask));
}

bool TreeViewControl::setItemState(TreeViewNode* node, UINT state, UINT mask)
{
    return node && setState(tree_, node->getItem(), state, mask);
}

bool TreeViewControl::deleteNode(TreeViewNode* node)
{
    if (!node)
        return false;
    std::vector<TreeViewNode*> children;
    for (TreeViewNode* child = getFirstChild(node); child; child = getNextSibling(child))
        children.push_back(child);
    for (TreeViewNode* child : children)
        deleteNode(child);
    SendMessageW(tree_, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(node->getItem()));
    delete node;
    return true;
}

bool TreeViewControl::deleteAllNodes()
{
    bool deleted = false;
    HTREEITEM item = nextItem(tree_, nullptr, TVGN_ROOT);
    while (item) {
        HTREEITEM next = nextItem(tree_, item, TVGN_NEXT);
        if (TreeViewNode* node = getNode(item))
            deleted = deleteNode(node) || deleted;
        item = next;
    }
    return deleted;
}

void TreeViewControl::setImageList(ImageList* imageList, bool stateList)
{
    imageList_.reset(imageList);
    if (imageList_)
        SendMessageW(tree_, TVM_SETIMAGELIST, stateList ? TVSIL_STATE : TVSIL_NORMAL,
                     reinterpret_cast<LPARAM>(imageList_->getHandle()));
}

bool TreeViewControl::editSelectedLabel()
{
    HTREEITEM selected = getSelectedItem();
    return selected && SendMessageW(tree_, TVM_EDITLABELW, 0, reinterpret_cast<LPARAM>(selected)) != 0;
}

bool TreeViewControl::cancelLabelEdit()
{
    if (!editing_)
        return false;
    editing_ = false;
    SendMessageW(tree_, TVM_ENDEDITLABELNOW, TRUE, 0);
    return true;
}

bool TreeViewControl::commitLabelEdit()
{
    if (!editing_)
        return false;
    SendMessageW(tree_, TVM_ENDEDITLABELNOW, FALSE, 0);
    return true;
}

bool TreeViewControl::canDrag(HTREEITEM)
{
    return true;
}

bool TreeViewControl::canDropOn(HTREEITEM)
{
    return false;
}

bool TreeViewControl::onDrop(HTREEITEM, HTREEITEM)
{
    return false;
}

LRESULT TreeViewControl::checkRename(TreeViewNode* node, const wchar_t* newText)
{
    const std::wstring text = newText;
    TreeViewNode* clash = findChildByText(text, node->getParent());
    if (clash || text.size() > kMaxNameLength) {
        LumoraPrintingExtension* extension = LumoraPrintingExtension::current();
        const MPrint::ResourceLoader* resources = uitext::loader(extension);
        const std::wstring message = uitext::systemMessage(clash ? kDuplicateNameMessage : kNameTooLongMessage,
                                                           resources ? resources->getLanguage() : 0, L"");
        // Wine has no text for either code: the rename is refused silently.
        if (!message.empty())
            showMessageBox(tree_, message.c_str(), uitext::load(extension, kErrorCaptionString).c_str(), MB_ICONERROR);
        return 0;
    }
    if (!text.empty() && text != node->getText()) {
        node->rename(text);
        return 1;
    }
    return 0;
}

bool TreeViewControl::onNotify(NMHDR* header, LRESULT& result)
{
    if (!header)
        return false;
    switch (header->code) {
    case NM_SETCURSOR:
        SetCursor(LoadCursorW(nullptr, IDC_ARROW));
        result = 1;
        return true;
    case NM_CUSTOMDRAW: {
        auto* draw = reinterpret_cast<NMTVCUSTOMDRAW*>(header);
        if (draw->nmcd.dwDrawStage == CDDS_PREPAINT) {
            result = CDRF_NOTIFYITEMDRAW | CDRF_NOTIFYPOSTPAINT;
        } else if (draw->nmcd.dwDrawStage == CDDS_ITEMPREPAINT || draw->nmcd.dwDrawStage == CDDS_ITEMPOSTPAINT) {
            TreeViewNode* node = getNode(reinterpret_cast<HTREEITEM>(draw->nmcd.dwItemSpec));
            result = node ? node->onCustomDraw(header, draw) : 0;
        } else {
            result = 0;
        }
        return true;
    }
    case NM_CLICK:
    case NM_DBLCLK:
    case NM_RCLICK:
    case NM_RDBLCLK:
        return onClick(header->code, header, result);
    case TVN_GETINFOTIPW: {
        auto* tip = reinterpret_cast<NMTVGETINFOTIPW*>(header);
        TreeViewNode* node = getNode(tip->hItem);
        const wchar_t* text = node ? node->getToolTip() : nullptr;
        if (text && tip->pszText && tip->cchTextMax > 0)
            lstrcpynW(tip->pszText, text, tip->cchTextMax);
        return true;
    }
    case TVN_BEGINLABELEDITW: {
        auto* edit = reinterpret_cast<NMTVDISPINFOW*>(header);
        TreeViewNode* node = edit->item.lParam ? reinterpret_cast<TreeViewNode*>(edit->item.lParam)
                                               : getNode(edit->item.hItem);
        if (node && !node->isEditable()) {
            result = 1;
            return true;
        }
        editing_ = true;
        return false;
    }
    case TVN_ENDLABELEDITW: {
        auto* edit = reinterpret_cast<NMTVDISPINFOW*>(header);
        TreeViewNode* node = edit->item.lParam ? reinterpret_cast<TreeViewNode*>(edit->item.lParam)
                                               : getNode(edit->item.hItem);
        bool handled = false;
        if (node && edit->item.pszText) {
            result = checkRename(node, edit->item.pszText);
            handled = true;
        }
        editing_ = false;
        return handled;
    }
    case TVN_BEGINDRAGW:
        beginDrag(reinterpret_cast<NMTREEVIEWW*>(header), result);
        return true;
    case TVN_SELCHANGEDW: {
        auto* change = reinterpret_cast<NMTREEVIEWW*>(header);
        TreeViewNode* node = change->itemNew.lParam ? reinterpret_cast<TreeViewNode*>(change->itemNew.lParam)
                                                    : getNode(change->itemNew.hItem);
        if (node)
            node->onSelected();
        return false;
    }
    default:
        return false;
    }
}

bool TreeViewControl::onClick(UINT code, NMHDR*, LRESULT& result)
{
    if (code == NM_RCLICK) {
        if (TreeViewNode* node = getNodeUnderCursor()) {
            selectNode(node);
            node->onRightClick();
        }
        result = 1;
        return true;
    }
    if (code == NM_DBLCLK || code == NM_RDBLCLK) {
        if (TreeViewNode* node = getNodeUnderCursor())
            node->onDoubleClick();
    }
    return false;
}

void TreeViewControl::beginDrag(NMTREEVIEWW* treeView, LRESULT& result)
{
    if (!treeView)
        return;
    HTREEITEM item = treeView->itemNew.hItem;
    if (!canDrag(item)) {
        result = 1;
        return;
    }
    dragSource_ = item;
    dropTarget_ = nullptr;
    TreeViewNode* node = getNode(item);
    if (node && !(getItemState(node, TVIS_SELECTED) & TVIS_SELECTED))
        selectNode(node);
    setState(tree_, item, TVIS_CUT, 0x0F);
    UpdateWindow(tree_);
    SetCapture(tree_);
    HIMAGELIST image =
        reinterpret_cast<HIMAGELIST>(SendMessageW(tree_, TVM_CREATEDRAGIMAGE, 0, reinterpret_cast<LPARAM>(item)));
    if (image) {
        ImageList_SetBkColor(image, CLR_NONE);
        ImageList_BeginDrag(image, 0, 1, 1);
        ImageList_DragEnter(tree_, treeView->ptDrag.x, treeView->ptDrag.y);
        // The drag keeps its own copy of the image.
        ImageList_Destroy(image);
    }
}

void TreeViewControl::scrollForDrag(HTREEITEM first, bool up)
{
    ImageList_DragShowNolock(FALSE);
    SetCursor(LoadCursorW(nullptr, IDC_NO));
    SendMessageW(tree_, TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(first));
    HTREEITEM next = nextItem(tree_, first, up ? TVGN_PREVIOUS : TVGN_NEXT);
    if (!next)
        next = up ? nextItem(tree_, first, TVGN_PARENT)
                  : nextItem(tree_, nextItem(tree_, first, TVGN_PARENT), TVGN_NEXT);
    if (next)
        SendMessageW(tree_, TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(next));
    ImageList_DragShowNolock(TRUE);
}

LRESULT TreeViewControl::onDragMove(int x, int y)
{
    if (!dragSource_)
        return 1;
    HTREEITEM item = hitTest({x, y});
    if (item != dropTarget_) {
        ImageList_DragShowNolock(FALSE);
        if (dropTarget_)
            setState(tree_, dropTarget_, 0, 0x0F);
        if (item) {
            if (canDropOn(item)) {
                setState(tree_, item, TVIS_DROPHILITED, TVIS_DROPHILITED);
                SetCursor(LoadCursorW(nullptr, IDC_ARROW));
            } else {
                SetCursor(LoadCursorW(nullptr, IDC_NO));
            }
        }
        ImageList_DragShowNolock(TRUE);
    } else {
        RECT client = {};
        GetClientRect(tree_, &client);
        if (y < client.top)
            scrollForDrag(nextItem(tree_, nullptr, TVGN_FIRSTVISIBLE), true);
        else if (y >= client.bottom)
            scrollForDrag(nextItem(tree_, nullptr, TVGN_LASTVISIBLE), false);
    }
    dropTarget_ = item;
    ImageList_DragMove(x, y);
    return 0;
}

LRESULT TreeViewControl::onDragEnd(int, int)
{
    if (!dragSource_)
        return 1;
    ReleaseCapture();
    ImageList_DragLeave(tree_);
    ImageList_EndDrag();
    HTREEITEM source = dragSource_;
    HTREEITEM target = dropTarget_;
    // Asked while the drag still runs: the answer may depend on the source.
    const bool accepted = target && target != source && canDropOn(target);
    dragSource_ = nullptr;
    dropTarget_ = nullptr;
    if (accepted) {
        setState(tree_, source, 0, 0x0F);
        setState(tree_, target, 0, 0x0F);
        onDrop(source, target);
        InvalidateRect(tree_, nullptr, TRUE);
    } else {
        setState(tree_, source, TVIS_SELECTED, 0x0F);
    }
    return 0;
}

} // namespace MPrint
