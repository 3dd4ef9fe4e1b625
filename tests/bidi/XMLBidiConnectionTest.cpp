#include "bidi/CompositeBidiConnection.h"
#include "bidi/HttpBidiConnection.h"
#include "bidi/OIDRequest.h"
#include "tickets/DeviceTicket.h"

#include "support/DeviceDataStandIn.h"
#include "support/LedmDevice.h"

#include <gtest/gtest.h>

using namespace MPrint;
using testenv::DeviceDataStandIn;
using testenv::LedmDevice;

namespace {

// One step of a walk: a request with this OID, a get or a get-next, and what
// the request holds afterwards. An integer of -1 with an empty text means
// "no value" (status 2 for get-next, untouched for a failed get).
struct Step {
    const char* oid;
    DWORD mode;
    bool result;
    const char* oidAfter;
    DWORD status;
    DWORD type;
    LONG integer;
    const char* text;
};

constexpr DWORD G = OIDGet;
constexpr DWORD N = OIDGetNext;

void walk(BidiPrinterConnectionIntf& connection, const std::vector<Step>& steps)
{
    for (const Step& step : steps) {
        SCOPED_TRACE(testing::Message() << (step.mode == N ? "next " : "get ") << step.oid);
        BidiRequest request(step.oid);
        const bool result = step.mode == N ? connection.GetNext(&request, 1) : connection.Get(&request, 1);
        if (step.mode == G) {
            EXPECT_EQ(step.result, result);
        }
        EXPECT_EQ(step.oidAfter, request.oid);
        EXPECT_EQ(step.status, request.value.status);
        EXPECT_EQ(step.type, request.value.type);
        EXPECT_EQ(step.integer, request.value.integer);
        EXPECT_EQ(std::string(step.text), request.value.text);
    }
}

const char kModel1[] = "Vrelm Office MFP 4200 B\xc3\xbcro \xe2\x80\x93 \xe6\x97\xa5\xe6\x9c\xac";
const char kModel2[] = "Vrelm Office MFP 4300 B\xc3\xbcro \xe2\x80\x93 \xe6\x97\xa5\xe6\x9c\xac";

class XMLBidiConnectionTest : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        DeviceDataStandIn& standIn = DeviceDataStandIn::shared();
        standIn.addHost(L"USB001", 2, L"mono-legacy");
        standIn.addHost(L"USB002", 1, L"office-ledm\\rev1");
        // A second legacy model written here: an unknown personality, one tray,
        // a number too large for a long.
        static testenv::TempDir odd;
        testenv::writeFile(odd.file(L"ProductInformation.xml"),
                           "<ProductInformation><ProductName>Odd</ProductName>"
                           "<DuplexInstalled>12345678901</DuplexInstalled></ProductInformation>");
        testenv::writeFile(odd.file(L"Phx.xml"),
                           "<Phx><InstalledPersonalitiesSupport><PCL/><PDF/></InstalledPersonalitiesSupport></Phx>");
        testenv::writeFile(odd.file(L"PaperHandling.xml"), "<PaperHandling><Tray2Size>A5</Tray2Size></PaperHandling>");
        standIn.addHost(L"USB003", 2, odd.path());
    }
};

