// Stateless GDI helpers of the dialogs' look: gradients, the window
// background, the header band, and bitmaps drawn plainly or with a key
// colour left transparent. Each takes the target device context first and
// leaves its selected objects as they were.
#pragma once

#include "core/Win32.h"

// One GradientFill rectangle from (left, top) in colour A to (right, bottom)
// in colour B; mode GRADIENT_FILL_RECT_H or GRADIENT_FILL_RECT_V.
bool fillGradientRect(HDC hdc, const RECT& rect, COLORREF colourA, COLORREF colourB, ULONG mode);
// White at the top and the bottom-left, fading to RGB 186/186/186 bottom right.
bool paintDialogBackground(HDC hdc, const RECT& rect);
// Dark blue to light and back to dark, meeting at x = right / 2.
bool paintHeaderBand(HDC hdc, const RECT& rect);
// The bitmap at its own size at `at`; false for a null bitmap or DC.
bool drawBitmap(HDC hdc, HBITMAP bitmap, POINT at);
// As drawBitmap, but pixels of the key colour leave the destination as it was.
bool drawTransparentBitmap(HDC hdc, HBITMAP bitmap, POINT at, COLORREF keyColour);
