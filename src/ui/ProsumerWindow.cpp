#include "ui/ProsumerWindow.h"

#include "ui/DrawingHelpers.h"
#include "ui/OwnerDrawControl.h"
#include "ui/ProsumerButton.h"

ProsumerWindow::~ProsumerWindow()
{
    for (OwnerDrawControl* control : controls_) {
        HWND window = control->getWindow();
        if (window && IsWindow(window) && GetPropW(window, OwnerDrawControl::kProperty) == control)
            RemovePropW(window, OwnerDrawControl::kProperty);
        delete control;
    }
}

INT_PTR ProsumerWindow::onInitDialog(WPARAM, LPARAM)
{
    onSize();
    const struct {
        int id;
        UINT style;
    } buttons[] = {{IDOK, ProsumerButton::kGreen}, {IDCANCEL, ProsumerButton::kBlue}, {9, ProsumerButton::kBlue}};
    HWND first = nullptr;
    for (const auto& row : buttons) {
        HWND control = window_ ? GetDlgItem(window_, row.id) : nullptr;
        if (!control)
            continue;
        auto* button = new ProsumerButton(control, row.id, row.style);
        if (!addOwnerDrawControl(control, button)) {
            delete button;
            continue;
        }
        if (!first) {
            first = control;
            button->setDefault(true);
        }
    }
    if (first && boldFont_.create(first, FW_BOLD)) {
        for (OwnerDrawControl* control : controls_)
            control->setFont(boldFont_.get());
    }
    return 1;
}

INT_PTR ProsumerWindow::onPaint(HDC hdc)
{
    if (!hdc || !paintingEnabled_)
        return 0;
    paintDialogBackground(hdc, clientRect_);
    if (contentWindow_)
        paintHeaderBand(hdc, contentRect_);
    return 1;
}

INT_PTR ProsumerWindow::onCtlColor(UINT message, HDC hdc, HWND control)
{
    const bool ownerDrawnButton =
        message == WM_CTLCOLORBTN && control && findOwnerDrawControl(static_cast<UINT>(GetDlgCtrlID(control)));
    if (!ownerDrawnButton && message != WM_CTLCOLORSTATIC)
        return 0;
    SetBkMode(hdc, TRANSPARENT);
    return reinterpret_cast<INT_PTR>(GetStockObject(NULL_BRUSH));
}

void ProsumerWindow::disablePainting(bool)
{
    paintingEnabled_ = false;
}

INT_PTR ProsumerWindow::onDrawItem(WPARAM, const DRAWITEMSTRUCT* drawItem)
{
    if (!drawItem || !drawItem->hwndItem)
        return 0;
    auto* control = static_cast<OwnerDrawControl*>(GetPropW(drawItem->hwndItem, OwnerDrawControl::kProperty));
    if (!control)
        return 0;
    return control->draw(0, drawItem) ? 1 : 0;
}

bool ProsumerWindow::addOwnerDrawControl(HWND window, OwnerDrawControl* control)
{
    if (!window || !control)
        return false;
    SetPropW(window, OwnerDrawControl::kProperty, control);
    if (GetPropW(window, OwnerDrawControl::kProperty) != control)
        return false;
    controls_.push_back(control);
    return true;
}

OwnerDrawControl* ProsumerWindow::findOwnerDrawControl(UINT id) const
{
    for (OwnerDrawControl* control : controls_) {
        if (control->getId() == id)
            return control;
    }
    return nullptr;
}

void ProsumerWindow::onSize()
{
    if (!window_)
        return;
    GetClientRect(window_, &clientRect_);
    if (!paintingEnabled_ || !contentWindow_)
        return;
    RECT content = {};
    GetWindowRect(contentWindow_, &content);
    MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&content), 2);
    const LONG top = content.top;
    SetWindowPos(contentWindow_, nullptr, 0, 0, clientRect_.right - clientRect_.left, clientRect_.bottom - top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOOWNERZORDER | SWP_NOACTIVATE);
    GetWindowRect(contentWindow_, &contentRect_);
    MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&contentRect_), 2);
    clientRect_.bottom = top;
}
