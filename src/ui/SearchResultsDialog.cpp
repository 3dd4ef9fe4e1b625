#include "ui/SearchResultsDialog.h"

#include "destination/DestinationContext.h"
#include "destination/PrintPathAttr.h"
#include "discovery/DiscoveryServiceIntf.h"
#include "extension/LumoraPrintingExtension.h"
#include "ui/OwnerDrawBitmap.h"
#include "ui/ProsumerButton.h"
#include "ui/UiText.h"
#include "ui/resources/BitmapIds.h"
#include "ui/resources/SearchResultsDialogIds.h"
#include "ui/resources/StringIds.h"

SearchResultsDialog::BackgroundDiscovery::BackgroundDiscovery(HWND dialog, MPrint::DiscoveryServiceIntf* service,
                                                              uint32_t flags, LumoraPrintingExtension* extension,
                                                              WPARAM generation)
    : dialog_(dialog), service_(service), flags_(flags), extension_(extension), generation_(generation)
{
}

SearchResultsDialog::BackgroundDiscovery::~BackgroundDiscovery()
{
    results_.clear();
}

void SearchResultsDialog::BackgroundDiscovery::run()
{
    if (cancelled_ || !service_) {
        resultCode_ = MPrint::DiscoveryServiceIntf::kCancelled;
    } else {
        MPrint::DestinationContext* context = extension_ ? extension_->getDestinationContext() : nullptr;
        resultCode_ = service_->Search(dialog_, context, results_, flags_);
    }
    PostMessageW(dialog_, kDiscoveryDone, generation_, 0);
}

SearchResultsDialog::SearchResultsDialog(LumoraPrintingExtension* extension, MPrint::DiscoveryServiceIntf* service)
    : AnimatingStatusDialog(extension), service_(service)
{
}

SearchResultsDialog::~SearchResultsDialog()
{
    deleteSearch();
    if (notifyWindowSet_ && service_)
        service_->SetNotifyWindow(previousNotifyWindow_);
}

void SearchResultsDialog::deleteSearch()
{
    if (worker_)
        worker_->joinPumping(INFINITE);
    worker_.reset();
    inlineRunnable_.reset();
    runnable_ = nullptr;
}

UINT SearchResultsDialog::getTemplateId() const
{
    return IDD_SEARCH_RESULTS;
}

MPrint::PrintPath* SearchResultsDialog::choose(HWND parent, const std::wstring& heading)
{
    const INT_PTR result = doModal(this, parent, getTemplateId(), reinterpret_cast<LPARAM>(heading.c_str()));
    return result == IDOK ? takeChosenPath() : nullptr;
}

MPrint::PrintPath* SearchResultsDialog::takeChosenPath()
{
    MPrint::PrintPath* chosen = chosen_;
    if (!chosen || !runnable_)
        return chosen;
    PrintPathList& results = runnable_->results();
    for (auto& entry : results) {
        if (entry.get() == chosen) {
            entry.release();
            break;
        }
    }
    results.clear();
    chosen_ = nullptr;
    return chosen;
}

INT_PTR SearchResultsDialog::onInitDialog(WPARAM wParam, LPARAM lParam)
{
    for (int id : {IDC_SEARCH_AGAIN, IDC_SEARCH_STOP}) {
        if (HWND control = getDlgItem(id)) {
            auto* button = new ProsumerButton(control, id, ProsumerButton::kGrey);
            if (!addOwnerDrawControl(control, button)) {
                delete button;
                if (id == IDC_SEARCH_AGAIN)
                    DestroyWindow(control);
            }
        }
    }
    if (HWND picture = getDlgItem(IDC_SEARCH_SECURE)) {
        auto* bitmap = new OwnerDrawBitmap(picture, IDC_SEARCH_SECURE);
        bitmap->setTransparent(true, OwnerDrawBitmap::kMagenta);
        if (addOwnerDrawControl(picture, bitmap))
            bitmap->loadBitmap(IDB_SECURE, uitext::resourceModule(getExtension()));
        else
            delete bitmap;
        ShowWindow(picture, SW_HIDE);
    }
    const INT_PTR result = AnimatingStatusDialog::onInitDialog(wParam, lParam);
    // Enabled by a selection only.
    EnableWindow(getDlgItem(IDOK), FALSE);
    if (HWND heading = getDlgItem(IDC_SEARCH_HEADING)) {
        if (lParam)
            SetWindowTextW(heading, reinterpret_cast<const wchar_t*>(lParam));
        if (headingFont_.create(heading, 800))
            SendMessageW(heading, WM_SETFONT, reinterpret_cast<WPARAM>(headingFont_.get()), TRUE);
    }
    if (HWND subheading = getDlgItem(IDC_SEARCH_SUBHEADING)) {
        if (subheadingFont_.create(subheading, 700, -2))
            SendMessageW(subheading, WM_SETFONT, reinterpret_cast<WPARAM>(subheadingFont_.get()), TRUE);
    }
    if (HWND list = getDlgItem(IDC_SEARCH_LIST)) {
        RECT box = {};
        GetWindowRect(list, &box);
        SendMessageW(list, LB_SETHORIZONTALEXTENT, 3 * (box.right - box.left), 0);
    }
    startDiscovery();
    return result;
}

