#include "VagantUIExtension/LocalPortFeatureAccessor.h"

#include "VagantUIExtension/DeviceConfigurator.h"
#include "VagantUIExtension/LocalPortConfigurator.h"
#include "bidi/BidiConnectionFactory.h"
#include "core/StringConversion.h"
#include "destination/PrintPathAttr.h"

namespace MPrint {

namespace {

constexpr char kInputNameOID[] = "1.3.6.1.2.1.43.8.2.1.13.1";
constexpr char kInputTypeOID[] = "1.3.6.1.2.1.43.8.2.1.2.1";
constexpr DWORD kUnknownTrayType = 4;

} // namespace

uint32_t LocalPortFeatureAccessor::Apply(PrintPath* path, DeviceSettings* sink)
{
    if (!IsEnabled())
        return kFeaturesDisabled;
    if (!path)
        return kFeaturesNoPort;
    const std::wstring port = path->getStringAttribute(PrintPathAttr::LocalPort);
    if (port.empty() || !LocalPortConfigurator::isLocalPortName(port))
        return kFeaturesNoPort;
    const std::unique_ptr<BidiPrinterConnectionIntf> connection =
        connectedTo(createBidiConnection(port.c_str()), port, BidiAddressLocalPort, portOrZero(*path));
    const uint32_t result = QueryFeatures(path, connection.get(), sink);
    if (connection) {
        QueryTrayNames(path, connection.get(), sink);
        connection->Close();
    }
    return result;
}

bool LocalPortFeatureAccessor::QueryTrayNames(PrintPath* path, BidiPrinterConnectionIntf* connection,
                                              DeviceSettings* sink)
{
    if (!path || !connection || !sink ||
        path->getStringAttribute(PrintPathAttr::LocalPort).find(L"USB") == std::wstring::npos)
        return false;
    BidiRequest requests[2] = {BidiRequest(kInputNameOID), BidiRequest(kInputTypeOID)};
    bool written = false;
    for (int row = 1; row <= kMaxTrayRows; ++row) {
        const std::string before = requests[0].oid;
        if (!connection->GetNext(requests, 2) || requests[0].oid.find(kInputNameOID) == std::string::npos ||
            requests[0].oid == before)
            break;
        if (requests[0].value.type != BidiBinary)
            continue;
        const LONG type = requests[1].value.integer;
        std::wstring name;
        convertString(requests[0].value.text, name, CP_ACP);
        writeTray(*sink, row, type == -1 ? kUnknownTrayType : static_cast<DWORD>(type), name);
        written = true;
    }
    return written;
}

} // namespace MPrint
