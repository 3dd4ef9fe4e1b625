// The component that decides from the device whether a queue may offer
// duplex printing and job storage, and writes the queue's input-tray
// defaults, as values of a settings sink (in practice the queue's printer
// data). Each subclass reaches the device for one kind of address in Apply.
//
// Results: 0 the device answered, 2 no usable local port, 7 disabled,
// 9 no connected connection or no answer.
#pragma once

#include "bidi/BidiPrinterConnectionIntf.h"
#include "VagantUIExtension/ConfigurationComponent.h"
#include "destination/DeviceSettings.h"
#include "destination/PrintPath.h"

namespace MPrint {

enum FeatureAccessorResult : uint32_t {
    kFeaturesRead = 0,
    kFeaturesNoPort = 2,
    kFeaturesDisabled = 7,
    kFeaturesNoAnswer = 9,
};

class FeatureAccessor : public ConfigurationComponent {
public:
    FeatureAccessor() = default;
    ~FeatureAccessor() override;

    // Nothing to execute: 9.
    uint32_t Execute(void* argument) override;

    virtual uint32_t Apply(PrintPath* path, DeviceSettings* sink) = 0;
    // Writes "LumoDisableDuplex" and "LumoDisableJobRetention" when the
    // device answered, and the tray defaults in every case.
    virtual uint32_t QueryFeatures(PrintPath* path, BidiPrinterConnectionIntf* connection, DeviceSettings* sink);
    // Trays 1 and 2 for a PCL3 device; true when something was written.
    virtual bool WriteTrayDefaults(PrintPath* path, DeviceSettings* sink);

protected:
    // The common end of every Apply: features from a connected connection
    // (9 and the tray defaults without one), then the connection closed.
    uint32_t queryAndClose(PrintPath* path, BidiPrinterConnectionIntf* connection, bool connected,
                           DeviceSettings* sink);
};

// "LumoTrayType<n>" / "LumoTrayName<n>".
void writeTray(DeviceSettings& sink, int number, DWORD type, const std::wstring& name);

} // namespace MPrint
