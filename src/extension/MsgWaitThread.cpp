#include "extension/MsgWaitThread.h"

bool MsgWaitThread::join(DWORD milliseconds)
{
    if (milliseconds != INFINITE)
        return Thread::join(milliseconds);
    const HANDLE handle = getHandle();
    if (handle == INVALID_HANDLE_VALUE || GetCurrentThreadId() == getThreadId())
        return true;
    for (;;) {
        const DWORD result = MsgWaitForMultipleObjects(1, &handle, FALSE, INFINITE, 0);
        if (result == WAIT_OBJECT_0)
            return true;
        if (result == WAIT_FAILED)
            return Thread::join(INFINITE); // the caller frees the work item next: never before the worker ended
        MSG message;
        PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE);
    }
}
