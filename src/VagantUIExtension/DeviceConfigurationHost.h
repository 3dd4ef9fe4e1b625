// What the device configurators and feature accessors take from the
// managed printing core: the display text of a configured path, the address
// of a separately configured device and the queue of the current job. The
// process has one host; until the core installs its own, the display text is
// left alone and there is no current queue.
#pragma once

#include "core/Win32.h"

#include <string>

namespace MPrint {

class PrintPath;

class DeviceConfigurationHost {
public:
    virtual ~DeviceConfigurationHost() = default;

    // Rebuilds the path's "PrinterInfo" from a model (ANSI text) and an address.
    virtual void setPrinterInfoTextFromModel(PrintPath& path, const std::string& model, const std::wstring& address);
    // The path's "DeviceConfigAddress" split at its colon: kind 2 for a
    // numeric address, 4 for a host name; port keeps its value when the text
    // names none. False, with the outputs untouched, for a null path or no
    // such address.
    virtual bool getDeviceConfigAddress(const PrintPath* path, std::wstring& address, DWORD& kind, DWORD& port);
    // The queue of the current print job; false when there is none.
    virtual bool getCurrentPrinterName(std::wstring& printerName);

    static DeviceConfigurationHost& current();
    // Replaces the process's host (null: back to the default); not owned.
    static void set(DeviceConfigurationHost* host);
};

} // namespace MPrint
