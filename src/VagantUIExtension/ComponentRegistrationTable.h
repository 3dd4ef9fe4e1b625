// The module's own components (discovery services, device configurators,
// feature accessors), registered with the component registry by class id
// when the module loads and unregistered in reverse order when it unloads.
// The module's entry refers to linkComponentRegistrations, which keeps the
// table in the DLL; a program that links the module's library gets the
// registrations only when it refers to it too.
#pragma once

#include "core/ComponentRegistry.h"

#include <cstddef>

namespace componenttable {

// The table's records, in the order they are registered.
const ComponentDescriptor* descriptors(size_t& count);

// Creates a USB print key service: the one creator no registration names.
uint32_t createUsbPrintKeyDiscovery(const GUID& classId, MPrint::ComponentIntf** out);

} // namespace componenttable

extern "C" const int linkComponentRegistrations;
