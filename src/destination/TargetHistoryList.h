// The destinations printed to recently, newest first, stored in the
// registry one print-path document per value ("Target%d", "TargetAge%d",
// "HistoryLength", "HistoryLimit"). Entries compare by object identity, not
// content. A transient list lives only in memory: load and save do nothing.
// Unreadable entries are skipped when loading; failed writes are not
// reported by save.
#pragma once

#include "core/RegistryKey.h"
#include "destination/PrintPath.h"

#include <string>

class TargetHistoryList {
public:
    using iterator = PrintPathList::iterator;

    static constexpr int kDefaultLimit = 10;

    // Keeps a handle of its own on the key.
    explicit TargetHistoryList(const RegistryKey& key);
    TargetHistoryList(const TargetHistoryList&) = delete;
    TargetHistoryList& operator=(const TargetHistoryList&) = delete;

    void setTransient(bool transient) { transient_ = transient; }
    bool isTransient() const { return transient_; }

    // Both always true. load does not apply the limit.
    bool load();
    bool save();

    int getLimit() const { return limit_; }
    size_t size() const { return entries_.size(); }
    // Trims from the back at once; the limit itself is written by save.
    void setLimit(int limit);

    // Takes ownership and puts the path in front, then trims the oldest
    // beyond the limit. The new front, or end() when the limit left no room
    // even for it (the path is then deleted).
    iterator add(MPrint::PrintPath* path);
    bool moveToFront(const MPrint::PrintPath* path);
    // Erases the entry; the path is deleted unless another holder shares it.
    bool remove(const MPrint::PrintPath* path);
    // Erases the entry without deleting the path, which the caller now owns.
    bool detach(const MPrint::PrintPath* path);
    iterator find(const MPrint::PrintPath* path);
    iterator begin() { return entries_.begin(); }
    iterator end() { return entries_.end(); }
    // The path's "DisplayString"; empty at end().
    std::wstring getDisplayString(iterator position);
    void clear() { entries_.clear(); }

    // The key load and save use from now on (a profile's new name).
    void setKey(const RegistryKey& key) { key_ = key; }
    RegistryKey& getKey() { return key_; }

private:
    void trimTo(int limit);
    MPrint::PrintPath* readEntry(DWORD index);
    MPrint::PrintPath* resolveOlderEntry(const std::wstring& text);
    DWORD storedValueCount();

    PrintPathList entries_;
    int limit_ = kDefaultLimit;
    RegistryKey key_;
    bool transient_ = false;
};
