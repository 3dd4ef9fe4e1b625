// Destination verification against real listeners on loopback: the TCP
// check's port normalisation seen by which raw port of the device is
// reached, refused ports, and the URL check against the emulated LEDM
// device, a refused address and a server that never answers.
#include "bidi/DestinationVerifyFactory.h"
#include "bidi/DestinationVerifyPING.h"
#include "bidi/DestinationVerifyURL.h"

#include "support/HttpTestServer.h"
#include "support/LedmDevice.h"
#include "support/RawPortDevice.h"
#include "support/TestEnv.h"

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
    EXPECT_EQ(DestinationVerifyFactory::Create(address, 7, 9100), nullptr);
    EXPECT_EQ(DestinationVerifyFactory::Create(address, 0, 9100), nullptr);
}

TEST(DestinationVerifyTest, TcpCheckReachesTheNormalisedPort)
{
    testenv::RawPortDevice device({9100, 9101, 9102});
    ASSERT_TRUE(device.started());
    const std::wstring host = device.host();
    struct Row {
        uint32_t stored;
        unsigned short reached;
    } rows[] = {{0, 9100}, {1, 9100}, {2, 9101}, {3, 9101}, {9102, 9102}, {9100, 9100}};
    size_t expected[3] = {};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.stored);
        EXPECT_TRUE(verify(host, DestinationVerifyFactory::kPing, row.stored));
        ++expected[row.reached - 9100];
        for (unsigned short port : {9100, 9101, 9102})
            EXPECT_TRUE(device.waitFor(port, expected[port - 9100], 2000)) << port;
        EXPECT_EQ(device.count(row.reached), expected[row.reached - 9100]);
    }
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
