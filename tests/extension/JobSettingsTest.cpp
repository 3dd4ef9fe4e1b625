// Job accounting, delivery and completion settings over real sources: a
// queue of the spooler stand-in, a server policy in force, the destination's
// print path in the target history (or given), the environment and the
// user's "MakePermanentInstance". Precedence tables per field, the static
// mode switch, the copy operations into a printer's data, and every printer
// the settings open closed again.
#include "extension/JobAccountingSettings.h"
#include "extension/JobDeliverySettings.h"

#include "core/SettingsKeys.h"
#include "destination/PrintPathAttr.h"
#include "destination/PrinterSettings.h"
#include "destination/TargetHistoryList.h"
#include "extension/LumoraPrintingExtension.h"
#include "extension/ManagedPrintPolicy.h"
#include "extension/PrintPathVerification.h"
#include "support/PolicyTestEnv.h"
#include "support/PrivateCurrentUser.h"
#include "support/SharedState.h"
#include "support/TestEnv.h"
#include "support/TestSpooler.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

VRELM_TEST_SHARES(policy_settings);

namespace {

using Texts = std::vector<std::pair<std::wstring, std::wstring>>;
using Numbers = std::vector<std::pair<std::wstring, DWORD>>;

constexpr wchar_t kDestination[] = L"Laser on 2nd floor";

// Where one case's values come from.
struct Sources {
    Texts path = {};       // string attributes of the destination's print path
    Numbers pathNumbers = {};
    Texts queue = {};      // the queue's printer data
    Numbers queueNumbers = {};
    Texts policy = {};     // the server policy's values
    const wchar_t* userid = nullptr; // environment "USERID"
    DWORD makePermanent = 0;         // HKCU "MakePermanentInstance"
};

// Successful OpenPrinterW calls and ClosePrinter calls in the log.
std::pair<long, long> printersOpenedAndClosed(const testspool::ScopedCallLog& log)
{
    auto succeeded = [](const std::vector<std::string>& lines) {
        long count = 0;
        for (std::string line : lines) {
            while (!line.empty() && (line.back() == '\r' || line.back() == '\n'))
                line.pop_back();
            count += line.size() >= 5 && line.compare(line.size() - 5, 5, "\t=> 0") == 0 ? 1 : 0;
        }
        return count;
    };
    return {succeeded(log.calls("OpenPrinterW")), succeeded(log.calls("ClosePrinter"))};
}

class JobSettingsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(hkcu_.isActive());
        testenv::clearPolicyState();
        ASSERT_FALSE(testenv::policyLocalAddress().empty()) << "the computer name must resolve";
        policy_ = std::make_unique<RegistryKey>(testenv::makeServerPolicyInForce(dir_.file(L"policy.xml")));
        ASSERT_TRUE(policy_->isOpen());
        settings_ = std::make_unique<RegistryKey>(HKEY_CURRENT_USER, settingskeys::kSettings,
                                                  RegistryKey::kAllAccess, true);
        extension_ = LumoraPrintingExtension::instance();
        ASSERT_NE(nullptr, extension_);
        // Loading the policy publishes the user's identity as "USERID" and
        // as its "Userid"; load it now so that each case's environment and
        // policy user are the ones it sets.
        ASSERT_TRUE(MPrint::ManagedPrintPolicy::instance()->hasPolicy());
        policy_->deleteValue(L"Userid");
    }
    void TearDown() override
    {
        delete LumoraPrintingExtension::current();
        policy_.reset();
        settings_.reset();
        testenv::clearPolicyState();
    }

    // A queue holding the case's data, the destination's path in the history
    // (unless inHistory is false), the policy values, environment and marker.
    std::unique_ptr<testspool::ScopedQueue> arrange(const Sources& sources, bool inHistory = true)
    {
        auto queue = std::make_unique<testspool::ScopedQueue>(testspool::uniqueQueueName(L"Job Settings"));
        EXPECT_EQ(DWORD{ERROR_SUCCESS}, queue->error());
        for (const auto& [name, text] : sources.queue)
            EXPECT_EQ(DWORD{ERROR_SUCCESS}, queue->setString(L"", name, text));
        for (const auto& [name, number] : sources.queueNumbers)
            EXPECT_EQ(DWORD{ERROR_SUCCESS}, queue->setDword(L"", name, number));
        for (const auto& [name, text] : sources.policy)
            policy_->setString(name, text);
        policyNames_.clear();
        for (const auto& entry : sources.policy)
            policyNames_.push_back(entry.first);
        SetEnvironmentVariableW(L"USERID", sources.userid);
        if (sources.makePermanent)
            settings_->setDword(L"MakePermanentInstance", sources.makePermanent);
        else
            settings_->deleteValue(L"MakePermanentInstance");

        TargetHistoryList history(extension_->getSettings()->getTargetHistoryKey());
        history.load();
        history.clear();
        if (inHistory)
            history.add(makePath(sources).release());
        history.save();
        return queue;
    }
    void forgetPolicyValues()
    {
        for (const std::wstring& name : policyNames_)
            policy_->deleteValue(name);
    }

    static std::unique_ptr<MPrint::PrintPath> makePath(const Sources& sources)
    {
        auto path = std::make_unique<MPrint::PrintPath>();
        path->setStringAttribute(PrintPathAttr::DisplayString, kDestination, true);
        for (const auto& [name, text] : sources.path)
            path->setStringAttribute(name, text, true);
        for (const auto& [name, number] : sources.pathNumbers)
            path->setNumericAttribute(name, number, true);
        return path;
    }

    static std::optional<std::wstring> dataText(const std::wstring& queue, const wchar_t* name)
    {
        PrinterSettings settings(queue.c_str(), PRINTER_ACCESS_USE);
        std::wstring text;
        if (!settings.getString(name, text))
            return std::nullopt;
        return text;
    }
    static std::optional<DWORD> dataNumber(const std::wstring& queue, const wchar_t* name)
    {
        PrinterSettings settings(queue.c_str(), PRINTER_ACCESS_USE);
        DWORD value = 0;
        if (!settings.getDword(name, value))
            return std::nullopt;
        return value;
    }

    testenv::PrivateCurrentUser hkcu_;
    testenv::Winsock winsock_;
    testenv::TempDir dir_;
    std::unique_ptr<RegistryKey> policy_;
    std::unique_ptr<RegistryKey> settings_;
    std::vector<std::wstring> policyNames_;
    LumoraPrintingExtension* extension_ = nullptr;
};

