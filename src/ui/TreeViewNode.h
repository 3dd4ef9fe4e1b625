// One item of a TreeViewControl: its text, caller data, kind, images and
// tool tip, and the tree item and parent node once inserted. Subclasses
// draw themselves (onCustomDraw) or supply tool tips.
#pragma once

#include "core/Win32.h"

#include <commctrl.h>

#include <string>

namespace MPrint {

class TreeViewNode {
public:
    TreeViewNode(const std::wstring& text, UINT kind, LPARAM data = 0) : text_(text), data_(data), kind_(kind) {}
    // Everything but the item handle and the parent, which start null.
    TreeViewNode(const TreeViewNode& other);
    TreeViewNode& operator=(const TreeViewNode&) = delete;
    virtual ~TreeViewNode() = default;

    // Only an editable node takes the text; returns whether it is editable.
    virtual bool rename(const std::wstring& text);
    virtual bool setData(LPARAM data);
    virtual bool setItem(HTREEITEM item);
    virtual bool setParent(TreeViewNode* parent);
    virtual bool setEditable(bool editable);
    virtual bool setImages(int image, int selectedImage);
    // The custom-draw result for this item's stages; 0 draws as default.
    virtual LRESULT onCustomDraw(const NMHDR* header, NMTVCUSTOMDRAW* customDraw);
    virtual bool setToolTip(const std::wstring& text);
    virtual const std::wstring& getText() const { return text_; }
    virtual LPARAM getData() const { return data_; }
    virtual UINT getKind() const { return kind_; }
    virtual bool isEditable() const { return editable_; }
    virtual HTREEITEM getItem() const { return item_; }
    virtual TreeViewNode* getParent() const { return parent_; }
    virtual int getImage(bool selected) const { return selected ? selectedImage_ : image_; }
    // Null when empty.
    virtual const wchar_t* getToolTip();
    virtual void onSelected() {}
    virtual void onRightClick() {}
    virtual void onDoubleClick() {}

private:
    std::wstring text_;
    LPARAM data_;
    bool editable_ = false;
    UINT kind_;
    HTREEITEM item_ = nullptr;
    TreeViewNode* parent_ = nullptr;
    int selectedImage_ = -1;
    int image_ = -1;
    std::wstring toolTip_;
};

} // namespace MPrint
