// The TCP/IP configurator and feature accessor end to end: the address each
// kind of path reaches (the Trebuk port server's call log), the device it
// configures, the emulated LEDM device over HTTP, and a WSD path reached
// through its queue's port.
#include "VagantUIExtension/SNMPConfigurator.h"
#include "VagantUIExtension/TCPIPFeatureAccessor.h"
#include "support/ConfiguredDevice.h"
#include "support/LedmDevice.h"
#include "support/MemoryDeviceSettings.h"
#include "support/PortStandIns.h"
#include "support/PrivateCurrentUser.h"
#include "support/SharedState.h"
#include "support/TestSpooler.h"
#include "support/TrebukFixture.h"

#include <gtest/gtest.h>

VRELM_TEST_SHARES(shared_io);

using MPrint::PrintPath;
using MPrint::SNMPConfigurator;
using testenv::MemoryDeviceSettings;

namespace {

using SnmpFixture = testtrebuk::ServerFixture;

testtrebuk::DeviceScript laserAt(const std::wstring& address)
{
    testtrebuk::DeviceScript script;
    script.model = L"office-laser";
    script.address = address;
    return script;
}

} // namespace

TEST_F(SnmpFixture, EachAddressOfThePathReachesTheDevice)
{
    const std::wstring ipx = L"0000" + std::to_wstring(GetCurrentProcessId() % 10000) + L".00C0FFEE0001";
    testtrebuk::ScopedDevice laser(laserAt(L""));
    testtrebuk::ScopedDevice local(laserAt(L"127.0.0.1"));
    testtrebuk::ScopedDevice ipxLaser(laserAt(ipx));
    struct Row {
        const char* name;
        std::vector<std::pair<const wchar_t*, std::wstring>> texts;
        DWORD port;  // "Port", none when 0
        const char* kind;
        std::wstring address;
        const char* connectPort;
    } rows[] = {
        {"numeric address and its port", {{L"IPAddress", laser.address()}}, 9100, "2", laser.address(), "9100"},
        {"no port: 0", {{L"IPAddress", laser.address()}}, 0, "2", laser.address(), "0"},
        {"numeric address before the host name", {{L"IPAddress", laser.address()}, {L"HostnameAddress", L"nowhere.invalid"}},
         0, "2", laser.address(), "0"},
        {"host name resolved", {{L"HostnameAddress", L"localhost"}}, 0, "2", L"127.0.0.1", "0"},
        {"IPX/SPX address", {{L"IPXSPXAddress", ipx}}, 0, "8", ipx, "16396"},
        {"device configuration address", {{L"DeviceConfigAddress", laser.address() + L":9101"}}, 0, "2",
         laser.address(), "9101"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const size_t before = log_.calls("connect").size();
        PrintPath path;
        for (const auto& [name, text] : row.texts)
            path.setStringAttribute(name, text, true);
        if (row.port)
            path.setNumericAttribute(L"Port", row.port, true);
        SNMPConfigurator configurator;
        ASSERT_EQ(0u, configurator.ConfigurePrintPath(&path));
        const auto connects = log_.calls("connect");
        ASSERT_EQ(before + 1, connects.size());
        ASSERT_GE(connects.back().size(), 4u);
        EXPECT_EQ(row.kind, connects.back()[1]);
        EXPECT_EQ(testenv::narrow(row.address), connects.back()[2]);
        EXPECT_EQ(row.connectPort, connects.back()[3]);

        EXPECT_EQ("QZ Ardelle 4020", path.getDevice().getModelName());
        EXPECT_EQ("47:PCLXL/version 2.0,3:PCL/version 5.00E", testenv::pdlList(path.getDevice()));
        EXPECT_TRUE(path.isDeviceConfigured());
        EXPECT_EQ(0u, path.getNumericAttribute(L"LumoIsColorDevice"));
        EXPECT_EQ(45u, path.getNumericAttribute(L"LumoPagesPerMinute"));
        EXPECT_EQ(7u, path.getNumericAttribute(L"ChangeId"));
    }
    EXPECT_EQ(log_.calls("connect").size(), log_.calls("disconnect").size()) << "every connection closed";

    // Nothing to connect to, or a host name that does not resolve.
    for (const wchar_t* host : {L"", L"nowhere.invalid"}) {
        PrintPath path;
        if (*host)
            path.setStringAttribute(L"HostnameAddress", host, true);
        SNMPConfigurator configurator;
        EXPECT_EQ(1u, configurator.ConfigurePrintPath(&path)) << testenv::narrow(host);
        EXPECT_FALSE(path.isDeviceConfigured());
    }
}

TEST_F(SnmpFixture, LedmDeviceIsConfiguredOverHttp)
{
    testenv::LedmDevice ledm;
    ASSERT_TRUE(ledm.started());
    PrintPath path;
    path.setStringAttribute(L"IPAddress", ledm.host(), true);
    SNMPConfigurator configurator;
    ASSERT_EQ(0u, configurator.ConfigurePrintPath(&path));
    EXPECT_EQ(0u, path.getDevice().getModelName().find("Vrelm Office MFP 4200")) << path.getDevice().getModelName();
    EXPECT_EQ("3:application/vnd.qz-PCL/5.1,6:application/postscript/3.0,47:application/vnd.qz-PCLXL/2.1",
              testenv::pdlList(path.getDevice()));
    EXPECT_TRUE(path.isDeviceConfigured());
    EXPECT_TRUE(log_.calls("connect").empty()) << "not through the port server";
}

TEST_F(SnmpFixture, WsdPathGoesThroughTheJobsQueuePort)
{
    testenv::PrivateCurrentUser hkcu;
    ASSERT_TRUE(hkcu.isActive());
    ASSERT_TRUE(testports::registerSharedIO());
    testtrebuk::ScopedDevice laser(laserAt(L""));
    const std::wstring port = L"WSD_" + std::to_wstring(GetCurrentProcessId());
    testspool::ScopedQueue queue(testspool::uniqueQueueName(L"WSD"), L"Vrelm Test Driver", port);
    ASSERT_EQ(DWORD{ERROR_SUCCESS}, queue.error());
    testports::ScopedSharedIOPort answer(port, {0x2, 0, laser.address(), 9100, L"", 0});

    PrintPath path;
    path.setStringAttribute(L"WSDAddress", L"urn:uuid:4a1c0000-0000-0000-0000-000000000001", true);
    SNMPConfigurator configurator;
    EXPECT_EQ(1u, configurator.ConfigurePrintPath(&path)) << "no job, no queue";

    setCurrentQueue(queue.name());
    ASSERT_EQ(0u, configurator.ConfigurePrintPath(&path));
    EXPECT_EQ(laser.address(), path.getStringAttribute(L"IPAddress"));
    EXPECT_TRUE(path.attributes().at(L"IPAddress").persist);
    EXPECT_EQ("QZ Ardelle 4020", path.getDevice().getModelName());
    const auto connects = log_.calls("connect");
    ASSERT_EQ(1u, connects.size());
    EXPECT_EQ(testenv::narrow(laser.address()), connects[0][2]);
}

TEST_F(SnmpFixture, FeatureAccessorReadsTheDeviceItsConfiguratorReaches)
{
    testtrebuk::ScopedDevice laser(laserAt(L""));
    MPrint::TCPIPFeatureAccessor accessor;
    PrintPath path;
    path.setStringAttribute(L"IPAddress", laser.address(), true);
    MemoryDeviceSettings sink;
    EXPECT_EQ(0u, accessor.Apply(&path, &sink));
    EXPECT_EQ(L"dword LumoDisableDuplex=0; dword LumoDisableJobRetention=0", sink.joinedWrites());
    EXPECT_EQ(1u, log_.calls("disconnect").size());

    // No address: nothing asked, only the tray defaults of a PCL3 device.
    PrintPath inkjet;
    inkjet.getDevice().addPdl(PdlInfo(7, "PCL3", "version 1.0"));
    MemoryDeviceSettings trays;
    EXPECT_EQ(9u, accessor.Apply(&inkjet, &trays));
    EXPECT_EQ(L"dword LumoTrayType1=3; string LumoTrayName1=Tray 1; dword LumoTrayType2=3; string LumoTrayName2=Tray 2",
              trays.joinedWrites());

    accessor.SetEnabled(false);
    MemoryDeviceSettings none;
    EXPECT_EQ(7u, accessor.Apply(&path, &none));
    EXPECT_TRUE(none.writes.empty());
    EXPECT_EQ(1u, log_.calls("connect").size());
}
