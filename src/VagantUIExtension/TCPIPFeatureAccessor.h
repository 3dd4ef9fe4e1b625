// Reads the features of a TCP/IP or WSD destination over the connection
// the SNMP configurator opens for the path, when the path names an address.
#pragma once

#include "VagantUIExtension/FeatureAccessor.h"

namespace MPrint {

class TCPIPFeatureAccessor : public FeatureAccessor {
public:
    uint32_t Apply(PrintPath* path, DeviceSettings* sink) override;
};

} // namespace MPrint
