// The process's reference-counted hold on its one printing extension. Every
// entry point that needs the extension acquires it here and releases it
// before it returns; the last release deletes the extension and the process's
// managed print policy, so neither outlives a call sequence. One instance
// lives from module load to unload.
#pragma once

#include "core/ScopedHandle.h"
#include "core/Win32.h"

class LumoraPrintingExtension;

class LXESingleton {
public:
    LXESingleton();
    virtual ~LXESingleton();
    LXESingleton(const LXESingleton&) = delete;
    LXESingleton& operator=(const LXESingleton&) = delete;

    // The extension, created on the first acquire; null while the module
    // unloads or when creating it failed (the count is unchanged then).
    static LumoraPrintingExtension* acquire();
    // The count after the release. A null extension, a missing singleton or
    // a release without an acquire changes nothing and answers 0.
    static LONG release(LumoraPrintingExtension* extension);

private:
    // The extension's initialisation (which may download a policy) and its
    // teardown run outside the lock; callers meanwhile wait, bounded, for
    // their outcome on ready_, not for the lock.
    enum State { kIdle, kInitialising, kTearingDown };
    static constexpr DWORD kWaitMs = 60000;

    LumoraPrintingExtension* acquireExtension();
    LONG releaseExtension();
    void finish(LumoraPrintingExtension* extension, bool initialised);

    LumoraPrintingExtension* extension_ = nullptr; // guarded by lock_
    volatile LONG count_ = 0;                      // guarded by lock_, changed interlocked
    State state_ = kIdle;                          // guarded by lock_
    DWORD initsDone_ = 0;                          // guarded by lock_
    bool lastInitFailed_ = false;                  // guarded by lock_
    CONDITION_VARIABLE ready_ = CONDITION_VARIABLE_INIT; // signalled when state_ returns to idle
    GlobalBlock<CRITICAL_SECTION> lock_;           // a GlobalAlloc block the object owns
};

// The extension held for the scope of one call; null when there is none.
class ExtensionHold {
public:
    ExtensionHold() : extension_(LXESingleton::acquire()) {}
    ~ExtensionHold() { LXESingleton::release(extension_); }
    ExtensionHold(const ExtensionHold&) = delete;
    ExtensionHold& operator=(const ExtensionHold&) = delete;
    LumoraPrintingExtension* get() const { return extension_; }

private:
    LumoraPrintingExtension* extension_;
};
