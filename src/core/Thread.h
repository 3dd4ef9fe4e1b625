// A worker thread that owns and runs one Runnable. The owner starts it at
// most once, joins it, and only then destroys it: the destructor neither
// waits for nor stops the worker. Handle and id are known as soon as start
// returns true, so a join right after start really waits.
#pragma once

#include "core/ScopedHandle.h"
#include "core/Win32.h"

namespace MPrint {

class Runnable;

class Thread {
public:
    Thread();
    // Takes ownership of the runnable (may be null).
    explicit Thread(Runnable* runnable);
    virtual ~Thread();
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;

    // Calls the runnable's run when there is one.
    virtual void run();
    // False when the thread cannot be created (getLastError gives errno) or
    // when this object already started one.
    virtual bool start();
    virtual int getLastError();
    virtual bool isRunning();
    virtual bool suspend();
    virtual bool resume();
    // True at once on the worker itself or when it is not running; with a
    // finite time, whether the worker ended within it. INFINITE never fails.
    virtual bool join(DWORD milliseconds);
    virtual bool join();
    // join for a thread that owns windows: messages other threads send to
    // this one are answered while it waits, so a worker blocked in
    // SendMessage to this thread's windows can end.
    bool joinPumping(DWORD milliseconds);

    static void sleep(DWORD milliseconds);

    HANDLE getHandle() const { return handle_ ? handle_.get() : INVALID_HANDLE_VALUE; }
    DWORD getThreadId() const { return threadId_; }

    // How often an infinite join looks again whether the worker still runs.
    static constexpr DWORD kJoinRound = 1733;

private:
    static unsigned __stdcall body(void* self);

    Runnable* runnable_ = nullptr;
    int lastError_ = 0;
    ScopedKernelHandle handle_;
    DWORD threadId_ = 0;
};

} // namespace MPrint
