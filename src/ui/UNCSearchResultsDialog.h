// The shared-printer dialog (template 111): no background search; the user
// types a network path or browses (the service's search, on the dialog's
// thread). OK resolves the typed path, validates the device and closes
// only when both succeeded. The chosen path is this dialog's until
// takeChosenPath hands it out; one still held is deleted with the dialog.
#pragma once

#include "ui/SearchResultsDialog.h"

class UNCSearchResultsDialog : public SearchResultsDialog {
public:
    static constexpr int kMaxPathText = 256;

    UNCSearchResultsDialog(LumoraPrintingExtension* extension, MPrint::DiscoveryServiceIntf* service);
    ~UNCSearchResultsDialog() override;

    UINT getTemplateId() const override;
    INT_PTR onInitDialog(WPARAM wParam, LPARAM lParam) override;
    INT_PTR onCommand(WPARAM wParam, LPARAM lParam) override;
    void endDialog(INT_PTR result) override;
    bool startDiscovery() override;
    void addResult(MPrint::PrintPath* path) override;
    MPrint::PrintPath* takeChosenPath() override;
    void showDetails(MPrint::PrintPath* path) override;

    // A path of at least three backslashes ("\\server\" and on) may be tried.
    static bool isCompletePath(const std::wstring& text);

private:
    std::wstring pathText() const;
    // Makes the single path of the list the chosen one; false otherwise.
    bool takeSingle(PrintPathList& list);

    bool pathMatchesText_ = false; // the chosen path stands for the text of the path box
};
