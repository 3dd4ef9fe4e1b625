#include "extension/ColorRules.h"

#include "core/TextFormat.h"
#include "extension/PolicyKeys.h"

#include <cwchar>

namespace MPrint::colorrules {

namespace {

std::wstring lowerCase(std::wstring text)
{
    if (!text.empty())
        CharLowerBuffW(text.data(), static_cast<DWORD>(text.size()));
    return text;
}

bool isBlank(std::wstring text)
{
    trimWhitespace(text, true, true);
    return text.empty();
}

} // namespace

bool allowedAt(RegistryKey& key, const SYSTEMTIME& localTime)
{
    if (localTime.wDayOfWeek > 6)
        return true;
    const DWORD first = kPolicyKeyScheduleFirst + 5 * localTime.wDayOfWeek;
    std::wstring mode;
    if (!key.queryString(policyKeyNames[first], mode))
        return true;
    if (_wcsicmp(mode.c_str(), L"Restrict Color all day") == 0)
        return false;
    if (_wcsicmp(mode.c_str(), L"Specify time") != 0)
        return true;
    // Locals: a failed read may leave bytes behind, and any failure answers at once.
    DWORD onHour = 0, offHour = 0, onMinute = 0, offMinute = 0;
    if (!key.queryDword(policyKeyNames[first + 1], &onHour) || !key.queryDword(policyKeyNames[first + 2], &offHour) ||
        !key.queryDword(policyKeyNames[first + 3], &onMinute) || !key.queryDword(policyKeyNames[first + 4], &offMinute))
        return true;
    const DWORD on = onHour * 60 + onMinute;
    const DWORD off = offHour * 60 + offMinute;
    const DWORD now = static_cast<DWORD>(localTime.wHour) * 60 + localTime.wMinute;
    if (on < off)
        return on < now && now < off;
    if (on > off)
        return now > on || now < off;
    return false;
}

bool allowedForPath(RegistryKey& key, const std::wstring& hostPath)
{
    DWORD exclude = 0;
    if (!key.queryDword(L"ApplicationExclude", &exclude))
        return true;
    const bool excluding = exclude != 0;
    const std::wstring path = lowerCase(hostPath);
    for (DWORD n = 1; n <= kMaxPolicyApplications; ++n) {
        const std::wstring name = L"Application_" + std::to_wstring(n);
        std::wstring entry;
        if (!key.queryString(name, entry))
            break;
        // An empty entry would be found in every path.
        if (isBlank(entry))
            continue;
        if (entry.size() > MAX_PATH)
            entry.resize(MAX_PATH);
        if (path.find(lowerCase(entry)) != std::wstring::npos)
            return !excluding;
    }
    return excluding;
}

} // namespace MPrint::colorrules
