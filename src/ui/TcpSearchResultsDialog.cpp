#include "ui/TcpSearchResultsDialog.h"

#include "core/InternetHelpers.h"
#include "destination/PrintPathAttr.h"
#include "discovery/TCPIPAddressDiscovery.h"
#include "ui/UiText.h"
#include "ui/resources/StringIds.h"
#include "ui/resources/TcpSearchResultsDialogIds.h"

#include <commctrl.h>

#include <algorithm>
#include <cwchar>

TcpSearchResultsDialog::TCPBackgroundResolve::TCPBackgroundResolve(MPrint::TCPIPAddressDiscovery* service,
                                                                   MPrint::PrintPath* path, HWND dialog)
    : service_(service), path_(path), copy_(*path), dialog_(dialog)
{
}

void TcpSearchResultsDialog::TCPBackgroundResolve::run()
{
    if (service_)
        service_->ResolveName(dialog_, &copy_, kResolveTimeoutMs);
    PostMessageW(dialog_, WM_COMMAND, kResolvedCommand, reinterpret_cast<LPARAM>(path_));
}

TcpSearchResultsDialog::TcpSearchResultsDialog(LumoraPrintingExtension* extension,
                                               MPrint::DiscoveryServiceIntf* service)
    : SearchResultsDialog(extension, service)
{
}

TcpSearchResultsDialog::~TcpSearchResultsDialog()
{
    deleteResolve();
}

UINT TcpSearchResultsDialog::getTemplateId() const
{
    return IDD_TCP_SEARCH;
}

void TcpSearchResultsDialog::deleteResolve()
{
    if (resolveThread_)
        resolveThread_->joinPumping(INFINITE);
    resolveThread_.reset();
    resolve_ = nullptr;
}

INT_PTR TcpSearchResultsDialog::onInitDialog(WPARAM wParam, LPARAM lParam)
{
    if (HWND list = getDlgItem(IDC_SEARCH_LIST)) {
        RECT client = {};
        GetClientRect(list, &client);
        std::wstring title = uitext::load(getExtension(), IDS_PRINTER);
        LVCOLUMNW column = {};
        column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT;
        column.fmt = LVCFMT_LEFT;
        column.cx = client.right - client.left;
        column.pszText = title.data();
        SendMessageW(list, LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&column));
    }
    // The heading is kept as text: a service name is never a format.
    if (lParam)
        heading_.assign(reinterpret_cast<const wchar_t*>(lParam), 0,
                        std::min<size_t>(265, std::wcslen(reinterpret_cast<const wchar_t*>(lParam))));
    return SearchResultsDialog::onInitDialog(wParam, lParam);
}

void TcpSearchResultsDialog::clearResultList()
{
    SendDlgItemMessageW(getWindow(), IDC_SEARCH_LIST, LVM_DELETEALLITEMS, 0, 0);
}

bool TcpSearchResultsDialog::startDiscovery()
{
    resultCount_ = 0;
    // A resolve made for the previous results is of no use now.
    deleteResolve();
    setChosenPath(nullptr);
    clearResultList();
    return SearchResultsDialog::startDiscovery();
}

void TcpSearchResultsDialog::addResult(MPrint::PrintPath* path)
{
    if (!path)
        return;
    const std::wstring& display = path->getStringAttribute(PrintPathAttr::DisplayString);
    if (display.empty())
        return;
    ++resultCount_;
    if (!heading_.empty()) {
        const std::wstring heading = heading_ + L" (" + std::to_wstring(resultCount_) + L")";
        SetDlgItemTextW(getWindow(), IDC_SEARCH_HEADING, heading.c_str());
        invalidateControl(IDC_SEARCH_HEADING);
    }
    std::wstring text = display;
    LVITEMW item = {};
    item.mask = LVIF_TEXT | LVIF_PARAM;
    item.iItem = 0;
    item.pszText = text.data();
    item.lParam = reinterpret_cast<LPARAM>(path);
    const LRESULT index = SendDlgItemMessageW(getWindow(), IDC_SEARCH_LIST, LVM_INSERTITEMW, 0,
                                              reinterpret_cast<LPARAM>(&item));
    if (index >= 0)
        SendDlgItemMessageW(getWindow(), IDC_SEARCH_LIST, LVM_UPDATE, index, 0);
}