void SearchResultsDialog::clearResultList()
{
    SendDlgItemMessageW(getWindow(), IDC_SEARCH_LIST, LB_RESETCONTENT, 0, 0);
}

bool SearchResultsDialog::startDiscovery()
{
    searchFinished_ = false;
    cancelRequested_ = false;
    stopRequested_ = false;
    clearResultList();
    EnableWindow(getDlgItem(IDC_SEARCH_AGAIN), FALSE);
    EnableWindow(getDlgItem(IDC_SEARCH_STOP), TRUE);
    startAnimation();
    if (!service_) {
        PostMessageW(getWindow(), kDiscoveryDone, ++generation_, 0);
        return false;
    }

    const bool onWorker = (service_->GetSearchCapabilities() & MPrint::DiscoveryServiceIntf::kCapWorkerThread) != 0;
    auto* runnable = new BackgroundDiscovery(getWindow(), service_, onWorker ? kWorkerSearchFlags : kSearchFlags,
                                             getExtension(), ++generation_);
    runnable_ = runnable;
    if (!onWorker) {
        inlineRunnable_.reset(runnable);
        runnable->run();
        return true;
    }
    HWND previous = service_->SetNotifyWindow(getDlgItem(IDC_SEARCH_STATUS));
    if (!notifyWindowSet_) {
        previousNotifyWindow_ = previous;
        notifyWindowSet_ = true;
    }
    worker_ = std::make_unique<MPrint::Thread>(runnable);
    if (worker_->start())
        return true;
    // Without a worker nothing would end the search.
    worker_.reset();
    runnable_ = nullptr;
    PostMessageW(getWindow(), kDiscoveryDone, generation_, 0);
    return false;
}

void SearchResultsDialog::addResult(MPrint::PrintPath* path)
{
    if (!path)
        return;
    const std::wstring& display = path->getStringAttribute(PrintPathAttr::DisplayString);
    if (display.empty())
        return;
    const LRESULT index = SendDlgItemMessageW(getWindow(), IDC_SEARCH_LIST, LB_ADDSTRING, 0,
                                              reinterpret_cast<LPARAM>(display.c_str()));
    if (index >= 0)
        SendDlgItemMessageW(getWindow(), IDC_SEARCH_LIST, LB_SETITEMDATA, index, reinterpret_cast<LPARAM>(path));
}

void SearchResultsDialog::stopDiscovery()
{
    if (worker_ && worker_->isRunning()) {
        worker_->joinPumping(INFINITE);
        searchFinished_ = true;
    }
    stopAnimation();
}

void SearchResultsDialog::onDiscoveryDone(bool)
{
    searchFinished_ = true;
    EnableWindow(getDlgItem(IDC_SEARCH_AGAIN), TRUE);
    stopAnimation();
    const LRESULT count = SendDlgItemMessageW(getWindow(), IDC_SEARCH_LIST, LB_GETCOUNT, 0, 0);
    setStatusText(count > 0 ? IDS_SELECT_AND_OK : IDS_NO_PRINTERS_FOUND);
}

HCURSOR SearchResultsDialog::beginWait()
{
    HCURSOR previous = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    setStatusText(IDS_PLEASE_WAIT);
    return previous;
}

void SearchResultsDialog::endWait(HCURSOR cursor)
{
    SetCursor(cursor);
}

void SearchResultsDialog::setStatusText(LPARAM value)
{
    const std::wstring text = uitext::textOrStringId(getExtension(), value);
    SetDlgItemTextW(getWindow(), IDC_SEARCH_STATUS, text.c_str());
    invalidateControl(IDC_SEARCH_STATUS);
}

void SearchResultsDialog::showDetails(MPrint::PrintPath* path)
{
    if (!path)
        return;
    SetDlgItemTextW(getWindow(), IDC_SEARCH_DETAILS, path->getStringAttribute(PrintPathAttr::PrinterInfo).c_str());
    invalidateControl(IDC_SEARCH_DETAILS);
    setStatusText(IDS_SELECT_AND_OK);

    bool secure = false;
    LumoraPrintingExtension* extension = getExtension();
    MPrint::DestinationContext* context = extension ? extension->getDestinationContext() : nullptr;
    if (context && path->getNumericAttribute(PrintPathAttr::SecurePrinter) == 1)
        secure = extension->isJobDeliveryDestination(context->getPrinterName().c_str(), nullptr, path, nullptr);
    ShowWindow(getDlgItem(IDC_SEARCH_SECURE), secure ? SW_SHOW : SW_HIDE);
}

