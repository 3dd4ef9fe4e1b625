// The local-port configurator and feature accessor: which ports they take,
// a parallel port's device through the Trebuk port server's stand-in, the
// fallbacks by registered model name and by the Plug and Play description
// of the device on the port (also behind a real USB print interface), and
// a USB device's input trays.
#include "VagantUIExtension/LocalPortConfigurator.h"
#include "VagantUIExtension/LocalPortFeatureAccessor.h"
#include "support/ConfiguredDevice.h"
#include "support/MachineRegistry.h"
#include "support/MemoryDeviceSettings.h"
#include "support/QueueData.h"
#include "support/ScriptedBidiConnection.h"
#include "support/SharedState.h"
#include "support/TrebukFixture.h"
#include "support/UsbPrintInterface.h"

#include <gtest/gtest.h>

VRELM_TEST_SHARES(cluster_node);

using MPrint::LocalPortConfigurator;
using MPrint::LocalPortFeatureAccessor;
using MPrint::PrintPath;
using testenv::MemoryDeviceSettings;
using testenv::ScriptedBidiConnection;

namespace {

const std::wstring kPid = std::to_wstring(GetCurrentProcessId());
const std::wstring kEnum = L"SYSTEM\\CurrentControlSet\\Enum\\";

using LocalPortFixture = testtrebuk::ServerFixture;

PrintPath portPath(const std::wstring& port)
{
    PrintPath path;
    path.setStringAttribute(L"LocalPort", port, true);
    return path;
}

// A device that connects and answers nothing.
testtrebuk::DeviceScript silentAt(const testtrebuk::ScopedModel& model, const std::wstring& port)
{
    testtrebuk::DeviceScript script;
    script.model = model.path();
    script.address = port;
    return script;
}

} // namespace

TEST_F(LocalPortFixture, OtherPortsAreNotTried)
{
    for (const wchar_t* port : {L"", L"COM1:", L"FILE:", L"usb001", L"lpt1:", L"\\\\server\\queue"}) {
        SCOPED_TRACE(testenv::narrow(port));
        PrintPath path = portPath(port);
        LocalPortConfigurator configurator;
        EXPECT_EQ(4u, configurator.ConfigurePrintPath(&path));
        LocalPortFeatureAccessor accessor;
        MemoryDeviceSettings sink;
        EXPECT_EQ(2u, accessor.Apply(&path, &sink));
        EXPECT_TRUE(sink.writes.empty());
    }
    PrintPath none;
    EXPECT_EQ(4u, LocalPortConfigurator().ConfigurePrintPath(&none));
    EXPECT_TRUE(log_.calls("connect").empty());
}

TEST_F(LocalPortFixture, ParallelPortDeviceAnswersThroughThePortServer)
{
    testtrebuk::DeviceScript script;
    script.model = L"office-laser";
    script.address = L"LPT" + kPid + L":";
    testtrebuk::ScopedDevice laser(script);
    PrintPath path = portPath(laser.address());
    path.setNumericAttribute(L"Port", 2, true);
    LocalPortConfigurator configurator;
    ASSERT_EQ(0u, configurator.ConfigurePrintPath(&path));
    EXPECT_EQ("QZ Ardelle 4020", path.getDevice().getModelName());
    EXPECT_EQ("47:PCLXL/version 2.0,3:PCL/version 5.00E", testenv::pdlList(path.getDevice()));
    auto connects = log_.calls("connect");
    ASSERT_EQ(1u, connects.size());
    EXPECT_EQ("16", connects[0][1]);
    EXPECT_EQ(testenv::narrow(laser.address()), connects[0][2]);
    EXPECT_EQ("2", connects[0][3]);

    // A parallel port has features but no tray names.
    MemoryDeviceSettings sink;
    LocalPortFeatureAccessor accessor;
    EXPECT_EQ(0u, accessor.Apply(&path, &sink));
    EXPECT_EQ(L"dword LumoDisableDuplex=0; dword LumoDisableJobRetention=0", sink.joinedWrites());
    EXPECT_EQ(2u, log_.calls("disconnect").size());
    accessor.SetEnabled(false);
    EXPECT_EQ(7u, accessor.Apply(&path, &sink));
}

