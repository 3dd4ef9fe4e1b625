// The Trebuk port connection against the port server's stand-in (registered
// with regsvr32): batches of OID questions answered from a device table,
// the server's faults, get-next walks with shortened next OIDs, connect
// retries, Open through the port resolver, COM balance per object, and the
// device character-set converter.
#include "bidi/TrebukBidiConnection.h"

#include "bidi/DeviceCharset.h"
#include "bidi/SNMPCommunityName.h"
#include "VagantUIExtension/DeviceConfigurator.h"
#include "destination/Device.h"
#include "destination/PdlInfo.h"
#include "core/COMWrapper.h"
#include "support/PortStandIns.h"
#include "support/PrivateCurrentUser.h"
#include "support/ScopedTcpPort.h"
#include "support/SharedState.h"
#include "support/TestSpooler.h"
#include "support/TrebukFixture.h"
#include "support/TrebukStandIn.h"

#include <gtest/gtest.h>

#include <iterator>
#include <string>
#include <thread>
#include <vector>

VRELM_TEST_SHARES(cluster_node, shared_io);

namespace {

using MPrint::BidiRequest;
using MPrint::TrebukBidiConnection;

// Counts the pauses between connect attempts instead of sleeping.
class CountingConnection : public TrebukBidiConnection {
public:
    using TrebukBidiConnection::TrebukBidiConnection;
    std::vector<DWORD> pauses;

protected:
    void pause(DWORD milliseconds) override { pauses.push_back(milliseconds); }
};

using TrebukFixture = testtrebuk::ServerFixture;

std::vector<BidiRequest> requests(const std::vector<const char*>& oids)
{
    std::vector<BidiRequest> list;
    for (const char* oid : oids)
        list.emplace_back(oid);
    return list;
}

constexpr DWORD kNotFound = 0x80070490;

} // namespace

