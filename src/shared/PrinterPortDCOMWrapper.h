// Asks the maker's remote-port module (vrelm109.dll, in the driver's
// directory) for the port of a printer on another machine. The query runs
// at construction; the answers stay empty when the module is missing, lacks
// an export or answers with an error.
#pragma once

#include "core/ScopedHandle.h"

#include <string>

class PrinterPortDCOMWrapper {
public:
    // A server name loses its leading backslashes; an empty directory loads nothing.
    PrinterPortDCOMWrapper(const std::wstring& serverName, const std::wstring& printerName,
                           const std::wstring& moduleDirectory);
    virtual ~PrinterPortDCOMWrapper();
    PrinterPortDCOMWrapper(const PrinterPortDCOMWrapper&) = delete;
    PrinterPortDCOMWrapper& operator=(const PrinterPortDCOMWrapper&) = delete;

    const std::wstring& getRemotePortName() const { return remotePortName_; }
    const std::wstring& getRemotePortAddress() const { return remotePortAddress_; }
    const std::wstring& getRemoteMonitorName() const { return remoteMonitorName_; }
    const std::wstring& getRemotePortDescription() const { return remotePortDescription_; }

private:
    bool queryRemotePort();

    std::wstring remotePrinterName_;
    std::wstring remoteServerName_;
    std::wstring remotePortName_;
    std::wstring remotePortAddress_;
    std::wstring remotePortDescription_;
    std::wstring remoteMonitorName_;
    std::wstring modulePath_;
    std::wstring moduleDirectory_;
    ScopedModule module_;
};
