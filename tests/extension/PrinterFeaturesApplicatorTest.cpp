// The printer features applicator on a queue of the spooler stand-in: the
// device values with and without a print path, PDL versions, the device
// configuration address, the colour state's two words, the managed defaults
// and services tab with a server policy in force and from the user's own
// settings, and the whole run for a printer name.
#include "extension/PrinterFeaturesApplicator.h"

#include "core/SettingsKeys.h"
#include "destination/PrintPath.h"
#include "destination/PrintPathAttr.h"
#include "destination/PrinterSettings.h"
#include "extension/LumoraPrintingExtension.h"
#include "extension/ManagedPrintPolicy.h"
#include "support/PolicyTestEnv.h"
#include "support/PrivateCurrentUser.h"
#include "support/SharedState.h"
#include "support/TestEnv.h"
#include "support/TestSpooler.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

VRELM_TEST_SHARES(policy_settings);

namespace {

using MPrint::PrintPath;
using MPrint::PrinterFeaturesApplicator;
using namespace PrintPathAttr;

constexpr DWORD kAbsent = 0xFFFFFFFF;

class PrinterFeaturesApplicatorTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(hkcu_.isActive());
        testenv::clearPolicyState();
        ASSERT_EQ(DWORD{ERROR_SUCCESS}, queue_.error());
        arrangePolicy();
        extension_ = LumoraPrintingExtension::instance();
        ASSERT_NE(nullptr, extension_);
        settings_ = std::make_unique<PrinterSettings>(queue_.name().c_str(), PRINTER_ALL_ACCESS);
        ASSERT_FALSE(settings_->isDeferred());
    }
    void TearDown() override
    {
        settings_.reset();
        delete LumoraPrintingExtension::current();
        testenv::clearPolicyState();
    }

    // Before the extension reads it.
    virtual void arrangePolicy() {}

    DWORD dword(const wchar_t* name)
    {
        DWORD value = kAbsent;
        return settings_->getDword(name, value) ? value : kAbsent;
    }
    std::optional<std::wstring> text(const std::wstring& name)
    {
        std::wstring value;
        if (!settings_->getString(name.c_str(), value))
            return std::nullopt;
        return value;
    }
    PrinterFeaturesApplicator applicator(PrintPath* path, MPrint::ManagedPrintPolicy* policy = nullptr)
    {
        return PrinterFeaturesApplicator(policy, settings_.get(), path);
    }

    testenv::PrivateCurrentUser hkcu_;
    testspool::ScopedQueue queue_{testspool::uniqueQueueName(L"Features")};
    LumoraPrintingExtension* extension_ = nullptr;
    std::unique_ptr<PrinterSettings> settings_;
};

TEST_F(PrinterFeaturesApplicatorTest, DeviceValuesWithoutAPath)
{
    settings_->setDword(LumoPSLanguageLevel, 3);
    settings_->setString(DeviceConfigAddress, L"10.0.0.9");
    settings_->setString(L"mplDestinationType", L"Waypost");
    settings_->setDword(LumoPagesPerMinute, 40);
    settings_->setString(L"PDL-PCL5", L"5.0");

    EXPECT_TRUE(applicator(nullptr).apply()) << "the job settings get no path and cope";
    EXPECT_EQ(0u, dword(LumoIsColorDevice)) << "the default render type";
    EXPECT_EQ(0u, dword(LumoDisableDuplex));
    EXPECT_EQ(0u, dword(LumoDisableJobRetention));
    EXPECT_EQ(0u, dword(LumoPagesPerMinute));
    EXPECT_EQ(std::nullopt, text(L"mplDestinationType"));
    EXPECT_EQ(3u, dword(LumoPSLanguageLevel)) << "left alone";
    EXPECT_EQ(L"10.0.0.9", text(DeviceConfigAddress)) << "left alone";
    EXPECT_EQ(L"5.0", text(L"PDL-PCL5")) << "left alone";
    EXPECT_FALSE(applicator(nullptr).applyPDLVersions());
    EXPECT_FALSE(applicator(nullptr).applyDeviceConfigAddress());
}