TEST_F(TrebukFixture, BatchIsAnsweredFromTheDeviceTable)
{
    testtrebuk::ScopedDevice device;
    TrebukBidiConnection connection(nullptr);
    ASSERT_TRUE(connection.Connect(L"Office", device.address().c_str(), MPrint::BidiAddressIp, 9100));
    EXPECT_FALSE(connection.IsHttpConnection());

    auto batch = requests({
        "1.3.6.1.2.1.25.3.2.1.3.1",         // text
        "1.3.6.1.2.1.43.15.1.1.2.1.1",      // integer
        "1.3.6.1.4.1.11.2.3.9.4.2.1.1.3.0", // text behind a two-byte length
        "1.3.6.1.4.1.11.2.3.9.4.2.1.1.3.1", // octets with leading control bytes
        "1.3.6.1.4.1.11.2.3.9.4.2.1.1.3.2", // an integer of two bytes only
        "1.3.6.1.4.1.11.2.3.9.4.2.1.1.3.3", // answered with a negative status
        "1.3.6.1.2.1.43.99.0",              // unknown to the device
    });
    EXPECT_TRUE(connection.Get(batch.data(), static_cast<DWORD>(batch.size())));

    struct Expected {
        DWORD status;
        DWORD type;
        std::string text;
        LONG integer;
        std::string binary;
    } expected[] = {
        {0, MPrint::BidiText, "Vrelm Office MFP 4200", -1, ""},
        {0, MPrint::BidiInteger, "", 47, ""},
        {0, MPrint::BidiText, "hello", -1, std::string("\x00\x05hello", 7)},
        {0, MPrint::BidiBinary, "Office", -1, std::string("\x01\x02Office", 8)},
        // A buffer shorter than an integer gives no value rather than a read past it.
        {0, MPrint::BidiNone, "", -1, ""},
        {0x80070005, MPrint::BidiNone, "", -1, ""},
        {kNotFound, MPrint::BidiNone, "", -1, ""},
    };
    for (size_t i = 0; i < batch.size(); ++i) {
        SCOPED_TRACE(batch[i].oid);
        const MPrint::BidiValue& value = batch[i].value;
        EXPECT_EQ(expected[i].status, value.status);
        EXPECT_EQ(expected[i].type, value.type);
        EXPECT_EQ(expected[i].text, value.text);
        EXPECT_EQ(expected[i].integer, value.integer);
        EXPECT_EQ(expected[i].binary, std::string(value.binary.begin(), value.binary.end()));
        EXPECT_EQ(expected[i].binary.size(), value.binaryLength);
    }

    // Every item went as request kind 4; no queue, so no community and a null settings text.
    const auto gets = log_.calls("get");
    ASSERT_EQ(1u, gets.size());
    ASSERT_EQ(batch.size(), gets[0].size());
    for (const std::string& item : gets[0])
        EXPECT_EQ("/4", item.substr(item.size() - 2)) << item;
    const auto settings = log_.calls("settings");
    ASSERT_EQ(1u, settings.size());
    EXPECT_EQ((std::vector<std::string>{"(null)", "0", "-1", "3000", "2000", "1", "1"}), settings[0]);
    EXPECT_EQ(L"", device.publishedCommunity());

    // Control bytes kept as text when nothing printable follows the prefix.
    testtrebuk::ScopedModel model("1.3.6.1.2.1.1.1.0 text \\x01\\x02\\x03\n1.3.6.1.2.1.1.2.0 text \\x00\n");
    testtrebuk::DeviceScript script;
    script.model = model.path();
    testtrebuk::ScopedDevice raw(script);
    TrebukBidiConnection second(nullptr);
    ASSERT_TRUE(second.Connect(L"Raw", raw.address().c_str(), MPrint::BidiAddressIp, 9100));
    auto odd = requests({"1.3.6.1.2.1.1.1.0", "1.3.6.1.2.1.1.2.0"});
    EXPECT_TRUE(second.Get(odd.data(), 2));
    EXPECT_EQ(MPrint::BidiText, odd[0].value.type);
    EXPECT_EQ(std::string("\x01\x02\x03"), odd[0].value.text);
    EXPECT_EQ(3u, odd[0].value.binaryLength);
    EXPECT_EQ(MPrint::BidiText, odd[1].value.type);
    EXPECT_EQ("", odd[1].value.text);
    EXPECT_EQ(1u, odd[1].value.binaryLength);
}

