// A process-local lock over a critical section; the owning thread may enter
// again (recursive).
#pragma once

#include "core/Win32.h"

namespace MPrint {

class SyncObject {
public:
    SyncObject();
    virtual ~SyncObject();
    SyncObject(const SyncObject&) = delete;
    SyncObject& operator=(const SyncObject&) = delete;

    virtual void lock();
    virtual void unlock();

private:
    CRITICAL_SECTION section_;
};

} // namespace MPrint
