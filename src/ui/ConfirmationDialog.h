// The destination chooser (template 102): one tree of the user's history
// profiles and their printers, a search node per discovery service, the
// managed printer lists and manual entry. It lets the user search, type an
// address, rename and sort printers into profiles, and on OK verifies the
// chosen printer, records it in the history and hands its name to the
// extension. Results: 1 chosen, 2 cancelled, 4 show a fresh chooser.
// Profiles are saved as they change; printers found by searches live in a
// transient "Uncommitted" profile until they are chosen or copied.
#pragma once

#include "core/ScopedHandle.h"
#include "ui/ConfirmDialogTreeViewControl.h"
#include "ui/DerivedFont.h"
#include "ui/LumoraDialog.h"

#include <list>
#include <memory>
#include <string>

class OwnerDrawAutoButton;
class TargetHistoryList;

namespace MPrint {

class DiscoveryServiceIntf;
class HistoryProfile;
class PrintPath;
class SNPCheckStatus;

class ConfirmationDialog : public LumoraDialog, public ConfirmDialogTreeOwner {
public:
    using ProfileList = std::list<std::unique_ptr<HistoryProfile>>;
    using Kind = ConfirmDialogTreeViewControl::Kind;

    static constexpr UINT kTemplate = 102;
    static constexpr INT_PTR kResultChosen = 1;
    static constexpr INT_PTR kResultCancelled = 2;
    static constexpr INT_PTR kResultShowAgain = 4;
    static constexpr UINT_PTR kProgressTimer = 11181;
    static constexpr UINT kProgressPeriod = 377;
    static constexpr UINT_PTR kStatusEndTimer = 11693;
    static constexpr UINT kStatusEndDelay = 688;
    // Menu and key commands of the tree.
    static constexpr UINT kCopyToNewProfile = 3001;
    static constexpr UINT kMoveToNewProfile = 3501;
    static constexpr UINT kLastMoveCommand = 4000;
    static constexpr UINT kNewProfile = 4011;
    static constexpr UINT kClearProfile = 4013;

    ConfirmationDialog(LumoraPrintingExtension* extension, DWORD mode);
    ~ConfirmationDialog() override;

    HWND getWindow() const override { return LumoraDialog::getWindow(); }
    INT_PTR onInitDialog(WPARAM wParam, LPARAM lParam) override;
    INT_PTR onCtlColor(UINT message, HDC hdc, HWND control) override;
    INT_PTR onCommand(WPARAM wParam, LPARAM lParam) override;
    INT_PTR onNotify(WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    INT_PTR onTimer(WPARAM wParam, LPARAM lParam) override;
    INT_PTR onMouse(UINT message, WPARAM wParam, LPARAM lParam) override;
    void endDialog(INT_PTR result) override;

    bool moveNodeToProfile(TreeViewNode* node, TreeViewNode* profileNode) override;
    virtual void onNodeSelected(TreeViewNode* node);
    virtual void searchWithService(TreeViewNode* node);
    virtual void populateProfileNode(TreeViewNode* profileNode);
    virtual void buildTree();
    virtual bool addSearchNodes(TreeViewNode* searchRoot);
    virtual void enableMakePermanent(bool enable);
    // 1 when the dialog may end with 1.
    virtual INT_PTR onOK();
    // Whether the path was added; when not, the caller still owns it.
    virtual bool addFoundPrinter(PrintPath* path, TreeViewNode* parentNode);
    virtual TreeViewNode* createProfile(const std::wstring& name);
    virtual bool copyPrinterToProfile(TreeViewNode* profileNode, TreeViewNode* parentNode, PrintPath* path);
    virtual INT_PTR onTreeCommand(WPARAM wParam, LPARAM lParam);
    virtual void onNodeRenamed(const NMTVDISPINFOW* dispInfo);
    virtual void removePrinterFromProfile(TreeViewNode* parentNode, PrintPath* path, TargetHistoryList* history,
                                          bool deleteNode);
    virtual void clearProfile(TreeViewNode* node, HistoryProfile* profile);
    // The profile node the printer menu numbered with this command.
    virtual TreeViewNode* profileForMenuCommand(UINT command, UINT firstCommand);
    virtual HistoryProfile* findProfile(const std::wstring& name);
    virtual TargetHistoryList* selectProfile(const std::wstring& name);
    virtual void showSecurePrinter(PrintPath* path);
    virtual void startStatusCheck(HWND button);
    virtual void stopStatusCheck();
    virtual bool getVersionString(std::wstring& out);
    virtual bool isDestinationReachable(PrintPath* path);

    // Runs the search dialog of a search or list node: its result (1 when a
    // printer was chosen, which `chosen` then holds for the caller).
    virtual INT_PTR runSearchDialog(TreeViewNode* node, DiscoveryServiceIntf* service, PrintPath*& chosen);

    ConfirmDialogTreeViewControl* getTree() const { return tree_.get(); }
    TreeViewNode* getRootNode() const { return root_; }
    TreeViewNode* getSearchRoot() const { return searchRoot_; }
    TreeViewNode* getMenuTarget() const { return menuTarget_; }
    HistoryProfile* getCurrentProfile() const { return currentProfile_; }
    HistoryProfile* getUncommittedProfile() const { return uncommitted_.get(); }
    ProfileList& getProfiles() { return profiles_; }
    SNPCheckStatus* getStatusChecker() const { return statusChecker_.get(); }
    DWORD getMode() const { return mode_; }
    bool isAutoOK() const { return autoOK_; }

private:
    // Deletes the node and every pointer this dialog keeps to it or to a
    // node below it.
    bool deleteTreeNode(TreeViewNode* node);
    // The discovery manager's class id of the service; GUID_NULL when none.
    static GUID classIdOf(DiscoveryServiceIntf* service);
    bool isAtOrBelow(TreeViewNode* node, TreeViewNode* ancestor) const;
    // Deletes every node and forgets the pointers into the tree.
    void dropTree();
    std::wstring profileNameOf(TreeViewNode* profileNode) const;
    std::wstring printerName() const;
    void showStageMessage(DWORD stage, DWORD failure, TreeViewNode* node, PrintPath* path,
                          const std::wstring& nickname);
    RECT linkRect(int id, const std::wstring& text);
    void setHeading(LPARAM lParam);
    void addToFront(TargetHistoryList* history, PrintPath* path);
    void takeFoundPrinter(PrintPath* path, TreeViewNode* node);
    void setMenuTarget(TreeViewNode* node) { menuTarget_ = node; }
    std::wstring text(UINT id) const;
    std::wstring format(UINT id, const std::wstring& argument) const;

    TargetHistoryList* currentHistory_ = nullptr;
    HistoryProfile* currentProfile_ = nullptr;
    ProfileList profiles_;
    DWORD mode_;
    TreeViewNode* root_ = nullptr;
    std::unique_ptr<ConfirmDialogTreeViewControl> tree_;
    TreeViewNode* menuTarget_ = nullptr;
    std::wstring defaultProfileName_;
    std::unique_ptr<SNPCheckStatus> statusChecker_;
    std::unique_ptr<HistoryProfile> uncommitted_;
    TreeViewNode* searchRoot_ = nullptr;
    RECT settingsLink_ = {};
    RECT policyLink_ = {};
    bool linkHot_ = false;
    OwnerDrawAutoButton* makePermanent_ = nullptr; // owned by the window base
    bool active_ = true;
    bool autoOK_ = false;
    DerivedFont linkFont_;
    DerivedFont headingFont_;
    DerivedFont nicknameFont_;
};

} // namespace MPrint
