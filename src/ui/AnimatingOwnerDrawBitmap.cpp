#include "ui/AnimatingOwnerDrawBitmap.h"

AnimatingOwnerDrawBitmap::~AnimatingOwnerDrawBitmap()
{
    freeFrames();
}

void AnimatingOwnerDrawBitmap::freeFrames()
{
    // Never left showing a frame that is about to go.
    for (HBITMAP frame : frames_) {
        if (frame && getBitmap() == frame)
            setBitmap(nullptr, false);
    }
    for (HBITMAP frame : frames_) {
        if (frame)
            DeleteObject(frame);
    }
    frames_.clear();
}

void AnimatingOwnerDrawBitmap::loadFrames(UINT first, UINT last, HMODULE module)
{
    next_ = 0;
    freeFrames();
    if (!module || last < first)
        return;
    frames_.reserve(last - first + 1);
    for (UINT id = first; id <= last; ++id)
        frames_.push_back(static_cast<HBITMAP>(LoadImageW(module, MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, 0)));
    BITMAP size = {};
    if (frames_[0] && GetObjectW(frames_[0], sizeof(size), &size) && size.bmWidth && size.bmHeight && getWindow())
        SetWindowPos(getWindow(), nullptr, 0, 0, size.bmWidth, size.bmHeight,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    nextFrame();
}

void AnimatingOwnerDrawBitmap::nextFrame()
{
    if (frames_.empty())
        return;
    setBitmap(frames_[next_], false);
    next_ = (next_ + 1) % frames_.size();
}

void AnimatingOwnerDrawBitmap::firstFrame()
{
    next_ = 0;
    nextFrame();
}
