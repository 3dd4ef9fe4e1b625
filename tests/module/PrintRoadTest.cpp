// The module as the driver loads it, from a folder whose name holds a blank:
// a job whose destination changed is paused and handed to a real rundll32
// process, which waits for the earlier job and then re-targets (a
// destination the profile does not hold: the job is deleted; a device of the
// user's history: the queue is pointed at it and the job's bytes reach it).
// The short road of an empty queue, and input the driver or a command line
// may get wrong, through every entry.
#include "access/MonitorAccess.h"
#include "core/RegistryKey.h"
#include "core/SettingsKeys.h"
#include "extension/KRVProperties.h"
#include "support/DialogDriver.h"
#include "support/QueueData.h"
#include "support/RawPortDevice.h"
#include "support/SharedState.h"
#include "support/TestEnv.h"
#include "support/TestSpooler.h"
#include "support/UserDestination.h"

#include <optional>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

VRELM_TEST_SHARES(cluster_node, policy_settings);

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

// A queue on LPT1: whose driver declares its language, an emulated device
// that keeps what it receives on its raw port, the destination in the
// user's history, and the port made for the device removed afterwards.
class RoadToDevice : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(nullptr, testspool::control());
        ASSERT_TRUE(qzmon::registerStandInMonitors());
        ASSERT_TRUE(device_.started());
        ASSERT_TRUE(queue_.ready());
        ASSERT_TRUE(queue_.setVerifyPdl(L"PCL6"));
        ASSERT_TRUE(module_.loaded());
        documentEvent_ = module_.entry<DocumentEventFn>("QZDrvDocumentEvent");
        ASSERT_NE(nullptr, documentEvent_);
        destination_.emplace(L"Road Laser " + std::to_wstring(GetCurrentProcessId()), device_.host(), L"PCL6");
        ASSERT_TRUE(OpenPrinterW(const_cast<wchar_t*>(queue_.name().c_str()), &printer_, nullptr));
    }
    void TearDown() override
    {
        if (printer_)
            ClosePrinter(printer_);
        for (const wchar_t* marker : {krv::kCancelJob, krv::kChangePortPauseJob, krv::kUIOpen})
            deleteProcessProperty(marker);
        destination_.reset();
        testspool::control()->removePort(L"Standard TCP/IP Port", devicePort().c_str());
    }

    std::wstring devicePort() const { return L"IP_" + device_.host(); }
    std::wstring queuePort() const
    {
        BYTE info[1024] = {};
        DWORD needed = 0;
        if (!GetPrinterW(printer_, 5, info, sizeof(info), &needed))
            return L"<unread>";
        const wchar_t* port = reinterpret_cast<PRINTER_INFO_5W*>(info)->pPortName;
        return port ? port : L"";
    }
    // Start of the document (the chooser answers on its own), the job
    // spooled with its bytes, the job's creation reported.
    DWORD print(const std::string& bytes)
    {
        wchar_t name[] = L"Minutes.doc";
        DOCINFOW document = {sizeof(DOCINFOW), name, nullptr, nullptr, 0};
        const DOCINFOW* pointer = &document;
        EXPECT_EQ(0, documentEvent_(printer_, nullptr, 5, sizeof(pointer), &pointer, 0, nullptr));
        DOC_INFO_1W info{name, nullptr, nullptr};
        const DWORD job = StartDocPrinterW(printer_, 1, reinterpret_cast<LPBYTE>(&info));
        EXPECT_NE(0u, job);
        DWORD written = 0;
        EXPECT_TRUE(WritePrinter(printer_, const_cast<char*>(bytes.data()), static_cast<DWORD>(bytes.size()), &written));
        pausedFor_ = getProcessProperty(krv::kChangePortPauseJob);
        EXPECT_EQ(0, documentEvent_(printer_, nullptr, 13, sizeof(job), const_cast<DWORD*>(&job), 0, nullptr));
        return job;
    }

    testenv::RawPortDevice device_{{9100}, true};
    testspool::DriverQueue queue_{L"Road"};
    InstalledModule module_;
    DocumentEventFn documentEvent_ = nullptr;
    std::optional<testenv::UserDestination> destination_;
    HANDLE printer_ = nullptr;
    DWORD pausedFor_ = 0; // the earlier job the start of the document left to wait for
};

