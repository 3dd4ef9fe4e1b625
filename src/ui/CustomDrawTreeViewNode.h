// A tree node drawn in its own text colour unless it has the focus.
#pragma once

#include "ui/TreeViewNode.h"

namespace MPrint {

class CustomDrawTreeViewNode : public TreeViewNode {
public:
    static constexpr COLORREF kDefaultColour = 0x800000;

    using TreeViewNode::TreeViewNode;

    LRESULT onCustomDraw(const NMHDR* header, NMTVCUSTOMDRAW* customDraw) override;
    virtual void setColour(COLORREF colour) { colour_ = colour; }
    virtual COLORREF getColour() const { return colour_; }

private:
    COLORREF colour_ = kDefaultColour;
};

} // namespace MPrint
