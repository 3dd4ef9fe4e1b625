// Points a print queue at the port found for a chosen destination and brings
// the queue's device data up to date: the model last applied on the port,
// the bidi cache, the driver's device and document settings, the printer
// features and the job-control ticket. Works through the spooler when the
// caller may change the printer, and through the Keravin port monitor when
// the spooler answers access denied. Borrows the context and its print path.
#pragma once

#include "core/Win32.h"

#include <string>

namespace MPrint {

class DestinationContext;
class PrintPath;

class DestinationApply {
public:
    // newInstall: the extension's flag for a queue still being installed.
    explicit DestinationApply(bool newInstall) : newInstall_(newInstall) {}

    // True when the context's queue uses the port afterwards (switched now or
    // already in place).
    bool apply(DestinationContext* context, const std::wstring& portName);

    // The model a device reports, with the maker's full name written before
    // its short name ("TarvokinQZ") shortened to the short name once.
    static std::string shortModelName(std::string model);
    // Stores the model under the port's name in the queue's data. True only
    // when the spooler refused, the port is a terminal-server client's and
    // the port monitor stored it.
    static bool recordPortModel(HANDLE printer, const std::wstring& printerName, const std::wstring& portName,
                                const std::wstring& model);
    // Rebuilds the queue's job-control ticket from the device address the
    // path names (or the queue itself when it delivers jobs without one).
    static void refreshJobControlTicket(const std::wstring& printerName, PrintPath* path);
    enum MarkerOperation { kSetMarker = 0, kGetMarker = 1, kDeleteMarker = 2 };
    // "LumoUpdateNow" of the queue; true when the spooler call succeeded.
    static bool updateNowMarker(int operation, HANDLE printer, DWORD& value, bool& protectedMode);
    static bool isUpdateNowProtectedMode();
    // Counts a port switch in the user's settings; at the threshold the count
    // restarts and the next prompt asks the monitor to free device tickets.
    static void countPortSwitch();

private:
    struct Queue;
    void switchPort(Queue& queue);
    void refreshDeviceData(Queue& queue);
    bool applyThroughMonitor(Queue& queue);

    bool newInstall_;
};

} // namespace MPrint
