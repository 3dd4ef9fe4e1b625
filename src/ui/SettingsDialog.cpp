#include "ui/SettingsDialog.h"

#include "extension/LumoraPrintingExtension.h"
#include "ui/OwnerDrawAutoButton.h"
#include "ui/UiText.h"
#include "ui/resources/SettingsDialogIds.h"

#include <commctrl.h>

#include <string>

namespace MPrint {

namespace {

const int kGeneralIds[3] = {IDC_PROMPT_ALWAYS, IDC_PROMPT_FIRST_JOB, IDC_PROMPT_ON_ERROR};
const int kVerifyIds[3] = {IDC_VERIFY_HIGH, IDC_VERIFY_MEDIUM, IDC_VERIFY_LOW};

} // namespace

INT_PTR RadioSettingPage::routeToPage(LumoraDialog* page, HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!page)
        return 0;
    if (!page->getWindow())
        page->bindWindow(window);
    return static_cast<INT_PTR>(static_cast<int>(page->dialogProc(window, message, wParam, lParam)));
}

RadioSettingPage::RadioSettingPage(LumoraPrintingExtension* extension, const int (&ids)[3])
    : PropertySheetW(extension), ids_{ids[0], ids[1], ids[2]}
{
}

int RadioSettingPage::indexOf(int id) const
{
    for (int i = 0; i < 3; ++i)
        if (ids_[i] == id)
            return i;
    return -1;
}

DWORD RadioSettingPage::selectedValue() const
{
    return selected_ ? static_cast<DWORD>(indexOf(static_cast<int>(selected_->getId()))) : 0;
}

INT_PTR RadioSettingPage::onInitDialog(WPARAM wParam, LPARAM lParam)
{
    const INT_PTR result = PropertySheetW::onInitDialog(wParam, lParam);
    const DWORD current = currentValue();
    const int wanted = ids_[current == 1 || current == 2 ? current : 0];
    // Created middle, last, first, as the pages always did.
    for (int index : {1, 2, 0}) {
        HWND control = getDlgItem(ids_[index]);
        if (!control)
            continue;
        auto* button = new OwnerDrawAutoButton(control, static_cast<UINT>(ids_[index]), OwnerDrawAutoButton::kRadioButton);
        if (!addOwnerDrawControl(control, button)) {
            delete button;
            continue;
        }
        if (ids_[index] == wanted) {
            selected_ = button;
            button->setChecked(true);
        }
    }
    return result;
}

INT_PTR RadioSettingPage::onCtlColor(UINT message, HDC hdc, HWND control)
{
    if (message != WM_CTLCOLORBTN)
        return PropertySheetW::onCtlColor(message, hdc, control);
    if (!control || indexOf(GetDlgCtrlID(control)) < 0)
        return 0;
    SetBkMode(hdc, TRANSPARENT);
    return reinterpret_cast<INT_PTR>(GetStockObject(NULL_BRUSH));
}

INT_PTR RadioSettingPage::onCommand(WPARAM wParam, LPARAM lParam)
{
    const int id = LOWORD(wParam);
    if (indexOf(id) < 0)
        return PropertySheetW::onCommand(wParam, lParam);
    if (selected_ && selected_->isChecked())
        selected_->setChecked(false);
    if (auto* button = static_cast<OwnerDrawAutoButton*>(findOwnerDrawControl(static_cast<UINT>(id)))) {
        selected_ = button;
        button->setChecked(true);
    }
    return 1;
}

INT_PTR RadioSettingPage::onApply(WPARAM, NMHDR*, LRESULT& result)
{
    storeValue(selectedValue());
    result = PSNRET_NOERROR;
    return 1;
}

GeneralPropertySheet::GeneralPropertySheet(LumoraPrintingExtension* extension) : LivePage(extension, kGeneralIds) {}

DWORD GeneralPropertySheet::currentValue() const
{
    LumoraPrintingExtension* extension = getExtension();
    return extension && extension->getSettings() ? extension->getSettings()->getPromptMethod() : 0;
}

void GeneralPropertySheet::storeValue(DWORD value)
{
    if (LumoraPrintingExtension* extension = getExtension(); extension && extension->getSettings())
        extension->getSettings()->setPromptMethod(static_cast<int>(value));
}

DeviceVerifyPropertySheet::DeviceVerifyPropertySheet(LumoraPrintingExtension* extension) : LivePage(extension, kVerifyIds) {}

DWORD DeviceVerifyPropertySheet::currentValue() const
{
    LumoraPrintingExtension* extension = getExtension();
    return extension && extension->getSettings() ? extension->getSettings()->getDeviceVerifyLevel() : 0;
}

void DeviceVerifyPropertySheet::storeValue(DWORD value)
{
    if (LumoraPrintingExtension* extension = getExtension(); extension && extension->getSettings())
        extension->getSettings()->setDeviceVerifyLevel(value);
}

INT_PTR showSettingsDialog(HWND parent, LumoraPrintingExtension* extension)
{
    GeneralPropertySheet general(extension);
    DeviceVerifyPropertySheet verify(extension);
    const bool rightToLeft = isRightToLeftInterface(extension);
    HMODULE module = uitext::resourceModule(extension);
    const std::wstring titles[2] = {uitext::load(extension, GeneralPropertySheet::kTitle),
                                    uitext::load(extension, DeviceVerifyPropertySheet::kTitle)};
    const std::wstring caption = uitext::load(extension, SettingsDialog::kCaption);

    PROPSHEETPAGEW pages[2] = {};
    const struct {
        UINT templateId;
        DLGPROC proc;
        LumoraDialog* page;
    } rows[2] = {{GeneralPropertySheet::kTemplate, GeneralPropertySheet::pageProc, &general},
                 {DeviceVerifyPropertySheet::kTemplate, DeviceVerifyPropertySheet::pageProc, &verify}};
    for (int i = 0; i < 2; ++i) {
        pages[i].dwSize = sizeof(PROPSHEETPAGEW);
        pages[i].dwFlags = PSP_USETITLE | (rightToLeft ? PSP_RTLREADING : 0);
        pages[i].hInstance = module;
        pages[i].pszTemplate = MAKEINTRESOURCEW(LumoraDialog::templateFor(rows[i].templateId, rightToLeft));
        pages[i].pszTitle = titles[i].c_str();
        pages[i].pfnDlgProc = rows[i].proc;
        pages[i].lParam = reinterpret_cast<LPARAM>(rows[i].page);
    }
    PROPSHEETHEADERW header = {};
    header.dwSize = sizeof(header);
    header.dwFlags = PSH_PROPSHEETPAGE | PSH_NOAPPLYNOW | (rightToLeft ? PSH_RTLREADING : 0);
    header.hwndParent = parent;
    header.hInstance = module;
    header.pszCaption = caption.c_str();
    header.nPages = 2;
    header.nStartPage = 0;
    header.ppsp = pages;
    return ::PropertySheetW(&header);
}

} // namespace MPrint
