// The UNC helper against the Trebuk server stand-in and the spooler
// stand-in: what it searches, what it connects to (the server's call log),
// and what it records on the print path and the local queue.
#include "bidi/TrebukBidiConnection.h"
#include "bidi/UNCBidiConnectionHelper.h"
#include "destination/PrintPath.h"
#include "support/QueueData.h"
#include "support/TestEnv.h"
#include "support/TestSpooler.h"
#include "support/TrebukStandIn.h"

#include <gtest/gtest.h>

#include <memory>

using MPrint::PrintPath;
using MPrint::TrebukBidiConnection;
using MPrint::UNCBidiConnectionHelper;

namespace {

struct Outcome {
    std::unique_ptr<TrebukBidiConnection> connection;
    bool connected = false;
};

Outcome run(PrintPath& path, const wchar_t* sharedQueue, const wchar_t* uncPort)
{
    Outcome outcome;
    UNCBidiConnectionHelper helper;
    outcome.connection.reset(helper.setBIDIHelperValues(&path, sharedQueue, uncPort, &outcome.connected));
    return outcome;
}

std::string narrowOf(const std::wstring& text) { return testenv::narrow(text); }

} // namespace

TEST(UNCBidiConnectionHelper, AddressesAndIpxNormalisation)
{
    struct Row {
        const wchar_t* text;
        bool ok;
        const wchar_t* host;
        DWORD kind;
        DWORD port;
    } rows[] = {
        {L"10.0.0.5:9101", true, L"10.0.0.5", 2, 9101},
        {L"10.0.0.5", true, L"10.0.0.5", 2, 9100},
        {L"printer.example", true, L"printer.example", 4, 9100},
        {L"printer.example:9102", true, L"printer.example", 4, 9102},
        {L"fe80::1", true, L"fe80::1", 2, 9100},  // not host "fe80", port ":1"
        {L"[fe80::1]:9102", true, L"fe80::1", 2, 9102},
        {L"", false, L"", 0, 0},
        {L":9100", false, L"", 0, 0},
        {L"host:", false, L"", 0, 0},
        {L"host:abc", false, L"", 0, 0},
        {L"host:70000", false, L"", 0, 0},
        {L"[fe80::1", false, L"", 0, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(narrowOf(row.text));
        std::wstring host = L"unchanged";
        DWORD kind = 77, port = 77;
        EXPECT_EQ(UNCBidiConnectionHelper::resolveAddress(row.text, host, kind, port), row.ok);
        if (row.ok) {
            EXPECT_EQ(host, row.host);
            EXPECT_EQ(kind, row.kind);
            EXPECT_EQ(port, row.port);
        } else {
            EXPECT_EQ(host, L"unchanged");
        }
    }

    struct IpxRow {
        const wchar_t* text;
        const wchar_t* normalised;  // null: refused
    } ipx[] = {
        {L"1234.56789A", L"00001234.00000056789A"},
        {L"ABCDEF01.0123456789AB", L"ABCDEF01.0123456789AB"},
        {L"123456789.1", nullptr},        // network part past 8 digits
        {L"1.1234567890123", nullptr},    // node part past 12 digits
        {L"12G4.1", nullptr},
        {L"1.", nullptr},
        {L".1", nullptr},
        {L"1234", nullptr},
    };
    for (const IpxRow& row : ipx) {
        SCOPED_TRACE(narrowOf(row.text));
        std::wstring address;
        EXPECT_EQ(UNCBidiConnectionHelper::normaliseIpxAddress(row.text, address), row.normalised != nullptr);
        if (row.normalised) {
            EXPECT_EQ(address, row.normalised);
        }
    }
}

TEST(UNCBidiConnectionHelper, AConfigAddressConnectsAndIsRecordedThenReused)
{
    ASSERT_NE(testspool::control(), nullptr);
    ASSERT_TRUE(testtrebuk::registerServer());
    testtrebuk::ScopedDevice device;
    testtrebuk::ScopedCallLog log;
    testspool::ScopedQueue local(testspool::uniqueQueueName(L"UNC Local"));
    ASSERT_EQ(local.error(), DWORD{ERROR_SUCCESS});

    PrintPath path;
    path.setStringAttribute(L"DeviceConfigAddress", device.address() + L":9101", true);
    path.setStringAttribute(L"LocalPrinterName", local.name(), true);
    Outcome first = run(path, L"\\\\PC7\\Laser", L"PORT7");
    ASSERT_NE(first.connection, nullptr);
    EXPECT_TRUE(first.connected);
    EXPECT_EQ(path.getNumericAttribute(L"BidiCType"), 2u);
    EXPECT_EQ(path.getStringAttribute(L"UNCPort"), L"PORT7");
    EXPECT_EQ(path.getNumericAttribute(L"BIDIPortType"), 2u);
    EXPECT_EQ(path.getNumericAttribute(L"BIDIPortNumber"), 9101u);
    EXPECT_EQ(path.getNumericAttribute(L"BIDIDeviceAddressOverride"), 1u);
    EXPECT_EQ(path.getStringAttribute(L"BidiPort"), device.address());
    EXPECT_EQ(path.getNumericAttribute(L"SetBIDIHelperValuesXcv"), 0xFFFFFFFFu);

    ScopedPrinter queue = testspool::openQueue(local.name());
    const testspool::DataValues data = testspool::enumDataValues(queue.get(), L"PrinterDriverData");
    const testspool::DataValues expected = {
        {L"BIDIPortType", {REG_DWORD, testspool::dwordBytes(2)}},
        {L"BIDIPortNumber", {REG_DWORD, testspool::dwordBytes(9101)}},
        {L"BIDIDeviceAddressOverride", {REG_DWORD, testspool::dwordBytes(1)}},
        {L"BIDIDeviceAddress", {REG_SZ, testspool::textBytes(device.address())}},
        {L"BIDICurrentPort", {REG_SZ, testspool::textBytes(L"\\\\PC7\\Laser")}},
    };
    for (const auto& [name, value] : expected) {
        SCOPED_TRACE(narrowOf(name));
        ASSERT_TRUE(data.count(name));
        EXPECT_EQ(data.at(name), value);
    }

    // Same UNC port: the stored address, no search (the config address is gone).
    path.removeStringAttribute(L"DeviceConfigAddress");
    Outcome again = run(path, L"\\\\PC7\\Laser", L"PORT7");
    EXPECT_TRUE(again.connected);
    const auto connects = log.calls("connect");
    ASSERT_GE(connects.size(), 2u);
    for (const auto& fields : connects) {
        ASSERT_GE(fields.size(), 4u);
        EXPECT_EQ(fields[1], "2");
        EXPECT_EQ(fields[2], narrowOf(device.address()));
        EXPECT_EQ(fields[3], "9101");
    }

    // Another UNC port: the stored results no longer apply.
    path.setStringAttribute(L"DeviceConfigAddress", device.address(), true);
    path.setNumericAttribute(L"ExternalConfigType", 2, true);
    Outcome changed = run(path, L"\\\\PC7\\Laser", L"PORT8");
    EXPECT_TRUE(changed.connected);
    EXPECT_EQ(path.getStringAttribute(L"UNCPort"), L"PORT8");
    EXPECT_EQ(path.getNumericAttribute(L"BIDIPortNumber"), 9100u);
    EXPECT_EQ(path.getNumericAttribute(L"BIDIDeviceAddressOverride"), 0u);
}

// A path whose last search found nothing holds "UNCPort" but no type: it
// must search again, not stay without a connection for good.
TEST(UNCBidiConnectionHelper, AStoredPortWithoutATypeSearchesAgain)
{
    ASSERT_TRUE(testtrebuk::registerServer());
    testtrebuk::ScopedDevice device;
    PrintPath path;
    path.setStringAttribute(L"UNCPort", L"PORT7", true);
    path.setStringAttribute(L"DeviceConfigAddress", device.address(), true);
    path.setStringAttribute(L"LocalPrinterName", L"no such local queue", true);
    Outcome outcome = run(path, L"\\\\PC7\\Laser", L"PORT7");
    ASSERT_NE(outcome.connection, nullptr);
    EXPECT_TRUE(outcome.connected);
    EXPECT_EQ(path.getNumericAttribute(L"BidiCType"), 2u);
    // The local queue cannot be opened: the monitor is to be asked later.
    EXPECT_EQ(path.getNumericAttribute(L"SetBIDIHelperValuesXcv"), 1u);
    EXPECT_FALSE(path.attributes().at(L"SetBIDIHelperValuesXcv").persist);
}

TEST(UNCBidiConnectionHelper, AFailedTcpConnectFallsBackToTheQueueAndRemembersIt)
{
    ASSERT_TRUE(testtrebuk::registerServer());
    testtrebuk::DeviceScript script;
    script.connectFailures = 0xFFFFFFFF;
    testtrebuk::ScopedDevice device(script);
    testtrebuk::ScopedCallLog log;
    PrintPath path;
    path.setStringAttribute(L"DeviceConfigAddress", device.address(), true);
    Outcome outcome = run(path, L"\\\\PC7\\Missing", L"PORT7");
    ASSERT_NE(outcome.connection, nullptr);
    EXPECT_EQ(outcome.connection->getPrinterName(), L"\\\\PC7\\Missing");
    EXPECT_FALSE(outcome.connected);
    EXPECT_EQ(path.getNumericAttribute(L"BidiCType"), 0u);
    const size_t attempts = log.calls("connect").size();
    EXPECT_GE(attempts, 1u);

    // The next call goes through the queue at once.
    Outcome again = run(path, L"\\\\PC7\\Missing", L"PORT7");
    EXPECT_EQ(log.calls("connect").size(), attempts);
}

TEST(UNCBidiConnectionHelper, IpxAddressesAreNormalisedOrSearched)
{
    ASSERT_TRUE(testtrebuk::registerServer());
    testtrebuk::ScopedCallLog log;
    PrintPath path;
    path.setStringAttribute(L"UNCPort", L"PORT7", true);
    path.setNumericAttribute(L"BidiCType", 1, true);
    path.setStringAttribute(L"BidiPort", L"1234.56789A", true);
    path.setNumericAttribute(L"TrebukPortInfo", 8, true);
    path.setNumericAttribute(L"TrebukPort", 1234, true);
    Outcome dotted = run(path, L"\\\\PC7\\Laser", L"PORT7");
    ASSERT_NE(dotted.connection, nullptr);
    const auto connects = log.calls("connect");
    ASSERT_FALSE(connects.empty());
    EXPECT_EQ(connects.back()[1], "8");
    EXPECT_EQ(connects.back()[2], "00001234.00000056789A");
    EXPECT_EQ(connects.back()[3], "1234");

    // Without a network part the adapters are searched; Wine has no IPX.
    path.setStringAttribute(L"BidiPort", L"56789A", true);
    Outcome searched = run(path, L"\\\\PC7\\Laser", L"PORT7");
    ASSERT_NE(searched.connection, nullptr);
    EXPECT_FALSE(searched.connected);
    EXPECT_EQ(log.calls("connect").size(), connects.size());
}
