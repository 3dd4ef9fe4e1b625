// The handle owners: each closes exactly once, moves hand the handle on,
// release() gives it up, and a close on a failure path keeps the caller's
// last error. A closed kernel handle is seen through GetHandleInformation.
#include "core/GlobalLockGuard.h"
#include "core/ScopedHandle.h"

#include <gtest/gtest.h>

#include <utility>

namespace {

bool isOpenKernelHandle(HANDLE handle)
{
    DWORD flags = 0;
    return GetHandleInformation(handle, &flags) != FALSE;
}

HANDLE newEvent()
{
    return CreateEventW(nullptr, TRUE, FALSE, nullptr);
}

TEST(ScopedHandle, ClosesOnceAndHandsOnByMoveOrRelease)
{
    HANDLE raw = newEvent();
    ASSERT_NE(raw, nullptr);
    {
        ScopedKernelHandle first(raw);
        ScopedKernelHandle second(std::move(first));
        EXPECT_FALSE(first.valid());
        EXPECT_EQ(second.get(), raw);
        ScopedKernelHandle third;
        third = std::move(second);
        EXPECT_TRUE(isOpenKernelHandle(raw)) << "a move must not close";
    }
    EXPECT_FALSE(isOpenKernelHandle(raw)) << "the last owner closes";

    HANDLE kept = newEvent();
    {
        ScopedKernelHandle owner(kept);
        EXPECT_EQ(owner.release(), kept);
        EXPECT_FALSE(owner.valid());
    }
    EXPECT_TRUE(isOpenKernelHandle(kept)) << "released: the caller owns it";
    ScopedKernelHandle adopt(kept);
    adopt.reset(newEvent());
    EXPECT_FALSE(isOpenKernelHandle(kept)) << "reset closes the old handle";
}

TEST(ScopedHandle, NoHandleValuesAreNeverClosed)
{
    ScopedKernelHandle invalid(INVALID_HANDLE_VALUE);
    EXPECT_FALSE(invalid.valid());
    ScopedPrinter printer;
    EXPECT_FALSE(printer.valid());
    // An out-parameter written by a failing call: the owner stays empty.
    HANDLE* slot = printer.receive();
    EXPECT_EQ(*slot, nullptr);
}

TEST(ScopedHandle, CloseKeepsTheCallersLastError)
{
    ScopedKernelHandle owner(newEvent());
    SetLastError(ERROR_ACCESS_DENIED);
    owner.reset();
    EXPECT_EQ(GetLastError(), DWORD{ERROR_ACCESS_DENIED});
}

TEST(ScopedHandle, GlobalBlockAndLockGuard)
{
    ScopedGlobal movable(GlobalAlloc(GMEM_MOVEABLE, 16));
    ASSERT_TRUE(movable.valid());
    {
        GlobalLockGuard<char> lock(movable.get());
        ASSERT_TRUE(lock);
        lock.get()[0] = 'x';
        EXPECT_EQ(GlobalFlags(movable.get()) & GMEM_LOCKCOUNT, 1u);
    }
    EXPECT_EQ(GlobalFlags(movable.get()) & GMEM_LOCKCOUNT, 0u) << "the guard unlocks, never frees";

    GlobalBlock<int> fixed(static_cast<int*>(GlobalAlloc(GPTR, sizeof(int))));
    ASSERT_TRUE(fixed.valid());
    *fixed.get() = 7;
    int* handedOut = fixed.release();
    EXPECT_FALSE(fixed.valid());
    EXPECT_EQ(GlobalFree(handedOut), nullptr) << "the receiver frees a released block";
}

TEST(ScopedHandle, ModuleOwnerFreesWhatItLoaded)
{
    HMODULE before = GetModuleHandleW(L"mpr.dll");
    {
        ScopedModule module(LoadLibraryW(L"mpr.dll"));
        ASSERT_TRUE(module.valid());
    }
    if (!before) {
        EXPECT_EQ(GetModuleHandleW(L"mpr.dll"), nullptr) << "the only reference went with its owner";
    }
}

} // namespace
