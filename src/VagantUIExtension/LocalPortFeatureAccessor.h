// Reads the features of a local USB, parallel, DOT4 or Bluetooth port over
// a connection to the port, and the names and types of a USB device's input
// trays. Apply answers 2 for a path without such a port.
#pragma once

#include "VagantUIExtension/FeatureAccessor.h"

namespace MPrint {

class LocalPortFeatureAccessor : public FeatureAccessor {
public:
    uint32_t Apply(PrintPath* path, DeviceSettings* sink) override;
    // USB ports only: "LumoTrayType<n>" / "LumoTrayName<n>" for every input
    // row whose name is answered, numbered by row from 1. True when a tray
    // was written.
    virtual bool QueryTrayNames(PrintPath* path, BidiPrinterConnectionIntf* connection, DeviceSettings* sink);

    // Rows read at most: a device that keeps answering never stops the walk otherwise.
    static constexpr int kMaxTrayRows = 32;
};

} // namespace MPrint
