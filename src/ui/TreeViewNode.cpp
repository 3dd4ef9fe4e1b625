#include "ui/TreeViewNode.h"

namespace MPrint {

TreeViewNode::TreeViewNode(const TreeViewNode& other)
    : text_(other.text_), data_(other.data_), editable_(other.editable_), kind_(other.kind_),
      selectedImage_(other.selectedImage_), image_(other.image_), toolTip_(other.toolTip_)
{
}

bool TreeViewNode::rename(const std::wstring& text)
{
    if (editable_)
        text_ = text;
    return editable_;
}

bool TreeViewNode::setData(LPARAM data)
{
    data_ = data;
    return true;
}

bool TreeViewNode::setItem(HTREEITEM item)
{
    item_ = item;
    return true;
}

bool TreeViewNode::setParent(TreeViewNode* parent)
{
    parent_ = parent;
    return true;
}

bool TreeViewNode::setEditable(bool editable)
{
    editable_ = editable;
    return true;
}

bool TreeViewNode::setImages(int image, int selectedImage)
{
    image_ = image;
    selectedImage_ = selectedImage;
    return true;
}

LRESULT TreeViewNode::onCustomDraw(const NMHDR*, NMTVCUSTOMDRAW*)
{
    return 0;
}

bool TreeViewNode::setToolTip(const std::wstring& text)
{
    toolTip_ = text;
    return true;
}

const wchar_t* TreeViewNode::getToolTip()
{
    return toolTip_.empty() ? nullptr : toolTip_.c_str();
}

} // namespace MPrint
