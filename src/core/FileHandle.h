// Closes a kernel handle (a file's, most often) when it goes out of scope.
// Both INVALID_HANDLE_VALUE and null count as "no handle", since the calls
// that open one report failure with either.
#pragma once

#include "core/Win32.h"

class FileHandle {
public:
    explicit FileHandle(HANDLE handle) : handle_(handle) {}
    ~FileHandle()
    {
        if (valid())
            CloseHandle(handle_);
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    bool valid() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }
    HANDLE get() const { return handle_; }

private:
    HANDLE handle_;
};
