#include "ui/EnterTextDialog.h"

#include "ui/UiText.h"
#include "ui/resources/EnterTextDialogIds.h"

EnterTextDialog::EnterTextDialog(LumoraPrintingExtension* extension, UINT titleStringId, const wchar_t* initialText)
    : LumoraDialog(extension), titleStringId_(titleStringId)
{
    if (initialText && *initialText)
        text_ = initialText;
}

INT_PTR EnterTextDialog::onInitDialog(WPARAM wParam, LPARAM lParam)
{
    SetWindowTextW(getWindow(), uitext::load(getExtension(), titleStringId_).c_str());
    SetDlgItemTextW(getWindow(), IDC_ENTER_TEXT, text_.c_str());
    if (static_cast<ULONG_PTR>(lParam) > 0xFFFF)
        SetDlgItemTextW(getWindow(), IDC_ENTER_LABEL1, uitext::load(getExtension(), HIWORD(lParam)).c_str());
    if (LOWORD(lParam))
        SetDlgItemTextW(getWindow(), IDC_ENTER_LABEL2, uitext::load(getExtension(), LOWORD(lParam)).c_str());
    return LumoraDialog::onInitDialog(wParam, lParam);
}

void EnterTextDialog::endDialog(INT_PTR result)
{
    if (result == IDOK) {
        wchar_t text[kMaxText + 1] = {};
        GetDlgItemTextW(getWindow(), IDC_ENTER_TEXT, text, kMaxText + 1);
        text_ = text;
    }
    LumoraDialog::endDialog(result);
}
