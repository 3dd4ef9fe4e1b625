#include "VagantUIExtension/ComponentRegistrationTable.h"

#include "VagantUIExtension/IPXSPXConfigurator.h"
#include "VagantUIExtension/IPXSPXFeatureAccessor.h"
#include "VagantUIExtension/LocalPortConfigurator.h"
#include "VagantUIExtension/LocalPortFeatureAccessor.h"
#include "VagantUIExtension/SNMPConfigurator.h"
#include "VagantUIExtension/TCPIPFeatureAccessor.h"
#include "VagantUIExtension/UNCConfigurator.h"
#include "VagantUIExtension/UNCFeatureAccessor.h"
#include "discovery/AutoCreatedPortDiscovery.h"
#include "discovery/DiscoveryClassIds.h"
#include "discovery/IPXSPXAddressDiscovery.h"
#include "discovery/JobDeliveryAddressDiscovery.h"
#include "discovery/LocalPortDiscovery.h"
#include "discovery/PreconfiguredDiscovery.h"
#include "discovery/TCPIPAddressDiscovery.h"
#include "discovery/UNCPathDiscovery.h"
#include "discovery/USBPrintKeyDiscovery.h"

#include <iterator>
#include <new>

extern "C" const int linkComponentRegistrations = 1;

namespace componenttable {

namespace {

template <typename Component>
uint32_t create(const GUID&, MPrint::ComponentIntf** out)
{
    if (!out)
        return 3;
    *out = new (std::nothrow) Component;
    return 0;
}

constexpr ComponentDescriptor row(const GUID& classId, uint32_t category, ComponentCreator creator, uint8_t flag2 = 0,
                                  uint32_t nameId = 0, uint32_t descriptionId = 0)
{
    return ComponentDescriptor{classId, category, creator, 1, flag2, 0, nullptr, 0, 0, nameId, descriptionId, 0};
}

const ComponentDescriptor table[] = {
    row(discoveryids::kJobDelivery, kDiscoveryServiceComponent, create<MPrint::JobDeliveryAddressDiscovery>),
    row(discoveryids::kNetworkShares, kDiscoveryServiceComponent, create<MPrint::UNCPathDiscovery>, 1, 32, 106),
    row(discoveryids::kTcpIp, kDiscoveryServiceComponent, create<MPrint::TCPIPAddressDiscovery>, 0, 35, 109),
    row(discoveryids::kTcpIpFeatureAccessor, kFeatureAccessorComponent, create<MPrint::TCPIPFeatureAccessor>),
    row(discoveryids::kSnmpConfigurator, kDeviceConfiguratorComponent, create<MPrint::SNMPConfigurator>),
    row(discoveryids::kUncFeatureAccessor, kFeatureAccessorComponent, create<MPrint::UNCFeatureAccessor>),
    row(discoveryids::kPreconfigured, kDiscoveryServiceComponent, create<MPrint::PreconfiguredDiscovery>),
    row(discoveryids::kLocalPorts, kDiscoveryServiceComponent, create<MPrint::LocalPortDiscovery>, 1, 34, 108),
    row(discoveryids::kLocalPortConfigurator, kDeviceConfiguratorComponent, create<MPrint::LocalPortConfigurator>),
    row(discoveryids::kUncConfigurator, kDeviceConfiguratorComponent, create<MPrint::UNCConfigurator>),
    row(discoveryids::kIpxSpx, kDiscoveryServiceComponent, create<MPrint::IPXSPXAddressDiscovery>),
    row(discoveryids::kIpxSpxConfigurator, kDeviceConfiguratorComponent, create<MPrint::IPXSPXConfigurator>),
    row(discoveryids::kIpxSpxFeatureAccessor, kFeatureAccessorComponent, create<MPrint::IPXSPXFeatureAccessor>),
    row(discoveryids::kLocalPortFeatureAccessor, kFeatureAccessorComponent, create<MPrint::LocalPortFeatureAccessor>),
    row(discoveryids::kAutoCreatedPorts, kDiscoveryServiceComponent, create<MPrint::AutoCreatedPortDiscovery>),
};

// Constructed in the table's order at load, destroyed in reverse at unload.
ComponentRegistration registrations[] = {
    ComponentRegistration(table[0]),  ComponentRegistration(table[1]),  ComponentRegistration(table[2]),
    ComponentRegistration(table[3]),  ComponentRegistration(table[4]),  ComponentRegistration(table[5]),
    ComponentRegistration(table[6]),  ComponentRegistration(table[7]),  ComponentRegistration(table[8]),
    ComponentRegistration(table[9]),  ComponentRegistration(table[10]), ComponentRegistration(table[11]),
    ComponentRegistration(table[12]), ComponentRegistration(table[13]), ComponentRegistration(table[14]),
};
static_assert(std::size(registrations) == std::size(table));

} // namespace

uint32_t createUsbPrintKeyDiscovery(const GUID& classId, MPrint::ComponentIntf** out)
{
    return create<MPrint::USBPrintKeyDiscovery>(classId, out);
}

const ComponentDescriptor* descriptors(size_t& count)
{
    count = std::size(table);
    return table;
}

} // namespace componenttable