MPrint::PrintPath* SearchResultsDialog::listBoxSelection() const
{
    HWND list = getDlgItem(IDC_SEARCH_LIST);
    wchar_t className[16] = {};
    // The TCP/IP template's list is a list view, which answers no LB_ message.
    if (!list || !GetClassNameW(list, className, 16) || lstrcmpiW(className, L"ListBox") != 0)
        return nullptr;
    const LRESULT index = SendMessageW(list, LB_GETCURSEL, 0, 0);
    if (index == LB_ERR)
        return nullptr;
    const LRESULT data = SendMessageW(list, LB_GETITEMDATA, index, 0);
    return data == LB_ERR ? nullptr : reinterpret_cast<MPrint::PrintPath*>(data);
}

void SearchResultsDialog::endDialog(INT_PTR result)
{
    HCURSOR cursor = beginWait();
    stopDiscovery();
    endWait(cursor);
    KillTimer(getWindow(), kCancelRepeatTimer);
    headingFont_.reset();
    subheadingFont_.reset();
    if (result == IDOK) {
        chosen_ = listBoxSelection();
    } else if (runnable_) {
        clearResultList();
        runnable_->results().clear();
    }
    stopAnimation();
    LumoraDialog::endDialog(result);
}

void SearchResultsDialog::requestCancel()
{
    if (runnable_)
        runnable_->cancel();
    if (service_)
        service_->RequestCancel();
    SetTimer(getWindow(), kCancelRepeatTimer, kCancelRepeatInterval, nullptr);
}

INT_PTR SearchResultsDialog::onTimer(WPARAM wParam, LPARAM lParam)
{
    if (wParam != kCancelRepeatTimer)
        return AnimatingStatusDialog::onTimer(wParam, lParam);
    if (searchFinished_ || !service_)
        KillTimer(getWindow(), kCancelRepeatTimer);
    else
        service_->RequestCancel();
    return 1;
}

bool SearchResultsDialog::handleSearchMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    HWND window = getWindow();
    if (message == WM_CLOSE) {
        closeRequested_ = true;
        if (!cancelRequested_ && !stopRequested_) {
            PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
            return true;
        }
        // The pending request ends the box once the search has ended.
        stopDiscovery();
        return true;
    }
    if (message == kDiscoveryDone) {
        if (wParam != generation_)
            return true;
        KillTimer(window, kCancelRepeatTimer);
        onDiscoveryDone(cancelRequested_);
        if (cancelRequested_)
            PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
        if (stopRequested_)
            PostMessageW(window, WM_COMMAND, IDC_SEARCH_STOP, 0);
        return true;
    }
    if (message != WM_COMMAND)
        return false;

    const WORD id = LOWORD(wParam);
    if (id == MPrint::DiscoveryServiceIntf::kResultCommand) {
        addResult(reinterpret_cast<MPrint::PrintPath*>(lParam));
        return true;
    }
    if (id == IDCANCEL && HIWORD(wParam) == 0) {
        if (searchFinished_) {
            SetCursor(LoadCursorW(nullptr, IDC_ARROW));
            return false;
        }
        beginWait();
        cancelRequested_ = true;
        requestCancel();
        return true;
    }
    if (id == IDC_SEARCH_STOP && HIWORD(wParam) == 0) {
        if (searchFinished_) {
            SetCursor(LoadCursorW(nullptr, IDC_ARROW));
            endDialog(IDC_SEARCH_STOP);
        } else if (!stopRequested_) {
            stopRequested_ = true;
            beginWait();
            requestCancel();
            EnableWindow(getDlgItem(IDC_SEARCH_STOP), FALSE);
        }
        return true;
    }
    if (id == IDC_SEARCH_LIST && HIWORD(wParam) == LBN_SELCHANGE) {
        if (MPrint::PrintPath* path = listBoxSelection()) {
            setStatusText(IDS_CHECKING_PRINTER);
            EnableWindow(getDlgItem(IDOK), TRUE);
            showDetails(path);
        } else {
            EnableWindow(getDlgItem(IDOK), FALSE);
            ShowWindow(getDlgItem(IDC_SEARCH_SECURE), SW_HIDE);
        }
        return false;
    }
    if (id == IDC_SEARCH_AGAIN && HIWORD(wParam) == BN_CLICKED) {
        HCURSOR cursor = beginWait();
        SetDlgItemTextW(window, IDC_SEARCH_DETAILS, L"");
        ShowWindow(getDlgItem(IDC_SEARCH_SECURE), SW_HIDE);
        stopDiscovery();
        // The list shows paths of the results about to be freed.
        clearResultList();
        chosen_ = nullptr;
        deleteSearch();
        if (service_) {
            service_->Stop();
            service_->Start();
        }
        endWait(cursor);
        startDiscovery();
        return true;
    }
    return false;
}

INT_PTR SearchResultsDialog::dialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != WM_INITDIALOG && getWindow() && handleSearchMessage(message, wParam, lParam)) {
        SetWindowLongPtrW(window, DWLP_MSGRESULT, 0);
        return 1;
    }
    return AnimatingStatusDialog::dialogProc(window, message, wParam, lParam);
}
