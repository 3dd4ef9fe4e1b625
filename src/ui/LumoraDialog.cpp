#include "ui/LumoraDialog.h"

#include "core/ResourceLoader.h"
#include "extension/LumoraPrintingExtension.h"
#include "ui/CHelpCab.h"
#include "ui/HelpCalls.h"
#include "ui/OwnerDrawControl.h"
#include "ui/UiText.h"

#include <htmlhelp.h>

#include <algorithm>
#include <cwctype>

namespace {

// Between doModal and the first message of the box it creates. Modal boxes
// of one thread are created one at a time; another thread has its own slot.
thread_local LumoraDialog* t_parkedDialog = nullptr;

struct HelpTopic {
    int controlId;
    DWORD context;
    const wchar_t* topic;
};

const HelpTopic kHelpTopics[] = {
    {1007, 100, L"100.html"}, {1009, 101, L"101.html"}, {1002, 102, L"102.html"}, {1003, 103, L"103.html"},
    {1016, 104, L"104.html"}, {1005, 104, L"104.html"}, {1004, 105, L"105.html"}, {1006, 106, L"106.html"},
    {1015, 107, L"107.html"}, {1033, 200, L"200.html"}, {1034, 200, L"200.html"}, {1035, 200, L"200.html"},
    {1042, 202, L"202.html"}, {1045, 203, L"203.html"}, {1044, 204, L"204.html"}, {1043, 205, L"205.html"},
    {1037, 206, L"206.html"}, {1038, 207, L"207.html"}, {1039, 208, L"208.html"}, {1040, 209, L"209.html"},
    {1062, 210, L"210.html"}, {1061, 210, L"210.html"}, {1060, 210, L"210.html"},
};

constexpr HRESULT kOutOfMemoryResult = static_cast<HRESULT>(0x80030008);

void localizeWindow(HWND window, LumoraPrintingExtension* extension)
{
    wchar_t text[385] = {};
    if (GetWindowTextW(window, text, 385) <= 0)
        return;
    UINT id = 0;
    if (uitext::parseResourceToken(text, id))
        SetWindowTextW(window, uitext::load(extension, id).c_str());
}

struct LocalizeContext {
    LumoraPrintingExtension* extension;
};

BOOL CALLBACK localizeChild(HWND window, LPARAM lParam)
{
    localizeWindow(window, reinterpret_cast<LocalizeContext*>(lParam)->extension);
    return TRUE;
}

} // namespace

LumoraDialog::LumoraDialog(LumoraPrintingExtension* extension) : extension_(extension) {}

LumoraDialog::LumoraDialog(HWND window, LumoraPrintingExtension* extension)
    : extension_(extension), dialogWindow_(window)
{
    setWindow(window);
    localize();
}

LumoraDialog::~LumoraDialog()
{
    if (t_parkedDialog == this)
        t_parkedDialog = nullptr;
    // A window that outlives its object must not reach it any more.
    if (dialogWindow_ && IsWindow(dialogWindow_) && GetPropW(dialogWindow_, kProperty) == this)
        RemovePropW(dialogWindow_, kProperty);
}

UINT LumoraDialog::templateFor(UINT templateId, bool rightToLeft)
{
    return rightToLeft && templateId < kRightToLeftOffset ? templateId + kRightToLeftOffset : templateId;
}

const wchar_t* LumoraDialog::helpTopicFor(int controlId, DWORD* context)
{
    for (const HelpTopic& row : kHelpTopics) {
        if (row.controlId == controlId) {
            if (context)
                *context = row.context;
            return row.topic;
        }
    }
    return nullptr;
}

std::wstring LumoraDialog::titleWithPrinter(const std::wstring& printer, const std::wstring& title)
{
    if (printer.empty() || title.empty())
        return title;
    if (printer.find(title) != std::wstring::npos)
        return printer;
    return printer + L" - " + title;
}

bool LumoraDialog::isPrintHostProcess()
{
    static const bool answer = [] {
        wchar_t path[MAX_PATH + 1] = {};
        const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
        std::wstring lower(path, std::min<DWORD>(length, MAX_PATH));
        std::transform(lower.begin(), lower.end(), lower.begin(), [](wchar_t c) { return std::towlower(c); });
        return lower.find(L"splwow64.exe") != std::wstring::npos;
    }();
    return answer;
}

