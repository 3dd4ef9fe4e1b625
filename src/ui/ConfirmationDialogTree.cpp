// The chooser's tree: profiles and their printers built from the histories,
// and the tree's commands that add, copy, move, rename and remove them.
#include "ui/ConfirmationDialog.h"

#include "bidi/DestinationVerify.h"
#include "bidi/DestinationVerifyFactory.h"
#include "destination/HistoryProfile.h"
#include "destination/PrintPath.h"
#include "destination/PrintPathAttr.h"
#include "destination/TargetHistoryList.h"
#include "extension/LumoraPrintingExtension.h"
#include "ui/ConfirmationDialogShared.h"
#include "ui/CustomDrawTreeViewNode.h"
#include "ui/EnterTextDialog.h"
#include "ui/PrinterGroupTreeViewNode.h"
#include "ui/UiText.h"
#include "ui/resources/ConfirmationDialogIds.h"
#include "ui/resources/StringIds.h"

#include <commctrl.h>

namespace MPrint {

namespace {

constexpr wchar_t kCustomProfiles[] = L"CustomProfiles";

} // namespace

using namespace chooser;

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

} // namespace MPrint
