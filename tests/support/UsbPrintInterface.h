// A present USB printer interface for the scope, created through SetupAPI
// as the USB printer driver would leave it: a root-enumerated device
// (ROOT\QZTEST\<id>, unique per process), its interface of the USB printer
// class with "Base Name" and "Port Number" in the interface's key, and the
// interface marked linked so that DIGCF_PRESENT lists it. No driver stands
// behind it: opening the device path fails under Wine.
#pragma once

#include "core/Win32.h"

#include <optional>
#include <string>

namespace testenv {

class ScopedUsbPrintInterface {
public:
    // A value left out is not written (the reader's default applies).
    ScopedUsbPrintInterface(const std::optional<std::wstring>& baseName, const std::optional<DWORD>& portNumber);
    ~ScopedUsbPrintInterface();
    ScopedUsbPrintInterface(const ScopedUsbPrintInterface&) = delete;
    ScopedUsbPrintInterface& operator=(const ScopedUsbPrintInterface&) = delete;

    bool created() const { return created_; }
    const std::wstring& devicePath() const { return devicePath_; }

private:
    std::wstring instanceId_;
    std::wstring devicePath_;
    bool created_ = false;
};

} // namespace testenv
