// A picture that plays a sequence of bitmaps, one frame per nextFrame.
// The frames are loaded and owned here and deleted with the control.
#pragma once

#include "ui/OwnerDrawBitmap.h"

#include <vector>

class AnimatingOwnerDrawBitmap : public OwnerDrawBitmap {
public:
    AnimatingOwnerDrawBitmap(HWND window, UINT id) : OwnerDrawBitmap(window, id) {}
    ~AnimatingOwnerDrawBitmap() override;

    // Bitmaps first..last of the module; the control takes the first
    // frame's size and shows it. Frames that cannot be loaded stay null.
    void loadFrames(UINT first, UINT last, HMODULE module);
    // Shows the next frame, wrapping after the last.
    void nextFrame();
    void firstFrame();
    size_t frameCount() const { return frames_.size(); }
    size_t nextIndex() const { return next_; }

private:
    void freeFrames();

    std::vector<HBITMAP> frames_; // owned
    size_t next_ = 0;
};
