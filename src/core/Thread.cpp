#include "core/Thread.h"

#include "core/Runnable.h"

#include <cerrno>
#include <process.h>

namespace MPrint {

Thread::Thread() = default;

Thread::Thread(Runnable* runnable) : runnable_(runnable)
{
}

Thread::~Thread()
{
    handle_.reset();
    delete runnable_;
}

void Thread::run()
{
    if (runnable_)
        runnable_->run();
}

bool Thread::start()
{
    if (handle_) {
        lastError_ = EINVAL;
        return false;
    }
    // Created suspended so that handle and id are published here, before the
    // worker can run: a caller's join right after start then really waits,
    // and a join from inside run recognises its own thread.
    unsigned id = 0;
    uintptr_t started = _beginthreadex(nullptr, 0, &Thread::body, this, CREATE_SUSPENDED, &id);
    if (started == 0) {
        lastError_ = errno;
        return false;
    }
    handle_.reset(reinterpret_cast<HANDLE>(started));
    threadId_ = id;
    lastError_ = 0;
    ResumeThread(handle_.get());
    return true;
}

unsigned __stdcall Thread::body(void* self)
{
    try {
        static_cast<Thread*>(self)->run();
    } catch (...) {
        // An escaping exception ends the worker quietly.
    }
    return 0;
}

int Thread::getLastError()
{
    return lastError_;
}

bool Thread::isRunning()
{
    if (!handle_)
        return false;
    DWORD code = 0;
    if (!GetExitCodeThread(handle_.get(), &code))
        return false;
    return code == STILL_ACTIVE;
}

bool Thread::suspend()
{
    if (!handle_)
        return false;
    return SuspendThread(handle_.get()) != static_cast<DWORD>(-1);
}

bool Thread::resume()
{
    if (!handle_)
        return false;
    return ResumeThread(handle_.get()) != static_cast<DWORD>(-1);
}

bool Thread::join(DWORD milliseconds)
{
    if (threadId_ != 0 && threadId_ == GetCurrentThreadId())
        return true;
    if (!isRunning())
        return true;
    if (milliseconds != INFINITE)
        return WaitForSingleObject(handle_.get(), milliseconds) == WAIT_OBJECT_0;
    while (WaitForSingleObject(handle_.get(), kJoinRound) != WAIT_OBJECT_0 && isRunning()) {
    }
    return true;
}

bool Thread::join()
{
    return join(INFINITE);
}

bool Thread::joinPumping(DWORD milliseconds)
{
    if (threadId_ != 0 && threadId_ == GetCurrentThreadId())
        return true;
    if (!isRunning())
        return true;
    HANDLE thread = handle_.get();
    const ULONGLONG deadline = GetTickCount64() + milliseconds;
    for (;;) {
        const ULONGLONG now = GetTickCount64();
        const DWORD left = milliseconds == INFINITE ? INFINITE : now >= deadline ? 0 : static_cast<DWORD>(deadline - now);
        const DWORD wait = MsgWaitForMultipleObjects(1, &thread, FALSE, left, QS_SENDMESSAGE);
        if (wait == WAIT_OBJECT_0)
            return true;
        if (wait != WAIT_OBJECT_0 + 1)
            return false;
        MSG msg;
        PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}

void Thread::sleep(DWORD milliseconds)
{
    Sleep(milliseconds);
}

} // namespace MPrint
