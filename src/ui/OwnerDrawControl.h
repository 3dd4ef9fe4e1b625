// An owner-drawn control: an object bound to one control window of a dialog,
// reached from the dialog's WM_DRAWITEM through the window property
// "PtrLumoOwnerDrawControl" (ProsumerWindow::addOwnerDrawControl). The
// control window must carry BS_OWNERDRAW or SS_OWNERDRAW.
#pragma once

#include "core/Win32.h"

class OwnerDrawControl {
public:
    static constexpr wchar_t kProperty[] = L"PtrLumoOwnerDrawControl";

    OwnerDrawControl(HWND window, UINT id) : window_(window), id_(id) {}
    virtual ~OwnerDrawControl() = default;
    OwnerDrawControl(const OwnerDrawControl&) = delete;
    OwnerDrawControl& operator=(const OwnerDrawControl&) = delete;

    virtual bool draw(WPARAM wParam, const DRAWITEMSTRUCT* drawItem) = 0;
    // WM_SETFONT without redraw.
    virtual void setFont(HFONT font);

    HWND getWindow() const { return window_; }
    UINT getId() const { return id_; }

private:
    HWND window_;
    UINT id_;
};
