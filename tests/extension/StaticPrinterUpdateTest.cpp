// Re-pointing a queue without a prompt: the port switch by address (an
// existing port used as it is, the port-only switch, nothing resolved, no
// port for the device), spooler callers sharing the one extension at once,
// and the verification of a static-mode queue with its markers.
#include "extension/StaticPrinterUpdate.h"

#include "access/MonitorAccess.h"
#include "bidi/CurrentDestination.h"
#include "core/RegistryKey.h"
#include "core/SettingsKeys.h"
#include "destination/DestinationContext.h"
#include "destination/PrintPathAttr.h"
#include "extension/KRVProperties.h"
#include "extension/LXESingleton.h"
#include "extension/LumoraPrintingExtension.h"
#include "extension/MonitorComponentEntries.h"
#include "extension/PrintTimeDialogs.h"
#include "extension/RundllEntries.h"
#include "extension/StaticModeSteps.h"
#include "extension/WaypostJobEvents.h"
#include "shared/SpoolerQueries.h"
#include "support/FakeDestinationWorkflow.h"
#include "support/InstalledDialogs.h"
#include "support/PolicyTestEnv.h"
#include "support/PrivateCurrentUser.h"
#include "support/SharedState.h"
#include "support/TestEnv.h"
#include "support/TestSpooler.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

VRELM_TEST_SHARES(policy_settings);

