#include "ui/ConnectUNCDialog.h"

#include "core/ResourceLoader.h"
#include "core/WaitCursor.h"
#include "ui/OwnerDrawBitmap.h"
#include "ui/OwnerDrawGroupBox.h"
#include "ui/UiText.h"
#include "ui/resources/BitmapIds.h"
#include "ui/resources/ConnectUNCDialogIds.h"
#include "ui/resources/StringIds.h"

#include <vector>

namespace {

// The buffer is wiped before it is freed: it may have held a password.
std::wstring controlText(HWND dialog, int id, int limit)
{
    std::vector<wchar_t> text(static_cast<size_t>(limit) + 1, L'\0');
    GetDlgItemTextW(dialog, id, text.data(), limit + 1);
    std::wstring copy = text.data();
    SecureZeroMemory(text.data(), text.size() * sizeof(wchar_t));
    return copy;
}

} // namespace

ConnectUNCDialog::ConnectUNCDialog(LumoraPrintingExtension* extension, const std::wstring& uncPath)
    : LumoraDialog(extension), uncPath_(uncPath)
{
}

INT_PTR ConnectUNCDialog::onInitDialog(WPARAM wParam, LPARAM lParam)
{
    const INT_PTR result = LumoraDialog::onInitDialog(wParam, lParam);
    if (HWND control = getDlgItem(IDC_CONNECT_PICTURE)) {
        auto* picture = new OwnerDrawBitmap(control, IDC_CONNECT_PICTURE);
        if (addOwnerDrawControl(control, picture)) {
            picture->setBitmap(static_cast<HBITMAP>(LoadImageW(uitext::resourceModule(getExtension()),
                                                               MAKEINTRESOURCEW(IDB_STATUS_PICTURE), IMAGE_BITMAP, 0,
                                                               0, LR_SHARED)),
                               false);
        } else {
            delete picture;
        }
    }
    if (HWND group = getDlgItem(IDC_CONNECT_GROUP)) {
        auto* frame = new OwnerDrawGroupBox(group, IDC_CONNECT_GROUP);
        if (!addOwnerDrawControl(group, frame))
            delete frame;
    }
    if (HFONT bold = headingFont_.create(getDlgItem(IDC_CONNECT_HEADING), 800))
        SendDlgItemMessageW(getWindow(), IDC_CONNECT_HEADING, WM_SETFONT, reinterpret_cast<WPARAM>(bold), TRUE);
    SendDlgItemMessageW(getWindow(), IDC_CONNECT_USER, EM_LIMITTEXT, kMaxCredential, 0);
    SendDlgItemMessageW(getWindow(), IDC_CONNECT_PASSWORD, EM_LIMITTEXT, kMaxCredential, 0);
    SetDlgItemTextW(getWindow(), IDC_CONNECT_PATH, uncPath_.c_str());
    invalidateControl(IDC_CONNECT_PATH);
    return result;
}

DWORD ConnectUNCDialog::addConnection(const std::wstring& user, const std::wstring& password)
{
    NETRESOURCEW resource = {};
    resource.dwType = RESOURCETYPE_PRINT;
    std::vector<wchar_t> remote(uncPath_.begin(), uncPath_.end());
    remote.push_back(L'\0');
    resource.lpRemoteName = remote.data();
    return WNetAddConnection3W(getWindow(), &resource, password.c_str(), user.c_str(), 0);
}

INT_PTR ConnectUNCDialog::onCommand(WPARAM wParam, LPARAM lParam)
{
    if (LOWORD(wParam) != IDOK)
        return LumoraDialog::onCommand(wParam, lParam);
    const std::wstring user = controlText(getWindow(), IDC_CONNECT_USER, kMaxCredential);
    std::wstring password = controlText(getWindow(), IDC_CONNECT_PASSWORD, kMaxCredential);
    DWORD error = ERROR_SUCCESS;
    {
        WaitCursor wait;
        error = addConnection(user, password);
    }
    SecureZeroMemory(password.data(), password.size() * sizeof(wchar_t));
    if (error == ERROR_SUCCESS) {
        endDialog(IDOK);
        return TRUE;
    }
    MPrint::ResourceLoader* loader = uitext::loader(getExtension());
    const std::wstring text =
        uitext::systemMessage(error, loader ? loader->getLanguage() : 0, uitext::load(getExtension(), IDS_UNEXPECTED_ERROR));
    showMessageBox(getWindow(), text.c_str(), uitext::load(getExtension(), IDS_ERROR_CAPTION).c_str(),
                   MB_ICONERROR | MB_SETFOREGROUND);
    return TRUE;
}

INT_PTR ConnectUNCDialog::onTimer(WPARAM, LPARAM)
{
    return 0;
}

void ConnectUNCDialog::endDialog(INT_PTR result)
{
    SendDlgItemMessageW(getWindow(), IDC_CONNECT_HEADING, WM_SETFONT, 0, FALSE);
    headingFont_.reset();
    LumoraDialog::endDialog(result);
}
