// An owner-drawn picture: one bitmap drawn at the control's top-left corner,
// optionally with a key colour left transparent. An owned bitmap is deleted
// when replaced and by the destructor; a borrowed one never is.
#pragma once

#include "ui/OwnerDrawControl.h"

class OwnerDrawBitmap : public OwnerDrawControl {
public:
    static constexpr COLORREF kMagenta = RGB(255, 0, 255);

    OwnerDrawBitmap(HWND window, UINT id) : OwnerDrawControl(window, id) {}
    ~OwnerDrawBitmap() override;

    // True without a bitmap (nothing to draw).
    bool draw(WPARAM wParam, const DRAWITEMSTRUCT* drawItem) override;
    // Loads the bitmap resource at its own size and owns it.
    bool loadBitmap(UINT id, HMODULE module);
    void setBitmap(HBITMAP bitmap, bool owned);
    // The key colour changes only when one is given.
    void setTransparent(bool transparent, COLORREF keyColour = CLR_INVALID);

    HBITMAP getBitmap() const { return bitmap_; }
    bool isTransparent() const { return transparent_; }
    COLORREF getKeyColour() const { return keyColour_; }

private:
    HBITMAP bitmap_ = nullptr;
    bool transparent_ = false;
    COLORREF keyColour_ = RGB(255, 255, 255);
    bool owned_ = false;
};
