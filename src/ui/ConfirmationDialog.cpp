// The chooser's construction, initialisation, command switch, the OK road
// with its messages, and its end. The tree and its commands are in
// ConfirmationDialogTree.cpp; selection, searches, links and the status
// check in ConfirmationDialogSearch.cpp.
#include "ui/ConfirmationDialog.h"

#include "bidi/BidiCacheCopy.h"
#include "bidi/SNPCheckStatus.h"
#include "core/InternetHelpers.h"
#include "destination/HistoryProfile.h"
#include "destination/PrintPath.h"
#include "destination/PrintPathAttr.h"
#include "destination/TargetHistoryList.h"
#include "extension/DeviceConfiguration.h"
#include "extension/LumoraPrintingExtension.h"
#include "extension/ManagedPrintPolicy.h"
#include "extension/PrintTimeDialogs.h"
#include "ui/ConfirmationDialogShared.h"
#include "ui/OwnerDrawAutoButton.h"
#include "ui/OwnerDrawBitmap.h"
#include "ui/OwnerDrawGroupBox.h"
#include "ui/PrintPathVerifyDialog.h"
#include "ui/ProsumerButton.h"
#include "ui/SettingsDialog.h"
#include "ui/UiText.h"
#include "ui/resources/BitmapIds.h"
#include "ui/resources/ConfirmationDialogIds.h"
#include "ui/resources/PrinterStatusDialogIds.h"
#include "ui/resources/StringIds.h"

#include <commctrl.h>

namespace MPrint {

namespace {

constexpr wchar_t kUncommittedName[] = L"Uncommitted";
constexpr COLORREF kNicknameColour = 0xA55404;
constexpr COLORREF kLinkColour = 0xFF0000;
constexpr COLORREF kVersionColour = 0xFFFFFF;
constexpr UINT kLinkTextLength = 255;
constexpr UINT kNicknameLength = 383;

// The error code the stage-3 box last showed, process-wide: the system
// text is repeated only for a new code.
DWORD g_lastShownError = 0;

} // namespace

namespace chooser {

ManagedPrintPolicy* policy()
{
    ManagedPrintPolicy* policy = ManagedPrintPolicy::instance();
    return policy && policy->hasPolicy() ? policy : nullptr;
}

std::wstring windowText(HWND window, size_t limit)
{
    if (!window)
        return {};
    std::wstring text(limit + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(window, text.data(), static_cast<int>(limit + 1))));
    return text;
}

PrintPath* pathOf(TreeViewNode* node)
{
    return node && node->getKind() == ConfirmDialogTreeViewControl::kPrinter
               ? reinterpret_cast<PrintPath*>(node->getData())
               : nullptr;
}

void deleteCacheFileOf(const PrintPath* path)
{
    std::wstring name = path->getStringAttribute(PrintPathAttr::Address);
    const std::string& model = path->getDevice().getModelName();
    name.append(model.begin(), model.end());
    deleteBidiCacheFile(name.c_str());
}

HCURSOR cursor(const wchar_t* id)
{
    return LoadCursorW(nullptr, id);
}

} // namespace chooser

using namespace chooser;

ConfirmationDialog::ConfirmationDialog(LumoraPrintingExtension* extension, DWORD mode)
    : LumoraDialog(extension), mode_(mode), statusChecker_(std::make_unique<SNPCheckStatus>())
{
    auto* list = new TargetHistoryList(RegistryKey(HKEY_CURRENT_USER, L"", RegistryKey::kAllAccess));
    uncommitted_ = std::make_unique<HistoryProfile>(kUncommittedName, list);
    list->setTransient(true);
    uncommitted_->markForDelete();
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_LISTVIEW_CLASSES | ICC_TREEVIEW_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
}

ConfirmationDialog::~ConfirmationDialog()
{
    if (tree_ && IsWindow(tree_->getWindow()))
        tree_->deleteAllNodes();
    tree_.reset();
}

std::wstring ConfirmationDialog::text(UINT id) const
{
    return uitext::load(getExtension(), id);
}

std::wstring ConfirmationDialog::format(UINT id, const std::wstring& argument) const
{
    return uitext::format(getExtension(), id, argument);
}

std::wstring ConfirmationDialog::printerName() const
{
    DestinationContext* context = getExtension() ? getExtension()->getDestinationContext() : nullptr;
    return context ? context->getPrinterName() : std::wstring();
}

