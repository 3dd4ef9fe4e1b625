// The per-user settings of the managed printing mode for one process: help
// files, the current target-history profile and its key, how the user is
// prompted and how strictly devices are verified. Registry values are read
// once at construction and managed print policy overrides them. Nothing
// reports errors: failed reads keep the defaults, failed writes are ignored.
#pragma once

#include "core/RegistryKey.h"
#include "core/ResourceLoader.h"
#include "core/Win32.h"

#include <cstdint>
#include <string>

class LumoraSettings {
public:
    // PromptMethod
    static constexpr DWORD kPromptAlways = 0;
    static constexpr DWORD kPromptFirstJob = 1;
    static constexpr DWORD kPromptOnError = 2;
    // DeviceVerifyLevel
    static constexpr DWORD kVerifyHigh = 0;
    static constexpr DWORD kVerifyMedium = 1;
    static constexpr DWORD kVerifyLow = 2;

    static constexpr DWORD kDefaultTimeout = 90;
    static constexpr UINT kDefaultProfileStringId = 25;

    // Copies the keys (a second handle each) and the loader.
    LumoraSettings(const std::wstring& tempDirectory, const RegistryKey& settingsKey, const RegistryKey& historyKey,
                   const MPrint::ResourceLoader& resourceLoader);
    LumoraSettings(const LumoraSettings&) = delete;
    LumoraSettings& operator=(const LumoraSettings&) = delete;

    const std::wstring& getHelpFile() const { return helpFile_; }
    const std::wstring& getHtmlHelpFile() const { return htmlHelpFile_; }
    void setHelpFile(const wchar_t* path) { helpFile_ = path ? path : L""; }
    void setHtmlHelpFile(const wchar_t* path) { htmlHelpFile_ = path ? path : L""; }
    RegistryKey& getSettingsKey() { return settingsKey_; }
    RegistryKey& getTargetHistoryKey() { return targetHistoryKey_; }
    MPrint::ResourceLoader& getResourceLoader() { return resourceLoader_; }
    const std::wstring& getCurrentProfile() const { return currentProfile_; }
    DWORD getPromptMethod() const { return promptMethod_; }
    DWORD getDeviceVerifyLevel() const { return deviceVerifyLevel_; }
    bool isProfilesEnabled() const { return profilesEnabled_; }
    bool isRestricted() const { return restricted_; }

    // Both take only the values the tables define (0 to 2); anything else
    // is ignored.
    void setPromptMethod(int method);
    void setDeviceVerifyLevel(DWORD level);
    void setProfilesEnabled(bool enabled);

    DWORD getTimeout();
    void setTimeout(DWORD seconds);
    bool getSurveyPromptTime(std::uint64_t& time);
    void setSurveyPromptTime(std::uint64_t time);
    LANGID getLangId();
    // Also switches the owned loader to the language.
    void setLangId(LANGID language);

    bool isRightToLeftLanguage() const;
    bool isQZDeviceOptional();
    bool isOtherProfile(const wchar_t* name) const;

    void setCurrentProfileName(const wchar_t* name);
    // Makes the profile current: opens or creates its history key, lists a
    // new profile in "CustomProfiles" and writes "CurrentProfile". Empty
    // names and names holding the list separator are ignored.
    void selectProfile(const wchar_t* name);
    // Takes the name's entry out of "CustomProfiles"; the profile's keys stay.
    void removeCustomProfile(const wchar_t* name);

    // Position of the whole entry `name` in a ";"-separated profile list
    // (std::wstring::npos when absent). An entry matches only in full:
    // "Office" is not found in "OfficeA;".
    static size_t findProfileEntry(const std::wstring& list, const std::wstring& name);

private:
    void applyPolicy();

    std::wstring helpFile_;
    std::wstring tempDirectory_;
    std::wstring currentProfile_;
    RegistryKey settingsKey_;
    RegistryKey targetHistoryKey_;
    MPrint::ResourceLoader resourceLoader_;
    bool profilesEnabled_ = true;
    bool restricted_ = false;
    std::wstring htmlHelpFile_;
    DWORD promptMethod_ = kPromptAlways;
    DWORD deviceVerifyLevel_ = kVerifyMedium;
};