TEST_F(XMLBidiConnectionTest, LedmTableAgainstRevisionOne)
{
    LedmDevice device;
    ASSERT_TRUE(device.started());
    HttpBidiConnection connection;
    EXPECT_TRUE(connection.IsHttpConnection());
    ASSERT_TRUE(connection.Connect(nullptr, device.host().c_str(), BidiAddressIp, kBidiDefaultPort));
    walk(connection, {
        {"1.3.6.1.2.1.25.3.2.1.3.1", G, true, "1.3.6.1.2.1.25.3.2.1.3.1", 1, 0, -1, kModel1},
        {"1.3.6.1.2.1.43.13.4.1.9.1.1", G, true, "1.3.6.1.2.1.43.13.4.1.9.1.1", 1, 0, -1, "Duplex"},
        {"1.3.6.1.2.1.43.13.4.1.9.1.1", N, true, "1.3.6.1.2.1.43.13.4.1.9.1.2", 1, 0, -1, "Duplex"},
        {"1.3.6.1.2.1.43.12.1.1.2.1.1", G, true, "1.3.6.1.2.1.43.12.1.1.2.1.1", 1, 1, 4, ""},
        {"1.3.6.1.2.1.43.15.1.1.2.1", N, true, "1.3.6.1.2.1.43.15.1.1.2.1.0", 1, 1, 3, ""},
        {"1.3.6.1.2.1.43.15.1.1.2.1.1", N, true, "1.3.6.1.2.1.43.15.1.1.2.1.2", 1, 1, 47, ""},
        {"1.3.6.1.2.1.43.15.1.1.2.1.2", N, true, "Invalid", 2, 3, -1, ""},
        {"1.3.6.1.2.1.43.15.1.1.5.1.1", G, true, "1.3.6.1.2.1.43.15.1.1.5.1.1", 1, 0, -1, "application/postscript"},
        {"1.3.6.1.2.1.43.15.1.1.3.1", N, true, "1.3.6.1.2.1.43.15.1.1.3.1.0", 1, 0, -1, "5.1"},
        {"1.3.6.1.2.1.43.8.2.1.13.1", G, false, "1.3.6.1.2.1.43.8.2.1.13.1", 0, 3, -1, ""},
        {"1.3.6.1.2.1.43.8.2.1.13.1", N, true, "1.3.6.1.2.1.43.8.2.1.13.1.1", 1, 2, -1, "Tray1"},
        {"1.3.6.1.2.1.43.8.2.1.13.1.3", N, true, "1.3.6.1.2.1.43.8.2.1.13.1.4", 2, 3, -1, ""},
        {"1.3.6.1.2.1.43.8.2.1.13.1.15", N, true, "Invalid", 2, 3, -1, ""},
        {"1.3.6.1.2.1.43.8.2.1.2.1.2", G, true, "1.3.6.1.2.1.43.8.2.1.2.1.2", 1, 2, -1, "tray"},
        {"1.3.6.1.2.1.43.13.4.1.4.1.1", G, true, "1.3.6.1.2.1.43.13.4.1.4.1.1", 1, 1, 42, ""},
        {"1.3.6.1.4.1.11.2.3.9.4.2.1.1.3.3.0", G, true, "1.3.6.1.4.1.11.2.3.9.4.2.1.1.3.3.0", 1, 0, -1, "VR4200A0001"},
        {"1.3.6.1.2.1.25.2.2.0", G, true, "1.3.6.1.2.1.25.2.2.0", 1, 1, 524288, ""},
        {"1.3.6.1.4.1.11.2.3.9.4.2.1.4.1.8.3.14.1.0", G, true, "1.3.6.1.4.1.11.2.3.9.4.2.1.4.1.8.3.14.1.0", 1, 0, -1, "Letterhead"},
        {"1.3.6.1.4.1.11.2.3.9.4.2.1.4.1.8.3.20.1.0", G, false, "1.3.6.1.4.1.11.2.3.9.4.2.1.4.1.8.3.20.1.0", 0, 3, -1, ""},
        {"1.3.6.1.2.1.43.8.2.1.9.1.3", G, true, "1.3.6.1.2.1.43.8.2.1.9.1.3", 1, 1, 500, ""},
        {"1.9.9", G, false, "1.9.9", 0, 3, -1, ""},
    });
    // Engine speed and capacities ask for fresh trees; the others are kept.
    EXPECT_EQ(1u, device.count("/DevMgmt/ProductConfigDyn.xml"));
    EXPECT_EQ(1u, device.count("/DevMgmt/MediaHandlingCap.xml"));
}

TEST_F(XMLBidiConnectionTest, LedmTableAgainstRevisionTwoUsesTheAlternates)
{
    LedmDevice device(L"office-ledm", 2);
    ASSERT_TRUE(device.started());
    HttpBidiConnection connection;
    ASSERT_TRUE(connection.Connect(nullptr, device.host().c_str(), BidiAddressIp, kBidiDefaultPort));
    walk(connection, {
        {"1.3.6.1.4.1.11.2.3.9.1.1.7.0", G, true, "1.3.6.1.4.1.11.2.3.9.1.1.7.0", 1, 0, -1, kModel2},
        {"1.3.6.1.2.1.43.13.4.1.9.1.2", G, true, "1.3.6.1.2.1.43.13.4.1.9.1.2", 1, 0, -1, "true"},
        {"1.3.6.1.2.1.43.15.1.1.2.1.0", G, true, "1.3.6.1.2.1.43.15.1.1.2.1.0", 1, 1, 47, ""},
        {"1.3.6.1.2.1.43.15.1.1.5.1.1", G, true, "1.3.6.1.2.1.43.15.1.1.5.1.1", 1, 0, -1, "application/postscript"},
        {"1.3.6.1.2.1.43.15.1.1.2.1.1", N, true, "1.3.6.1.2.1.43.15.1.1.2.1.2", 2, 3, -1, ""},
        {"1.3.6.1.2.1.43.13.4.1.4.1.1", G, true, "1.3.6.1.2.1.43.13.4.1.4.1.1", 1, 1, 55, ""},
        {"1.3.6.1.4.1.11.2.3.9.4.2.1.4.1.8.3.14.1.0", G, true, "1.3.6.1.4.1.11.2.3.9.4.2.1.4.1.8.3.14.1.0", 1, 0, -1, "Recycled"},
        {"1.3.6.1.2.1.43.8.2.1.9.1.2", G, true, "1.3.6.1.2.1.43.8.2.1.9.1.2", 1, 1, 550, ""},
        {"1.3.6.1.2.1.25.2.2.0", G, true, "1.3.6.1.2.1.25.2.2.0", 1, 1, 1048576, ""},
    });
}

