// A Standard TCP/IP port created through the stand-in monitor's own
// "AddPort" (raw protocol), so that its key is whatever the monitor writes;
// removed with the scope. The stand-in monitors are registered first.
#pragma once

#include "core/Win32.h"

#include <string>

namespace testspool {

// The monitor the port belongs to.
inline constexpr wchar_t kStandardTcpMonitor[] = L"Standard TCP/IP Port";

// 10.x.y.z, unique to this process and call.
std::wstring uniqueTcpAddress();

class ScopedTcpPort {
public:
    ScopedTcpPort(const std::wstring& name, const std::wstring& host, const std::wstring& ip, DWORD number,
                  const std::wstring& community = L"public");
    ~ScopedTcpPort();
    ScopedTcpPort(const ScopedTcpPort&) = delete;
    ScopedTcpPort& operator=(const ScopedTcpPort&) = delete;
    // The monitor's answer to "AddPort"; 0xFFFFFFFF when it was not reached.
    DWORD status() const { return status_; }

private:
    std::wstring name_;
    DWORD status_ = 0xFFFFFFFF;
};

} // namespace testspool
