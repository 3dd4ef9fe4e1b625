// The connection factory: which connection each port kind and address gets
// (USB by the current destination's driver, LEDM hosts by their probe, the
// Trebuk port's server otherwise), and that what it hands out answers a batch
// against the device behind it.
#include "bidi/BidiConnectionFactory.h"

#include "bidi/CompositeBidiConnection.h"
#include "bidi/CurrentDestination.h"
#include "bidi/DeviceIDBidiConnection.h"
#include "bidi/HttpBidiConnection.h"
#include "bidi/TrebukBidiConnection.h"
#include "support/LedmDevice.h"
#include "support/QueueData.h"
#include "support/SharedState.h"
#include "support/TestSpooler.h"
#include "support/TrebukStandIn.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <typeinfo>

VRELM_TEST_SHARES(cluster_node);

namespace {

using MPrint::BidiPrinterConnectionIntf;

std::wstring g_currentQueue;
std::wstring currentQueue()
{
    return g_currentQueue;
}

// The current destination's queue for the scope; its driver is the test's own.
class ScopedCurrentQueue : public testspool::DriverQueue {
public:
    ScopedCurrentQueue() : DriverQueue(L"Factory")
    {
        g_currentQueue = name();
        MPrint::setCurrentPrinterNameSource(&currentQueue);
    }
    ~ScopedCurrentQueue()
    {
        MPrint::setCurrentPrinterNameSource(nullptr);
        g_currentQueue.clear();
    }
};

enum Kind { kNull, kDeviceId, kComposite, kHttp, kTrebuk };

Kind kindOf(const BidiPrinterConnectionIntf* connection)
{
    if (!connection)
        return kNull;
    if (dynamic_cast<const MPrint::DeviceIDBidiConnection*>(connection))
        return kDeviceId;
    if (dynamic_cast<const MPrint::CompositeBidiConnection*>(connection))
        return kComposite;
    if (dynamic_cast<const MPrint::HttpBidiConnection*>(connection))
        return kHttp;
    if (dynamic_cast<const MPrint::TrebukBidiConnection*>(connection))
        return kTrebuk;
    return kNull;
}

} // namespace

TEST(BidiConnectionFactory, EachPortKindAndAddressGetsItsConnection)
{
    ASSERT_NE(nullptr, testspool::control());
    ScopedCurrentQueue current;
    ASSERT_TRUE(current.ready());
    testenv::LedmDevice ledm;
    ASSERT_TRUE(ledm.started());

    struct Row {
        const char* name;
        const wchar_t* port;      // null: a null name
        std::optional<std::wstring> verifyPdl;
        Kind kind;
        bool pcl3;
    } rows[] = {
        {"null name", nullptr, {}, kNull, false},
        {"USB with a PCL3 driver", L"USB001", L"PCL3", kDeviceId, true},
        {"only the first three letters count", L"USBXYZ", L"PCL3", kDeviceId, true},
        {"USB with another PDL", L"USB001", L"PCL5", kComposite, false},
        {"PCL3 compared case-sensitively", L"USB001", L"pcl3", kComposite, false},
        {"PCL3 compared as a whole", L"USB001", L"PCL3 ", kComposite, false},
        {"USB without VerifyPDL", L"USB001", {}, kComposite, false},
        {"lower-case usb is no USB port", L"usb001", L"PCL3", kTrebuk, true},
        {"LEDM device", nullptr, {}, kHttp, false},
        {"address without LEDM", nullptr, {}, kTrebuk, false},
        {"host name (never probed)", L"printer.example", {}, kTrebuk, false},
    };
    const std::wstring ledmHost = ledm.host();
    const std::wstring silentHost = testenv::LedmDevice::unusedHost();
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ASSERT_TRUE(current.setVerifyPdl(row.verifyPdl));
        const wchar_t* name = row.port;
        if (std::string(row.name) == "LEDM device")
            name = ledmHost.c_str();
        else if (std::string(row.name) == "address without LEDM")
            name = silentHost.c_str();
        EXPECT_EQ(row.pcl3, MPrint::isCurrentDriverPcl3());
        std::unique_ptr<BidiPrinterConnectionIntf> connection(MPrint::createBidiConnection(name));
        EXPECT_EQ(row.kind, kindOf(connection.get()));
        if (row.kind == kTrebuk) {
            EXPECT_EQ(current.name(), static_cast<MPrint::TrebukBidiConnection*>(connection.get())->getPrinterName());
        }
    }

    // No current destination: no PCL3 driver.
    ASSERT_TRUE(current.setVerifyPdl(L"PCL3"));
    MPrint::setCurrentPrinterNameSource(nullptr);
    EXPECT_FALSE(MPrint::isCurrentDriverPcl3());
    std::unique_ptr<BidiPrinterConnectionIntf> usb(MPrint::createBidiConnection(L"USB001"));
    EXPECT_EQ(kComposite, kindOf(usb.get()));
    g_currentQueue = L"No Such Queue";
    MPrint::setCurrentPrinterNameSource(&currentQueue);
    EXPECT_FALSE(MPrint::isCurrentDriverPcl3());

    EXPECT_EQ(nullptr, MPrint::createTrebukBidiConnection(nullptr));
    EXPECT_EQ(nullptr, MPrint::createTrebukBidiConnection(L""));
    std::unique_ptr<BidiPrinterConnectionIntf> named(MPrint::createTrebukBidiConnection(L"Named Queue"));
    ASSERT_EQ(kTrebuk, kindOf(named.get()));
    EXPECT_EQ(L"Named Queue", static_cast<MPrint::TrebukBidiConnection*>(named.get())->getPrinterName());
}

TEST(BidiConnectionFactory, WhatItHandsOutAnswersTheDeviceBehindIt)
{
    ASSERT_TRUE(testtrebuk::registerServer());
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    {
        testenv::LedmDevice ledm;
        testtrebuk::ScopedDevice snmp;
        const std::wstring ledmHost = ledm.host();
        for (const std::wstring& address : {ledmHost, snmp.address()}) {
            SCOPED_TRACE(testenv::narrow(address));
            std::unique_ptr<BidiPrinterConnectionIntf> connection(MPrint::createBidiConnection(address.c_str()));
            ASSERT_NE(nullptr, connection);
            EXPECT_EQ(address == ledmHost, connection->IsHttpConnection());
            ASSERT_TRUE(connection->Connect(nullptr, address.c_str(), MPrint::BidiAddressIp, MPrint::kBidiDefaultPort));
            // The model (hrDeviceDescr) and the PDL column's first interpreter.
            MPrint::BidiRequest batch[] = {MPrint::BidiRequest("1.3.6.1.2.1.25.3.2.1.3.1"),
                                           MPrint::BidiRequest("1.3.6.1.2.1.43.15.1.1.2.1")};
            EXPECT_TRUE(connection->Get(batch, 1));
            EXPECT_TRUE(connection->GetNext(batch + 1, 1));
            EXPECT_EQ(0u, batch[1].oid.find("1.3.6.1.2.1.43.15.1.1.2.1.")) << batch[1].oid;
            EXPECT_EQ(MPrint::BidiText, batch[0].value.type);
            EXPECT_EQ(0u, batch[0].value.text.find("Vrelm Office MFP 4200")) << batch[0].value.text;
            EXPECT_TRUE(connection->Close());
        }
    }
    CoUninitialize();
}
