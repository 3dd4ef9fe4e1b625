#include "extension/MsgWaitThread.h"

bool MsgWaitThread::join(DWORD milliseconds)
{
    if (milliseconds != INFINITE)
        return Thread::join(milliseconds);
    // The caller frees the work item next: should the pumping wait itself
    // fail, still never return before the worker ended.
    return joinPumping(INFINITE) || Thread::join(INFINITE);
}
