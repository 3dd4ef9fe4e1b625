// A unit of work run by an MPrint::Thread; subclasses override run.
#pragma once

namespace MPrint {

class Runnable {
public:
    Runnable() = default;
    virtual ~Runnable();
    Runnable(const Runnable&) = delete;
    Runnable& operator=(const Runnable&) = delete;

    virtual void run();
};

} // namespace MPrint