namespace {

using Applied = std::vector<std::pair<std::wstring, std::wstring>>;
constexpr DWORD kAbsent = 0xFFFFFFFF; // a numeric attribute the path does not hold

// What the path held when the workflow applied it.
class RecordingWorkflow : public testenv::FakeDestinationWorkflow {
public:
    bool applyDestinationToPrinter(MPrint::DestinationContext* context, const std::wstring& portName) override
    {
        if (MPrint::PrintPath* path = context ? context->getPrintPath() : nullptr) {
            changePortOnly = path->getNumericAttribute(PrintPathAttr::ChangePortOnly);
            nickname = path->getStringAttribute(PrintPathAttr::Nickname);
            display = path->getStringAttribute(PrintPathAttr::DisplayString);
        }
        return FakeDestinationWorkflow::applyDestinationToPrinter(context, portName);
    }
    DWORD changePortOnly = 0;
    std::wstring nickname, display;
};

// The verification the dialogs layer would run, recorded.
class RecordingDialogs : public PrintTimeDialogs {
public:
    RecordingDialogs() { PrintTimeDialogs::set(this); }
    ~RecordingDialogs() override { PrintTimeDialogs::set(nullptr); }
    bool verifyPrintPath(LumoraPrintingExtension&, MPrint::DestinationContext* context, MPrint::PrintPath* path, HWND,
                         bool showDialog) override
    {
        ++verifications;
        shown = showDialog;
        staticModeUpdate = path ? path->getNumericAttribute(PrintPathAttr::StaticModeUpdate) : 0;
        contextPrinter = context ? context->getPrinterName() : L"";
        return true;
    }
    int verifications = 0;
    bool shown = false;
    DWORD staticModeUpdate = 0;
    std::wstring contextPrinter;
};

// Every path it resolves is named after the queue asked for; the steps
// below record the queue they were given (or, for the configuration check,
// the one the device layers see as the job's) whenever it is another.
class QueueCheckingWorkflow : public testenv::FakeDestinationWorkflow {
public:
    MPrint::PrintPath* findPrintPathForAddress(HWND owner, const std::wstring& address, const std::wstring& nickname,
                                               const std::wstring& displayString) override
    {
        MPrint::PrintPath* path =
            FakeDestinationWorkflow::findPrintPathForAddress(owner, address, nickname, displayString);
        if (path)
            path->setStringAttribute(PrintPathAttr::Nickname, displayString, true);
        return path;
    }
    bool checkDeviceConfiguration(MPrint::PrintPath* path) override
    {
        expect("check", path, MPrint::currentDestinationPrinterName());
        return FakeDestinationWorkflow::checkDeviceConfiguration(path);
    }
    DWORD configureDeviceForPrintPath(HWND owner, const std::wstring& printerName, MPrint::PrintPath* path) override
    {
        expect("configure", path, printerName);
        return FakeDestinationWorkflow::configureDeviceForPrintPath(owner, printerName, path);
    }
    bool applyPrintPathToPrinter(MPrint::DestinationContext* context, MPrint::PrintPath* path, DWORD& value) override
    {
        expect("apply", path, context ? context->getPrinterName() : L"(none)");
        return FakeDestinationWorkflow::applyPrintPathToPrinter(context, path, value);
    }
    std::vector<std::string> mismatches() const
    {
        std::lock_guard<std::mutex> guard(mismatchLock_);
        return mismatches_;
    }

private:
    void expect(const char* step, MPrint::PrintPath* path, const std::wstring& queue)
    {
        const std::wstring wanted = path ? path->getStringAttribute(PrintPathAttr::Nickname) : L"(no path)";
        if (queue == wanted)
            return;
        std::lock_guard<std::mutex> guard(mismatchLock_);
        mismatches_.push_back(std::string(step) + ": " + testenv::narrow(wanted) + " got " + testenv::narrow(queue));
    }
    mutable std::mutex mismatchLock_;
    std::vector<std::string> mismatches_;
};

class StaticPrinterUpdateTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(hkcu_.isActive());
        ASSERT_TRUE(qzmon::registerStandInMonitors());
        testenv::clearPolicyState();
        extension_ = LXESingleton::acquire();
        ASSERT_NE(nullptr, extension_);
        ASSERT_EQ(DWORD{ERROR_SUCCESS}, queue_.error());
        ASSERT_EQ(DWORD{ERROR_SUCCESS}, other_.error());
        ASSERT_EQ(DWORD{ERROR_SUCCESS}, testspool::control()->addMonitor(monitor_.c_str(), L"localspl.dll"));
        for (const std::wstring& port : {port_, otherPort_})
            ASSERT_EQ(DWORD{ERROR_SUCCESS}, testspool::control()->addPort(monitor_.c_str(), port.c_str()));
        path_.setDiscoveryId(GUID{});
    }
    void TearDown() override
    {
        LXESingleton::release(extension_);
        testspool::control()->removeMonitor(monitor_.c_str());
        testenv::clearPolicyState();
    }

    std::wstring own(const wchar_t* text) const { return text + std::to_wstring(GetCurrentProcessId()); }
    DWORD printerDword(const std::wstring& queue, const wchar_t* name)
    {
        HANDLE opened = nullptr;
        DWORD value = 0xBAD;
        if (OpenPrinterW(const_cast<wchar_t*>(queue.c_str()), &opened, nullptr)) {
            ScopedPrinter printer(opened);
            if (!getPrinterDword(printer.get(), name, value))
                value = 0xBAD; // absent
        }
        return value;
    }

    testenv::PrivateCurrentUser hkcu_;
    testspool::ScopedQueue queue_{testspool::uniqueQueueName(L"Switch A")};
    testspool::ScopedQueue other_{testspool::uniqueQueueName(L"Switch B")};
    const std::wstring monitor_ = own(L"Vrelm Switch Monitor ");
    const std::wstring port_ = own(L"SWA_");
    const std::wstring otherPort_ = own(L"SWB_");
    LumoraPrintingExtension* extension_ = nullptr;
    MPrint::PrintPath path_; // answered by every resolution; names no discovery service
};

