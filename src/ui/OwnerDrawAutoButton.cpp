#include "ui/OwnerDrawAutoButton.h"

OwnerDrawAutoButton::OwnerDrawAutoButton(HWND window, UINT id, UINT kind)
    : OwnerDrawControl(window, id), disabledTextColour_(GetSysColor(COLOR_GRAYTEXT)), kind_(kind)
{
}

void OwnerDrawAutoButton::setChecked(bool checked)
{
    if (checked == checked_)
        return;
    checked_ = checked;
    if (HWND window = getWindow()) {
        InvalidateRect(window, nullptr, TRUE);
        RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    }
}

bool OwnerDrawAutoButton::draw(WPARAM, const DRAWITEMSTRUCT* drawItem)
{
    if (!drawItem)
        return false;
    HDC hdc = drawItem->hDC;
    HWND window = drawItem->hwndItem;
    wchar_t text[256] = {};
    if (window)
        GetWindowTextW(window, text, 256);
    const LONG style = window ? GetWindowLongW(window, GWL_STYLE) : 0;
    const int oldMode = SetBkMode(hdc, TRANSPARENT);
    HGDIOBJ oldBrush = SelectObject(hdc, GetStockObject(NULL_BRUSH));

    const bool disabled = (drawItem->itemState & ODS_DISABLED) != 0;
    const bool selected = (drawItem->itemState & ODS_SELECTED) != 0;
    RECT textRect = drawItem->rcItem;
    textRect.left += kTextIndent;
    const COLORREF oldText = SetTextColor(hdc, disabled ? disabledTextColour_ : textColour_);
    const UINT format = (style & BS_MULTILINE) ? DT_WORDBREAK : (DT_SINGLELINE | DT_VCENTER);
    DrawTextW(hdc, text, -1, &textRect, format);
    SetTextColor(hdc, oldText);

    const bool wasShown = focusShown_;
    if (disabled)
        focusShown_ = false;
    else if (drawItem->itemState & ODS_FOCUS)
        focusShown_ = true;
    else if (focusShown_ && GetFocus() != window)
        focusShown_ = false;
    if (focusShown_ != wasShown) {
        RECT extent = textRect;
        DrawTextW(hdc, text, -1, &extent, format | DT_CALCRECT);
        extent.left -= 1;
        DrawFocusRect(hdc, &extent);
    }

    const int size = kind_ == kCheckBox ? 14 : kind_ == kRadioButton ? 12 : 0;
    const RECT box = {drawItem->rcItem.left, drawItem->rcItem.top, drawItem->rcItem.left + size,
                      drawItem->rcItem.top + size};
    if (selected)
        checked_ = !checked_;
    drawFrame(drawItem, box, checked_);

    SelectObject(hdc, oldBrush);
    SetBkMode(hdc, oldMode);
    return true;
}

bool OwnerDrawAutoButton::drawFrame(const DRAWITEMSTRUCT* drawItem, const RECT& box, bool checked)
{
    UINT state = kind_ == kRadioButton ? DFCS_BUTTONRADIO : DFCS_BUTTONCHECK;
    if (checked)
        state |= DFCS_CHECKED;
    if (drawItem->itemState & ODS_SELECTED)
        state |= DFCS_PUSHED;
    if (drawItem->itemState & ODS_DISABLED)
        state |= DFCS_INACTIVE;
    HDC hdc = drawItem->hDC;
    const DWORD layout = GetLayout(hdc);
    if (layout == GDI_ERROR || !(layout & LAYOUT_RTL)) {
        RECT frame = box;
        DrawFrameControl(hdc, &frame, DFC_BUTTON, state);
        return true;
    }
    // A mark drawn into a mirrored DC comes out shifted and clipped: draw it
    // unmirrored where the mirror puts the box, at the item's far edge.
    const LONG span = drawItem->rcItem.left + drawItem->rcItem.right;
    RECT frame = {span - box.right, box.top, span - box.left, box.bottom};
    SetLayout(hdc, layout & ~LAYOUT_RTL);
    DrawFrameControl(hdc, &frame, DFC_BUTTON, state);
    SetLayout(hdc, layout);
    return true;
}
