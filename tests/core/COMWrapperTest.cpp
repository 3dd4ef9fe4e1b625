// Per-thread COM bookkeeping, observed through the apartment itself: a probe
// with CoInitializeEx(MTA) answers S_OK on an uninitialised thread and
// RPC_E_CHANGED_MODE on one still in a single-threaded apartment.
#include "core/COMInitSingleton.h"
#include "core/COMWrapper.h"

#include <gtest/gtest.h>

#include <optional>
#include <thread>
#include <vector>

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

// The calling thread's wrapper, asked for again: one whose record emptied is gone.
COMWrapper* threadCom()
{
    return getThreadCOMWrapper(__FILE__, __LINE__);
}

TEST(COMWrapperTest, NestedInitialisationsAreUndoneInOrder)
{
    onNewThread([] {
        COMWrapper* com = threadCom();
        ASSERT_NE(com, nullptr);
        EXPECT_EQ(com->initialize(), S_OK);
        EXPECT_EQ(com->initialize(), S_FALSE);
        EXPECT_EQ(com->depth(), 2u);
        EXPECT_TRUE(com->uninitialize());
        EXPECT_EQ(probeApartment(), Apartment::SingleThreaded);
        EXPECT_TRUE(com->uninitialize());
        EXPECT_EQ(probeApartment(), Apartment::None);
        EXPECT_FALSE(threadCom()->uninitialize()); // empty: calls nothing
        EXPECT_EQ(probeApartment(), Apartment::None);
    });
}

TEST(COMWrapperTest, FailedInitialisationIsPoppedWithoutUninitialising)
{
    onNewThread([] {
        ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK); // someone else's
        EXPECT_EQ(threadCom()->initialize(), RPC_E_CHANGED_MODE);
        EXPECT_TRUE(threadCom()->uninitialize());
        EXPECT_EQ(threadCom()->depth(), 0u);
        EXPECT_EQ(probeApartment(), Apartment::MultiThreaded); // theirs survives
        CoUninitialize();
    });
}

TEST(COMWrapperTest, ThreadRowsGoWithTheirLastUse)
{
    COMInitSingleton* table = COMInitSingleton::instance();
    ASSERT_NE(table, nullptr);
    const DWORD before = table->rowCount();
    onNewThread([&] {
        COMWrapper* com = threadCom();
        com->initialize();
        com->initialize();
        EXPECT_EQ(table->rowCount(), before + 1);
        com->uninitialize();
        EXPECT_EQ(table->rowCount(), before + 1) << "still in use";
        EXPECT_EQ(threadCom(), com);
        com->uninitialize();
        EXPECT_EQ(table->rowCount(), before);
        // The next use starts a fresh record.
        EXPECT_EQ(threadCom()->depth(), 0u);
        EXPECT_EQ(threadCom()->initialize(), S_OK);
        EXPECT_TRUE(threadCom()->uninitialize());
        EXPECT_EQ(table->rowCount(), before);
    });
    for (int i = 0; i < 100; ++i) {
        onNewThread([] {
            COMWrapper* com = threadCom();
            com->initialize();
            com->uninitialize();
        });
    }
    EXPECT_EQ(table->rowCount(), before);
}

// Records whether the thread's apartment still stood when its last
// reference went.
class ApartmentProbe : public IUnknown {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override
    {
        if (!object)
            return E_POINTER;
        *object = nullptr;
        if (!IsEqualIID(riid, IID_IUnknown))
            return E_NOINTERFACE;
        *object = this;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const LONG count = InterlockedDecrement(&refs_);
        if (count == 0)
            releasedIn = probeApartment();
        return static_cast<ULONG>(count);
    }
    volatile LONG refs_ = 0;
    std::optional<Apartment> releasedIn;
};

TEST(COMWrapperTest, KeptObjectGoesBeforeTheInitialisationItReliesOn)
{
    enum Op { Sta, Mta, Keep, Pop };
    struct Row {
        const char* name;
        std::vector<Op> ops;
        bool kept;        // the keep was taken
        size_t popsAfter; // pops after the keep until the object is released
    } rows[] = {
        {"nothing recorded", {Keep}, false, 0},
        {"only a failed initialisation", {Mta, Sta, Keep}, false, 0},
        {"one initialisation", {Sta, Keep}, true, 1},
        {"the innermost success counts", {Sta, Sta, Keep}, true, 1},
        {"a failure above it is popped first", {Sta, Mta, Keep}, true, 2},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        onNewThread([&] {
            ApartmentProbe probe;
            bool took = false;
            bool theirs = false;
            for (Op op : row.ops) {
                if (op == Sta) {
                    threadCom()->initialize();
                } else if (op == Mta) {
                    // Before any STA: someone else's multithreaded apartment;
                    // after one: a failed entry of ours.
                    if (threadCom()->depth() == 0 && !theirs) {
                        theirs = true;
                        ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
                    } else {
                        threadCom()->initializeEx(nullptr, COINIT_MULTITHREADED);
                    }
                } else if (op == Keep) {
                    took = threadCom()->keep(Microsoft::WRL::ComPtr<IUnknown>(&probe));
                }
            }
            EXPECT_EQ(took, row.kept);
            if (!took) {
                EXPECT_EQ(probe.refs_, 0) << "a refused object is not held";
            } else {
                EXPECT_FALSE(threadCom()->keep(Microsoft::WRL::ComPtr<IUnknown>(&probe))) << "one at a time";
                for (size_t i = 1; i < row.popsAfter; ++i) {
                    threadCom()->uninitialize();
                    EXPECT_FALSE(probe.releasedIn.has_value());
                }
                threadCom()->uninitialize();
                ASSERT_TRUE(probe.releasedIn.has_value());
                EXPECT_NE(*probe.releasedIn, Apartment::None) << "released after CoUninitialize";
            }
            while (threadCom()->depth() > 0)
                threadCom()->uninitialize();
            if (theirs)
                CoUninitialize();
        });
    }
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
