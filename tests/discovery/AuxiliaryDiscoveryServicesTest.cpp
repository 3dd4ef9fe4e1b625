// The small discovery services: job-delivery addresses (the marker's place,
// what the device check adds and when it adds nothing), the preconfigured
// service's search codes and the auto-created client ports.
#include "discovery/AutoCreatedPortDiscovery.h"
#include "discovery/JobDeliveryAddressDiscovery.h"
#include "discovery/PreconfiguredDiscovery.h"

#include "destination/PrintPathAttr.h"
#include "discovery/DiscoveryClassIds.h"
#include "support/ScopedCurrentJob.h"
#include "support/TestEnv.h"

#include <gtest/gtest.h>

#include <iterator>
#include <string>

using MPrint::PrintPath;


TEST(JobDeliveryAddressDiscoveryTest, ResolvesOnlyMarkedAddresses)
{
    struct Row {
        std::wstring address;
        bool resolved;
        std::wstring stored = {};
        std::wstring ip = {};
    } rows[] = {
        {L"^_//_^10.0.0.5", true, L"10.0.0.5", L"10.0.0.5"},
        {L"^_//_^fe80::1", true, L"fe80::1", L"fe80::1"},
        {L"^_//_^printer7.corp", true, L"printer7.corp"},
        {L"^_//_^", true},
        {L"10.0.0.5", false},
        // Only a leading marker marks: elsewhere, cutting six characters
        // from the front would make "_^x" of it.
        {L"ab^_//_^x", false},
        {L" ^_//_^10.0.0.5", false},
        {L"^_//_10.0.0.5", false},
    };
    MPrint::JobDeliveryAddressDiscovery service;
    EXPECT_EQ(service.GetSearchCapabilities(), 16u);
    for (const Row& row : rows) {
        SCOPED_TRACE(testenv::narrow(row.address));
        PrintPathList list;
        EXPECT_EQ(service.Resolve(nullptr, row.address, L"Nick", L"Shown", list), 0u);
        ASSERT_EQ(list.size(), row.resolved ? 1u : 0u);
        if (!row.resolved)
            continue;
        const PrintPath& path = *list.front().get();
        EXPECT_EQ(path.getStringAttribute(PrintPathAttr::Address), row.stored);
        EXPECT_EQ(path.getStringAttribute(PrintPathAttr::IPAddress), row.ip);
        EXPECT_EQ(path.getStringAttribute(PrintPathAttr::Nickname), L"Nick");
        EXPECT_EQ(path.getStringAttribute(PrintPathAttr::DisplayString), L"Shown");
        GUID id{};
        ASSERT_TRUE(path.getDiscoveryId(id));
        EXPECT_TRUE(IsEqualGUID(id, discoveryids::kJobDelivery));
        EXPECT_EQ(path.configuratorsBegin(), path.configuratorsEnd()) << "Resolve adds the discovery id only";
        EXPECT_EQ(path.getNumericAttribute(PrintPathAttr::ManuallyEntered), 0xFFFFFFFFu);
    }
}

TEST(JobDeliveryAddressDiscoveryTest, DeviceCheckAddsSnmpConfigurationOnce)
{
    MPrint::JobDeliveryAddressDiscovery service;
    EXPECT_EQ(service.ValidateDevice(nullptr, nullptr), 3u);

    PrintPath path;
    EXPECT_EQ(service.ValidateDevice(nullptr, &path), 0u);
    EXPECT_EQ(service.ValidateDevice(nullptr, &path), 0u);
    ASSERT_EQ(std::distance(path.configuratorsBegin(), path.configuratorsEnd()), 1) << "not again on the second check";
    EXPECT_TRUE(IsEqualGUID(*path.configuratorsBegin(), discoveryids::kSnmpConfigurator));
    ASSERT_EQ(std::distance(path.featuresBegin(), path.featuresEnd()), 1);
    EXPECT_TRUE(IsEqualGUID(*path.featuresBegin(), discoveryids::kTcpIpFeatureAccessor));
    EXPECT_EQ(path.getNumericAttribute(PrintPathAttr::ManuallyEntered), 1u);

    for (DWORD value : {0u, 1u, 0xFFFFFFFFu}) {
        SCOPED_TRACE(value);
        PrintPath quiet;
        quiet.setNumericAttribute(PrintPathAttr::NoBidiQuery, value, false);
        EXPECT_EQ(service.ValidateDevice(nullptr, &quiet), 0u);
        EXPECT_EQ(quiet.configuratorsBegin(), quiet.configuratorsEnd()) << "its presence alone counts";
        EXPECT_EQ(quiet.getNumericAttribute(PrintPathAttr::ManuallyEntered), 0xFFFFFFFFu);
    }
    PrintPath textual;
    textual.setStringAttribute(PrintPathAttr::NoBidiQuery, L"1", false);
    service.ValidateDevice(nullptr, &textual);
    EXPECT_NE(textual.configuratorsBegin(), textual.configuratorsEnd()) << "only a numeric value counts";
}

