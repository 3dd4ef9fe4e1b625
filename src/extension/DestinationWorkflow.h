// The managed printing core's operations on a destination that the dialogs
// call: validate, check, verify and configure a device for a queue, apply a
// print path or a port to the queue, resolve an address into a print path,
// store a queue's SNMP community, read its job delivery setting. The
// process has one set; the default runs the core's own operations, and a
// test may replace it.
#pragma once

#include "core/Win32.h"

#include <string>

namespace MPrint {

class DestinationContext;
class PrintPath;

class DestinationWorkflow {
public:
    virtual ~DestinationWorkflow() = default;

    // True when the device is valid; resultCode says why not.
    virtual bool validateDeviceWithPrompt(PrintPath* path, HWND owner, DWORD& resultCode);
    virtual bool checkDeviceConfiguration(PrintPath* path);
    // 1 when the device's language and model fit the queue's driver.
    virtual DWORD verifyDevicePDL(HWND owner, PrintPath* path, const std::wstring& printerName);
    // 1 when the queue was configured from the path's device.
    virtual DWORD configureDeviceForPrintPath(HWND owner, const std::wstring& printerName, PrintPath* path);
    virtual bool applyPrintPathToPrinter(DestinationContext* context, PrintPath* path, DWORD& value);
    // Points the context's queue at its destination, or back at the port.
    virtual bool applyDestinationToPrinter(DestinationContext* context, const std::wstring& portName);
    // A new path owned by the caller, or null.
    virtual PrintPath* findPrintPathForAddress(HWND owner, const std::wstring& address, const std::wstring& nickname,
                                               const std::wstring& displayString);
    // The queue's SNMP read community, by the open handle when there is one,
    // else by the queue's name.
    virtual bool storeQueueCommunity(HANDLE printer, const std::wstring& printerName, const std::wstring& community);
    // Whether the queue's jobs to the path's destination are delivered.
    virtual bool isJobDeliveryEnabled(const std::wstring& printerName, PrintPath* path);

    static DestinationWorkflow& current();
    // Replaces the process's set (null: back to the default); not owned.
    static void set(DestinationWorkflow* workflow);
};

} // namespace MPrint