TEST_F(PrinterFeaturesApplicatorTest, DeviceValuesFromThePath)
{
    settings_->setString(L"PDL-PCL3", L"1.0");
    PrintPath path;
    path.setNumericAttribute(LumoPSLanguageLevel, 3, true);
    path.setNumericAttribute(LumoIsColorDevice, 2, true);
    path.setNumericAttribute(LumoDisableDuplex, 1, true);
    path.setNumericAttribute(LumoPagesPerMinute, 45, true);
    path.setStringAttribute(LumoSNMPCommunityName, L"backoffice", true);
    path.setStringAttribute(DestinationType, L"Waypost", true);
    path.getDevice().addPdl(PdlInfo(3, "PCL", "5.0e"));
    path.getDevice().addPdl(PdlInfo(6, "PS", "3010.107"));
    path.getDevice().addPdl(PdlInfo(5, "PJL", "1.0")); // not a language of the driver's

    EXPECT_TRUE(applicator(&path).apply());
    EXPECT_EQ(3u, dword(LumoPSLanguageLevel));
    EXPECT_EQ(0u, dword(LumoIsColorDevice)) << "2 stands for the default render type";
    EXPECT_EQ(1u, dword(LumoDisableDuplex));
    EXPECT_EQ(0u, dword(LumoDisableJobRetention)) << "absent on the path";
    EXPECT_EQ(45u, dword(LumoPagesPerMinute));
    EXPECT_EQ(L"backoffice", text(LumoSNMPCommunityName));
    EXPECT_EQ(L"Waypost", text(L"mplDestinationType"));
    EXPECT_EQ(L"5.0e", text(L"PDL-PCL5"));
    EXPECT_EQ(L"3010.107", text(L"PDL-PostScript"));
    EXPECT_EQ(L"", text(L"PDL-PCL3")) << "a language the device lost stays, empty";
    EXPECT_EQ(std::nullopt, text(L"PDL-PCL6")) << "never reported, never written";

    path.setNumericAttribute(LumoIsColorDevice, 1, true);
    EXPECT_TRUE(applicator(&path).apply());
    EXPECT_EQ(1u, dword(LumoIsColorDevice));
}

TEST_F(PrinterFeaturesApplicatorTest, DeviceConfigurationAddress)
{
    struct Row {
        const char* name;
        std::optional<DWORD> externalType;
        DWORD autoCreated;
        std::optional<std::wstring> clientPort;
        std::wstring expected;
    } rows[] = {
        {"the path's address", 0, 0, std::nullopt, L"10.1.2.3:9100"},
        {"an external configuration of another type", 3, 0, std::nullopt, L""},
        {"no external type", std::nullopt, 0, std::nullopt, L""},
        {"an auto-created queue's network port", 0, 1, L"IP_10.9.9.9", L"IP_10.9.9.9"},
        {"an auto-created queue's USB port", 0, 1, L"USB001", L"10.1.2.3:9100"},
        {"an auto-created queue's LPT port", 0, 1, L"LPT1:", L"10.1.2.3:9100"},
        {"a client port of a queue not auto-created", 0, 0, L"IP_10.9.9.9", L"10.1.2.3:9100"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        settings_->setDword(L"LumoAutoCreated", row.autoCreated);
        if (row.clientPort)
            settings_->setString(L"LumoAutoCreatedClientPort", row.clientPort->c_str());
        else
            settings_->deleteValue(L"LumoAutoCreatedClientPort");
        PrintPath path;
        path.setStringAttribute(DeviceConfigAddress, L"10.1.2.3:9100", true);
        if (row.externalType)
            path.setNumericAttribute(ExternalConfigType, *row.externalType, true);
        EXPECT_TRUE(applicator(&path).applyDeviceConfigAddress());
        EXPECT_EQ(row.expected, text(DeviceConfigAddress));
    }
}

TEST_F(PrinterFeaturesApplicatorTest, ColourStateKeepsThePreviousInItsHighWord)
{
    struct Step {
        const char* name;
        DWORD pathDisables; // the path's "LumoDisableColor"
        DWORD before;
        DWORD after;
        bool written;
    } steps[] = {
        {"disabled by the device", 1, 0, 0x00000001, true},
        {"allowed again", 0, 0x00000001, 0x00010000, true},
        {"allowed once more: unchanged", 0, 0x00010000, 0x00010000, false},
        {"disabled again", 1, 0x00010000, 0x00000001, true},
        {"disabled once more: unchanged", 1, 0x00000001, 0x00000001, false},
    };
    settings_->setDword(LumoDisableColor, 0);
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        ASSERT_EQ(step.before, dword(LumoDisableColor));
        PrintPath path;
        path.setNumericAttribute(LumoDisableColor, step.pathDisables, true);
        EXPECT_EQ(step.written, applicator(&path).applyColorPolicy());
        EXPECT_EQ(step.after, dword(LumoDisableColor));
        EXPECT_EQ(step.written ? 1u : kAbsent, path.getNumericAttribute(ForceDocPropCall))
            << "the driver reads its document properties again only after a change";
    }
}

