// The base of every window of the user interface: layout with an optional
// content window under a header band, the gradient background, a bold font
// and the owner-drawn controls attached to its control windows, which it
// owns and deletes (and unbinds from windows that still exist).
#pragma once

#include "core/Win32.h"
#include "ui/DerivedFont.h"

#include <vector>

class OwnerDrawControl;

class ProsumerWindow {
public:
    ProsumerWindow() = default;
    virtual ~ProsumerWindow();
    ProsumerWindow(const ProsumerWindow&) = delete;
    ProsumerWindow& operator=(const ProsumerWindow&) = delete;

    // Lays out, makes controls 1, 2 and 9 rounded buttons and gives the
    // owner-drawn controls the bold font; 1.
    virtual INT_PTR onInitDialog(WPARAM wParam, LPARAM lParam);
    // 1 when painted; 0 without a DC or with painting disabled.
    virtual INT_PTR onPaint(HDC hdc);
    // Transparent background and the null brush for statics and for owner
    // drawn buttons; else 0.
    virtual INT_PTR onCtlColor(UINT message, HDC hdc, HWND control);
    // Clears "painting enabled" whatever the flag.
    virtual void disablePainting(bool flag);
    virtual void setContentWindow(HWND window) { contentWindow_ = window; }
    virtual void setWindow(HWND window) { window_ = window; }
    virtual INT_PTR onDrawItem(WPARAM controlId, const DRAWITEMSTRUCT* drawItem);
    // Binds the control to the window; on true this object owns it, on
    // false the caller still does.
    virtual bool addOwnerDrawControl(HWND window, OwnerDrawControl* control);
    virtual OwnerDrawControl* findOwnerDrawControl(UINT id) const;
    virtual void onSize();

    HFONT getBoldFont() const { return boldFont_.get(); }
    const RECT& getClientRect() const { return clientRect_; }
    const RECT& getContentRect() const { return contentRect_; }
    bool isPaintingEnabled() const { return paintingEnabled_; }

protected:
    HWND window_ = nullptr;
    HWND contentWindow_ = nullptr;

private:
    RECT clientRect_ = {};
    RECT contentRect_ = {};
    bool paintingEnabled_ = true;
    DerivedFont boldFont_;
    std::vector<OwnerDrawControl*> controls_; // owned
};
