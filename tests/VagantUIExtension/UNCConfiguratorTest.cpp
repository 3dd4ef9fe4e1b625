// The shared-queue configurator and feature accessor: a share whose device
// answers through the Trebuk port server's stand-in, one whose device cannot
// be reached (the language guessed from the shared queue's driver), and one
// with no driver to go by, which the accessor then leaves alone.
#include "VagantUIExtension/UNCConfigurator.h"
#include "VagantUIExtension/UNCFeatureAccessor.h"
#include "support/ConfiguredDevice.h"
#include "support/MemoryDeviceSettings.h"
#include "support/TestSpooler.h"
#include "support/TrebukFixture.h"

#include <gtest/gtest.h>

using MPrint::PrintPath;
using MPrint::UNCConfigurator;
using MPrint::UNCFeatureAccessor;

namespace {

using UncFixture = testtrebuk::ServerFixture;

PrintPath sharePath(const std::wstring& unc)
{
    PrintPath path;
    path.setStringAttribute(L"UNCPath", unc, true);
    return path;
}

} // namespace

TEST_F(UncFixture, ShareWhoseDeviceAnswers)
{
    testtrebuk::DeviceScript script;
    script.model = L"office-laser";
    testtrebuk::ScopedDevice laser(script);
    PrintPath path = sharePath(L"\\\\PC7\\Laser");
    path.setStringAttribute(L"DeviceConfigAddress", laser.address(), true);
    UNCConfigurator configurator;
    ASSERT_EQ(0u, configurator.ConfigurePrintPath(&path));
    EXPECT_EQ("QZ Ardelle 4020", path.getDevice().getModelName());
    EXPECT_EQ("47:PCLXL/version 2.0,3:PCL/version 5.00E", testenv::pdlList(path.getDevice()));
    EXPECT_EQ(45u, path.getNumericAttribute(L"LumoPagesPerMinute"));

    UNCFeatureAccessor accessor;
    testenv::MemoryDeviceSettings sink;
    EXPECT_EQ(0u, accessor.Apply(&path, &sink));
    EXPECT_EQ(L"dword LumoDisableDuplex=0; dword LumoDisableJobRetention=0", sink.joinedWrites());
    EXPECT_EQ(log_.calls("connect").size(), log_.calls("disconnect").size());
}

TEST_F(UncFixture, UnreachableShareIsGuessedFromItsDriverName)
{
    testspool::ScopedQueue shared(L"\\\\PC7\\" + testspool::uniqueQueueName(L"Inkjet"), L"QZ Plinthe Inkjet 9000");
    ASSERT_EQ(DWORD{ERROR_SUCCESS}, shared.error());
    PrintPath path = sharePath(shared.name());
    UNCConfigurator configurator;
    EXPECT_EQ(0u, configurator.ConfigurePrintPath(&path));
    EXPECT_EQ("QZ Plinthe Inkjet 9000", path.getDevice().getModelName());
    EXPECT_EQ("7:PCL3/version 1.0", testenv::pdlList(path.getDevice()));
    EXPECT_TRUE(path.isDeviceConfigured());
    EXPECT_EQ(0xFFFFFFFFu, path.getNumericAttribute(L"NoUNCFA"));
}

TEST_F(UncFixture, ShareWithoutADriverIsLeftAlone)
{
    PrintPath path = sharePath(L"\\\\PC7\\" + testspool::uniqueQueueName(L"Missing"));
    UNCConfigurator configurator;
    EXPECT_EQ(2u, configurator.ConfigurePrintPath(&path));
    EXPECT_FALSE(path.isDeviceConfigured());
    EXPECT_EQ(1u, path.getNumericAttribute(L"NoUNCFA"));
    EXPECT_FALSE(path.attributes().at(L"NoUNCFA").persist);

    const size_t connects = log_.calls("connect").size();
    UNCFeatureAccessor accessor;
    testenv::MemoryDeviceSettings sink;
    EXPECT_EQ(9u, accessor.Apply(&path, &sink));
    EXPECT_TRUE(sink.writes.empty());
    EXPECT_EQ(connects, log_.calls("connect").size()) << "not asked again";

    PrintPath none;
    EXPECT_EQ(4u, configurator.ConfigurePrintPath(&none));
    accessor.SetEnabled(false);
    EXPECT_EQ(7u, accessor.Apply(&path, &sink));
}
