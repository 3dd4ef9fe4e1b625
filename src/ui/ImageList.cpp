#include "ui/ImageList.h"

namespace MPrint {

ImageList::~ImageList()
{
    destroy();
}

bool ImageList::create(int cx, int cy, UINT flags, int initial, int grow)
{
    destroy();
    list_ = ImageList_Create(cx, cy, flags, initial, grow);
    return list_ != nullptr;
}

bool ImageList::destroy()
{
    if (!list_ || !ImageList_Destroy(list_))
        return false;
    list_ = nullptr;
    return true;
}

bool ImageList::addMasked(HBITMAP bitmap, COLORREF maskColour, int& index)
{
    index = list_ ? ImageList_AddMasked(list_, bitmap, maskColour) : -1;
    return index >= 0;
}

bool ImageList::addIcon(HICON icon, int& index)
{
    index = list_ ? ImageList_ReplaceIcon(list_, -1, icon) : -1;
    return index >= 0;
}

} // namespace MPrint
