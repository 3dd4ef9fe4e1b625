// The print-time prompts over a scripted chooser: what each prompt hands the
// chooser, how its answers come back (shown again on 4, the destination
// saved on a confirmation), the first-job marker, the monitor's ticket
// release, and the prompt thread that keeps its work item until it ended.
#include "access/MonitorAccess.h"
#include "extension/LumoraPrintingExtension.h"

#include "core/SettingsKeys.h"
#include "extension/PrintTimeDialogs.h"
#include "extension/DocPrompt.h"
#include "extension/KRVProperties.h"
#include "extension/ManagedPrintPolicy.h"
#include "extension/MsgWaitThread.h"
#include "support/PrivateCurrentUser.h"
#include "support/SharedState.h"
#include "support/TestEnv.h"
#include "support/TestSpooler.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

VRELM_TEST_SHARES(policy_settings);

namespace {

// Answers in order (2 once they run out); records what each showing saw.
class ScriptedChooser : public PrintTimeDialogs {
public:
    struct Shown {
        int mode;
        LPARAM parameter;
        std::wstring printer;
        std::wstring document;
        DWORD thread;
    };
    struct Answer {
        INT_PTR result;
        const wchar_t* destination; // set on the extension before answering; null leaves it
    };

    ScriptedChooser() { PrintTimeDialogs::set(this); }
    ~ScriptedChooser() override { PrintTimeDialogs::set(nullptr); }

    INT_PTR confirm(LumoraPrintingExtension& extension, int mode, HWND, LPARAM parameter) override
    {
        const MPrint::DestinationContext* context = extension.getDestinationContext();
        shown.push_back({mode, parameter, context ? context->getPrinterName() : L"",
                         context ? context->getDocumentName() : L"", GetCurrentThreadId()});
        if (answers.empty())
            return 2;
        const Answer answer = answers.front();
        answers.pop_front();
        if (answer.destination)
            extension.setDestination(answer.destination);
        if (mode == LumoraPrintingExtension::kModeFirstJob)
            extension.setDestinationChanged(true);
        return answer.result;
    }

    std::deque<Answer> answers;
    std::vector<Shown> shown;
};

class PrintTimePromptTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(hkcu_.isActive());
        closePropertyStore();
        extension_ = LumoraPrintingExtension::instance();
        ASSERT_NE(nullptr, extension_);
    }
    void TearDown() override
    {
        delete LumoraPrintingExtension::current();
        if (MPrint::ManagedPrintPolicy::hasInstance())
            delete MPrint::ManagedPrintPolicy::instance();
        closePropertyStore();
    }
    std::wstring currentAddress()
    {
        RegistryKey key(HKEY_CURRENT_USER, settingskeys::kSettings, RegistryKey::kRead);
        std::wstring value = L"<none>";
        key.queryString(L"CurrentAddress", value);
        return value;
    }

    testenv::PrivateCurrentUser hkcu_;
    LumoraPrintingExtension* extension_ = nullptr;
};

