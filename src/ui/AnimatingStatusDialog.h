// A dialog with a moving picture on control 290: frames 210-264 while the
// animation runs, the still bitmap 290 otherwise. The animation raises the
// dialog thread's priority and stopping it restores the priority it had.
#pragma once

#include "ui/LumoraDialog.h"

class AnimatingOwnerDrawBitmap;

class AnimatingStatusDialog : public LumoraDialog {
public:
    static constexpr UINT_PTR kAnimationTimer = 0x332AA36;
    static constexpr UINT kFrameInterval = 80;
    static constexpr int kPictureId = 290;

    explicit AnimatingStatusDialog(LumoraPrintingExtension* extension) : LumoraDialog(extension) {}
    ~AnimatingStatusDialog() override;

    INT_PTR onInitDialog(WPARAM wParam, LPARAM lParam) override;
    INT_PTR onTimer(WPARAM wParam, LPARAM lParam) override;
    virtual void startAnimation();
    virtual void stopAnimation();

    bool isAnimating() const { return animating_; }
    AnimatingOwnerDrawBitmap* getAnimation() const { return animation_; }

private:
    AnimatingOwnerDrawBitmap* animation_ = nullptr; // owned by the window's control list
    HBITMAP still_ = nullptr;                       // owned
    bool animating_ = false;
    int savedPriority_ = THREAD_PRIORITY_NORMAL;
};
