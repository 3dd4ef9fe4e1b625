// Maps a movable global-memory block (GMEM_MOVEABLE) for as long as the
// guard lives. The guard never frees the block: its owner (ScopedGlobal)
// or whoever it was handed to does.
#pragma once

#include "core/Win32.h"

template <typename T = void>
class GlobalLockGuard {
public:
    explicit GlobalLockGuard(HGLOBAL block) : block_(block), data_(block ? GlobalLock(block) : nullptr) {}
    ~GlobalLockGuard()
    {
        if (data_)
            GlobalUnlock(block_);
    }
    GlobalLockGuard(const GlobalLockGuard&) = delete;
    GlobalLockGuard& operator=(const GlobalLockGuard&) = delete;

    // Null when the block could not be locked.
    T* get() const { return static_cast<T*>(data_); }
    explicit operator bool() const { return data_ != nullptr; }

private:
    HGLOBAL block_;
    void* data_;
};