TEST_F(PrintTimePromptTest, ChooserAnswersComeBackShownAgainOnFourAndConfirmedDestinationSaved)
{
    const struct {
        const char* name;
        std::vector<ScriptedChooser::Answer> answers;
        INT_PTR result;
        size_t showings;
        const wchar_t* savedAddress;
    } rows[] = {
        {"confirmed", {{1, L"10.0.0.5"}}, 1, 1, L"10.0.0.5"},
        {"confirmed without a destination text", {{1, L""}}, 1, 1, L"old"},
        {"cancelled", {{2, L"10.0.0.6"}}, 2, 1, L"old"},
        {"shown again until an answer", {{4, nullptr}, {4, nullptr}, {1, L"printer.example"}}, 1, 3,
         L"printer.example"},
        {"another result passed on", {{7, L"10.0.0.7"}}, 7, 1, L"old"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        RegistryKey(HKEY_CURRENT_USER, settingskeys::kSettings, RegistryKey::kAllAccess, true)
            .setString(L"CurrentAddress", L"old");
        ScriptedChooser chooser;
        chooser.answers.assign(row.answers.begin(), row.answers.end());
        EXPECT_EQ(row.result, extension_->showPrompt(nullptr, 10));
        EXPECT_EQ(row.showings, chooser.shown.size());
        EXPECT_EQ(row.savedAddress, currentAddress());
    }
    // Without a chooser nothing is shown: cancelled.
    EXPECT_EQ(2, extension_->showPrompt(nullptr, 10));
}

TEST_F(PrintTimePromptTest, DocumentAndPrinterPropertiesPromptForTheirPrinter)
{
    ScriptedChooser chooser;
    chooser.answers = {{2, nullptr}, {1, L"10.1.1.1"}, {2, nullptr}};
    bool cancelled = false;
    EXPECT_EQ(2, extension_->promptAtPrint(nullptr, L"Office", &cancelled));
    EXPECT_TRUE(cancelled);
    cancelled = true; // never cleared by a confirmation
    EXPECT_EQ(1, extension_->promptAtPrint(nullptr, L"Lab", &cancelled));
    EXPECT_TRUE(cancelled);
    EXPECT_EQ(2, extension_->selectDestination(nullptr, L"Hall"));
    ASSERT_EQ(3u, chooser.shown.size());
    const struct {
        int mode;
        LPARAM parameter;
        const wchar_t* printer;
    } expected[] = {{0, 10, L"Office"}, {0, 10, L"Lab"}, {1, 11, L"Hall"}};
    for (size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(expected[i].mode, chooser.shown[i].mode);
        EXPECT_EQ(expected[i].parameter, chooser.shown[i].parameter);
        EXPECT_EQ(expected[i].printer, chooser.shown[i].printer);
    }
    // No printer named: the context in place is kept.
    EXPECT_EQ(2, extension_->selectDestination(nullptr, nullptr));
    EXPECT_EQ(L"Hall", chooser.shown.back().printer);
}

TEST_F(PrintTimePromptTest, FirstJobPromptKeepsItsMarkerByPromptMethod)
{
    testspool::ScopedQueue queue(testspool::uniqueQueueName(L"First Job"));
    ASSERT_EQ(DWORD{ERROR_SUCCESS}, queue.error());
    HANDLE printer = nullptr;
    ASSERT_TRUE(OpenPrinterW(const_cast<wchar_t*>(queue.name().c_str()), &printer, nullptr));
    wchar_t document[] = L"Report.txt";
    DOCINFOW info = {sizeof(info), document, nullptr, nullptr, 0};

    ScriptedChooser chooser;
    // No prompt: 1, the marker untouched, no context.
    setProcessProperty(krv::kFirstJob, 99);
    EXPECT_EQ(1, extension_->promptFirstJob(nullptr, printer, nullptr));
    EXPECT_EQ(1, extension_->promptFirstJob(nullptr, nullptr, &info));
    EXPECT_TRUE(chooser.shown.empty());
    EXPECT_EQ(99u, getProcessProperty(krv::kFirstJob));
    EXPECT_EQ(nullptr, extension_->getDestinationContext());

    const struct {
        const char* name;
        int promptMethod;
        INT_PTR answer;
        bool markerKept;   // of the earlier value 99
        bool markerStamped; // a new tick count
        bool changed;
    } rows[] = {
        {"first-job method, confirmed: stamped", 1, 1, false, true, true},
        {"always, confirmed: an earlier marker deleted", 0, 1, false, false, true},
        {"cancelled: marker untouched, no change", 1, 2, true, false, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        setProcessProperty(krv::kFirstJob, 99);
        extension_->getSettings()->setPromptMethod(row.promptMethod);
        chooser.answers = {{row.answer, L"10.2.2.2"}};
        EXPECT_EQ(row.answer, extension_->promptFirstJob(nullptr, printer, &info));
        EXPECT_EQ(LumoraPrintingExtension::kModeFirstJob, extension_->getMode());
        ASSERT_FALSE(chooser.shown.empty());
        EXPECT_EQ(reinterpret_cast<LPARAM>(document), chooser.shown.back().parameter);
        EXPECT_EQ(queue.name(), chooser.shown.back().printer);
        EXPECT_EQ(L"Report.txt", chooser.shown.back().document);
        const std::uint64_t marker = getProcessProperty(krv::kFirstJob);
        if (row.markerKept)
            EXPECT_EQ(99u, marker);
        else if (row.markerStamped)
            EXPECT_NE(99u, marker);
        else
            EXPECT_EQ(0u, marker);
        EXPECT_EQ(row.changed, extension_->isDestinationChanged());
    }
    deleteProcessProperty(krv::kFirstJob);
    ClosePrinter(printer);
}

TEST_F(PrintTimePromptTest, MonitorFreesItsTicketsOnlyAfterTheMarker)
{
    ASSERT_TRUE(qzmon::registerStandInMonitors());
    testspool::ScopedCallLog log;
    deleteProcessProperty(krv::kFreeDVTs);
    EXPECT_FALSE(extension_->requestFreeDVTs());
    EXPECT_TRUE(log.calls("XcvDataW").empty());

    setProcessProperty(krv::kFreeDVTs, 1);
    EXPECT_TRUE(extension_->requestFreeDVTs());
    EXPECT_EQ(0u, getProcessProperty(krv::kFreeDVTs));
    const auto sent = log.calls("XcvDataW");
    ASSERT_EQ(1u, sent.size());
    EXPECT_NE(std::string::npos, sent[0].find("FreeDVTs"));
    // Taken once: the next prompt sends nothing.
    EXPECT_FALSE(extension_->requestFreeDVTs());
    EXPECT_EQ(1u, log.calls("XcvDataW").size());
}

TEST(PromptThreadHosts, OnlyListedHostsOnWindows2000)
{
    const struct {
        DWORD major, minor;
        const wchar_t* host;
        bool onThread;
    } rows[] = {
        {5, 0, L"C:\\Program Files\\Windows NT\\Accessories\\WORDPAD.EXE", true},
        {5, 0, L"C:\\WINNT\\system32\\notepad.exe", true},
        {5, 0, L"D:\\tools\\hh.exe", true},
        {5, 0, L"C:\\Office\\WINWORD.EXE", false},
        {5, 1, L"C:\\WINDOWS\\system32\\notepad.exe", false},
        {6, 1, L"C:\\Windows\\system32\\notepad.exe", false},
        {10, 0, L"C:\\Program Files\\Internet Explorer\\iexplore.exe", false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testenv::narrow(row.host));
        EXPECT_EQ(row.onThread, LumoraPrintingExtension::promptsOnThread(row.major, row.minor, row.host));
    }
}

TEST_F(PrintTimePromptTest, PromptThreadIsJoinedBeforeItsWorkItemGoes)
{
    // A chooser that takes its time: the join must not return before it answered.
    class SlowChooser : public ScriptedChooser {
    public:
        INT_PTR confirm(LumoraPrintingExtension& extension, int mode, HWND owner, LPARAM parameter) override
        {
            Sleep(300);
            return ScriptedChooser::confirm(extension, mode, owner, parameter);
        }
    } chooser;
    chooser.answers = {{1, L"10.3.3.3"}};
    auto* work = new DocPrompt(nullptr, 10);
    {
        MsgWaitThread thread(work);
        ASSERT_TRUE(thread.start());
        EXPECT_TRUE(thread.join(INFINITE));
        EXPECT_EQ(1, work->result());
    }
    ASSERT_EQ(1u, chooser.shown.size());
    EXPECT_NE(GetCurrentThreadId(), chooser.shown[0].thread);

    // A thread that never started: the join returns at once, the preset result stays.
    DocPrompt unstarted(nullptr, 10);
    MsgWaitThread idle(nullptr);
    EXPECT_TRUE(idle.join(INFINITE));
    EXPECT_EQ(2, unstarted.result());
}

} // namespace
