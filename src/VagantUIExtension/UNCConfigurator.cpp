#include "VagantUIExtension/UNCConfigurator.h"

#include "bidi/TrebukBidiConnection.h"
#include "bidi/UNCBidiConnectionHelper.h"
#include "core/StringConversion.h"
#include "destination/PrintPathAttr.h"
#include "shared/PrintDriver.h"

#include <memory>

namespace MPrint {

uint32_t UNCConfigurator::ConfigurePrintPath(PrintPath* path)
{
    if (!path)
        return kConfigNotApplicable;
    const std::wstring unc = path->getStringAttribute(PrintPathAttr::UNCPath);
    if (unc.empty())
        return kConfigNotApplicable;

    uint32_t result = kConfigNotApplicable;
    bool connected = false;
    UNCBidiConnectionHelper helper;
    const std::unique_ptr<TrebukBidiConnection> connection(
        helper.setBIDIHelperValues(path, unc.c_str(), unc.c_str(), &connected));
    if (connection) {
        result = kConfigNoConnection;
        if (connected) {
            result = Configure(connection.get(), path, unc);
            connection->Close();
        }
    }
    if (result == kConfigured)
        return result;

    std::wstring driverName;
    std::string model;
    if (!PrintDriver(unc).getDriverName(driverName) || driverName.empty() ||
        !convertString(driverName, model, CP_ACP)) {
        // Tells the feature accessor not to look for the device either.
        path->setNumericAttribute(PrintPathAttr::NoUNCFA, 1, false);
        return kConfigNoModel;
    }
    GuessPDLFromModelName(model, path);
    return kConfigured;
}

} // namespace MPrint
