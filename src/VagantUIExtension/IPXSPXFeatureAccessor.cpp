#include "VagantUIExtension/IPXSPXFeatureAccessor.h"

#include "VagantUIExtension/DeviceConfigurator.h"
#include "bidi/BidiConnectionFactory.h"
#include "destination/PrintPathAttr.h"

namespace MPrint {

uint32_t IPXSPXFeatureAccessor::Apply(PrintPath* path, DeviceSettings* sink)
{
    if (!IsEnabled())
        return kFeaturesDisabled;
    std::unique_ptr<BidiPrinterConnectionIntf> connection;
    if (path) {
        const std::wstring& address = path->getStringAttribute(PrintPathAttr::IPXSPXAddress);
        if (!address.empty())
            connection = connectedTo(createBidiConnection(address.c_str()), address, BidiAddressIpx,
                                     path->getNumericAttribute(PrintPathAttr::Port));
    }
    return queryAndClose(path, connection.get(), connection != nullptr, sink);
}

} // namespace MPrint
