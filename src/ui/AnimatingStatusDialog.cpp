#include "ui/AnimatingStatusDialog.h"

#include "ui/AnimatingOwnerDrawBitmap.h"
#include "ui/UiText.h"
#include "ui/resources/BitmapIds.h"

AnimatingStatusDialog::~AnimatingStatusDialog()
{
    // A dialog that ended while animating gives its thread's priority back.
    if (animating_)
        SetThreadPriority(GetCurrentThread(), savedPriority_);
    if (still_)
        DeleteObject(still_);
}

INT_PTR AnimatingStatusDialog::onInitDialog(WPARAM wParam, LPARAM lParam)
{
    HWND picture = getDlgItem(kPictureId);
    HMODULE module = uitext::resourceModule(getExtension());
    if (picture && module) {
        still_ = static_cast<HBITMAP>(
            LoadImageW(module, MAKEINTRESOURCEW(IDB_STATUS_PICTURE), IMAGE_BITMAP, 0, 0, 0));
        auto* animation = new AnimatingOwnerDrawBitmap(picture, kPictureId);
        animation->loadFrames(IDB_ANIMATION_FIRST, IDB_ANIMATION_LAST, module);
        if (addOwnerDrawControl(picture, animation)) {
            animation_ = animation;
            animation_->setBitmap(still_, false);
        } else {
            delete animation;
        }
    }
    return LumoraDialog::onInitDialog(wParam, lParam);
}

void AnimatingStatusDialog::startAnimation()
{
    if (!animation_ || animating_)
        return;
    savedPriority_ = GetThreadPriority(GetCurrentThread());
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_HIGHEST);
    animating_ = true;
    SetTimer(getWindow(), kAnimationTimer, kFrameInterval, nullptr);
}

void AnimatingStatusDialog::stopAnimation()
{
    if (getWindow())
        KillTimer(getWindow(), kAnimationTimer);
    if (animating_) {
        SetThreadPriority(GetCurrentThread(), savedPriority_);
        animating_ = false;
    }
    if (animation_)
        animation_->setBitmap(still_, false);
}

INT_PTR AnimatingStatusDialog::onTimer(WPARAM wParam, LPARAM)
{
    if (wParam != kAnimationTimer)
        return 0;
    if (animation_)
        animation_->nextFrame();
    return 1;
}
