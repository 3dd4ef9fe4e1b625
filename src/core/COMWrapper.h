// One thread's record of the COM initialisations made through it, so that
// the module undoes exactly its own: uninitialize() pops the latest entry and
// calls CoUninitialize only when that initialisation succeeded. A wrapper
// belongs to one thread and takes no lock. Get it with getThreadCOMWrapper.
#pragma once

#include "core/Win32.h"

class COMWrapper {
public:
    COMWrapper() = default;
    // Drops the remaining entries without calling CoUninitialize.
    virtual ~COMWrapper();
    COMWrapper(const COMWrapper&) = delete;
    COMWrapper& operator=(const COMWrapper&) = delete;

    // CoInitialize(NULL); the result is recorded whatever it is.
    HRESULT initialize();
    HRESULT initializeEx(void* reserved, DWORD flags);
    // False on an empty record.
    bool uninitialize();

    DWORD depth() const { return count_; }
    DWORD capacity() const { return capacity_; }

private:
    struct Entry {
        HRESULT result;
        BYTE undone;
        DWORD tick;
    };
    static constexpr DWORD kGrowth = 64;

    void push(HRESULT result);

    DWORD count_ = 0;
    Entry* entries_ = nullptr; // zeroed heap block
    DWORD capacity_ = 0;
};

// The calling thread's wrapper (the arguments name the caller for
// diagnostics only). Null before the module's globals are built and after
// they are destroyed.
COMWrapper* getThreadCOMWrapper(const char* sourceFile, unsigned line);
