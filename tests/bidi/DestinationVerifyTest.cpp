// Destination verification against real listeners on loopback: the TCP
// and port-server checks' port normalisation seen by which raw port of the
// device is reached, refused ports, the address kind the port server is
// given, and the URL check against the emulated LEDM device, a refused
// address and a server that never answers.
#include "bidi/DestinationVerifyFactory.h"
#include "bidi/DestinationVerifyPING.h"
#include "bidi/DestinationVerifyPML.h"
#include "bidi/DestinationVerifyURL.h"

#include "support/HttpTestServer.h"
#include "support/LedmDevice.h"
#include "support/RawPortDevice.h"
#include "support/TestEnv.h"
#include "support/TrebukStandIn.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

bool verify(const std::wstring& address, int type, uint32_t port)
{
    std::unique_ptr<DestinationVerify> check(DestinationVerifyFactory::Create(Address(address), type, port));
    return check && check->Verify();
}

} // namespace

TEST(DestinationVerifyTest, FactoryMakesOneVerifierPerType)
{
    const Address address(L"10.0.0.5");
    std::unique_ptr<DestinationVerify> url(DestinationVerifyFactory::Create(address, 1, 2));
    EXPECT_NE(dynamic_cast<DestinationVerifyURL*>(url.get()), nullptr);
    std::unique_ptr<DestinationVerify> ping(DestinationVerifyFactory::Create(address, 2, 2));
    ASSERT_NE(dynamic_cast<DestinationVerifyPING*>(ping.get()), nullptr);
    EXPECT_EQ(ping->getPort(), 2u) << "kept as stored; normalised when checked";
    std::unique_ptr<DestinationVerify> pml(DestinationVerifyFactory::Create(address, 3, 3));
    ASSERT_NE(dynamic_cast<DestinationVerifyPML*>(pml.get()), nullptr);
    EXPECT_EQ(pml->getPort(), 3u);
    EXPECT_EQ(DestinationVerifyFactory::Create(address, 7, 9100), nullptr);
    EXPECT_EQ(DestinationVerifyFactory::Create(address, 0, 9100), nullptr);
}

TEST(DestinationVerifyTest, TcpAndPortServerChecksReachTheNormalisedPort)
{
    ASSERT_TRUE(testtrebuk::registerServer());
    testenv::RawPortDevice device({9100, 9101, 9102});
    ASSERT_TRUE(device.started());
    const std::wstring host = device.host();
    struct Row {
        uint32_t stored;
        unsigned short reached;
    } rows[] = {{0, 9100}, {1, 9100}, {2, 9101}, {3, 9101}, {9102, 9102}, {9100, 9100}};
    size_t expected[3] = {};
    for (int type : {DestinationVerifyFactory::kPing, DestinationVerifyFactory::kPml}) {
        for (const Row& row : rows) {
            SCOPED_TRACE(testing::Message() << "type " << type << ", port " << row.stored);
            EXPECT_TRUE(verify(host, type, row.stored));
            ++expected[row.reached - 9100];
            for (unsigned short port : {9100, 9101, 9102})
                EXPECT_TRUE(device.waitFor(port, expected[port - 9100], 2000)) << port;
            EXPECT_EQ(device.count(row.reached), expected[row.reached - 9100]);
        }
    }
}

