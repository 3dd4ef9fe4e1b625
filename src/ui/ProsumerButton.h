// A rounded push button of one of three colour styles (0 grey, 1 blue,
// 2 green) with gradient body, gloss, border, centred text and focus ring.
#pragma once

#include "ui/OwnerDrawControl.h"

class ProsumerButton : public OwnerDrawControl {
public:
    static constexpr UINT kGrey = 0;
    static constexpr UINT kBlue = 1;
    static constexpr UINT kGreen = 2;
    static constexpr COLORREF kDisabledText = RGB(0xB1, 0xB1, 0xB1);
    static constexpr COLORREF kFocusRing = 0xF7D7BD;

    // A style above 2 is taken as grey.
    ProsumerButton(HWND window, UINT id, UINT style);

    bool draw(WPARAM wParam, const DRAWITEMSTRUCT* drawItem) override;
    // Grey buttons keep the control's own font.
    void setFont(HFONT font) override;
    void setDefault(bool isDefault) { default_ = isDefault; }
    bool isDefault() const { return default_; }
    void setStyle(UINT style);
    void updateColours();
    UINT getStyle() const { return style_; }

    // Entry 0..7 of a style's row of the colour table.
    static COLORREF colour(UINT style, int entry);

private:
    UINT style_;
    bool default_ = false;
    COLORREF textColour_ = 0;
    COLORREF disabledTextColour_ = kDisabledText;
};