TEST_F(XMLBidiConnectionTest, LegacyTableWithPdlAndTrayConverters)
{
    CompositeBidiConnection connection;
    EXPECT_FALSE(connection.IsHttpConnection());
    ASSERT_TRUE(connection.Connect(nullptr, L"USB001", BidiAddressLocalPort, kBidiDefaultPort));
    walk(connection, {
        {"1.3.6.1.2.1.25.3.2.1.3.1", G, true, "1.3.6.1.2.1.25.3.2.1.3.1", 1, 0, -1, "Vrelm Mono Laser 300 B\xc3\xbcro"},
        {"1.3.6.1.2.1.43.13.4.1.9.1.1", G, true, "1.3.6.1.2.1.43.13.4.1.9.1.1", 1, 1, 1, ""},
        {"1.3.6.1.4.1.11.2.3.9.4.2.1.4.1.1.4", N, true, "1.3.6.1.4.1.11.2.3.9.4.2.1.4.1.1.4.0", 1, 1, 1, ""},
        {"1.3.6.1.2.1.43.12.1.1.2.1.2", G, true, "1.3.6.1.2.1.43.12.1.1.2.1.2", 1, 1, 0, ""},
        // Reading a record before its column prefix has been walked finds nothing.
        {"1.3.6.1.2.1.43.15.1.1.2.1.1", G, false, "1.3.6.1.2.1.43.15.1.1.2.1.1", 0, 3, -1, ""},
        {"1.3.6.1.2.1.43.15.1.1.2.1", N, true, "1.3.6.1.2.1.43.15.1.1.2.1.0", 1, 1, 3, ""},
        {"1.3.6.1.2.1.43.15.1.1.2.1.1", G, true, "1.3.6.1.2.1.43.15.1.1.2.1.1", 1, 1, 6, ""},
        {"1.3.6.1.2.1.43.15.1.1.2.1.1", N, true, "1.3.6.1.2.1.43.15.1.1.2.1.2", 2, 3, -1, ""},
        {"1.3.6.1.2.1.43.15.1.1.5.1.0", G, true, "1.3.6.1.2.1.43.15.1.1.5.1.0", 1, 0, -1, "application/vnd.qz-PCL"},
        {"1.3.6.1.2.1.43.15.1.1.3.1.1", G, true, "1.3.6.1.2.1.43.15.1.1.3.1.1", 1, 0, -1, "Version 3010.107"},
        // A column prefix answers once per connection.
        {"1.3.6.1.2.1.43.15.1.1.2.1", N, true, "Invalid", 0, 3, -1, ""},
        {"1.3.6.1.2.1.43.8.2.1.2.1", N, true, "1.3.6.1.2.1.43.8.2.1.2.1.1", 2, 3, -1, ""},
        {"1.3.6.1.2.1.43.8.2.1.13.1", N, true, "1.3.6.1.2.1.43.8.2.1.13.1.1", 1, 2, -1, "Tray 2"},
        {"1.3.6.1.2.1.43.8.2.1.13.1.1", N, true, "1.3.6.1.2.1.43.8.2.1.13.1.2", 1, 2, -1, "Tray 3"},
        {"1.3.6.1.2.1.43.8.2.1.2.1", N, true, "1.3.6.1.2.1.43.8.2.1.2.1.1", 1, 1, 3, ""},
        {"1.3.6.1.2.1.43.8.2.1.13.1", N, true, "Invalid", 0, 3, -1, ""},
    });
}

TEST_F(XMLBidiConnectionTest, LegacyOddities)
{
    CompositeBidiConnection connection;
    ASSERT_TRUE(connection.Connect(nullptr, L"USB003", BidiAddressLocalPort, kBidiDefaultPort));
    walk(connection, {
        {"1.3.6.1.2.1.43.13.4.1.9.1.1", G, false, "1.3.6.1.2.1.43.13.4.1.9.1.1", 0, 3, -1, ""},
        {"1.3.6.1.2.1.43.15.1.1.2.1", N, true, "Invalid", 0, 3, -1, ""},
        {"1.3.6.1.2.1.43.8.2.1.13.1", N, true, "1.3.6.1.2.1.43.8.2.1.13.1.1", 1, 2, -1, "Tray 2"},
        {"1.3.6.1.2.1.43.8.2.1.13.1.1", N, true, "1.3.6.1.2.1.43.8.2.1.13.1.2", 2, 3, -1, ""},
    });
}

