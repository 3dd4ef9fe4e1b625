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

// The stored layout, shared by the list and the migration of older histories.
namespace historylayout {
// The subkey of a profile's key that holds its history.
inline constexpr wchar_t kKeyName[] = L"Target History";
inline constexpr wchar_t kLimitValue[] = L"HistoryLimit";
inline constexpr wchar_t kLengthValue[] = L"HistoryLength";
inline constexpr DWORD kDefaultLimit = 10;
inline std::wstring targetName(DWORD index) { return L"Target" + std::to_wstring(index); }
inline std::wstring ageName(DWORD index) { return L"TargetAge" + std::to_wstring(index); }
// The number of values the key holds: every stored entry needs one, so no
// walk over a stored length goes further.
DWORD storedValueCount(const RegistryKey& key);
} // namespace historylayout

// Turns an entry an older release stored ("name=address" or a bare address)
// into a path; the discovery services manager is the one the product uses.
class OlderEntryResolver {
public:
    virtual ~OlderEntryResolver() = default;
    // A new path the caller owns, or null when none resolves it.
    virtual MPrint::PrintPath* resolveOlderEntry(const std::wstring& address, const std::wstring& name,
                                                 const std::wstring& display) = 0;
};

class TargetHistoryList {
public:
    using iterator = PrintPathList::iterator;

    static constexpr int kDefaultLimit = static_cast<int>(historylayout::kDefaultLimit);

    // Keeps a handle of its own on the key.
    explicit TargetHistoryList(const RegistryKey& key);
    TargetHistoryList(const TargetHistoryList&) = delete;
    TargetHistoryList& operator=(const TargetHistoryList&) = delete;

    void setTransient(bool transient) { transient_ = transient; }
    bool isTransient() const { return transient_; }

    // Borrowed; a list given none uses the process's resolver, and without
    // that either, entries of older releases are skipped on load.
    void setResolver(OlderEntryResolver* resolver) { resolver_ = resolver; }
    // The process's resolver (null: none); borrowed. A load resolves
    // through it under a shared lock, so replacing or removing it waits
    // until no load of any thread is inside it: its owner may delete it, and
    // what it walks, as soon as the call returns. The discovery services
    // manager sets itself here while it holds its services.
    static void setProcessResolver(OlderEntryResolver* resolver);
    // As setProcessResolver(nullptr) when resolver is the one installed;
    // false, and nothing changed, when another one is.
    static bool removeProcessResolver(const OlderEntryResolver* resolver);

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

    PrintPathList entries_;
    int limit_ = kDefaultLimit;
    RegistryKey key_;
    bool transient_ = false;
    OlderEntryResolver* resolver_ = nullptr;
};