TEST_F(StaticPrinterUpdateTest, SwitchByAddress)
{
    const std::vector<std::string> full = {"resolve", "check", "configure", "restore"};
    const struct {
        const char* name;
        bool resolves;
        bool existingPort;
        bool changePortOnly;
        bool result;
        std::vector<std::string> calls;
        DWORD changePortOnlyAttribute;
    } rows[] = {
        {"an existing port, used as it is", true, true, false, true, full, kAbsent},
        {"the port only", true, true, true, true, {"resolve", "restore"}, 1},
        {"nothing resolved", false, true, false, false, {"resolve"}, kAbsent},
        // The path names no discovery service: no port kind for its device.
        {"no port for the device", true, false, false, false, {"resolve", "check", "configure"}, kAbsent},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        RecordingWorkflow workflow;
        workflow.everyResolution = row.resolves ? &path_ : nullptr;
        const std::wstring address = row.existingPort ? port_ : own(L"10.9.8.7_");
        EXPECT_EQ(row.result, LumoraUI::setPrinterPortByAddress(*extension_, queue_.name(), address,
                                                                row.changePortOnly));
        EXPECT_EQ(row.calls, workflow.calls());
        EXPECT_EQ(std::vector<std::wstring>{queue_.name()}, workflow.resolvedDisplays());
        if (row.result) {
            EXPECT_EQ((Applied{{queue_.name(), address}}), workflow.destinationsApplied());
            EXPECT_EQ(row.changePortOnlyAttribute, workflow.changePortOnly);
            EXPECT_EQ(queue_.name(), workflow.nickname);
            EXPECT_EQ(queue_.name(), workflow.display);
        }
    }
    RecordingWorkflow workflow;
    workflow.everyResolution = &path_;
    EXPECT_FALSE(extension_->setPrinterPortByAddress(nullptr, port_.c_str(), false));
    EXPECT_FALSE(extension_->setPrinterPortByAddress(queue_.name().c_str(), nullptr, false));
    EXPECT_TRUE(workflow.calls().empty());
}

TEST_F(StaticPrinterUpdateTest, SetPrinterPortReadsThePortOnlyChoiceOfTheQueue)
{
    const struct {
        const char* name;
        bool setValue;
        DWORD value;
        DWORD expected;
    } rows[] = {{"absent", false, 0, kAbsent}, {"2: the port only", true, 2, 1}, {"3", true, 3, kAbsent}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        RecordingWorkflow workflow;
        workflow.everyResolution = &path_;
        testspool::control()->setQueueValue(queue_.name().c_str(), L"PrinterDriverData", L"DMCEACValue", REG_DWORD,
                                            nullptr, 0);
        if (row.setValue) {
            ASSERT_EQ(DWORD{ERROR_SUCCESS}, queue_.setDword(L"", L"DMCEACValue", row.value));
        }
        EXPECT_TRUE(LumoraUI::setPrinterPort(queue_.name().c_str(), port_.c_str()));
        EXPECT_EQ(row.expected, workflow.changePortOnly);
    }
    RecordingWorkflow workflow;
    workflow.everyResolution = &path_;
    EXPECT_FALSE(LumoraUI::setPrinterPort(nullptr, port_.c_str()));
    EXPECT_FALSE(LumoraUI::setPrinterPort(queue_.name().c_str(), nullptr));
    EXPECT_FALSE(LumoraUI::setPrinterPort(own(L"No Such Queue ").c_str(), port_.c_str()));
    EXPECT_TRUE(workflow.calls().empty());
}