int TcpSearchResultsDialog::compareByDisplay(const MPrint::PrintPath* first, const MPrint::PrintPath* second,
                                             int direction)
{
    const std::wstring& a = first ? first->getStringAttribute(PrintPathAttr::DisplayString) : std::wstring();
    const std::wstring& b = second ? second->getStringAttribute(PrintPathAttr::DisplayString) : std::wstring();
    int result;
    if (a.empty())
        result = -1;
    else if (b.empty())
        result = 1;
    else
        result = std::wcscmp(a.c_str(), b.c_str());
    return direction == -1 ? -result : result;
}

int CALLBACK TcpSearchResultsDialog::compareItems(LPARAM first, LPARAM second, LPARAM sort)
{
    const int direction = HIWORD(sort) == 0xFFFF ? -1 : 1;
    return compareByDisplay(reinterpret_cast<const MPrint::PrintPath*>(first),
                            reinterpret_cast<const MPrint::PrintPath*>(second), direction);
}

INT_PTR TcpSearchResultsDialog::onNotify(WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    auto* header = reinterpret_cast<NMHDR*>(lParam);
    if (!header || header->idFrom != IDC_SEARCH_LIST)
        return SearchResultsDialog::onNotify(wParam, lParam, result);
    if (header->code == LVN_COLUMNCLICK) {
        const auto* view = reinterpret_cast<NMLISTVIEW*>(lParam);
        if (view->iSubItem == sortColumn_)
            sortDirection_ = -sortDirection_;
        sortColumn_ = view->iSubItem;
        const LPARAM sort = MAKELPARAM(static_cast<WORD>(sortColumn_), static_cast<WORD>(sortDirection_));
        SendMessageW(header->hwndFrom, LVM_SORTITEMS, sort, reinterpret_cast<LPARAM>(&compareItems));
        result = 0;
        return 1;
    }
    if (header->code == LVN_ITEMCHANGED) {
        const auto* view = reinterpret_cast<NMLISTVIEW*>(lParam);
        if ((view->uNewState & LVIS_SELECTED) && view->lParam) {
            auto* path = reinterpret_cast<MPrint::PrintPath*>(view->lParam);
            showDetails(path);
            setChosenPath(path);
            result = 0;
            return 1;
        }
    }
    return SearchResultsDialog::onNotify(wParam, lParam, result);
}

void TcpSearchResultsDialog::createResolve(MPrint::PrintPath* path)
{
    auto* service = dynamic_cast<MPrint::TCPIPAddressDiscovery*>(getService());
    resolve_ = new TCPBackgroundResolve(service, path, getWindow());
    resolveThread_ = std::make_unique<MPrint::Thread>(resolve_);
}

void TcpSearchResultsDialog::showDetails(MPrint::PrintPath* path)
{
    if (!path)
        return;
    if (path->getNumericAttribute(PrintPathAttr::Resolved) == 1) {
        SearchResultsDialog::showDetails(path);
        return;
    }
    SetDlgItemTextW(getWindow(), IDC_SEARCH_DETAILS, uitext::load(getExtension(), IDS_CHECKING_PRINTER).c_str());
    invalidateControl(IDC_SEARCH_DETAILS);
    if (!resolveThread_) {
        createResolve(path);
        // During a search the resolve waits for its end.
        if (isSearchFinished()) {
            startAnimation();
            resolveThread_->start();
        }
    }
    EnableWindow(getDlgItem(IDOK), FALSE);
}

