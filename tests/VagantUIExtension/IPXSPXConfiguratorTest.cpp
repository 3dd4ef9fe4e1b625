// The IPX/SPX configurator and feature accessor against the Trebuk port
// server's stand-in: the address, kind and port they connect with (the
// server's call log) and what they make of the device.
#include "VagantUIExtension/IPXSPXConfigurator.h"
#include "VagantUIExtension/IPXSPXFeatureAccessor.h"
#include "support/ConfiguredDevice.h"
#include "support/MemoryDeviceSettings.h"
#include "support/TrebukFixture.h"

#include <gtest/gtest.h>

using MPrint::PrintPath;

using IpxFixture = testtrebuk::ServerFixture;

TEST_F(IpxFixture, ConnectsToTheAddressOrItsDeviceConfigurationAddress)
{
    testtrebuk::DeviceScript script;
    script.model = L"office-laser";
    script.address = L"0001" + std::to_wstring(GetCurrentProcessId() % 10000) + L".0000C0FFEE02";
    testtrebuk::ScopedDevice ipx(script);
    script.address.clear();
    testtrebuk::ScopedDevice tcp(script);

    struct Row {
        const char* name;
        DWORD port;  // "Port", none when 0
        std::wstring configAddress;
        const char* kind;
        std::wstring address;
        const char* connectPort;
    } rows[] = {
        {"no port: the connection's default", 0, L"", "8", ipx.address(), "4294967295"},
        {"the path's port", 5, L"", "8", ipx.address(), "5"},
        {"a device configuration address replaces all three", 5, tcp.address() + L":9102", "2", tcp.address(),
         "9102"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        PrintPath path;
        path.setStringAttribute(L"IPXSPXAddress", ipx.address(), true);
        if (row.port)
            path.setNumericAttribute(L"Port", row.port, true);
        if (!row.configAddress.empty())
            path.setStringAttribute(L"DeviceConfigAddress", row.configAddress, true);
        MPrint::IPXSPXConfigurator configurator;
        ASSERT_EQ(0u, configurator.ConfigurePrintPath(&path));
        EXPECT_EQ("QZ Ardelle 4020", path.getDevice().getModelName());
        EXPECT_EQ("47:PCLXL/version 2.0,3:PCL/version 5.00E", testenv::pdlList(path.getDevice()));
        const auto connects = log_.calls("connect");
        ASSERT_FALSE(connects.empty());
        EXPECT_EQ(row.kind, connects.back()[1]);
        EXPECT_EQ(testenv::narrow(row.address), connects.back()[2]);
        EXPECT_EQ(row.connectPort, connects.back()[3]);
    }
    EXPECT_EQ(log_.calls("connect").size(), log_.calls("disconnect").size());

    PrintPath none;
    EXPECT_EQ(4u, MPrint::IPXSPXConfigurator().ConfigurePrintPath(&none));
    PrintPath unknown;
    unknown.setStringAttribute(L"IPXSPXAddress", L"0000FFFF.000000000001", true);
    EXPECT_EQ(2u, MPrint::IPXSPXConfigurator().ConfigurePrintPath(&unknown)) << "nobody answers there";
    EXPECT_FALSE(unknown.isDeviceConfigured());
}

TEST_F(IpxFixture, FeatureAccessor)
{
    testtrebuk::DeviceScript script;
    script.model = L"office-laser";
    script.address = L"0002" + std::to_wstring(GetCurrentProcessId() % 10000) + L".0000C0FFEE03";
    testtrebuk::ScopedDevice ipx(script);
    PrintPath path;
    path.setStringAttribute(L"IPXSPXAddress", ipx.address(), true);
    MPrint::IPXSPXFeatureAccessor accessor;
    testenv::MemoryDeviceSettings sink;
    EXPECT_EQ(0u, accessor.Apply(&path, &sink));
    EXPECT_EQ(L"dword LumoDisableDuplex=0; dword LumoDisableJobRetention=0", sink.joinedWrites());
    ASSERT_EQ(1u, log_.calls("connect").size());
    EXPECT_EQ("8", log_.calls("connect")[0][1]);
    EXPECT_EQ(1u, log_.calls("disconnect").size());

    PrintPath none;
    testenv::MemoryDeviceSettings nothing;
    EXPECT_EQ(9u, accessor.Apply(&none, &nothing));
    EXPECT_EQ(9u, accessor.Apply(nullptr, &nothing));
    EXPECT_TRUE(nothing.writes.empty());
    accessor.SetEnabled(false);
    EXPECT_EQ(7u, accessor.Apply(&path, &nothing));
    EXPECT_EQ(1u, log_.calls("connect").size());
}
