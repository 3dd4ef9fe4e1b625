// Finds the device behind a shared queue on a print server and opens a
// Trebuk port connection to it. What was found is recorded on the print
// path (so that the next call skips the search) and as "BIDI..." printer
// data of the local queue (so that its port monitor can reach the device).
#pragma once

#include "core/Win32.h"

#include <string>

namespace MPrint {

class PrintPath;
class TrebukBidiConnection;

class UNCBidiConnectionHelper {
public:
    // Connection types kept as "BidiCType".
    enum ConnectionType : DWORD { kThroughQueue = 0, kIpx = 1, kTcpIp = 2, kUndetermined = 3 };

    UNCBidiConnectionHelper() = default;
    virtual ~UNCBidiConnectionHelper();
    UNCBidiConnectionHelper(const UNCBidiConnectionHelper&) = delete;
    UNCBidiConnectionHelper& operator=(const UNCBidiConnectionHelper&) = delete;

    // A new connection owned by the caller, or null when no way to the
    // device was found; *connected tells whether it is connected.
    TrebukBidiConnection* setBIDIHelperValues(PrintPath* path, const wchar_t* sharedQueue, const wchar_t* uncPort,
                                              bool* connected);

    // "host[:port]" (port 9100 without one; an IPv6 literal is a host, in
    // brackets when it has a port): the host, its kind (2 numeric, 4 name)
    // and the port. False for an empty text or a port that is no number.
    static bool resolveAddress(const std::wstring& text, std::wstring& host, DWORD& kind, DWORD& port);
    // "network.node" as 8 + "." + 12 hexadecimal digits, each part padded
    // with leading zeros; false when a part is empty, too long or not hexadecimal.
    static bool normaliseIpxAddress(const std::wstring& text, std::wstring& address);

    // The text of "BIDICurrentPort" for a local queue the path is a
    // job-delivery destination of; empty otherwise. Named by the printing
    // extension, which sits above this layer; without one the shared queue
    // name is written.
    using CurrentPortSource = std::wstring (*)(const std::wstring& localQueue, PrintPath& path);
    static void setCurrentPortSource(CurrentPortSource source);

protected:
    // The IPX network search for a node address without a network part.
    virtual bool searchIpxNetworks(TrebukBidiConnection& connection, const std::wstring& node, DWORD kind, DWORD port,
                                   std::wstring& address);
};

} // namespace MPrint
