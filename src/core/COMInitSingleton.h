// The process-wide table of per-thread COM wrappers: one row per thread id,
// created on first use and dropped, with its wrapper, when an uninitialize
// empties that wrapper's record, so that threads come and go without the
// table growing. Its own wrapper serves threads whose wrapper could not be
// allocated.
#pragma once

#include "core/COMWrapper.h"

class COMInitSingleton : public COMWrapper {
public:
    COMInitSingleton();
    ~COMInitSingleton() override;

    static COMInitSingleton* instance();
    COMWrapper* wrapperForCurrentThread();
    DWORD rowCount() const;

protected:
    virtual void initializeLock();

private:
    friend class COMWrapper;
    // Removes the calling thread's row when it holds wrapper, and deletes it.
    void dropRow(COMWrapper* wrapper);

    struct Row {
        DWORD threadId;
        COMWrapper* wrapper;
    };
    static constexpr DWORD kRowGrowth = 32;

    CRITICAL_SECTION* lock_ = nullptr; // guards rows_, rowCount_, rowCapacity_
    Row* rows_ = nullptr;
    DWORD rowCount_ = 0;
    DWORD rowCapacity_ = 0;
};
