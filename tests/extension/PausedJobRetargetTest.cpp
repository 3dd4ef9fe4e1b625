// The rundll32 road of a paused job: the command lines the module builds
// and the entry parses back, the wait for earlier jobs against the spooler
// stand-in (with a scripted sleep), and the re-target that resumes or
// deletes the job by what the destination steps answer.
#include "extension/LumoraPrintingExtension.h"

#include "VagantUIExtension/ComponentRegistrationTable.h"
#include "destination/PrintPathAttr.h"
#include "destination/TargetHistoryList.h"
#include "extension/ManagedPrintPolicy.h"
#include "extension/RundllEntries.h"
#include "extension/Rundll32Launch.h"
#include "support/FakeDestinationWorkflow.h"
#include "support/PrivateCurrentUser.h"
#include "support/SharedState.h"
#include "support/TestEnv.h"
#include "support/TestSpooler.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

VRELM_TEST_SHARES(policy_settings);

namespace {

const wchar_t kModule[] = L"C:\\Program Files\\Vrelm Driver\\vrelm101.dll";

TEST(RundllCommandLines, ResumeAndMakePermanentLinesRoundTrip)
{
    const struct {
        const char* name;
        DWORD paused, previous;
        const wchar_t* printer;
        const wchar_t* destination;
        const wchar_t* profile;
        const wchar_t* line; // null: refused
    } rows[] = {
        {"all values", 12, 11, L"Office Printer", L"Laser 4th floor", L"Travel",
         L"rundll32.exe \"C:\\Program Files\\Vrelm Driver\\vrelm101.dll\",ResumePrintJob /pausedJobId=12 "
         L"/previousJobId=11 /printer=\"Office Printer\" /dest=\"Laser 4th floor\" /profile=\"Travel\""},
        {"empty queue before it, empty texts", 7, 0xFFFFFFFF, L"P", L"", L"",
         L"rundll32.exe \"C:\\Program Files\\Vrelm Driver\\vrelm101.dll\",ResumePrintJob /pausedJobId=7 "
         L"/previousJobId=-1 /printer=\"P\" /dest=\"\" /profile=\"\""},
        {"a quote in the destination", 7, 6, L"P", L"the \"big\" one", L"", nullptr},
        {"a quote in the profile", 7, 6, L"P", L"d", L"a\"b", nullptr},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        std::wstring line = L"untouched";
        EXPECT_EQ(row.line != nullptr, LumoraPrintingExtension::resumeCommandLine(
                                           kModule, row.printer, row.paused, row.previous, row.destination,
                                           row.profile, line));
        if (!row.line) {
            EXPECT_EQ(L"untouched", line);
            continue;
        }
        EXPECT_EQ(row.line, line);
        // What rundll32 hands the entry: the text after the entry's name.
        const std::wstring handed = line.substr(line.find(L"ResumePrintJob") + 15);
        rundll::ResumeArguments parsed;
        ASSERT_TRUE(rundll::parseResumeArguments(handed.c_str(), parsed));
        EXPECT_EQ(row.paused, parsed.pausedJobId);
        EXPECT_EQ(row.previous, parsed.previousJobId);
        EXPECT_EQ(row.printer, parsed.printer);
        EXPECT_EQ(row.destination, parsed.destination);
        EXPECT_EQ(row.profile, parsed.profile);
    }
    std::wstring line;
    ASSERT_TRUE(LumoraPrintingExtension::makePermanentCommandLine(kModule, L"Office Printer", line));
    EXPECT_EQ(L"rundll32.exe \"C:\\Program Files\\Vrelm Driver\\vrelm101.dll\",MakePermanent  "
              L"/printer=\"Office Printer\"",
              line);
}

TEST(RundllCommandLines, ResumeArgumentsNeedEverySwitch)
{
    const struct {
        const char* name;
        const wchar_t* line;
        bool parsed;
        DWORD paused;
        const wchar_t* printer;
    } rows[] = {
        {"any order", L"/profile=\"R\" /printer=\"Q 1\" /dest=\"D\" /previousJobId=4 /pausedJobId=5", true, 5, L"Q 1"},
        {"no paused id", L"/previousJobId=4 /printer=\"Q\" /dest=\"D\" /profile=\"R\"", false, 0, L""},
        {"no previous id", L"/pausedJobId=5 /printer=\"Q\" /dest=\"D\" /profile=\"R\"", false, 0, L""},
        {"no printer", L"/pausedJobId=5 /previousJobId=4 /dest=\"D\" /profile=\"R\"", false, 0, L""},
        {"no destination", L"/pausedJobId=5 /previousJobId=4 /printer=\"Q\" /profile=\"R\"", false, 0, L""},
        {"no profile", L"/pausedJobId=5 /previousJobId=4 /printer=\"Q\" /dest=\"D\"", false, 0, L""},
        {"unterminated", L"/pausedJobId=5 /previousJobId=4 /dest=\"D\" /profile=\"R\" /printer=\"Q", false, 0, L""},
        {"printer unquoted", L"/pausedJobId=5 /previousJobId=4 /printer=Q /dest=\"D\" /profile=\"R\"", false, 0, L""},
        {"empty printer", L"/pausedJobId=5 /previousJobId=4 /printer=\"\" /dest=\"D\" /profile=\"R\"", false, 0, L""},
        {"not a number", L"/pausedJobId=x /previousJobId=4 /printer=\"Q\" /dest=\"D\" /profile=\"R\"", true, 0, L"Q"},
        {"empty", L"", false, 0, L""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        rundll::ResumeArguments parsed;
        EXPECT_EQ(row.parsed, rundll::parseResumeArguments(row.line, parsed));
        EXPECT_EQ(row.paused, parsed.pausedJobId);
        EXPECT_EQ(row.printer, parsed.printer);
    }
    rundll::ResumeArguments parsed;
    EXPECT_FALSE(rundll::parseResumeArguments(nullptr, parsed));

    EXPECT_EQ(L"Office", rundll::firstQuotedText(L"\"Office\" /q"));
    EXPECT_EQ(L"", rundll::firstQuotedText(L"\"Office /q"));
    EXPECT_EQ(L"", rundll::firstQuotedText(L"Office"));

    EXPECT_TRUE(rundll::hasQuietSwitch(L"\"Office\" /q"));
    EXPECT_FALSE(rundll::hasQuietSwitch(L"\"Office\""));
    EXPECT_FALSE(rundll::hasQuietSwitch(L"\"Plans/quarterly\"")) << "in the name, not a switch";
    EXPECT_FALSE(rundll::hasQuietSwitch(L"\"Office /q")) << "no name";
}

// A queue with jobs of the stand-in spooler.
class QueueWithJobs {
public:
    QueueWithJobs() : queue_(testspool::uniqueQueueName(L"Paused Job"))
    {
        OpenPrinterW(const_cast<wchar_t*>(queue_.name().c_str()), &printer_, nullptr);
    }
    ~QueueWithJobs()
    {
        if (printer_)
            ClosePrinter(printer_);
    }
    DWORD addJob(const wchar_t* document, DWORD status = 0)
    {
        DWORD id = 0;
        EXPECT_EQ(DWORD{ERROR_SUCCESS}, testspool::control()->addJob(queue_.name().c_str(), document, status, &id));
        return id;
    }
    DWORD status(DWORD id) const { return testspool::jobStatus(printer_, id); }
    HANDLE printer() const { return printer_; }
    const std::wstring& name() const { return queue_.name(); }

private:
    testspool::ScopedQueue queue_;
    HANDLE printer_ = nullptr;
};

TEST(RundllLaunch, StartsTheSystemsRundll32NotOnePlantedInTheCurrentDirectory)
{
    // A printing application's current directory may be any folder of the
    // user's: a program there named rundll32.exe must not run.
    testenv::TempDir dir;
    ASSERT_TRUE(testenv::copyFileTo(testenv::binDir() + L"\\WriteArgs.exe", dir.file(L"rundll32.exe")));
    const std::wstring marker = dir.file(L"planted.txt");
    wchar_t previous[MAX_PATH] = {};
    ASSERT_NE(0u, GetCurrentDirectoryW(MAX_PATH, previous));
    ASSERT_TRUE(SetCurrentDirectoryW(dir.path().c_str()));
    const bool started = rundll::start(L"rundll32.exe \"" + marker + L"\" planted", nullptr);
    SetCurrentDirectoryW(previous);
    EXPECT_TRUE(started);
    for (int wait = 0; wait < 30 && !testenv::fileExists(marker); ++wait)
        Sleep(100);
    EXPECT_FALSE(testenv::fileExists(marker)) << "the planted program ran";
}

TEST(EarlierJobWait, WaitsUntilNoEarlierJobIsLeftAndSleepsOnEveryLook)
{
    ASSERT_NE(nullptr, testspool::control());
    struct Row {
        const char* name;
        bool usePreviousId; // else -1
        bool lingers;       // the earlier job is deleted but still printing
        bool laterJob;
        int sleepsBeforeItGoes;
        int expectedSleeps;
    };
    const Row rows[] = {
        {"earlier job printed after two looks", true, false, false, 2, 2},
        {"no previous id: the list finds the earlier job", false, false, false, 1, 1},
        {"a job being deleted is looked at once per sleep", true, true, false, 3, 3},
        {"a later job is no reason to wait", true, false, true, 0, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        QueueWithJobs queue;
        ASSERT_NE(nullptr, queue.printer());
        const DWORD earlier = row.sleepsBeforeItGoes ? queue.addJob(L"earlier", row.lingers ? JOB_STATUS_PRINTING : 0)
                                                     : 0;
        if (row.lingers) {
            ASSERT_EQ(DWORD{ERROR_SUCCESS}, testspool::control()->setJobStatus(earlier, JOB_STATUS_DELETING, 0));
        }
        const DWORD paused = queue.addJob(L"paused", JOB_STATUS_PAUSED);
        if (row.laterJob)
            queue.addJob(L"later");
        int sleeps = 0;
        rundll::waitForEarlierJobs(queue.printer(), paused, row.usePreviousId && earlier ? earlier : 0xFFFFFFFF,
                                   [&](DWORD milliseconds) {
                                       EXPECT_EQ(rundll::kEarlierJobPollMs, milliseconds);
                                       ++sleeps;
                                       ASSERT_LE(sleeps, 10) << "the wait does not end";
                                       if (sleeps == row.sleepsBeforeItGoes) {
                                           if (row.lingers)
                                               testspool::control()->setJobStatus(earlier, 0, JOB_STATUS_PRINTING);
                                           else
                                               testspool::control()->completeJob(earlier);
                                       }
                                   });
        EXPECT_EQ(row.expectedSleeps, sleeps);
        EXPECT_EQ(DWORD{JOB_STATUS_PAUSED}, queue.status(paused) & JOB_STATUS_PAUSED);
    }
}

// Re-targeting over a private HKEY_CURRENT_USER whose history holds the
// destination, with the destination steps scripted.
class RetargetTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(hkcu_.isActive());
        extension_ = LumoraPrintingExtension::instance();
        ASSERT_NE(nullptr, extension_);
        TargetHistoryList history(extension_->getSettings()->getTargetHistoryKey());
        history.load();
        auto path = std::make_unique<MPrint::PrintPath>();
        path->setStringAttribute(PrintPathAttr::DisplayString, L"Lab Laser", true);
        path->setStringAttribute(PrintPathAttr::Address, L"127.0.0.7", true);
        history.add(path.release());
        history.save();
    }
    void TearDown() override
    {
        delete LumoraPrintingExtension::current();
        if (MPrint::ManagedPrintPolicy::hasInstance())
            delete MPrint::ManagedPrintPolicy::instance();
    }

    testenv::PrivateCurrentUser hkcu_;
    LumoraPrintingExtension* extension_ = nullptr;
};

TEST_F(RetargetTest, JobResumesOnlyWhenEveryStepPasses)
{
    struct Row {
        const char* name;
        const wchar_t* destination;
        std::function<void(testenv::FakeDestinationWorkflow&)> script;
        int result; // 0: the step throws
        std::vector<std::string> calls;
    };
    auto fails = [](std::function<void()>& during) { during = [] { throw std::runtime_error("device gone"); }; };
    const std::vector<std::string> all = {"validate", "check", "pdl", "configure", "apply"};
    auto first = [&all](size_t n) { return std::vector<std::string>(all.begin(), all.begin() + n); };
    const Row rows[] = {
        {"every step passes", L"Lab Laser", [](auto&) {}, 1, all},
        {"not in the history", L"Elsewhere", [](auto&) {}, 2, {}},
        {"device not valid", L"Lab Laser", [](auto& w) { w.validates = false; }, 2, first(1)},
        {"configuration check fails", L"Lab Laser", [](auto& w) { w.configurationCurrent = false; }, 2, first(2)},
        {"language does not fit", L"Lab Laser", [](auto& w) { w.pdlAnswer = 2; }, 2, first(3)},
        {"configuration fails", L"Lab Laser", [](auto& w) { w.configureAnswer = 0; }, 2, first(4)},
        {"queue not re-pointed", L"Lab Laser", [](auto& w) { w.applies = false; }, 2, all},
        // A step that throws reaches the caller, and the job goes as on any failure, not left paused.
        {"language check throws", L"Lab Laser", [&fails](auto& w) { fails(w.duringPdl); }, 0, first(3)},
        {"configuration throws", L"Lab Laser", [&fails](auto& w) { fails(w.duringConfigure); }, 0, first(4)},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        QueueWithJobs queue;
        const DWORD job = queue.addJob(L"Quarterly.pdf", JOB_STATUS_PAUSED);
        testenv::FakeDestinationWorkflow workflow;
        row.script(workflow);
        if (row.result == 0) {
            EXPECT_THROW(extension_->retargetPausedJob(nullptr, queue.name().c_str(), row.destination, L"", job),
                         std::runtime_error);
        } else {
            EXPECT_EQ(row.result,
                      extension_->retargetPausedJob(nullptr, queue.name().c_str(), row.destination, L"", job));
        }
        EXPECT_EQ(LumoraPrintingExtension::kModeRetargetPausedJob, extension_->getMode());
        EXPECT_EQ(row.calls, workflow.calls());
        const DWORD status = queue.status(job);
        if (row.result == 1) {
            EXPECT_EQ(0u, status & (JOB_STATUS_PAUSED | JOB_STATUS_DELETING));
        } else {
            EXPECT_TRUE(status == testspool::kJobGone || (status & JOB_STATUS_DELETING)) << status;
        }
        ASSERT_NE(nullptr, extension_->getDestinationContext());
        EXPECT_EQ(L"Quarterly.pdf", std::wstring(extension_->getDestinationContext()->getDocumentName()));
        EXPECT_EQ(row.destination, extension_->getDestination());
    }
}

TEST_F(RetargetTest, JobLeftPausedWhenQueueOrJobCannotBeRead)
{
    QueueWithJobs queue;
    const DWORD job = queue.addJob(L"Letter", JOB_STATUS_PAUSED);
    testenv::FakeDestinationWorkflow workflow;
    EXPECT_EQ(2, extension_->retargetPausedJob(nullptr, nullptr, L"Lab Laser", L"", job));
    EXPECT_EQ(2, extension_->retargetPausedJob(nullptr, queue.name().c_str(), nullptr, L"", job));
    EXPECT_EQ(2, extension_->retargetPausedJob(nullptr, L"No Such Queue 4711", L"Lab Laser", L"", job));
    EXPECT_EQ(2, extension_->retargetPausedJob(nullptr, queue.name().c_str(), L"Lab Laser", L"", job + 1000));
    EXPECT_TRUE(workflow.calls().empty());
    EXPECT_EQ(DWORD{JOB_STATUS_PAUSED}, queue.status(job) & (JOB_STATUS_PAUSED | JOB_STATUS_DELETING));
}

// An entry an older release stored ("name=address") is found by its name
// through the extension's discovery services, and the job goes to it.
TEST_F(RetargetTest, EntryOfAnOlderReleaseIsFoundByName)
{
    ASSERT_EQ(linkComponentRegistrations, 1) << "the module's discovery services";
    RegistryKey key(extension_->getSettings()->getTargetHistoryKey());
    ASSERT_TRUE(key.setString(L"Target1", L"Old Laser = 127.0.0.9"));
    ASSERT_TRUE(key.setDword(L"TargetAge1", 1));
    ASSERT_TRUE(key.setDword(L"HistoryLength", 2));
    QueueWithJobs queue;
    const DWORD job = queue.addJob(L"Budget.xls", JOB_STATUS_PAUSED);
    testenv::FakeDestinationWorkflow workflow;
    EXPECT_EQ(1, extension_->retargetPausedJob(nullptr, queue.name().c_str(), L"Old Laser", L"", job));
    EXPECT_EQ((std::vector<std::string>{"validate", "check", "pdl", "configure", "apply"}), workflow.calls());
    EXPECT_EQ(0u, queue.status(job) & (JOB_STATUS_PAUSED | JOB_STATUS_DELETING));
}

} // namespace
