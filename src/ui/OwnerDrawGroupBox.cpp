#include "ui/OwnerDrawGroupBox.h"

OwnerDrawGroupBox::OwnerDrawGroupBox(HWND window, UINT id)
    : OwnerDrawControl(window, id), framePen_(CreatePen(PS_SOLID, 1, kFrameColour))
{
}

OwnerDrawGroupBox::~OwnerDrawGroupBox()
{
    if (framePen_)
        DeleteObject(framePen_);
}

bool OwnerDrawGroupBox::draw(WPARAM, const DRAWITEMSTRUCT* drawItem)
{
    if (!drawItem)
        return false;
    HDC hdc = drawItem->hDC;
    const RECT r = drawItem->rcItem;
    wchar_t text[256] = {};
    if (drawItem->hwndItem)
        GetWindowTextW(drawItem->hwndItem, text, 256);
    const int oldMode = SetBkMode(hdc, TRANSPARENT);
    HGDIOBJ oldBrush = SelectObject(hdc, GetStockObject(NULL_BRUSH));

    // The exclusion below must not outlive this draw.
    HRGN savedClip = CreateRectRgn(0, 0, 0, 0);
    const int hadClip = savedClip ? GetClipRgn(hdc, savedClip) : -1;

    LONG textHeight = 0;
    if (text[0]) {
        SIZE extent = {};
        GetTextExtentPoint32W(hdc, text, lstrlenW(text), &extent);
        textHeight = extent.cy;
        RECT caption = {r.left + 10, r.top, r.left + 10 + extent.cx + 4, r.top + extent.cy};
        const COLORREF oldText = SetTextColor(hdc, captionColour_);
        DrawTextW(hdc, text, -1, &caption, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        SetTextColor(hdc, oldText);
        ExcludeClipRect(hdc, caption.left - 2, caption.top - 1, caption.right + 2, caption.bottom + 1);
    }
    HGDIOBJ oldPen = SelectObject(hdc, framePen_);
    RoundRect(hdc, r.left, r.top + textHeight / 2, r.right - 1, r.bottom - 1, 10, 10);
    SelectObject(hdc, oldPen);

    if (savedClip) {
        SelectClipRgn(hdc, hadClip == 1 ? savedClip : nullptr);
        DeleteObject(savedClip);
    }
    SelectObject(hdc, oldBrush);
    SetBkMode(hdc, oldMode);
    return true;
}
