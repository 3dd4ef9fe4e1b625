// The module's global allocation operators, all through the memory tracker.
// Kept alone in this file so that a program with operators of its own (the
// fuzz harness) links its own and not these.
#include "core/QZMemCollector.h"

#include <new>

// A failed allocation throws std::bad_alloc from the throwing forms, as every
// user of them (the standard containers first) expects; the nothrow forms
// answer null. A request of 0 bytes is a block of its own.
void* operator new(size_t size)
{
    void* data = QZMemCollector::allocate(size, false, __builtin_return_address(0));
    if (!data)
        throw std::bad_alloc();
    return data;
}

void* operator new[](size_t size)
{
    void* data = QZMemCollector::allocate(size, true, __builtin_return_address(0));
    if (!data)
        throw std::bad_alloc();
    return data;
}

void* operator new(size_t size, const std::nothrow_t&) noexcept
{
    return QZMemCollector::allocate(size, false, __builtin_return_address(0));
}

void* operator new[](size_t size, const std::nothrow_t&) noexcept
{
    return QZMemCollector::allocate(size, true, __builtin_return_address(0));
}

void operator delete(void* data) noexcept
{
    QZMemCollector::release(data, false);
}

void operator delete[](void* data) noexcept
{
    QZMemCollector::release(data, true);
}

void operator delete(void* data, size_t) noexcept
{
    QZMemCollector::release(data, false);
}

void operator delete[](void* data, size_t) noexcept
{
    QZMemCollector::release(data, true);
}

void operator delete(void* data, const std::nothrow_t&) noexcept
{
    QZMemCollector::release(data, false);
}

void operator delete[](void* data, const std::nothrow_t&) noexcept
{
    QZMemCollector::release(data, true);
}