MPrint::PrintPath* TcpSearchResultsDialog::selectedPath() const
{
    HWND list = getDlgItem(IDC_SEARCH_LIST);
    const LRESULT index = list ? SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED) : -1;
    if (index < 0)
        return nullptr;
    LVITEMW item = {};
    item.mask = LVIF_PARAM;
    item.iItem = static_cast<int>(index);
    if (!SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item)))
        return nullptr;
    return reinterpret_cast<MPrint::PrintPath*>(item.lParam);
}

// The resolve's answers, taken over on the dialog's thread.
static void takeOver(MPrint::PrintPath& path, const MPrint::PrintPath& resolved)
{
    for (const auto& [name, attribute] : resolved.attributes()) {
        if (attribute.type == MPrint::PrintPathAttribute::Numeric)
            path.setNumericAttribute(name, attribute.number, attribute.persist);
        else if (attribute.type == MPrint::PrintPathAttribute::Binary)
            path.setBinaryAttribute(name, attribute.bytes.data(), attribute.bytes.size(), attribute.persist);
        else
            path.setStringAttribute(name, attribute.text, attribute.persist);
    }
    path.setDevice(resolved.getDevice(), resolved.isDevicePresent());
}

INT_PTR TcpSearchResultsDialog::onCommand(WPARAM wParam, LPARAM lParam)
{
    if (LOWORD(wParam) != kResolvedCommand)
        return SearchResultsDialog::onCommand(wParam, lParam);
    auto* resolved = reinterpret_cast<MPrint::PrintPath*>(lParam);
    // A report of a resolve dropped by a new search.
    if (!resolve_ || resolve_->getPath() != resolved)
        return 1;
    resolveThread_->joinPumping(INFINITE);
    takeOver(*resolved, resolve_->getResolved());

    MPrint::PrintPath* selected = selectedPath();
    MPrint::PrintPath* next = nullptr;
    if (!selected) {
        EnableWindow(getDlgItem(IDC_SEARCH_AGAIN), TRUE);
        EnableWindow(getDlgItem(IDOK), FALSE);
        setStatusText(IDS_SELECT_AND_OK);
    } else if (selected == resolved) {
        SearchResultsDialog::showDetails(resolved);
        if (resolved->getNumericAttribute(PrintPathAttr::Resolved) == 1) {
            EnableWindow(getDlgItem(IDOK), TRUE);
            const std::wstring& address = resolved->getStringAttribute(PrintPathAttr::Address);
            if (GetKeyState(VK_CONTROL) < 0 && !address.empty())
                openUrlAsync((L"http://" + address).c_str(), getWindow());
        }
    } else {
        next = selected;
    }
    deleteResolve();
    if (next) {
        createResolve(next);
        resolveThread_->start();
    } else if (isSearchFinished()) {
        stopAnimation();
    }
    return 1;
}

void TcpSearchResultsDialog::onDiscoveryDone(bool cancelled)
{
    if (resolveThread_ && !cancelled) {
        setSearchFinished(true);
        if (!resolveThread_->isRunning())
            resolveThread_->start();
        return;
    }
    SearchResultsDialog::onDiscoveryDone(false);
    const LRESULT count = SendDlgItemMessageW(getWindow(), IDC_SEARCH_LIST, LVM_GETITEMCOUNT, 0, 0);
    if (count > 0)
        setStatusText(IDS_SELECT_AND_OK);
    EnableWindow(getDlgItem(IDC_SEARCH_AGAIN), TRUE);
}

void TcpSearchResultsDialog::stopDiscovery()
{
    if (resolveThread_ && resolveThread_->isRunning())
        resolveThread_->joinPumping(INFINITE);
    SearchResultsDialog::stopDiscovery();
}

void TcpSearchResultsDialog::endDialog(INT_PTR result)
{
    MPrint::PrintPath* chosen = getChosenPath();
    SearchResultsDialog::endDialog(result);
    if (result == IDOK)
        setChosenPath(chosen);
}
