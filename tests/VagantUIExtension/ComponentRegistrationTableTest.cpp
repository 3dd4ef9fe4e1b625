// The module's registration table: every record creates its component of
// the right kind, a wrong category and the unregistered USB key id are
// refused, and the discovery services manager makes one service for every
// discovery component the table registers.
#include "VagantUIExtension/ComponentRegistrationTable.h"

#include "VagantUIExtension/DeviceConfigurator.h"
#include "VagantUIExtension/DiscoveryServicesManager.h"
#include "VagantUIExtension/FeatureAccessor.h"
#include "VagantUIExtension/IPXSPXConfigurator.h"
#include "VagantUIExtension/IPXSPXFeatureAccessor.h"
#include "VagantUIExtension/LocalPortConfigurator.h"
#include "VagantUIExtension/LocalPortFeatureAccessor.h"
#include "VagantUIExtension/SNMPConfigurator.h"
#include "VagantUIExtension/TCPIPFeatureAccessor.h"
#include "VagantUIExtension/UNCConfigurator.h"
#include "VagantUIExtension/UNCFeatureAccessor.h"
#include "core/ComponentIntf.h"
#include "discovery/DiscoveryClassIds.h"
#include "discovery/AutoCreatedPortDiscovery.h"
#include "discovery/DiscoveryServiceIntf.h"
#include "discovery/IPXSPXAddressDiscovery.h"
#include "discovery/JobDeliveryAddressDiscovery.h"
#include "discovery/LocalPortDiscovery.h"
#include "discovery/PreconfiguredDiscovery.h"
#include "discovery/TCPIPAddressDiscovery.h"
#include "discovery/UNCPathDiscovery.h"
#include "extension/ManagedPrintPolicy.h"
#include "support/PrivateCurrentUser.h"
#include "support/SharedState.h"

#include <gtest/gtest.h>

#include <memory>
#include <set>

VRELM_TEST_SHARES(policy_settings);

namespace {

bool registered(const GUID& classId)
{
    ComponentEntryList entries;
    ComponentRegistry::enumerateComponents(entries, kAnyComponent);
    for (const ComponentEntry* entry : entries) {
        if (IsEqualGUID(entry->descriptor.classId, classId))
            return true;
    }
    return false;
}

template <typename T>
bool is(const MPrint::ComponentIntf* component)
{
    return dynamic_cast<const T*>(component) != nullptr;
}

} // namespace

// The order of registration, the records and the class each one makes.
TEST(ComponentRegistrationTableTest, FifteenComponentsInTheirOrder)
{
    using Check = bool (*)(const MPrint::ComponentIntf*);
    struct Row {
        GUID classId;
        uint32_t category;
        uint8_t flag2;
        uint32_t nameId;
        uint32_t descriptionId;
        Check made;
    } rows[] = {
        {discoveryids::kJobDelivery, 1, 0, 0, 0, is<MPrint::JobDeliveryAddressDiscovery>},
        {discoveryids::kNetworkShares, 1, 1, 32, 106, is<MPrint::UNCPathDiscovery>},
        {discoveryids::kTcpIp, 1, 0, 35, 109, is<MPrint::TCPIPAddressDiscovery>},
        {discoveryids::kTcpIpFeatureAccessor, 3, 0, 0, 0, is<MPrint::TCPIPFeatureAccessor>},
        {discoveryids::kSnmpConfigurator, 2, 0, 0, 0, is<MPrint::SNMPConfigurator>},
        {discoveryids::kUncFeatureAccessor, 3, 0, 0, 0, is<MPrint::UNCFeatureAccessor>},
        {discoveryids::kPreconfigured, 1, 0, 0, 0, is<MPrint::PreconfiguredDiscovery>},
        {discoveryids::kLocalPorts, 1, 1, 34, 108, is<MPrint::LocalPortDiscovery>},
        {discoveryids::kLocalPortConfigurator, 2, 0, 0, 0, is<MPrint::LocalPortConfigurator>},
        {discoveryids::kUncConfigurator, 2, 0, 0, 0, is<MPrint::UNCConfigurator>},
        {discoveryids::kIpxSpx, 1, 0, 0, 0, is<MPrint::IPXSPXAddressDiscovery>},
        {discoveryids::kIpxSpxConfigurator, 2, 0, 0, 0, is<MPrint::IPXSPXConfigurator>},
        {discoveryids::kIpxSpxFeatureAccessor, 3, 0, 0, 0, is<MPrint::IPXSPXFeatureAccessor>},
        {discoveryids::kLocalPortFeatureAccessor, 3, 0, 0, 0, is<MPrint::LocalPortFeatureAccessor>},
        {discoveryids::kAutoCreatedPorts, 1, 0, 0, 0, is<MPrint::AutoCreatedPortDiscovery>},
    };
    size_t count = 0;
    const ComponentDescriptor* table = componenttable::descriptors(count);
    ASSERT_EQ(std::size(rows), count);
    for (size_t i = 0; i < count; ++i) {
        SCOPED_TRACE(i);
        const Row& row = rows[i];
        EXPECT_TRUE(IsEqualGUID(row.classId, table[i].classId));
        EXPECT_EQ(row.category, table[i].category);
        EXPECT_EQ(row.flag2, table[i].flag2);
        EXPECT_EQ(row.nameId, table[i].displayNameId);
        EXPECT_EQ(row.descriptionId, table[i].thirdTextId);
        MPrint::ComponentIntf* made = nullptr;
        ASSERT_EQ(0u, ComponentRegistry::createComponent(row.classId, &made, row.category));
        std::unique_ptr<MPrint::ComponentIntf> component(made);
        EXPECT_TRUE(row.made(component.get()));
    }
}

