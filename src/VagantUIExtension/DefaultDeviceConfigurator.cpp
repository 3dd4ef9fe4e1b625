#include "VagantUIExtension/DefaultDeviceConfigurator.h"

namespace MPrint {

uint32_t DefaultDeviceConfigurator::ConfigurePrintPath(PrintPath* path)
{
    if (!path)
        return kConfigured;
    Device device;
    device.setModelName("QZ Ardelle 4020 Series");
    device.addPdl(PdlInfo(kPdlFamilyAutomatic, "Automatic Language Switching", "Version 2.1"));
    device.addPdl(PdlInfo(kPdlFamilyPjl, "PJL", "Version 2.1"));
    device.addPdl(PdlInfo(kPdlFamilyPcl5, "PCL", "Version 5.00E"));
    device.addPdl(PdlInfo(kPdlFamilyPclXl, "PCLXL", "Version 2.0"));
    device.addPdl(PdlInfo(kPdlFamilyPostScript, "POSTSCRIPT", "Version 1010.107"));
    // Canned, not read from a device.
    path->setDevice(device, false);
    path->setDeviceConfigured(true);
    return kConfigured;
}

} // namespace MPrint
