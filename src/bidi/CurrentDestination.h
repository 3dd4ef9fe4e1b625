// The job being handled, as the device connections and the discovery
// services need it: its queue, and whether that queue delivers its jobs to
// a print path. The printing extension, which owns the destination context
// and sits above these layers, names the sources when it is created; without
// them there is no current job and no job delivery.
#pragma once

#include <string>

namespace MPrint {

class PrintPath;

using CurrentPrinterNameSource = std::wstring (*)();
// May complete the path with the queue's job delivery texts.
using JobDeliverySource = bool (*)(const std::wstring& printerName, PrintPath& path);

// Null removes the source.
void setCurrentPrinterNameSource(CurrentPrinterNameSource source);
// The current destination's queue name; empty without a source or a context.
std::wstring currentDestinationPrinterName();

// Null removes the source.
void setJobDeliverySource(JobDeliverySource source);
// The queue sends its jobs to the path as a job-delivery destination; false
// without a source or a queue name.
bool isJobDeliveryDestination(const std::wstring& printerName, PrintPath& path);

} // namespace MPrint
