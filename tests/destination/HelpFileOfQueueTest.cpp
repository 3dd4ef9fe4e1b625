// The help file of a real queue: the destination context opens the queue,
// CHelpCab finds the cabinet among its driver's dependent files (spooler
// stand-in) and extracts the help file into the temporary folder.
#include "destination/DestinationContext.h"
#include "support/TestEnv.h"
#include "support/TestSpooler.h"
#include "ui/CHelpCab.h"

#include <gtest/gtest.h>

namespace {

const wchar_t kDriversKey[] = L"SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\Windows x64\\Drivers\\Version-3\\";

class HelpFileOfQueueTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(testspool::control(), nullptr) << "winspool.drv is not the stand-in";
        id_ = std::to_wstring(GetCurrentProcessId());
        driver_ = L"Records Help Driver " + id_;
        const std::wstring cabinet = dir_.file(L"xyzhl" + id_ + L".cab");
        helpFile_ = tempFolder() + L"xyzEN" + id_ + L".chm";

        // A cabinet with the US English help file only: every UI language
        // falls back to it.
        const std::wstring name = L"xyzEN" + id_ + L".chm";
        HANDLE file = CreateFileW(dir_.file(name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD written = 0;
        WriteFile(file, "help", 4, &written, nullptr);
        CloseHandle(file);
        const testenv::ProcessResult made =
            testenv::runProcess(L"cabarc.exe N \"" + cabinet + L"\" " + name, {}, dir_.path(), 10000);
        ASSERT_EQ(made.exitCode, 0u) << made.output;

        std::wstring files = L"C:\\windows\\system32\\spool\\drivers\\x64\\3\\UNIDRV.DLL";
        files += L'\0';
        files += cabinet;
        files += L'\0';
        files += L'\0';
        ASSERT_EQ(testspool::control()->setDriverValue(driver_.c_str(), L"Dependent Files", REG_MULTI_SZ,
                                                       files.data(), static_cast<DWORD>(files.size() * 2)),
                  DWORD{ERROR_SUCCESS});
        queue_ = std::make_unique<testspool::ScopedQueue>(testspool::uniqueQueueName(L"Help"), driver_);
        ASSERT_EQ(queue_->error(), DWORD{ERROR_SUCCESS});
    }

    void TearDown() override
    {
        queue_.reset();
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, (kDriversKey + driver_).c_str());
        DeleteFileW(helpFile_.c_str());
    }

    static std::wstring tempFolder()
    {
        wchar_t temp[MAX_PATH + 1] = {};
        GetTempPathW(MAX_PATH + 1, temp);
        return temp;
    }

    testenv::TempDir dir_;
    std::wstring id_;
    std::wstring driver_;
    std::wstring helpFile_;
    std::unique_ptr<testspool::ScopedQueue> queue_;
};

TEST_F(HelpFileOfQueueTest, ContextFindsTheDriversHelpFile)
{
    MPrint::DestinationContext context(queue_->name(), nullptr);
    std::wstring path;
    CHelpCab helpCab;
    ASSERT_TRUE(context.getHelpFilePath(path, helpCab));
    EXPECT_EQ(path, helpFile_);
    EXPECT_EQ(testenv::readFile(path), "help");
}

TEST_F(HelpFileOfQueueTest, QueueWithoutFullAccessGivesNoHelpFile)
{
    testspool::ScopedUserRights user;
    MPrint::DestinationContext context(queue_->name(), nullptr);
    std::wstring path = L"untouched";
    CHelpCab helpCab;
    EXPECT_FALSE(context.getHelpFilePath(path, helpCab));
    EXPECT_EQ(path, L"untouched");
}

TEST_F(HelpFileOfQueueTest, PathThatDoesNotFitTheBufferIsNotWritten)
{
    HANDLE printer = nullptr;
    ASSERT_TRUE(OpenPrinterW(const_cast<wchar_t*>(queue_->name().c_str()), &printer, nullptr));
    CHelpCab helpCab;
    wchar_t buffer[MAX_PATH];
    wmemset(buffer, L'x', MAX_PATH);
    EXPECT_FALSE(helpCab.extract(printer, buffer, helpFile_.size())); // no room for the terminator
    EXPECT_EQ(buffer[0], L'x');
    EXPECT_TRUE(helpCab.extract(printer, buffer, helpFile_.size() + 1));
    EXPECT_EQ(std::wstring(buffer), helpFile_);
    EXPECT_EQ(buffer[helpFile_.size() + 1], L'x');
    ClosePrinter(printer);
}

} // namespace
