#include "extension/LumoraSettings.h"

#include "destination/TargetHistoryList.h"
#include "extension/ManagedPrintPolicy.h"

namespace {

const wchar_t kPromptMethod[] = L"PromptMethod";
const wchar_t kDeviceVerifyLevel[] = L"DeviceVerifyLevel";
const wchar_t kEnableProfiles[] = L"EnableProfiles";
const wchar_t kRestricted[] = L"Restricted";
const wchar_t kTimeout[] = L"Timeout";
const wchar_t kSurveyPromptTime[] = L"SurveyPromptTime";
const wchar_t kLangId[] = L"LangId";
const wchar_t kCurrentProfile[] = L"CurrentProfile";
const wchar_t kCustomProfiles[] = L"CustomProfiles";

// Policy words are compared whole after lower-casing; -1 for any other text.
int policyChoice(const std::wstring& text, const wchar_t* const (&words)[3])
{
    std::wstring lower = text;
    if (!lower.empty())
        CharLowerBuffW(lower.data(), static_cast<DWORD>(lower.size()));
    for (int i = 0; i < 3; ++i) {
        if (lower == words[i])
            return i;
    }
    return -1;
}

} // namespace

LumoraSettings::LumoraSettings(const std::wstring& tempDirectory, const RegistryKey& settingsKey,
                               const RegistryKey& historyKey, const MPrint::ResourceLoader& resourceLoader)
    : tempDirectory_(tempDirectory), settingsKey_(settingsKey), targetHistoryKey_(historyKey),
      resourceLoader_(resourceLoader)
{
    DWORD value = 0;
    if (settingsKey_.queryDword(kPromptMethod, &value) && value < 3)
        promptMethod_ = value;
    if (settingsKey_.queryDword(kDeviceVerifyLevel, &value) && value < 3)
        deviceVerifyLevel_ = value;
    if (settingsKey_.queryDword(kEnableProfiles, &value))
        profilesEnabled_ = value != 0;
    if (settingsKey_.queryDword(kRestricted, &value) && value != 0)
        restricted_ = true;

    applyPolicy();

    currentProfile_ = resourceLoader_.loadString(kDefaultProfileStringId);
}

void LumoraSettings::applyPolicy()
{
    MPrint::ManagedPrintPolicy* policy = MPrint::ManagedPrintPolicy::instance();
    if (!policy || !policy->hasPolicy())
        return;

    // A restricting policy decides alone; "ShowProfiles" is not consulted then.
    if (policy->getBool(L"Restricted", false))
        restricted_ = true;
    else
        profilesEnabled_ = policy->getBool(L"ShowProfiles", profilesEnabled_);

    std::wstring text;
    static const wchar_t* const kLevels[3] = {L"high", L"medium", L"low"};
    if (policy->getString(L"DeviceVerifyLevel", text)) {
        const int level = policyChoice(text, kLevels);
        if (level >= 0)
            deviceVerifyLevel_ = static_cast<DWORD>(level);
    }
    text.clear();
    static const wchar_t* const kMethods[3] = {L"always", L"firstjob", L"onerror"};
    if (policy->getString(L"WhenPrinting", text)) {
        const int method = policyChoice(text, kMethods);
        if (method >= 0)
            promptMethod_ = static_cast<DWORD>(method);
    }
}

void LumoraSettings::setPromptMethod(int method)
{
    if (method < 0 || method > static_cast<int>(kPromptOnError))
        return;
    settingsKey_.setDword(kPromptMethod, static_cast<DWORD>(method));
    promptMethod_ = static_cast<DWORD>(method);
}

void LumoraSettings::setDeviceVerifyLevel(DWORD level)
{
    // A level past "low" would make the PDL check refuse every device.
    if (level > kVerifyLow)
        return;
    deviceVerifyLevel_ = level;
    settingsKey_.setDword(kDeviceVerifyLevel, level);
}

void LumoraSettings::setProfilesEnabled(bool enabled)
{
    profilesEnabled_ = enabled;
    settingsKey_.setDword(kEnableProfiles, enabled ? 1 : 0);
}

DWORD LumoraSettings::getTimeout()
{
    DWORD value = 0;
    return settingsKey_.queryDword(kTimeout, &value) ? value : kDefaultTimeout;
}

void LumoraSettings::setTimeout(DWORD seconds)
{
    settingsKey_.setDword(kTimeout, seconds);
}

bool LumoraSettings::getSurveyPromptTime(std::uint64_t& time)
{
    DWORD value = 0;
    if (!settingsKey_.queryDword(kSurveyPromptTime, &value))
        return false;
    time = value;
    return true;
}

void LumoraSettings::setSurveyPromptTime(std::uint64_t time)
{
    settingsKey_.setDword(kSurveyPromptTime, static_cast<DWORD>(time));
}

LANGID LumoraSettings::getLangId()
{
    DWORD value = 0;
    return settingsKey_.queryDword(kLangId, &value) ? static_cast<LANGID>(value) : 0;
}

void LumoraSettings::setLangId(LANGID language)
{
    settingsKey_.setDword(kLangId, language);
    resourceLoader_.setLanguage(language);
}

bool LumoraSettings::isRightToLeftLanguage() const
{
    return resourceLoader_.isRightToLeft();
}

bool LumoraSettings::isQZDeviceOptional()
{
    MPrint::ManagedPrintPolicy* policy = MPrint::ManagedPrintPolicy::instance();
    return !(policy && policy->hasPolicy() && policy->getBool(L"RequireQZDevices", false));
}

bool LumoraSettings::isOtherProfile(const wchar_t* name) const
{
    return currentProfile_ != (name ? name : L"");
}

void LumoraSettings::setCurrentProfileName(const wchar_t* name)
{
    currentProfile_ = name ? name : L"";
    settingsKey_.setString(kCurrentProfile, currentProfile_);
}

void LumoraSettings::selectProfile(const wchar_t* name)
{
    if (!name || !*name || wcschr(name, L';') || !isOtherProfile(name))
        return;
    currentProfile_ = name;

    RegistryKey history(settingsKey_.getHandle(), currentProfile_ + L"\\" + historylayout::kKeyName, RegistryKey::kAllAccess, true);
    if (history.wasCreated()) {
        std::wstring list;
        settingsKey_.queryString(kCustomProfiles, list);
        if (findProfileEntry(list, currentProfile_) == std::wstring::npos) {
            list += currentProfile_;
            list += L';';
            settingsKey_.setString(kCustomProfiles, list);
        }
    }
    targetHistoryKey_ = history;
    settingsKey_.setString(kCurrentProfile, currentProfile_);
}

void LumoraSettings::removeCustomProfile(const wchar_t* name)
{
    if (!name || !*name)
        return;
    std::wstring list;
    if (!settingsKey_.queryString(kCustomProfiles, list) || list.empty())
        return;
    const std::wstring entry = name;
    const size_t at = findProfileEntry(list, entry);
    if (at == std::wstring::npos)
        return;
    list.erase(at, entry.size() + 1); // the entry and its ";", clipped at the end
    settingsKey_.setString(kCustomProfiles, list);
}

size_t LumoraSettings::findProfileEntry(const std::wstring& list, const std::wstring& name)
{
    if (name.empty())
        return std::wstring::npos;
    size_t start = 0;
    while (start < list.size()) {
        size_t end = list.find(L';', start);
        if (end == std::wstring::npos)
            end = list.size();
        if (list.compare(start, end - start, name) == 0)
            return start;
        start = end + 1;
    }
    return std::wstring::npos;
}
