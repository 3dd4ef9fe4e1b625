// Spooler queries against the spooler stand-in, on queues of this test's own.
#include "shared/SpoolerQueries.h"

#include "core/ScopedHandle.h"
#include "support/ScopedImportPatch.h"
#include "support/TestSpooler.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class SpoolerQueries : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(nullptr, testspool::control());
        ASSERT_EQ(DWORD{ERROR_SUCCESS}, queue_.error());
    }

    void TearDown() override
    {
        if (printer_)
            ClosePrinter(printer_);
    }

    HANDLE open()
    {
        if (!printer_) {
            EXPECT_TRUE(OpenPrinterW(const_cast<wchar_t*>(queue_.name().c_str()), &printer_, nullptr));
        }
        return printer_;
    }

    std::vector<DWORD> addJobs(int count)
    {
        std::vector<DWORD> ids;
        for (int i = 0; i < count; ++i) {
            DWORD id = 0;
            EXPECT_EQ(DWORD{ERROR_SUCCESS},
                      testspool::control()->addJob(queue_.name().c_str(), (L"Doc " + std::to_wstring(i)).c_str(), 0, &id));
            ids.push_back(id);
        }
        return ids;
    }

    testspool::ScopedQueue queue_{testspool::uniqueQueueName(L"VrelmQueries")};
    HANDLE printer_ = nullptr;
};

TEST_F(SpoolerQueries, LastJobIdOfEmptyAndFilledQueue)
{
    // Empty: no jobs, the id is not written; by name and by handle.
    DWORD jobId = 0xABCD;
    EXPECT_EQ(0u, getLastJobId(nullptr, queue_.name().c_str(), &jobId));
    EXPECT_EQ(0u, getLastJobId(open(), nullptr, &jobId));
    EXPECT_EQ(0xABCDu, jobId);

    const std::vector<DWORD> ids = addJobs(3);
    EXPECT_EQ(3u, getLastJobId(nullptr, queue_.name().c_str(), &jobId));
    EXPECT_EQ(ids[2], jobId);
    jobId = 0;
    EXPECT_EQ(3u, getLastJobId(open(), L"ignored when a handle is given", &jobId));
    EXPECT_EQ(ids[2], jobId);

    // Nothing to open.
    jobId = 0xABCD;
    EXPECT_EQ(0u, getLastJobId(nullptr, testspool::uniqueQueueName(L"VrelmNoSuchQueue").c_str(), &jobId));
    EXPECT_EQ(0u, getLastJobId(nullptr, nullptr, &jobId));
    EXPECT_EQ(0xABCDu, jobId);
}

TEST_F(SpoolerQueries, EnumJobsIntoBlockWithMargin)
{
    DWORD count = 77;
    EXPECT_EQ(nullptr, enumJobsAlloc(nullptr, 1, &count));
    EXPECT_EQ(nullptr, enumJobsAlloc(open(), 1, &count));
    EXPECT_EQ(77u, count); // an empty queue leaves the count alone

    const std::vector<DWORD> ids = addJobs(3);
    DWORD needed = 0, returned = 0;
    EXPECT_FALSE(EnumJobsW(open(), 0, 0xFFFFFFFF, 1, nullptr, 0, &needed, &returned));
    BYTE* block = enumJobsAlloc(open(), 1, &count);
    ASSERT_NE(nullptr, block);
    EXPECT_EQ(3u, count);
    EXPECT_EQ(SIZE_T{needed} + 1024, GlobalSize(block));
    const auto* jobs = reinterpret_cast<const JOB_INFO_1W*>(block);
    for (DWORD i = 0; i < count; ++i) {
        EXPECT_EQ(ids[i], jobs[i].JobId);
        EXPECT_EQ(L"Doc " + std::to_wstring(i), jobs[i].pDocument);
    }
    EXPECT_EQ(nullptr, GlobalFree(block));

    // A level the spooler refuses: null, its error kept.
    count = 5;
    EXPECT_EQ(nullptr, enumJobsAlloc(open(), 42, &count));
    EXPECT_EQ(DWORD{ERROR_INVALID_LEVEL}, GetLastError());
    EXPECT_EQ(nullptr, enumJobsAlloc(open(), 1, nullptr));
}

TEST_F(SpoolerQueries, PrinterAndDriverInfoInBlocks)
{
    BYTE* info = nullptr;
    ASSERT_TRUE(getPrinterAlloc(open(), 2, &info));
    ASSERT_NE(nullptr, info);
    EXPECT_EQ(queue_.name(), reinterpret_cast<const PRINTER_INFO_2W*>(info)->pPrinterName);
    EXPECT_EQ(nullptr, GlobalFree(info));

    info = nullptr;
    ASSERT_TRUE(getPrinterDriverAlloc(open(), 1, &info));
    ASSERT_NE(nullptr, info);
    EXPECT_STREQ(L"Vrelm Test Driver", reinterpret_cast<const DRIVER_INFO_1W*>(info)->pName);
    EXPECT_EQ(nullptr, GlobalFree(info));

    // Refused levels: false with the spooler's error; no size, so no block.
    info = nullptr;
    EXPECT_FALSE(getPrinterAlloc(open(), 99, &info));
    EXPECT_EQ(DWORD{ERROR_INVALID_LEVEL}, GetLastError());
    EXPECT_EQ(nullptr, info);

    // No out pointer: false, for the driver query too (no spooler call made).
    EXPECT_FALSE(getPrinterAlloc(open(), 2, nullptr));
    EXPECT_FALSE(getPrinterDriverAlloc(open(), 1, nullptr));
    EXPECT_FALSE(getPrinterDriverAlloc(nullptr, 1, nullptr));
}

