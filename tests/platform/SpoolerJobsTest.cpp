// The spooler stand-in's jobs and printer data as seen by two processes:
// this test and tests/programs/SpoolerPeer.exe.
#include "support/RawPortDevice.h"
#include "support/ScopedTcpPort.h"
#include "support/TestEnv.h"
#include "support/TestSpooler.h"

#include <gtest/gtest.h>

#include <winspool.h>

#include <string>
#include <vector>

using testspool::ScopedQueue;

namespace {

struct Job {
    DWORD id;
    DWORD status;
    std::wstring document;
    bool operator==(const Job& other) const
    {
        return id == other.id && status == other.status && document == other.document;
    }
};

class SpoolerJobs : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(testspool::control(), nullptr);
        ASSERT_EQ(queue_.error(), DWORD{ERROR_SUCCESS});
        PRINTER_DEFAULTSW defaults{nullptr, nullptr, PRINTER_ACCESS_USE};
        ASSERT_TRUE(OpenPrinterW(const_cast<wchar_t*>(queue_.name().c_str()), &printer_, &defaults));
    }
    void TearDown() override
    {
        if (printer_)
            ClosePrinter(printer_);
    }

    // Runs the peer process: "<command> "<queue>" args..." and returns its output.
    std::string peer(const std::string& command, const std::string& args = "")
    {
        const std::wstring line = L"\"" + testenv::binDir() + L"\\SpoolerPeer.exe\" " + testenv::widen(command) +
                                  L" \"" + queue_.name() + L"\" " + testenv::widen(args);
        const testenv::ProcessResult result = testenv::runProcess(line, {}, testenv::binDir(), 20000);
        EXPECT_FALSE(result.timedOut);
        std::string output;
        for (char c : result.output)
            if (c != '\r')
                output += c;
        return output;
    }

    std::vector<Job> jobs()
    {
        std::vector<Job> found;
        DWORD needed = 0, count = 0;
        EnumJobsW(printer_, 0, 100, 1, nullptr, 0, &needed, &count);
        std::vector<BYTE> buffer(needed + 8);
        if (!EnumJobsW(printer_, 0, 100, 1, buffer.data(), needed, &needed, &count))
            return found;
        for (DWORD i = 0; i < count; ++i) {
            const auto* info = reinterpret_cast<JOB_INFO_1W*>(buffer.data()) + i;
            found.push_back(Job{info->JobId, info->Status, info->pDocument ? info->pDocument : L""});
        }
        return found;
    }

    DWORD startDocument(const std::wstring& name)
    {
        DOC_INFO_1W info{const_cast<wchar_t*>(name.c_str()), nullptr, nullptr};
        return StartDocPrinterW(printer_, 1, reinterpret_cast<LPBYTE>(&info));
    }

    ScopedQueue queue_{testspool::uniqueQueueName(L"Jobs")};
    HANDLE printer_ = nullptr;
};

TEST_F(SpoolerJobs, TwoProcessesSeeOneJobList)
{
    const DWORD mine = startDocument(L"Report");
    ASSERT_NE(mine, 0u);
    char data[5] = "%!PS";
    DWORD written = 0;
    ASSERT_TRUE(WritePrinter(printer_, data, sizeof(data), &written));
    EXPECT_EQ(written, sizeof(data));
    EXPECT_EQ(peer("jobs"), "job " + std::to_string(mine) + " " + std::to_string(JOB_STATUS_SPOOLING) + " Report\n");
    ASSERT_TRUE(EndDocPrinter(printer_));

    const std::string started = peer("startdoc", "Letter");
    DWORD theirs = 0;
    ASSERT_EQ(sscanf(started.c_str(), "job %lu", &theirs), 1) << started;
    EXPECT_GT(theirs, mine);
    EXPECT_EQ(jobs(), (std::vector<Job>{{mine, 0, L"Report"}, {theirs, 0, L"Letter"}}));

    // Level 2 and 3 of the peer's job, with size queries.
    DWORD needed = 0;
    SetLastError(0);
    EXPECT_FALSE(GetJobW(printer_, theirs, 2, nullptr, 0, &needed));
    EXPECT_EQ(GetLastError(), DWORD{ERROR_INSUFFICIENT_BUFFER});
    std::vector<BYTE> buffer(needed);
    ASSERT_TRUE(GetJobW(printer_, theirs, 2, buffer.data(), needed, &needed));
    const auto* two = reinterpret_cast<JOB_INFO_2W*>(buffer.data());
    EXPECT_EQ(two->Size, 10u);
    EXPECT_EQ(two->Position, 2u);
    EXPECT_STREQ(two->pPrinterName, queue_.name().c_str());
    ASSERT_NE(two->pDevMode, nullptr);
    JOB_INFO_3 three[2] = {};
    DWORD count = 0;
    ASSERT_TRUE(EnumJobsW(printer_, 0, 2, 3, reinterpret_cast<LPBYTE>(three), sizeof(three), &needed, &count));
    ASSERT_EQ(count, 2u);
    EXPECT_EQ(three[0].NextJobId, theirs);
    EXPECT_EQ(three[1].NextJobId, 0u);
    EXPECT_FALSE(GetJobW(printer_, theirs + 1000, 1, buffer.data(), needed, &needed));
    EXPECT_EQ(GetLastError(), DWORD{ERROR_INVALID_PARAMETER});
}

