// A print job on a queue is being handled, for the scope: the discovery
// services see that queue as the current job's.
#pragma once

#include <string>

namespace testenv {

class ScopedCurrentJob {
public:
    explicit ScopedCurrentJob(const std::wstring& printerName);
    ~ScopedCurrentJob();
    ScopedCurrentJob(const ScopedCurrentJob&) = delete;
    ScopedCurrentJob& operator=(const ScopedCurrentJob&) = delete;
};

} // namespace testenv