TEST_F(SpoolerQueries, OpenWithAccess)
{
    HANDLE printer = nullptr;
    EXPECT_FALSE(openPrinterWithAccess(L"", &printer, PRINTER_ACCESS_USE));
    EXPECT_FALSE(openPrinterWithAccess(queue_.name(), nullptr, PRINTER_ACCESS_USE));
    EXPECT_EQ(nullptr, printer);

    ASSERT_TRUE(openPrinterWithAccess(queue_.name(), &printer, PRINTER_ALL_ACCESS));
    EXPECT_NE(nullptr, printer);
    ClosePrinter(printer);

    // An ordinary user may use the queue but not administer it.
    testspool::ScopedUserRights user;
    printer = nullptr;
    EXPECT_FALSE(openPrinterWithAccess(queue_.name(), &printer, PRINTER_ALL_ACCESS));
    EXPECT_EQ(DWORD{ERROR_ACCESS_DENIED}, GetLastError());
    ASSERT_TRUE(openPrinterWithAccess(queue_.name(), &printer, PRINTER_ACCESS_USE));
    ClosePrinter(printer);
}

} // namespace

TEST(SpoolerEnumeration, BlocksOfPrintersAndPortsKeepTheSpoolersError)
{
    ASSERT_NE(testspool::control(), nullptr);
    testspool::ScopedQueue queue(testspool::uniqueQueueName(L"Enum"));
    DWORD count = 0xBD;
    BYTE* block = enumPrintersAlloc(nullptr, 4, &count);
    ASSERT_NE(block, nullptr);
    bool found = false;
    for (DWORD i = 0; i < count; ++i)
        found |= queue.name() == reinterpret_cast<PRINTER_INFO_4W*>(block)[i].pPrinterName;
    EXPECT_TRUE(found);
    GlobalFree(block);

    block = enumPortsAlloc(nullptr, 1, &count);
    ASSERT_NE(block, nullptr);
    GlobalFree(block);

    SetLastError(0);
    count = 0xBD;
    EXPECT_EQ(enumPrintersAlloc(L"\\\\NoSuchServer", 2, &count), nullptr);
    EXPECT_EQ(GetLastError(), DWORD{RPC_S_SERVER_UNAVAILABLE});
    EXPECT_EQ(enumPortsAlloc(L"\\\\NoSuchServer", 2, &count), nullptr);
    EXPECT_EQ(GetLastError(), DWORD{RPC_S_SERVER_UNAVAILABLE});
}

namespace {

// Another process adds a port between a size query and the fetch: each size
// query of the server's ports is answered, then the list grows by a port
// whose entry alone is larger than the enumeration's margin.
struct GrowingPortList {
    static inline std::wstring server;
    static inline int growths = 0;  // size queries still followed by a new port
    static inline int added = 0;
    static inline decltype(&EnumPortsW) original = nullptr;

    static WINBOOL WINAPI enumPorts(LPWSTR name, DWORD level, LPBYTE ports, DWORD size, LPDWORD needed,
                                    LPDWORD returned)
    {
        const WINBOOL ok = original(name, level, ports, size, needed, returned);
        const DWORD error = GetLastError();
        if (size == 0 && growths > 0) {
            --growths;
            const std::wstring port = L"Port added between the calls " + std::to_wstring(++added) +
                                      L" with a name longer than the margin";
            testspool::control()->addServerPort(server.c_str(), port.c_str(), L"tcpmon.dll",
                                                L"Standard TCP/IP Port");
        }
        SetLastError(error);
        return ok;
    }
};

} // namespace

TEST(SpoolerEnumeration, PortsAddedBetweenTheSizeQueryAndTheFetchAreListed)
{
    ASSERT_NE(testspool::control(), nullptr);
    // A server of this process's own, without ports an earlier process of
    // the same id left, and gone when the test ends.
    struct OwnServer {
        std::wstring name = L"\\\\PortGrowth" + std::to_wstring(GetCurrentProcessId());
        OwnServer() { testspool::control()->removeServer(name.c_str()); }
        ~OwnServer() { testspool::control()->removeServer(name.c_str()); }
    } own;
    GrowingPortList::server = own.name;
    ASSERT_EQ(testspool::control()->addServerPort(GrowingPortList::server.c_str(), L"IP_10.0.0.1", L"tcpmon.dll",
                                                  L"Standard TCP/IP Port"),
              DWORD{ERROR_SUCCESS});
    testenv::ScopedImportPatch patch(GetModuleHandleW(nullptr), "winspool.drv", "EnumPortsW",
                                     reinterpret_cast<void*>(&GrowingPortList::enumPorts));
    ASSERT_TRUE(patch.active());
    GrowingPortList::original = reinterpret_cast<decltype(&EnumPortsW)>(patch.original());

    // Growths in a row, and whether the list is then read: a list that never
    // stops growing fails with the spooler's error instead of asking forever.
    const struct {
        int growths;
        bool listed;
    } rows[] = {{0, true}, {1, true}, {3, true}, {1000, false}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.growths);
        GrowingPortList::growths = row.growths;
        DWORD count = 0xBD;
        SetLastError(0);
        GlobalBlock<BYTE> block(enumPortsAlloc(GrowingPortList::server.c_str(), 2, &count));
        if (!row.listed) {
            EXPECT_FALSE(block);
            EXPECT_EQ(GetLastError(), DWORD{ERROR_INSUFFICIENT_BUFFER});
            continue;
        }
        ASSERT_TRUE(block);
        // Every port that was there when the list was fetched: the first
        // and each one added so far.
        EXPECT_EQ(count, DWORD(1 + GrowingPortList::added));
        EXPECT_EQ(GrowingPortList::growths, 0);
    }
    GrowingPortList::growths = 0;
}
