// The OKV export reader over its fixture: the address it picks, the names
// it makes for unnamed devices, and its "Yes" rule for disks and duplex
// units.
#include "discovery/OKVPrinterListParser.h"
#include "support/ManagedListFixtures.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using testenv::CapturedRecord;

TEST(OKVPrinterListParserTest, FixtureRecords)
{
    MPrint::OKVPrinterListParser parser;
    std::vector<CapturedRecord> records;
    parser.setPrinterCallback(testenv::captureInto, &records);
    ASSERT_TRUE(parser.parse(testenv::kOkvListFixture));

    struct Row {
        const char* why;
        std::wstring name, address;
        uint32_t addressType, hardDisk, duplexUnit;
        std::wstring group, location;
    } rows[] = {
        {"host name before IPv4; named after the hardware address; \"Yes, auto\" and No",
         L"QZ Ardelle 500 (00:11:22:33:44:55 )", L"ardelle.example", 0, 0, 1, L"Lab", L""},
        {"named after the system name; yes in lower case is no", L"QZ Plinthe 9 (plinthe-sys )", L"10.1.1.2", 1, 2,
         0, L"", L"Hall"},
        {"a display name is kept; an IPX address", L"Named", L"00000002:000000000001", 2, 2, 2, L"", L""},
        {"named after the address", L"M4 (10.1.1.4 )", L"10.1.1.4", 1, 2, 2, L"", L""},
    };
    ASSERT_EQ(records.size(), std::size(rows));
    for (size_t i = 0; i < std::size(rows); ++i) {
        SCOPED_TRACE(rows[i].why);
        EXPECT_EQ(records[i].printerName, rows[i].name);
        EXPECT_EQ(records[i].address, rows[i].address);
        EXPECT_EQ(records[i].addressType, rows[i].addressType);
        EXPECT_EQ(records[i].caps.hardDisk, rows[i].hardDisk);
        EXPECT_EQ(records[i].caps.duplexUnit, rows[i].duplexUnit);
        EXPECT_EQ(records[i].groupName, rows[i].group);
        EXPECT_EQ(records[i].location, rows[i].location);
    }
}
