// Bad input through every export of the shipped module, as a driver, a
// monitor or rundll32 could hand it: null and short inputs, wrong sizes and
// levels, odd command lines. Each call ends with a clear failure, no crash,
// and the queue's paused job and port are as they were.
#include "access/MonitorAccess.h"
#include "core/ScopedHandle.h"
#include "extension/WaypostJobEvents.h"
#include "support/PrivateCurrentUser.h"
#include "support/SharedState.h"
#include "support/TestEnv.h"
#include "support/TestSpooler.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

VRELM_TEST_SHARES(policy_settings);

namespace {

constexpr DWORD kSentinel = 0xE0E0E0E0;
constexpr DWORD kAnyError = 0xFFFFFFFF;
constexpr BOOL kAnyResult = -1;

using DocumentEventFn = int(WINAPI*)(HANDLE, HDC, int, ULONG, PVOID, ULONG, PVOID);
using DocumentHookFn = int(WINAPI*)(HANDLE, HDC, int, ULONG, PVOID, ULONG, PVOID, int*);
using AccountingFn = BOOL(WINAPI*)(DWORD, LPSTR, void**);
using JobFn = BOOL(WINAPI*)(DWORD);
using AttributesFn = BOOL(WINAPI*)(HANDLE, PDEVMODEW, DWORD, PVOID);
using PortFn = BOOL(WINAPI*)(LPCWSTR, LPCWSTR);
using RundllFn = void(WINAPI*)(HWND, HINSTANCE, LPWSTR, int);
using PrinterEventFn = int(WINAPI*)(LPCWSTR, int, DWORD, LPARAM);

class ExportInputTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(hkcu_.isActive());
        ASSERT_TRUE(qzmon::registerStandInMonitors());
        ASSERT_EQ(DWORD{ERROR_SUCCESS}, queue_.error());
        module_ = LoadLibraryW((testenv::binDir() + L"\\vrelm101.dll").c_str());
        ASSERT_NE(nullptr, module_);
        HANDLE opened = nullptr;
        ASSERT_TRUE(OpenPrinterW(const_cast<wchar_t*>(queue_.name().c_str()), &opened, nullptr));
        printer_.reset(opened);
        ASSERT_EQ(DWORD{ERROR_SUCCESS},
                  testspool::control()->addJob(queue_.name().c_str(), L"Kept", JOB_STATUS_PAUSED, &job_));
    }
    void TearDown() override
    {
        printer_.reset();
        if (module_)
            FreeLibrary(module_);
    }

    template <typename Fn>
    Fn entry(const char* name)
    {
        Fn fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module_, name)));
        EXPECT_NE(nullptr, fn) << name;
        return fn;
    }

    std::wstring queuePort()
    {
        PRINTER_INFO_5W info[16] = {};
        DWORD needed = 0;
        if (!GetPrinterW(printer_.get(), 5, reinterpret_cast<BYTE*>(info), sizeof(info), &needed) ||
            !info[0].pPortName)
            return L"<unreadable>";
        return info[0].pPortName;
    }

    testenv::PrivateCurrentUser hkcu_;
    testspool::ScopedQueue queue_{testspool::uniqueQueueName(L"Export Input")};
    HMODULE module_ = nullptr;
    ScopedPrinter printer_;
    DWORD job_ = 0;
};