class ServerPolicyTest : public PrinterFeaturesApplicatorTest {
protected:
    void arrangePolicy() override
    {
        ASSERT_FALSE(testenv::policyLocalAddress().empty()) << "the computer name must resolve";
        policy_ = testenv::makeServerPolicyInForce(dir_.file(L"policy.xml"));
        ASSERT_TRUE(policy_.isOpen());
    }

    testenv::Winsock sockets_;
    testenv::TempDir dir_;
    RegistryKey policy_{HKEY_CURRENT_USER, L"", RegistryKey::kRead};
};

TEST_F(ServerPolicyTest, ManagedDefaultsAndServicesTab)
{
    RegistryKey& policy = policy_;
    MPrint::ManagedPrintPolicy* managed = MPrint::ManagedPrintPolicy::instance();
    ASSERT_TRUE(managed->hasPolicy());
    policy.setDword(L"DuplexDefault", 1);
    policy.setDword(L"EconomodeDefault", 0);
    policy.setDword(L"PrivatePrintPin", 1234);
    policy.setDword(L"ServicesTab", 0);
    policy.setDword(L"OrderSupplies", 1);
    settings_->setDword(L"ManagedEconomode", 0);
    settings_->setDword(L"LumoOnlineDiag", 0);
    settings_->setDword(L"LumoServicesTab", 1);

    PrintPath path;
    EXPECT_TRUE(applicator(&path, managed).applyManagedFeatures());
    EXPECT_EQ(1u, dword(L"ManagedDuplex"));
    EXPECT_EQ(1234u, dword(L"ManagedPPPin"));
    EXPECT_EQ(0u, dword(L"ManagedEconomode"));
    EXPECT_EQ(kAbsent, dword(L"ManagedGrayscale")) << "not in the policy";
    EXPECT_EQ(1u, path.getNumericAttribute(ForceDocPropCall));
    EXPECT_EQ(0u, dword(L"LumoServicesTab"));
    for (const wchar_t* name : {L"LumoOnlineDiag", L"LumoOnlineSupport", L"LumoOnlineProdManuals",
                                L"LumoOnlineDriverUpdates", L"LumoOnlineOrderSupplies"}) {
        SCOPED_TRACE(testenv::narrow(name));
        EXPECT_EQ(1u, dword(name)) << "links are shown unless the policy hides them";
    }

    PrintPath again;
    EXPECT_FALSE(applicator(&again, managed).applyManagedFeatures()) << "everything is as the policy says";
    EXPECT_EQ(kAbsent, again.getNumericAttribute(ForceDocPropCall));
}

// The policy as the module loads it: a server policy document read from its
// file, then the features applied for the printer. Each link the document
// hides is hidden on the queue; the others stay shown.
class PolicyDocumentTest : public PrinterFeaturesApplicatorTest {
protected:
    void putPolicyInForce(const std::string& document)
    {
        testenv::clearPolicyState();
        const std::wstring location = dir_.file(L"policy.xml");
        ASSERT_TRUE(testenv::writeFile(location, document));
        RegistryKey user(HKEY_CURRENT_USER, settingskeys::kSettings, RegistryKey::kAllAccess, true);
        constexpr DWORD kServerPolicyMarkerOn = 19728374;
        user.setDword(L"KRVZMA", kServerPolicyMarkerOn);
        user.setString(L"Policy", location.c_str());
    }

