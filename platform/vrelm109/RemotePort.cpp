// Stand-in for the maker's remote-port module. It answers from the print
// server as the spooler (stand-in) shows it: the port of "\\server\printer"
// and that port's monitor and description; the address is taken from the
// port's name ("IP_" and "HST_" ports carry it, others are their own).
//
// Test controls, read from the environment at each call:
//   VRELM_REMOTEPORT_LOG   one line per call appended to this file;
//   VRELM_REMOTEPORT_FAIL  the export named here fails with error 5 after it
//                          has handed out its texts (a module that allocates
//                          before it finds out that it cannot answer).
#include "shared/RemotePortExports.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

std::wstring environment(const wchar_t* name)
{
    wchar_t value[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableW(name, value, MAX_PATH);
    return length == 0 || length >= MAX_PATH ? std::wstring() : std::wstring(value, length);
}

void record(const std::wstring& line)
{
    const std::wstring path = environment(L"VRELM_REMOTEPORT_LOG");
    if (path.empty())
        return;
    const std::wstring text = line + L"\n";
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0,
                                         nullptr, nullptr);
    std::string bytes(size > 0 ? size : 0, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), bytes.data(), size, nullptr,
                        nullptr);
    HANDLE file = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    DWORD done = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr);
    CloseHandle(file);
}

std::wstring textOrNull(const wchar_t* text)
{
    return text ? std::wstring(text, wcsnlen(text, 1024)) : std::wstring(L"(null)");
}

wchar_t* handOut(const std::wstring& text)
{
    const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    auto* copy = static_cast<wchar_t*>(HeapAlloc(GetProcessHeap(), 0, bytes));
    if (copy)
        memcpy(copy, text.c_str(), bytes);
    return copy;
}

bool failing(const wchar_t* function)
{
    return environment(L"VRELM_REMOTEPORT_FAIL") == function;
}

std::wstring serverPath(const wchar_t* server)
{
    return std::wstring(L"\\\\") + (server ? std::wstring(server, wcsnlen(server, 256)) : std::wstring());
}

DWORD portOfPrinter(const std::wstring& printerPath, std::wstring& port)
{
    HANDLE printer = nullptr;
    if (!OpenPrinterW(const_cast<wchar_t*>(printerPath.c_str()), &printer, nullptr))
        return GetLastError();
    DWORD needed = 0;
    GetPrinterW(printer, 2, nullptr, 0, &needed);
    std::vector<BYTE> info(needed);
    DWORD error = ERROR_SUCCESS;
    if (needed && GetPrinterW(printer, 2, info.data(), needed, &needed)) {
        const auto* two = reinterpret_cast<const PRINTER_INFO_2W*>(info.data());
        port = two->pPortName ? two->pPortName : L"";
    } else {
        error = GetLastError();
    }
    ClosePrinter(printer);
    return error;
}

DWORD describePort(const std::wstring& server, const std::wstring& port, std::wstring& monitor,
                   std::wstring& description)
{
    DWORD needed = 0, count = 0;
    EnumPortsW(const_cast<wchar_t*>(server.c_str()), 2, nullptr, 0, &needed, &count);
    std::vector<BYTE> ports(needed);
    if (!needed || !EnumPortsW(const_cast<wchar_t*>(server.c_str()), 2, ports.data(), needed, &needed, &count))
        return GetLastError();
    const auto* info = reinterpret_cast<const PORT_INFO_2W*>(ports.data());
    for (DWORD i = 0; i < count; ++i) {
        if (info[i].pPortName && _wcsicmp(info[i].pPortName, port.c_str()) == 0) {
            monitor = info[i].pMonitorName ? info[i].pMonitorName : L"";
            description = info[i].pDescription ? info[i].pDescription : L"";
            return ERROR_SUCCESS;
        }
    }
    return ERROR_UNKNOWN_PORT;
}

std::wstring addressOfPort(const std::wstring& port)
{
    for (const wchar_t* prefix : {L"IP_", L"HST_"}) {
        const size_t length = wcslen(prefix);
        if (port.compare(0, length, prefix) == 0)
            return port.substr(length);
    }
    return port;
}

} // namespace

extern "C" {

DWORD WINAPI GetRemotePortName(const wchar_t* printer, const wchar_t* server, wchar_t** port)
{
    if (!printer || !server || !port) {
        record(L"GetRemotePortName bad-arguments");
        return ERROR_INVALID_PARAMETER;
    }
    const std::wstring printerPath = serverPath(server) + L"\\" + std::wstring(printer, wcsnlen(printer, 256));
    std::wstring name;
    DWORD error = portOfPrinter(printerPath, name);
    if (failing(L"GetRemotePortName")) {
        *port = handOut(L"partial");
        error = ERROR_ACCESS_DENIED;
    } else if (error == ERROR_SUCCESS) {
        *port = handOut(name);
    }
    record(L"GetRemotePortName " + textOrNull(printer) + L" " + textOrNull(server) + L" => " +
           std::to_wstring(error));
    return error;
}

DWORD WINAPI GetRemotePortInformation(const wchar_t* port, const wchar_t* server, wchar_t** address,
                                      wchar_t** monitor, wchar_t** description)
{
    if (!port || !server || !address || !monitor || !description) {
        record(L"GetRemotePortInformation bad-arguments");
        return ERROR_INVALID_PARAMETER;
    }
    const std::wstring name(port, wcsnlen(port, 256));
    std::wstring monitorName, descriptionText;
    DWORD error = describePort(serverPath(server), name, monitorName, descriptionText);
    if (failing(L"GetRemotePortInformation")) {
        *address = handOut(addressOfPort(name));
        error = ERROR_ACCESS_DENIED;
    } else if (error == ERROR_SUCCESS) {
        *address = handOut(addressOfPort(name));
        *monitor = handOut(monitorName);
        *description = handOut(descriptionText);
    }
    record(L"GetRemotePortInformation " + textOrNull(port) + L" " + textOrNull(server) + L" => " +
           std::to_wstring(error));
    return error;
}

#ifndef VRELM109_NO_FREE
void WINAPI FreeQZString(wchar_t* text)
{
    record(L"FreeQZString " + textOrNull(text));
    if (text)
        HeapFree(GetProcessHeap(), 0, text);
}
#endif

} // extern "C"
