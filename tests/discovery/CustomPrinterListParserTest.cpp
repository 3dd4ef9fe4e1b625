// The custom managed list reader over its fixture: every record as read
// (names in any case, the last address element, a group stated once, the
// keyword and yes/no rules, null PDL texts), a rejected model that leaks
// nothing, includes and refresh times, and a broken document.
#include "discovery/CustomPrinterListParser.h"
#include "support/ManagedListFixtures.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

using MPrint::CustomPrinterListParser;
using testenv::CapturedRecord;

namespace {

struct Include {
    std::wstring name, file;
    uint32_t okv;
    bool operator==(const Include& o) const { return name == o.name && file == o.file && okv == o.okv; }
};

struct ListRun {
    std::vector<CapturedRecord> records;
    std::vector<Include> includes;
    std::vector<DWORD> refreshes;
    std::vector<std::string> modelsAsked;
    std::set<std::string> rejected;
    bool parsed = false;
};

ListRun parseWith(CustomPrinterListParser& parser, const std::string& xml, std::set<std::string> rejected = {})
{
    ListRun run;
    run.rejected = std::move(rejected);
    parser.setPrinterCallback(testenv::captureInto, &run.records);
    parser.setIncludeCallback(
        [](void* context, const wchar_t* name, const wchar_t* file, uint32_t okv) {
            static_cast<ListRun*>(context)->includes.push_back({name, file, okv});
        },
        &run);
    parser.setRefreshCallback([](void* context, DWORD value) { static_cast<ListRun*>(context)->refreshes.push_back(value); },
                              &run);
    parser.setModelFilter(
        [](void* context, const char* model) {
            auto* r = static_cast<ListRun*>(context);
            r->modelsAsked.push_back(model);
            return r->rejected.count(model) == 0;
        },
        &run);
    run.parsed = parser.parse(xml);
    return run;
}

} // namespace

TEST(CustomPrinterListParserTest, FixtureRecords)
{
    CustomPrinterListParser parser;
    const ListRun run = parseWith(parser, testenv::kCustomListFixture, {"Rejected Model"});
    ASSERT_TRUE(run.parsed);
    EXPECT_EQ(run.modelsAsked, (std::vector<std::string>{"QZ Ardelle 400", "Rejected Model", "QZ Plinthe 20", ""}));
    ASSERT_EQ(run.records.size(), 3u) << "the rejected model makes no callback";

    const std::wstring null = L"(null)";
    struct Row {
        const char* why;
        std::wstring group, name, address, model;
        uint32_t addressType;
        uint32_t hardDisk, duplexUnit;
        uint8_t validate, color, jobDelivery, secure;
        uint32_t extType;
        std::vector<std::wstring> pdls;
    } rows[] = {
        {"names in any case, trimmed; the last address element wins with its type; yes is false; installed "
         "in lower case",
         L"Floor 1", L"Alpha", L"\\\\srv\\alpha", L"QZ Ardelle 400", 3, 1, 0, 0, 1, 0, 0, 4, {null, null, null, null}},
        {"a group stated once is the first printer's only, and the rejected record leaves nothing; yes leaves "
         "the disk unstated",
         L"", L"Gamma", L"gamma.example", L"QZ Plinthe 20", 0, 2, 2, 1, 0, 1, 0, 2, {L"3010.107", null, L"6.0", null}},
        {"no model, an IPX address, an unknown configuration type", L"", L"Delta", L"00000001:0080C7123456", L"", 2,
         2, 2, 0, 0, 0, 0, 4, {null, null, null, null}},
    };
    for (size_t i = 0; i < std::size(rows); ++i) {
        const Row& row = rows[i];
        const CapturedRecord& r = run.records[i];
        SCOPED_TRACE(row.why);
        EXPECT_EQ(r.groupName, row.group);
        EXPECT_EQ(r.printerName, row.name);
        EXPECT_EQ(r.address, row.address);
        EXPECT_EQ(r.model, row.model);
        EXPECT_EQ(r.addressType, row.addressType);
        EXPECT_EQ(r.caps.hardDisk, row.hardDisk);
        EXPECT_EQ(r.caps.duplexUnit, row.duplexUnit);
        EXPECT_EQ(r.caps.validateDevice, row.validate);
        EXPECT_EQ(r.caps.color, row.color);
        EXPECT_EQ(r.jobDelivery, row.jobDelivery);
        EXPECT_EQ(r.securePrinter, row.secure);
        EXPECT_EQ(r.extConfigType, row.extType);
        EXPECT_EQ(r.pdls, row.pdls);
    }
    const CapturedRecord& alpha = run.records[0];
    EXPECT_EQ(alpha.snmpCommunity, L"office");
    EXPECT_EQ(alpha.comment, L"by the door");
    EXPECT_EQ(alpha.location, L"Room 12");
    EXPECT_EQ(alpha.costPerPage, L"0.05");
    const CapturedRecord& gamma = run.records[1];
    EXPECT_EQ(gamma.jobDeliveryUrl, L"http://jobs/submit");
    EXPECT_EQ(gamma.extConfigAddress, L"http://cfg/gamma.xml");
    EXPECT_EQ(gamma.verificationAddress, L"10.9.9.9");
    EXPECT_EQ(gamma.verificationType, 3u);
    EXPECT_EQ(gamma.jobAccountingModule, L"acct.dll");
    EXPECT_EQ(gamma.destinationType, L"Secure");
    EXPECT_EQ(gamma.snmpCommunity, L"") << "a record's text is valid and empty when the list gives none";

    EXPECT_EQ(run.includes, (std::vector<Include>{{L"Branch", L"branch.xml", 1}, {L"Annex", L"annex.xml", 0}}));
    EXPECT_EQ(run.refreshes, (std::vector<DWORD>{12}));
}

TEST(CustomPrinterListParserTest, BrokenDocumentKeepsWhatWasReported)
{
    CustomPrinterListParser parser;
    const ListRun run = parseWith(parser, "<qzmanagedprinting><Printers><Printer><PrinterName>First</PrinterName>"
                                      "<IPAddress>10.0.0.1</IPAddress></Printer><Printer><PrinterName>Second"
                                      "</Printer></Printers>");
    EXPECT_FALSE(run.parsed);
    ASSERT_EQ(run.records.size(), 1u);
    EXPECT_EQ(run.records[0].printerName, L"First");
    EXPECT_EQ(run.records[0].addressType, 1u);
}

TEST(CustomPrinterListParserTest, NoCallbackStillResetsTheRecord)
{
    // Read without a printer callback, a record is collected and dropped:
    // none of it may reach a record read after the callback is set.
    CustomPrinterListParser parser;
    ASSERT_TRUE(parser.parse("<qzmanagedprinting><Printer><GroupName>G</GroupName><Color>1</Color>"
                             "<PrinterName>A</PrinterName></Printer></qzmanagedprinting>"));
    const ListRun run = parseWith(parser, "<qzmanagedprinting><Printer><PrinterName>B</PrinterName></Printer>"
                                      "</qzmanagedprinting>");
    ASSERT_EQ(run.records.size(), 1u);
    EXPECT_EQ(run.records[0].groupName, L"");
    EXPECT_EQ(run.records[0].caps.color, 0);
}
