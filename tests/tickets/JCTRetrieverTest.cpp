// Job-control tickets of a queue end to end: the ticket from the module
// stand-in (for the queue or a device address) or from "JCTPath", read into
// the features, stored as the queue's printer data in the spooler stand-in
// and read back; by an administrator and by a user whose writes and
// deletions the Keravin monitor's pipe host stores.
#include "tickets/JCTManager.h"
#include "tickets/JCTRetriever.h"
#include "core/RegistryKey.h"
#include "core/SettingsKeys.h"
#include "support/JobTicketModuleStandIn.h"
#include "support/MonitorPipeHost.h"
#include "support/PrivateCurrentUser.h"
#include "support/SharedState.h"
#include "support/TestSpooler.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>

VRELM_TEST_SHARES(policy_settings, qzkrvmon_pipe);

namespace {

using testenv::JobTicketModuleStandIn;

constexpr wchar_t kJCTData[] = L"PrinterDriverData\\JCTData";

const std::vector<std::wstring> kFeatureNames = {
    L"Chromalign",      L"DuplexOrientation",   L"ImageAdjustments",     L"ImageIdentification",
    L"JPEGArtifactReduction", L"JPEGPassthrough", L"MediaSize",        L"MediaType",
    L"OutputBinOrientation",  L"PNGPassthrough",  L"PNGTransparency"};

const std::wstring kAllSizes =
    L"na_letter_8.5x11in;na_legal_8.5x14in;na_executive_7.25x10.5in;na_invoice_5.5x8.5in;na_foolscap_8.5x13in;"
    L"na_ledger_11x17in;na_tabloid-extra_12x18in;iso_a3_297x420mm;iso_a4_210x297mm;iso_a5_148x210mm;"
    L"jis_b4_257x364mm;jis_b5_182x257mm;prc_8k_273x394mm;prc_16k_197x273mm;jpn_oufuku_148x200mm;"
    L"na_number-10_4.125x9.5in;na_monarch_3.875x7.5in;iso_b5_176x250mm;iso_c5_162x229mm;iso_dl_110x220mm;"
    L"jis_exec_216x330mm;jpn_hagaki_100x148mm;iso_a6_105x148mm;custom";

// The short-form ticket: media defaults one level up, Chromalign, nothing else.
const std::map<std::wstring, std::wstring> kShortForm = {
    {L"MediaSize", L"na_legal_8.5x14in;custom"},
    {L"MediaType", L"cardstock"},
    {L"Chromalign", L"disabled"},
};

// Only the media lists, from their defaults.
std::map<std::wstring, std::wstring> defaultsOnly()
{
    JCTManager manager(L"");
    manager.createFeatures();
    std::map<std::wstring, std::wstring> values;
    for (const wchar_t* name : {L"MediaSize", L"MediaType"}) {
        JCTFeature* feature = manager.feature(name);
        std::wstring text;
        if (feature && feature->setDefaults() && feature->getValue(text))
            values[name] = text;
    }
    return values;
}

// A stored text as its feature takes it back (the media lists always offer
// their required options).
std::wstring takenBack(const std::wstring& feature, const std::wstring& stored)
{
    JCTManager manager(L"");
    manager.createFeatures();
    std::wstring text;
    manager.feature(feature)->setValue(stored);
    manager.feature(feature)->getValue(text);
    return text;
}

// The JCTData values of the queue as the spooler holds them (read by an administrator).
std::map<std::wstring, std::wstring> storedValues(const std::wstring& queue)
{
    std::map<std::wstring, std::wstring> values;
    HANDLE printer = nullptr;
    if (!OpenPrinterW(const_cast<LPWSTR>(queue.c_str()), &printer, nullptr))
        return values;
    for (const std::wstring& name : kFeatureNames) {
        std::vector<BYTE> data(8192, 0);
        DWORD type = 0, needed = 0;
        if (GetPrinterDataExW(printer, kJCTData, name.c_str(), &type, data.data(),
                              static_cast<DWORD>(data.size() - 2), &needed) == ERROR_SUCCESS) {
            EXPECT_EQ(type, DWORD{REG_SZ}) << testenv::narrow(name);
            values[name] = reinterpret_cast<const wchar_t*>(data.data());
        }
    }
    ClosePrinter(printer);
    return values;
}

std::string show(const std::map<std::wstring, std::wstring>& values)
{
    std::string text;
    for (const auto& [name, value] : values)
        text += testenv::narrow(name) + "=" + testenv::narrow(value) + "\n";
    return text;
}

class JCTRetrieverTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(queue_.error(), 0u);
        ASSERT_TRUE(module_.ready());
        ASSERT_TRUE(user_.isActive());
        module_.answerQueue(name(), L"office.xml");
        module_.answerAddress(L"127.0.0.9", L"short-default.xml");
    }
    const std::wstring& name() const { return queue_.name(); }
    // A value the retrieval has to remove.
    void seedStale() { ASSERT_EQ(queue_.setString(kJCTData, L"JPEGPassthrough", L"stale"), 0u); }

    testspool::ScopedQueue queue_{testspool::uniqueQueueName(L"JCT")};
    JobTicketModuleStandIn module_;
    testenv::PrivateCurrentUser user_;
};

