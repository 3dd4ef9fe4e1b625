// PDL version parsing and the device's ownership of its PDL records.
#include "destination/Device.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct VersionCase {
    const char* text;
    int major;
    int minor;
    const char* remainder;
};

TEST(PdlInfoTest, VersionTextsParse)
{
    const VersionCase cases[] = {
        {"VERSION 2.1 rev A", 2, 1, " rev A"},
        {"version 3.0", 3, 0, ""},
        {"PCL 6 Emulation", 6, -1, " Emulation"},
        {"5.2", 5, 2, ""},
        {"3.x", 3, -1, "x"},
        {"no digits", -1, -1, ""},
        {"", -1, -1, ""},
        // A digit run that ends the text is the major version too.
        {"3", 3, -1, ""},
        {"PS 3", 3, -1, ""},
        {"VERSION 3", 3, -1, ""},
        {"3.", 3, -1, ""},
        {"VERSION", -1, -1, ""},
        {"99999999999999", 2147483647, -1, ""},
    };
    for (const VersionCase& c : cases) {
        SCOPED_TRACE(c.text);
        PdlInfo pdl(6, "PostScript", c.text);
        EXPECT_EQ(pdl.getMajorVersion(), c.major);
        EXPECT_EQ(pdl.getMinorVersion(), c.minor);
        EXPECT_EQ(pdl.getVersionRemainder(), c.remainder);
        EXPECT_EQ(pdl.getVersion(), c.text);
    }
}

TEST(PdlInfoTest, AssignParsesAgainAndEqualityIsExact)
{
    PdlInfo pdl(3, "PCL", "5.1");
    pdl.assign(6, "PostScript", "VERSION 3.0");
    EXPECT_EQ(pdl.getFamily(), 6u);
    EXPECT_EQ(pdl.getMajorVersion(), 3);
    EXPECT_EQ(pdl.getMinorVersion(), 0);
    EXPECT_TRUE(pdl == PdlInfo(6, "PostScript", "VERSION 3.0"));
    EXPECT_FALSE(pdl == PdlInfo(6, "postscript", "VERSION 3.0"));
    EXPECT_FALSE(pdl == PdlInfo(6, "PostScript", "3.0"));
    EXPECT_FALSE(pdl == PdlInfo(47, "PostScript", "VERSION 3.0"));
}

std::vector<std::string> descriptions(const MPrint::Device& device)
{
    std::vector<std::string> out;
    for (auto it = device.pdlBegin(); it != device.pdlEnd(); ++it)
        out.push_back((*it)->getDescription() + "/" + (*it)->getVersion());
    return out;
}

TEST(DeviceTest, CopiesAndAssignmentsOwnTheirRecords)
{
    auto* source = new MPrint::Device("Model", "Friendly");
    source->addPdl(PdlInfo(3, "PCL", "5"));
    source->addPdl(new PdlInfo(6, "PS", "3"));

    MPrint::Device copy(*source);
    MPrint::Device target("Old", "Old");
    target.addPdl(PdlInfo(47, "XL", "2.0"));
    target = *source;

    delete source; // the copies' records must stay valid
    const std::vector<std::string> expected = {"PCL/5", "PS/3"};
    EXPECT_EQ(descriptions(copy), expected);
    EXPECT_EQ(descriptions(target), expected);
    EXPECT_EQ(target.getModelName(), "Model");
    EXPECT_EQ(target.getFriendlyName(), "Friendly");
}

TEST(DeviceTest, SelfAssignmentKeepsTheRecords)
{
    MPrint::Device device("Model", "Friendly");
    device.addPdl(PdlInfo(3, "PCL", "5"));
    MPrint::Device& alias = device;
    device = alias;
    EXPECT_EQ(descriptions(device), std::vector<std::string>{"PCL/5"});
}

TEST(DeviceTest, LookupsFindTheFirstMatchAndRemoveTakesEveryEqualRecord)
{
    MPrint::Device device;
    device.addPdl(PdlInfo(3, "PCL", "5"));
    device.addPdl(PdlInfo(6, "PostScript", "2"));
    device.addPdl(PdlInfo(6, "PostScript", "3"));
    device.addPdl(PdlInfo(3, "PCL", "5"));

    auto ps = device.findPdlByFamily(6);
    ASSERT_NE(ps, device.pdlEnd());
    EXPECT_EQ((*ps)->getVersion(), "2");
    EXPECT_TRUE(device.hasPdlDescription("PostScript"));
    EXPECT_FALSE(device.hasPdlDescription("postscript"));
    EXPECT_FALSE(device.hasPdlFamily(47));
    EXPECT_EQ(device.findPdlByDescription("XL"), device.pdlEnd());

    // Removing with one of the device's own records as the pattern.
    device.removePdl(**device.pdlBegin());
    EXPECT_EQ(descriptions(device), (std::vector<std::string>{"PostScript/2", "PostScript/3"}));

    device.clearPdls();
    EXPECT_EQ(device.pdlBegin(), device.pdlEnd());
}

} // namespace
