// What the built-in discovery services take from the managed printing core
// above them: the queue of the job being handled and whether that queue
// delivers its jobs to a path. The process has one host; until the core
// installs its own, this base answers: no current job, no job delivery.
#pragma once

#include "destination/PrintPath.h"

#include <string>

namespace MPrint {

class DiscoveryHost {
public:
    virtual ~DiscoveryHost() = default;

    // The current job's queue; false (name untouched) when there is none.
    virtual bool getCurrentPrinterName(std::wstring& name);
    // The queue sends its jobs to the path as a job-delivery destination.
    virtual bool isJobDeliveryEnabled(const std::wstring& printerName, const PrintPath& path);

    static DiscoveryHost& current();
    // Replaces the process's host (null: back to the base); not owned.
    static void set(DiscoveryHost* host);
};

} // namespace MPrint
