#include "extension/UserMessageBox.h"

#include "extension/LumoraPrintingExtension.h"
#include "extension/LumoraSettings.h"

int showMessageBox(HWND owner, const wchar_t* text, const wchar_t* caption, UINT flags)
{
    const LumoraPrintingExtension* extension = LumoraPrintingExtension::current();
    if (extension && extension->getSettings() && extension->getSettings()->isRightToLeftLanguage())
        flags |= MB_RIGHT | MB_RTLREADING;
    return MessageBoxW(owner, text, caption, flags);
}
