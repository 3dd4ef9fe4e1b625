// One move-only owner for every kind of handle the module opens: the handle
// is closed exactly once, by the owner's destructor or reset(), unless
// release() hands it on. A traits struct per kind names the "no handle"
// values and the call that closes it. A handle the module merely borrows is
// a plain parameter, never one of these.
#pragma once

#include "core/Win32.h"

#include <utility>

template <typename Traits>
class ScopedHandle {
public:
    using Handle = typename Traits::Handle;

    ScopedHandle() = default;
    explicit ScopedHandle(Handle handle) : handle_(handle) {}
    ~ScopedHandle() { reset(); }

    ScopedHandle(const ScopedHandle&) = delete;
    ScopedHandle& operator=(const ScopedHandle&) = delete;
    ScopedHandle(ScopedHandle&& other) noexcept : handle_(other.release()) {}
    ScopedHandle& operator=(ScopedHandle&& other) noexcept
    {
        if (this != &other)
            reset(other.release());
        return *this;
    }

    bool valid() const { return Traits::isValid(handle_); }
    explicit operator bool() const { return valid(); }
    Handle get() const { return handle_; }

    // Closes the handle held and reports the close call's result; on
    // failure the handle stays held and the call's error is the thread's.
    // For owners whose caller must know that a close worked.
    bool close()
    {
        if (!Traits::isValid(handle_))
            return true;
        if (!Traits::close(handle_))
            return false;
        handle_ = Traits::none();
        return true;
    }
    // Closes the handle held (if any) and takes the new one. The thread's
    // last error is kept across the close, so a caller may reset() on a
    // failure path and still report the failing call's error.
    void reset(Handle handle = Traits::none())
    {
        if (Traits::isValid(handle_) && handle_ != handle) {
            const DWORD error = GetLastError();
            Traits::close(handle_);
            SetLastError(error);
        }
        handle_ = handle;
    }
    // The caller owns the handle from now on.
    Handle release() { return std::exchange(handle_, Traits::none()); }
    // For an out-parameter: closes what is held and lends the slot. Calls
    // that may write the slot even when they fail (OpenPrinterW) are judged
    // by their result; this owner closes only a valid value.
    Handle* receive()
    {
        reset();
        return &handle_;
    }

private:
    Handle handle_ = Traits::none();
};

// Kernel objects: files, pipes, events, threads, processes. Both null and
// INVALID_HANDLE_VALUE mean none, since the calls that open one report
// failure with either.
struct KernelHandleTraits {
    using Handle = HANDLE;
    static Handle none() { return nullptr; }
    static bool isValid(Handle handle) { return handle != nullptr && handle != INVALID_HANDLE_VALUE; }
    static bool close(Handle handle) { return CloseHandle(handle) != FALSE; }
};

struct PrinterHandleTraits {
    using Handle = HANDLE;
    static Handle none() { return nullptr; }
    static bool isValid(Handle handle) { return handle != nullptr; }
    static bool close(Handle handle) { return ClosePrinter(handle) != FALSE; }
};

// A module reference this code took itself (LoadLibrary*, GetModuleHandleExW
// without GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT); never one it only
// looked up with GetModuleHandle*.
struct ModuleTraits {
    using Handle = HMODULE;
    static Handle none() { return nullptr; }
    static bool isValid(Handle handle) { return handle != nullptr; }
    static bool close(Handle handle) { return FreeLibrary(handle) != FALSE; }
};

// A GlobalAlloc block; GlobalLockGuard (GlobalLockGuard.h) maps a movable one.
struct GlobalMemoryTraits {
    using Handle = HGLOBAL;
    static Handle none() { return nullptr; }
    static bool isValid(Handle handle) { return handle != nullptr; }
    static bool close(Handle handle) { return GlobalFree(handle) == nullptr; }
};

// A raw registry key, for the few places where RegistryKey's typed access
// does not serve (enumeration, a key handed to another API).
struct RegistryKeyTraits {
    using Handle = HKEY;
    static Handle none() { return nullptr; }
    static bool isValid(Handle handle) { return handle != nullptr; }
    static bool close(Handle handle) { return RegCloseKey(handle) == ERROR_SUCCESS; }
};

using ScopedKernelHandle = ScopedHandle<KernelHandleTraits>;
using ScopedPrinter = ScopedHandle<PrinterHandleTraits>;
using ScopedModule = ScopedHandle<ModuleTraits>;
using ScopedGlobal = ScopedHandle<GlobalMemoryTraits>;
using ScopedRegKey = ScopedHandle<RegistryKeyTraits>;

// A fixed-memory (GPTR/GMEM_FIXED) block, whose handle is its address, as
// the spooler queries hand them out: the owner holds the typed pointer.
template <typename T>
struct FixedGlobalTraits {
    using Handle = T*;
    static Handle none() { return nullptr; }
    static bool isValid(Handle block) { return block != nullptr; }
    static bool close(Handle block) { return GlobalFree(block) == nullptr; }
};

template <typename T>
class GlobalBlock : public ScopedHandle<FixedGlobalTraits<T>> {
public:
    using ScopedHandle<FixedGlobalTraits<T>>::ScopedHandle;
    T* operator->() const { return this->get(); }
};
