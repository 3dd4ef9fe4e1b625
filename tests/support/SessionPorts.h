// Ports of a monitor built into the spooler (no "Driver" DLL), each with a
// description of its own, as remote-desktop session ports are listed
// ("CLIENT1:  PRN1"). The monitor's key is removed at the end of the scope.
#pragma once

#include "core/Win32.h"

#include <string>

namespace testspool {

class ScopedSessionPorts {
public:
    explicit ScopedSessionPorts(const std::wstring& monitor);
    ~ScopedSessionPorts();
    ScopedSessionPorts(const ScopedSessionPorts&) = delete;
    ScopedSessionPorts& operator=(const ScopedSessionPorts&) = delete;

    void add(const std::wstring& port, const std::wstring& description) const;

private:
    std::wstring path_;
};

} // namespace testspool
