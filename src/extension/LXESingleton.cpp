#include "extension/LXESingleton.h"

#include "core/ProfileScope.h"
#include "extension/LumoraPrintingExtension.h"
#include "extension/ManagedPrintPolicy.h"

namespace {

LXESingleton* g_singleton = nullptr;

} // namespace

// The module's one instance: built at load, torn down at unload.
static LXESingleton s_singleton;

LXESingleton::LXESingleton()
{
    lock_.reset(static_cast<CRITICAL_SECTION*>(GlobalAlloc(GPTR, sizeof(CRITICAL_SECTION))));
    if (lock_)
        InitializeCriticalSection(lock_.get());
    g_singleton = lock_ ? this : nullptr;
}

LXESingleton::~LXESingleton()
{
    PROFILE_SCOPE("LXESingleton::~LXESingleton() this=%X", static_cast<unsigned>(reinterpret_cast<ULONG_PTR>(this)));
    if (g_singleton == this)
        g_singleton = nullptr;
    delete extension_;
    extension_ = nullptr;
    if (lock_) {
        DeleteCriticalSection(lock_.get());
        lock_.reset();
    }
}

LumoraPrintingExtension* LXESingleton::acquire()
{
    return g_singleton ? g_singleton->acquireExtension() : nullptr;
}

LONG LXESingleton::release(LumoraPrintingExtension* extension)
{
    return extension && g_singleton ? g_singleton->releaseExtension() : 0;
}

LumoraPrintingExtension* LXESingleton::acquireExtension()
{
    EnterCriticalSection(lock_.get());
    const ULONGLONG deadline = GetTickCount64() + kWaitMs;
    bool waitedForInit = false;
    DWORD awaitedInit = 0;
    for (;;) {
        if (state_ == kIdle) {
            if (extension_) {
                InterlockedIncrement(&count_);
                LumoraPrintingExtension* extension = extension_;
                LeaveCriticalSection(lock_.get());
                return extension;
            }
            // The initialisation this caller waited for failed: that is its answer too.
            if (waitedForInit && initsDone_ == awaitedInit + 1 && lastInitFailed_) {
                LeaveCriticalSection(lock_.get());
                return nullptr;
            }
            break;
        }
        if (state_ == kInitialising && !waitedForInit) {
            waitedForInit = true;
            awaitedInit = initsDone_;
        }
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline || !SleepConditionVariableCS(&ready_, lock_.get(), static_cast<DWORD>(deadline - now))) {
            if (state_ != kIdle) {
                LeaveCriticalSection(lock_.get());
                return nullptr;
            }
        }
    }
    state_ = kInitialising;
    LeaveCriticalSection(lock_.get());
    LumoraPrintingExtension* made = LumoraPrintingExtension::instance();
    finish(made, true);
    return made;
}

// Ends an initialisation (its result becomes the extension, counted once
// for the caller) or a teardown, and wakes the waiters.
void LXESingleton::finish(LumoraPrintingExtension* extension, bool initialised)
{
    EnterCriticalSection(lock_.get());
    if (initialised) {
        extension_ = extension;
        if (extension)
            InterlockedIncrement(&count_);
        lastInitFailed_ = extension == nullptr;
        ++initsDone_;
    }
    state_ = kIdle;
    WakeAllConditionVariable(&ready_);
    LeaveCriticalSection(lock_.get());
}

LONG LXESingleton::releaseExtension()
{
    EnterCriticalSection(lock_.get());
    LumoraPrintingExtension* doomed = nullptr;
    bool last = false;
    // A release without its acquire must not take the count below zero.
    if (state_ == kIdle && count_ > 0 && InterlockedDecrement(&count_) == 0) {
        last = true;
        doomed = extension_;
        extension_ = nullptr;
        state_ = kTearingDown;
    }
    const LONG count = count_;
    LeaveCriticalSection(lock_.get());
    if (last) {
        // Acquirers wait for the teardown rather than meet a half-deleted extension.
        delete doomed;
        if (MPrint::ManagedPrintPolicy::hasInstance())
            delete MPrint::ManagedPrintPolicy::instance();
        finish(nullptr, false);
    }
    return count;
}
