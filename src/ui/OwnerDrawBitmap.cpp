#include "ui/OwnerDrawBitmap.h"

#include "ui/DrawingHelpers.h"

OwnerDrawBitmap::~OwnerDrawBitmap()
{
    if (owned_ && bitmap_)
        DeleteObject(bitmap_);
}

bool OwnerDrawBitmap::draw(WPARAM, const DRAWITEMSTRUCT* drawItem)
{
    if (!bitmap_ || !drawItem)
        return true;
    const POINT at = {drawItem->rcItem.left, drawItem->rcItem.top};
    if (transparent_)
        return drawTransparentBitmap(drawItem->hDC, bitmap_, at, keyColour_);
    return drawBitmap(drawItem->hDC, bitmap_, at);
}

bool OwnerDrawBitmap::loadBitmap(UINT id, HMODULE module)
{
    if (!module)
        return false;
    HBITMAP bitmap = static_cast<HBITMAP>(LoadImageW(module, MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, 0));
    if (!bitmap)
        return false;
    setBitmap(bitmap, true);
    return true;
}

void OwnerDrawBitmap::setBitmap(HBITMAP bitmap, bool owned)
{
    if (owned_ && bitmap_ && bitmap_ != bitmap)
        DeleteObject(bitmap_);
    bitmap_ = bitmap;
    owned_ = owned;
    HWND window = getWindow();
    if (!window)
        return;
    HWND parent = GetParent(window);
    if (transparent_ && parent) {
        // The parent paints the background that shows through.
        RECT area = {};
        GetWindowRect(window, &area);
        MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&area), 2);
        RedrawWindow(parent, &area, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    } else {
        RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    }
}

void OwnerDrawBitmap::setTransparent(bool transparent, COLORREF keyColour)
{
    transparent_ = transparent;
    if (keyColour != CLR_INVALID)
        keyColour_ = keyColour;
}
