#include "discovery/JobDeliveryAddressDiscovery.h"

#include "destination/Address.h"
#include "destination/PrintPathAttr.h"
#include "discovery/DiscoveryClassIds.h"

#include <algorithm>
#include <memory>

namespace MPrint {

namespace {

constexpr size_t kMarkerLength = 6;

void addIdOnce(PrintPath& path, const GUID& id, bool configurator)
{
    const auto same = [&](const GUID& other) { return IsEqualGUID(other, id) != 0; };
    if (configurator) {
        if (std::none_of(path.configuratorsBegin(), path.configuratorsEnd(), same))
            path.addConfiguratorId(id);
    } else if (std::none_of(path.featuresBegin(), path.featuresEnd(), same)) {
        path.addFeatureId(id);
    }
}

} // namespace

uint32_t JobDeliveryAddressDiscovery::GetSearchCapabilities()
{
    return kCapResolve;
}

uint32_t JobDeliveryAddressDiscovery::Search(HWND, DestinationContext*, PrintPathList&, uint32_t)
{
    clearCancel();
    return 0;
}

uint32_t JobDeliveryAddressDiscovery::Resolve(HWND, const std::wstring& address, const std::wstring& nickname,
                                              const std::wstring& displayString, PrintPathList& list)
{
    if (address.compare(0, kMarkerLength, JobDeliveryAddressMarker) != 0)
        return 0;
    const std::wstring destination = address.substr(kMarkerLength);
    auto path = std::make_unique<PrintPath>();
    path->setStringAttribute(PrintPathAttr::Address, destination, true);
    if (Address(destination).isIPAddress())
        path->setStringAttribute(PrintPathAttr::IPAddress, destination, true);
    path->setStringAttribute(PrintPathAttr::Nickname, nickname, true);
    path->setStringAttribute(PrintPathAttr::DisplayString, displayString, true);
    path->setDiscoveryId(discoveryids::kJobDelivery);
    list.emplace_back(path.release());
    return 0;
}

uint32_t JobDeliveryAddressDiscovery::ValidateDevice(HWND, PrintPath* path)
{
    if (!path)
        return kNotApplicable;
    const auto& attributes = path->attributes();
    const auto noQuery = attributes.find(PrintPathAttr::NoBidiQuery);
    if (noQuery != attributes.end() && noQuery->second.type == PrintPathAttribute::Numeric)
        return 0;
    addIdOnce(*path, discoveryids::kSnmpConfigurator, true);
    addIdOnce(*path, discoveryids::kTcpIpFeatureAccessor, false);
    path->setNumericAttribute(PrintPathAttr::ManuallyEntered, 1, true);
    return 0;
}

} // namespace MPrint
