// The policy's colour rules over a policy key (the group-policy key or the
// server policy's cache): the weekday schedule and the application list.
// Values missing or of the wrong type leave colour allowed.
#pragma once

#include "core/RegistryKey.h"

#include <string>

namespace MPrint::colorrules {

// The weekday's schedule ("Restrict Color all day", or "Specify time" with
// its on and off hour and minute) at the given local time.
bool allowedAt(RegistryKey& key, const SYSTEMTIME& localTime);
// "ApplicationExclude" and "Application_1".."Application_99": the entries
// are parts of the host program's path, compared without case.
bool allowedForPath(RegistryKey& key, const std::wstring& hostPath);

} // namespace MPrint::colorrules
