// The search results of one managed printer list (template 107): the list
// is read on the search worker, its groups fill one list box and the
// selected group's printers the other. With the box ticked, OK saves the
// selected group as a profile of that name. The chosen path is released
// from its group for the caller; after a save as profile the caller gets a
// copy of its own, as the group's paths now belong to the profile.
//
// Entry point for the chooser: choose(parent, heading) as for every search
// dialog, then isSavedAsProfile(); the parser and the profile list are the
// chooser's and outlive the dialog.
#pragma once

#include "ui/SearchResultsDialog.h"

#include <list>
#include <map>
#include <memory>

namespace MPrint {
class HistoryProfile;
class ManagedListParser;
class ManagedPortDiscovery;
struct ManagedPrinterCaps;
struct ManagedPrinterRecord;
}

// The chooser's own list of profiles (ConfirmationDialog::ProfileList).
using HistoryProfileList = std::list<std::unique_ptr<MPrint::HistoryProfile>>;

class ManagedListSearchResultsDialog : public SearchResultsDialog {
public:
    static constexpr int kMaxGroupText = 383;

    // The profile list may be null (no saving as profile).
    ManagedListSearchResultsDialog(LumoraPrintingExtension* extension, MPrint::ManagedPortDiscovery* service,
                                   MPrint::ManagedListParser* parser, HistoryProfileList* profiles);
    ~ManagedListSearchResultsDialog() override;

    UINT getTemplateId() const override;
    INT_PTR onInitDialog(WPARAM wParam, LPARAM lParam) override;
    INT_PTR onCommand(WPARAM wParam, LPARAM lParam) override;
    void endDialog(INT_PTR result) override;
    MPrint::PrintPath* takeChosenPath() override;
    bool startDiscovery() override;
    void onDiscoveryDone(bool cancelled) override;

    virtual bool isSavedAsProfile() const { return savedAsProfile_; }
    virtual void showAllGroups();
    virtual void addGroupPrinter(const std::wstring& group, MPrint::PrintPath* path);

protected:
    MPrint::ManagedListParser* getParser() const { return parser_; }
    MPrint::ManagedPortDiscovery* getManagedService() const { return managedService_; }

private:
    static uint32_t searchHandler(MPrint::ManagedPortDiscovery* service, HWND window, PrintPathList& list,
                                  void* context);
    static void onPrinter(void* context, const MPrint::ManagedPrinterRecord& record,
                          const MPrint::ManagedPrinterCaps& caps);
    std::wstring selectedGroup() const;
    // Ticking is offered for a selected group no profile is named after.
    bool canSaveAsProfile(const std::wstring& group) const;
    void saveGroupAsProfile();

    MPrint::ManagedListParser* parser_;
    MPrint::ManagedPortDiscovery* managedService_;
    HistoryProfileList* profiles_;
    bool needsReading_ = true;
    bool savedAsProfile_ = false;
    bool searchedBefore_ = false;
    bool ownsChosen_ = false;
    // The newest path of each group handed to the worker's callback: a
    // record that made no path hands the same one again.
    std::map<std::wstring, MPrint::PrintPath*> lastReported_;
};
