// Print-path verification: validation through the path's own discovery
// service (scripted services, and the TCP/IP service checking devices at
// loopback addresses), the share-connection retry, the
// device's languages against the driver's declaration with the prompt
// answered by script, and the maker's model prefixes.
#include "extension/PrintPathVerification.h"

#include "extension/DeviceConfiguration.h"
#include "extension/PrintTimeDialogs.h"

#include "VagantUIExtension/AddressResolution.h"
#include "VagantUIExtension/ComponentRegistrationTable.h"
#include "core/ComponentRegistry.h"
#include "destination/PrintPathAttr.h"
#include "destination/PrinterSettings.h"
#include "discovery/DiscoveryClassIds.h"
#include "support/DialogDriver.h"
#include "support/FakeDiscoveryService.h"
#include "support/LedmDevice.h"
#include "support/PolicyTestEnv.h"
#include "support/QueueData.h"
#include "support/SharedState.h"
#include "support/TestEnv.h"
#include "support/TrebukStandIn.h"
#include "support/UiTestEnv.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

VRELM_TEST_SHARES(cluster_node, policy_settings, shared_io);

namespace {

using MPrint::PrintPath;
using namespace PrintPathAttr;

const GUID kRunning = {0x25126001, 0x3c51, 0x4a7d, {0x8e, 0x02, 0x6b, 0x31, 0x25, 0x00, 0x00, 0x01}};
const GUID kDisabled = {0x25126002, 0x3c51, 0x4a7d, {0x8e, 0x02, 0x6b, 0x31, 0x25, 0x00, 0x00, 0x02}};
const GUID kUnregistered = {0x25126003, 0x3c51, 0x4a7d, {0x8e, 0x02, 0x6b, 0x31, 0x25, 0x00, 0x00, 0x03}};

TEST(IsQZModel, MakerPrefixesAtTheStartOnly)
{
    struct Row {
        const char* model;
        bool maker;
    } rows[] = {
        {"", true},
        {"QZ Ardelle 4020 Series", true},
        {"qz plinthe", true},
        {"Tarvokin 5", true},
        {"TARVOKIN", true},
        {"Calvenor X", true},
        {"QZCalvenor", true},
        {"Plinthe 990", true},
        {"QZPlinthe", true},
        {"Lumisca", true},
        {"QZLumisca 2", true},
        {"Qz Ardelle", false},      // case-sensitive
        {"QZArdelle", false},       // "QZ " needs its blank
        {"Office QZ 4000", false},  // not at the start
        {"tarvokin", false},
        {"Vennaset", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.model);
        EXPECT_EQ(row.maker, MPrint::isQZModel(row.model));
    }
}

int g_prompts = 0;
std::wstring g_promptAddress;
int g_promptAnswer = 1;

// The share-connection box, answered by script while installed.
class ScriptedShareDialogs : public PrintTimeDialogs {
public:
    ScriptedShareDialogs() { PrintTimeDialogs::set(this); }
    ~ScriptedShareDialogs() override { PrintTimeDialogs::set(nullptr); }
    INT_PTR connectShare(LumoraPrintingExtension*, HWND, const std::wstring& address) override
    {
        ++g_prompts;
        g_promptAddress = address;
        return g_promptAnswer;
    }
};

class ValidationTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(hkcu_.isActive());
        testenv::clearPolicyState();
        fakes::fakeServiceLog().clear();
        // Busy twice (share refused), then valid.
        fakes::configureFakeService(kRunning, {"running", 0, 0, 0, 0, nullptr, 0, {14, 14, 0}});
        fakes::configureFakeService(kDisabled, {"disabled"});
        ComponentRegistry::registerComponent(ComponentDescriptor{
            kRunning, kDiscoveryServiceComponent, fakes::createFakeService, 1, 0, 0, nullptr, 0, 0, 0, 0, 0});
        ComponentRegistry::registerComponent(ComponentDescriptor{
            kDisabled, kDiscoveryServiceComponent, fakes::createFakeService, 0, 0, 0, nullptr, 0, 0, 0, 0, 0});
        ASSERT_NE(nullptr, LumoraPrintingExtension::instance());
        fakes::fakeServiceLog().clear();
        g_prompts = 0;
        g_promptAddress.clear();
    }
    void TearDown() override
    {
        delete LumoraPrintingExtension::current();
        ComponentRegistry::unregisterComponent(kRunning);
        ComponentRegistry::unregisterComponent(kDisabled);
        testenv::clearPolicyState();
    }

    static std::unique_ptr<PrintPath> pathOf(const GUID* service)
    {
        auto path = std::make_unique<PrintPath>();
        if (service)
            path->setDiscoveryId(*service);
        path->setStringAttribute(Address, L"\\\\server\\laser", true);
        return path;
    }

    testenv::PrivateCurrentUser hkcu_;
};

