// The print-path record: typed attributes that replace each other by name,
// binary reads that never overrun, and copies that share nothing.
#include "destination/PrintPath.h"
#include "destination/PrintPathAttr.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using MPrint::PrintPath;

TEST(PrintPathTest, SettersReplaceAnyTypeAndGettersSeeOnlyTheirOwn)
{
    PrintPath path;
    path.setStringAttribute(PrintPathAttr::Port, L"9100", true);
    path.setNumericAttribute(PrintPathAttr::Port, 9101, true);
    EXPECT_EQ(path.getNumericAttribute(PrintPathAttr::Port), 9101u);
    EXPECT_EQ(path.getStringAttribute(PrintPathAttr::Port), L"");
    EXPECT_FALSE(path.removeStringAttribute(PrintPathAttr::Port));
    EXPECT_EQ(path.getNumericAttribute(PrintPathAttr::Port), 9101u);

    const BYTE bytes[] = {1, 2, 3};
    path.setBinaryAttribute(PrintPathAttr::Port, bytes, sizeof(bytes), false);
    EXPECT_EQ(path.getNumericAttribute(PrintPathAttr::Port), 0xFFFFFFFFu);
    EXPECT_FALSE(path.removeNumericAttribute(PrintPathAttr::Port));
    EXPECT_TRUE(path.removeBinaryAttribute(PrintPathAttr::Port));
    EXPECT_FALSE(path.removeBinaryAttribute(PrintPathAttr::Port));
    EXPECT_TRUE(path.attributes().empty());

    // Absent and a stored -1 read alike; names are case-sensitive.
    path.setNumericAttribute(L"port", 0xFFFFFFFF, false);
    EXPECT_EQ(path.getNumericAttribute(L"port"), 0xFFFFFFFFu);
    EXPECT_EQ(path.getNumericAttribute(PrintPathAttr::Port), 0xFFFFFFFFu);
    EXPECT_TRUE(path.removeNumericAttribute(L"port"));
    path.setStringAttribute(PrintPathAttr::Nickname, L"a", false);
    EXPECT_TRUE(path.removeStringAttribute(PrintPathAttr::Nickname));
}

TEST(PrintPathTest, BinaryReadsCopyOnlyWhatFits)
{
    PrintPath path;
    const BYTE stored[] = {0xDE, 0xAD, 0xBE, 0xEF};
    path.setBinaryAttribute(L"Blob", stored, sizeof(stored), true);

    BYTE buffer[8];
    memset(buffer, 0xBD, sizeof(buffer));
    uint64_t size = 3; // one byte short
    EXPECT_FALSE(path.getBinaryAttribute(L"Blob", buffer, size));
    EXPECT_EQ(size, 4u);
    EXPECT_EQ(buffer[0], 0xBD);

    size = 4;
    EXPECT_TRUE(path.getBinaryAttribute(L"Blob", buffer, size));
    EXPECT_EQ(size, 4u);
    EXPECT_EQ(memcmp(buffer, stored, 4), 0);
    EXPECT_EQ(buffer[4], 0xBD);

    path.setStringAttribute(L"Text", L"x", true);
    for (const wchar_t* name : {L"Text", L"Absent"}) {
        size = sizeof(buffer);
        EXPECT_FALSE(path.getBinaryAttribute(name, buffer, size)) << name;
        EXPECT_EQ(size, 0u);
    }
}

TEST(PrintPathTest, CopyIsIndependentOfItsSource)
{
    const GUID one = {0x11111111, 0x2222, 0x3333, {1, 2, 3, 4, 5, 6, 7, 8}};
    auto* source = new PrintPath;
    MPrint::Device device("Model", "Name");
    device.addPdl(PdlInfo(6, "PostScript", "3"));
    source->setDevice(device, true);
    source->setDeviceConfigured(true);
    source->setDiscoveryId(one);
    source->addConfiguratorId(one);
    source->setStringAttribute(PrintPathAttr::Address, L"10.0.0.5", true);
    const BYTE bytes[] = {7, 8};
    source->setBinaryAttribute(L"Blob", bytes, sizeof(bytes), true);

    PrintPath copy(*source);
    copy.setStringAttribute(PrintPathAttr::Address, L"changed", true);
    copy.getDevice().clearPdls();
    copy.addFeatureId(one);
    EXPECT_EQ(source->getStringAttribute(PrintPathAttr::Address), L"10.0.0.5");
    EXPECT_TRUE(source->getDevice().hasPdlFamily(6));
    EXPECT_EQ(source->featuresBegin(), source->featuresEnd());

    delete source;
    EXPECT_TRUE(copy.isDevicePresent());
    EXPECT_TRUE(copy.isDeviceConfigured());
    GUID id = {};
    EXPECT_TRUE(copy.getDiscoveryId(id));
    EXPECT_TRUE(IsEqualGUID(id, one));
    EXPECT_EQ(copy.configuratorsEnd() - copy.configuratorsBegin(), 1);
    BYTE out[2] = {};
    uint64_t size = sizeof(out);
    EXPECT_TRUE(copy.getBinaryAttribute(L"Blob", out, size));
    EXPECT_EQ(out[1], 8);
}

TEST(PrintPathTest, SetDeviceCopiesAndSetsPresenceFromTheFlag)
{
    PrintPath path;
    MPrint::Device device("Model", "Name");
    device.addPdl(PdlInfo(3, "PCL", "5"));
    path.setDevice(device, false);
    EXPECT_FALSE(path.isDevicePresent());
    EXPECT_EQ(path.getDevice().getModelName(), "Model");
    // Setting a path's own device again must not empty it.
    path.setDevice(path.getDevice(), true);
    EXPECT_TRUE(path.isDevicePresent());
    EXPECT_TRUE(path.getDevice().hasPdlFamily(3));
}

} // namespace