TEST_F(RoadToDevice, EarlierJobFirstThenTheQueueIsRepointedAndTheJobReachesTheDevice)
{
    testenv::ScopedLogVariable tracked(L"VRELM104_LOG");
    testspool::ScopedCallLog log;
    DWORD earlier = 0;
    ASSERT_EQ(DWORD{ERROR_SUCCESS}, testspool::control()->addJob(queue_.name().c_str(), L"earlier", 0, &earlier));

    const DWORD job = print("%!PS minutes of the meeting");
    EXPECT_EQ(earlier, pausedFor_) << "configuration deferred behind the earlier job";
    ASSERT_TRUE(EndDocPrinter(printer_));
    EXPECT_EQ(DWORD{JOB_STATUS_PAUSED}, testspool::jobStatus(printer_, job) & (JOB_STATUS_PAUSED | JOB_STATUS_DELETING));
    EXPECT_EQ(L"LPT1:", queuePort()) << "not re-pointed while the earlier job prints";

    const std::string earlierText = std::to_string(earlier);
    const std::string self = std::to_string(GetCurrentProcessId()) + "\t";
    auto childLooksAtEarlierJob = [&] {
        for (const std::string& line : log.calls("GetJobW"))
            if (line.find("\t" + earlierText + "\t") != std::string::npos && line.rfind(self, 0) != 0)
                return true;
        return false;
    };
    ASSERT_TRUE(waitFor(childLooksAtEarlierJob, 60000)) << "ResumePrintJob never ran";
    EXPECT_TRUE(device_.received(9100).empty());
    ASSERT_EQ(DWORD{ERROR_SUCCESS}, testspool::control()->completeJob(earlier));

    EXPECT_TRUE(waitFor([&] { return device_.received(9100) == "%!PS minutes of the meeting"; }, 60000))
        << "received: " << device_.received(9100);
    EXPECT_TRUE(waitFor([&] { return testspool::jobStatus(printer_, job) == testspool::kJobGone; }, 10000));
    EXPECT_EQ(devicePort(), queuePort());
    EXPECT_EQ(1u, destination_->changedPorts());
    const std::string track = "track " + testenv::narrow(queue_.name()) + "\t" + std::to_string(job);
    EXPECT_TRUE(waitFor([&] {
        const auto lines = tracked.lines();
        return std::find(lines.begin(), lines.end(), track) != lines.end();
    }, 10000)) << "the paused job was handed to the status module";
}

TEST_F(RoadToDevice, EmptyQueueIsRepointedAtOnceAndPrintsWithoutRundll32)
{
    testspool::ScopedCallLog log;
    const DWORD job = print("%!PS short road");
    EXPECT_EQ(0u, pausedFor_);
    EXPECT_EQ(devicePort(), queuePort()) << "applied while the chooser ran";
    EXPECT_EQ(0u, testspool::jobStatus(printer_, job) & (JOB_STATUS_PAUSED | JOB_STATUS_DELETING));
    ASSERT_TRUE(EndDocPrinter(printer_));
    EXPECT_TRUE(waitFor([&] { return device_.received(9100) == "%!PS short road"; }, 10000))
        << "received: " << device_.received(9100);
    EXPECT_EQ(testspool::kJobGone, testspool::jobStatus(printer_, job));
    const std::string self = std::to_string(GetCurrentProcessId()) + "\t";
    for (const std::string& line : log.calls("SetJobW"))
        EXPECT_EQ(0u, line.rfind(self, 0)) << "no other process touched the job: " << line;
}

TEST_F(RoadToDevice, CancelInTheChooserDeletesTheJob)
{
    RegistryKey(HKEY_CURRENT_USER, settingskeys::kSettings, RegistryKey::kAllAccess).setDword(L"PromptMethod", 0);
    testenv::DialogDriver driver;
    std::wstring title;
    driver.onDialog([&title](HWND chooser) {
        title = testenv::DialogDriver::title(chooser);
        testenv::DialogDriver::click(chooser, IDCANCEL);
    });
    bool asked = false;
    driver.onDialog([&asked](HWND box) {
        asked = testenv::DialogDriver::isMessageBox(box);
        testenv::DialogDriver::click(box, IDYES);
    });
    const DWORD job = print("%!PS never printed");
    // A chooser that answers on its own keeps its plain title.
    EXPECT_EQ(0u, title.find(queue_.name() + L" - ")) << "the user was asked: " << testenv::narrow(title);
    EXPECT_TRUE(asked) << "and confirmed that the job is not printed";
    EXPECT_EQ(0, driver.watchdogHits());
    EXPECT_EQ(L"LPT1:", queuePort());
    EXPECT_TRUE(testspool::jobStatus(printer_, job) == testspool::kJobGone ||
                (testspool::jobStatus(printer_, job) & JOB_STATUS_DELETING));
    EndDocPrinter(printer_);
    EXPECT_EQ(testspool::kJobGone, testspool::jobStatus(printer_, job));
    EXPECT_TRUE(device_.received(9100).empty());
}

// The chosen destination's SNMP community reaches the queue while the
// module verifies the destination, through the module's own workflow, even
// when an earlier job defers pointing the queue at it.
TEST_F(RoadToDevice, CommunityOfTheChosenDestinationIsStoredWhenItIsVerified)
{
    destination_.reset();
    destination_.emplace(L"Road Laser " + std::to_wstring(GetCurrentProcessId()), device_.host(), L"PCL6", L"cedar");
    DWORD earlier = 0;
    ASSERT_EQ(DWORD{ERROR_SUCCESS}, testspool::control()->addJob(queue_.name().c_str(), L"earlier", 0, &earlier));
    const DWORD job = print("%!PS with a community");
    ASSERT_EQ(earlier, pausedFor_) << "the destination is applied later, by rundll32";
    EXPECT_EQ(L"LPT1:", queuePort());
    wchar_t stored[40] = {};
    DWORD type = 0, needed = 0;
    EXPECT_EQ(DWORD{ERROR_SUCCESS}, GetPrinterDataW(printer_, const_cast<wchar_t*>(L"LumoSNMPCommunityName"), &type,
                                                    reinterpret_cast<BYTE*>(stored), sizeof(stored) - 2, &needed));
    EXPECT_EQ(L"cedar", std::wstring(stored));

    ASSERT_TRUE(EndDocPrinter(printer_));
    ASSERT_EQ(DWORD{ERROR_SUCCESS}, testspool::control()->completeJob(earlier));
    EXPECT_TRUE(waitFor([&] { return testspool::jobStatus(printer_, job) == testspool::kJobGone; }, 60000));
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
