#include "VagantUIExtension/TCPIPFeatureAccessor.h"

#include "VagantUIExtension/SNMPConfigurator.h"

#include <memory>

namespace MPrint {

uint32_t TCPIPFeatureAccessor::Apply(PrintPath* path, DeviceSettings* sink)
{
    if (!IsEnabled())
        return kFeaturesDisabled;
    std::wstring address;
    DWORD kind = 0;
    DWORD port = 0;
    std::unique_ptr<BidiPrinterConnectionIntf> connection;
    if (SNMPConfigurator::lookupAddress(path, address, kind, port) && !address.empty())
        connection.reset(SNMPConfigurator().openConnection(path));
    return queryAndClose(path, connection.get(), connection != nullptr, sink);
}

} // namespace MPrint
