// Spooler queries against the spooler stand-in, on queues of this test's own.
#include "shared/SpoolerQueries.h"
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
