// The module as the driver loads it, from a folder whose name holds a blank:
// a job whose destination changed is paused and handed to a real rundll32
// process, which waits for the earlier job and then re-targets (here: a
// destination the profile does not hold, so the job is deleted). And input
// the driver or a command line may get wrong, through every entry.
#include "extension/KRVProperties.h"
#include "support/TestEnv.h"
#include "support/TestSpooler.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

using DocumentEventFn = int(WINAPI*)(HANDLE, HDC, int, ULONG, PVOID, ULONG, PVOID);
using DocumentHookFn = int(WINAPI*)(HANDLE, HDC, int, ULONG, PVOID, ULONG, PVOID, int*);
using RundllFn = void(WINAPI*)(HWND, HINSTANCE, LPWSTR, int);

// The module and the modules it loads from its own folder, copied to a folder with a blank.
class InstalledModule {
public:
    InstalledModule()
    {
        folder_ = dir_.file(L"driver files");
        CreateDirectoryW(folder_.c_str(), nullptr);
        for (const wchar_t* name : {L"vrelm101.dll", L"vrelm102.DLL", L"vrelm104.dll"})
            testenv::copyFileTo(testenv::binDir() + L"\\" + name, folder_ + L"\\" + name);
        module_ = LoadLibraryW((folder_ + L"\\vrelm101.dll").c_str());
    }
    ~InstalledModule()
    {
        if (module_)
            FreeLibrary(module_);
    }
    template <typename Fn>
    Fn entry(const char* name) const
    {
        return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module_, name)));
    }
    bool loaded() const { return module_ != nullptr; }

private:
    testenv::TempDir dir_;
    std::wstring folder_;
    HMODULE module_ = nullptr;
};

bool waitFor(const std::function<bool()>& condition, DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    while (!condition()) {
        if (GetTickCount() - start > timeoutMs)
            return false;
        Sleep(100);
    }
    return true;
}

TEST(PrintRoad, ChangedDestinationPausesTheJobAndRundll32TakesItOverAfterTheEarlierJob)
{
    ASSERT_NE(nullptr, testspool::control());
    InstalledModule module;
    ASSERT_TRUE(module.loaded());
    auto documentEvent = module.entry<DocumentEventFn>("QZDrvDocumentEvent");
    ASSERT_NE(nullptr, documentEvent);

    testspool::ScopedCallLog log;
    testspool::ScopedQueue queue(testspool::uniqueQueueName(L"Print Road"));
    ASSERT_EQ(DWORD{ERROR_SUCCESS}, queue.error());
    HANDLE printer = nullptr;
    ASSERT_TRUE(OpenPrinterW(const_cast<wchar_t*>(queue.name().c_str()), &printer, nullptr));
    DWORD earlier = 0, job = 0;
    ASSERT_EQ(DWORD{ERROR_SUCCESS}, testspool::control()->addJob(queue.name().c_str(), L"earlier", 0, &earlier));
    ASSERT_EQ(DWORD{ERROR_SUCCESS}, testspool::control()->addJob(queue.name().c_str(), L"Minutes.doc", 0, &job));

    // What the start of the document left: another destination, the earlier job to wait for.
    setProcessProperty(krv::kChangePortPauseJob, earlier);
    EXPECT_EQ(0, documentEvent(printer, nullptr, 13, sizeof(job), &job, 0, nullptr));
    EXPECT_EQ(0u, getProcessProperty(krv::kChangePortPauseJob));
    EXPECT_EQ(DWORD{JOB_STATUS_PAUSED}, testspool::jobStatus(printer, job) & (JOB_STATUS_PAUSED | JOB_STATUS_DELETING));

    // rundll32 found the module in its folder with a blank and looks at the earlier job.
    const std::string earlierText = std::to_string(earlier);
    const DWORD self = GetCurrentProcessId();
    auto childLooksAtEarlierJob = [&] {
        for (const std::string& line : log.calls("GetJobW"))
            if (line.find("\t" + earlierText + "\t") != std::string::npos && line.rfind(std::to_string(self) + "\t", 0) != 0)
                return true;
        return false;
    };
    ASSERT_TRUE(waitFor(childLooksAtEarlierJob, 60000)) << "ResumePrintJob never ran";
    EXPECT_EQ(DWORD{JOB_STATUS_PAUSED}, testspool::jobStatus(printer, job) & JOB_STATUS_PAUSED) << "waits for the earlier job";

    ASSERT_EQ(DWORD{ERROR_SUCCESS}, testspool::control()->completeJob(earlier));
    // Not in the profile's history: deleted rather than left paused.
    EXPECT_TRUE(waitFor([&] { return testspool::jobStatus(printer, job) == testspool::kJobGone; }, 60000));
    ClosePrinter(printer);
}

