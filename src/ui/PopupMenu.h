// A popup menu of the resource module, loaded on first use: its submenu 0
// is the popup. Item texts "RCLID_<n>" of that submenu become string n.
// The menu is destroyed with the object.
#pragma once

#include "core/Win32.h"

class LumoraPrintingExtension;

namespace MPrint {

class PopupMenu {
public:
    PopupMenu(LumoraPrintingExtension* extension, UINT menuId) : extension_(extension), menuId_(menuId) {}
    virtual ~PopupMenu();
    PopupMenu(const PopupMenu&) = delete;
    PopupMenu& operator=(const PopupMenu&) = delete;

    // True unless disabling finds the item missing or already disabled.
    virtual bool enableItem(UINT commandId, bool enable);
    // Into the submenu at `position` of the popup, before the item with
    // commandId (at the end when none has it); false when that position
    // holds no submenu.
    virtual bool insertItem(int position, const wchar_t* text, UINT commandId);
    virtual void destroy();
    virtual void load();

    // Loads on first use; null when the menu cannot be loaded.
    HMENU getMenu();
    // Submenu 0 of the loaded menu, or null.
    HMENU getPopup();

private:
    LumoraPrintingExtension* extension_;
    UINT menuId_;
    HMENU menu_ = nullptr;
};

} // namespace MPrint
