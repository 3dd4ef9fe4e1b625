// The printer groups of managed lists, newest first, each owning the print
// paths filed in it. One worker files paths while a dialog's thread reads:
// every operation here takes the list's lock, and a reader that walks a
// returned printer list holds getLock() (AutoLock) for as long as it does.
#pragma once

#include "core/SyncObject.h"
#include "destination/PrintPath.h"

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace MPrint {

class ManagedGroupList {
public:
    ManagedGroupList();
    ~ManagedGroupList();
    ManagedGroupList(const ManagedGroupList&) = delete;
    ManagedGroupList& operator=(const ManagedGroupList&) = delete;

    uint32_t getCount() const;
    // Index 0 is the newest group; null past the end (name untouched).
    PrintPathList* getAt(uint32_t index, std::wstring* name) const;
    // Exact, case-sensitive name.
    PrintPathList* find(const std::wstring& name) const;
    // The newest group made as a default group; null when there is none.
    PrintPathList* findDefault(std::wstring* name) const;
    // A new group in front, also when one of that name exists.
    PrintPathList* addGroup(const std::wstring& name, bool isDefault);
    // Appends the path to the group of that name (made when missing), or to
    // a new default group of that name, and takes ownership of it.
    void file(const std::wstring& name, bool newDefault, PrintPath* path);
    // Frees every group and its print paths.
    void clear();

    SyncObject& getLock() const { return lock_; }

private:
    struct Group {
        std::wstring name;
        PrintPathList printers;
        bool isDefault;
    };

    mutable SyncObject lock_; // guards groups_, byName_ and every group's printers
    std::vector<std::unique_ptr<Group>> groups_; // oldest first
    std::unordered_map<std::wstring, Group*> byName_; // the newest group of each name
};

} // namespace MPrint