TEST_F(ValidationTest, AskedServiceOrWhyNot)
{
    struct Row {
        const char* name;
        const GUID* service;
        std::optional<DWORD> validateDevice;
        std::wstring external;
        DWORD status;
        bool asked;
    } rows[] = {
        {"validation switched off", &kRunning, 0, L"", 0, false},
        {"configured externally", &kRunning, std::nullopt, L"http://10.1.1.1/cfg.xml", 0, false},
        {"no discovery id", nullptr, std::nullopt, L"", 10, false},
        {"a service nobody registered", &kUnregistered, std::nullopt, L"", 10, false},
        {"a service that is not running", &kDisabled, 1, L"", 10, false},
        {"the service's own code", &kRunning, std::nullopt, L"", 14, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        fakes::fakeServiceLog().clear();
        std::unique_ptr<PrintPath> path = pathOf(row.service);
        if (row.validateDevice)
            path->setNumericAttribute(ValidateDevice, *row.validateDevice, true);
        if (!row.external.empty())
            path->setStringAttribute(ExternalBidiConfigData, row.external, true);
        EXPECT_EQ(row.status, MPrint::validateDevice(nullptr, path.get()));
        EXPECT_EQ(row.asked ? std::vector<std::string>{"running.ValidateDevice"} : std::vector<std::string>{},
                  fakes::fakeServiceLog());
    }
    EXPECT_EQ(10u, MPrint::validateDevice(nullptr, nullptr));
}

TEST_F(ValidationTest, RefusedShareAsksToConnectAndValidatesAgain)
{
    std::unique_ptr<PrintPath> path = pathOf(&kRunning);
    DWORD status = 0xBDBDBDBD;

    // Nobody to ask: the refusal stands.
    EXPECT_FALSE(MPrint::validateDeviceWithPrompt(nullptr, path.get(), status));
    EXPECT_EQ(14u, status);

    ScriptedShareDialogs dialogs;
    g_promptAnswer = 2;
    EXPECT_FALSE(MPrint::validateDeviceWithPrompt(nullptr, path.get(), status));
    EXPECT_EQ(14u, status);
    EXPECT_EQ(1, g_prompts);
    EXPECT_EQ(L"\\\\server\\laser", g_promptAddress);

    // The service's third answer is 0: confirmed once more, it passes.
    g_promptAnswer = 1;
    g_prompts = 0;
    EXPECT_TRUE(MPrint::validateDeviceWithPrompt(nullptr, path.get(), status));
    EXPECT_EQ(0u, status);
    EXPECT_EQ(0, g_prompts) << "the service answers 0 at once now";

    status = 0xBDBDBDBD;
    EXPECT_FALSE(MPrint::validateDeviceWithPrompt(nullptr, nullptr, status));
    EXPECT_EQ(0xBDBDBDBDu, status);
}

DWORD queueDword(const std::wstring& queue, const wchar_t* name)
{
    PrinterSettings settings(queue.c_str(), PRINTER_ACCESS_USE);
    DWORD value = 0xFFFFFFFF;
    settings.getDword(name, value);
    return value;
}

// "PrinterInfo" in the module's own strings: the address line only where no
// policy hides it; a text that names the model already is kept (true).
TEST(PrinterInfoText, ModelAndAddressLinesAsThePolicyAllows)
{
    testenv::PrivateCurrentUser hkcu;
    ASSERT_TRUE(hkcu.isActive());
    testenv::Winsock sockets;
    testenv::TempDir dir;
    testenv::clearPolicyState();
    ASSERT_FALSE(testenv::policyLocalAddress().empty()) << "the computer name must resolve";
    testenv::UiTestEnv env;
    struct Row {
        const char* name;
        bool policy;
        std::optional<DWORD> showAddress;
        const wchar_t* before;
        std::string model; // ANSI code page
        bool result;
        const wchar_t* expected;
    } rows[] = {
        {"no policy: model and address", false, std::nullopt, L"", "QZ Laser 5", false,
         L"Model: QZ Laser 5\nAddress: 10.0.0.5"},
        {"no model: the address alone", false, std::nullopt, L"", "", false, L"Address: 10.0.0.5"},
        {"a policy hides addresses unless it asks for them", true, std::nullopt, L"", "QZ Laser 5", false,
         L"Model: QZ Laser 5"},
        {"a policy that asks for them", true, 1, L"", "QZ Laser 5", false, L"Model: QZ Laser 5\nAddress: 10.0.0.5"},
        {"model already named: kept", false, std::nullopt, L"Old text with QZ Laser 5", "QZ Laser 5", true,
         L"Old text with QZ Laser 5"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        testenv::clearPolicyState();
        if (row.policy) {
            RegistryKey cache = testenv::makeServerPolicyInForce(dir.file(L"policy.xml"));
            ASSERT_TRUE(cache.isOpen());
            if (row.showAddress)
                cache.setDword(L"ShowDeviceAddress", *row.showAddress);
        }
        PrintPath path;
        if (*row.before)
            path.setStringAttribute(PrinterInfo, row.before, true);
        EXPECT_EQ(row.result, MPrint::setPrinterInfoTextFromModel(&path, row.model, L"10.0.0.5"));
        EXPECT_EQ(row.expected, path.getStringAttribute(PrinterInfo));
    }
    testenv::clearPolicyState();
    EXPECT_FALSE(MPrint::setPrinterInfoText(nullptr, L"QZ Laser 5", L"10.0.0.5"));
}

// A path for each kind of device at a loopback address, as the user would
// type it: resolved, validated, configured by its own configurator, then its
// languages checked against a driver that makes PCL 5 and PCL 6.
TEST(DeviceVerification, EachKindOfDeviceAtALoopbackAddress)
{
    ASSERT_EQ(linkComponentRegistrations, 1) << "the module's services and configurators";
    ASSERT_TRUE(testtrebuk::registerServer());
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    {
        testenv::UiTestEnv env;
        testspool::DriverQueue queue(L"Device Verification");
        ASSERT_TRUE(queue.ready());
        ASSERT_TRUE(queue.setVerifyPdl(std::wstring(L"PCL5 PCL6")));
        ASSERT_TRUE(env.extension()->createDestinationContext(queue.name()));
        env.extension()->getSettings()->setDeviceVerifyLevel(0);
        testtrebuk::DeviceScript laserScript;
        laserScript.model = L"office-laser";
        testtrebuk::ScopedDevice laser(laserScript);
        testenv::LedmDevice ledm;
        ASSERT_TRUE(ledm.started());

        struct Row {
            const char* name;
            std::wstring address;
            DWORD validation; // the TCP/IP service's answer
            std::string model;
            bool configured;
            DWORD deviceVerify; // the queue's "LumoDeviceVerify"
            DWORD pdl;
        } rows[] = {
            {"a laser served by the port server", laser.address(), 0, "QZ Ardelle 4020", true, 1, 1},
            {"an LEDM device of another maker", ledm.host(), 2, "Vrelm Office MFP 4200", true, 0, 1},
            {"nothing listens", testenv::LedmDevice::unusedHost(), 2, "", false, 1, 2},
        };
        for (const Row& row : rows) {
            SCOPED_TRACE(row.name);
            std::unique_ptr<PrintPath> path(findPrintPathForAddress(nullptr, row.address, row.address, row.address));
            ASSERT_NE(nullptr, path);
            DWORD status = 0xBDBDBDBD;
            // The raw print port is checked: an LEDM device serves HTTP only.
            EXPECT_EQ(row.validation == 0, MPrint::validateDeviceWithPrompt(nullptr, path.get(), status));
            EXPECT_EQ(row.validation, status);

            EXPECT_EQ(row.deviceVerify == 1, MPrint::checkDeviceConfiguration(path.get()));
            EXPECT_EQ(row.configured, path->isDeviceConfigured());
            EXPECT_EQ(0u, path->getDevice().getModelName().find(row.model)) << path->getDevice().getModelName();
            EXPECT_EQ(row.deviceVerify, queueDword(queue.name(), L"LumoDeviceVerify"));

            // A device that told nothing gets the error box; OK refuses it.
            testenv::DialogDriver driver(4000);
            driver.onDialog([](HWND box) { testenv::DialogDriver::click(box, IDOK); });
            EXPECT_EQ(row.pdl, MPrint::verifyDevicePDL(nullptr, path.get(), queue.name()));
            EXPECT_EQ(row.pdl == 2 ? 1u : 0u, driver.dialogsSeen().size());
        }
    }
    CoUninitialize();
}

// One interpreter of a device.
struct Interpreter {
    DWORD family;
    const char* version;
};

class PdlTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(queue_.ready()); }

    void setAutoCreated(DWORD value)
    {
        PrinterSettings settings(queue_.name().c_str(), PRINTER_ALL_ACCESS);
        ASSERT_TRUE(settings.setDword(L"LumoAutoCreated", value));
    }

    testenv::UiTestEnv env_;
    testspool::DriverQueue queue_{L"Verify PDL"};
};

