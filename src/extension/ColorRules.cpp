#include "extension/ColorRules.h"

#include "core/TextFormat.h"
#include "extension/PolicyKeys.h"

#include <cwchar>

namespace MPrint::colorrules {

namespace {

bool isBlank(std::wstring text)
{
    trimWhitespace(text, true, true);
    return text.empty();
}

} // namespace

std::wstring lowerCase(std::wstring text)
{
    if (!text.empty())
        CharLowerBuffW(text.data(), static_cast<DWORD>(text.size()));
    return text;
}

void Rules::read(RegistryKey& key)
{
    for (DWORD weekday = 0; weekday < 7; ++weekday) {
        DayRule& rule = days_[weekday];
        rule = DayRule{};
        const DWORD first = kPolicyKeyScheduleFirst + 5 * weekday;
        std::wstring mode;
        if (!key.queryString(policyKeyNames[first], mode))
            continue;
        if (_wcsicmp(mode.c_str(), L"Restrict Color all day") == 0) {
            rule.day = Day::Restricted;
            continue;
        }
        if (_wcsicmp(mode.c_str(), L"Specify time") != 0)
            continue;
        // Locals: a failed read may leave bytes behind, and any failure leaves the day allowed.
        DWORD onHour = 0, offHour = 0, onMinute = 0, offMinute = 0;
        if (!key.queryDword(policyKeyNames[first + 1], &onHour) || !key.queryDword(policyKeyNames[first + 2], &offHour) ||
            !key.queryDword(policyKeyNames[first + 3], &onMinute) || !key.queryDword(policyKeyNames[first + 4], &offMinute))
            continue;
        rule.day = Day::Window;
        rule.on = onHour * 60 + onMinute;
        rule.off = offHour * 60 + offMinute;
    }

    entries_.clear();
    DWORD exclude = 0;
    listed_ = key.queryDword(L"ApplicationExclude", &exclude);
    excluding_ = listed_ && exclude != 0;
    if (!listed_)
        return;
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
        entries_.push_back(lowerCase(std::move(entry)));
    }
}

bool Rules::allowedAt(const SYSTEMTIME& localTime) const
{
    if (localTime.wDayOfWeek > 6)
        return true;
    const DayRule& rule = days_[localTime.wDayOfWeek];
    if (rule.day == Day::Allowed)
        return true;
    if (rule.day == Day::Restricted)
        return false;
    const DWORD now = static_cast<DWORD>(localTime.wHour) * 60 + localTime.wMinute;
    if (rule.on < rule.off)
        return rule.on < now && now < rule.off;
    if (rule.on > rule.off)
        return now > rule.on || now < rule.off;
    return false;
}

bool Rules::allowedForPath(const std::wstring& hostPath) const
{
    if (!listed_)
        return true;
    const std::wstring path = lowerCase(hostPath);
    for (const std::wstring& entry : entries_) {
        if (path.find(entry) != std::wstring::npos)
            return !excluding_;
    }
    return excluding_;
}

bool allowedAt(RegistryKey& key, const SYSTEMTIME& localTime)
{
    Rules rules;
    rules.read(key);
    return rules.allowedAt(localTime);
}

bool allowedForPath(RegistryKey& key, const std::wstring& hostPath)
{
    Rules rules;
    rules.read(key);
    return rules.allowedForPath(hostPath);
}

} // namespace MPrint::colorrules
