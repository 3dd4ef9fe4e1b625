#include "ui/ManagedListSearchResultsDialog.h"

#include "core/AutoLock.h"
#include "destination/HistoryProfile.h"
#include "destination/PrintPathAttr.h"
#include "destination/TargetHistoryList.h"
#include "discovery/ManagedListParser.h"
#include "discovery/ManagedPortDiscovery.h"
#include "extension/LumoraPrintingExtension.h"
#include "extension/LumoraSettings.h"
#include "ui/resources/ManagedListSearchResultsDialogIds.h"
#include "ui/resources/StringIds.h"

#include <utility>
#include <vector>

namespace {

// LB_FINDSTRINGEXACT ignores case; group names do not.
LRESULT findExact(HWND list, const std::wstring& text)
{
    LRESULT start = -1;
    for (;;) {
        const LRESULT index = SendMessageW(list, LB_FINDSTRINGEXACT, start, reinterpret_cast<LPARAM>(text.c_str()));
        if (index == LB_ERR || index <= start)
            return LB_ERR;
        const LRESULT length = SendMessageW(list, LB_GETTEXTLEN, index, 0);
        std::wstring item(length > 0 ? length : 0, L'\0');
        if (length > 0)
            SendMessageW(list, LB_GETTEXT, index, reinterpret_cast<LPARAM>(item.data()));
        if (item == text)
            return index;
        start = index;
    }
}

} // namespace

ManagedListSearchResultsDialog::ManagedListSearchResultsDialog(LumoraPrintingExtension* extension,
                                                               MPrint::ManagedPortDiscovery* service,
                                                               MPrint::ManagedListParser* parser,
                                                               HistoryProfileList* profiles)
    : SearchResultsDialog(extension, service), parser_(parser), managedService_(service), profiles_(profiles)
{
    if (managedService_)
        managedService_->setSearchHandler(&ManagedListSearchResultsDialog::searchHandler, this);
    if (parser_ && parser_->getCount() > 0)
        needsReading_ = false;
}

ManagedListSearchResultsDialog::~ManagedListSearchResultsDialog()
{
    // The service outlives the dialog: no search may reach it afterwards.
    deleteSearch();
    if (managedService_)
        managedService_->setSearchHandler(nullptr, nullptr);
    if (ownsChosen_)
        delete getChosenPath();
}

UINT ManagedListSearchResultsDialog::getTemplateId() const
{
    return IDD_MANAGED_LIST_SEARCH;
}

INT_PTR ManagedListSearchResultsDialog::onInitDialog(WPARAM wParam, LPARAM lParam)
{
    if (HWND groups = getDlgItem(IDC_MANAGED_GROUPS)) {
        RECT box = {};
        GetWindowRect(groups, &box);
        SendMessageW(groups, LB_SETHORIZONTALEXTENT, 3 * (box.right - box.left), 0);
    }
    ShowWindow(getDlgItem(IDC_SEARCH_SECURE), SW_HIDE);
    return SearchResultsDialog::onInitDialog(wParam, lParam);
}

bool ManagedListSearchResultsDialog::startDiscovery()
{
    SendDlgItemMessageW(getWindow(), IDC_MANAGED_GROUPS, LB_RESETCONTENT, 0, 0);
    LumoraSettings* settings = getExtension() ? getExtension()->getSettings() : nullptr;
    HWND saveBox = getDlgItem(IDC_MANAGED_SAVE_PROFILE);
    if (settings && settings->isProfilesEnabled() && profiles_) {
        EnableWindow(saveBox, FALSE);
    } else {
        ShowWindow(saveBox, SW_HIDE);
        profiles_ = nullptr;
    }
    // A search after a finished one reads the list again; the first shows
    // what the parser already holds.
    if (searchedBefore_ && isSearchFinished() && parser_) {
        clearResultList();
        setChosenPath(nullptr);
        parser_->clear();
        needsReading_ = true;
    }
    searchedBefore_ = true;
    lastReported_.clear();
    return SearchResultsDialog::startDiscovery();
}

