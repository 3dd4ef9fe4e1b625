// A live status watch on the chosen device through the maker's status
// module vrelm104.DLL beside this module, loaded only while a watch is open.
// The module writes the last status from its own thread; that field lives on
// the heap and outlives the object while a watch the module refused to
// close may still write it, and the module then stays loaded.
#pragma once

#include "core/ScopedHandle.h"
#include "core/Win32.h"

#include <string>

namespace MPrint {

class SNPCheckStatus {
public:
    SNPCheckStatus();
    virtual ~SNPCheckStatus();
    SNPCheckStatus(const SNPCheckStatus&) = delete;
    SNPCheckStatus& operator=(const SNPCheckStatus&) = delete;

    // Decided on the first call only: the module must exist beside this one,
    // the queue's driver must not declare "VerifyPDL" = "PCL3", and the
    // policy "CheckStatus" (default true) decides the rest.
    bool isSupported(const wchar_t* printerName);
    // Opens a watch; false when one is open, the check is not supported, or
    // the module cannot be loaded or refuses.
    bool getHostedDeviceStatus(const wchar_t* printerName, const wchar_t* destination, HWND window);
    // True when no watch is open or the module closed it (and was unloaded).
    bool closeHostedDeviceStatus();
    UINT_PTR getStatusHandle() const { return statusHandle_; }
    DWORD getLastStatus() const;

    const std::wstring& getModulePath() const { return modulePath_; }

private:
    UINT_PTR statusHandle_ = 0;
    ScopedModule module_;
    std::wstring modulePath_;
    bool computed_ = false;
    bool supported_ = false;
    DWORD* lastStatus_;  // written by the module's thread while a watch is open
};

} // namespace MPrint
