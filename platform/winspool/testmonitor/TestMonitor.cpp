// A port monitor for the spooler stand-in's own tests (bin/spooler-test/
// spoolertestmon.dll, outside the normal DLL search). It appends every call
// it receives to the file named by VRELM_TESTMONITOR_LOG, one line each:
//   init <bLocal> <registry root usable 0|1>
//   open <object> <access hex>          (object "Refuse" fails with ERROR_ACCESS_DENIED)
//   data <object> <command> <input hex> <output size>
//   close <object>
// XcvDataPort writes the input reversed into the output and answers the status
// named by a command "Status<N>", else 0; ERROR_INSUFFICIENT_BUFFER when the output is short.
#include <windows.h>
#include <winsplp.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

struct Xcv {
    std::wstring object;
};

void record(const std::wstring& line)
{
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableW(L"VRELM_TESTMONITOR_LOG", path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return;
    const std::wstring text = line + L"\r\n";
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0,
                                          nullptr, nullptr);
    std::string narrow(bytes > 0 ? bytes : 0, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), narrow.data(), bytes, nullptr,
                        nullptr);
    HANDLE file = CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0;
    WriteFile(file, narrow.data(), static_cast<DWORD>(narrow.size()), &written, nullptr);
    CloseHandle(file);
}

std::wstring hex(const BYTE* data, DWORD size)
{
    static const wchar_t digits[] = L"0123456789ABCDEF";
    std::wstring text;
    for (DWORD i = 0; data && i < size; ++i) {
        text += digits[data[i] >> 4];
        text += digits[data[i] & 15];
    }
    return text.empty() ? L"-" : text;
}

BOOL WINAPI xcvOpenPort(HANDLE, LPCWSTR object, ACCESS_MASK access, PHANDLE xcv)
{
    const std::wstring name = object ? object : L"";
    wchar_t mask[16];
    swprintf(mask, 16, L"%lX", static_cast<unsigned long>(access));
    record(L"open " + name + L" " + mask);
    if (name == L"Refuse") {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    *xcv = new Xcv{name};
    return TRUE;
}

DWORD WINAPI xcvDataPort(HANDLE handle, LPCWSTR command, PBYTE input, DWORD inputSize, PBYTE output,
                         DWORD outputSize, PDWORD needed)
{
    const auto* xcv = static_cast<Xcv*>(handle);
    const std::wstring name = command ? command : L"";
    record(L"data " + xcv->object + L" " + name + L" " + hex(input, inputSize) + L" " + std::to_wstring(outputSize));
    *needed = inputSize;
    if (outputSize < inputSize)
        return ERROR_INSUFFICIENT_BUFFER;
    for (DWORD i = 0; i < inputSize; ++i)
        output[i] = input[inputSize - 1 - i];
    if (name.rfind(L"Status", 0) == 0)
        return wcstoul(name.c_str() + 6, nullptr, 10);
    return ERROR_SUCCESS;
}

BOOL WINAPI xcvClosePort(HANDLE handle)
{
    auto* xcv = static_cast<Xcv*>(handle);
    record(L"close " + xcv->object);
    delete xcv;
    return TRUE;
}

VOID WINAPI shutdown(HANDLE)
{
    record(L"shutdown");
}

MONITOR2 table = [] {
    MONITOR2 t{};
    t.cbSize = sizeof(MONITOR2);
    t.pfnXcvOpenPort = xcvOpenPort;
    t.pfnXcvDataPort = xcvDataPort;
    t.pfnXcvClosePort = xcvClosePort;
    t.pfnShutdown = shutdown;
    return t;
}();

} // namespace

extern "C" LPMONITOR2 WINAPI InitializePrintMonitor2(PMONITORINIT init, PHANDLE monitor)
{
    HANDLE probe = nullptr;
    const bool registry = init && init->pMonitorReg && init->pMonitorReg->fpOpenKey &&
                          init->pMonitorReg->fpOpenKey(init->hckRegistryRoot, nullptr, KEY_READ, &probe,
                                                       init->hSpooler) == ERROR_SUCCESS;
    if (registry)
        init->pMonitorReg->fpCloseKey(probe, init->hSpooler);
    record(std::wstring(L"init ") + (init && init->bLocal ? L"1" : L"0") + (registry ? L" 1" : L" 0"));
    *monitor = reinterpret_cast<HANDLE>(&table);
    return &table;
}
