#include "VagantUIExtension/IPXSPXConfigurator.h"

#include "bidi/BidiConnectionFactory.h"
#include "destination/PrintPathAttr.h"

namespace MPrint {

uint32_t IPXSPXConfigurator::ConfigurePrintPath(PrintPath* path)
{
    if (!path)
        return kConfigNotApplicable;
    std::wstring address = path->getStringAttribute(PrintPathAttr::IPXSPXAddress);
    if (address.empty())
        return kConfigNotApplicable;
    BidiPrinterConnectionIntf* connection = createBidiConnection(address.c_str());
    // An absent "Port" (all bits set) asks for the connection's default port.
    DWORD port = path->getNumericAttribute(PrintPathAttr::Port);
    DWORD kind = BidiAddressIpx;
    getDeviceConfigAddress(path, address, kind, port);
    return connectAndConfigure(connection, path, address, kind, port, kConfigNoModel);
}

} // namespace MPrint
