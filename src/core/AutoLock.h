// Holds a SyncObject locked for the guard's lifetime, on every exit path.
#pragma once

namespace MPrint {

class SyncObject;

class AutoLock {
public:
    // A null object is accepted and locks nothing.
    explicit AutoLock(SyncObject* object);
    virtual ~AutoLock();
    AutoLock(const AutoLock&) = delete;
    AutoLock& operator=(const AutoLock&) = delete;

private:
    SyncObject* object_;
};

} // namespace MPrint