// Spooler callers share the one extension: port switches of two queues, the
// Waypost exchanges and another caller re-pointing the extension's own
// context all run at once; each switch re-points its own queue only.
TEST_F(StaticPrinterUpdateTest, CallersOnSeveralThreadsEachSwitchTheirOwnQueue)
{
    RecordingWorkflow workflow;
    workflow.everyResolution = &path_;
    constexpr int kRounds = 8;
    std::atomic<int> failures{0};
    std::atomic<bool> switching{true};
    auto switcher = [&](const std::wstring& queue, const std::wstring& port) {
        for (int i = 0; i < kRounds; ++i)
            if (!LumoraUI::setPrinterPort(queue.c_str(), port.c_str()))
                ++failures;
    };
    std::vector<DWORD> jobs;
    for (int i = 0; i < 2; ++i) {
        DWORD job = 0;
        ASSERT_EQ(DWORD{ERROR_SUCCESS}, testspool::control()->addJob(queue_.name().c_str(), L"Doc", 0, &job));
        jobs.push_back(job);
    }
    auto waypost = [&](DWORD job) {
        HANDLE opened = nullptr;
        if (!OpenPrinterW(const_cast<wchar_t*>(queue_.name().c_str()), &opened, nullptr)) {
            ++failures;
            return;
        }
        ScopedPrinter printer(opened);
        for (int i = 0; i < kRounds; ++i) {
            void* block = nullptr;
            if (!extension_->sendWaypostJobStart(printer.get(), job) ||
                !LumoraUI::getWaypostJobInfo(job, testenv::narrow(queue_.name()).c_str(), &block) || !block ||
                !LumoraUI::finishedWaypostJob(job))
                ++failures;
            GlobalFree(block);
        }
    };
    auto otherCaller = [&] {
        while (switching) {
            extension_->replaceDestinationContext(other_.name(), nullptr);
            extension_->setDestination(L"Elsewhere");
        }
    };
    std::thread other(otherCaller);
    std::vector<std::thread> threads;
    threads.emplace_back(switcher, queue_.name(), port_);
    threads.emplace_back(switcher, queue_.name(), port_);
    threads.emplace_back(switcher, other_.name(), otherPort_);
    threads.emplace_back(switcher, other_.name(), otherPort_);
    for (DWORD job : jobs)
        threads.emplace_back(waypost, job);
    for (std::thread& thread : threads)
        thread.join();
    switching = false;
    other.join();

    EXPECT_EQ(0, failures.load());
    const Applied applied = workflow.destinationsApplied();
    EXPECT_EQ(size_t{4 * kRounds}, applied.size());
    for (const auto& entry : applied) {
        const bool fits = (entry.first == queue_.name() && entry.second == port_) ||
                          (entry.first == other_.name() && entry.second == otherPort_);
        EXPECT_TRUE(fits) << testenv::narrow(entry.first) << " -> " << testenv::narrow(entry.second);
    }
}

TEST_F(StaticPrinterUpdateTest, VerifiesAStaticModeQueueAndClearsItsMarkers)
{
    const struct {
        const char* name;
        bool staticUpdate, showDialog, makePermanentInstance;
        DWORD updateNowAfter; // 0xBAD: removed
    } rows[] = {
        {"static update, no window", true, false, false, 0xBAD},
        {"shown in the dialog", false, true, false, 0xBAD},
        {"while making a printer permanent the marker stays", true, true, true, 1},
    };
    ASSERT_EQ(DWORD{ERROR_SUCCESS}, testspool::control()->setQueueValue(queue_.name().c_str(), L"", L"Port", REG_SZ,
                                                                         port_.c_str(),
                                                                         static_cast<DWORD>((port_.size() + 1) * 2)));
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        RecordingWorkflow workflow;
        workflow.everyResolution = &path_;
        RecordingDialogs dialogs;
        RegistryKey settings(HKEY_CURRENT_USER, settingskeys::kSettings, RegistryKey::kAllAccess, true);
        if (row.makePermanentInstance)
            settings.setDword(L"MakePermanentInstance", 1);
        else
            settings.deleteValue(L"MakePermanentInstance");
        ASSERT_EQ(DWORD{ERROR_SUCCESS}, queue_.setDword(L"", L"LumoUpdateNow", 1));
        extension_->setNewInstall(false);
        extension_->replaceDestinationContext(other_.name(), nullptr);

        HANDLE opened = nullptr;
        PRINTER_DEFAULTSW all = {nullptr, nullptr, PRINTER_ALL_ACCESS};
        ASSERT_TRUE(OpenPrinterW(const_cast<wchar_t*>(queue_.name().c_str()), &opened, &all));
        ScopedPrinter printer(opened);
        EXPECT_TRUE(extension_->verifyStaticModePrinter(printer.get(), nullptr, row.staticUpdate, row.showDialog));

        EXPECT_EQ(std::vector<std::wstring>{queue_.name()}, workflow.resolvedDisplays());
        EXPECT_EQ(1, dialogs.verifications);
        EXPECT_EQ(row.showDialog, dialogs.shown);
        EXPECT_EQ(row.staticUpdate ? 1u : kAbsent, dialogs.staticModeUpdate);
        EXPECT_EQ(queue_.name(), dialogs.contextPrinter) << "a fresh context for the queue";
        EXPECT_TRUE(extension_->isNewInstall());
        EXPECT_EQ(0xBADu, printerDword(queue_.name(), L"LumoNewInstall"));
        EXPECT_EQ(row.updateNowAfter, printerDword(queue_.name(), L"LumoUpdateNow"));
        settings.deleteValue(L"MakePermanentInstance");
    }
}

