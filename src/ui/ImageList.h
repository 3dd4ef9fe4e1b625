// Owns one common-controls image list; destroyed with the object and when
// a new list is created.
#pragma once

#include "core/Win32.h"

#include <commctrl.h>

namespace MPrint {

class ImageList {
public:
    ImageList() = default;
    virtual ~ImageList();
    ImageList(const ImageList&) = delete;
    ImageList& operator=(const ImageList&) = delete;

    virtual bool create(int cx, int cy, UINT flags, int initial, int grow);
    // False without a list or when the platform refuses.
    virtual bool destroy();
    // index receives the new image's index; true when it is not negative.
    virtual bool addMasked(HBITMAP bitmap, COLORREF maskColour, int& index);
    virtual bool addIcon(HICON icon, int& index);
    virtual HIMAGELIST getHandle() const { return list_; }

private:
    HIMAGELIST list_ = nullptr;
};

} // namespace MPrint