TEST(ComponentRegistrationTableTest, EveryRecordCreatesItsComponent)
{
    ASSERT_EQ(linkComponentRegistrations, 1);
    size_t count = 0;
    const ComponentDescriptor* table = componenttable::descriptors(count);
    ASSERT_GT(count, 0u);
    std::set<uint32_t> categories;
    for (size_t i = 0; i < count; ++i) {
        const ComponentDescriptor& row = table[i];
        SCOPED_TRACE(i);
        EXPECT_TRUE(registered(row.classId)) << "registered at load";
        EXPECT_TRUE(ComponentRegistry::isEnabled(row.classId));
        MPrint::ComponentIntf* made = nullptr;
        ASSERT_EQ(ComponentRegistry::createComponent(row.classId, &made, row.category), 0u);
        std::unique_ptr<MPrint::ComponentIntf> component(made);
        ASSERT_NE(component, nullptr);
        EXPECT_TRUE(component->IsEnabled());
        const bool isService = dynamic_cast<MPrint::DiscoveryServiceIntf*>(component.get()) != nullptr;
        EXPECT_EQ(isService, row.category == kDiscoveryServiceComponent);
        categories.insert(row.category);

        const uint32_t other = row.category == kDiscoveryServiceComponent ? kDeviceConfiguratorComponent
                                                                         : kDiscoveryServiceComponent;
        MPrint::ComponentIntf* wrong = nullptr;
        EXPECT_EQ(ComponentRegistry::createComponent(row.classId, &wrong, other), 6u);
        delete wrong;
    }
    EXPECT_FALSE(registered(discoveryids::kUsbPrintKey));
    MPrint::ComponentIntf* usb = nullptr;
    EXPECT_EQ(ComponentRegistry::createComponent(discoveryids::kUsbPrintKey, &usb, kAnyComponent), 3u);
    EXPECT_EQ(usb, nullptr);
    ASSERT_EQ(componenttable::createUsbPrintKeyDiscovery(discoveryids::kUsbPrintKey, &usb), 0u);
    std::unique_ptr<MPrint::ComponentIntf> made(usb);
    EXPECT_NE(dynamic_cast<MPrint::DiscoveryServiceIntf*>(made.get()), nullptr) << "its creator exists";
}

TEST(ComponentRegistrationTableTest, ManagerMakesEveryRegisteredService)
{
    testenv::PrivateCurrentUser user;
    DiscoveryServicesManager* manager = DiscoveryServicesManager::GetInstance();
    manager->Initialize();
    size_t count = 0;
    const ComponentDescriptor* table = componenttable::descriptors(count);
    size_t services = 0;
    for (size_t i = 0; i < count; ++i) {
        if (table[i].category != kDiscoveryServiceComponent)
            continue;
        ++services;
        SCOPED_TRACE(i);
        MPrint::DiscoveryServiceIntf* service = manager->GetService(table[i].classId);
        ASSERT_NE(service, nullptr);
        EXPECT_TRUE(service->IsEnabled());
    }
    EXPECT_EQ(manager->Start(), 0u);
    for (size_t i = 0; i < count; ++i) {
        if (table[i].category == kDiscoveryServiceComponent) {
            EXPECT_EQ(manager->GetService(table[i].classId)->IsRunning(), 1u) << i;
        }
    }
    EXPECT_GE(std::distance(manager->begin(), manager->end()), static_cast<std::ptrdiff_t>(services));
    delete manager;
    if (MPrint::ManagedPrintPolicy::hasInstance())
        delete MPrint::ManagedPrintPolicy::instance();
}
