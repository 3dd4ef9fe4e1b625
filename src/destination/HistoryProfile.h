// A named target history: the profile's list lives under HKCU
// "Software\Tarvokin\QZ Print Settings\<name>\Target History". Renaming
// moves the list to the new name's key (its entries are written by the
// list's next save); a profile marked for delete removes its keys when it
// is destroyed.
#pragma once

#include <string>

class TargetHistoryList;

namespace MPrint {

class HistoryProfile {
public:
    // Takes ownership of the list.
    HistoryProfile(const std::wstring& name, TargetHistoryList* history);
    virtual ~HistoryProfile();
    HistoryProfile(const HistoryProfile&) = delete;
    HistoryProfile& operator=(const HistoryProfile&) = delete;

    virtual const wchar_t* getName() const { return name_.c_str(); }
    virtual TargetHistoryList* getHistory() { return history_; }

    bool isEnabled() const { return enabled_; }
    void setEnabled(bool enabled) { enabled_ = enabled; }

    // When enabled: removes the current name's keys, takes the new name and
    // points the list at the new name's "Target History" key (created).
    void save(const std::wstring& newName);
    void markForDelete() { deleteOnDestroy_ = true; }
    // Deletes "Target History" and then, only when that worked, the profile
    // key (which the system keeps while it has other subkeys). A profile
    // without a name deletes nothing: its path would be the settings key.
    bool deleteKeys();

private:
    std::wstring name_;
    bool enabled_ = true;
    TargetHistoryList* history_;
    bool deleteOnDestroy_ = false;
};

} // namespace MPrint
