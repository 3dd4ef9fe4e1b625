#include "ui/DrawingHelpers.h"

namespace {

// A gradient channel is 16 bits; the colour's byte is its high byte.
TRIVERTEX vertex(LONG x, LONG y, COLORREF colour)
{
    TRIVERTEX v = {};
    v.x = x;
    v.y = y;
    v.Red = static_cast<COLOR16>(GetRValue(colour) << 8);
    v.Green = static_cast<COLOR16>(GetGValue(colour) << 8);
    v.Blue = static_cast<COLOR16>(GetBValue(colour) << 8);
    v.Alpha = 0;
    return v;
}

// A memory DC selecting `bitmap`, restored and deleted on scope exit.
class SelectedBitmap {
public:
    SelectedBitmap(HDC like, HBITMAP bitmap) : dc_(CreateCompatibleDC(like))
    {
        if (dc_) {
            SetMapMode(dc_, GetMapMode(like));
            old_ = SelectObject(dc_, bitmap);
        }
    }
    ~SelectedBitmap()
    {
        if (dc_) {
            SelectObject(dc_, old_);
            DeleteDC(dc_);
        }
    }
    SelectedBitmap(const SelectedBitmap&) = delete;
    SelectedBitmap& operator=(const SelectedBitmap&) = delete;
    HDC get() const { return dc_; }

private:
    HDC dc_;
    HGDIOBJ old_ = nullptr;
};

} // namespace

bool fillGradientRect(HDC hdc, const RECT& rect, COLORREF colourA, COLORREF colourB, ULONG mode)
{
    TRIVERTEX vertices[2] = {vertex(rect.left, rect.top, colourA), vertex(rect.right, rect.bottom, colourB)};
    GRADIENT_RECT index = {0, 1};
    return GradientFill(hdc, vertices, 2, &index, 1, mode) != FALSE;
}

bool paintDialogBackground(HDC hdc, const RECT& rect)
{
    const COLORREF white = RGB(255, 255, 255);
    TRIVERTEX vertices[4] = {
        vertex(rect.left, rect.top, white),
        vertex(rect.right, rect.top, white),
        vertex(rect.right, rect.bottom, RGB(186, 186, 186)),
        vertex(rect.left, rect.bottom, white),
    };
    GRADIENT_TRIANGLE triangles[2] = {{0, 1, 3}, {1, 2, 3}};
    return GradientFill(hdc, vertices, 4, triangles, 2, GRADIENT_FILL_TRIANGLE) != FALSE;
}

bool paintHeaderBand(HDC hdc, const RECT& rect)
{
    const COLORREF dark = RGB(0, 72, 115);
    const COLORREF light = RGB(108, 210, 231);
    const LONG middle = rect.right / 2;
    const RECT left = {rect.left, rect.top, middle, rect.bottom};
    const RECT right = {middle, rect.top, rect.right, rect.bottom};
    const bool first = fillGradientRect(hdc, left, dark, light, GRADIENT_FILL_RECT_H);
    const bool second = fillGradientRect(hdc, right, light, dark, GRADIENT_FILL_RECT_H);
    return first && second;
}

bool drawBitmap(HDC hdc, HBITMAP bitmap, POINT at)
{
    if (!hdc || !bitmap)
        return false;
    BITMAP info = {};
    if (!GetObjectW(bitmap, sizeof(info), &info))
        return false;
    SelectedBitmap source(hdc, bitmap);
    if (!source.get())
        return false;
    return BitBlt(hdc, at.x, at.y, info.bmWidth, info.bmHeight, source.get(), 0, 0, SRCCOPY) != FALSE;
}

bool drawTransparentBitmap(HDC hdc, HBITMAP bitmap, POINT at, COLORREF keyColour)
{
    if (!hdc || !bitmap)
        return false;
    BITMAP info = {};
    if (!GetObjectW(bitmap, sizeof(info), &info))
        return false;
    HBITMAP mask = CreateBitmap(info.bmWidth, info.bmHeight, 1, 1, nullptr);
    if (!mask)
        return false;
    bool drawn = false;
    {
        SelectedBitmap source(hdc, bitmap);
        SelectedBitmap maskDc(hdc, mask);
        if (source.get() && maskDc.get()) {
            // Copying colour onto monochrome sets the bits whose colour
            // equals the source's background colour: the key.
            const COLORREF oldBack = SetBkColor(source.get(), keyColour);
            BitBlt(maskDc.get(), 0, 0, info.bmWidth, info.bmHeight, source.get(), 0, 0, SRCCOPY);
            SetBkColor(source.get(), oldBack);
            // Foreground ROP (mask bit 1, the key) keeps the destination;
            // background ROP (mask bit 0) copies the source.
            drawn = MaskBlt(hdc, at.x, at.y, info.bmWidth, info.bmHeight, source.get(), 0, 0, mask, 0, 0,
                            0xC0AACC00) != FALSE;
        }
    }
    DeleteObject(mask);
    return drawn;
}
