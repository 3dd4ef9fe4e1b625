// Per-thread COM bookkeeping, observed through the apartment itself: a probe
// with CoInitializeEx(MTA) answers S_OK on an uninitialised thread and
// RPC_E_CHANGED_MODE on one still in a single-threaded apartment.
#include "core/COMInitSingleton.h"
#include "core/COMWrapper.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

enum class Apartment { None, SingleThreaded, MultiThreaded };

Apartment probeApartment()
{
    const HRESULT result = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    if (result == RPC_E_CHANGED_MODE)
        return Apartment::SingleThreaded;
    CoUninitialize();
    return result == S_OK ? Apartment::None : Apartment::MultiThreaded;
}

// Each case on a fresh thread, so that no test inherits another's apartment.
template <typename Body>
void onNewThread(Body body)
{
    std::thread(body).join();
}

TEST(COMWrapperTest, NestedInitialisationsAreUndoneInOrder)
{
    onNewThread([] {
        COMWrapper* com = getThreadCOMWrapper(__FILE__, __LINE__);
        ASSERT_NE(com, nullptr);
        EXPECT_EQ(com->initialize(), S_OK);
        EXPECT_EQ(com->initialize(), S_FALSE);
        EXPECT_EQ(com->depth(), 2u);
        EXPECT_TRUE(com->uninitialize());
        EXPECT_EQ(probeApartment(), Apartment::SingleThreaded);
        EXPECT_TRUE(com->uninitialize());
        EXPECT_EQ(probeApartment(), Apartment::None);
        EXPECT_FALSE(com->uninitialize()); // empty: calls nothing
        EXPECT_EQ(probeApartment(), Apartment::None);
    });
}

TEST(COMWrapperTest, FailedInitialisationIsPoppedWithoutUninitialising)
{
    onNewThread([] {
        ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK); // someone else's
        COMWrapper* com = getThreadCOMWrapper(__FILE__, __LINE__);
        EXPECT_EQ(com->initialize(), RPC_E_CHANGED_MODE);
        EXPECT_TRUE(com->uninitialize());
        EXPECT_EQ(com->depth(), 0u);
        EXPECT_EQ(probeApartment(), Apartment::MultiThreaded); // theirs survives
        CoUninitialize();
    });
}

TEST(COMWrapperTest, RecordGrowsBySixtyFourWhenFull)
{
    COMWrapper com;
    EXPECT_EQ(com.capacity(), 0u);
    com.initializeEx(nullptr, COINIT_APARTMENTTHREADED);
    EXPECT_EQ(com.capacity(), 64u);
    for (int i = 1; i < 63; ++i)
        com.initialize();
    EXPECT_EQ(com.depth(), 63u);
    EXPECT_EQ(com.capacity(), 64u);
    com.initialize(); // the 64th push
    EXPECT_EQ(com.capacity(), 128u);
    while (com.uninitialize()) {
    }
    EXPECT_EQ(probeApartment(), Apartment::None);
}

TEST(COMWrapperTest, EachThreadHasItsOwnWrapper)
{
    COMWrapper* mine = getThreadCOMWrapper(__FILE__, __LINE__);
    EXPECT_EQ(getThreadCOMWrapper(__FILE__, __LINE__), mine);
    COMWrapper* other = nullptr;
    onNewThread([&] { other = getThreadCOMWrapper(__FILE__, __LINE__); });
    EXPECT_NE(other, nullptr);
    EXPECT_NE(other, mine);
    EXPECT_NE(mine, COMInitSingleton::instance());
}

} // namespace
