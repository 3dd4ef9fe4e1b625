#include "extension/UserMessageBox.h"

#include "extension/LumoraPrintingExtension.h"
#include "extension/LumoraSettings.h"

bool isRightToLeftInterface(const LumoraPrintingExtension* extension)
{
    return extension && extension->getSettings() && extension->getSettings()->isRightToLeftLanguage();
}

int showMessageBox(HWND owner, const wchar_t* text, const wchar_t* caption, UINT flags)
{
    if (isRightToLeftInterface(LumoraPrintingExtension::current()))
        flags |= MB_RIGHT | MB_RTLREADING;
    return MessageBoxW(owner, text, caption, flags);
}
