#include "ui/DerivedFont.h"

HFONT DerivedFont::create(HWND control, LONG weight, LONG heightDelta)
{
    reset();
    if (!control)
        return nullptr;
    HFONT source = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
    if (!source)
        source = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    LOGFONTW face = {};
    if (!GetObjectW(source, sizeof(face), &face))
        return nullptr;
    face.lfWeight = weight;
    face.lfHeight += heightDelta;
    font_ = CreateFontIndirectW(&face);
    return font_;
}

void DerivedFont::reset()
{
    if (font_)
        DeleteObject(font_);
    font_ = nullptr;
}

HFONT DerivedFont::createStyled(HWND control, LONG weight, bool underline, LONG height)
{
    LOGFONTW face = {};
    if (!create(control, weight) || !GetObjectW(font_, sizeof(face), &face))
        return nullptr;
    face.lfUnderline = underline ? TRUE : FALSE;
    if (height)
        face.lfHeight = height;
    HFONT styled = CreateFontIndirectW(&face);
    reset();
    font_ = styled;
    return font_;
}