uint32_t ManagedListSearchResultsDialog::searchHandler(MPrint::ManagedPortDiscovery* service, HWND, PrintPathList&,
                                                       void* context)
{
    if (service && service->IsCancelled())
        return MPrint::DiscoveryServiceIntf::kCancelled;
    auto* dialog = static_cast<ManagedListSearchResultsDialog*>(context);
    if (!service || !dialog || !dialog->parser_)
        return MPrint::DiscoveryServiceIntf::kNotApplicable;
    const std::wstring location = service->getListLocation();
    if (location.empty())
        return 0;
    if (!dialog->needsReading_) {
        dialog->showAllGroups();
        return 0;
    }
    uint32_t count = 0;
    const uint32_t result = dialog->parser_->Parse(location.c_str(), &count, &ManagedListSearchResultsDialog::onPrinter,
                                                   dialog, static_cast<int>(service->getListType()));
    dialog->needsReading_ = false;
    return result;
}

void ManagedListSearchResultsDialog::onPrinter(void* context, const MPrint::ManagedPrinterRecord& record,
                                               const MPrint::ManagedPrinterCaps&)
{
    auto* dialog = static_cast<ManagedListSearchResultsDialog*>(context);
    if (!dialog || !dialog->parser_)
        return;
    if (dialog->managedService_ && dialog->managedService_->IsCancelled()) {
        // The box ends once the search has: the rest of a long list is not
        // read for nothing.
        dialog->parser_->stop();
        return;
    }
    if (!record.groupName || !*record.groupName)
        return;
    const std::wstring group = record.groupName;
    MPrint::PrintPath* newest = nullptr;
    {
        MPrint::AutoLock lock(&dialog->parser_->groups().getLock());
        PrintPathList* printers = dialog->parser_->find(group);
        if (printers && !printers->empty())
            newest = printers->back().get();
    }
    // Not filed (the address did not resolve): nothing new to show.
    MPrint::PrintPath*& last = dialog->lastReported_[group];
    if (!newest || newest == last)
        return;
    last = newest;
    dialog->addGroupPrinter(group, newest);
}

std::wstring ManagedListSearchResultsDialog::selectedGroup() const
{
    HWND groups = getDlgItem(IDC_MANAGED_GROUPS);
    const LRESULT index = groups ? SendMessageW(groups, LB_GETCURSEL, 0, 0) : LB_ERR;
    if (index == LB_ERR)
        return {};
    const LRESULT length = SendMessageW(groups, LB_GETTEXTLEN, index, 0);
    if (length <= 0)
        return {};
    std::wstring text(length, L'\0');
    SendMessageW(groups, LB_GETTEXT, index, reinterpret_cast<LPARAM>(text.data()));
    return text;
}

void ManagedListSearchResultsDialog::addGroupPrinter(const std::wstring& group, MPrint::PrintPath* path)
{
    HWND groups = getDlgItem(IDC_MANAGED_GROUPS);
    if (!groups) {
        addResult(path);
        return;
    }
    LRESULT index = findExact(groups, group);
    if (index == LB_ERR)
        index = SendMessageW(groups, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(group.c_str()));
    if (SendMessageW(groups, LB_GETCURSEL, 0, 0) == LB_ERR) {
        addResult(path);
        SendMessageW(groups, LB_SETCURSEL, index, 0);
    } else if (selectedGroup().substr(0, kMaxGroupText) == group.substr(0, kMaxGroupText)) {
        addResult(path);
    }
}

void ManagedListSearchResultsDialog::showAllGroups()
{
    if (!parser_)
        return;
    // Listed outside the lock: listing sends messages to the dialog, whose
    // thread may be waiting for the lock.
    std::vector<std::pair<std::wstring, MPrint::PrintPath*>> printers;
    {
        MPrint::AutoLock lock(&parser_->groups().getLock());
        for (uint32_t i = 0; i < parser_->getCount(); ++i) {
            std::wstring name;
            if (PrintPathList* group = parser_->getAt(i, &name)) {
                for (auto& path : *group)
                    printers.emplace_back(name, path.get());
            }
        }
    }
    for (const auto& [name, path] : printers)
        addGroupPrinter(name, path);
}

bool ManagedListSearchResultsDialog::canSaveAsProfile(const std::wstring& group) const
{
    if (!profiles_ || group.empty())
        return false;
    for (const auto& profile : *profiles_) {
        if (profile.get() && group == profile.get()->getName())
            return false;
    }
    return true;
}