INT_PTR ConfirmationDialog::onInitDialog(WPARAM wParam, LPARAM lParam)
{
    HWND window = getWindow();
    onNodeSelected(nullptr);
    ShowWindow(getDlgItem(kHelpButtonId), SW_HIDE);
    if (statusChecker_ && !statusChecker_->isSupported(printerName().c_str()))
        ShowWindow(getDlgItem(IDC_CHOOSER_STATUS_BUTTON), SW_HIDE);
    std::wstring version;
    if (getVersionString(version))
        SetDlgItemTextW(window, IDC_CHOOSER_VERSION, version.c_str());

    UINT banner = IDB_BANNER;
    LumoraSettings* settings = getExtension() ? getExtension()->getSettings() : nullptr;
    const DWORD prompt = settings ? settings->getPromptMethod() : LumoraSettings::kPromptAlways;
    if (mode_ == LumoraPrintingExtension::kModeFirstJob) {
        banner = IDB_BANNER_PRINTING;
        if (prompt != LumoraSettings::kPromptAlways &&
            !(prompt == LumoraSettings::kPromptFirstJob && getExtension()->isFirstJobPending()))
            autoOK_ = true;
    } else if (mode_ == LumoraPrintingExtension::kModeRetargetPausedJob) {
        banner = IDB_BANNER_PRINTING;
        autoOK_ = true;
    }
    if (autoOK_)
        ShowWindow(window, SW_HIDE);

    if (HWND button = getDlgItem(IDC_CHOOSER_STATUS_BUTTON)) {
        auto* control = new ProsumerButton(button, IDC_CHOOSER_STATUS_BUTTON, 0);
        if (!addOwnerDrawControl(button, control))
            delete control;
    }
    HMODULE module = uitext::resourceModule(getExtension());
    for (int id : {IDC_CHOOSER_BANNER, IDC_CHOOSER_SECURE}) {
        HWND control = getDlgItem(id);
        if (!control)
            continue;
        auto* picture = new OwnerDrawBitmap(control, static_cast<UINT>(id));
        if (!addOwnerDrawControl(control, picture)) {
            delete picture;
            continue;
        }
        const UINT bitmap = id == IDC_CHOOSER_BANNER ? banner : IDB_SECURE;
        picture->setBitmap(static_cast<HBITMAP>(LoadImageW(module, MAKEINTRESOURCEW(bitmap), IMAGE_BITMAP, 0, 0,
                                                           LR_CREATEDIBSECTION)),
                           true);
        picture->setTransparent(true, OwnerDrawBitmap::kMagenta);
    }

    const INT_PTR result = LumoraDialog::onInitDialog(wParam, lParam);

    if (HWND group = getDlgItem(kGroupFrameId)) {
        auto* frame = new OwnerDrawGroupBox(group, kGroupFrameId);
        if (!addOwnerDrawControl(group, frame))
            delete frame;
    }
    if (HWND box = getDlgItem(IDC_CHOOSER_MAKE_PERMANENT)) {
        auto* check = new OwnerDrawAutoButton(box, IDC_CHOOSER_MAKE_PERMANENT, OwnerDrawAutoButton::kCheckBox);
        if (addOwnerDrawControl(box, check))
            makePermanent_ = check;
        else
            delete check;
    }
    ShowWindow(getDlgItem(IDC_CHOOSER_SECURE), SW_HIDE);

    HWND heading = getDlgItem(IDC_CHOOSER_HEADING);
    if (HFONT link = linkFont_.createStyled(heading, FW_NORMAL, true, 0)) {
        SendMessageW(getDlgItem(IDC_CHOOSER_POLICY_LINK), WM_SETFONT, reinterpret_cast<WPARAM>(link), TRUE);
        SendMessageW(getDlgItem(IDC_CHOOSER_SETTINGS_LINK), WM_SETFONT, reinterpret_cast<WPARAM>(link), TRUE);
    }
    if (HFONT bold = headingFont_.create(heading, 800))
        SendMessageW(heading, WM_SETFONT, reinterpret_cast<WPARAM>(bold), TRUE);
    HWND nickname = getDlgItem(IDC_CHOOSER_NICKNAME);
    HDC screen = GetDC(nullptr);
    const LONG height = -MulDiv(10, GetDeviceCaps(screen, LOGPIXELSY), 72);
    ReleaseDC(nullptr, screen);
    if (HFONT font = nicknameFont_.createStyled(nickname, 700, false, height))
        SendMessageW(nickname, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);

    ManagedPrintPolicy* rules = policy();
    if (rules && !rules->getBool(L"ShowDriverSettings", false)) {
        ShowWindow(getDlgItem(IDC_CHOOSER_SETTINGS_LINK), SW_HIDE);
        SetRectEmpty(&settingsLink_);
    } else {
        settingsLink_ = linkRect(IDC_CHOOSER_SETTINGS_LINK,
                                 windowText(getDlgItem(IDC_CHOOSER_SETTINGS_LINK), kLinkTextLength));
    }
    std::wstring url;
    std::wstring name;
    if (rules && rules->getString(L"PolicyInfoLinkURL", url) && !url.empty() &&
        rules->getString(L"PolicyInfoLinkName", name) && !name.empty()) {
        SetDlgItemTextW(window, IDC_CHOOSER_POLICY_LINK, name.c_str());
        ShowWindow(getDlgItem(IDC_CHOOSER_POLICY_LINK), SW_SHOW);
        policyLink_ = linkRect(IDC_CHOOSER_POLICY_LINK, name);
    } else {
        ShowWindow(getDlgItem(IDC_CHOOSER_POLICY_LINK), SW_HIDE);
        SetRectEmpty(&policyLink_);
    }

    buildTree();

    if (getExtension() && getExtension()->isNewInstall())
        EnableWindow(getDlgItem(IDCANCEL), FALSE);
    if (autoOK_)
        PostMessageW(window, WM_COMMAND, IDOK, 0);
    else
        prefixTitleWithPrinter();
    setHeading(lParam);
    return result;
}