INT_PTR LumoraDialog::doModal(LumoraDialog* dialog, HWND parent, UINT templateId, LPARAM lParam)
{
    if (!dialog) {
        LumoraPrintingExtension* extension = LumoraPrintingExtension::current();
        const MPrint::ResourceLoader* resources = uitext::loader(extension);
        const std::wstring text =
            uitext::systemMessage(kOutOfMemoryResult, resources ? resources->getLanguage() : 0, L"Internal Error");
        const std::wstring caption = uitext::load(extension, kErrorCaptionString);
        showMessageBox(nullptr, text.c_str(), caption.c_str(), MB_ICONERROR | MB_SETFOREGROUND);
        return IDCANCEL;
    }
    const UINT id = templateFor(templateId, isRightToLeftInterface(dialog->extension_));
    t_parkedDialog = dialog;
    const INT_PTR result = DialogBoxParamW(uitext::resourceModule(dialog->extension_), MAKEINTRESOURCEW(id), parent,
                                           lumoraDialogProc, lParam);
    // A box that was never created leaves the object parked.
    if (t_parkedDialog == dialog)
        t_parkedDialog = nullptr;
    return result;
}

void LumoraDialog::bindWindow(HWND window)
{
    dialogWindow_ = window;
    setWindow(window);
    SetPropW(window, kProperty, this);
}

INT_PTR CALLBACK lumoraDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* dialog = static_cast<LumoraDialog*>(GetPropW(window, LumoraDialog::kProperty));
    if (!dialog && t_parkedDialog) {
        dialog = t_parkedDialog;
        t_parkedDialog = nullptr;
        dialog->bindWindow(window);
    }
    if (!dialog) {
        if (message == WM_CLOSE || (message == WM_COMMAND && wParam == IDCANCEL))
            EndDialog(window, IDCANCEL);
        return 0;
    }
    return static_cast<INT_PTR>(static_cast<int>(dialog->dialogProc(window, message, wParam, lParam)));
}

INT_PTR LumoraDialog::dialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG: {
        MPrint::DestinationContext* context = extension_ ? extension_->getDestinationContext() : nullptr;
        std::wstring helpFile;
        CHelpCab helpCab;
        if (context && extension_->getSettings() && context->getHelpFilePath(helpFile, helpCab))
            extension_->getSettings()->setHelpFile(helpFile.c_str());
        return onInitDialog(wParam, lParam);
    }
    case WM_DESTROY:
        onDestroy();
        return 0;
    case WM_SIZE:
        onSize();
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT paint = {};
        HDC hdc = BeginPaint(window, &paint);
        const INT_PTR painted = onPaint(hdc);
        EndPaint(window, &paint);
        return painted;
    }
    case WM_DRAWITEM:
        return onDrawItem(wParam, reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
    case WM_NOTIFY: {
        LRESULT result = 0;
        const INT_PTR handled = onNotify(wParam, lParam, result);
        if (handled)
            SetWindowLongPtrW(window, DWLP_MSGRESULT, result);
        return handled;
    }
    case WM_HELP:
        onHelp(wParam, reinterpret_cast<const HELPINFO*>(lParam));
        return 0;
    case WM_COMMAND:
        return onCommand(wParam, lParam);
    case WM_TIMER:
        return onTimer(wParam, lParam);
    case WM_MOUSEACTIVATE:
    case WM_MOUSEHOVER:
    case WM_MOUSELEAVE:
        return onMouse(message, wParam, lParam);
    default:
        if (message >= WM_CTLCOLOREDIT && message <= WM_CTLCOLORSTATIC)
            return onCtlColor(message, reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
        if (message >= 0x200 && message <= 0x209)
            return onMouse(message, wParam, lParam);
        return 0;
    }
}

