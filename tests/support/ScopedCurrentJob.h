// A print job on a queue is being handled, for the scope: the device
// connections and discovery services see that queue as the current job's,
// and whether it delivers its jobs to every path as the scope says.
#pragma once

#include <string>

namespace testenv {

class ScopedCurrentJob {
public:
    explicit ScopedCurrentJob(const std::wstring& printerName, bool jobDelivery = false);
    ~ScopedCurrentJob();
    ScopedCurrentJob(const ScopedCurrentJob&) = delete;
    ScopedCurrentJob& operator=(const ScopedCurrentJob&) = delete;
};

} // namespace testenv
