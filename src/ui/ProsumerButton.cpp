#include "ui/ProsumerButton.h"

#include "ui/DrawingHelpers.h"

namespace {

const COLORREF kColours[3][8] = {
    {RGB(0xEF, 0xEF, 0xEF), RGB(0xEB, 0xEB, 0xEB), RGB(0xE0, 0xE0, 0xE0), RGB(0xC0, 0xC0, 0xC0),
     RGB(0xF7, 0xF7, 0xF7), RGB(0xF5, 0xF5, 0xF5), RGB(0xF7, 0xF7, 0xF7), RGB(0xF5, 0xF5, 0xF5)},
    {RGB(0x3B, 0x9B, 0xD0), RGB(0x1E, 0x7D, 0xB6), RGB(0x1A, 0x70, 0xA5), RGB(0x14, 0x52, 0x8B),
     RGB(0x73, 0xBE, 0xE7), RGB(0x63, 0xB2, 0xDE), RGB(0x61, 0xB3, 0xDB), RGB(0x48, 0x9E, 0xCD)},
    {RGB(0x76, 0xBD, 0x43), RGB(0x53, 0x9D, 0x2D), RGB(0x47, 0x8D, 0x2D), RGB(0x37, 0x79, 0x2A),
     RGB(0x9C, 0xD3, 0x7B), RGB(0x90, 0xC1, 0x70), RGB(0x92, 0xCA, 0x71), RGB(0x81, 0xBE, 0x5E)},
};

void fillSolid(HDC hdc, const RECT& rect, COLORREF colour)
{
    fillGradientRect(hdc, rect, colour, colour, GRADIENT_FILL_RECT_V);
}

} // namespace

ProsumerButton::ProsumerButton(HWND window, UINT id, UINT style)
    : OwnerDrawControl(window, id), style_(style > kGreen ? kGrey : style)
{
    updateColours();
}

COLORREF ProsumerButton::colour(UINT style, int entry)
{
    return kColours[style > kGreen ? kGrey : style][entry & 7];
}

void ProsumerButton::setStyle(UINT style)
{
    style_ = style > kGreen ? kGrey : style;
    updateColours();
}

void ProsumerButton::updateColours()
{
    textColour_ = style_ == kGrey ? RGB(0, 0, 0) : RGB(255, 255, 255);
    disabledTextColour_ = kDisabledText;
}

void ProsumerButton::setFont(HFONT font)
{
    if (style_ != kGrey)
        OwnerDrawControl::setFont(font);
}

bool ProsumerButton::draw(WPARAM, const DRAWITEMSTRUCT* drawItem)
{
    if (!drawItem)
        return false;
    HDC hdc = drawItem->hDC;
    const RECT r = drawItem->rcItem;
    const bool pressed = (drawItem->itemState & ODS_SELECTED) != 0;
    const bool disabled = (drawItem->itemState & ODS_DISABLED) != 0;
    auto c = [this](int entry) { return colour(style_, entry); };

    const RECT body = {r.left + 1, r.top + 2, r.right - 2, r.bottom - 3};
    if (disabled)
        fillGradientRect(hdc, body, c(0), c(0), GRADIENT_FILL_RECT_V);
    else if (pressed)
        fillGradientRect(hdc, body, c(5), c(4), GRADIENT_FILL_RECT_V);
    else
        fillGradientRect(hdc, body, c(4), c(5), GRADIENT_FILL_RECT_V);

    const RECT inner = {body.left + 1, body.top - 1, body.right - 1, body.bottom + 1};
    const LONG middle = (inner.top + inner.bottom) / 2;
    const RECT upper = {inner.left, inner.top, inner.right, middle};
    const RECT lower = {inner.left, middle, inner.right, inner.bottom};
    if (disabled)
        fillGradientRect(hdc, upper, c(0), c(1), GRADIENT_FILL_RECT_V);
    else if (pressed)
        fillGradientRect(hdc, upper, c(3), c(2), GRADIENT_FILL_RECT_V);
    else
        fillGradientRect(hdc, upper, c(0), c(1), GRADIENT_FILL_RECT_V);
    fillSolid(hdc, lower, disabled ? c(1) : c(2));

    if (!pressed && !disabled) {
        const RECT gloss = {r.left + 4, r.top + 3, r.right - 5, (r.top + r.bottom) / 5 + r.top + 3};
        fillGradientRect(hdc, gloss, c(6), c(7), GRADIENT_FILL_RECT_V);
        const RECT gloss2 = {gloss.left - 1, gloss.top + 1, gloss.right + 1, gloss.bottom - 1};
        fillGradientRect(hdc, gloss2, c(6), c(7), GRADIENT_FILL_RECT_V);
    }

    const int oldMode = SetBkMode(hdc, TRANSPARENT);
    HGDIOBJ oldBrush = SelectObject(hdc, GetStockObject(NULL_BRUSH));
    HPEN border = CreatePen(PS_SOLID, 1, c(3));
    HGDIOBJ oldPen = SelectObject(hdc, border);
    RoundRect(hdc, r.left, r.top, r.right - 1, r.bottom - 1, 5, 5);

    wchar_t text[256] = {};
    if (getWindow() && GetWindowTextW(getWindow(), text, 256) > 0) {
        const COLORREF oldText = SetTextColor(hdc, disabled ? disabledTextColour_ : textColour_);
        RECT textRect = r;
        if (pressed) {
            textRect.left += 2;
            textRect.top += 2;
        }
        DrawTextW(hdc, text, -1, &textRect, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        SetTextColor(hdc, oldText);
    }

    if ((drawItem->itemState & ODS_FOCUS) && !pressed) {
        HPEN ring = CreatePen(PS_SOLID, 1, kFocusRing);
        SelectObject(hdc, ring);
        const RECT f = {r.left + 1, r.top + 1, r.right - 2, r.bottom - 2};
        RoundRect(hdc, f.left, f.top, f.right, f.bottom, 5, 5);
        RoundRect(hdc, f.left + 1, f.top + 1, f.right - 1, f.bottom - 1, 5, 5);
        SelectObject(hdc, border);
        DeleteObject(ring);
    }

    SelectObject(hdc, oldPen);
    DeleteObject(border);
    SelectObject(hdc, oldBrush);
    SetBkMode(hdc, oldMode);
    return true;
}