RECT ConfirmationDialog::linkRect(int id, const std::wstring& linkText)
{
    RECT area = {};
    HWND control = getDlgItem(id);
    if (!control)
        return area;
    GetWindowRect(control, &area);
    MapWindowPoints(nullptr, getWindow(), reinterpret_cast<POINT*>(&area), 2);
    HDC dc = GetDC(control);
    HGDIOBJ previous = SelectObject(dc, linkFont_.get() ? linkFont_.get() : GetStockObject(DEFAULT_GUI_FONT));
    SIZE size = {};
    GetTextExtentPoint32W(dc, linkText.c_str(), static_cast<int>(linkText.size()), &size);
    SelectObject(dc, previous);
    ReleaseDC(control, dc);
    area.right = area.left + size.cx;
    area.bottom = area.top + size.cy;
    return area;
}

void ConfirmationDialog::setHeading(LPARAM lParam)
{
    HWND window = getWindow();
    // A text's address, or a string id: a 64-bit address may have a zero
    // second word, so all of its upper bits decide.
    if (static_cast<ULONG_PTR>(lParam) > 0xFFFF) {
        const auto* argument = reinterpret_cast<const wchar_t*>(lParam);
        SetDlgItemTextW(window, IDC_CHOOSER_HEADING, format(IDS_CHOOSER_HEADING_FMT, argument).c_str());
        if (mode_ == LumoraPrintingExtension::kModeFirstJob || mode_ == LumoraPrintingExtension::kModeRetargetPausedJob) {
            const std::wstring ok = text(IDS_PRINT);
            if (!ok.empty())
                SetDlgItemTextW(window, IDOK, ok.c_str());
            if (mode_ == LumoraPrintingExtension::kModeRetargetPausedJob)
                ShowWindow(getDlgItem(IDC_CHOOSER_MAKE_PERMANENT), SW_HIDE);
        }
        return;
    }
    UINT id = LOWORD(lParam);
    if (!menuTarget_)
        id = id == IDS_CHOOSER_HEADING_PRINT ? IDS_CHOOSER_HEADING_NONE_PRINT : IDS_CHOOSER_HEADING_NONE;
    SetDlgItemTextW(window, IDC_CHOOSER_HEADING, text(id).c_str());
}

INT_PTR ConfirmationDialog::onCtlColor(UINT message, HDC hdc, HWND control)
{
    const int id = control ? GetDlgCtrlID(control) : 0;
    if (message == WM_CTLCOLORBTN && id == IDC_CHOOSER_MAKE_PERMANENT) {
        SetBkMode(hdc, TRANSPARENT);
        return reinterpret_cast<INT_PTR>(GetStockObject(NULL_BRUSH));
    }
    if (message == WM_CTLCOLORSTATIC) {
        switch (id) {
        case IDC_CHOOSER_NICKNAME:
            SetTextColor(hdc, kNicknameColour);
            break;
        case IDC_CHOOSER_SETTINGS_LINK:
        case IDC_CHOOSER_POLICY_LINK:
            SetTextColor(hdc, kLinkColour);
            break;
        case IDC_CHOOSER_VERSION:
            SetTextColor(hdc, kVersionColour);
            break;
        case IDC_CHOOSER_NICKNAME_LABEL:
            return 0;
        default:
            break;
        }
    }
    return LumoraDialog::onCtlColor(message, hdc, control);
}

