// An owner-drawn check box (kind 0) or radio button (kind 1). The object
// holds the checked state itself: a draw in the selected state flips it,
// so a press toggles the mark as the platform's own buttons do.
#pragma once

#include "ui/OwnerDrawControl.h"

class OwnerDrawAutoButton : public OwnerDrawControl {
public:
    static constexpr UINT kCheckBox = 0;
    static constexpr UINT kRadioButton = 1;
    static constexpr int kTextIndent = 18;

    OwnerDrawAutoButton(HWND window, UINT id, UINT kind);

    bool draw(WPARAM wParam, const DRAWITEMSTRUCT* drawItem) override;
    // The control keeps its own font.
    void setFont(HFONT) override {}
    bool isChecked() const { return checked_; }
    // A change is stored and redrawn at once; the current value does nothing.
    void setChecked(bool checked);
    virtual bool drawFrame(const DRAWITEMSTRUCT* drawItem, const RECT& box, bool checked);

    void setTextColour(COLORREF colour) { textColour_ = colour; }
    UINT getKind() const { return kind_; }

private:
    COLORREF textColour_ = 0;
    COLORREF disabledTextColour_;
    UINT kind_;
    bool checked_ = false;
    bool focusShown_ = false;
};
