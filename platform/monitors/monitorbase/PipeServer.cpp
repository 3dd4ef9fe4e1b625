#include "PipeServer.h"

namespace qzmon {

namespace {

HANDLE createInstance(const wchar_t* pipeName)
{
    return CreateNamedPipeW(pipeName, PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED,
                            PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT, PIPE_UNLIMITED_INSTANCES, 64 * 1024,
                            64 * 1024, 0, nullptr);
}

} // namespace

bool acceptPipeClients(const wchar_t* pipeName, const std::vector<HANDLE>& stops,
                       const std::function<void()>& onListening, const std::function<void(HANDLE)>& onClient)
{
    HANDLE listening = createInstance(pipeName);
    if (listening == INVALID_HANDLE_VALUE)
        return false;
    HANDLE connected = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!connected) {
        CloseHandle(listening);
        return false;
    }
    std::vector<HANDLE> waits = {connected};
    waits.insert(waits.end(), stops.begin(), stops.end());
    if (onListening)
        onListening();
    while (listening != INVALID_HANDLE_VALUE) {
        OVERLAPPED overlapped = {};
        overlapped.hEvent = connected;
        ResetEvent(connected);
        bool client = ConnectNamedPipe(listening, &overlapped) || GetLastError() == ERROR_PIPE_CONNECTED;
        if (!client && GetLastError() == ERROR_IO_PENDING) {
            if (WaitForMultipleObjects(static_cast<DWORD>(waits.size()), waits.data(), FALSE, INFINITE) !=
                WAIT_OBJECT_0) {
                CancelIo(listening);
                CloseHandle(listening);
                break;
            }
            DWORD ignored = 0;
            client = GetOverlappedResult(listening, &overlapped, &ignored, FALSE) != FALSE;
        }
        HANDLE current = listening;
        listening = createInstance(pipeName);
        if (client)
            onClient(current);
        else
            CloseHandle(current);
    }
    CloseHandle(connected);
    return true;
}

bool pipeTransfer(HANDLE pipe, BYTE* data, DWORD size, bool write, DWORD timeoutMs)
{
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!event)
        return false;
    DWORD done = 0;
    bool ok = true;
    while (ok && done < size) {
        OVERLAPPED overlapped = {};
        overlapped.hEvent = event;
        ResetEvent(event);
        BOOL started = write ? WriteFile(pipe, data + done, size - done, nullptr, &overlapped)
                             : ReadFile(pipe, data + done, size - done, nullptr, &overlapped);
        if (!started && GetLastError() != ERROR_IO_PENDING)
            break;
        if (!started && WaitForSingleObject(event, timeoutMs) != WAIT_OBJECT_0)
            CancelIo(pipe);
        DWORD moved = 0;
        ok = GetOverlappedResult(pipe, &overlapped, &moved, TRUE) && moved != 0;
        done += moved;
    }
    CloseHandle(event);
    return ok && done == size;
}

// A pending read is not a reliable signal of the client's close under Wine;
// polling the pipe is.
bool waitForClientClose(HANDLE pipe, DWORD timeoutMs)
{
    bool more = false;
    for (DWORD waited = 0; waited < timeoutMs; waited += 5) {
        DWORD available = 0;
        if (!PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr))
            break;
        more = more || available != 0;
        Sleep(5);
    }
    return more;
}

void endClient(HANDLE pipe)
{
    DisconnectNamedPipe(pipe);
    CloseHandle(pipe);
}

} // namespace qzmon
