#include "ui/AutoCreatedPrinterConnectionDialog.h"

#include "ui/resources/ConnectUNCDialogIds.h"

AutoCreatedPrinterConnectionDialog::AutoCreatedPrinterConnectionDialog(LumoraPrintingExtension* extension,
                                                                       const std::wstring& uncPath,
                                                                       const std::wstring& displayText)
    : ConnectUNCDialog(extension, uncPath), displayText_(displayText)
{
}

INT_PTR AutoCreatedPrinterConnectionDialog::onInitDialog(WPARAM wParam, LPARAM lParam)
{
    const INT_PTR result = ConnectUNCDialog::onInitDialog(wParam, lParam);
    SetDlgItemTextW(getWindow(), IDC_CONNECT_PATH, displayText_.c_str());
    return result;
}
