#include "ui/OwnerDrawControl.h"

void OwnerDrawControl::setFont(HFONT font)
{
    if (window_)
        SendMessageW(window_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
}