TEST_F(LocalPortFixture, SilentDeviceFallsBackToTheModelName)
{
    const testtrebuk::ScopedModel silent("");
    const std::wstring usb = L"USB" + kPid;
    const std::wstring bluetooth = L"BTH" + kPid;
    const std::wstring dot4 = L"DOT4_" + kPid;
    testtrebuk::ScopedDevice bluetoothDevice(silentAt(silent, bluetooth));
    testtrebuk::ScopedDevice dot4Device(silentAt(silent, dot4));
    testenv::MachineRegistry registry;
    // Only the first instance of a device key is looked at, and it must
    // name the port.
    ASSERT_TRUE(registry.setString(kEnum + L"USBPRINT\\QZ_A_Second_" + kPid + L"\\AAA&0", L"DeviceDesc", L"never read"));
    ASSERT_TRUE(registry.setString(kEnum + L"USBPRINT\\QZ_A_Second_" + kPid + L"\\" + usb + L"&1", L"DeviceDesc",
                                   L"QZ Postscript 5"));
    ASSERT_TRUE(registry.setString(kEnum + L"USBPRINT\\QZ_B_Other_" + kPid + L"\\USB9" + kPid + L"&0", L"DeviceDesc",
                                   L"QZ Other 1000"));
    ASSERT_TRUE(registry.setString(kEnum + L"USBPRINT\\QZ_C_Ink_" + kPid + L"\\" + usb + L"&0", L"DeviceDesc",
                                   L"QZ Plinthe Inkjet 300"));
    ASSERT_TRUE(registry.setString(kEnum + L"DOT4PRT\\QZ_Dot4_" + kPid + L"\\" + dot4 + L"&0", L"DeviceDesc",
                                   L"QZ Laser pcl 6 Dot4"));

    struct Row {
        const char* name;
        std::wstring port;
        const wchar_t* registered;  // "RegMdlName", or none
        uint32_t result;
        const char* model;
        const char* pdls;
    } rows[] = {
        {"USB port: the device on it", usb + L":", nullptr, 0,
         "QZ Plinthe Inkjet 300", "7:PCL3/version 1.0"},
        {"DOT4 port", dot4, nullptr, 0, "QZ Laser pcl 6 Dot4", "47:PCL6/version 2.0"},
        {"registered model name first", usb, L"QZ Color Ardelle 9", 0, "QZ Color Ardelle 9", "3:PCL5/version 5.0"},
        {"Bluetooth port: no Plug and Play lookup", bluetooth, nullptr, 2, "", ""},
        {"Bluetooth port with a registered model", bluetooth, L"QZ Plinthe 10", 0, "QZ Plinthe 10",
         "7:PCL3/version 1.0"},
        {"USB port with no device on it", L"USB" + kPid + L"77", nullptr, 2, "", ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        PrintPath path = portPath(row.port);
        if (row.registered)
            path.setStringAttribute(L"RegMdlName", row.registered, true);
        LocalPortConfigurator configurator;
        EXPECT_EQ(row.result, configurator.ConfigurePrintPath(&path));
        EXPECT_EQ(row.model, path.getDevice().getModelName());
        EXPECT_EQ(row.pdls, testenv::pdlList(path.getDevice()));
        EXPECT_EQ(row.result == 0, path.isDeviceConfigured());
    }
    const auto connects = log_.calls("connect");
    ASSERT_FALSE(connects.empty()) << "the Bluetooth and DOT4 devices were asked first";
    EXPECT_EQ("16", connects[0][1]);
}

TEST_F(LocalPortFixture, UsbPrintInterfaceWithoutAnswerFallsBackToItsDescription)
{
    testspool::DriverQueue current(L"LocalPort");
    ASSERT_TRUE(current.ready());
    ASSERT_TRUE(current.setVerifyPdl(L"PCL3"));
    setCurrentQueue(current.name());
    const std::wstring base = L"USBQ" + kPid + L"_";
    testenv::ScopedUsbPrintInterface usb(base, 1);
    ASSERT_TRUE(usb.created());
    const std::wstring port = base + L"001";
    testenv::MachineRegistry registry;
    ASSERT_TRUE(registry.setString(kEnum + L"USBPRINT\\QZ_Usb_" + kPid + L"\\" + port + L"&0", L"DeviceDesc",
                                   L"QZ Calvenor 200"));
    PrintPath path = portPath(port);
    LocalPortConfigurator configurator;
    EXPECT_EQ(0u, configurator.ConfigurePrintPath(&path));
    EXPECT_EQ("QZ Calvenor 200", path.getDevice().getModelName());
    EXPECT_EQ("7:PCL3/version 1.0", testenv::pdlList(path.getDevice()));

    // Its features: no answer, the PCL3 tray defaults.
    LocalPortFeatureAccessor accessor;
    MemoryDeviceSettings sink;
    EXPECT_EQ(9u, accessor.Apply(&path, &sink));
    EXPECT_EQ(L"dword LumoTrayType1=3; string LumoTrayName1=Tray 1; dword LumoTrayType2=3; string LumoTrayName2=Tray 2",
              sink.joinedWrites());
    EXPECT_TRUE(log_.calls("connect").empty());
}

TEST(LocalPortFeatureAccessor, UsbTrayNamesByRow)
{
    struct Row {
        const char* name;
        const wchar_t* port;
        void (*script)(ScriptedBidiConnection&);
        bool written;
        const wchar_t* writes;
    } rows[] = {
        {"binary names are written, numbered by row; a text name is skipped but counted", L"USB001",
         [](ScriptedBidiConnection& d) {
             d.binary("1.3.6.1.2.1.43.8.2.1.13.1.1", "Tray 1").integer("1.3.6.1.2.1.43.8.2.1.2.1.1", 3);
             d.text("1.3.6.1.2.1.43.8.2.1.13.1.2", "Manual").integer("1.3.6.1.2.1.43.8.2.1.2.1.2", 4);
             d.binary("1.3.6.1.2.1.43.8.2.1.13.1.3", "Envelope").integer("1.3.6.1.2.1.43.8.2.1.2.1.3", -1);
         },
         true,
         L"dword LumoTrayType1=3; string LumoTrayName1=Tray 1; dword LumoTrayType3=4; string LumoTrayName3=Envelope"},
        {"a parallel port has none", L"LPT1:",
         [](ScriptedBidiConnection& d) {
             d.binary("1.3.6.1.2.1.43.8.2.1.13.1.1", "Tray 1").integer("1.3.6.1.2.1.43.8.2.1.2.1.1", 3);
         },
         false, L""},
        {"no input table", L"USB001", [](ScriptedBidiConnection& d) { d.integer("1.3.6.1.2.1.43.9.1", 1); }, false,
         L""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ScriptedBidiConnection device;
        row.script(device);
        PrintPath path;
        path.setStringAttribute(L"LocalPort", row.port, true);
        MemoryDeviceSettings sink;
        EXPECT_EQ(row.written, LocalPortFeatureAccessor().QueryTrayNames(&path, &device, &sink));
        EXPECT_EQ(row.writes, sink.joinedWrites());
    }
}

// A device whose walk never ends (it answers the same OID again, or an
// endless table) must not keep the accessor writing trays for ever.
TEST(LocalPortFeatureAccessor, TrayWalkEnds)
{
    PrintPath path;
    path.setStringAttribute(L"LocalPort", L"USB001", true);
    ScriptedBidiConnection endless;
    for (int row = 1; row <= 100; ++row)
        endless.binary("1.3.6.1.2.1.43.8.2.1.13.1." + std::to_string(row), "T")
            .integer("1.3.6.1.2.1.43.8.2.1.2.1." + std::to_string(row), 3);
    MemoryDeviceSettings sink;
    EXPECT_TRUE(LocalPortFeatureAccessor().QueryTrayNames(&path, &endless, &sink));
    EXPECT_EQ(static_cast<size_t>(2 * LocalPortFeatureAccessor::kMaxTrayRows), sink.writes.size());

    // The first row, then the same row again: one tray.
    endless.getNextStuck = true;
    MemoryDeviceSettings stuck;
    EXPECT_TRUE(LocalPortFeatureAccessor().QueryTrayNames(&path, &endless, &stuck));
    EXPECT_EQ(L"dword LumoTrayType1=3; string LumoTrayName1=T", stuck.joinedWrites());
}
