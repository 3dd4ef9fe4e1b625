// Wraps a dialog's tree view: subclasses its window (property
// "LumoTreeViewControlPtr"), keeps one TreeViewNode per item (its lParam),
// turns the tree's notifications into node operations, checks in-place
// renames and runs drag and drop with a drag image. Nodes inserted belong
// to the tree and go with deleteNode / deleteAllNodes. The object must
// outlive its tree window: the destructor neither unbinds nor unsubclasses.
#pragma once

#include "core/Win32.h"
#include "ui/ImageList.h"
#include "ui/TreeViewNode.h"

#include <commctrl.h>

#include <memory>
#include <string>

namespace MPrint {

class TreeViewControl {
public:
    static constexpr wchar_t kProperty[] = L"LumoTreeViewControlPtr";
    static constexpr size_t kMaxNameLength = 221;
    static constexpr UINT kErrorCaptionString = 69;

    explicit TreeViewControl(HWND tree);
    virtual ~TreeViewControl();
    TreeViewControl(const TreeViewControl&) = delete;
    TreeViewControl& operator=(const TreeViewControl&) = delete;

    virtual HTREEITEM insertRootItem(TVITEMW& item, TreeViewNode* node, HTREEITEM insertAfter);
    virtual bool addRootNode(TreeViewNode* node, HTREEITEM insertAfter = TVI_LAST);
    // Under the parent's item (the root without one); the node learns its
    // item and parent. The new item, or null.
    virtual HTREEITEM insertItem(TVITEMW& item, TreeViewNode* parentNode, TreeViewNode* node, HTREEITEM insertAfter);
    virtual bool insertNode(TreeViewNode* parentNode, TreeViewNode* node, HTREEITEM insertAfter = TVI_LAST);
    // Exact, case-sensitive match among the parent's children (root items
    // without a parent).
    virtual TreeViewNode* findChildByText(const std::wstring& text, TreeViewNode* parentNode);
    // True when handled; result is the notification's answer.
    virtual bool onNotify(NMHDR* header, LRESULT& result);
    virtual TreeViewNode* getNodeOrSelected(HTREEITEM item);
    virtual TreeViewNode* getNode(HTREEITEM item);
    virtual bool updateNode(TreeViewNode* node);
    virtual HTREEITEM getSelectedItem();
    virtual bool selectNode(TreeViewNode* node);
    virtual bool ensureVisible(TreeViewNode* node);
    virtual bool expandNode(TreeViewNode* node);
    virtual bool collapseNode(TreeViewNode* node);
    virtual TreeViewNode* getFirstChild(TreeViewNode* node);
    virtual TreeViewNode* getNextSibling(TreeViewNode* node);
    virtual TreeViewNode* getPreviousSibling(TreeViewNode* node);
    // Re-inserts the node first under the new parent; its own children are
    // not carried along (only leaf nodes are moved).
    virtual bool moveNode(TreeViewNode* node, TreeViewNode* newParent);
    // The node whose label is under the cursor, or null.
    virtual TreeViewNode* getNodeUnderCursor();
    virtual UINT getItemState(TreeViewNode* node, UINT mask);
    virtual bool setItemState(TreeViewNode* node, UINT state, UINT mask);
    // Children first, then the item, then the node object.
    virtual bool deleteNode(TreeViewNode* node);
    virtual bool deleteAllNodes();
    // Takes the list (null detaches none); the previous one is deleted.
    virtual void setImageList(ImageList* imageList, bool stateList);
    virtual bool editSelectedLabel();
    virtual bool isEditingLabel() const { return editing_; }
    virtual bool cancelLabelEdit();
    virtual bool commitLabelEdit();
    virtual bool isDragging() const { return dragSource_ != nullptr; }
    HTREEITEM getDragSource() const { return dragSource_; }
    virtual void beginDrag(NMTREEVIEWW* treeView, LRESULT& result);
    virtual LRESULT onDragMove(int x, int y);
    virtual LRESULT onDragEnd(int x, int y);
    virtual bool canDrag(HTREEITEM item);
    virtual bool canDropOn(HTREEITEM item);
    virtual bool onDrop(HTREEITEM source, HTREEITEM target);
    virtual bool onClick(UINT code, NMHDR* header, LRESULT& result);

    HWND getWindow() const { return tree_; }
    ImageList* getImageList() const { return imageList_.get(); }

protected:
    // The rename check of TVN_ENDLABELEDITW: 1 keeps the new label.
    LRESULT checkRename(TreeViewNode* node, const wchar_t* newText);

private:
    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    HTREEITEM hitTest(POINT clientPoint, UINT* flags = nullptr);
    void scrollForDrag(HTREEITEM first, bool up);

    HWND tree_;
    std::unique_ptr<ImageList> imageList_;
    bool editing_ = false;
    HTREEITEM dragSource_ = nullptr;
    HTREEITEM dropTarget_ = nullptr;
    WNDPROC previousProc_ = nullptr;
};

} // namespace MPrint