TEST_F(XMLBidiConnectionTest, CompositeFollowsTheModulesDeviceKind)
{
    CompositeBidiConnection connection;
    ASSERT_TRUE(connection.Connect(nullptr, L"USB002", BidiAddressLocalPort, kBidiDefaultPort));
    walk(connection, {
        {"1.3.6.1.2.1.25.3.2.1.3.1", G, true, "1.3.6.1.2.1.25.3.2.1.3.1", 1, 0, -1, kModel1},
        {"1.3.6.1.2.1.43.8.2.1.9.1.1", G, true, "1.3.6.1.2.1.43.8.2.1.9.1.1", 1, 1, 100, ""},
    });
}

TEST_F(XMLBidiConnectionTest, ArraysAndFailures)
{
    LedmDevice device;
    ASSERT_TRUE(device.started());
    HttpBidiConnection connection;
    BidiRequest none[1];
    EXPECT_FALSE(connection.Get(none, 1)) << "unconnected";
    EXPECT_TRUE(connection.GetNext(none, 1));
    EXPECT_FALSE(connection.Open()) << "constructed without a queue";
    ASSERT_TRUE(connection.Connect(nullptr, device.host().c_str(), BidiAddressIp, kBidiDefaultPort));

    BidiRequest requests[3] = {BidiRequest("1.3.6.1.2.1.25.2.2.0"), BidiRequest("1.9.9"),
                               BidiRequest("1.3.6.1.2.1.43.13.4.1.4.1.1")};
    EXPECT_FALSE(connection.Get(requests, 0));
    EXPECT_TRUE(connection.GetNext(requests, 0));
    {
        // A caller's empty array may point just past its memory: no request is read.
        SYSTEM_INFO system{};
        GetSystemInfo(&system);
        auto* pages = static_cast<BYTE*>(VirtualAlloc(nullptr, 2 * system.dwPageSize, MEM_RESERVE | MEM_COMMIT,
                                                      PAGE_READWRITE));
        ASSERT_NE(nullptr, pages);
        DWORD old = 0;
        ASSERT_TRUE(VirtualProtect(pages + system.dwPageSize, system.dwPageSize, PAGE_NOACCESS, &old));
        auto* pastTheEnd = reinterpret_cast<BidiRequest*>(pages + system.dwPageSize);
        EXPECT_FALSE(connection.Get(pastTheEnd, 0));
        EXPECT_TRUE(connection.GetNext(pastTheEnd, 0));
        VirtualFree(pages, 0, MEM_RELEASE);
    }
    EXPECT_FALSE(connection.Get(requests, 3));
    EXPECT_EQ(524288, requests[0].value.integer);
    EXPECT_EQ(DWORD{BidiNoValue}, requests[1].value.status);
    EXPECT_EQ(DWORD{BidiNoValue}, requests[2].value.status) << "the third was not asked";
    EXPECT_EQ(0u, device.count("/DevMgmt/ProductConfigCap.xml"));

    // A refused address: no LEDM probe answers and the module does not know
    // it as a device, so the connection keeps nothing.
    const std::wstring refused = LedmDevice::unusedHost();
    EXPECT_FALSE(connection.Connect(nullptr, refused.c_str(), BidiAddressIp, kBidiDefaultPort));
    EXPECT_EQ(nullptr, connection.ticket());
    EXPECT_FALSE(connection.Get(requests, 1));
    EXPECT_FALSE(connection.Connect(nullptr, L"", BidiAddressIp, kBidiDefaultPort));

    // Connect again without Close: the first ticket goes.
    ASSERT_TRUE(connection.Connect(nullptr, device.host().c_str(), BidiAddressIp, kBidiDefaultPort));
    ASSERT_TRUE(connection.Connect(nullptr, device.host().c_str(), BidiAddressIp, kBidiDefaultPort));
    EXPECT_TRUE(connection.Close());
    EXPECT_EQ(nullptr, connection.ticket());
}

// Device kinds that no table answers.
TEST_F(XMLBidiConnectionTest, UnknownDeviceKindsFail)
{
    struct Kind : OIDObject {
        explicit Kind(DWORD kind) : kind_(kind) {}
        DWORD getDeviceType() override { return kind_; }
        DWORD kind_;
    };
    CompositeBidiConnection connection;
    ASSERT_TRUE(connection.Connect(nullptr, L"USB001", BidiAddressLocalPort, kBidiDefaultPort));
    for (DWORD kind : {0u, 3u}) {
        Kind object(kind);
        BidiRequest request("1.3.6.1.2.1.25.3.2.1.3.1");
        EXPECT_FALSE(executeOIDRequest(&object, OIDGet, request.oid, &request, connection.ticket()));
        EXPECT_EQ(DWORD{BidiNoValue}, request.value.status);
    }
}

} // namespace
