#include "ui/ConfirmationDialog.h"

#include "bidi/BidiCacheCopy.h"
#include "bidi/DestinationVerify.h"
#include "bidi/DestinationVerifyFactory.h"
#include "bidi/SNPCheckStatus.h"
#include "core/ComponentRegistry.h"
#include "core/FileVersion.h"
#include "core/InternetHelpers.h"
#include "destination/HistoryProfile.h"
#include "destination/PrintPath.h"
#include "destination/PrintPathAttr.h"
#include "destination/TargetHistoryList.h"
#include "discovery/DiscoveryClassIds.h"
#include "discovery/DiscoveryServiceIntf.h"
#include "discovery/ManagedListParser.h"
#include "discovery/ManagedPortDiscovery.h"
#include "extension/CachedFileReader.h"
#include "extension/CachedManagedListHost.h"
#include "extension/DeviceConfiguration.h"
#include "extension/LumoraPrintingExtension.h"
#include "extension/ModuleEntry.h"
#include "extension/ManagedPrintPolicy.h"
#include "VagantUIExtension/DiscoveryServicesManager.h"
#include "ui/CustomDrawTreeViewNode.h"
#include "ui/EnterTextDialog.h"
#include "ui/ManagedListSearchResultsDialog.h"
#include "ui/ManagedListWebBrowserDialog.h"
#include "ui/ManualPrinterEntryDialog.h"
#include "ui/OwnerDrawAutoButton.h"
#include "ui/OwnerDrawBitmap.h"
#include "ui/OwnerDrawGroupBox.h"
#include "ui/PrintPathVerifyDialog.h"
#include "ui/PrintTimeDialogsUI.h"
#include "ui/PrinterGroupTreeViewNode.h"
#include "ui/SearchResultsDialog.h"
#include "ui/TcpSearchResultsDialog.h"
#include "ui/UNCSearchResultsDialog.h"
#include "ui/ProsumerButton.h"
#include "ui/SettingsDialog.h"
#include "ui/UiText.h"
#include "ui/resources/BitmapIds.h"
#include "ui/resources/ConfirmationDialogIds.h"
#include "ui/resources/IconIds.h"
#include "ui/resources/PrinterStatusDialogIds.h"
#include "ui/resources/StringIds.h"

#include <commctrl.h>

#include <algorithm>
#include <iterator>

namespace MPrint {

namespace {

constexpr wchar_t kCustomProfiles[] = L"CustomProfiles";
constexpr wchar_t kSearchNodeExpanded[] = L"SearchNodeExpanded";
constexpr wchar_t kUncommittedName[] = L"Uncommitted";
constexpr DWORD kAbsent = static_cast<DWORD>(-1);
constexpr COLORREF kNicknameColour = 0xA55404;
constexpr COLORREF kLinkColour = 0xFF0000;
constexpr COLORREF kVersionColour = 0xFFFFFF;
constexpr DWORD kStatusDone[] = {4, 7, 8};
constexpr int kProgressRange = 50;
constexpr UINT kLinkTextLength = 255;
constexpr UINT kNicknameLength = 383;

// The error code the stage-3 box last showed, process-wide: the system
// text is repeated only for a new code.
DWORD g_lastShownError = 0;

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

// "\n" not at the start and not after "\r" becomes "\r\n" for an edit box.
std::wstring withCarriageReturns(const std::wstring& text)
{
    std::wstring out;
    out.reserve(text.size() + 8);
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'\n' && i > 0 && text[i - 1] != L'\r')
            out += L'\r';
        out += text[i];
    }
    return out;
}

DiscoveryServiceIntf* serviceOf(TreeViewNode* node)
{
    return node ? reinterpret_cast<DiscoveryServiceIntf*>(node->getData()) : nullptr;
}

PrintPath* pathOf(TreeViewNode* node)
{
    return node && node->getKind() == ConfirmDialogTreeViewControl::kPrinter
               ? reinterpret_cast<PrintPath*>(node->getData())
               : nullptr;
}

// The device's cached answers are named by its address and model.
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

} // namespace

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