TEST_F(JobSettingsTest, AccountingTakesTheManagedListThenThePolicyPerField)
{
    using namespace PrintPathAttr;
    struct Row {
        const char* name;
        Sources sources;
        const wchar_t *url, *module, *api, *user;
    } rows[] = {
        {"managed list beats a policy naming another module",
         {{{mplJobAccountingModule, L"list.dll"}}, {}, {}, {},
          {{JobAccountingModule, L"policy.dll"}, {JobAccountingURL, L"http://policy/acct"},
           {JobAccountingAPIName, L"PolicyApi"}}},
         L"http://policy/acct", L"list.dll", L"PolicyApi", L""},
        {"the queue's own data comes before the policy",
         {{}, {}, {{JobAccountingURL, L"http://queue/acct"}}, {}, {{JobAccountingURL, L"http://policy/acct"}}},
         L"http://queue/acct", L"", L"", L""},
        {"queue values of the path never enter the result",
         {{{qJobAccountingURL, L"http://q"}, {qJobAccountingModule, L"q.dll"}}},
         L"", L"", L"", L""},
        {"USERID of the environment beats the policy's user",
         {{}, {}, {}, {}, {{Userid, L"policy-user"}}, L"env-user"},
         L"", L"", L"", L"env-user"},
        {"without USERID the policy's user",
         {{}, {}, {}, {}, {{Userid, L"policy-user"}}},
         L"", L"", L"", L"policy-user"},
        {"a static queue takes the list's values from its own data",
         {{{mplJobAccountingURL, L"http://history"}}, {}, {{mplJobAccountingURL, L"http://static"}},
          {{L"StaticMode", 1}}},
         L"http://static", L"", L"", L""},
        {"a static queue being made permanent takes them from the history's path",
         {{{mplJobAccountingURL, L"http://history"}}, {}, {{mplJobAccountingURL, L"http://static"}},
          {{L"StaticMode", 1}}, {}, nullptr, 1},
         L"http://history", L"", L"", L""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const auto queue = arrange(row.sources);
        testspool::ScopedCallLog log;
        {
            JobAccountingSettings settings(queue->name().c_str(), kDestination, nullptr);
            EXPECT_EQ(row.url, settings.getURL());
            EXPECT_EQ(row.module, settings.getModule());
            EXPECT_EQ(row.api, settings.getAPIName());
            EXPECT_EQ(row.user, settings.getUser());
        }
        const auto [opened, closed] = printersOpenedAndClosed(log);
        EXPECT_GT(opened, 0);
        EXPECT_EQ(opened, closed) << "every printer opened is closed";
        forgetPolicyValues();
    }

    // A destination missing from the history, and a queue that does not
    // exist: the policy alone, and nothing at all.
    const auto queue = arrange({{}, {}, {}, {}, {{JobAccountingURL, L"http://policy/acct"}}}, false);
    EXPECT_EQ(L"http://policy/acct", JobAccountingSettings(queue->name().c_str(), kDestination, nullptr).getURL());
    EXPECT_EQ(L"", JobAccountingSettings(L"No Such Queue 7f3a", kDestination, nullptr).getURL());
    forgetPolicyValues();
}

TEST_F(JobSettingsTest, DeliveryTakesTheQueueThenTheManagedListThenThePolicy)
{
    using namespace PrintPathAttr;
    using F = JobDeliverySettings::Field;
    const Texts policyAll = {{JobDeliveryURL, L"P-url"},     {JobDeliveryModule, L"P-mod"},
                             {JobDeliveryAPIName, L"P-api"}, {JobCompleteURL, L"P-done"},
                             {L"JobCompleteExe", L"P-exe"},  {L"JobCompleteModule", L"P-cmod"},
                             {L"JobCompleteAPI", L"P-capi"}};
    struct Row {
        const char* name;
        Sources sources;
        bool ownPath; // built with the path, else from the history
        std::vector<std::pair<F, const wchar_t*>> expected; // fields not listed are empty
        bool enabled;
    } rows[] = {
        {"the completion program, module and API never come from the policy",
         {{}, {}, {}, {}, policyAll}, true,
         {{F::DeliveryURL, L"P-url"}, {F::DeliveryModule, L"P-mod"}, {F::DeliveryAPIName, L"P-api"},
          {F::CompleteURL, L"P-done"}}, false},
        {"the queue's own value beats the managed list's with an own path",
         {{{qJobDeliveryURL, L"Q-url"}, {mplJobDeliveryURL, L"M-url"}, {mplJobCompleteExe, L"M-exe"}},
          {{JobDelivery, 1}}, {}, {}, policyAll}, true,
         {{F::DeliveryURL, L"Q-url"}, {F::DeliveryModule, L"P-mod"}, {F::DeliveryAPIName, L"P-api"},
          {F::CompleteURL, L"P-done"}, {F::CompleteExe, L"M-exe"}}, true},
        {"queue values count only with an own path",
         {{{qJobDeliveryURL, L"Q-url"}, {mplJobDeliveryURL, L"M-url"}}, {{JobDelivery, 1}}}, false,
         {{F::DeliveryURL, L"M-url"}}, true},
        {"a queue value missing from the path comes from the printer's data",
         {{{mplJobCompleteAPI, L"M-capi"}}, {}, {{qJobCompleteAPI, L"Q-capi"}}}, true,
         {{F::CompleteAPI, L"Q-capi"}}, false},
        {"a switch of 2 on the path is off",
         {{{mplJobDeliveryModule, L"M-mod"}}, {{JobDelivery, 2}}}, true, {{F::DeliveryModule, L"M-mod"}}, false},
        {"a static queue is switched on by its own data whatever the history says",
         {{{mplJobDeliveryURL, L"history-url"}}, {}, {{mplJobDeliveryURL, L"static-url"}},
          {{L"StaticMode", 1}, {JobDelivery, 1}}}, false,
         {{F::DeliveryURL, L"static-url"}}, true},
        {"a static queue being made permanent follows the history's path",
         {{{mplJobDeliveryURL, L"history-url"}}, {}, {{mplJobDeliveryURL, L"static-url"}},
          {{L"StaticMode", 1}, {JobDelivery, 1}}, {}, nullptr, 1}, false,
         {{F::DeliveryURL, L"history-url"}}, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const auto queue = arrange(row.sources);
        const auto own = makePath(row.sources);
        testspool::ScopedCallLog log;
        {
            std::unique_ptr<JobDeliverySettings> settings =
                row.ownPath ? std::make_unique<JobDeliverySettings>(queue->name().c_str(), own.get())
                            : std::make_unique<JobDeliverySettings>(queue->name().c_str(), kDestination, nullptr);
            for (int field = 0; field < JobDeliverySettings::FieldCount; ++field) {
                std::wstring expected;
                for (const auto& [which, text] : row.expected)
                    if (which == field)
                        expected = text;
                EXPECT_EQ(expected, settings->get(static_cast<F>(field))) << "field " << field;
            }
            EXPECT_EQ(row.enabled, settings->isJobDeliveryEnabled());
        }
        const auto [opened, closed] = printersOpenedAndClosed(log);
        EXPECT_GT(opened, 0);
        EXPECT_EQ(opened, closed) << "every printer opened is closed";
        forgetPolicyValues();
    }
}

TEST_F(JobSettingsTest, DeliveryStoresWhatItFoundOnItsOwnPath)
{
    using namespace PrintPathAttr;
    const auto queue = arrange({{}, {}, {{qJobCompleteExe, L"done.exe"}}, {}, {{JobDeliveryModule, L"P-mod"}}});
    MPrint::PrintPath path;
    JobDeliverySettings settings(queue->name().c_str(), &path);
    EXPECT_EQ(L"done.exe", path.getStringAttribute(qJobCompleteExe));
    EXPECT_EQ(L"P-mod", path.getStringAttribute(JobDeliveryModule));
    forgetPolicyValues();

    // By handle: the name from the queue's level-4 information; no handle, nothing.
    HANDLE printer = nullptr;
    ASSERT_TRUE(OpenPrinterW(const_cast<wchar_t*>(queue->name().c_str()), &printer, nullptr));
    MPrint::PrintPath switched;
    switched.setNumericAttribute(JobDelivery, 1, true);
    EXPECT_TRUE(JobDeliverySettings(printer, &switched).isJobDeliveryEnabled());
    EXPECT_FALSE(JobDeliverySettings(static_cast<HANDLE>(nullptr), &switched).isJobDeliveryEnabled());
    EXPECT_FALSE(JobDeliverySettings(static_cast<const wchar_t*>(nullptr), &switched).isJobDeliveryEnabled());
    ClosePrinter(printer);
}

TEST_F(JobSettingsTest, ManagedListRecordsBecomePathAttributes)
{
    using namespace PrintPathAttr;
    MPrint::ManagedPrinterRecord record;
    record.jobAccountingApiName = L"Account";
    record.jobAccountingModule = L"";
    record.jobAccountingUrl = nullptr;
    record.jobDeliveryUrl = L"http://deliver";
    record.jobCompleteExe = L"done.exe";
    record.jobDeliveryModule = nullptr;

    MPrint::PrintPath path;
    path.setStringAttribute(mplJobAccountingModule, L"kept.dll", true);
    path.setStringAttribute(mplJobDeliveryModule, L"stale.dll", true);
    path.setNumericAttribute(JobDelivery, 1, true);
    EXPECT_TRUE(JobAccountingSettings::setManagedListAttributes(&record, &path));
    EXPECT_TRUE(JobDeliverySettings::setManagedListAttributes(&record, &path));
    EXPECT_EQ(L"Account", path.getStringAttribute(mplJobAccountingAPI));
    EXPECT_EQ(L"kept.dll", path.getStringAttribute(mplJobAccountingModule)) << "accounting only adds";
    EXPECT_EQ(L"http://deliver", path.getStringAttribute(mplJobDeliveryURL));
    EXPECT_EQ(L"done.exe", path.getStringAttribute(mplJobCompleteExe));
    EXPECT_EQ(0u, path.attributes().count(mplJobDeliveryModule)) << "delivery removes what the record lacks";
    EXPECT_EQ(0u, path.attributes().count(JobDelivery)) << "a record without the flag leaves no switch";
    record.jobDelivery = 1;
    EXPECT_TRUE(JobDeliverySettings::setManagedListAttributes(&record, &path));
    EXPECT_EQ(1u, path.getNumericAttribute(JobDelivery));

    EXPECT_FALSE(JobAccountingSettings::setManagedListAttributes(nullptr, &path));
    EXPECT_FALSE(JobAccountingSettings::setManagedListAttributes(&record, nullptr));
    EXPECT_FALSE(JobDeliverySettings::setManagedListAttributes(nullptr, &path));
    EXPECT_FALSE(JobDeliverySettings::setManagedListAttributes(&record, nullptr));
}

TEST_F(JobSettingsTest, CopyOperationsWriteAndDeleteThePrintersData)
{
    using namespace PrintPathAttr;
    const auto target = arrange({{}, {}, {{mplJobAccountingURL, L"old"}, {mplJobDeliveryURL, L"old"},
                                          {mplJobCompleteExe, L"old.exe"}},
                                 {{JobDelivery, 1}}});
    const std::wstring& name = target->name();
    auto source = makePath({{{mplJobAccountingModule, L"list.dll"}, {mplJobDeliveryModule, L"deliver.dll"},
                             {qJobAccountingURL, L"http://q-acct"}, {qJobCompleteURL, L"http://q-done"}}});
    {
        PrinterSettings settings(name.c_str(), PRINTER_ALL_ACCESS);
        JobAccountingSettings accounting(name.c_str(), L"not in history", nullptr);
        JobDeliverySettings delivery(name.c_str(), L"not in history", nullptr);
        EXPECT_TRUE(accounting.writeManagedListValues(&settings, source.get()));
        EXPECT_TRUE(delivery.writeManagedListValues(&settings, source.get()));
        EXPECT_TRUE(JobAccountingSettings::writeQueueValues(&settings, source.get()));
        EXPECT_TRUE(JobDeliverySettings::writeQueueValues(&settings, source.get()));
        // A null path: the list's values are gone from the queue, nothing dereferenced.
        EXPECT_FALSE(accounting.writeManagedListValues(nullptr, source.get()));
        EXPECT_FALSE(delivery.writeManagedListValues(nullptr, source.get()));
        EXPECT_FALSE(JobAccountingSettings::writeQueueValues(&settings, nullptr));
        EXPECT_FALSE(JobDeliverySettings::writeQueueValues(nullptr, source.get()));
    }
    EXPECT_EQ(std::nullopt, dataText(name, mplJobAccountingURL)) << "an empty list value is deleted";
    EXPECT_EQ(L"list.dll", dataText(name, mplJobAccountingModule));
    EXPECT_EQ(std::nullopt, dataText(name, mplJobDeliveryURL));
    EXPECT_EQ(std::nullopt, dataText(name, mplJobCompleteExe));
    EXPECT_EQ(L"deliver.dll", dataText(name, mplJobDeliveryModule));
    EXPECT_EQ(std::nullopt, dataNumber(name, JobDelivery)) << "the path has no switch";
    EXPECT_EQ(L"http://q-acct", dataText(name, qJobAccountingURL));
    EXPECT_EQ(L"http://q-done", dataText(name, qJobCompleteURL));
    EXPECT_EQ(std::nullopt, dataText(name, L"mplDestinationName"));

    // A null path reaching the managed-list writer.
    {
        PrinterSettings settings(name.c_str(), PRINTER_ALL_ACCESS);
        EXPECT_TRUE(JobAccountingSettings(name.c_str(), L"", nullptr).writeManagedListValues(&settings, nullptr));
    }
    EXPECT_EQ(std::nullopt, dataText(name, mplJobAccountingModule));
}

TEST_F(JobSettingsTest, PolicyAndDestinationAreWrittenOnlyForAQueueMadePermanent)
{
    using namespace PrintPathAttr;
    const auto job = arrange({{}, {}, {}, {}, {{JobAccountingModule, L"P-acct.dll"}, {Userid, L"P-user"},
                                                 {JobDeliveryURL, L"P-deliver"}, {JobCompleteURL, L"P-done"}}});
    MPrint::PrintPath switched;
    switched.setNumericAttribute(JobDelivery, 1, true);
    extension_->setDestination(kDestination);

    struct Step {
        const char* name;
        DWORD makePermanent;
        bool jobContext;
        bool accountingResult;
        bool written;
    } steps[] = {
        {"no current job", 1, false, false, false},
        {"not made permanent", 0, true, false, false},
        {"made permanent", 1, true, true, true},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        testspool::ScopedQueue target(testspool::uniqueQueueName(L"Job Settings Target"));
        ASSERT_EQ(DWORD{ERROR_SUCCESS}, target.error());
        settings_->setDword(L"MakePermanentInstance", step.makePermanent);
        if (step.jobContext)
            extension_->createDestinationContext(job->name());
        {
            PrinterSettings settings(target.name().c_str(), PRINTER_ALL_ACCESS);
            EXPECT_EQ(step.accountingResult, JobAccountingSettings::writePolicyValues(&settings));
            EXPECT_TRUE(JobDeliverySettings::writePolicyValues(&settings, &switched));
            JobDeliverySettings delivery(job->name().c_str(), kDestination, nullptr);
            EXPECT_TRUE(delivery.writeManagedListValues(&settings, &switched));
        }
        const std::wstring& name = target.name();
        EXPECT_EQ(step.written ? std::optional<std::wstring>(L"P-acct.dll") : std::nullopt,
                  dataText(name, JobAccountingModule));
        EXPECT_EQ(step.written ? std::optional<std::wstring>(L"P-user") : std::nullopt, dataText(name, Userid));
        EXPECT_EQ(step.written ? std::optional<std::wstring>(L"P-done") : std::nullopt,
                  dataText(name, JobCompleteURL));
        EXPECT_EQ(step.makePermanent ? std::optional<std::wstring>(kDestination) : std::nullopt,
                  dataText(name, L"mplDestinationName"));
        EXPECT_EQ(1u, dataNumber(name, JobDelivery));
    }
    EXPECT_FALSE(JobAccountingSettings::writePolicyValues(nullptr));
    EXPECT_FALSE(JobDeliverySettings::writePolicyValues(nullptr, &switched));
    forgetPolicyValues();
}

TEST_F(JobSettingsTest, HistoryLookupIsExactAndLeavesTheHistoryAlone)
{
    const auto queue = arrange({{{PrintPathAttr::Address, L"10.0.0.9"}}});
    std::unique_ptr<MPrint::PrintPath> found(MPrint::findPrintPathInHistory(kDestination, nullptr));
    ASSERT_NE(nullptr, found);
    EXPECT_EQ(L"10.0.0.9", found->getStringAttribute(PrintPathAttr::Address));
    std::wstring upper = kDestination;
    for (wchar_t& c : upper)
        c = towupper(c);
    EXPECT_EQ(nullptr, MPrint::findPrintPathInHistory(upper.c_str(), nullptr)) << "letter case counts";
    EXPECT_EQ(nullptr, MPrint::findPrintPathInHistory(L"Laser", nullptr)) << "a part is no match";
    std::unique_ptr<MPrint::PrintPath> again(MPrint::findPrintPathInHistory(kDestination, nullptr));
    EXPECT_NE(nullptr, again) << "the stored history keeps the entry";
}

} // namespace

TEST_F(JobSettingsTest, MakePermanentMarkerLivesOnlyAsLongAsItsProcess)
{
    const DWORD self = GetCurrentProcessId();
    const struct {
        const char* what;
        DWORD owner; // 0: none written
        DWORD read;
        bool kept;
    } rows[] = {
        {"set by this process", self, 1, true},
        {"left by a process that ended", 0xFFFFFFF0, 0, false},
        {"an older release's, without its process", 0, 1, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        settings_->setDword(L"MakePermanentInstance", 1);
        if (row.owner)
            settings_->setDword(L"MakePermanentInstanceProcess", row.owner);
        else
            settings_->deleteValue(L"MakePermanentInstanceProcess");
        EXPECT_EQ(JobAccountingSettings::readMakePermanentInstance(), row.read);
        DWORD value = 0;
        EXPECT_EQ(settings_->queryDword(L"MakePermanentInstance", &value), row.kept);
        EXPECT_EQ(settings_->queryDword(L"MakePermanentInstanceProcess", &value), row.kept && row.owner != 0);
    }
    ASSERT_TRUE(JobAccountingSettings::setMakePermanentInstance());
    EXPECT_EQ(JobAccountingSettings::readMakePermanentInstance(), 1u);
    JobAccountingSettings::clearMakePermanentInstance();
    EXPECT_EQ(JobAccountingSettings::readMakePermanentInstance(), 0u);
    DWORD value = 0;
    EXPECT_FALSE(settings_->queryDword(L"MakePermanentInstanceProcess", &value));
}
