// The policy's colour rules over a policy key (the group-policy key or the
// server policy's cache): the weekday schedule and the application list.
// Values missing or of the wrong type leave colour allowed.
#pragma once

#include "core/RegistryKey.h"

#include <string>
#include <vector>

namespace MPrint::colorrules {

// The rules as read from a key at one moment: the policy reads them once
// per load and answers every colour question from them.
class Rules {
public:
    // Reads the schedule of every weekday and the application list.
    void read(RegistryKey& key);
    // The weekday's schedule ("Restrict Color all day", or "Specify time"
    // with its on and off hour and minute) at the given local time.
    bool allowedAt(const SYSTEMTIME& localTime) const;
    // "ApplicationExclude" and "Application_1".."Application_99": the entries
    // are parts of the host program's path, compared without case.
    bool allowedForPath(const std::wstring& hostPath) const;

private:
    enum class Day { Allowed, Restricted, Window };
    struct DayRule {
        Day day = Day::Allowed;
        DWORD on = 0;  // minutes after midnight
        DWORD off = 0;
    };
    DayRule days_[7];
    bool listed_ = false; // "ApplicationExclude" present
    bool excluding_ = false;
    std::vector<std::wstring> entries_; // lower case, none blank
};

// One-off reads of the key (the rules above, read and asked once).
bool allowedAt(RegistryKey& key, const SYSTEMTIME& localTime);
bool allowedForPath(RegistryKey& key, const std::wstring& hostPath);

// The text in lower case, as the application list compares it.
std::wstring lowerCase(std::wstring text);

} // namespace MPrint::colorrules