TEST_F(SpoolerJobs, PauseResumeAndDeleteFromAnotherProcess)
{
    DWORD job = 0;
    ASSERT_EQ(testspool::control()->addJob(queue_.name().c_str(), L"Held", 0, &job), DWORD{ERROR_SUCCESS});
    const std::string id = std::to_string(job);
    EXPECT_EQ(peer("setjob", id + " " + std::to_string(JOB_CONTROL_PAUSE)), "ok\n");
    EXPECT_EQ(jobs(), (std::vector<Job>{{job, JOB_STATUS_PAUSED, L"Held"}}));
    EXPECT_EQ(peer("setjob", id + " " + std::to_string(JOB_CONTROL_RESUME)), "ok\n");
    EXPECT_EQ(jobs(), (std::vector<Job>{{job, 0, L"Held"}}));
    EXPECT_EQ(peer("setjob", id + " 99"), "error 87\n");
    EXPECT_EQ(peer("setjob", id + " " + std::to_string(JOB_CONTROL_DELETE)), "ok\n");
    EXPECT_TRUE(jobs().empty());
    EXPECT_EQ(peer("setjob", id + " " + std::to_string(JOB_CONTROL_PAUSE)), "error 87\n");
}

TEST_F(SpoolerJobs, JobsOnARawPortReachTheDeviceOnceTheyMayPrint)
{
    testenv::RawPortDevice device({9100, 9101}, true);
    ASSERT_TRUE(device.started());
    const std::wstring own = std::to_wstring(GetCurrentProcessId());
    testspool::ScopedTcpPort live(L"IP_raw_" + own, L"", device.host(), 9101);
    testspool::ScopedTcpPort dead(L"IP_dead_" + own, L"", device.host(), 9109); // nothing listens there
    ASSERT_EQ(live.status(), DWORD{ERROR_SUCCESS});
    ASSERT_EQ(dead.status(), DWORD{ERROR_SUCCESS});

    const struct {
        const char* name;
        std::wstring port;
        bool pausedWhileSpooling;
        std::string text;  // written in pieces of five bytes
        bool arrives;
        DWORD statusAfter; // testspool::kJobGone once printed
    } rows[] = {
        {"ended on a live port", L"IP_raw_" + own, false, "%!PS first", true, testspool::kJobGone},
        {"paused, then resumed", L"IP_raw_" + own, true, "%!PS second", true, testspool::kJobGone},
        {"ended on a port where nothing listens", L"IP_dead_" + own, false, "%!PS lost", false, JOB_STATUS_ERROR},
    };
    size_t delivered = 0;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ScopedQueue queue(testspool::uniqueQueueName(L"Raw Jobs"), L"Vrelm Test Driver", row.port);
        ASSERT_EQ(queue.error(), DWORD{ERROR_SUCCESS});
        HANDLE printer = nullptr;
        ASSERT_TRUE(OpenPrinterW(const_cast<wchar_t*>(queue.name().c_str()), &printer, nullptr));
        DOC_INFO_1W info{const_cast<wchar_t*>(L"Raw"), nullptr, nullptr};
        const DWORD job = StartDocPrinterW(printer, 1, reinterpret_cast<LPBYTE>(&info));
        ASSERT_NE(job, 0u);
        for (size_t at = 0; at < row.text.size(); at += 5) {
            DWORD written = 0;
            const std::string piece = row.text.substr(at, 5);
            ASSERT_TRUE(WritePrinter(printer, const_cast<char*>(piece.data()), static_cast<DWORD>(piece.size()),
                                     &written));
        }
        if (row.pausedWhileSpooling) {
            ASSERT_TRUE(SetJobW(printer, job, 0, nullptr, JOB_CONTROL_PAUSE));
            ASSERT_TRUE(EndDocPrinter(printer));
            EXPECT_EQ(testspool::jobStatus(printer, job), DWORD{JOB_STATUS_PAUSED}) << "held while paused";
            EXPECT_EQ(device.received(9101), std::string(delivered ? "%!PS first" : ""));
            ASSERT_TRUE(SetJobW(printer, job, 0, nullptr, JOB_CONTROL_RESUME));
        } else {
            ASSERT_TRUE(EndDocPrinter(printer));
        }
        if (row.arrives) {
            ++delivered;
            EXPECT_TRUE(device.waitForClosed(9101, delivered, 10000));
        }
        EXPECT_EQ(testspool::jobStatus(printer, job), row.statusAfter);
        ClosePrinter(printer);
    }
    EXPECT_EQ(device.received(9101), "%!PS first%!PS second") << "each job whole, in order";
    EXPECT_EQ(device.count(9100), 0u);
}

