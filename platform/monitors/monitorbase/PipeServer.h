// The server side of a byte-mode named pipe as the Keravin monitor serves it:
// one instance always listening (a client never finds the pipe busy), bounded
// transfers, and a bounded wait for the client's close before disconnecting.
#pragma once

#include "core/Win32.h"

#include <functional>
#include <vector>

namespace qzmon {

// Accepts clients until one of the stop handles is signalled. onListening runs
// once the first instance exists; onClient gets each connected instance and owns
// it (see endClient). False when no instance could be created.
bool acceptPipeClients(const wchar_t* pipeName, const std::vector<HANDLE>& stops,
                       const std::function<void()>& onListening, const std::function<void(HANDLE)>& onClient);

// Reads or writes exactly size bytes on an overlapped pipe handle, each part
// within timeoutMs.
bool pipeTransfer(HANDLE pipe, BYTE* data, DWORD size, bool write, DWORD timeoutMs);

// Waits (bounded) until the client has closed its end: disconnecting earlier
// would discard a reply it has not read. True when the client wrote more
// after its request.
bool waitForClientClose(HANDLE pipe, DWORD timeoutMs);

// Disconnects and closes a served instance.
void endClient(HANDLE pipe);

} // namespace qzmon
