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
    lock_ = static_cast<CRITICAL_SECTION*>(GlobalAlloc(GPTR, sizeof(CRITICAL_SECTION)));
    if (lock_)
        InitializeCriticalSection(lock_);
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
        DeleteCriticalSection(lock_);
        GlobalFree(lock_);
        lock_ = nullptr;
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
    EnterCriticalSection(lock_);
    if (!extension_)
        extension_ = LumoraPrintingExtension::instance();
    LumoraPrintingExtension* extension = extension_;
    if (extension)
        InterlockedIncrement(&count_);
    LeaveCriticalSection(lock_);
    return extension;
}

LONG LXESingleton::releaseExtension()
{
    EnterCriticalSection(lock_);
    // A release without its acquire must not take the count below zero.
    if (count_ > 0 && InterlockedDecrement(&count_) == 0) {
        LumoraPrintingExtension* extension = extension_;
        extension_ = nullptr;
        delete extension;
        if (MPrint::ManagedPrintPolicy::hasInstance())
            delete MPrint::ManagedPrintPolicy::instance();
    }
    const LONG count = count_;
    LeaveCriticalSection(lock_);
    return count;
}