    testenv::Winsock sockets_;
    testenv::TempDir dir_;
};

TEST_F(PolicyDocumentTest, ServerPolicyDocumentHidesEachServicesTabLink)
{
    ASSERT_FALSE(testenv::policyLocalAddress().empty()) << "the computer name must resolve";
    const struct {
        const char* element;
        const wchar_t* printerData;
    } links[] = {
        {"ServicesTab", L"LumoServicesTab"},           {"OnlineDiagnostics", L"LumoOnlineDiag"},
        {"OnlineSupport", L"LumoOnlineSupport"},       {"ProductManuals", L"LumoOnlineProdManuals"},
        {"DriverUpdates", L"LumoOnlineDriverUpdates"}, {"OrderSupplies", L"LumoOnlineOrderSupplies"},
    };
    for (const auto& hidden : links) {
        SCOPED_TRACE(hidden.element);
        // Every link shown, as an earlier run without the policy left them.
        for (const auto& link : links)
            ASSERT_TRUE(settings_->setDword(link.printerData, 1));
        settings_.reset();
        putPolicyInForce(std::string("<Policy><") + hidden.element + ">false</" + hidden.element + "></Policy>");
        PrintPath path;
        MPrint::applyPrinterFeatures(queue_.name(), false, &path);
        ASSERT_TRUE(MPrint::ManagedPrintPolicy::instance()->hasPolicy());

        settings_ = std::make_unique<PrinterSettings>(queue_.name().c_str(), PRINTER_ALL_ACCESS);
        for (const auto& link : links) {
            SCOPED_TRACE(testenv::narrow(link.printerData));
            EXPECT_EQ(&link == &hidden ? 0u : 1u, dword(link.printerData));
        }
    }
}

TEST_F(PrinterFeaturesApplicatorTest, ServicesTabFromTheUsersSettingsWithoutAPolicy)
{
    RegistryKey user(HKEY_CURRENT_USER, settingskeys::kSettings, RegistryKey::kAllAccess, true);
    user.setDword(L"OnlineSupport", 0);
    user.setDword(L"DriverUpdates", 1);
    settings_->setDword(L"LumoOnlineDriverUpdates", 0);
    MPrint::ManagedPrintPolicy* managed = MPrint::ManagedPrintPolicy::instance();
    ASSERT_FALSE(managed->hasPolicy());

    EXPECT_TRUE(applicator(nullptr, managed).applyServicesTabSettings());
    EXPECT_EQ(0u, dword(L"LumoOnlineSupport")) << "absent in the queue: written";
    EXPECT_EQ(1u, dword(L"LumoOnlineDriverUpdates")) << "differing: written";
    EXPECT_EQ(kAbsent, dword(L"LumoServicesTab")) << "no setting: untouched";
    EXPECT_FALSE(applicator(nullptr, managed).applyServicesTabSettings());
}

TEST_F(PrinterFeaturesApplicatorTest, AppliedForAPrinterName)
{
    PrintPath path;
    path.setNumericAttribute(LumoDisableJobRetention, 1, true);
    path.setNumericAttribute(LumoPagesPerMinute, 30, true);
    settings_.reset();

    EXPECT_FALSE(MPrint::applyPrinterFeatures(queue_.name(), true, &path)) << "the result is always false";
    EXPECT_EQ(0u, path.getNumericAttribute(LumoDisableJobRetention)) << "job retention reset";
    ASSERT_NE(nullptr, extension_->getDestinationContext());
    EXPECT_EQ(queue_.name(), extension_->getDestinationContext()->getPrinterName());

    settings_ = std::make_unique<PrinterSettings>(queue_.name().c_str(), PRINTER_ALL_ACCESS);
    EXPECT_EQ(1u, dword(L"LumoUpdatePolicy"));
    EXPECT_EQ(30u, dword(LumoPagesPerMinute));
    EXPECT_EQ(0u, dword(LumoDisableJobRetention));

    EXPECT_FALSE(MPrint::applyPrinterFeatures(L"No Such Queue 25128", false, nullptr));
}

} // namespace
