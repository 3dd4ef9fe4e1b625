// A font made from a control's font with another weight; owned and deleted
// when replaced or destroyed.
#pragma once

#include "core/Win32.h"

class DerivedFont {
public:
    DerivedFont() = default;
    ~DerivedFont() { reset(); }
    DerivedFont(const DerivedFont&) = delete;
    DerivedFont& operator=(const DerivedFont&) = delete;

    // From the control's WM_GETFONT (the system font when it has none),
    // its height value changed by heightDelta; null when the control is
    // missing or the font cannot be made.
    HFONT create(HWND control, LONG weight, LONG heightDelta = 0);
    HFONT get() const { return font_; }
    void reset();
    // The same, then underlined when asked and, for a non-zero height, of
    // that LOGFONT height.
    HFONT createStyled(HWND control, LONG weight, bool underline, LONG height);

private:
    HFONT font_ = nullptr;
};
