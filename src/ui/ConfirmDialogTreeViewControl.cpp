#include "ui/ConfirmDialogTreeViewControl.h"

#include "destination/PrintPath.h"
#include "ui/UiText.h"

namespace MPrint {

namespace {

enum ImageKey {
    kGroupClosed = 0,
    kPrinterImage = 1,
    kListImage = 2,
    kServiceImage = 3,
    kDefaultPrinter = 4,
    kGroupOpen = 5,
    kShare = 6,
    kDefaultShare = 7,
    kManualImage = 8,
};

} // namespace

ConfirmDialogTreeViewControl::ConfirmDialogTreeViewControl(HWND tree, ConfirmDialogTreeOwner* owner,
                                                           LumoraPrintingExtension* extension)
    : TreeViewControl(tree), owner_(owner), extension_(extension)
{
    loadImages();
}

ConfirmDialogTreeViewControl::~ConfirmDialogTreeViewControl() = default;

bool ConfirmDialogTreeViewControl::loadImages()
{
    auto list = std::make_unique<ImageList>();
    if (!list->create(16, 16, ILC_MASK | ILC_COLOR8, 16, 16))
        return false;
    SendMessageW(getWindow(), TVM_SETITEMHEIGHT, kItemHeight, 0);
    HMODULE module = uitext::resourceModule(extension_);
    for (int key = 0; key < kImageCount && module; ++key) {
        auto bitmap = static_cast<HBITMAP>(
            LoadImageW(module, MAKEINTRESOURCEW(kFirstTreeBitmap + key), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
        if (!bitmap)
            continue;
        int index = -1;
        if (list->addMasked(bitmap, RGB(255, 0, 255), index))
            imageMap_[key] = index;
        DeleteObject(bitmap);
    }
    setImageList(list.release(), false);
    return true;
}

int ConfirmDialogTreeViewControl::imageKeyFor(const TreeViewNode* node, bool expanded)
{
    if (!node)
        return -1;
    switch (node->getKind()) {
    case kSearchRoot:
    case kProfile:
        return expanded ? kGroupOpen : kGroupClosed;
    case kSchemeList:
    case kManagedList:
        return kListImage;
    case kService:
        return kServiceImage;
    case kManualEntry:
        return kManualImage;
    case kPrinter: {
        auto* path = reinterpret_cast<const PrintPath*>(node->getData());
        const bool isDefault = path && path->getNumericAttribute(L"Default") == 1;
        const bool share = path && path->getStringAttribute(L"Address").rfind(L"\\", 0) == 0;
        if (share)
            return isDefault ? kDefaultShare : kShare;
        return isDefault ? kDefaultPrinter : kPrinterImage;
    }
    default:
        return -1;
    }
}

int ConfirmDialogTreeViewControl::imageIndexFor(int key) const
{
    auto found = imageMap_.find(key);
    return found == imageMap_.end() ? -1 : found->second;
}

HTREEITEM ConfirmDialogTreeViewControl::insertItem(TVITEMW& item, TreeViewNode* parentNode, TreeViewNode* node,
                                                   HTREEITEM insertAfter)
{
    const int index = getImageList() ? imageIndexFor(imageKeyFor(node)) : -1;
    if (index >= 0) {
        item.mask |= TVIF_IMAGE | TVIF_SELECTEDIMAGE;
        item.iImage = index;
        item.iSelectedImage = index;
    }
    return TreeViewControl::insertItem(item, parentNode, node, insertAfter);
}

void ConfirmDialogTreeViewControl::post(UINT command)
{
    if (owner_ && owner_->getWindow())
        PostMessageW(owner_->getWindow(), WM_COMMAND, command, 0);
}

bool ConfirmDialogTreeViewControl::onNotify(NMHDR* header, LRESULT& result)
{
    if (!header)
        return false;
    switch (header->code) {
    case TVN_ITEMEXPANDEDW: {
        auto* change = reinterpret_cast<NMTREEVIEWW*>(header);
        TreeViewNode* node = change->itemNew.lParam ? reinterpret_cast<TreeViewNode*>(change->itemNew.lParam)
                                                    : getNode(change->itemNew.hItem);
        if (node && (node->getKind() == kSearchRoot || node->getKind() == kProfile)) {
            const int index = imageIndexFor(imageKeyFor(node, (change->itemNew.state & TVIS_EXPANDED) != 0));
            if (index >= 0) {
                TVITEMW image = {};
                image.mask = TVIF_IMAGE;
                image.hItem = node->getItem();
                image.iImage = index;
                SendMessageW(getWindow(), TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&image));
            }
        }
        result = 1;
        return true;
    }
    case TVN_KEYDOWN: {
        auto* key = reinterpret_cast<NMTVKEYDOWN*>(header);
        if (TreeViewNode* node = getNode(getSelectedItem())) {
            const bool printer = node->getKind() == kPrinter;
            const bool profile = node->getKind() == kProfile;
            if (key->wVKey == VK_DELETE) {
                if (printer)
                    post(kDeletePrinter);
                else if (profile && node->getParent())
                    post(kDeleteProfile);
            } else if (key->wVKey == VK_F2) {
                if (printer)
                    post(kRenamePrinter);
                else if (profile && node->isEditable())
                    post(kRenameProfile);
            }
        }
        return TreeViewControl::onNotify(header, result);
    }
    case NM_RCLICK: {
        TreeViewNode* node = getNodeUnderCursor();
        if (node && node->getKind() != kProfile && node->getKind() != kPrinter)
            return false;
        TreeViewControl::onNotify(header, result);
        showContextMenu(node);
        result = 1;
        return true;
    }
    case NM_DBLCLK: {
        TreeViewNode* node = getNodeUnderCursor();
        if (!node || node->getKind() == kPrinter)
            return TreeViewControl::onNotify(header, result);
        if (getFirstChild(node)) {
            SendMessageW(getWindow(), TVM_EXPAND, TVE_TOGGLE, reinterpret_cast<LPARAM>(node->getItem()));
        } else {
            SendMessageW(getWindow(), TVM_SELECTITEM, TVGN_CARET, 0);
            selectNode(node);
        }
        result = 1;
        return true;
    }
    case NM_CLICK: {
        TreeViewNode* node = getNodeUnderCursor();
        const UINT kind = node ? node->getKind() : 0;
        if (node && node->getItem() == getSelectedItem() &&
            (kind == kSchemeList || kind == kManagedList || kind == kService || kind == kManualEntry)) {
            SendMessageW(getWindow(), TVM_SELECTITEM, TVGN_CARET, 0);
            selectNode(node);
        }
        return TreeViewControl::onNotify(header, result);
    }
    default:
        return TreeViewControl::onNotify(header, result);
    }
}

bool ConfirmDialogTreeViewControl::canDrag(HTREEITEM item)
{
    TreeViewNode* node = getNode(item);
    return node && node->getKind() == kPrinter;
}

bool ConfirmDialogTreeViewControl::canDropOn(HTREEITEM item)
{
    TreeViewNode* target = getNode(item);
    TreeViewNode* dragged = getNode(getDragSource());
    return target && target->getKind() == kProfile && (!dragged || dragged->getParent() != target);
}

bool ConfirmDialogTreeViewControl::onDrop(HTREEITEM source, HTREEITEM target)
{
    return owner_ && owner_->moveNodeToProfile(getNode(source), getNode(target));
}

bool ConfirmDialogTreeViewControl::showContextMenu(TreeViewNode* node)
{
    HMENU menu = getMenuForNode(node);
    if (!menu)
        return true;
    POINT cursor = {};
    GetCursorPos(&cursor);
    TrackPopupMenu(GetSubMenu(menu, 0), 0, cursor.x, cursor.y, 0, GetParent(getWindow()), nullptr);
    return true;
}

HMENU ConfirmDialogTreeViewControl::getMenuForNode(TreeViewNode* node)
{
    auto menu = [this](int slot, UINT id) -> PopupMenu& {
        if (!menus_[slot])
            menus_[slot] = std::make_unique<PopupMenu>(extension_, id);
        return *menus_[slot];
    };
    const UINT kind = node ? node->getKind() : 0;
    if (kind == kProfile) {
        PopupMenu& profile = menu(0, kProfileMenu);
        if (profile.getMenu()) {
            profile.enableItem(kDeleteProfile, node->isEditable());
            return profile.getMenu();
        }
    } else if (kind == kPrinter) {
        PopupMenu& printer = menu(1, kPrinterMenu);
        printer.destroy();
        if (printer.getMenu()) {
            addMoveToProfileItems(node);
            return printer.getMenu();
        }
    }
    return menu(2, kGeneralMenu).getMenu();
}

bool ConfirmDialogTreeViewControl::addMoveToProfileItems(TreeViewNode* printerNode)
{
    if (!printerNode || !menus_[1])
        return false;
    PopupMenu& menu = *menus_[1];
    const std::wstring newProfile = uitext::load(extension_, kNewProfileString);
    if (!newProfile.empty())
        menu.insertItem(0, newProfile.c_str(), kMoveToNewProfile);
    TreeViewNode* parent = printerNode->getParent();
    TreeViewNode* root = nullptr;
    if (parent && !parent->getParent() && parent->getKind() == kProfile) {
        root = parent; // the default profile is the tree's root
    } else if (parent && parent->getKind() == kProfile && parent->isEditable()) {
        root = parent->getParent();
    } else if (parent) {
        const UINT kind = parent->getKind();
        if (kind == kSchemeList || kind == kManagedList || kind == kService || kind == kManualEntry) {
            TreeViewNode* searchRoot = parent;
            while (searchRoot && searchRoot->getKind() != kSearchRoot)
                searchRoot = searchRoot->getParent();
            root = searchRoot ? getPreviousSibling(searchRoot) : nullptr;
        }
    }
    if (!root)
        return true;
    UINT n = 1;
    if (root != parent)
        menu.insertItem(0, root->getText().c_str(), kMoveToNewProfile + n++);
    for (TreeViewNode* group = getFirstChild(root); group; group = getNextSibling(group)) {
        if (group->getKind() == kProfile && group != parent)
            menu.insertItem(0, group->getText().c_str(), kMoveToNewProfile + n++);
    }
    return true;
}

} // namespace MPrint
