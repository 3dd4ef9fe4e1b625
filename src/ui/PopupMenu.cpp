#include "ui/PopupMenu.h"

#include "ui/UiText.h"

#include <string>

namespace MPrint {

PopupMenu::~PopupMenu()
{
    destroy();
}

void PopupMenu::load()
{
    if (menu_)
        return;
    HMODULE module = uitext::resourceModule(extension_);
    if (!module)
        return;
    menu_ = LoadMenuW(module, MAKEINTRESOURCEW(menuId_));
    HMENU popup = getPopup();
    if (!popup)
        return;
    for (int position = GetMenuItemCount(popup) - 1; position >= 0; --position) {
        wchar_t text[257] = {};
        if (GetMenuStringW(popup, position, text, 257, MF_BYPOSITION) <= 0)
            continue;
        UINT id = 0;
        if (!uitext::parseResourceToken(text, id))
            continue;
        std::wstring replacement = uitext::load(extension_, id);
        if (replacement.empty())
            continue;
        replacement.resize(std::min<size_t>(replacement.size(), 256));
        MENUITEMINFOW item = {};
        item.cbSize = sizeof(item);
        item.fMask = MIIM_STRING;
        item.dwTypeData = replacement.data();
        SetMenuItemInfoW(popup, position, TRUE, &item);
    }
}

HMENU PopupMenu::getMenu()
{
    load();
    return menu_;
}

HMENU PopupMenu::getPopup()
{
    return menu_ ? GetSubMenu(menu_, 0) : nullptr;
}

bool PopupMenu::enableItem(UINT commandId, bool enable)
{
    HMENU popup = (load(), getPopup());
    if (!popup)
        return enable;
    const DWORD previous =
        EnableMenuItem(popup, commandId, MF_BYCOMMAND | (enable ? MF_ENABLED : (MF_DISABLED | MF_GRAYED)));
    if (enable)
        return true;
    // Missing (-1) or already disabled.
    return previous != static_cast<DWORD>(-1) && !(previous & (MF_DISABLED | MF_GRAYED));
}

bool PopupMenu::insertItem(int position, const wchar_t* text, UINT commandId)
{
    HMENU popup = (load(), getPopup());
    HMENU target = popup ? GetSubMenu(popup, position) : nullptr;
    if (!target || !text)
        return false;
    int before = -1;
    const int count = GetMenuItemCount(target);
    for (int i = 0; i < count; ++i) {
        if (GetMenuItemID(target, i) == commandId) {
            before = i;
            break;
        }
    }
    return InsertMenuW(target, before < 0 ? static_cast<UINT>(-1) : static_cast<UINT>(before),
                       MF_BYPOSITION | MF_STRING, commandId, text) != FALSE;
}

void PopupMenu::destroy()
{
    if (menu_)
        DestroyMenu(menu_);
    menu_ = nullptr;
}

} // namespace MPrint