INT_PTR LumoraDialog::onInitDialog(WPARAM wParam, LPARAM lParam)
{
    localize();
    if (isPrintHostProcess() && dialogWindow_) {
        SetWindowPos(dialogWindow_, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
        SetWindowLongPtrW(dialogWindow_, GWL_STYLE, GetWindowLongPtrW(dialogWindow_, GWL_STYLE) | DS_SYSMODAL);
    }
    if (HWND content = getDlgItem(kContentWindowId))
        setContentWindow(content);
    return ProsumerWindow::onInitDialog(wParam, lParam);
}

INT_PTR LumoraDialog::onCtlColor(UINT message, HDC hdc, HWND control)
{
    if (message == WM_CTLCOLORBTN && control && GetDlgCtrlID(control) == kGroupFrameId) {
        SetBkMode(hdc, TRANSPARENT);
        return reinterpret_cast<INT_PTR>(GetStockObject(NULL_BRUSH));
    }
    return ProsumerWindow::onCtlColor(message, hdc, control);
}

HWND LumoraDialog::getDlgItem(int id) const
{
    return dialogWindow_ ? GetDlgItem(dialogWindow_, id) : nullptr;
}

INT_PTR LumoraDialog::onCommand(WPARAM wParam, LPARAM)
{
    if (HIWORD(wParam) != 0)
        return 0;
    const int id = LOWORD(wParam);
    if (id == IDOK || id == IDCANCEL) {
        endDialog(id);
    } else if (id == kHelpButtonId && extension_ && extension_->getSettings()) {
        // Quoted: a folder with a blank would split the path in two arguments.
        const std::wstring file = extension_->getSettings()->getHtmlHelpFile();
        HelpCalls::current().startProcess(L"HH.EXE \"" + file + L"\"");
    }
    return 0;
}

INT_PTR LumoraDialog::onNotify(WPARAM, LPARAM, LRESULT&)
{
    return 0;
}

INT_PTR LumoraDialog::onTimer(WPARAM, LPARAM)
{
    return 0;
}

INT_PTR LumoraDialog::onMouse(UINT, WPARAM, LPARAM)
{
    return 0;
}

INT_PTR LumoraDialog::showContextHelpPopup(WPARAM, const HELPINFO* helpInfo)
{
    DWORD context = 0;
    if (!helpInfo || !helpTopicFor(helpInfo->iCtrlId, &context) || !extension_ || !extension_->getSettings())
        return 1;
    HelpCalls::current().winHelp(dialogWindow_, extension_->getSettings()->getHelpFile().c_str(), HELP_CONTEXTPOPUP,
                                 context);
    return 1;
}

INT_PTR LumoraDialog::onHelp(WPARAM, const HELPINFO* helpInfo)
{
    const wchar_t* topic = helpInfo ? helpTopicFor(helpInfo->iCtrlId) : nullptr;
    if (!topic || !extension_ || !extension_->getSettings())
        return 1;
    const std::wstring path = extension_->getSettings()->getHelpFile() + L"::/" + topic;
    HelpCalls::current().htmlHelp(dialogWindow_, path.c_str(), HH_DISPLAY_TOPIC, 0);
    return 1;
}

void LumoraDialog::endDialog(INT_PTR result)
{
    if (dialogWindow_)
        EndDialog(dialogWindow_, result);
}

void LumoraDialog::onDestroy()
{
    if (dialogWindow_) {
        SetPropW(dialogWindow_, kProperty, nullptr);
        RemovePropW(dialogWindow_, kProperty);
    }
}

void LumoraDialog::prefixTitleWithPrinter()
{
    MPrint::DestinationContext* context = extension_ ? extension_->getDestinationContext() : nullptr;
    if (!context || !dialogWindow_)
        return;
    wchar_t title[512] = {};
    GetWindowTextW(dialogWindow_, title, 512);
    const std::wstring updated = titleWithPrinter(context->getPrinterName(), title);
    if (updated != title)
        SetWindowTextW(dialogWindow_, updated.c_str());
}

void LumoraDialog::localize()
{
    if (!dialogWindow_)
        return;
    localizeWindow(dialogWindow_, extension_);
    LocalizeContext context = {extension_};
    EnumChildWindows(dialogWindow_, localizeChild, reinterpret_cast<LPARAM>(&context));
}

void LumoraDialog::invalidateControl(int id)
{
    HWND control = getDlgItem(id);
    if (!control)
        return;
    RECT area = {};
    GetWindowRect(control, &area);
    MapWindowPoints(nullptr, dialogWindow_, reinterpret_cast<POINT*>(&area), 2);
    InvalidateRect(dialogWindow_, &area, FALSE);
}
