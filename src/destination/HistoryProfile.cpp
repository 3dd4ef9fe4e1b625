#include "destination/HistoryProfile.h"

#include "core/RegistryKey.h"
#include "core/SettingsKeys.h"
#include "destination/TargetHistoryList.h"

namespace {

using historylayout::kKeyName;

std::wstring profileKey(const std::wstring& name)
{
    return std::wstring(settingskeys::kSettings) + L"\\" + name;
}

} // namespace

namespace MPrint {

HistoryProfile::HistoryProfile(const std::wstring& name, TargetHistoryList* history)
    : name_(name), history_(history)
{
}

HistoryProfile::~HistoryProfile()
{
    if (deleteOnDestroy_)
        deleteKeys();
    delete history_; // closes its key
}

void HistoryProfile::save(const std::wstring& newName)
{
    if (!enabled_)
        return;
    deleteKeys();
    name_ = newName;
    if (history_)
        history_->setKey(RegistryKey(HKEY_CURRENT_USER, profileKey(name_) + L"\\" + kKeyName,
                                     RegistryKey::kAllAccess, true));
}

bool HistoryProfile::deleteKeys()
{
    if (name_.empty())
        return false;
    const std::wstring profile = profileKey(name_);
    if (RegDeleteKeyW(HKEY_CURRENT_USER, (profile + L"\\" + kKeyName).c_str()) != ERROR_SUCCESS)
        return false;
    return RegDeleteKeyW(HKEY_CURRENT_USER, profile.c_str()) == ERROR_SUCCESS;
}

} // namespace MPrint