TEST_F(TrebukFixture, ServerFaultsReachEveryItem)
{
    struct Row {
        const char* name;
        DWORD getResult;
        bool overall;
        DWORD overallValue;
        DWORD status; // of every item afterwards
        bool reset;   // the values were reset (a failed call leaves them but the status)
    } rows[] = {
        {"negative get result", 0x80004005, false, 0, 0x80004005, false},
        {"no answer", 0, true, 2, 2, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        testtrebuk::DeviceScript script;
        script.getResult = row.getResult;
        script.overallStatus = row.overall;
        script.overallValue = row.overallValue;
        testtrebuk::ScopedDevice device(script);
        TrebukBidiConnection connection(nullptr);
        ASSERT_TRUE(connection.Connect(L"Office", device.address().c_str(), MPrint::BidiAddressIp, 9100));
        for (bool next : {false, true}) {
            auto batch = requests({"1.3.6.1.2.1.25.3.2.1.3.1", "1.3.6.1.2.1.43.15.1.1.3.1.1"});
            setBidiValueString(&batch[0], L"stale");
            EXPECT_FALSE(next ? connection.GetNext(batch.data(), 2) : connection.Get(batch.data(), 2));
            for (const BidiRequest& request : batch)
                EXPECT_EQ(row.status, request.value.status);
            EXPECT_EQ(row.reset ? "" : "stale", batch[0].value.text);
            EXPECT_EQ(MPrint::BidiNone, batch[1].value.type);
            EXPECT_EQ("1.3.6.1.2.1.25.3.2.1.3.1", batch[0].oid);
        }
    }

    // Refused before any question reaches the server.
    testtrebuk::ScopedCallLog log;
    TrebukBidiConnection unconnected(nullptr);
    BidiRequest one("1.3.6.1.2.1.25.3.2.1.3.1");
    EXPECT_FALSE(unconnected.Get(&one, 1));
    EXPECT_FALSE(unconnected.GetNext(nullptr, 1));
    EXPECT_TRUE(unconnected.Close());
    EXPECT_TRUE(log.calls("get").empty());
}

TEST_F(TrebukFixture, GetNextWalksAColumnAndRepairsShortenedOids)
{
    testtrebuk::ScopedDevice device;
    TrebukBidiConnection connection(nullptr);
    ASSERT_TRUE(connection.Connect(L"Office", device.address().c_str(), MPrint::BidiAddressIp, 9100));
    const std::string column = "1.3.6.1.2.1.43.15.1.1.5.1.";
    BidiRequest walker(column.substr(0, column.size() - 1).c_str());
    std::vector<std::string> seen;
    for (int round = 0; round < 10; ++round) {
        if (!connection.GetNext(&walker, 1) || walker.oid.compare(0, column.size(), column) != 0)
            break;
        seen.push_back(walker.value.text);
    }
    EXPECT_EQ((std::vector<std::string>{"PCL XL", "PCL 5e", "PostScript"}), seen);
    EXPECT_EQ("1.3.6.1.4.1.11.2.3.9.1.1.7.0", walker.oid);

    // Past the table's end nothing is answered and the OID stays.
    BidiRequest last("1.3.6.1.4.1.99");
    EXPECT_FALSE(connection.GetNext(&last, 1));
    EXPECT_EQ("1.3.6.1.4.1.99", last.oid);

    testtrebuk::DeviceScript script;
    script.shortNextOids = true;
    testtrebuk::ScopedDevice older(script);
    TrebukBidiConnection shortened(nullptr);
    ASSERT_TRUE(shortened.Connect(L"Older", older.address().c_str(), MPrint::BidiAddressIp, 9100));
    auto batch = requests({"1.3.6.1.4.1.11.2.3.9.4.2.1.1.3.0", "1.3.6.1.2.1.43.15.1.1.2.1.1",
                           "1.3.6.1.2.1.25.3.2.1.3.0"});
    EXPECT_TRUE(shortened.GetNext(batch.data(), 3));
    EXPECT_EQ("1.3.6.1.4.1.11.2.3.9.4.2.1.1.3.1", batch[0].oid);
    EXPECT_EQ("1.3.6.1.2.1.43.15.1.1.2.1.2", batch[1].oid);
    EXPECT_EQ("1.3.6.1.2.1.25.3.2.1.3.1", batch[2].oid);
    EXPECT_EQ("Vrelm Office MFP 4200", batch[2].value.text);

    // A next OID too long to be one is not taken, not even cut to a length.
    std::string longOid = "1.3.6.1.2.1.1.9";
    while (longOid.size() < 1100)
        longOid += ".1";
    testtrebuk::ScopedModel model(longOid + " int 7\n");
    testtrebuk::DeviceScript longScript;
    longScript.model = model.path();
    testtrebuk::ScopedDevice lengthy(longScript);
    TrebukBidiConnection overlong(nullptr);
    ASSERT_TRUE(overlong.Connect(L"Long", lengthy.address().c_str(), MPrint::BidiAddressIp, 9100));
    BidiRequest question("1.3.6.1.2.1.1");
    overlong.GetNext(&question, 1);
    EXPECT_EQ("1.3.6.1.2.1.1", question.oid);
}

TEST_F(TrebukFixture, ConnectRetriesByKindAndStopsOnTheNoRetryCode)
{
    struct Row {
        const char* name;
        DWORD failures;
        DWORD result;
        DWORD kind;
        bool connected;
        size_t attempts;
    } rows[] = {
        {"network address, always failing", 0xFFFFFFFF, 0x80004005, MPrint::BidiAddressIp, false, 2},
        {"local port, always failing", 0xFFFFFFFF, 0x80004005, MPrint::BidiAddressLocalPort, false, 5},
        {"no retry code", 0xFFFFFFFF, 0xE0010007, MPrint::BidiAddressLocalPort, false, 1},
        {"second attempt succeeds", 1, 0x80004005, MPrint::BidiAddressHostName, true, 2},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        testtrebuk::ScopedCallLog log;
        testtrebuk::DeviceScript script;
        script.connectFailures = row.failures;
        script.connectResult = row.result;
        testtrebuk::ScopedDevice device(script);
        CountingConnection connection(nullptr);
        EXPECT_EQ(row.connected, connection.Connect(L"Office", device.address().c_str(), row.kind, 9100));
        const auto connects = log.calls("connect");
        ASSERT_EQ(row.attempts, connects.size());
        for (const auto& fields : connects) {
            EXPECT_EQ("Office", fields[0]);
            EXPECT_EQ(std::to_string(row.kind), fields[1]);
            EXPECT_EQ(testenv::narrow(device.address()), fields[2]);
            EXPECT_EQ("9100", fields[3]);
        }
        EXPECT_EQ(std::vector<DWORD>(row.attempts - 1, TrebukBidiConnection::kRetryPauseMs), connection.pauses);
        EXPECT_EQ(row.connected ? 1u : 0u, log.calls("settings").size());
    }

}

TEST_F(TrebukFixture, OpenResolvesTheQueuePortPublishesItsCommunityAndRetargets)
{
    testenv::PrivateCurrentUser hkcu;
    ASSERT_TRUE(hkcu.isActive());
    ASSERT_TRUE(testports::registerSharedIO());
    testtrebuk::ScopedDevice device;
    const std::wstring port = L"TRB_" + std::to_wstring(GetCurrentProcessId());
    testspool::ScopedQueue queue(testspool::uniqueQueueName(L"Trebuk"), L"Vrelm Test Driver", port);
    ASSERT_EQ(DWORD{ERROR_SUCCESS}, queue.error());
    ASSERT_EQ(DWORD{ERROR_SUCCESS}, queue.setString(L"", SNMPCommunityName::kValueName, L"queue-side"));
    // Host name and IP address reported: the host name wins.
    testports::ScopedSharedIOPort answer(port, {0x2 | 0x4, 0, device.address(), 9100, L"", 0});

    TrebukBidiConnection connection(queue.name().c_str());
    EXPECT_EQ(queue.name(), connection.getPrinterName());
    ASSERT_TRUE(connection.Open());
    auto connects = log_.calls("connect");
    ASSERT_EQ(1u, connects.size());
    EXPECT_EQ("4", connects[0][1]);
    EXPECT_EQ(testenv::narrow(device.address()), connects[0][2]);
    EXPECT_EQ("9100", connects[0][3]);
    EXPECT_EQ("queue-side", connects[0][4]); // published before the server connected
    EXPECT_EQ(L"queue-side", device.publishedCommunity());
    // Port 9100 is no indexed raw port: no community in the settings.
    ASSERT_EQ(1u, log_.calls("settings").size());
    EXPECT_EQ("(null)", log_.calls("settings")[0][0]);

    BidiRequest model("1.3.6.1.2.1.25.3.2.1.3.1");
    EXPECT_TRUE(connection.Get(&model, 1));
    EXPECT_EQ("Vrelm Office MFP 4200", model.value.text);

    // A second Open re-targets the existing connection.
    ASSERT_TRUE(connection.Open());
    EXPECT_EQ(1u, log_.calls("connect").size());
    const auto retargets = log_.calls("retarget");
    ASSERT_EQ(1u, retargets.size());
    EXPECT_EQ(testenv::narrow(queue.name()), retargets[0][0]);
    EXPECT_TRUE(connection.Close());
    EXPECT_EQ(1u, log_.calls("disconnect").size());

    // A queue whose port the component cannot classify does not open.
    testspool::ScopedQueue other(testspool::uniqueQueueName(L"Trebuk"), L"Vrelm Test Driver", port + L"X");
    testports::ScopedSharedIOPort refused(port + L"X", {0x4, 0, L"", 0, L"", static_cast<DWORD>(E_FAIL)});
    TrebukBidiConnection unresolved(other.name().c_str());
    EXPECT_FALSE(unresolved.Open());
}

// The device's interpreter table as the configurator walks it: a family,
// a level and a description column.
TEST_F(TrebukFixture, InterpreterTableAnswersTheConfiguratorsWalk)
{
    testtrebuk::ScopedDevice device;
    TrebukBidiConnection connection(nullptr);
    ASSERT_TRUE(connection.Connect(L"Office", device.address().c_str(), MPrint::BidiAddressIp, 9100));
    MPrint::Device found;
    MPrint::DeviceConfigurator configurator;
    ASSERT_TRUE(configurator.QueryInterpreters(&connection, found));
    const PdlInfo expected[] = {{47, "PCL XL", "3.0"}, {3, "PCL 5e", "5.0"}, {6, "PostScript", "3.0"}};
    ASSERT_EQ(std::size(expected), static_cast<size_t>(found.pdlEnd() - found.pdlBegin()));
    for (size_t i = 0; i < std::size(expected); ++i) {
        const PdlInfo& pdl = *found.pdlBegin()[i];
        EXPECT_TRUE(pdl == expected[i]) << pdl.getFamily() << " " << pdl.getDescription() << " " << pdl.getVersion();
    }
}

// A queue on an indexed raw port (9101 to 9108) hands the server its port's
// community as "*<community>"; any other port hands none.
TEST_F(TrebukFixture, IndexedRawPortsGiveTheServerTheirCommunity)
{
    ASSERT_NE(testspool::control(), nullptr);
    testtrebuk::ScopedDevice device;
    const struct {
        DWORD number;
        const char* settings;
    } rows[] = {{9100, "(null)"}, {9101, "*site-9101"}, {9104, "*site-9104"}, {9108, "*site-9108"}, {9109, "(null)"}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.number);
        const std::wstring portName = L"IP_" + testspool::uniqueTcpAddress();
        testspool::ScopedTcpPort tcp(portName, L"", testspool::uniqueTcpAddress(), row.number,
                                     L"site-" + std::to_wstring(row.number));
        ASSERT_EQ(0u, tcp.status());
        testspool::ScopedQueue queue(testspool::uniqueQueueName(L"Trebuk Raw"), L"Vrelm Test Driver", portName);
        ASSERT_EQ(DWORD{ERROR_SUCCESS}, queue.error());
        TrebukBidiConnection connection(queue.name().c_str());
        ASSERT_TRUE(connection.Connect(nullptr, device.address().c_str(), MPrint::BidiAddressIp, 9100));
        const auto settings = log_.calls("settings");
        ASSERT_FALSE(settings.empty());
        EXPECT_EQ(row.settings, settings.back()[0]);
    }
}

