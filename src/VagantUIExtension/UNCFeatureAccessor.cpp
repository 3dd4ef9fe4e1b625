#include "VagantUIExtension/UNCFeatureAccessor.h"

#include "bidi/TrebukBidiConnection.h"
#include "bidi/UNCBidiConnectionHelper.h"
#include "destination/PrintPathAttr.h"

#include <memory>

namespace MPrint {

uint32_t UNCFeatureAccessor::Apply(PrintPath* path, DeviceSettings* sink)
{
    if (!IsEnabled())
        return kFeaturesDisabled;
    std::unique_ptr<TrebukBidiConnection> connection;
    bool connected = false;
    if (path && path->getNumericAttribute(PrintPathAttr::NoUNCFA) != 1) {
        UNCBidiConnectionHelper helper;
        connection.reset(helper.setBIDIHelperValues(path, path->getStringAttribute(PrintPathAttr::UNCPath).c_str(),
                                                    path->getStringAttribute(PrintPathAttr::UNCPort).c_str(),
                                                    &connected));
    }
    return queryAndClose(path, connection.get(), connected, sink);
}

} // namespace MPrint