// Install events of two queues verify them at once while another caller
// keeps re-pointing the extension's own context: each verification checks,
// configures and applies its own queue, and never touches a context another
// caller may delete meanwhile.
TEST_F(StaticPrinterUpdateTest, VerificationsOnSeveralThreadsEachConfigureTheirOwnQueue)
{
    QueueCheckingWorkflow workflow;
    workflow.everyResolution = &path_;
    testenv::InstalledDialogs dialogs;
    for (const testspool::ScopedQueue* queue : {&queue_, &other_}) {
        const std::wstring& port = queue == &queue_ ? port_ : otherPort_;
        ASSERT_EQ(DWORD{ERROR_SUCCESS},
                  testspool::control()->setQueueValue(queue->name().c_str(), L"", L"Port", REG_SZ, port.c_str(),
                                                      static_cast<DWORD>((port.size() + 1) * 2)));
    }
    constexpr int kRounds = 8;
    std::atomic<int> failures{0};
    std::atomic<bool> verifying{true};
    auto verifier = [&](const std::wstring& queue) {
        HANDLE opened = nullptr;
        PRINTER_DEFAULTSW all = {nullptr, nullptr, PRINTER_ALL_ACCESS};
        if (!OpenPrinterW(const_cast<wchar_t*>(queue.c_str()), &opened, &all)) {
            ++failures;
            return;
        }
        ScopedPrinter printer(opened);
        for (int i = 0; i < kRounds; ++i)
            if (!StaticModeSteps::current().verifyStaticModePrinter(*extension_, printer.get(), nullptr, true, false))
                ++failures;
    };
    const std::wstring elsewhere = own(L"Elsewhere ");
    auto otherCaller = [&] {
        while (verifying)
            extension_->replaceDestinationContext(elsewhere, nullptr);
    };
    std::thread other(otherCaller);
    std::vector<std::thread> threads;
    for (const std::wstring& queue : {queue_.name(), queue_.name(), other_.name(), other_.name()})
        threads.emplace_back(verifier, queue);
    for (std::thread& thread : threads)
        thread.join();
    verifying = false;
    other.join();

    EXPECT_EQ(0, failures.load());
    EXPECT_EQ(std::vector<std::string>{}, workflow.mismatches());
    const std::vector<std::string> calls = workflow.calls();
    EXPECT_EQ(4 * kRounds, std::count(calls.begin(), calls.end(), "apply"));
    EXPECT_EQ(4 * kRounds, std::count(calls.begin(), calls.end(), "configure"));
    const MPrint::DestinationContext* shared = extension_->getDestinationContext();
    EXPECT_EQ(elsewhere, shared ? shared->getPrinterName() : L"") << "the other caller's context is left to it";
}