// Open initialises COM and calls Connect, which needs it too: one
// initialisation per object, undone once by the destructor.
TEST_F(TrebukFixture, ComIsInitialisedOncePerObjectAndEndedWithIt)
{
    testtrebuk::ScopedDevice device;
    std::thread worker([&] {
        // Asked for each time: the wrapper whose record empties is gone.
        const auto depthNow = [] { return getThreadCOMWrapper(__FILE__, __LINE__)->depth(); };
        ASSERT_NE(nullptr, getThreadCOMWrapper(__FILE__, __LINE__));
        const DWORD before = depthNow();
        {
            TrebukBidiConnection connection(nullptr);
            ASSERT_TRUE(connection.Connect(L"Office", device.address().c_str(), MPrint::BidiAddressIp, 9100));
            EXPECT_TRUE(connection.Connect(L"Office", device.address().c_str(), MPrint::BidiAddressIp, 9100));
            EXPECT_FALSE(connection.Open()); // no queue to resolve
            EXPECT_EQ(before + 1, depthNow());
        }
        EXPECT_EQ(before, depthNow());
        // The apartment is gone: the thread may join the multithreaded one.
        const HRESULT mta = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        EXPECT_EQ(S_OK, mta);
        if (SUCCEEDED(mta))
            CoUninitialize();
    });
    worker.join();
}