TEST_F(PdlTest, DeclaredLanguagesAgainstTheDevice)
{
    struct Row {
        const char* name;
        std::optional<std::wstring> verifyPdl;
        std::vector<Interpreter> interpreters;
        std::string model;
        std::optional<DWORD> guess; // "DV:PDL"
        DWORD level;
        DWORD result;
        DWORD psLevel = 0xFFFFFFFF;
        bool colourSet = false;
    } rows[] = {
        {"nothing declared", std::nullopt, {{3, "5.0"}}, "Brand X 100", std::nullopt, 0, 0},
        {"PCL5 interpreter", L"PCL5 PCL6", {{3, "5.0"}}, "Brand X 100", std::nullopt, 0, 1, 0xFFFFFFFF, true},
        {"PCL XL interpreter", L"PCL6", {{47, "2.1"}}, "Brand X 100", std::nullopt, 0, 1, 0xFFFFFFFF, true},
        {"PCL3 interpreter", L"PCL3", {{7, "1.0"}}, "Brand X 100", std::nullopt, 0, 1, 0xFFFFFFFF, true},
        {"PCL of another major version as PCL3", L"PCL3", {{3, "3.0"}}, "Brand X 100", std::nullopt, 0, 1, 0xFFFFFFFF, true},
        {"PostScript level 3", L"PostScript", {{6, "Version 3010"}}, "Brand X 100", std::nullopt, 0, 1, 3, true},
        {"level noted without a match; low verify level passes", L"PCL5", {{6, "version 2"}, {3, "5.0"}}, "",
         std::nullopt, 2, 1, 2, true},
        {"PCL 5 is not PCL3; low level passes", L"PCL3", {{3, "5.0"}}, "Brand X 100", std::nullopt, 2, 1},
        {"guess from an inkjet model", L"PCL3", {}, "QZ Plinthe 990 inkjet", 0, 0, 1},
        {"guess of a PostScript model", L"PostScript", {}, "QZ Ardelle 4020 PostScript", 0, 0, 1},
        {"guess of a plain Ardelle needs PCL5", L"PCL5", {}, "QZ Ardelle 4020", 0, 0, 1},
        {"no guess unless allowed", L"PCL5", {}, "QZ Ardelle 4020", 1, 2, 1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ASSERT_TRUE(queue_.setVerifyPdl(row.verifyPdl));
        env_.extension()->getSettings()->setDeviceVerifyLevel(row.level);
        PrintPath path;
        path.getDevice().setModelName(row.model);
        for (const Interpreter& pdl : row.interpreters)
            path.getDevice().addPdl(PdlInfo(pdl.family, "", pdl.version));
        if (row.guess)
            path.setNumericAttribute(DV_PDL, *row.guess, true);
        testenv::DialogDriver driver(2000);
        EXPECT_EQ(row.result, MPrint::verifyDevicePDL(nullptr, &path, queue_.name()));
        EXPECT_TRUE(driver.dialogsSeen().empty());
        EXPECT_EQ(row.psLevel, path.getNumericAttribute(LumoPSLanguageLevel));
        EXPECT_EQ(row.colourSet, path.getNumericAttribute(LumoIsColorDevice) != 0xFFFFFFFF);
    }
    EXPECT_EQ(0u, MPrint::verifyDevicePDL(nullptr, nullptr, queue_.name()));
    PrintPath path;
    EXPECT_EQ(0u, MPrint::verifyDevicePDL(nullptr, &path, L"No Such Queue 25126"));
}

TEST_F(PdlTest, MismatchIsPutToTheUserOrRefused)
{
    const std::wstring kDeclared = L"PCL5";
    const std::wstring consent = std::wstring(IgnorePDLCheck) + kDeclared;
    struct Row {
        const char* name;
        DWORD level;
        bool modelRead;       // "DV:ModelName" 1
        bool configured;
        DWORD autoCreated;
        std::optional<int> box; // the button the user presses; none: no box appears
        bool question;
        DWORD result;
        bool remembered;
    } rows[] = {
        {"device not configured: an error", 0, false, false, 0, IDOK, false, 2, false},
        {"high level: an error", 0, false, true, 0, IDOK, false, 2, false},
        {"asking level, user says yes", 1, false, true, 0, IDYES, true, 1, true},
        {"asking level, user says no", 1, false, true, 0, IDNO, true, 2, false},
        {"model read, languages known: an error", 1, true, true, 0, IDOK, false, 2, false},
        {"auto-created queue, high level: refused without a box", 0, false, true, 1, std::nullopt, false, 2, false},
        {"auto-created queue, asking level: accepted and remembered", 1, false, true, 1, std::nullopt, false, 1,
         true},
    };
    ASSERT_TRUE(queue_.setVerifyPdl(kDeclared));
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        setAutoCreated(row.autoCreated);
        env_.extension()->getSettings()->setDeviceVerifyLevel(row.level);
        PrintPath path;
        path.getDevice().setModelName("Brand X 100");
        path.getDevice().addPdl(PdlInfo(6, "", "Version 3010")); // PostScript only
        path.setDeviceConfigured(row.configured);
        path.setStringAttribute(DisplayString, L"Laser on 2nd floor", true);
        if (row.modelRead)
            path.setNumericAttribute(DV_ModelName, 1, true);

        testenv::DialogDriver driver(4000);
        bool question = false, namesDestination = false;
        if (row.box) {
            driver.onDialog([&](HWND box) {
                question = GetDlgItem(box, IDYES) != nullptr;
                namesDestination =
                    testenv::DialogDriver::messageBoxText(box).find(L"Laser on 2nd floor") != std::wstring::npos;
                testenv::DialogDriver::click(box, *row.box);
            });
        }
        EXPECT_EQ(row.result, MPrint::verifyDevicePDL(nullptr, &path, queue_.name()));
        EXPECT_EQ(row.box ? 1u : 0u, driver.dialogsSeen().size());
        EXPECT_EQ(0, driver.watchdogHits());
        EXPECT_EQ(row.question, question);
        EXPECT_EQ(row.box.has_value(), namesDestination);
        EXPECT_EQ(row.remembered ? kDeclared : L"", path.getStringAttribute(consent));
        if (row.remembered) {
            testenv::DialogDriver quiet(2000);
            EXPECT_EQ(1u, MPrint::verifyDevicePDL(nullptr, &path, queue_.name())) << "the consent holds";
            EXPECT_TRUE(quiet.dialogsSeen().empty());
        }
    }
}

} // namespace