// A ticket for the queue and one for an address, stored by an administrator
// and by a user (through the monitor), read back into features, one of them
// changed and stored again.
TEST_F(JCTRetrieverTest, TicketRoundTripForQueueAndAddressWithAndWithoutRights)
{
    MonitorPipeHost host;
    ASSERT_TRUE(host.ready());
    struct Row {
        const char* name;
        const wchar_t* address;
        bool user;
        const std::map<std::wstring, std::wstring>* expected;
        const char* exportName;
    };
    const Row rows[] = {
        {"queue, administrator", nullptr, false, &JobTicketModuleStandIn::officeValues(), "CreateJCTForPrintQueue"},
        {"address, administrator", L"127.0.0.9", false, &kShortForm, "CreateJCTForDeviceAddress"},
        {"queue, user", nullptr, true, &JobTicketModuleStandIn::officeValues(), "CreateJCTForPrintQueue"},
        {"address, user", L"127.0.0.9", true, &kShortForm, "CreateJCTForDeviceAddress"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        seedStale();
        const size_t callsBefore = module_.calls(row.exportName).size();
        std::unique_ptr<testspool::ScopedUserRights> rights;
        if (row.user)
            rights = std::make_unique<testspool::ScopedUserRights>();
        EXPECT_TRUE(retrieveJCTForDeviceAddress(name().c_str(), true, row.address));
        EXPECT_EQ(module_.calls(row.exportName).size(), callsBefore + 1);
        std::map<std::wstring, std::wstring> stored = storedValues(name());
        EXPECT_EQ(stored, *row.expected) << show(stored);

        std::unique_ptr<JCTManager> loaded = JCTManager::load(name().c_str());
        ASSERT_NE(loaded, nullptr);
        EXPECT_EQ(loaded->writesThroughMonitor(), row.user);
        for (const std::wstring& feature : kFeatureNames) {
            SCOPED_TRACE(testenv::narrow(feature));
            JCTFeature* read = loaded->feature(feature);
            const auto wanted = row.expected->find(feature);
            ASSERT_EQ(read != nullptr, wanted != row.expected->end());
            std::wstring text;
            if (read && read->getValue(text)) {
                EXPECT_EQ(text, takenBack(feature, wanted->second));
            }
        }
        ASSERT_TRUE(loaded->feature(L"MediaSize")->setValue(L"custom"));
        EXPECT_TRUE(loaded->saveToPrinterData());
        stored = storedValues(name());
        EXPECT_EQ(stored[L"MediaSize"], L"custom;na_letter_8.5x11in;iso_a4_210x297mm");
        EXPECT_EQ(stored.count(L"Chromalign"), 1u);
    }
}

// Without a ticket (the queue's entry point, or a module that cannot give
// one) the media lists take their defaults, every other value is removed,
// and that is a success.
TEST_F(JCTRetrieverTest, WithoutATicketTheMediaDefaultsAreStoredAndTheRestRemoved)
{
    const auto defaults = defaultsOnly();
    ASSERT_EQ(defaults.at(L"MediaSize"), kAllSizes);
    std::unique_ptr<JobTicketModuleStandIn> queueOnly;  // replaces module_ from its row on
    struct Row {
        const char* name;
        std::function<void()> arrange;
        const wchar_t* address;
    };
    const Row rows[] = {
        {"module refuses", [&] { module_.answerQueue(name(), L"fail"); }, nullptr},
        {"module writes no XML", [&] { module_.answerAddress(L"127.0.0.10", L"garbage"); }, L"127.0.0.10"},
        {"no address export",
         [&] {
             queueOnly = std::make_unique<JobTicketModuleStandIn>(L"queueonly");
             queueOnly->answerAddress(L"127.0.0.9", L"office.xml");
         },
         L"127.0.0.9"},
        {"no module", [&] { queueOnly->removeModule(); }, nullptr},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        seedStale();
        ASSERT_EQ(queue_.setString(kJCTData, L"PNGTransparency", L"host"), 0u);
        row.arrange();
        EXPECT_TRUE(retrieveJCTForDeviceAddress(name().c_str(), true, row.address));
        const auto stored = storedValues(name());
        EXPECT_EQ(stored, defaults) << show(stored);
    }
    EXPECT_TRUE(queueOnly->calls().empty()) << "no address export, then no module: nothing called";
    EXPECT_EQ(module_.calls().size(), 2u);

    // The queue's own entry point asks no module at all.
    seedStale();
    EXPECT_TRUE(retrieveJCTForPrintQueue(name().c_str(), true));
    EXPECT_EQ(storedValues(name()), defaults);
    EXPECT_EQ(module_.calls().size(), 2u);
}

// A ticket without a media type keeps the media type defaults; its empty
// image-adjustment list removes an older list rather than leaving it.
TEST_F(JCTRetrieverTest, MissingFeatureKeepsTheMediaDefaults)
{
    module_.answerQueue(name(), L"missing-feature.xml");
    ASSERT_EQ(queue_.setString(kJCTData, L"ImageAdjustments", L"[photo(host)()]"), 0u);
    JCTRetriever retriever(name().c_str(), nullptr);
    ASSERT_TRUE(retriever.retrieveForDevice());
    EXPECT_EQ(retriever.getJCTSupport(), 0);
    EXPECT_EQ(retriever.feature(L"Chromalign"), nullptr);
    ASSERT_NE(retriever.feature(L"ImageAdjustments"), nullptr);
    EXPECT_TRUE(retriever.feature(L"ImageAdjustments")->isValid());
    EXPECT_TRUE(retriever.saveToPrinterData());
    const auto stored = storedValues(name());
    EXPECT_EQ(stored, (std::map<std::wstring, std::wstring>{{L"MediaSize", L"na_letter_8.5x11in"},
                                                             {L"MediaType", defaultsOnly().at(L"MediaType")}}))
        << show(stored);
}

// The device's own description copied into "XMLData": what its readers found, nothing else.
TEST_F(JCTRetrieverTest, DeviceDescriptionIsCopied)
{
    EXPECT_FALSE(copyDeviceXMLFeatures(name().c_str())) << "no description named";
    ASSERT_EQ(queue_.setString(L"", L"QZXMLFileUsed", JobTicketModuleStandIn::ticket(L"device.xml")), 0u);
    ASSERT_TRUE(copyDeviceXMLFeatures(name().c_str()));
    HANDLE printer = nullptr;
    ASSERT_TRUE(OpenPrinterW(const_cast<LPWSTR>(name().c_str()), &printer, nullptr));
    const std::map<std::wstring, std::wstring> expected = {
        {L"Chromalign", L"enabled"}, {L"PNGTransparency", L"host"}, {L"ImageAdjustments", L"[photo(host)()]"},
        {L"DuplexOrientation", L"FaceUp"}, {L"JPEGPassthrough", L""}, {L"OutputBinOrientation", L""}};
    for (const auto& [value, text] : expected) {
        SCOPED_TRACE(testenv::narrow(value));
        wchar_t data[64] = {};
        DWORD type = 0, needed = 0;
        const DWORD error = GetPrinterDataExW(printer, L"PrinterDriverData\\XMLData", value.c_str(), &type,
                                              reinterpret_cast<BYTE*>(data), sizeof(data) - 2, &needed);
        EXPECT_EQ(error, text.empty() ? DWORD{ERROR_FILE_NOT_FOUND} : DWORD{ERROR_SUCCESS});
        EXPECT_EQ(std::wstring(data), text);
    }
    ClosePrinter(printer);
}

TEST_F(JCTRetrieverTest, StoredTicketIsKeptUnlessForced)
{
    ASSERT_EQ(queue_.setDword(kJCTData, L"SupportsJCT", 1), 0u);
    ASSERT_EQ(queue_.setString(kJCTData, L"MediaType", L"kept"), 0u);
    testspool::ScopedCallLog log;
    EXPECT_TRUE(retrieveJCTForPrintQueue(name().c_str(), false));
    EXPECT_TRUE(retrieveJCTForDeviceAddress(name().c_str(), false, L"127.0.0.9"));
    EXPECT_TRUE(log.calls("SetPrinterDataExW").empty());
    EXPECT_TRUE(log.calls("DeletePrinterDataExW").empty());
    EXPECT_TRUE(module_.calls().empty());
    EXPECT_EQ(storedValues(name()).at(L"MediaType"), L"kept");

    ASSERT_EQ(queue_.setDword(kJCTData, L"SupportsJCT", 0xFFFFFFFF), 0u);  // counts as absent
    EXPECT_TRUE(retrieveJCTForDeviceAddress(name().c_str(), false, nullptr));
    EXPECT_EQ(storedValues(name()), JobTicketModuleStandIn::officeValues());

    EXPECT_FALSE(retrieveJCTForPrintQueue(L"No Such JCT Queue", true));
    EXPECT_FALSE(retrieveJCTForDeviceAddress(L"No Such JCT Queue", true, nullptr));
    EXPECT_FALSE(retrieveJCTForPrintQueue(nullptr, true));
}

// "JCTPath" names the ticket file: the user's beats the machine's, and the
// module is not asked.
TEST_F(JCTRetrieverTest, TicketPathSettingBeatsTheModule)
{
    // The machine's value goes with the test, whatever happens.
    struct MachineValue {
        RegistryKey key{HKEY_LOCAL_MACHINE, settingskeys::kSettings, 1, true};
        ~MachineValue() { RegDeleteValueW(key.getHandle(), L"JCTPath"); }
    } machine;
    ASSERT_TRUE(machine.key.isOpen());
    const std::wstring machinePath = JobTicketModuleStandIn::ticket(L"short-default.xml");
    ASSERT_EQ(RegSetValueExW(machine.key.getHandle(), L"JCTPath", 0, REG_SZ,
                             reinterpret_cast<const BYTE*>(machinePath.c_str()),
                             static_cast<DWORD>((machinePath.size() + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);
    EXPECT_TRUE(retrieveJCTForDeviceAddress(name().c_str(), true, nullptr));
    EXPECT_EQ(storedValues(name()), kShortForm);

    RegistryKey userKey(HKEY_CURRENT_USER, settingskeys::kSettings, 1, true);
    const std::wstring userPath = JobTicketModuleStandIn::ticket(L"office.xml");
    ASSERT_EQ(RegSetValueExW(userKey.getHandle(), L"JCTPath", 0, REG_EXPAND_SZ,
                             reinterpret_cast<const BYTE*>(userPath.c_str()),
                             static_cast<DWORD>((userPath.size() + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);
    EXPECT_TRUE(retrieveJCTForDeviceAddress(name().c_str(), true, L"127.0.0.9"));
    EXPECT_EQ(storedValues(name()), JobTicketModuleStandIn::officeValues());
    EXPECT_TRUE(module_.calls().empty());

    // A path longer than the setting holds is no path.
    RegDeleteValueW(machine.key.getHandle(), L"JCTPath");
    const std::wstring longPath = L"C:\\" + std::wstring(300, L'a') + L".xml";
    RegSetValueExW(userKey.getHandle(), L"JCTPath", 0, REG_SZ, reinterpret_cast<const BYTE*>(longPath.c_str()),
                   static_cast<DWORD>((longPath.size() + 1) * sizeof(wchar_t)));
    std::wstring path;
    EXPECT_FALSE(JCTRetriever::findJCTPath(path));
}

// A change the spooler refuses through a handle opened with full access
// (rights withdrawn since the open) reaches the queue through the monitor,
// with every value and deletion after it.
TEST_F(JCTRetrieverTest, ChangeRefusedOnAnOpenHandleGoesThroughTheMonitor)
{
    MonitorPipeHost host;
    ASSERT_TRUE(host.ready());
    seedStale();
    {
        JCTRetriever retriever(name().c_str(), nullptr);
        ASSERT_FALSE(retriever.writesThroughMonitor());
        ASSERT_TRUE(retriever.retrieveForDevice());
        testspool::ScopedUserRights withdrawn(L"withdrawn");
        EXPECT_TRUE(retriever.saveToPrinterData());
        EXPECT_TRUE(retriever.writesThroughMonitor());
    }
    const std::map<std::wstring, std::wstring> stored = storedValues(name());
    EXPECT_EQ(stored, JobTicketModuleStandIn::officeValues()) << show(stored);
}

// A user's refused writes are batched with the deletions and stored by the
// monitor, each named key + "\" + feature; without a monitor that is a failure.
TEST_F(JCTRetrieverTest, UserWithoutAMonitorFailsAndLeavesTheQueueAlone)
{
    seedStale();
    testspool::ScopedUserRights rights;
    {
        JCTRetriever retriever(name().c_str(), nullptr);
        EXPECT_TRUE(retriever.writesThroughMonitor());
        ASSERT_TRUE(retriever.retrieveForDevice());
        EXPECT_FALSE(retriever.saveToPrinterData());
    }
    EXPECT_EQ(storedValues(name()), (std::map<std::wstring, std::wstring>{{L"JPEGPassthrough", L"stale"}}));
}

} // namespace