TEST(PrintRoad, EntriesTakeBadInputQuietly)
{
    InstalledModule module;
    ASSERT_TRUE(module.loaded());
    auto documentEvent = module.entry<DocumentEventFn>("QZDrvDocumentEvent");
    auto startDocPre = module.entry<DocumentHookFn>("DocEventStartDocPre");
    auto startDocPost = module.entry<DocumentHookFn>("DocEventStartDocPost");
    auto resume = module.entry<RundllFn>("ResumePrintJobW");
    ASSERT_TRUE(documentEvent && startDocPre && startDocPost && resume);

    testspool::ScopedQueue queue(testspool::uniqueQueueName(L"Bad Input"));
    HANDLE printer = nullptr;
    ASSERT_TRUE(OpenPrinterW(const_cast<wchar_t*>(queue.name().c_str()), &printer, nullptr));
    DWORD job = 0;
    ASSERT_EQ(DWORD{ERROR_SUCCESS}, testspool::control()->addJob(queue.name().c_str(), L"kept", 0, &job));
    setProcessProperty(krv::kCancelJob, GetCurrentProcessId()); // a job that reached the events would be deleted

    WORD two = 13;
    const struct {
        const char* name;
        HANDLE printer;
        int event;
        ULONG size;
        PVOID input;
    } events[] = {
        {"job created, no input", printer, 13, 4, nullptr},
        {"job created, short input", printer, 13, 2, &two},
        {"job created, no printer", nullptr, 13, 0, nullptr},
        {"start of document, no input", printer, 5, 8, nullptr},
        {"start of document, short input", printer, 5, 2, &two},
        {"end of document, no printer", nullptr, 8, 0, nullptr},
        {"unknown event", printer, 1000, 0, nullptr},
    };
    for (const auto& row : events) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(0, documentEvent(row.printer, nullptr, row.event, row.size, row.input, 0, nullptr));
        EXPECT_EQ(0, startDocPre(row.printer, nullptr, row.event, row.size, row.input, 0, nullptr, nullptr));
        int result = -1;
        EXPECT_EQ(0, startDocPost(row.printer, nullptr, row.event, row.size, row.input, 0, nullptr, &result));
        EXPECT_EQ(0, result);
    }
    EXPECT_EQ(0u, testspool::jobStatus(printer, job) & (JOB_STATUS_PAUSED | JOB_STATUS_DELETING));
    deleteProcessProperty(krv::kCancelJob);

    const std::wstring name = queue.name();
    const std::wstring lines[] = {
        L"",
        L"/pausedJobId=5",
        L"/pausedJobId=" + std::to_wstring(job) + L" /previousJobId=-1 /printer=\"" + name + L" /dest=\"\" /profile=\"\"",
        L"/pausedJobId=" + std::to_wstring(job) + L" /previousJobId=-1 /printer=\"" + name + L"\" /dest=\"a\"b\"",
        L"/pausedJobId=" + std::to_wstring(job + 1000) + L" /previousJobId=-1 /printer=\"" + name +
            L"\" /dest=\"\" /profile=\"\"",
        L"/pausedJobId=" + std::to_wstring(job) + L" /previousJobId=-1 /printer=\"No Such Queue 81\" /dest=\"\" "
                                                  L"/profile=\"\"",
        L"\"C:\\Program Files\\x.dll\" /printer=",
    };
    resume(nullptr, nullptr, nullptr, SW_SHOWNORMAL);
    for (const std::wstring& line : lines) {
        SCOPED_TRACE(testenv::narrow(line));
        std::wstring writable = line;
        resume(nullptr, nullptr, writable.data(), SW_SHOWNORMAL);
    }
    // None of them named a job of this queue that could be re-targeted.
    EXPECT_EQ(0u, testspool::jobStatus(printer, job) & (JOB_STATUS_PAUSED | JOB_STATUS_DELETING));
    ClosePrinter(printer);
}

} // namespace