TEST_F(StaticPrinterUpdateTest, AQueueWhoseRecordCannotBeReadIsNotVerified)
{
    RecordingWorkflow workflow;
    workflow.everyResolution = &path_;
    RecordingDialogs dialogs;
    testspool::ScopedQueue gone(testspool::uniqueQueueName(L"Switch Gone"));
    HANDLE opened = nullptr;
    ASSERT_TRUE(OpenPrinterW(const_cast<wchar_t*>(gone.name().c_str()), &opened, nullptr));
    ScopedPrinter printer(opened);
    ASSERT_EQ(DWORD{ERROR_SUCCESS}, testspool::control()->removeQueue(gone.name().c_str()));
    EXPECT_FALSE(extension_->verifyStaticModePrinter(printer.get(), nullptr, true, false));
    EXPECT_TRUE(extension_->verifyStaticModePrinter(nullptr, nullptr, true, false)) << "no handle: nothing to do";
    EXPECT_EQ(0, dialogs.verifications);
    EXPECT_TRUE(workflow.calls().empty());
}

TEST_F(StaticPrinterUpdateTest, UpdateStaticModePrinterEntry)
{
    const struct {
        const char* name;
        DWORD staticMode; // 0: absent
        std::wstring line;
        int verifications;
    } rows[] = {
        {"static mode, quiet", 1, L"\"" + queue_.name() + L"\" /q", 1},
        {"not in static mode", 0, L"\"" + queue_.name() + L"\" /q", 0},
        {"no closing quote", 1, L"\"" + queue_.name() + L" /q", 0},
        {"no quotes", 1, queue_.name() + L" /q", 0},
        {"empty name", 1, L"\"\" /q", 0},
        {"a queue that does not exist", 1, L"\"" + own(L"No Such Queue ") + L"\" /q", 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        RecordingWorkflow workflow;
        workflow.everyResolution = &path_;
        RecordingDialogs dialogs;
        testspool::control()->setQueueValue(queue_.name().c_str(), L"PrinterDriverData", L"StaticMode", REG_DWORD,
                                            nullptr, 0);
        if (row.staticMode) {
            ASSERT_EQ(DWORD{ERROR_SUCCESS}, queue_.setDword(L"", L"StaticMode", row.staticMode));
        }
        rundll::updateStaticModePrinter(nullptr, nullptr, row.line.c_str(), SW_HIDE);
        EXPECT_EQ(row.verifications, dialogs.verifications);
        if (row.verifications) {
            EXPECT_TRUE(dialogs.shown);
        }
        EXPECT_EQ(0u, getProcessProperty(krv::kUIOpen));
    }
    rundll::updateStaticModePrinter(nullptr, nullptr, nullptr, SW_HIDE);
}

TEST(UpdateStaticModeLaunch, CommandLine)
{
    const struct {
        const char* name;
        const wchar_t* module;
        const wchar_t* printer;
        bool built;
        const wchar_t* line;
    } rows[] = {
        {"a folder with a blank", L"C:\\Program Files\\Q\\vrelm101.dll", L"Office", true,
         L"rundll32.exe \"C:\\Program Files\\Q\\vrelm101.dll\",UpdateStaticModePrinter \"Office\""},
        {"a name with a blank", L"vrelm101.dll", L"Floor 2 Printer", true,
         L"rundll32.exe \"vrelm101.dll\",UpdateStaticModePrinter \"Floor 2 Printer\""},
        {"a quote in the name", L"vrelm101.dll", L"Bad\"Name", false, L"unchanged"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        std::wstring line = L"unchanged";
        EXPECT_EQ(row.built, rundll::updateStaticModeCommandLine(row.module, row.printer, line));
        EXPECT_EQ(row.line, line);
        if (row.built) {
            EXPECT_EQ(row.printer, rundll::firstQuotedText(line.substr(line.find(L',')))) << "read back by the entry";
        }
    }
    // No header: nothing to look at.
    EXPECT_EQ(0, rundll::launchUpdateStaticModePrinter(nullptr, 0));
    PROPSHEETUI_INFO sheet = {};
    EXPECT_EQ(0, rundll::launchUpdateStaticModePrinter(&sheet, 0));
}

} // namespace