INT_PTR ConfirmationDialog::onCommand(WPARAM wParam, LPARAM lParam)
{
    const UINT id = LOWORD(wParam);
    const UINT code = HIWORD(wParam);
    if ((id == IDOK || id == IDCANCEL) && code == 0) {
        if (tree_ && tree_->isEditingLabel()) {
            id == IDOK ? tree_->commitLabelEdit() : tree_->cancelLabelEdit();
            return 1;
        }
        if (tree_ && tree_->isDragging())
            return 1;
        if (id == IDOK)
            return onOK() ? LumoraDialog::onCommand(wParam, lParam) : 1;
        if (statusChecker_ && statusChecker_->getStatusHandle() && IsWindowVisible(getDlgItem(IDC_CHOOSER_PROGRESS))) {
            HCURSOR previous = SetCursor(cursor(IDC_WAIT));
            stopStatusCheck();
            SetCursor(previous);
            return 1;
        }
        return LumoraDialog::onCommand(wParam, lParam);
    }
    switch (id) {
    case IDC_CHOOSER_NICKNAME:
        if (code == EN_CHANGE)
            enableMakePermanent(GetWindowTextLengthW(getDlgItem(IDC_CHOOSER_NICKNAME)) != 0);
        return 1;
    case IDC_CHOOSER_MAKE_PERMANENT:
        return 0;
    case IDC_CHOOSER_SETTINGS_LINK:
        showSettingsDialog(getWindow(), getExtension());
        return 1;
    case IDC_CHOOSER_POLICY_LINK: {
        std::wstring url;
        if (ManagedPrintPolicy* rules = policy(); rules && rules->getString(L"PolicyInfoLinkURL", url) && !url.empty())
            openUrlAsync(url.c_str(), getWindow());
        return LumoraDialog::onCommand(wParam, lParam);
    }
    case IDC_CHOOSER_STATUS_BUTTON:
        startStatusCheck(reinterpret_cast<HWND>(lParam));
        return LumoraDialog::onCommand(wParam, lParam);
    default:
        break;
    }
    if ((id >= kCopyToNewProfile && id <= kLastMoveCommand) || id == ConfirmDialogTreeViewControl::kDeletePrinter ||
        id == ConfirmDialogTreeViewControl::kRenamePrinter || (id >= kNewProfile && id <= kClearProfile) ||
        id == ConfirmDialogTreeViewControl::kRenameProfile)
        return onTreeCommand(wParam, lParam);
    return LumoraDialog::onCommand(wParam, lParam);
}

INT_PTR ConfirmationDialog::onOK()
{
    TreeViewNode* node = tree_ ? tree_->getNodeOrSelected(nullptr) : nullptr;
    PrintPath* path = pathOf(node);
    if (!path)
        return 0;
    std::wstring nickname = path->getStringAttribute(PrintPathAttr::Nickname);
    const std::wstring typed = windowText(getDlgItem(IDC_CHOOSER_NICKNAME), kNicknameLength);
    if (!typed.empty() && typed != nickname) {
        nickname = typed;
        path->setStringAttribute(PrintPathAttr::Nickname, nickname, true);
        path->setStringAttribute(PrintPathAttr::DisplayString, nickname, true);
        node->rename(nickname);
        tree_->updateNode(node);
    }
    const std::wstring display = path->getStringAttribute(PrintPathAttr::DisplayString);

    PrintPathVerifyDialog verify(getExtension(), path);
    HWND owner = IsWindowVisible(getWindow()) ? getWindow() : GetDesktopWindow();
    const INT_PTR verified = doModal(&verify, owner, IDD_PRINTER_STATUS, IDS_VERIFYING_PRINTER);
    INT_PTR result = 0;
    if (verified == 1) {
        path->removeNumericAttribute(L"NewlyDiscovered");
        TargetHistoryList* found = uncommitted_->getHistory();
        if (found->size() && found->moveToFront(path)) {
            selectProfile(root_ ? root_->getText() : defaultProfileName_);
            found->detach(path);
            addToFront(currentHistory_, path);
        } else if (node->getParent() && node->getParent()->getKind() == Kind::kProfile) {
            selectProfile(node->getParent()->getText());
        } else {
            selectProfile(root_ ? root_->getText() : defaultProfileName_);
        }
        const bool held = path->getNumericAttribute(L"PausePrintJob") != kAbsent;
        if (held && getExtension())
            getExtension()->setDestinationChanged(true);
        if (currentHistory_) {
            currentHistory_->moveToFront(path);
            currentHistory_->save();
        }
        if (getExtension())
            getExtension()->setDestination(nickname.empty() ? display.c_str() : nickname.c_str());
        result = 1;
        if (!held && makePermanent_ && makePermanent_->isChecked() && getExtension()) {
            if (mode_ == LumoraPrintingExtension::kModeFirstJob) {
                getExtension()->setMakePermanentRequested(true);
            } else if (!PrintTimeDialogs::current().makePrinterPermanent(*getExtension(), path, getWindow())) {
                // The one road of every make-permanent: its marker, the
                // protected mode and the outcome message.
                result = 0;
            }
        }
    } else if (!verify.isCancelled()) {
        if (!IsWindowVisible(getWindow()))
            ShowWindow(getWindow(), SW_SHOWNORMAL);
        showStageMessage(verify.getStage(), static_cast<DWORD>(verify.getResult()), node, path, nickname);
    }
    if (result == 1 && tree_ && searchRoot_) {
        const bool expanded = (tree_->getItemState(searchRoot_, TVIS_EXPANDED) & TVIS_EXPANDED) != 0;
        if (LumoraSettings* settings = getExtension() ? getExtension()->getSettings() : nullptr)
            settings->getSettingsKey().setDword(kSearchNodeExpanded, expanded ? 1 : 0);
    }
    return result;
}