TEST_F(ExportInputTest, BadInputFailsClearlyAndLosesNothing)
{
    const auto documentEvent = entry<DocumentEventFn>("QZDrvDocumentEvent");
    const auto startDocPre = entry<DocumentHookFn>("DocEventStartDocPre");
    const auto startDocPost = entry<DocumentHookFn>("DocEventStartDocPost");
    const auto accounting = entry<AccountingFn>("GetJobAccountingInfo");
    const auto finishAccounting = entry<JobFn>("FinishedJobAccounting");
    const auto attributes = entry<AttributesFn>("QZDrvSetJobAttrInfo");
    const auto setPort = entry<PortFn>("SetPrinterPort");
    const auto waypostInfo = entry<AccountingFn>("GetWaypostJobInfo");
    const auto finishWaypost = entry<JobFn>("FinishedWaypostJob");
    const auto resume = entry<RundllFn>("ResumePrintJobW");
    const auto makePermanent = entry<RundllFn>("MakePermanentW");
    const auto updateStatic = entry<RundllFn>("UpdateStaticModePrinterW");
    const auto initPre = entry<PrinterEventFn>("PrinterEventInitPre");
    const auto initPost = entry<PrinterEventFn>("PrinterEventInitPost");
    const auto printerDeleted = entry<PrinterEventFn>("PrinterEventDelete");
    ASSERT_FALSE(HasFailure());

    HANDLE printer = printer_.get();
    const std::string narrowName = testenv::narrow(queue_.name());
    char* name = const_cast<char*>(narrowName.c_str());
    const std::wstring half = queue_.name().substr(0, queue_.name().size() / 2);
    const std::wstring rest = queue_.name().substr(queue_.name().size() / 2);
    const std::wstring job = std::to_wstring(job_);
    const std::wstring port = queuePort();
    void* const notNull = reinterpret_cast<void*>(0x1234);
    BYTE shortInput[2] = {1, 2};
    DEVMODEW tinyMode = {};
    tinyMode.dmSize = 8; // claims less than its duplex field
    tinyMode.dmDuplex = DMDUP_VERTICAL;
    BYTE attributeBytes[64] = {};
    void* block = nullptr;

    // A job the monitor answers about with a string outside its reply.
    const DWORD faultyJob = job_ + 100000;
    DWORD status = 0;
    DWORD needed = 0;
    ASSERT_TRUE(LumoraUI::sendWaypostEvent(LumoraUI::waypostJobStartRecord(faultyJob, false, 1, L"Lab"), nullptr, 0,
                                           status, needed));
    ASSERT_EQ(DWORD{ERROR_SUCCESS}, status);
    const std::wstring faultKey = L"SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\QZ Keravin Print "
                                  L"Monitor\\WaypostJobs\\" + std::to_wstring(faultyJob);
    const DWORD one = 1;
    ASSERT_EQ(ERROR_SUCCESS, RegSetKeyValueW(HKEY_LOCAL_MACHINE, faultKey.c_str(), L"ReplyFault", REG_DWORD, &one, 4));

    // A rundll32 entry has no result: it must return, and the job stays paused.
    auto run = [](RundllFn fn, std::wstring line) {
        return [fn, line]() mutable {
            fn(nullptr, nullptr, line.empty() ? nullptr : line.data(), SW_HIDE);
            return TRUE;
        };
    };
    const std::wstring resumeTail = L" /previousJobId=-1 /dest=\"Lab\" /profile=\"Home\"";
    const struct {
        const char* name;
        std::function<BOOL()> call;
        BOOL result;
        DWORD lastError; // kAnyError: not checked
    } rows[] = {
        {"document event 13, null input", [&] { return documentEvent(printer, nullptr, 13, 4, nullptr, 0, nullptr); },
         0, kAnyError},
        {"document event 13, short input",
         [&] { return documentEvent(printer, nullptr, 13, sizeof(shortInput), shortInput, 0, nullptr); }, 0, kAnyError},
        {"document event 5, null input", [&] { return documentEvent(printer, nullptr, 5, 8, nullptr, 0, nullptr); }, 0,
         kAnyError},
        {"document event, null printer", [&] { return documentEvent(nullptr, nullptr, 8, 0, nullptr, 0, nullptr); }, 0,
         kAnyError},
        {"unknown document event", [&] { return documentEvent(printer, nullptr, 99, 4, shortInput, 0, nullptr); }, 0,
         kAnyError},
        {"start-of-document hook, null result and input",
         [&] { return startDocPre(printer, nullptr, 13, 0, nullptr, 0, nullptr, nullptr); }, 0, kAnyError},
        {"after-creation hook, short input",
         [&] { return startDocPost(printer, nullptr, 13, 1, shortInput, 0, nullptr, nullptr); }, 0, kAnyError},
        {"accounting, null out pointer", [&] { return accounting(job_, name, nullptr); }, FALSE,
         DWORD{ERROR_INVALID_PARAMETER}},
        {"accounting, out pointer not null",
         [&] {
             void* held = notNull;
             const BOOL result = accounting(job_, name, &held);
             return result || held != notNull;
         },
         FALSE, DWORD{ERROR_INVALID_PARAMETER}},
        {"accounting, null printer name, job unknown to the monitor", [&] { return accounting(job_, nullptr, &block); },
         FALSE, kAnyError},
        {"end of accounting for job 0", [&] { return finishAccounting(0); }, FALSE, kAnyError},
        {"attributes without attribute info", [&] { return attributes(printer, nullptr, 1, nullptr); }, FALSE,
         kAnyError},
        // Sent to the monitor with the level only; whether it takes it is its own affair.
        {"attributes, a level with no record, a short device mode",
         [&] { return attributes(nullptr, &tinyMode, 9, attributeBytes); }, kAnyResult, kAnyError},
        {"port switch, null printer", [&] { return setPort(nullptr, L"LPT2:"); }, FALSE, kAnyError},
        {"port switch, null port", [&] { return setPort(queue_.name().c_str(), nullptr); }, FALSE, kAnyError},
        {"port switch, queue unknown", [&] { return setPort((queue_.name() + L"x").c_str(), L"LPT2:"); }, FALSE,
         kAnyError},
        {"port switch, empty names", [&] { return setPort(L"", L""); }, FALSE, kAnyError},
        {"Waypost information, null out pointer", [&] { return waypostInfo(job_, name, nullptr); }, FALSE,
         DWORD{ERROR_INVALID_PARAMETER}},
        {"Waypost information, out pointer not null",
         [&] {
             void* held = notNull;
             const BOOL result = waypostInfo(job_, name, &held);
             return result || held != notNull;
         },
         FALSE, DWORD{ERROR_INVALID_PARAMETER}},
        {"Waypost information, job unknown, null printer name",
         [&] { return waypostInfo(job_, nullptr, &block) || block != nullptr; }, FALSE, kAnyError},
        {"Waypost information, malformed monitor reply",
         [&] { return waypostInfo(faultyJob, name, &block) || block != nullptr; }, FALSE, kAnyError},
        {"Waypost end of job 0", [&] { return finishWaypost(0); }, FALSE, kAnyError},
        {"Waypost end of a job never started", [&] { return finishWaypost(job_); }, FALSE, kAnyError},
        {"resume, null line", run(resume, L""), TRUE, kAnyError},
        {"resume, no switches", run(resume, L"garbage"), TRUE, kAnyError},
        {"resume, no paused job", run(resume, L"/printer=\"" + queue_.name() + L"\"" + resumeTail), TRUE, kAnyError},
        {"resume, printer quote not closed",
         run(resume, L"/pausedJobId=" + job + resumeTail + L" /printer=\"" + queue_.name()), TRUE, kAnyError},
        {"resume, a quote inside the printer name",
         run(resume, L"/pausedJobId=" + job + L" /printer=\"" + half + L"\"" + rest + L"\"" + resumeTail), TRUE,
         kAnyError},
        {"resume, empty printer", run(resume, L"/pausedJobId=" + job + L" /printer=\"\"" + resumeTail), TRUE,
         kAnyError},
        {"resume, the module's path with a blank before the switches",
         run(resume, L"\"C:\\Program Files\\Q\\vrelm101.dll\",ResumePrintJob /pausedJobId=" + job +
                         L" /printer=\"" + queue_.name() + L"\" /dest=\"Lab\""),
         TRUE, kAnyError},
        {"make permanent, null line", run(makePermanent, L""), TRUE, kAnyError},
        {"make permanent, quote not closed", run(makePermanent, L"/printer=\"" + queue_.name()), TRUE, kAnyError},
        {"make permanent, empty printer", run(makePermanent, L"/printer=\"\""), TRUE, kAnyError},
        {"static update, null line", run(updateStatic, L""), TRUE, kAnyError},
        {"static update, one quote", run(updateStatic, L"\"" + queue_.name()), TRUE, kAnyError},
        {"static update, no quotes", run(updateStatic, queue_.name() + L" /q"), TRUE, kAnyError},
        {"static update, queue unknown", run(updateStatic, L"\"" + half + L"\"" + rest + L"\" /q"), TRUE, kAnyError},
        {"printer set-up, null name", [&] { return initPre(nullptr, 1, 0, 0); }, 0, kAnyError},
        {"printer set up, an event it does not know", [&] { return initPost(nullptr, 99, 0, 0); }, 0, kAnyError},
        {"printer deleted, null name", [&] { return printerDeleted(nullptr, 0, 0, 0); }, 0, kAnyError},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        block = nullptr;
        SetLastError(kSentinel);
        const BOOL result = row.call();
        if (row.result != kAnyResult) {
            EXPECT_EQ(row.result, result);
        }
        if (row.lastError != kAnyError) {
            EXPECT_EQ(row.lastError, GetLastError());
        }
        EXPECT_EQ(nullptr, block);
        EXPECT_EQ(DWORD{JOB_STATUS_PAUSED},
                  testspool::jobStatus(printer, job_) & (JOB_STATUS_PAUSED | JOB_STATUS_DELETING | JOB_STATUS_DELETED))
            << "the paused job is kept";
        EXPECT_EQ(port, queuePort());
    }
    EXPECT_TRUE(finishWaypost(faultyJob)) << "the monitor kept its job";
}

} // namespace
