#include "ui/PropertySheetW.h"

#include "ui/OwnerDrawBitmap.h"
#include "ui/UiText.h"
#include "ui/resources/BitmapIds.h"
#include "ui/resources/SettingsDialogIds.h"

namespace MPrint {

INT_PTR PropertySheetW::onInitDialog(WPARAM wParam, LPARAM lParam)
{
    setWindow(getWindow());
    if (HWND picture = getDlgItem(IDC_PAGE_PICTURE)) {
        auto* bitmap = new OwnerDrawBitmap(picture, IDC_PAGE_PICTURE);
        bitmap->setTransparent(true, OwnerDrawBitmap::kMagenta);
        if (addOwnerDrawControl(picture, bitmap))
            bitmap->loadBitmap(IDB_PAGE_PICTURE, uitext::resourceModule(getExtension()));
        else
            delete bitmap;
    }
    const INT_PTR result = LumoraDialog::onInitDialog(wParam, lParam);
    if (HWND heading = getDlgItem(IDC_PAGE_HEADING)) {
        if (headingFont_.create(heading, 800))
            SendMessageW(heading, WM_SETFONT, reinterpret_cast<WPARAM>(headingFont_.get()), TRUE);
    }
    return result;
}

INT_PTR PropertySheetW::onNotify(WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    auto* header = reinterpret_cast<NMHDR*>(lParam);
    if (!header)
        return 0;
    if (header->code == static_cast<UINT>(PSN_APPLY))
        return onApply(wParam, header, result);
    if (header->code == static_cast<UINT>(PSN_QUERYCANCEL))
        return onQueryCancel(wParam, header, result);
    return 0;
}

INT_PTR PropertySheetW::onQueryCancel(WPARAM, NMHDR*, LRESULT&)
{
    return 0;
}

void PropertySheetW::endDialog(INT_PTR)
{
    headingFont_.reset();
}

void PropertySheetW::onDestroy()
{
    endDialog(0);
    LumoraDialog::onDestroy();
}

} // namespace MPrint