TEST_F(SpoolerJobs, JobDeletedWhilePrintingLingersAsDeletingUntilDone)
{
    DWORD job = 0;
    ASSERT_EQ(testspool::control()->addJob(queue_.name().c_str(), L"Busy", JOB_STATUS_PRINTING, &job),
              DWORD{ERROR_SUCCESS});
    ASSERT_TRUE(SetJobW(printer_, job, 0, nullptr, JOB_CONTROL_DELETE));
    EXPECT_EQ(jobs(), (std::vector<Job>{{job, JOB_STATUS_PRINTING | JOB_STATUS_DELETING, L"Busy"}}));
    ASSERT_EQ(testspool::control()->setJobStatus(job, 0, JOB_STATUS_PRINTING), DWORD{ERROR_SUCCESS});
    EXPECT_TRUE(jobs().empty());
}

TEST_F(SpoolerJobs, TwoProcessesSeeOnePrinterData)
{
    HANDLE admin = nullptr;
    PRINTER_DEFAULTSW all{nullptr, nullptr, PRINTER_ALL_ACCESS};
    ASSERT_TRUE(OpenPrinterW(const_cast<wchar_t*>(queue_.name().c_str()), &admin, &all));
    const wchar_t text[] = L"Guid-1";
    ASSERT_EQ(SetPrinterDataExW(admin, L"QZPresetRoot", L"QZRestrictedUserGuid", REG_SZ, (LPBYTE)text, sizeof(text)),
              DWORD{ERROR_SUCCESS});
    EXPECT_EQ(peer("getdata", "QZPresetRoot QZRestrictedUserGuid"), "string Guid-1\n");
    EXPECT_EQ(peer("setdata", "\"DMCDriverData\\Physical\" PRINT_AUTO_CONFIG Disabled"), "ok\n");
    wchar_t read[32] = {};
    DWORD type = 0, needed = 0;
    EXPECT_EQ(GetPrinterDataExW(admin, L"DMCDriverData\\Physical", L"PRINT_AUTO_CONFIG", &type, (LPBYTE)read,
                                sizeof(read), &needed),
              DWORD{ERROR_SUCCESS});
    EXPECT_STREQ(read, L"Disabled");
    ClosePrinter(admin);
    // The rights switch is per process and inherited: a user peer is refused.
    testspool::ScopedUserRights user;
    EXPECT_EQ(peer("setdata", "PrinterDriverData StaticMode 1"), "error 5\n");
}

TEST_F(SpoolerJobs, CallLogRecordsThisProcessAndItsChildren)
{
    testspool::ScopedCallLog log;
    const DWORD job = startDocument(L"Logged");
    ASSERT_NE(job, 0u);
    ASSERT_TRUE(EndDocPrinter(printer_));
    peer("setjob", std::to_string(job) + " " + std::to_string(JOB_CONTROL_PAUSE));
    const std::vector<std::string> starts = log.calls("StartDocPrinterW");
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_NE(starts[0].find(testenv::narrow(queue_.name()) + "\tLogged\t" + std::to_string(job) + "\t=> 0"),
              std::string::npos)
        << starts[0];
    const std::vector<std::string> sets = log.calls("SetJobW");
    ASSERT_EQ(sets.size(), 1u);
    EXPECT_NE(sets[0].rfind(std::to_string(GetCurrentProcessId()) + "\t", 0), 0u) << "logged by the peer";
    EXPECT_NE(sets[0].find("\t1\t=> 0"), std::string::npos) << sets[0];
}

TEST_F(SpoolerJobs, RundllFromSystemFolderSeesTheSameSpooler)
{
    // rundll32.exe finds system32's winspool.drv first: the stand-in must be there too
    // (tools/with-wine.sh puts it there), or the second process of the print road sees
    // Wine's own spooler. The control entry for scripts doubles as the probe.
    testenv::TempDir elsewhere;
    const std::wstring line = L"rundll32.exe winspool.drv,SpoolerControlRun addjob \"" + queue_.name() +
                              L"\" FromRundll " + std::to_wstring(JOB_STATUS_PAUSED);
    const testenv::ProcessResult result = testenv::runProcess(line, {}, elsewhere.path(), 20000);
    ASSERT_FALSE(result.timedOut);
    const std::vector<Job> found = jobs();
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].document, L"FromRundll");
    EXPECT_EQ(found[0].status, DWORD{JOB_STATUS_PAUSED});
}

} // namespace
