// The device-data module lacking one of its exports: it is never used. In a
// process of its own, since a loaded module stays for the process's life.
#include "tickets/DeviceTicketFactory.h"
#include "tickets/DeviceTicketLEDM.h"
#include "tickets/DeviceTicketLELegacy.h"
#include "tickets/XMLTreeLibrary.h"

#include "support/DeviceDataStandIn.h"
#include "support/LedmDevice.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

TEST(DeviceTicketNoLibrary, AModuleLackingAnExportIsNeverUsed)
{
    testenv::DeviceDataStandIn& standIn = testenv::DeviceDataStandIn::shared(L"lacking");
    ASSERT_TRUE(standIn.ready());
    standIn.addHost(L"USB001", 2, L"mono-legacy");

    // First use from many threads at once: each gets the same answer.
    std::vector<std::thread> threads;
    std::atomic<int> found{0};
    for (int i = 0; i < 8; ++i)
        threads.emplace_back([&] { found += MPrint::XMLTreeLibrary::instance() != nullptr; });
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(0, found.load());
    EXPECT_TRUE(standIn.calls().empty()) << "no export was called";

    MPrint::DeviceTicket* ticket = reinterpret_cast<MPrint::DeviceTicket*>(0x1);
    MPrint::DeviceTicketFactory::create(testenv::LedmDevice::unusedHost(), &ticket);
    EXPECT_EQ(nullptr, ticket);
    MPrint::DeviceTicketLELegacy legacy;
    EXPECT_FALSE(legacy.open(L"USB001"));
    MPrint::DeviceTicketLEDM ledm;
    EXPECT_FALSE(ledm.open(L"USB001"));

    // An LEDM device still works: it needs no module.
    testenv::LedmDevice device;
    ASSERT_TRUE(device.started());
    MPrint::DeviceTicketFactory::create(device.host(), &ticket);
    ASSERT_NE(nullptr, ticket);
    EXPECT_TRUE(ticket->open(device.host()));
    std::wstring text;
    EXPECT_TRUE(ticket->getValue(L"/pucap:ProductUsageCap/pucap:ConsumableSubunitCap/pucap:MarkerColorSupport", text, true));
    EXPECT_EQ(L"4", text);
    delete ticket;
}

} // namespace
