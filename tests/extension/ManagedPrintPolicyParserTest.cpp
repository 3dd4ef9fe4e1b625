// The policy document parser against a key of this test's own: one fixture
// document and the registry values it yields, text encodings, a malformed
// document, and the fetch from a file and from the loopback HTTP server.
#include "extension/ManagedPrintPolicyParser.h"

#include "support/HttpTestServer.h"
#include "support/ScratchKey.h"
#include "support/SharedState.h"
#include "support/TestEnv.h"

#include <gtest/gtest.h>

#include <string>
#include <variant>
#include <vector>

VRELM_TEST_SHARES(policy_settings);

using MPrint::ManagedPrintPolicyParser;

namespace {


const char kFixture[] = R"(<?xml version="1.0" encoding="UTF-8"?>
<ManagedPrintPolicy version="2">
  <RefreshPolicy>48</RefreshPolicy>
  <userid>  jdoe@corp  </userid>
  <JobAccountingModule>
      acct.dll
  </JobAccountingModule>
  <Color>enabled</Color>
  <ShowProfiles>false</ShowProfiles>
  <Restricted>2</Restricted>
  <DuplexDefault>12abc</DuplexDefault>
  <ApplicationExclude>1</ApplicationExclude>
  <Schedule>
    <MondayColor>Specify time</MondayColor>
    <MONDAYCOLORONHOUR>22</MONDAYCOLORONHOUR>
  </Schedule>
  <CustomMPL><Name>Floor 1</Name><Path>\\srv\lists\floor1.xml</Path><xmlType>okv</xmlType></CustomMPL>
  <CustomMPL><xmlType>OKV</xmlType><Name>Orphan name</Name></CustomMPL>
  <CustomMPL><Path>\\srv\lists\orphan-path.xml</Path></CustomMPL>
  <CustomMPL>
    <Name> Floor 2 </Name>
    <Path>http://lists.example/floor2</Path>
  </CustomMPL>
  <Application>winword.exe</Application>
  <Application>
    excel.exe
  </Application>
  <JobCompleteExe>007</JobCompleteExe>
  <JobCompleteModule>7</JobCompleteModule>
  <JobCompleteAPI>-5</JobCompleteAPI>
  <DestinationVerificationAddress>enabled</DestinationVerificationAddress>
  <DestinationVerificationType>Enable</DestinationVerificationType>
  <JobCompleteReUserBrowserSession>TRUE</JobCompleteReUserBrowserSession>
  <ServicesTabUnknown>disabled</ServicesTabUnknown>
  <Unknown7>7</Unknown7>
  <Unknown>text</Unknown>
  <PolicyInfoLinkName>Caf&#xE9; Z&#xFC;rich</PolicyInfoLinkName>
</ManagedPrintPolicy>
)";

using Expected = std::variant<std::monostate, DWORD, std::wstring>; // monostate: absent

struct ValueRow {
    const wchar_t* name;
    Expected value;
};

class PolicyParserTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        key_ = scratch_.handle();
        ASSERT_NE(key_, nullptr);
    }

    std::wstring writeFile(const std::wstring& name, const std::string& bytes)
    {
        const std::wstring path = dir_.file(name);
        EXPECT_TRUE(testenv::writeFile(path, bytes));
        return path;
    }

    bool parse(const std::wstring& location)
    {
        ManagedPrintPolicyParser parser(key_);
        return parser.parseLocation(location);
    }

    Expected read(const wchar_t* name)
    {
        DWORD type = 0, size = 0;
        if (RegQueryValueExW(key_, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
            return std::monostate{};
        std::vector<BYTE> data(size + 2);
        RegQueryValueExW(key_, name, nullptr, &type, data.data(), &size);
        if (type == REG_DWORD)
            return *reinterpret_cast<DWORD*>(data.data());
        if (type == REG_SZ)
            return std::wstring(reinterpret_cast<wchar_t*>(data.data()));
        return std::wstring(L"<unexpected type>");
    }

    DWORD valueCount()
    {
        DWORD count = 0;
        RegQueryInfoKeyW(key_, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, nullptr, nullptr,
                         nullptr, nullptr);
        return count;
    }

    void expectValues(const std::vector<ValueRow>& rows)
    {
        for (const auto& row : rows) {
            SCOPED_TRACE(testenv::narrow(row.name));
            EXPECT_EQ(row.value, read(row.name));
        }
    }

    testenv::TempDir dir_;
    testenv::ScratchKey scratch_{L"ManagedPrintPolicyParserTest"};
    HKEY key_ = nullptr; // scratch_'s
};

TEST_F(PolicyParserTest, FixtureDocumentYieldsItsValues)
{
    ASSERT_TRUE(parse(writeFile(L"policy.xml", kFixture)));
    const std::vector<ValueRow> rows = {
        {L"RefreshPolicy", DWORD{48}},
        {L"userid", std::wstring(L"jdoe@corp")}, // named as written, trimmed
        {L"JobAccountingModule", std::wstring(L"acct.dll")},
        {L"Color", DWORD{1}},       // a table boolean reads "enabled" as true
        {L"ShowProfiles", DWORD{0}},
        {L"Restricted", DWORD{1}},
        {L"DuplexDefault", DWORD{12}},
        {L"ApplicationExclude", DWORD{1}},
        {L"MondayColor", std::wstring(L"Specify time")},
        {L"MONDAYCOLORONHOUR", DWORD{22}},
        // Complete lists only, numbered from 0; an incomplete list lends
        // nothing to the next one.
        {L"CustomMPLCount", DWORD{2}},
        {L"CustomMPLName0", std::wstring(L"Floor 1")},
        {L"CustomMPLPath0", std::wstring(L"\\\\srv\\lists\\floor1.xml")},
        {L"CustomMPLType0", DWORD{1}},
        {L"CustomMPLName1", std::wstring(L"Floor 2")},
        {L"CustomMPLPath1", std::wstring(L"http://lists.example/floor2")},
        {L"CustomMPLType1", DWORD{0}},
        {L"CustomMPLName2", std::monostate{}},
        {L"Application_1", std::wstring(L"winword.exe")},
        {L"Application_2", std::wstring(L"\n    excel.exe\n  ")}, // stored as it stands
        {L"Application_3", std::monostate{}},
        // Key-table names outside the element table, stored by their content.
        {L"JobCompleteExe", std::wstring(L"007")},
        {L"JobCompleteModule", DWORD{7}},
        {L"JobCompleteAPI", DWORD{0xFFFFFFFB}},
        {L"DestinationVerificationAddress", std::wstring(L"enabled")},
        {L"DestinationVerificationType", DWORD{1}},
        {L"JobCompleteReUserBrowserSession", DWORD{1}},
        // Names no reader asks for are not stored.
        {L"ServicesTabUnknown", std::monostate{}},
        {L"Unknown7", std::monostate{}},
        {L"Unknown", std::monostate{}},
        {L"PolicyInfoLinkName", std::wstring(L"Caf\u00E9 Z\u00FCrich")},
        // Containers and list parts are never values of their own.
        {L"ManagedPrintPolicy", std::monostate{}},
        {L"Schedule", std::monostate{}},
        {L"CustomMPL", std::monostate{}},
        {L"Name", std::monostate{}},
        {L"Path", std::monostate{}},
        {L"xmlType", std::monostate{}},
        {L"Application", std::monostate{}},
    };
    expectValues(rows);
    EXPECT_EQ(26u, valueCount());
}

TEST_F(PolicyParserTest, MalformedDocumentFailsAndKeepsThePreviousPolicy)
{
    ASSERT_TRUE(parse(writeFile(L"good.xml", kFixture)));
    const DWORD before = valueCount();
    EXPECT_FALSE(parse(writeFile(L"bad.xml", "<Policy><Color>0</Colour><RefreshPolicy>1</RefreshPolicy></Policy>")));
    EXPECT_FALSE(parse(writeFile(L"truncated.xml", "<Policy><Color>0")));
    EXPECT_EQ(Expected{DWORD{1}}, read(L"Color"));
    EXPECT_EQ(Expected{DWORD{48}}, read(L"RefreshPolicy"));
    EXPECT_EQ(before, valueCount());
}

// A hostile server's document cannot fill the key: the lists stop where
// they are read, and a document of far more elements than any policy is
// refused part way instead of being read to its end.
TEST_F(PolicyParserTest, ListsAndTheDocumentAreBounded)
{
    std::string document = "<p>";
    for (int n = 1; n <= 150; ++n) {
        document += "<Application>app" + std::to_string(n) + ".exe</Application>";
        document += "<CustomMPL><Name>L" + std::to_string(n) + "</Name><Path>p</Path></CustomMPL>";
    }
    document += "</p>";
    ASSERT_TRUE(parse(writeFile(L"many.xml", document)));
    EXPECT_EQ(Expected{std::wstring(L"app99.exe")}, read(L"Application_99"));
    EXPECT_EQ(Expected{std::monostate{}}, read(L"Application_100"));
    EXPECT_EQ(Expected{DWORD{99}}, read(L"CustomMPLCount"));
    EXPECT_EQ(Expected{std::wstring(L"L99")}, read(L"CustomMPLName98"));
    EXPECT_EQ(Expected{std::monostate{}}, read(L"CustomMPLName99"));
    EXPECT_EQ(99u + 3 * 99 + 1, valueCount());

    RegDeleteTreeW(key_, nullptr);
    std::string flood = "<p><RefreshPolicy>5</RefreshPolicy>";
    for (int n = 0; n < 200000; ++n)
        flood += "<u" + std::to_string(n) + ">1</u" + std::to_string(n) + ">";
    flood += "<Restricted>1</Restricted></p>";
    EXPECT_FALSE(parse(writeFile(L"flood.xml", flood)));
    EXPECT_EQ(Expected{DWORD{5}}, read(L"RefreshPolicy"));
    EXPECT_EQ(Expected{std::monostate{}}, read(L"Restricted"));
    EXPECT_EQ(1u, valueCount());
}

TEST_F(PolicyParserTest, NonAsciiTextIsDecodedOnce)
{
    struct Row {
        const char* name;
        std::string bytes;
    } rows[] = {
        {"UTF-8 declared", "<?xml version=\"1.0\" encoding=\"UTF-8\"?><p><Userid>Jos\xC3\xA9</Userid></p>"},
        {"utf-8 in single quotes", "<?xml version='1.0' encoding='utf-8'?><p><Userid>Jos\xC3\xA9</Userid></p>"},
        {"UTF-8 undeclared", "<p><Userid>Jos\xC3\xA9</Userid></p>"},
        {"UTF-8 with a byte-order mark", "\xEF\xBB\xBF<p><Userid>Jos\xC3\xA9</Userid></p>"},
        {"ISO-8859-1 declared", "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><p><Userid>Jos\xE9</Userid></p>"},
        {"undeclared single-byte text", "<p><Userid>Jos\xE9</Userid></p>"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ASSERT_TRUE(parse(writeFile(L"encoded.xml", row.bytes)));
        EXPECT_EQ(Expected{std::wstring(L"Jos\u00E9")}, read(L"Userid"));
        RegDeleteValueW(key_, L"Userid");
    }
}

TEST_F(PolicyParserTest, FetchFromServerAndFile)
{
    testenv::HttpTestServer server;
    ASSERT_TRUE(server.started());
    server.answer("/policy", testenv::HttpAnswer::ok("<p><Color>0</Color></p>"));
    server.answer("/empty", testenv::HttpAnswer::ok(""));
    server.answer("/forbidden", testenv::HttpAnswer::withStatus(403, "<p><Color>0</Color></p>"));
    server.answer("/broken", testenv::HttpAnswer::closeAtOnce());

    EXPECT_TRUE(parse(server.url("/policy?userName=x")));
    EXPECT_EQ(Expected{DWORD{0}}, read(L"Color"));
    RegDeleteValueW(key_, L"Color");

    struct Row {
        const char* name;
        std::wstring location;
    } failures[] = {
        {"404", server.url("/missing")},
        {"empty body", server.url("/empty")},
        {"connection closed", server.url("/broken")},
        {"no server", L"http://127.0.0.1:" + std::to_wstring(testenv::HttpTestServer::closedPort()) + L"/policy"},
        {"missing file", dir_.file(L"absent.xml")},
        {"empty file", writeFile(L"empty.xml", "")},
    };
    for (const auto& row : failures) {
        SCOPED_TRACE(row.name);
        EXPECT_FALSE(parse(row.location));
        EXPECT_EQ(0u, valueCount());
    }

    // 403 over http: asked once more over https, at the same host and port.
    server.clearRequests();
    EXPECT_FALSE(parse(server.url("/forbidden")));
    const auto requests = server.requests();
    ASSERT_LE(2u, requests.size());
    EXPECT_EQ("/forbidden", requests[0].path);
    EXPECT_FALSE(requests[0].tls);
    for (size_t i = 1; i < requests.size(); ++i)
        EXPECT_TRUE(requests[i].tls) << i;
    EXPECT_EQ(0u, valueCount());

    EXPECT_TRUE(parse(writeFile(L"local.xml", "<p><ShowProfiles>true</ShowProfiles></p>")));
    EXPECT_EQ(Expected{DWORD{1}}, read(L"ShowProfiles"));
}

} // namespace