TEST(DeviceCharset, ConversionByMode)
{
    struct Row {
        const char* name;
        std::string source;
        int outputSize;
        DWORD mode;
        int language;
        bool ok;
        std::string output;
    } rows[] = {
        {"copy", "abc\x01", 16, 0, 0, true, "abc\x01"},
        {"copy cut to the output", "abcdef", 4, 0, 0, true, "abc"},
        {"utf-8 round trip", "B\xC3\xBCro \xE6\x97\xA5", 32, 2, 0, true, "B\xC3\xBCro \xE6\x97\xA5"},
        {"utf-8 cut at a character", "ab\xE6\x97\xA5", 5, 2, 0, true, "ab"},
        {"invalid utf-8 replaced", "a\xFF", 16, 2, 0, true, "a\xEF\xBF\xBD"},
        {"language 0 is utf-8", "\xC3\xA9", 16, 1, 0, true, "\xC3\xA9"},
        {"English: Roman table", "\xA1\xC5\xE1", 16, 1, 1, true, "\xC3\x80\xC3\xA9\xC3\x83"},
        {"English: unmapped byte", "a\xFF", 16, 1, 1, false, ""},
        {"Korean is utf-8", "\xEA\xB0\x80", 16, 1, 14, true, "\xEA\xB0\x80"},
        {"Polish: ISO 8859-2 kept", "\xA1\xB1", 16, 1, 13, true, "\xA1\xB1"},
        {"Turkish below 0xD0 unchanged", "\xC7\xD0", 16, 1, 12, true, "\xC7\xD0"},
        // Ids above the table's 24 rows are found by the search, not by indexing past it.
        {"Slovenian (id 28)", "\xA1", 16, 1, 28, true, "\xA1"},
        {"Romanian (id 26)", "\xE3", 16, 1, 26, true, "\xE3"},
        {"unknown id 25 is utf-8", "\xC3\xA9", 16, 1, 25, true, "\xC3\xA9"},
        {"huge id is utf-8", "x", 16, 1, 100000, true, "x"},
        {"negative id is utf-8", "x", 16, 1, -3, true, "x"},
        {"unknown mode", "x", 16, 3, 0, false, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        char output[64];
        memset(output, 0xBD, sizeof(output));
        EXPECT_EQ(row.ok, MPrint::convertDeviceString(reinterpret_cast<const BYTE*>(row.source.data()),
                                                      static_cast<int>(row.source.size()), output, row.outputSize,
                                                      row.mode, row.language));
        EXPECT_EQ(row.output, std::string(output));
        EXPECT_EQ(static_cast<char>(0xBD), output[row.outputSize]) << "written past the output";
    }
    char output[4] = "xy";
    const BYTE one = 'a';
    EXPECT_FALSE(MPrint::convertDeviceString(nullptr, 1, output, 4, 0, 0));
    EXPECT_FALSE(MPrint::convertDeviceString(&one, 0, output, 4, 0, 0));
    EXPECT_FALSE(MPrint::convertDeviceString(&one, 1, output, 0, 0, 0));
    EXPECT_FALSE(MPrint::convertDeviceString(&one, 1, nullptr, 4, 0, 0));

    // Long device texts: at most 509 bytes decoded through a table.
    const std::string longText(600, 'r');
    char big[1024];
    EXPECT_TRUE(MPrint::convertDeviceString(reinterpret_cast<const BYTE*>(longText.data()), 600, big, 1024, 1, 1));
    EXPECT_EQ(509u, strlen(big));
}
