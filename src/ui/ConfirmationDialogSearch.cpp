// The chooser's reactions to a selected node (a profile, a search or list
// node, manual entry, a printer), the search nodes, the make-permanent box,
// the status check, the links and the version box.
#include "ui/ConfirmationDialog.h"

#include "VagantUIExtension/DiscoveryServicesManager.h"
#include "bidi/SNPCheckStatus.h"
#include "core/ComponentRegistry.h"
#include "core/FileVersion.h"
#include "destination/HistoryProfile.h"
#include "destination/PrintPath.h"
#include "destination/PrintPathAttr.h"
#include "discovery/DiscoveryClassIds.h"
#include "discovery/DiscoveryServiceIntf.h"
#include "discovery/ManagedListParser.h"
#include "discovery/ManagedPortDiscovery.h"
#include "extension/CachedFileReader.h"
#include "extension/CachedManagedListHost.h"
#include "extension/LumoraPrintingExtension.h"
#include "extension/ManagedPrintPolicy.h"
#include "extension/ModuleEntry.h"
#include "ui/ConfirmationDialogShared.h"
#include "ui/EnterTextDialog.h"
#include "ui/ManagedListSearchResultsDialog.h"
#include "ui/ManagedListWebBrowserDialog.h"
#include "ui/ManualPrinterEntryDialog.h"
#include "ui/OwnerDrawAutoButton.h"
#include "ui/SearchResultsDialog.h"
#include "ui/TcpSearchResultsDialog.h"
#include "ui/UNCSearchResultsDialog.h"
#include "ui/UiText.h"
#include "ui/resources/ConfirmationDialogIds.h"
#include "ui/resources/IconIds.h"
#include "ui/resources/StringIds.h"

#include <commctrl.h>

#include <algorithm>
#include <iterator>

namespace MPrint {

namespace {

constexpr DWORD kStatusDone[] = {4, 7, 8};
constexpr int kProgressRange = 50;

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

} // namespace

using namespace chooser;

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
