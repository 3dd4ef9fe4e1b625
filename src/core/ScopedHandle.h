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
    static void close(Handle handle) { CloseHandle(handle); }
};

struct PrinterHandleTraits {
    using Handle = HANDLE;
    static Handle none() { return nullptr; }
    static bool isValid(Handle handle) { return handle != nullptr; }
    static void close(Handle handle) { ClosePrinter(handle); }
};

// A module this code loaded itself (LoadLibrary*); never one it only looked
// up with GetModuleHandle*.
struct ModuleTraits {
    using Handle = HMODULE;
    static Handle none() { return nullptr; }
    static bool isValid(Handle handle) { return handle != nullptr; }
    static void close(Handle handle) { FreeLibrary(handle); }
};

// A GlobalAlloc block; GlobalLockGuard (GlobalLockGuard.h) maps a movable one.
struct GlobalMemoryTraits {
    using Handle = HGLOBAL;
    static Handle none() { return nullptr; }
    static bool isValid(Handle handle) { return handle != nullptr; }
    static void close(Handle handle) { GlobalFree(handle); }
};

// A raw registry key, for the few places where RegistryKey's typed access
// does not serve (enumeration, a key handed to another API).
struct RegistryKeyTraits {
    using Handle = HKEY;
    static Handle none() { return nullptr; }
    static bool isValid(Handle handle) { return handle != nullptr; }
    static void close(Handle handle) { RegCloseKey(handle); }
};

using ScopedKernelHandle = ScopedHandle<KernelHandleTraits>;
using ScopedPrinter = ScopedHandle<PrinterHandleTraits>;
using ScopedModule = ScopedHandle<ModuleTraits>;
using ScopedGlobal = ScopedHandle<GlobalMemoryTraits>;
using ScopedRegKey = ScopedHandle<RegistryKeyTraits>;

// A fixed-memory (GPTR/GMEM_FIXED) block whose handle is its address, as the
// spooler queries hand them out; get() answers the typed pointer.
template <typename T>
class GlobalBlock {
public:
    GlobalBlock() = default;
    explicit GlobalBlock(T* block) : block_(static_cast<HGLOBAL>(block)) {}

    bool valid() const { return block_.valid(); }
    explicit operator bool() const { return valid(); }
    T* get() const { return static_cast<T*>(block_.get()); }
    T* operator->() const { return get(); }
    void reset(T* block = nullptr) { block_.reset(static_cast<HGLOBAL>(block)); }
    T* release() { return static_cast<T*>(block_.release()); }

private:
    ScopedGlobal block_;
};
