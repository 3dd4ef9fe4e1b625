// One thread's record of the COM initialisations made through it, so that
// the module undoes exactly its own: uninitialize() pops the latest entry and
// calls CoUninitialize only when that initialisation succeeded. A wrapper
// belongs to one thread and takes no lock. Get it with getThreadCOMWrapper.
#pragma once

#include "core/Win32.h"

#include <wrl/client.h>

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
    // False on an empty record. A table row's wrapper is deleted by the
    // uninitialize that empties its record (see getThreadCOMWrapper).
    bool uninitialize();

    DWORD depth() const { return count_; }
    DWORD capacity() const { return capacity_; }

    // One object that needs this thread's COM (the thread's SAX reader),
    // kept for reuse while the record holds the successful initialisation it
    // relies on, the innermost one recorded now: it is released before that
    // entry's CoUninitialize. False, and nothing kept, when no recorded
    // initialisation succeeded or an object is kept already.
    bool keep(Microsoft::WRL::ComPtr<IUnknown> object);
    // Hands the kept object to the caller (null when none): while it is out,
    // nothing else can use it.
    Microsoft::WRL::ComPtr<IUnknown> takeKept();
    IUnknown* kept() const { return kept_.Get(); }
    // Whether a successful initialisation is recorded and not yet undone:
    // COM stays usable on the thread until that entry is popped.
    bool holdsApartment() const { return innermostSuccess() != 0; }

private:
    friend class COMInitSingleton;

    struct Entry {
        HRESULT result;
        BYTE undone;
        DWORD tick;
    };
    static constexpr DWORD kGrowth = 64;

    void push(HRESULT result);
    // 1 + the index of the innermost successful entry; 0 when none.
    DWORD innermostSuccess() const;

    DWORD count_ = 0;
    Entry* entries_ = nullptr; // zeroed heap block
    DWORD capacity_ = 0;
    Microsoft::WRL::ComPtr<IUnknown> kept_;
    DWORD keptDepth_ = 0;     // kept_ goes when the record falls below this
    bool tableRow_ = false;   // owned by the thread table, which drops it when emptied
};

// The calling thread's wrapper (the arguments name the caller for
// diagnostics only), made on first use. Valid on that thread until an
// uninitialize empties its record: code that keeps it across its own
// initialize/uninitialize pair is safe; get it again for later work. Null
// before the module's globals are built and after they are destroyed.
COMWrapper* getThreadCOMWrapper(const char* sourceFile, unsigned line);