void ConfirmationDialog::showStageMessage(DWORD stage, DWORD failure, TreeViewNode* node, PrintPath* path,
                                          const std::wstring& nickname)
{
    const std::wstring caption = text(IDS_ERROR_CAPTION);
    if (stage <= PrintPathVerifyDialog::kStageVerifyingPdl) {
        // A device whose model the settings refuse is not at fault: say so,
        // and offer no removal of the destination.
        if (stage != PrintPathVerifyDialog::kStageValidating &&
            !updateDeviceVerifySetting(path, path->getDevice().getModelName())) {
            showMessageBox(getWindow(), format(IDS_WRONG_MODEL_FMT, nickname).c_str(), caption.c_str(),
                           MB_ICONHAND | MB_SETFOREGROUND);
            return;
        }
        TreeViewNode* parent = node->getParent();
        const std::wstring message = format(IDS_VERIFY_FAILED_REMOVE_FMT, parent ? parent->getText() : std::wstring());
        if (showMessageBox(getWindow(), message.c_str(), caption.c_str(),
                           MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2 | MB_SETFOREGROUND) != IDYES)
            return;
        deleteCacheFileOf(path);
        TargetHistoryList* history = currentHistory_;
        // Saved at once, as every removal is: a cancelled chooser would
        // otherwise bring the printer back.
        if (deleteTreeNode(node) && history && history->remove(path))
            history->save();
    } else if (stage == PrintPathVerifyDialog::kStageApplying) {
        // The failed step's own code: the thread's last error is whatever
        // the windows shown since then left behind.
        const DWORD error = failure ? failure : GetLastError();
        std::wstring message = text(IDS_SETUP_FAILED);
        if (GetKeyState(VK_CONTROL) & 0x8000) {
            wchar_t code[32] = {};
            wsprintfW(code, L"\nERR%d#:", static_cast<int>(error));
            message += code;
            if (error != g_lastShownError) {
                const MPrint::ResourceLoader* loader = uitext::loader(getExtension());
                message += uitext::systemMessage(error, loader ? loader->getLanguage() : 0, L"");
            }
        }
        g_lastShownError = error;
        showMessageBox(getWindow(), message.c_str(), caption.c_str(), MB_ICONHAND | MB_SETFOREGROUND);
    }
}

void ConfirmationDialog::endDialog(INT_PTR result)
{
    if (result == kResultChosen && currentHistory_)
        currentHistory_->save();
    if (result == kResultCancelled && mode_ == LumoraPrintingExtension::kModeFirstJob) {
        const std::wstring question = text(IDS_CONFIRM_CANCEL_PRINT);
        if (showMessageBox(getWindow(), question.c_str(), text(IDS_PRODUCT_NAME).c_str(),
                           MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2 | MB_SETFOREGROUND) == IDNO)
            return;
    }
    dropTree();
    LumoraDialog::endDialog(result);
}

void ConfirmationDialog::dropTree()
{
    active_ = false;
    menuTarget_ = nullptr;
    if (tree_)
        tree_->deleteAllNodes();
    root_ = nullptr;
    searchRoot_ = nullptr;
}

} // namespace MPrint
