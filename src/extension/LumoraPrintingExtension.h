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

#include <atomic>
#include <memory>
#include <mutex>
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
    // The context a caller bound to its thread (ThreadContext), else the
    // extension's own.
    MPrint::DestinationContext* getDestinationContext() const;
    // Binds a caller's own context to its thread for its scope. Spooler
    // callers handle several queues at once: the layers below that find the
    // job's queue through the extension then see the caller's queue, never a
    // context another caller replaces (and deletes) meanwhile. Scopes nest;
    // a null context leaves the extension's own in view.
    class ThreadContext {
    public:
        explicit ThreadContext(MPrint::DestinationContext* context);
        ~ThreadContext();
        ThreadContext(const ThreadContext&) = delete;
        ThreadContext& operator=(const ThreadContext&) = delete;

    private:
        MPrint::DestinationContext* previous_;
    };
    // Creates a context for the printer when none exists and the name is not
    // empty; true when a context exists afterwards.
    bool createDestinationContext(const std::wstring& printerName);
    // A fresh context for the printer in place of the extension's own one.
    void replaceDestinationContext(const std::wstring& printerName, const wchar_t* documentName);
    // A copy: spooler callers sharing the extension may set it meanwhile.
    std::wstring getDestination() const;
    void setDestination(const wchar_t* destination);
    int getMode() const { return mode_; }

    bool isNewInstall() const { return newInstall_; }
    void setNewInstall(bool newInstall) { newInstall_ = newInstall; }
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

    // Print-time prompts. Each sets its mode; promptAtPrint and
    // selectDestination put a context for the printer (when named) in place
    // and first let the monitor free its cached device tickets. The out flag
    // of promptAtPrint is set (never cleared) when the prompt gave 2; on a
    // host that prompts on a thread of its own the result is then 1.
    INT_PTR promptAtPrint(HWND parent, const wchar_t* printerName, bool* cancelled);
    INT_PTR selectDestination(HWND parent, const wchar_t* printerName);
    // 1 without a prompt (no document information, or the queue's name
    // cannot be read); otherwise the prompt's result for the document.
    INT_PTR promptFirstJob(HWND parent, HANDLE printer, const DOCINFOW* documentInfo);
    INT_PTR prompt(HWND parent, LPARAM parameter);
    // The chooser's result (2 in the spooler or without a chooser), shown
    // again while it answers 4; a confirmed, non-empty destination text is
    // saved as "CurrentAddress".
    INT_PTR showPrompt(HWND parent, LPARAM parameter);
    // Sends "FreeDVTs" to the port monitor once "QZFreeDVTs" was set; true
    // when the monitor took it.
    bool requestFreeDVTs();
    // Windows 2000 and a host file name that holds one of the listed programs.
    static bool promptsOnThread(DWORD major, DWORD minor, const std::wstring& hostPath);

    // rundll32 launches of ResumePrintJob and MakePermanent for the queue
    // (named by its level-5 record); true once the process was created. False,
    // and nothing started, when the run-application policy refuses or a value
    // cannot be carried on the command line.
    bool launchResumePrintJob(HANDLE printer, DWORD pausedJobId, DWORD previousJobId);
    bool launchMakePermanent(HANDLE printer);
    // The command lines of those launches; false when a value holds a double quote.
    static bool resumeCommandLine(const std::wstring& moduleFile, const std::wstring& printerName, DWORD pausedJobId,
                                  DWORD previousJobId, const std::wstring& destination, const std::wstring& profile,
                                  std::wstring& line);
    static bool makePermanentCommandLine(const std::wstring& moduleFile, const std::wstring& printerName,
                                         std::wstring& line);
    // Points the queue at the destination of the profile's history and
    // resumes the paused job: 1. Otherwise 2, and the job is deleted once it
    // was read (left paused when the queue or the job cannot be read); a step
    // that throws deletes it too, and the exception goes on to the caller.
    int retargetPausedJob(HWND parent, const wchar_t* printerName, const wchar_t* destination, const wchar_t* profile,
                          DWORD jobId);
    // Makes the destination text of the current profile's history a queue
    // of its own: 1 when that succeeded, else 2 (also when not in the history).
    int makePermanent(HWND parent, const wchar_t* printerName);

    // The port a destination's print path needs on this machine, found or
    // created through the port client: 0 (the name may still be empty: no
    // port applies), 87 without a print path, 1796 for a discovery service
    // or local port type that names no port kind, else the port client's
    // error. A created port sets the path's "NewPortCreated"; the path's
    // "DisplayString" becomes the destination text whatever the result.
    DWORD makePortRecord(MPrint::DestinationContext* context, std::wstring& portName);
    // Points the context's queue at the port and brings its device data up
    // to date (DestinationApply); true when the queue uses the port afterwards.
    bool applyDestinationToPrinter(MPrint::DestinationContext* context, const std::wstring& portName);
    // makePortRecord and applyDestinationToPrinter for a path the caller
    // keeps; the context is left with a copy of it.
    bool applyPrintPathToPrinter(MPrint::DestinationContext* context, MPrint::PrintPath* path,
                                 std::wstring& portName);
    static bool recordPortModel(HANDLE printer, const std::wstring& printerName, const std::wstring& portName,
                                const std::wstring& model);
    static void refreshJobControlTicket(const std::wstring& printerName, MPrint::PrintPath* path);
    // Operation 0 sets, 1 reads, 2 deletes the queue's "LumoUpdateNow".
    static bool updateNowMarker(int operation, HANDLE printer, DWORD& value, bool& protectedMode);
    static bool isUpdateNowProtectedMode();
    // The queue's job delivery settings, completed by the path (or, without
    // one and outside static mode, by the history entry whose display string
    // is exactly the destination text), switch job delivery on. tested (may
    // be null) is false on entry and true once the test ran.
    bool isJobDeliveryDestination(const wchar_t* printerName, HANDLE printer, MPrint::PrintPath* path,
                                  bool* tested);

    // The Waypost service's job events to the maker's port monitor. The
    // start names the destination ("mplDestinationName" of a queue in static
    // mode, else the destination text) with the job's copies and duplex;
    // each is true when the monitor answered with status 0.
    bool sendWaypostJobStart(HANDLE printer, DWORD jobId);
    // A WaypostJobInfo block in a new GPTR allocation the caller frees; the
    // out pointer is untouched unless true.
    bool getWaypostJobInfo(DWORD jobId, const char* printerName, void** block);
    bool finishWaypostJob(DWORD jobId);
    // Points the named queue at the device the address resolves to, without
    // a prompt; true when the destination was applied. The work runs on a
    // context of its own for that queue, never on the one of another caller.
    bool setPrinterPortByAddress(const wchar_t* printerName, const wchar_t* address, bool changePortOnly);
    // Verifies a static-mode queue against the device its port names and
    // refreshes its ticket; false only when the queue's record cannot be read.
    bool verifyStaticModePrinter(HANDLE printer, HWND parent, bool staticUpdate, bool showDialog);
    // HKCU "MakePermanentInstance" is 1.
    static bool isMakePermanentInstance();

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
    mutable std::mutex destinationLock_; // guards destination_
    std::wstring destination_;
    DiscoveryServicesManager* discoveryManager_ = nullptr; // owned once init fetched it
    std::unique_ptr<MPrint::DestinationContext> destinationContext_;
    int mode_ = kModeNone;
    std::atomic<bool> newInstall_{false}; // set by spooler callers on several threads
    bool destinationChanged_ = false;
    bool makePermanentRequested_ = false;
    bool comInitialized_ = false;
};

// The extension's user-interface language reads right to left; false
// without an extension or its settings.
bool isRightToLeftInterface(const LumoraPrintingExtension* extension);