INT_PTR ManagedListSearchResultsDialog::onCommand(WPARAM wParam, LPARAM lParam)
{
    if (LOWORD(wParam) == IDC_MANAGED_GROUPS && HIWORD(wParam) == LBN_SELCHANGE) {
        EnableWindow(getDlgItem(IDOK), FALSE);
        SetDlgItemTextW(getWindow(), IDC_SEARCH_DETAILS, L"");
        invalidateControl(IDC_SEARCH_DETAILS);
        EnableWindow(getDlgItem(IDC_MANAGED_SAVE_PROFILE), FALSE);
        const std::wstring group = selectedGroup();
        if (!group.empty() && parser_) {
            clearResultList();
            {
                MPrint::AutoLock lock(&parser_->groups().getLock());
                if (PrintPathList* printers = parser_->find(group)) {
                    for (auto& path : *printers)
                        addResult(path.get());
                }
            }
            if (canSaveAsProfile(group))
                EnableWindow(getDlgItem(IDC_MANAGED_SAVE_PROFILE), TRUE);
            ShowWindow(getDlgItem(IDC_SEARCH_SECURE), SW_HIDE);
        }
    }
    return SearchResultsDialog::onCommand(wParam, lParam);
}

void ManagedListSearchResultsDialog::onDiscoveryDone(bool)
{
    SearchResultsDialog::onDiscoveryDone(false);
    const LRESULT printers = SendDlgItemMessageW(getWindow(), IDC_SEARCH_LIST, LB_GETCOUNT, 0, 0);
    const LRESULT groups = SendDlgItemMessageW(getWindow(), IDC_MANAGED_GROUPS, LB_GETCOUNT, 0, 0);
    if (printers <= 0 && groups <= 0)
        setStatusText(IDS_NO_PRINTERS_FOUND);
    if (canSaveAsProfile(selectedGroup()))
        EnableWindow(getDlgItem(IDC_MANAGED_SAVE_PROFILE), TRUE);
}

void ManagedListSearchResultsDialog::endDialog(INT_PTR result)
{
    SearchResultsDialog::endDialog(result);
    if (result == IDOK && profiles_ &&
        SendDlgItemMessageW(getWindow(), IDC_MANAGED_SAVE_PROFILE, BM_GETCHECK, 0, 0) == BST_CHECKED)
        saveGroupAsProfile();
}

void ManagedListSearchResultsDialog::saveGroupAsProfile()
{
    const std::wstring name = selectedGroup();
    EnableWindow(getDlgItem(IDOK), FALSE);
    SetDlgItemTextW(getWindow(), IDC_SEARCH_DETAILS, L"");
    clearResultList();
    LumoraSettings* settings = getExtension() ? getExtension()->getSettings() : nullptr;
    if (!settings || !parser_ || name.empty())
        return;
    MPrint::AutoLock lock(&parser_->groups().getLock());
    PrintPathList* printers = parser_->find(name);
    if (!printers || printers->empty())
        return;
    savedAsProfile_ = true;
    // The group's paths go to the profile, whose history may trim them at
    // once: the caller's choice is a copy of its own.
    if (MPrint::PrintPath* chosen = getChosenPath()) {
        setChosenPath(new MPrint::PrintPath(*chosen));
        ownsChosen_ = true;
    }
    settings->selectProfile(name.c_str());
    auto* history = new TargetHistoryList(settings->getTargetHistoryKey());
    profiles_->push_back(std::make_unique<MPrint::HistoryProfile>(name, history));
    for (auto& entry : *printers)
        history->add(entry.release());
    history->save();
    printers->clear();
}

MPrint::PrintPath* ManagedListSearchResultsDialog::takeChosenPath()
{
    MPrint::PrintPath* chosen = getChosenPath();
    if (!chosen)
        return nullptr;
    if (savedAsProfile_) {
        setChosenPath(nullptr);
        ownsChosen_ = false;
        return chosen;
    }
    if (!parser_)
        return nullptr;
    MPrint::AutoLock lock(&parser_->groups().getLock());
    PrintPathList* printers = parser_->find(chosen->getStringAttribute(PrintPathAttr::ManagedGroupXMLAdded));
    if (!printers)
        return nullptr;
    for (auto it = printers->begin(); it != printers->end(); ++it) {
        if (it->get() == chosen) {
            it->release();
            printers->erase(it);
            setChosenPath(nullptr);
            return chosen;
        }
    }
    return nullptr;
}
