// The one printing extension of the process: it owns the managed mode's
// settings, the resource loader of the resource module, the destination text,
// the destination context of the job being handled and the discovery services
// manager, and records which workflow (mode) the process last entered.
// Created by instance() on first use, deleted by the singleton's last release.
// Not locked: LXESingleton serialises creation and destruction.
#pragma once

#include "core/RegistryKey.h"
#include "core/ResourceLoader.h"
#include "core/Socket.h"
#include "core/Win32.h"
#include "destination/DestinationContext.h"
#include "extension/LumoraSettings.h"

#include <memory>
#include <string>

class DiscoveryServicesManager;

class LumoraPrintingExtension {
public:
    // Modes: the workflow the process last entered.
    static constexpr int kModePromptAtPrint = 0;
    static constexpr int kModeSelectDestination = 1;
    static constexpr int kModeFirstJob = 2;
    static constexpr int kModeRetargetPausedJob = 3;
    static constexpr int kModeMakePermanent = 4;
    static constexpr int kModeNone = 5;

    // The process's extension, created and initialised on the first call;
    // null only when creating it failed.
    static LumoraPrintingExtension* instance();
    // The process's extension without creating one.
    static LumoraPrintingExtension* current();

    virtual ~LumoraPrintingExtension();
    LumoraPrintingExtension(const LumoraPrintingExtension&) = delete;
    LumoraPrintingExtension& operator=(const LumoraPrintingExtension&) = delete;

    LumoraSettings* getSettings() const { return settings_.get(); }
    MPrint::DestinationContext* getDestinationContext() const { return destinationContext_.get(); }
    // Creates a context for the printer when none exists and the name is not
    // empty; true when a context exists afterwards.
    bool createDestinationContext(const std::wstring& printerName);
    const std::wstring& getDestination() const { return destination_; }
    void setDestination(const wchar_t* destination) { destination_ = destination ? destination : L""; }
    int getMode() const { return mode_; }

    bool isNewInstall() const { return newInstall_; }
    // A non-zero printer data value "LumoNewInstall" sets the flag; zero or
    // missing leaves it as it was.
    void readNewInstallFlag(HANDLE printer);
    // Only the first-job workflow keeps and reports the flag.
    bool isDestinationChanged() const;
    void setDestinationChanged(bool changed);
    // True in the first-job workflow until the first job was confirmed
    // (process property "QZLumoFirstJob").
    bool isFirstJobPending() const;
    bool isMakePermanentRequested() const { return makePermanentRequested_; }
    void setMakePermanentRequested(bool requested) { makePermanentRequested_ = requested; }

    // The port a destination's print path needs on this machine, found or
    // created through the port client: 0 (the name may still be empty: no
    // port applies), 87 without a print path, 1796 for a discovery service
    // or local port type that names no port kind, else the port client's
    // error. A created port sets the path's "NewPortCreated"; the path's
    // "DisplayString" becomes the destination text whatever the result.
    DWORD makePortRecord(MPrint::DestinationContext* context, std::wstring& portName);
    // The queue's job delivery settings, completed by the path (or, without
    // one and outside static mode, by the history entry whose display string
    // is exactly the destination text), switch job delivery on. tested (may
    // be null) is false on entry and true once the test ran.
    bool isJobDeliveryDestination(const wchar_t* printerName, HANDLE printer, MPrint::PrintPath* path,
                                  bool* tested);

    // Appends the target histories of the two older releases to the current
    // layout. Each phase runs only while its marker ("ReadInOldProfiles",
    // "ReadInM1Profiles") is missing from the settings key, where
    // initialisation writes them.
    void migrateOldProfiles(RegistryKey& historyKey);

    // Where the resource module and the help files of a module lie: beside
    // it, or bare names (and no help files) for a name without a folder.
    struct ModulePaths {
        std::wstring directory; // with its trailing separator; empty without one
        std::wstring resourceModule;
    };
    static ModulePaths modulePaths(const std::wstring& moduleFileName);
    // The help files' language suffix ("EN", "GE", "TC"...) of a language.
    static const wchar_t* helpLanguageSuffix(LANGID language);
    // The help file "vrelh01<suffix>.HLP" or "vrelh02<suffix>.CHM" in the
    // directory; empty without a directory or when the path is too long.
    static std::wstring helpFilePath(const std::wstring& directory, bool htmlHelp, LANGID language);

protected:
    LumoraPrintingExtension();
    void init();
    void setMode(int mode) { mode_ = mode; }

private:
    DWORD choosePort(const std::wstring& queueName, MPrint::PrintPath& path, std::wstring& portName, bool& created);

    // Started first, ended last: the discovery services use sockets until
    // the manager is shut down.
    MPrint::Socket::Initializer socketInitializer_;
    std::unique_ptr<MPrint::ResourceLoader> resourceLoader_;
    std::unique_ptr<LumoraSettings> settings_;
    std::wstring destination_;
    DiscoveryServicesManager* discoveryManager_ = nullptr; // owned once init fetched it
    std::unique_ptr<MPrint::DestinationContext> destinationContext_;
    int mode_ = kModeNone;
    bool newInstall_ = false;
    bool destinationChanged_ = false;
    bool makePermanentRequested_ = false;
    bool comInitialized_ = false;
};
