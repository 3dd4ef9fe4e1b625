// Typed addresses through every discovery service the module registers, in
// the manager's order (class ids as stored bytes: UNC, IPX/SPX, job
// delivery, local ports, auto-created ports, TCP/IP): which service takes
// each one, and the attributes of the path it makes. Job-delivery addresses
// reach their own service before TCP/IP, which would take them as host
// names; auto-created client ports likewise.
#include "VagantUIExtension/AddressResolution.h"

#include "VagantUIExtension/ComponentRegistrationTable.h"
#include "VagantUIExtension/DiscoveryServicesManager.h"
#include "destination/PrintPathAttr.h"
#include "discovery/DiscoveryClassIds.h"
#include "discovery/IPXSPXAddressDiscovery.h"
#include "extension/ManagedPrintPolicy.h"
#include "support/MachineRegistry.h"
#include "support/PrivateCurrentUser.h"
#include "support/ScopedCurrentJob.h"
#include "support/SharedState.h"
#include "support/TestEnv.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

VRELM_TEST_SHARES(policy_settings);

namespace {


std::wstring computerName()
{
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD length = MAX_COMPUTERNAME_LENGTH + 1;
    GetComputerNameW(name, &length);
    return std::wstring(name, length);
}

} // namespace

TEST(AddressResolutionTest, EachAddressReachesItsService)
{
    ASSERT_EQ(linkComponentRegistrations, 1);
    testenv::PrivateCurrentUser user;
    // An IPX/SPX port of this process's own, so that parallel runs differ.
    wchar_t node[16] = {};
    swprintf(node, 16, L"%X", static_cast<unsigned>(GetCurrentProcessId()));
    const std::wstring ipxPort = std::wstring(L"A22A.") + node;
    testenv::MachineRegistry machine;
    ASSERT_TRUE(machine.createKey(std::wstring(MPrint::IPXSPXAddressDiscovery::kPortsKey) + L"\\" + ipxPort));
    wchar_t normalisedIpx[32] = {};
    swprintf(normalisedIpx, 32, L"0000A22A.%012X", static_cast<unsigned>(GetCurrentProcessId()));
    testenv::ScopedCurrentJob job(L"Front Desk");

    DiscoveryServicesManager* manager = DiscoveryServicesManager::GetInstance();
    manager->Initialize();
    const std::wstring ownQueue = L"\\\\" + computerName() + L"\\Front Desk";
    struct Row {
        std::wstring address;
        const GUID* service; // null: nobody resolves it
        const wchar_t* attribute = nullptr;
        std::wstring value = {};
    } rows[] = {
        {L"10.0.0.5", &discoveryids::kTcpIp, PrintPathAttr::IPAddress, L"10.0.0.5"},
        {L"public@10.0.0.5:2", &discoveryids::kTcpIp, PrintPathAttr::LumoSNMPCommunityName, L"public"},
        {L"printer7.corp", &discoveryids::kTcpIp, PrintPathAttr::HostnameAddress, L"printer7.corp"},
        {L"^_//_^10.0.0.5", &discoveryids::kJobDelivery, PrintPathAttr::Address, L"10.0.0.5"},
        {L"^_//_^printer7.corp", &discoveryids::kJobDelivery, PrintPathAttr::Address, L"printer7.corp"},
        {L"COM1", &discoveryids::kLocalPorts, PrintPathAttr::LocalPort, L"COM1:"},
        {L"lpt1.2", &discoveryids::kLocalPorts, PrintPathAttr::LocalPort, L"LPT1.2:"},
        // Not a parallel port by its grammar, and the port model takes any
        // "LPT..." name for a parallel port, never a host name: nobody's.
        {L"LPT1printer", nullptr},
        {L"\\\\srv\\queue", &discoveryids::kNetworkShares, PrintPathAttr::UNCPath, L"\\\\srv\\queue"},
        {ipxPort + L":1234", &discoveryids::kIpxSpx, PrintPathAttr::IPXSPXAddress, normalisedIpx},
        {L"TS001", &discoveryids::kAutoCreatedPorts, PrintPathAttr::UNCPath, ownQueue},
        {L"http://10.0.0.5/", nullptr},
        {L"\\\\", nullptr},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testenv::narrow(row.address));
        std::unique_ptr<MPrint::PrintPath> path(resolveAddressThroughServices(nullptr, row.address, L"N", L"D"));
        if (!row.service) {
            EXPECT_EQ(path, nullptr);
            continue;
        }
        ASSERT_NE(path, nullptr);
        GUID id{};
        ASSERT_TRUE(path->getDiscoveryId(id));
        EXPECT_TRUE(IsEqualGUID(id, *row.service));
        EXPECT_EQ(path->getStringAttribute(row.attribute), row.value);
        EXPECT_EQ(path->getStringAttribute(PrintPathAttr::DisplayString), L"D");
    }
    delete manager;
    if (MPrint::ManagedPrintPolicy::hasInstance())
        delete MPrint::ManagedPrintPolicy::instance();
}