// ---- initialisation, commands, OK and end ------------------------------------------------

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
            } else if (!PrintTimeDialogsUI().makePrinterPermanent(*getExtension(), path, getWindow())) {
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

// ---- profiles and the tree -----------------------------------------------------------------

std::wstring ConfirmationDialog::profileNameOf(TreeViewNode* profileNode) const
{
    if (!profileNode)
        return {};
    return profileNode == root_ ? defaultProfileName_ : profileNode->getText();
}

HistoryProfile* ConfirmationDialog::findProfile(const std::wstring& name)
{
    const std::wstring wanted = root_ && name == root_->getText() ? defaultProfileName_ : name;
    for (auto& profile : profiles_) {
        if (wanted == profile->getName())
            return profile.get();
    }
    return nullptr;
}

TargetHistoryList* ConfirmationDialog::selectProfile(const std::wstring& name)
{
    const std::wstring wanted = root_ && name == root_->getText() ? defaultProfileName_ : name;
    LumoraSettings* settings = getExtension() ? getExtension()->getSettings() : nullptr;
    if (!settings)
        return currentHistory_;
    if (HistoryProfile* profile = findProfile(wanted)) {
        settings->selectProfile(wanted.c_str());
        currentProfile_ = profile;
        currentHistory_ = profile->getHistory();
        return currentHistory_;
    }
    settings->selectProfile(wanted.c_str());
    auto* history = new TargetHistoryList(settings->getTargetHistoryKey());
    profiles_.push_back(std::make_unique<HistoryProfile>(wanted, history));
    currentProfile_ = profiles_.back().get();
    currentHistory_ = history;
    return currentHistory_;
}

void ConfirmationDialog::buildTree()
{
    LumoraSettings* settings = getExtension() ? getExtension()->getSettings() : nullptr;
    if (!settings)
        return;
    if (!tree_)
        tree_ = std::make_unique<ConfirmDialogTreeViewControl>(getDlgItem(IDC_CHOOSER_TREE), this, getExtension());
    if (!root_) {
        auto* root = new CustomDrawTreeViewNode(text(IDS_MY_PRINTERS), Kind::kProfile);
        if (!tree_->addRootNode(root)) {
            delete root;
            return;
        }
        root_ = root;
    }
    std::wstring current = settings->getCurrentProfile();
    defaultProfileName_ = text(LumoraSettings::kDefaultProfileStringId);
    if (!defaultProfileName_.empty()) {
        selectProfile(defaultProfileName_);
        currentProfile_->setEnabled(false);
        currentHistory_->load();
        populateProfileNode(root_);
        if (current.empty()) {
            settings->setCurrentProfileName(defaultProfileName_.c_str());
            current = defaultProfileName_;
        }
    }
    std::wstring list;
    settings->getSettingsKey().queryString(kCustomProfiles, list);
    size_t start = 0;
    while (start < list.size()) {
        size_t end = list.find(L';', start);
        if (end == std::wstring::npos)
            end = list.size();
        const std::wstring name = list.substr(start, end - start);
        start = end + 1;
        // The settings list the default profile too once its key exists: it
        // is the root, never a group of its own. A profile already read (a
        // name listed twice, or the root's own name) is not read again: a
        // reload frees the paths its printer nodes point at.
        if (name.empty() || name == defaultProfileName_ || findProfile(name))
            continue;
        selectProfile(name);
        currentHistory_->load();
        populateProfileNode(nullptr);
    }
    if (!current.empty())
        selectProfile(current);

    auto* search = new CustomDrawTreeViewNode(text(IDS_FIND_PRINTERS), Kind::kSearchRoot);
    if (tree_->addRootNode(search)) {
        searchRoot_ = search;
        addSearchNodes(searchRoot_);
    } else {
        delete search;
    }
    DWORD expanded = 0;
    settings->getSettingsKey().queryDword(kSearchNodeExpanded, &expanded);
    if (expanded && searchRoot_)
        tree_->expandNode(searchRoot_);

    if (TreeViewNode* selected = tree_->getNode(tree_->getSelectedItem())) {
        if (selected->getParent())
            tree_->ensureVisible(selected->getParent());
        tree_->ensureVisible(selected);
    } else {
        tree_->expandNode(root_);
        tree_->selectNode(root_);
        if (!tree_->getFirstChild(root_) && searchRoot_)
            tree_->expandNode(searchRoot_);
    }
}

void ConfirmationDialog::populateProfileNode(TreeViewNode* profileNode)
{
    if (!currentHistory_ || !tree_)
        return;
    if (!currentHistory_->size())
        currentHistory_->load();
    LumoraSettings* settings = getExtension()->getSettings();
    if (!profileNode) {
        const std::wstring name = settings->getCurrentProfile();
        profileNode = tree_->findChildByText(name, root_);
        if (!profileNode) {
            auto* group = new PrinterGroupTreeViewNode(getExtension(), name, Kind::kProfile,
                                                       reinterpret_cast<LPARAM>(currentProfile_));
            if (!tree_->insertNode(root_, group, TVI_SORT)) {
                delete group;
                return;
            }
            group->setEditable(true);
            profileNode = group;
        }
    }
    if (!currentHistory_->size())
        return;
    const std::wstring destination = getExtension()->getDestination();
    TreeViewNode* chosen = nullptr;
    for (auto entry = currentHistory_->begin(); entry != currentHistory_->end(); ++entry) {
        PrintPath* path = entry->get();
        const std::wstring display = currentHistory_->getDisplayString(entry);
        TreeViewNode* node = tree_->findChildByText(display, profileNode);
        if (!isDestinationReachable(path))
            continue;
        if (!node) {
            if (display == destination)
                path->setNumericAttribute(L"Default", 1, false);
            auto* printer = new TreeViewNode(display, Kind::kPrinter, reinterpret_cast<LPARAM>(path));
            if (!tree_->insertNode(profileNode, printer, TVI_SORT)) {
                delete printer;
                continue;
            }
            printer->setToolTip(path->getStringAttribute(PrintPathAttr::PrinterInfo));
            printer->setEditable(true);
            node = printer;
        }
        if (display == destination)
            chosen = node;
    }
    if (chosen)
        tree_->selectNode(chosen);
}

bool ConfirmationDialog::isDestinationReachable(PrintPath* path)
{
    if (!path)
        return true;
    const Address address(path->getStringAttribute(PrintPathAttr::mplDestinationVerificationAddress));
    const DWORD type = path->getNumericAttribute(PrintPathAttr::mplDestinationVerificationType);
    DWORD port = path->getNumericAttribute(L"Port");
    if (port == kAbsent)
        port = DestinationVerify::kDefaultPort;
    std::unique_ptr<DestinationVerify> verifier(
        DestinationVerifyFactory::Create(address, static_cast<int>(type), static_cast<uint32_t>(port)));
    return !verifier || verifier->Verify();
}

void ConfirmationDialog::addToFront(TargetHistoryList* history, PrintPath* path)
{
    if (!history || !path)
        return;
    if (history->size() + 1 > static_cast<size_t>(history->getLimit()))
        history->setLimit(history->getLimit() + 1);
    history->add(path);
}

bool ConfirmationDialog::addFoundPrinter(PrintPath* path, TreeViewNode* parentNode)
{
    if (!path || !tree_ || !tree_->getSelectedItem())
        return false;
    if (!parentNode)
        parentNode = root_;
    selectProfile(root_ ? root_->getText() : defaultProfileName_);
    const std::wstring display = path->getStringAttribute(PrintPathAttr::DisplayString);
    TreeViewNode* node = tree_->findChildByText(display, root_);
    if (!node)
        node = tree_->findChildByText(display, parentNode);
    if (node) {
        node->setData(reinterpret_cast<LPARAM>(path));
        node->setToolTip(path->getStringAttribute(PrintPathAttr::PrinterInfo));
    } else {
        auto* printer = new TreeViewNode(display, Kind::kPrinter, reinterpret_cast<LPARAM>(path));
        if (!tree_->insertNode(parentNode, printer, TVI_FIRST)) {
            delete printer;
            return false;
        }
        printer->setToolTip(path->getStringAttribute(PrintPathAttr::PrinterInfo));
        parentNode->setToolTip(L"");
        node = printer;
    }
    node->setEditable(true);
    TargetHistoryList* list =
        parentNode->getKind() == Kind::kProfile ? currentHistory_ : uncommitted_->getHistory();
    path->setNumericAttribute(L"NewlyDiscovered", 1, false);
    addToFront(list, path);
    tree_->selectNode(node);
    return true;
}

TreeViewNode* ConfirmationDialog::createProfile(const std::wstring& name)
{
    if (name.empty() || !tree_ || !root_)
        return nullptr;
    if (tree_->findChildByText(name, root_) || name == root_->getText() || name == defaultProfileName_) {
        const MPrint::ResourceLoader* loader = uitext::loader(getExtension());
        const std::wstring message =
            uitext::systemMessage(ERROR_OBJECT_ALREADY_EXISTS, loader ? loader->getLanguage() : 0, L"");
        showMessageBox(getWindow(), message.c_str(), text(IDS_RENAME_PROFILE).c_str(), MB_ICONHAND);
        return nullptr;
    }
    selectProfile(name);
    populateProfileNode(nullptr);
    return tree_->findChildByText(name, root_);
}

bool ConfirmationDialog::copyPrinterToProfile(TreeViewNode* profileNode, TreeViewNode* parentNode, PrintPath* path)
{
    if (!profileNode || !parentNode || !path || !tree_)
        return false;
    TreeViewNode* source = tree_->findChildByText(path->getStringAttribute(PrintPathAttr::DisplayString), parentNode);
    if (!source)
        return false;
    auto* copy = new TreeViewNode(*source);
    if (!tree_->insertNode(profileNode, copy, TVI_FIRST)) {
        delete copy;
        return false;
    }
    auto* duplicate = new PrintPath(*path);
    copy->setData(reinterpret_cast<LPARAM>(duplicate));
    addToFront(currentHistory_, duplicate);
    currentHistory_->save();
    return true;
}

bool ConfirmationDialog::moveNodeToProfile(TreeViewNode* node, TreeViewNode* profileNode)
{
    if (!node || !profileNode || !tree_)
        return false;
    PrintPath* path = pathOf(node);
    TreeViewNode* oldParent = node->getParent();
    HistoryProfile* from = nullptr;
    if (!oldParent || oldParent->getKind() != Kind::kProfile) {
        from = uncommitted_.get();
        tree_->selectNode(root_);
    }
    const std::wstring oldParentName = profileNameOf(oldParent);
    if (!tree_->moveNode(node, profileNode))
        return false;
    HistoryProfile* to = findProfile(profileNameOf(profileNode));
    bool added = false;
    if (to && path) {
        TargetHistoryList* target = to->getHistory();
        if (target->find(path) != target->end()) {
            target->moveToFront(path);
        } else {
            if (!from)
                from = findProfile(oldParentName);
            // The source gives the path up before the target owns it.
            if (from && from->getHistory()->detach(path)) {
                from->getHistory()->save();
                addToFront(target, path);
                added = true;
            }
        }
        target->save();
    }
    tree_->selectNode(node);
    return added;
}

void ConfirmationDialog::removePrinterFromProfile(TreeViewNode* parentNode, PrintPath* path,
                                                  TargetHistoryList* history, bool deleteNode)
{
    if (!parentNode || !path)
        return;
    if (!path->getStringAttribute(PrintPathAttr::Address).empty())
        deleteCacheFileOf(path);
    // The path's own node first: a printer moved in may share its name with
    // one already there, and deleting the other would leave this node on a
    // freed path.
    TreeViewNode* node = nullptr;
    if (deleteNode && tree_) {
        for (TreeViewNode* child = tree_->getFirstChild(parentNode); child && !node;
             child = tree_->getNextSibling(child)) {
            if (pathOf(child) == path)
                node = child;
        }
        if (!node)
            node = tree_->findChildByText(path->getStringAttribute(PrintPathAttr::DisplayString), parentNode);
    }
    if (history) {
        history->remove(path);
        history->save();
    }
    if (node) {
        deleteTreeNode(node);
        parentNode->setToolTip(L"");
    }
}

void ConfirmationDialog::clearProfile(TreeViewNode* node, HistoryProfile* profile)
{
    if (!profile)
        return;
    TargetHistoryList* history = profile->getHistory();
    while (history->size()) {
        const size_t before = history->size();
        removePrinterFromProfile(node, history->begin()->get(), history, true);
        if (history->size() >= before)
            break; // a path the list would not give up: no endless loop
    }
}

bool ConfirmationDialog::isAtOrBelow(TreeViewNode* node, TreeViewNode* ancestor) const
{
    for (; node; node = node->getParent()) {
        if (node == ancestor)
            return true;
    }
    return false;
}

bool ConfirmationDialog::deleteTreeNode(TreeViewNode* node)
{
    if (!node || !tree_)
        return false;
    if (isAtOrBelow(menuTarget_, node))
        menuTarget_ = nullptr;
    if (node == searchRoot_)
        searchRoot_ = nullptr;
    if (node == root_)
        root_ = nullptr;
    return tree_->deleteNode(node);
}

TreeViewNode* ConfirmationDialog::profileForMenuCommand(UINT command, UINT firstCommand)
{
    if (!menuTarget_ || !root_ || !tree_ || command <= firstCommand)
        return nullptr;
    TreeViewNode* parent = menuTarget_->getParent();
    UINT number = firstCommand + 1;
    if (parent != root_) {
        if (command == number)
            return root_;
        ++number;
    }
    for (TreeViewNode* group = tree_->getFirstChild(root_); group; group = tree_->getNextSibling(group)) {
        if (group->getKind() != Kind::kProfile || group == parent)
            continue;
        if (command == number)
            return group;
        ++number;
    }
    return nullptr;
}

INT_PTR ConfirmationDialog::onTreeCommand(WPARAM wParam, LPARAM)
{
    const UINT id = LOWORD(wParam);
    INT_PTR result = 1;
    TreeViewNode* newProfile = nullptr;
    switch (id) {
    case kCopyToNewProfile:
    case kMoveToNewProfile:
    case kNewProfile: {
        result = 0;
        EnterTextDialog entry(getExtension(), IDS_NEW_PROFILE, nullptr);
        if (doModal(&entry, getWindow(), EnterTextDialog::kTemplate, MAKELPARAM(IDS_NAME, IDS_PROFILE_NAME_LABEL)) ==
                IDOK &&
            !entry.getText().empty()) {
            newProfile = createProfile(entry.getText());
            if (newProfile)
                result = 1;
        }
        break;
    }
    case ConfirmDialogTreeViewControl::kDeletePrinter: {
        TreeViewNode* node = tree_ ? tree_->getNode(tree_->getSelectedItem()) : nullptr;
        PrintPath* path = pathOf(node);
        if (!path)
            return 1;
        const std::wstring question = format(IDS_REMOVE_PRINTER_FMT, node->getText());
        if (showMessageBox(getWindow(), question.c_str(), text(IDS_PROFILES).c_str(), MB_YESNO | MB_ICONQUESTION) !=
            IDYES)
            return 1;
        TreeViewNode* parent = node->getParent();
        HistoryProfile* profile = nullptr;
        if (parent && parent->getKind() == Kind::kProfile) {
            profile = findProfile(parent->getText());
        } else {
            profile = uncommitted_.get();
            tree_->selectNode(parent && parent->getKind() == Kind::kManualEntry ? root_ : searchRoot_);
        }
        if (profile)
            removePrinterFromProfile(parent, path, profile->getHistory(), true);
        break;
    }
    case ConfirmDialogTreeViewControl::kRenamePrinter:
    case ConfirmDialogTreeViewControl::kRenameProfile:
        if (tree_)
            tree_->editSelectedLabel();
        break;
    case kClearProfile: {
        // The selected profile node's own profile: the current one may be a
        // profile made since from the menu.
        TreeViewNode* node = tree_ ? tree_->getNode(tree_->getSelectedItem()) : nullptr;
        HistoryProfile* profile =
            node && node->getKind() == Kind::kProfile ? findProfile(profileNameOf(node)) : currentProfile_;
        if (!profile)
            return 1;
        const std::wstring question = format(IDS_CLEAR_HISTORY_FMT, profile->getName());
        if (showMessageBox(getWindow(), question.c_str(), text(IDS_PROFILES).c_str(), MB_YESNO | MB_ICONQUESTION) ==
            IDYES)
            clearProfile(node, profile);
        break;
    }
    case ConfirmDialogTreeViewControl::kDeleteProfile: {
        TreeViewNode* node = tree_ ? tree_->getNode(tree_->getSelectedItem()) : nullptr;
        if (!node || node == root_ || node->getKind() != Kind::kProfile)
            return 1;
        HistoryProfile* doomed = findProfile(profileNameOf(node));
        if (!doomed)
            return 1;
        const std::wstring name = doomed->getName();
        const std::wstring question = format(IDS_DELETE_PROFILE_FMT, name);
        if (showMessageBox(getWindow(), question.c_str(), text(IDS_PROFILES).c_str(), MB_YESNO | MB_ICONQUESTION) !=
            IDYES)
            return 1;
        clearProfile(node, doomed);
        getExtension()->getSettings()->removeCustomProfile(name.c_str());
        doomed->markForDelete();
        profiles_.remove_if([doomed](const std::unique_ptr<HistoryProfile>& p) { return p.get() == doomed; });
        currentProfile_ = nullptr;
        currentHistory_ = nullptr;
        selectProfile(defaultProfileName_);
        deleteTreeNode(node);
        break;
    }
    default:
        break;
    }
    if (id >= kCopyToNewProfile && id <= kLastMoveCommand && result == 1 && menuTarget_) {
        if (id == kCopyToNewProfile && newProfile)
            copyPrinterToProfile(newProfile, menuTarget_->getParent(), pathOf(menuTarget_));
        else if (id == kMoveToNewProfile && newProfile)
            moveNodeToProfile(menuTarget_, newProfile);
        else if (id > kMoveToNewProfile)
            moveNodeToProfile(menuTarget_, profileForMenuCommand(id, kMoveToNewProfile));
    }
    return result;
}

void ConfirmationDialog::onNodeRenamed(const NMTVDISPINFOW* dispInfo)
{
    if (!dispInfo || !tree_)
        return;
    TreeViewNode* node = tree_->getNodeOrSelected(dispInfo->item.hItem);
    if (!node)
        return;
    LumoraSettings* settings = getExtension()->getSettings();
    if (node->getKind() == Kind::kProfile && node->getData()) {
        auto* profile = reinterpret_cast<HistoryProfile*>(node->getData());
        settings->removeCustomProfile(profile->getName());
        settings->selectProfile(node->getText().c_str());
        profile->save(node->getText());
        profile->getHistory()->save();
        node->setToolTip(L"");
    } else if (PrintPath* path = pathOf(node)) {
        SetDlgItemTextW(getWindow(), IDC_CHOOSER_NICKNAME, node->getText().c_str());
        path->setStringAttribute(PrintPathAttr::Nickname, node->getText(), true);
        path->setStringAttribute(PrintPathAttr::DisplayString, node->getText(), true);
        TreeViewNode* parent = node->getParent();
        // The default profile's node carries no data but is a profile too:
        // its printers' new names are saved like any other's.
        if (parent && (parent->getData() || parent == root_)) {
            HistoryProfile* profile = parent->getKind() == Kind::kProfile ? findProfile(profileNameOf(parent)) : nullptr;
            if (!profile)
                profile = uncommitted_.get();
            profile->getHistory()->save();
            parent->setToolTip(L"");
        }
    }
}

// ---- selection, searches and the status check ----------------------------------------------

void ConfirmationDialog::onNodeSelected(TreeViewNode* node)
{
    HWND window = getWindow();
    stopStatusCheck();
    SetDlgItemTextW(window, IDC_CHOOSER_INFO, L"");
    SetDlgItemTextW(window, IDC_CHOOSER_NICKNAME, L"");
    invalidateControl(IDC_CHOOSER_INFO);
    invalidateControl(IDC_CHOOSER_NICKNAME);
    const UINT kind = node ? node->getKind() : 0;
    if (kind != Kind::kPrinter) {
        enableMakePermanent(false);
        EnableWindow(getDlgItem(IDOK), FALSE);
        EnableWindow(getDlgItem(IDC_CHOOSER_STATUS_BUTTON), FALSE);
    }
    switch (kind) {
    case Kind::kProfile:
        selectProfile(node->getText());
        return;
    case Kind::kSchemeList:
        searchWithService(node);
        RedrawWindow(getDlgItem(IDC_CHOOSER_TREE), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE);
        return;
    case Kind::kManagedList:
    case Kind::kService:
        searchWithService(node);
        return;
    case Kind::kManualEntry: {
        ManualPrinterEntryDialog entry(getExtension(), IDS_MANUAL_ENTRY_TITLE, text(IDS_MANUAL_ENTRY_EXAMPLE).c_str());
        if (doModal(&entry, window, EnterTextDialog::kTemplate, MAKELPARAM(IDS_PRINTER_ADDRESS_LABEL,
                                                                           IDS_MANUAL_ENTRY_PROMPT)) == 1)
            takeFoundPrinter(entry.takePrintPath(), node);
        return;
    }
    case Kind::kPrinter:
        break;
    default:
        return;
    }
    menuTarget_ = node;
    PrintPath* path = pathOf(node);
    if (!path) {
        selectProfile(node->getText());
        return;
    }
    SetDlgItemTextW(window, IDC_CHOOSER_INFO,
                    withCarriageReturns(path->getStringAttribute(PrintPathAttr::PrinterInfo)).c_str());
    std::wstring shown = path->getStringAttribute(PrintPathAttr::Nickname);
    if (shown.empty())
        shown = path->getStringAttribute(PrintPathAttr::DisplayString);
    SetDlgItemTextW(window, IDC_CHOOSER_NICKNAME, shown.c_str());
    invalidateControl(IDC_CHOOSER_NICKNAME);
    EnableWindow(getDlgItem(IDOK), TRUE);

    bool queueExists = false;
    if (!shown.empty() && shown[0] != L'\\') {
        HANDLE printer = nullptr;
        queueExists = OpenPrinterW(const_cast<wchar_t*>(shown.c_str()), &printer, nullptr) && printer;
        ScopedPrinter owner(printer);
    }
    enableMakePermanent(!shown.empty() && shown[0] != L'\\' && !queueExists);

    const std::wstring queue = printerName();
    const bool delivery = getExtension() && getExtension()->isJobDeliveryDestination(queue.c_str(), nullptr, path, nullptr);
    const bool statusAllowed = !delivery && path->getStringAttribute(L"ExternalBidiConfigData").empty();
    EnableWindow(getDlgItem(IDC_CHOOSER_STATUS_BUTTON), statusAllowed);
    if (statusAllowed && path->getNumericAttribute(L"NewlyDiscovered") == 1 &&
        path->getNumericAttribute(L"ShownCheckStatus") != 1) {
        PostMessageW(window, WM_COMMAND, IDC_CHOOSER_STATUS_BUTTON, 0);
        path->setNumericAttribute(L"ShownCheckStatus", 1, false);
    }
    showSecurePrinter(path);
}

void ConfirmationDialog::takeFoundPrinter(PrintPath* path, TreeViewNode* node)
{
    if (path && !addFoundPrinter(path, node))
        delete path;
}

INT_PTR ConfirmationDialog::runSearchDialog(TreeViewNode* node, DiscoveryServiceIntf* service, PrintPath*& chosen)
{
    chosen = nullptr;
    if (!service || !node)
        return 0;
    if (IsEqualGUID(classIdOf(service), discoveryids::kUsbPrintKey)) {
        // The print key's service searches without a dialog: its first path.
        PrintPathList found;
        if (service->Search(getWindow(), getExtension() ? getExtension()->getDestinationContext() : nullptr, found,
                            DiscoveryServiceIntf::kCapSearch) != 0 ||
            found.empty())
            return 0;
        chosen = found.front().release();
        return 1;
    }
    // Declared before the dialog, which uses them until it is gone.
    std::unique_ptr<CachedManagedListHost> listHost;
    std::unique_ptr<ManagedListParser> listParser;
    // A list service's parser, over a file cache of its own; null for another service.
    auto openList = [&]() -> ManagedPortDiscovery* {
        auto* list = dynamic_cast<ManagedPortDiscovery*>(service);
        if (!list)
            return nullptr;
        listHost = std::make_unique<CachedManagedListHost>();
        listParser = std::make_unique<ManagedListParser>(*listHost);
        listParser->setListName(list->getName());
        return list;
    };
    // The web page of a list in the lists' own scheme has a dialog of its own.
    if (node->getKind() == Kind::kSchemeList) {
        ManagedPortDiscovery* list = openList();
        if (!list)
            return 0;
        ManagedListWebBrowserDialog page(getExtension(), list, listParser.get(), &profiles_);
        if (page.browse(getWindow(), 1) != 1)
            return 0;
        chosen = page.takeChosenPath();
        return chosen ? 1 : 0;
    }
    const GUID classId = classIdOf(service);
    std::unique_ptr<SearchResultsDialog> search;
    if (IsEqualGUID(classId, discoveryids::kTcpIp)) {
        search = std::make_unique<TcpSearchResultsDialog>(getExtension(), service);
    } else if (service->GetSearchCapabilities() & DiscoveryServiceIntf::kCapManagedListDialog) {
        ManagedPortDiscovery* list = openList();
        if (!list)
            return 0;
        search = std::make_unique<ManagedListSearchResultsDialog>(getExtension(), list, listParser.get(), &profiles_);
    } else if (IsEqualGUID(classId, discoveryids::kNetworkShares)) {
        search = std::make_unique<UNCSearchResultsDialog>(getExtension(), service);
    } else {
        search = std::make_unique<SearchResultsDialog>(getExtension(), service);
    }
    chosen = search->choose(getWindow(), node->getText());
    return chosen ? 1 : 0;
}

GUID ConfirmationDialog::classIdOf(DiscoveryServiceIntf* service)
{
    if (DiscoveryServicesManager* manager = service ? DiscoveryServicesManager::GetInstance() : nullptr) {
        for (const auto& entry : *manager) {
            if (entry.second == service)
                return entry.first;
        }
    }
    return GUID{};
}

void ConfirmationDialog::searchWithService(TreeViewNode* node)
{
    DiscoveryServiceIntf* service = serviceOf(node);
    if (!service)
        return;
    PrintPath* chosen = nullptr;
    const size_t knownProfiles = profiles_.size();
    const INT_PTR searched = runSearchDialog(node, service, chosen);
    // A managed-list group saved as a profile during the search is one of
    // the user's groups now, not only after the chooser is opened again.
    const auto firstNew = static_cast<std::ptrdiff_t>(std::min(knownProfiles, profiles_.size()));
    for (auto profile = std::next(profiles_.begin(), firstNew); profile != profiles_.end(); ++profile) {
        selectProfile((*profile)->getName());
        populateProfileNode(nullptr);
    }
    if (searched == 1 && chosen) {
        showSecurePrinter(chosen);
        takeFoundPrinter(chosen, node);
    } else {
        delete chosen;
    }
    if (!service->IsRunning())
        service->Start();
}

bool ConfirmationDialog::addSearchNodes(TreeViewNode* searchRoot)
{
    if (!searchRoot || !tree_)
        return false;
    DiscoveryServicesManager* manager = DiscoveryServicesManager::GetInstance();
    LumoraSettings* settings = getExtension() ? getExtension()->getSettings() : nullptr;
    const bool restricted = settings && settings->isRestricted();
    ManagedPrintPolicy* rules = policy();
    bool added = false;
    auto insert = [this, searchRoot, &added](TreeViewNode* node, HTREEITEM where, const std::wstring& tip) {
        if (!tree_->insertNode(searchRoot, node, where)) {
            delete node;
            return;
        }
        node->setToolTip(tip);
        added = true;
    };
    if (!manager)
        return false;
    for (const auto& entry : *manager) {
        DiscoveryServiceIntf* service = entry.second;
        if (!service || !service->IsEnabled() || (rules && !rules->isDiscoveryServiceAllowed(entry.first)))
            continue;
        service->Start();
        const uint32_t caps = service->GetSearchCapabilities();
        const LPARAM data = reinterpret_cast<LPARAM>(service);
        if (caps & DiscoveryServiceIntf::kCapManagedList) {
            auto* list = dynamic_cast<ManagedPortDiscovery*>(service);
            if (!list || list->getName().empty() || list->getListLocation().empty())
                continue;
            const UINT kind = (caps & DiscoveryServiceIntf::kCapManagedListUrl) ? Kind::kSchemeList : Kind::kManagedList;
            insert(new TreeViewNode(format(IDS_PRINTER_LIST_FMT, list->getName()), kind, data), TVI_SORT,
                   text(IDS_MANAGED_PRINTERS_INFO));
        } else if ((caps & DiscoveryServiceIntf::kCapSearch) && service->IsRunning() && !restricted) {
            ComponentInfo info;
            if (ComponentRegistry::getComponentInfo(entry.first, info) != 0)
                continue;
            insert(new TreeViewNode(info.displayName, Kind::kService, data), TVI_SORT, info.thirdText);
        }
    }
    if (!restricted)
        insert(new TreeViewNode(text(IDS_MANUAL_ENTRY_TITLE), Kind::kManualEntry), TVI_FIRST,
               text(IDS_MANUAL_ENTRY_NODE));
    return added;
}

void ConfirmationDialog::enableMakePermanent(bool enable)
{
    HWND box = getDlgItem(IDC_CHOOSER_MAKE_PERMANENT);
    if (!box)
        return;
    if (ManagedPrintPolicy* rules = policy(); rules && !rules->getBool(L"ShowMakePermanent", false)) {
        ShowWindow(box, SW_HIDE);
        return;
    }
    bool allowed = enable && getExtension() && getExtension()->getDestinationContext();
    if (allowed &&
        (mode_ == LumoraPrintingExtension::kModeFirstJob || mode_ == LumoraPrintingExtension::kModeRetargetPausedJob)) {
        std::wstring queue = printerName();
        PRINTER_DEFAULTSW access = {nullptr, nullptr, PRINTER_ALL_ACCESS};
        HANDLE printer = nullptr;
        if (!OpenPrinterW(queue.data(), &printer, &access) && GetLastError() == ERROR_ACCESS_DENIED)
            allowed = false;
        ScopedPrinter owner(printer);
    }
    EnableWindow(box, allowed);
    if (!allowed) {
        if (GetFocus() == box)
            SendMessageW(getWindow(), WM_NEXTDLGCTL, 0, FALSE);
        if (makePermanent_)
            makePermanent_->setChecked(false);
    }
}

void ConfirmationDialog::showSecurePrinter(PrintPath* path)
{
    HWND mark = getDlgItem(IDC_CHOOSER_SECURE);
    const std::wstring queue = printerName();
    const bool secure = path && path->getNumericAttribute(L"SecurePrinter") == 1 && getExtension() &&
                        getExtension()->isJobDeliveryDestination(queue.c_str(), nullptr, path, nullptr);
    if (secure)
        ShowWindow(mark, SW_SHOW);
    else if (IsWindowVisible(mark))
        ShowWindow(mark, SW_HIDE);
}

void ConfirmationDialog::startStatusCheck(HWND button)
{
    if (!menuTarget_)
        return;
    EnableWindow(button, FALSE);
    if (statusChecker_)
        stopStatusCheck();
    else
        statusChecker_ = std::make_unique<SNPCheckStatus>();
    PrintPath* path = pathOf(menuTarget_);
    const std::wstring address = path ? path->getStringAttribute(PrintPathAttr::Address) : std::wstring();
    ShowWindow(getDlgItem(IDC_CHOOSER_STATUS), SW_HIDE);
    const std::wstring queue = printerName();
    HWND progress = getDlgItem(IDC_CHOOSER_PROGRESS);
    if (progress && statusChecker_->isSupported(queue.c_str())) {
        SendMessageW(progress, PBM_SETRANGE, 0, MAKELPARAM(0, kProgressRange));
        SendMessageW(progress, PBM_SETPOS, 0, 0);
        SendMessageW(progress, PBM_SETSTEP, 1, 0);
        ShowWindow(progress, SW_SHOW);
        SetTimer(getWindow(), kProgressTimer, kProgressPeriod, nullptr);
    }
    if (statusChecker_->getHostedDeviceStatus(queue.c_str(), address.c_str(), getDlgItem(IDC_CHOOSER_STATUS))) {
        SetCursor(cursor(IDC_APPSTARTING));
        EnableWindow(getDlgItem(IDOK), FALSE);
        SetWindowPos(button, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    } else {
        EnableWindow(button, TRUE);
    }
}

void ConfirmationDialog::stopStatusCheck()
{
    if (!statusChecker_)
        return;
    statusChecker_->closeHostedDeviceStatus();
    ShowWindow(getDlgItem(IDC_CHOOSER_STATUS), SW_HIDE);
    invalidateControl(IDC_CHOOSER_STATUS);
    UpdateWindow(getWindow());
}

INT_PTR ConfirmationDialog::onTimer(WPARAM wParam, LPARAM)
{
    HWND window = getWindow();
    if (wParam == kProgressTimer) {
        SendMessageW(getDlgItem(IDC_CHOOSER_PROGRESS), PBM_STEPIT, 0, 0);
        bool finished = !statusChecker_;
        if (statusChecker_) {
            const DWORD status = statusChecker_->getLastStatus();
            for (DWORD done : kStatusDone)
                finished = finished || status == done;
        }
        if (finished) {
            KillTimer(window, kProgressTimer);
            SendMessageW(getDlgItem(IDC_CHOOSER_PROGRESS), PBM_SETPOS, kProgressRange, 0);
            SetTimer(window, kStatusEndTimer, kStatusEndDelay, nullptr);
        }
        return 1;
    }
    if (wParam == kStatusEndTimer) {
        KillTimer(window, kStatusEndTimer);
        SetCursor(cursor(IDC_ARROW));
        ShowWindow(getDlgItem(IDC_CHOOSER_PROGRESS), SW_HIDE);
        ShowWindow(getDlgItem(IDC_CHOOSER_STATUS), SW_SHOW);
        EnableWindow(getDlgItem(IDC_CHOOSER_STATUS_BUTTON), TRUE);
        EnableWindow(getDlgItem(IDOK), TRUE);
        return 1;
    }
    return 0;
}

INT_PTR ConfirmationDialog::onNotify(WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    auto* header = reinterpret_cast<NMHDR*>(lParam);
    if (!header || header->idFrom != IDC_CHOOSER_TREE || !tree_)
        return LumoraDialog::onNotify(wParam, lParam, result);
    if (header->code == TVN_SELCHANGEDW && active_) {
        auto* change = reinterpret_cast<NMTREEVIEWW*>(header);
        if (change->itemNew.hItem)
            onNodeSelected(tree_->getNode(change->itemNew.hItem));
    }
    const bool handled = tree_->onNotify(header, result);
    // Only an accepted edit renames: a refused one keeps the old name.
    if (header->code == TVN_ENDLABELEDITW && handled && result) {
        onNodeRenamed(reinterpret_cast<NMTVDISPINFOW*>(header));
        TreeViewNode* selected = tree_->getNode(tree_->getSelectedItem());
        if (selected && selected->getKind() == Kind::kProfile)
            EnableWindow(getDlgItem(IDOK), FALSE);
    } else if (header->code == TVN_BEGINLABELEDITW) {
        TreeViewNode* selected = tree_->getNode(tree_->getSelectedItem());
        if (selected && selected->isEditable())
            EnableWindow(getDlgItem(IDOK), TRUE);
    }
    return handled ? 1 : 0;
}

INT_PTR ConfirmationDialog::onMouse(UINT message, WPARAM wParam, LPARAM lParam)
{
    HWND window = getWindow();
    const POINT point = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    auto inside = [&point](const RECT& area) {
        return point.x >= area.left && point.x <= area.right && point.y >= area.top && point.y <= area.bottom;
    };
    const bool onSettings = inside(settingsLink_) && IsWindowVisible(getDlgItem(IDC_CHOOSER_SETTINGS_LINK));
    const bool onPolicy = inside(policyLink_) && IsWindowVisible(getDlgItem(IDC_CHOOSER_POLICY_LINK));
    switch (message) {
    case WM_MOUSEMOVE:
        if ((onSettings || onPolicy) && !linkHot_) {
            SetCapture(window);
            SetCursor(cursor(IDC_HAND));
            linkHot_ = true;
        } else if (!onSettings && !onPolicy && linkHot_) {
            ReleaseCapture();
            SetCursor(cursor(IDC_ARROW));
            linkHot_ = false;
        }
        return 1;
    case WM_LBUTTONUP: {
        if (linkHot_) {
            ReleaseCapture();
            SetCursor(cursor(IDC_ARROW));
            linkHot_ = false;
            if (onSettings)
                PostMessageW(window, WM_COMMAND, IDC_CHOOSER_SETTINGS_LINK, 0);
            else if (onPolicy)
                PostMessageW(window, WM_COMMAND, IDC_CHOOSER_POLICY_LINK, 0);
            return 1;
        }
        RECT banner = {};
        POINT screen = point;
        ClientToScreen(window, &screen);
        std::wstring version;
        if (GetWindowRect(getDlgItem(IDC_CHOOSER_BANNER), &banner) && screen.x > banner.left &&
            screen.x < banner.right && screen.y > banner.top && screen.y < banner.bottom && getVersionString(version)) {
            const std::wstring title = windowText(window, 255);
            const std::wstring body = title + L"\n\n" + version;
            const MPrint::ResourceLoader* loader = uitext::loader(getExtension());
            MSGBOXPARAMSW box = {};
            box.cbSize = sizeof(box);
            box.hwndOwner = window;
            box.hInstance = uitext::resourceModule(getExtension());
            box.lpszText = body.c_str();
            box.lpszCaption = title.c_str();
            box.dwStyle = MB_USERICON;
            box.lpszIcon = MAKEINTRESOURCEW(IDI_PRODUCT);
            box.dwLanguageId = loader ? loader->getLanguage() : 0;
            MessageBoxIndirectW(&box);
            return 1;
        }
        break;
    }
    case WM_RBUTTONDBLCLK:
        CachedFileReader().clearCache();
        if (ManagedPrintPolicy::hasInstance())
            ManagedPrintPolicy::instance()->reset();
        // Ends without the history save and the question of endDialog; the
        // nodes still go with the tree.
        dropTree();
        EndDialog(window, kResultShowAgain);
        return 1;
    default:
        break;
    }
    return LumoraDialog::onMouse(message, wParam, lParam);
}

bool ConfirmationDialog::getVersionString(std::wstring& out)
{
    wchar_t path[MAX_PATH + 1] = {};
    const DWORD length = GetModuleFileNameW(ModuleEntry::moduleHandle(), path, MAX_PATH + 1);
    VS_FIXEDFILEINFO fixed = {};
    // A cut path would name another file.
    if (length == 0 || length > MAX_PATH || !getFileVersionInfoFixed(path, fixed))
        return false;
    wchar_t text[64] = {};
    wsprintfW(text, L"Ver %d.%d.%d.%d", HIWORD(fixed.dwFileVersionMS), LOWORD(fixed.dwFileVersionMS),
              HIWORD(fixed.dwFileVersionLS), LOWORD(fixed.dwFileVersionLS));
    out = text;
    return true;
}

} // namespace MPrint