TEST(PreconfiguredDiscoveryTest, SearchReportsWhetherItMayRun)
{
    MPrint::PreconfiguredDiscovery service;
    PrintPathList list;
    EXPECT_EQ(service.GetSearchCapabilities(), 2u);
    EXPECT_EQ(service.Execute(nullptr), 9u);
    EXPECT_EQ(service.Resolve(nullptr, L"10.0.0.5", L"n", L"d", list), 9u);
    EXPECT_EQ(service.ValidateDevice(nullptr, nullptr), 0u);

    EXPECT_EQ(service.Search(nullptr, nullptr, list, 2), 7u) << "not enabled";
    service.SetEnabled(true);
    EXPECT_EQ(service.Search(nullptr, nullptr, list, 2), 4u) << "not started";
    ASSERT_EQ(service.Start(), 0u);
    for (uint32_t flags : {8u, 40u, 0u, 3u})
        EXPECT_EQ(service.Search(nullptr, nullptr, list, flags), 3u) << flags;
    service.RequestCancel();
    EXPECT_EQ(service.Search(nullptr, nullptr, list, 2), 0u);
    EXPECT_FALSE(service.IsCancelled());
    EXPECT_TRUE(list.empty());
}

TEST(AutoCreatedPortDiscoveryTest, ClientPortsResolveToTheCurrentQueue)
{
    MPrint::AutoCreatedPortDiscovery service;
    EXPECT_EQ(service.GetSearchCapabilities(), 20u);
    PrintPathList list;
    EXPECT_EQ(service.Search(nullptr, nullptr, list, 8), 9u);
    struct Row {
        const wchar_t* address;
        bool autoCreated;
        int type; // after the call, from 99
    } rows[] = {
        {L"TS001", true, 8},
        {L"client:3:Ulmaro Vennaset", true, 7},
        {L"IP_10.0.0.5", false, 1},
        {L"", false, 99}, // nothing classified: the type is kept
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testenv::narrow(row.address));
        int type = 99;
        EXPECT_EQ(service.IsAutoCreatedPort(row.address, type), row.autoCreated);
        EXPECT_EQ(type, row.type);
    }

    EXPECT_EQ(service.Resolve(nullptr, L"TS001", L"n", L"d", list), 3u) << "no current job";
    {
        testenv::ScopedCurrentJob job(L"Front Desk");
        EXPECT_EQ(service.Resolve(nullptr, L"IP_10.0.0.5", L"n", L"d", list), 3u);
        ASSERT_EQ(service.Resolve(nullptr, L"TS001", L"n", L"d", list), 0u);
    }
    ASSERT_EQ(list.size(), 1u);
    const PrintPath& path = *list.front().get();
    wchar_t computer[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD length = MAX_COMPUTERNAME_LENGTH + 1;
    ASSERT_TRUE(GetComputerNameW(computer, &length));
    const std::wstring queue = L"\\\\" + std::wstring(computer, length) + L"\\Front Desk";
    EXPECT_EQ(path.getStringAttribute(PrintPathAttr::Address), queue) << "the local queue, not the typed port";
    EXPECT_EQ(path.getStringAttribute(PrintPathAttr::UNCPath), queue);
    EXPECT_EQ(path.getNumericAttribute(PrintPathAttr::AutoCreateType), 8u);
    GUID id{};
    ASSERT_TRUE(path.getDiscoveryId(id));
    EXPECT_TRUE(IsEqualGUID(id, discoveryids::kAutoCreatedPorts));
    ASSERT_NE(path.configuratorsBegin(), path.configuratorsEnd());
    EXPECT_TRUE(IsEqualGUID(*path.configuratorsBegin(), discoveryids::kUncConfigurator)) << "the share's ids stay";

    EXPECT_EQ(service.ValidateDevice(nullptr, nullptr), 3u);
    EXPECT_EQ(service.ValidateDevice(nullptr, list.front().get()), 0u);
    PrintPath other;
    other.setNumericAttribute(PrintPathAttr::AutoCreateType, 1, true);
    EXPECT_EQ(service.ValidateDevice(nullptr, &other), 3u);
}
