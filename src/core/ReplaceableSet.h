// The process's replaceable implementation of an interface: the one set
// last, else the interface's own defaults (one object made on first use).
// Set and read from any thread; the set object is not owned, and its owner
// takes it away before it goes. Constant-initialised, so a set made while
// the module's statics are constructed is never overwritten.
#pragma once

#include <atomic>

template <class Interface>
class ReplaceableSet {
public:
    constexpr ReplaceableSet() = default;
    ReplaceableSet(const ReplaceableSet&) = delete;
    ReplaceableSet& operator=(const ReplaceableSet&) = delete;

    Interface& current()
    {
        Interface* installed = installed_.load();
        return installed ? *installed : defaults();
    }
    // Null: the defaults again.
    void set(Interface* installed) { installed_.store(installed); }

private:
    static Interface& defaults()
    {
        static Interface none;
        return none;
    }

    std::atomic<Interface*> installed_{nullptr};
};
