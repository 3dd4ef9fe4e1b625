// An owner-drawn group frame: a rounded rectangle with its caption cut into
// the top edge.
#pragma once

#include "ui/OwnerDrawControl.h"

class OwnerDrawGroupBox : public OwnerDrawControl {
public:
    static constexpr COLORREF kFrameColour = 0xBFD0D0;
    static constexpr COLORREF kCaptionColour = 0xD54600;

    OwnerDrawGroupBox(HWND window, UINT id);
    ~OwnerDrawGroupBox() override;

    bool draw(WPARAM wParam, const DRAWITEMSTRUCT* drawItem) override;

private:
    HPEN framePen_;
    COLORREF captionColour_ = kCaptionColour;
};
