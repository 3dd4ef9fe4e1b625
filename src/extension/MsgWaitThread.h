// A worker thread whose infinite join keeps the waiting thread's message
// queue served, so a window of the waiting thread stays responsive while
// the worker shows a dialog. The handle is known once start returned, so
// the join never gives up before the worker ended.
#pragma once

#include "core/Thread.h"

class MsgWaitThread : public MPrint::Thread {
public:
    explicit MsgWaitThread(MPrint::Runnable* runnable) : Thread(runnable) {}

    // INFINITE waits until the worker has ended, serving the caller's
    // messages meanwhile; a finite time is the base class's join.
    bool join(DWORD milliseconds) override;
    bool join() override { return join(INFINITE); }
};
