// The destination chooser's tree: an image per node kind, Delete and F2 as
// chooser commands, the profile, printer and general context menus,
// search nodes that run again on a second click, and printers dragged
// onto profiles. Node kinds: 1 search root, 2 profile, 3 and 4 managed
// lists, 5 printer (data: its PrintPath), 6 discovery service, 7 manual
// entry. Menus and commands reach the owner (the chooser).
#pragma once

#include "ui/PopupMenu.h"
#include "ui/TreeViewControl.h"

#include <map>
#include <memory>

class LumoraPrintingExtension;

namespace MPrint {

// What the tree needs of the chooser that owns it.
class ConfirmDialogTreeOwner {
public:
    virtual ~ConfirmDialogTreeOwner() = default;
    // Receives the menu and key commands (WM_COMMAND).
    virtual HWND getWindow() const = 0;
    virtual bool moveNodeToProfile(TreeViewNode* printer, TreeViewNode* profile) = 0;
};

class ConfirmDialogTreeViewControl : public TreeViewControl {
public:
    enum Kind : UINT {
        kSearchRoot = 1,
        kProfile = 2,
        kSchemeList = 3,
        kManagedList = 4,
        kPrinter = 5,
        kService = 6,
        kManualEntry = 7,
    };
    static constexpr UINT kFirstTreeBitmap = 125;
    static constexpr int kImageCount = 9;
    static constexpr int kItemHeight = 18;
    static constexpr UINT kProfileMenu = 151;
    static constexpr UINT kPrinterMenu = 152;
    static constexpr UINT kGeneralMenu = 153;
    static constexpr UINT kMoveToNewProfile = 3501;
    static constexpr UINT kDeletePrinter = 4003;
    static constexpr UINT kRenamePrinter = 4004;
    static constexpr UINT kDeleteProfile = 4012;
    static constexpr UINT kRenameProfile = 4014;
    static constexpr UINT kNewProfileString = 94;

    ConfirmDialogTreeViewControl(HWND tree, ConfirmDialogTreeOwner* owner, LumoraPrintingExtension* extension);
    ~ConfirmDialogTreeViewControl() override;

    HTREEITEM insertItem(TVITEMW& item, TreeViewNode* parentNode, TreeViewNode* node, HTREEITEM insertAfter) override;
    bool onNotify(NMHDR* header, LRESULT& result) override;
    bool canDrag(HTREEITEM item) override;
    bool canDropOn(HTREEITEM item) override;
    bool onDrop(HTREEITEM source, HTREEITEM target) override;

    virtual bool loadImages();
    // Tracks the node's menu at the cursor; commands go to the owner.
    virtual bool showContextMenu(TreeViewNode* node);
    virtual bool addMoveToProfileItems(TreeViewNode* printerNode);
    // The menu (151, 152 or 153) for the node, loaded; null when none loads.
    virtual HMENU getMenuForNode(TreeViewNode* node);

    // The image key of a node (-1: none), and its index in the image list.
    static int imageKeyFor(const TreeViewNode* node, bool expanded = false);
    int imageIndexFor(int key) const;

private:
    void post(UINT command);

    ConfirmDialogTreeOwner* owner_;
    LumoraPrintingExtension* extension_;
    std::map<int, int> imageMap_;
    std::unique_ptr<PopupMenu> menus_[3]; // 151, 152, 153
};

} // namespace MPrint