TEST(DestinationVerifyTest, PortServerCheckAnswersForLiveDevicesOnly)
{
    ASSERT_TRUE(testtrebuk::registerServer());
    testtrebuk::ScopedCallLog log;
    testtrebuk::ScopedDevice known;
    testenv::LedmDevice web;
    ASSERT_TRUE(web.started());
    testenv::RawPortDevice raw({9100});
    ASSERT_TRUE(raw.started());
    struct Row {
        const char* name;
        std::wstring address;
        uint32_t port;
        bool verified;
        const char* kind; // passed to the server; null: the server is not asked
        const char* reachedPort;
    } rows[] = {
        {"a device the server knows", known.address(), 3, true, "2", "9101"},
        {"the web port of a live device", web.host(), 8080, true, "2", "8080"},
        {"a refused port of a live device", raw.host(), 2, false, "2", "9101"},
        {"an IPv6 literal", L"::1", 0, false, "2", "9100"},
        {"a host name", L"printer.invalid", 0, false, "4", "9100"},
        {"no address", L"", 0, false, nullptr, nullptr},
        {"neither address nor name", L"bad host!", 0, false, nullptr, nullptr},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const size_t before = log.calls("connect").size();
        EXPECT_EQ(verify(row.address, DestinationVerifyFactory::kPml, row.port), row.verified);
        const auto connects = log.calls("connect");
        if (!row.kind) {
            EXPECT_EQ(connects.size(), before);
            continue;
        }
        // A dead device fails after the server's two attempts, not five.
        ASSERT_EQ(connects.size() - before, row.verified ? 1u : 2u);
        const std::vector<std::string>& call = connects.back();
        ASSERT_GE(call.size(), 4u);
        EXPECT_EQ(call[0], "(null)") << "no port name";
        EXPECT_EQ(call[1], row.kind);
        EXPECT_EQ(call[2], testenv::narrow(row.address));
        EXPECT_EQ(call[3], row.reachedPort);
    }
    EXPECT_EQ(log.count("disconnect"), 2u) << "each connection that answered is closed";
}

TEST(DestinationVerifyTest, TcpCheckFailsOnRefusedPortsAndBadAddresses)
{
    testenv::RawPortDevice device({9100});
    ASSERT_TRUE(device.started());
    EXPECT_TRUE(verify(device.host(), DestinationVerifyFactory::kPing, 0));
    EXPECT_FALSE(verify(device.host(), DestinationVerifyFactory::kPing, 2)) << "nothing listens on 9101";
    EXPECT_FALSE(verify(device.host(), DestinationVerifyFactory::kPing, 9102));
    for (const wchar_t* address : {L"", L"bad host!", L".leading", L"http://10.0.0.5/"}) {
        SCOPED_TRACE(testenv::narrow(address));
        EXPECT_FALSE(verify(address, DestinationVerifyFactory::kPing, 0));
    }
}

TEST(DestinationVerifyTest, UrlCheckOpensHttpUrlsOnly)
{
    testenv::LedmDevice device;
    ASSERT_TRUE(device.started());
    const std::wstring base = L"http://" + device.host() + L":8080";
    EXPECT_TRUE(verify(base + L"/DevMgmt/DiscoveryTree.xml", DestinationVerifyFactory::kUrl, 0));
    EXPECT_TRUE(verify(base + L"/missing.xml", DestinationVerifyFactory::kUrl, 0)) << "any answer counts";
    EXPECT_EQ(device.count("/DevMgmt/DiscoveryTree.xml"), 1u);
    EXPECT_FALSE(verify(L"https://" + device.host() + L":8080/", DestinationVerifyFactory::kUrl, 0));
    EXPECT_FALSE(verify(L"HTTP://" + device.host() + L":8080/", DestinationVerifyFactory::kUrl, 0))
        << "the scheme in its own case only";
    EXPECT_FALSE(verify(device.host(), DestinationVerifyFactory::kUrl, 0));
    EXPECT_FALSE(verify(L"", DestinationVerifyFactory::kUrl, 0));
    EXPECT_FALSE(verify(L"http://" + testenv::LedmDevice::unusedHost() + L":8080/", DestinationVerifyFactory::kUrl, 0));
}

TEST(DestinationVerifyTest, UrlCheckGivesUpOnSilentAndLoopingServers)
{
    testenv::HttpTestServer server;
    ASSERT_TRUE(server.started());
    testenv::HttpAnswer silent;
    silent.kind = testenv::HttpAnswer::Kind::Silent;
    server.answer("/silent", silent);
    server.answer("/loop", testenv::HttpAnswer::raw("HTTP/1.1 302 Found\r\nLocation: /loop\r\nContent-Length: 0\r\n\r\n"));
    EXPECT_FALSE(verify(server.url("/silent"), DestinationVerifyFactory::kUrl, 0)) << "bounded by the time-outs";
    EXPECT_TRUE(verify(server.url("/loop"), DestinationVerifyFactory::kUrl, 0)) << "a redirect is an answer";
    EXPECT_EQ(server.count("/loop"), 1u) << "and is not followed";
}
