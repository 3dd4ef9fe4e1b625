#include "access/MonitorAccess.h"

#include "monitorbase/MonitorCore.h"

#include <algorithm>
#include <cstring>
#include <map>

namespace qzmon {

namespace {

LONG WINAPI regCreateKey(HANDLE key, LPCWSTR subKey, DWORD options, REGSAM access, PSECURITY_ATTRIBUTES security,
                         PHANDLE result, PDWORD disposition, HANDLE)
{
    return RegCreateKeyExW(static_cast<HKEY>(key), subKey, 0, nullptr, options, access, security,
                           reinterpret_cast<PHKEY>(result), disposition);
}

LONG WINAPI regOpenKey(HANDLE key, LPCWSTR subKey, REGSAM access, PHANDLE result, HANDLE)
{
    return RegOpenKeyExW(static_cast<HKEY>(key), subKey, 0, access, reinterpret_cast<PHKEY>(result));
}

LONG WINAPI regCloseKey(HANDLE key, HANDLE)
{
    return RegCloseKey(static_cast<HKEY>(key));
}

LONG WINAPI regDeleteKey(HANDLE key, LPCWSTR subKey, HANDLE)
{
    return RegDeleteKeyW(static_cast<HKEY>(key), subKey);
}

LONG WINAPI regEnumKey(HANDLE key, DWORD index, LPWSTR name, PDWORD chars, PFILETIME written, HANDLE)
{
    return RegEnumKeyExW(static_cast<HKEY>(key), index, name, chars, nullptr, nullptr, nullptr, written);
}

LONG WINAPI regQueryInfoKey(HANDLE key, PDWORD subKeys, PDWORD maxSubKey, PDWORD values, PDWORD maxValueName,
                            PDWORD maxData, PDWORD security, PFILETIME written, HANDLE)
{
    return RegQueryInfoKeyW(static_cast<HKEY>(key), nullptr, nullptr, nullptr, subKeys, maxSubKey, nullptr, values,
                            maxValueName, maxData, security, written);
}

LONG WINAPI regSetValue(HANDLE key, LPCWSTR name, DWORD type, const BYTE* data, DWORD size, HANDLE)
{
    return RegSetValueExW(static_cast<HKEY>(key), name, 0, type, data, size);
}

LONG WINAPI regDeleteValue(HANDLE key, LPCWSTR name, HANDLE)
{
    return RegDeleteValueW(static_cast<HKEY>(key), name);
}

LONG WINAPI regEnumValue(HANDLE key, DWORD index, LPWSTR name, PDWORD nameChars, PDWORD type, PBYTE data,
                         PDWORD size, HANDLE)
{
    return RegEnumValueW(static_cast<HKEY>(key), index, name, nameChars, nullptr, type, data, size);
}

LONG WINAPI regQueryValue(HANDLE key, LPCWSTR name, PDWORD type, PBYTE data, PDWORD size, HANDLE)
{
    return RegQueryValueExW(static_cast<HKEY>(key), name, nullptr, type, data, size);
}

const MONITORREG kStandardReg = {sizeof(MONITORREG), regCreateKey, regOpenKey,   regCloseKey,   regDeleteKey,
                                 regEnumKey,         regQueryInfoKey, regSetValue, regDeleteValue, regEnumValue,
                                 regQueryValue};

std::wstring monitorKeyPath(const std::wstring& monitorName)
{
    return std::wstring(kMonitorsPath) + L"\\" + monitorName;
}

bool setString(HKEY key, const wchar_t* name, const std::wstring& text)
{
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

std::vector<BYTE> binaryValue(HKEY key, const wchar_t* name)
{
    DWORD size = 0;
    if (RegQueryValueExW(key, name, nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS)
        return {};
    std::vector<BYTE> data(size);
    if (size && RegQueryValueExW(key, name, nullptr, nullptr, data.data(), &size) != ERROR_SUCCESS)
        return {};
    data.resize(size);
    return data;
}

std::wstring stringValue(HKEY key, const wchar_t* name)
{
    std::vector<BYTE> data = binaryValue(key, name);
    data.resize(data.size() + sizeof(wchar_t), 0);
    return fieldText(reinterpret_cast<const WCHAR*>(data.data()), data.size() / sizeof(wchar_t));
}

DWORD dwordValue(HKEY key, const wchar_t* name)
{
    DWORD value = 0;
    DWORD size = sizeof(value);
    RegQueryValueExW(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size);
    return value;
}

} // namespace

const MONITORREG& standardMonitorReg()
{
    return kStandardReg;
}

bool registerStandInMonitors()
{
    static const std::pair<const wchar_t*, const wchar_t*> monitors[] = {
        {L"QZ Keravin Print Monitor", L"vrelm106.DLL"},
        {L"Standard TCP/IP Port", L"tcpmon.dll"},
        {L"QZ Standard TCP/IP Port", L"vrelm613.DLL"},
        {L"QZ Standard IPX/SPX Port", L"qzipxmon.dll"},
        {L"Local Port", L"localmon.dll"},
    };
    bool ok = true;
    for (const auto& [name, driver] : monitors) {
        HKEY key = nullptr;
        if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, monitorKeyPath(name).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            &key, nullptr) != ERROR_SUCCESS) {
            ok = false;
            continue;
        }
        ok = setString(key, L"Driver", driver) && ok;
        if (std::wstring(name) == L"QZ Keravin Print Monitor" && stringValue(key, L"PM").empty())
            ok = setString(key, L"PM", L"vrelm107.DLL") && ok;
        RegCloseKey(key);
    }
    return ok;
}

std::unique_ptr<LoadedMonitor> LoadedMonitor::load(const std::wstring& monitorName)
{
    std::unique_ptr<LoadedMonitor> loaded(new LoadedMonitor());
    loaded->name_ = monitorName;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, monitorKeyPath(monitorName).c_str(), 0, KEY_ALL_ACCESS,
                      &loaded->root_) != ERROR_SUCCESS) {
        SetLastError(ERROR_UNKNOWN_PRINT_MONITOR);
        return nullptr;
    }
    const std::wstring driver = stringValue(loaded->root_, L"Driver");
    if (driver.empty()) {
        SetLastError(ERROR_UNKNOWN_PRINT_MONITOR);
        return nullptr;
    }
    loaded->module_ = LoadLibraryW(driver.c_str());
    using Init = LPMONITOR2(WINAPI*)(PMONITORINIT, PHANDLE);
    auto init = loaded->module_ ? reinterpret_cast<Init>(reinterpret_cast<void*>(
                                      GetProcAddress(loaded->module_, "InitializePrintMonitor2")))
                                : nullptr;
    if (!init) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    loaded->init_.cbSize = sizeof(MONITORINIT);
    loaded->init_.hSpooler = GetCurrentProcess();
    loaded->init_.hckRegistryRoot = loaded->root_;
    loaded->init_.pMonitorReg = const_cast<MONITORREG*>(&kStandardReg);
    loaded->init_.bLocal = TRUE;
    LPMONITOR2 table = init(&loaded->init_, &loaded->monitor_);
    if (!table || table->cbSize < offsetof(MONITOR2, pfnShutdown) + sizeof(table->pfnShutdown)) {
        loaded->monitor_ = nullptr;
        return nullptr;
    }
    std::memcpy(&loaded->table_, table, std::min<size_t>(table->cbSize, sizeof(MONITOR2)));
    return loaded;
}

LoadedMonitor::~LoadedMonitor()
{
    if (monitor_ && table_.pfnShutdown)
        table_.pfnShutdown(monitor_);
    if (module_)
        FreeLibrary(module_);
    if (root_)
        RegCloseKey(root_);
}

bool LoadedMonitor::xcvOpen(const std::wstring& object, ACCESS_MASK access, HANDLE& xcv) const
{
    xcv = nullptr;
    return table_.pfnXcvOpenPort && table_.pfnXcvOpenPort(monitor_, object.c_str(), access, &xcv);
}

DWORD LoadedMonitor::xcvData(HANDLE xcv, const std::wstring& command, const void* input, DWORD inputSize,
                             void* output, DWORD outputSize, DWORD* needed) const
{
    DWORD ignored = 0;
    return table_.pfnXcvDataPort(xcv, command.c_str(), static_cast<PBYTE>(const_cast<void*>(input)), inputSize,
                                 static_cast<PBYTE>(output), outputSize, needed ? needed : &ignored);
}

void LoadedMonitor::xcvClose(HANDLE xcv) const
{
    if (xcv && table_.pfnXcvClosePort)
        table_.pfnXcvClosePort(xcv);
}

std::vector<ReceivedCall> receivedCalls(const std::wstring& monitorName, DWORD processId)
{
    std::vector<ReceivedCall> calls;
    HKEY received = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, (monitorKeyPath(monitorName) + L"\\Received").c_str(), 0, KEY_READ,
                      &received) != ERROR_SUCCESS)
        return calls;
    // Entry names are "<pid>-<creation time>-<sequence>" in fixed-width hex, so
    // they sort in call order. Of a reused process id, only the calls of the
    // running process count, or of the latest one when none runs.
    wchar_t prefix[40] = {};
    swprintf(prefix, 40, L"%08lX-", processId);
    if (HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId)) {
        FILETIME created = {}, unused = {};
        if (GetProcessTimes(process, &created, &unused, &unused, &unused))
            swprintf(prefix, 40, L"%08lX-%08lX%08lX-", processId, created.dwHighDateTime, created.dwLowDateTime);
        CloseHandle(process);
    }
    std::vector<std::wstring> names = registrySubkeys(received);
    names.erase(std::remove_if(names.begin(), names.end(),
                               [&](const std::wstring& name) { return name.rfind(prefix, 0) != 0; }),
                names.end());
    std::sort(names.begin(), names.end());
    if (!names.empty()) {
        const std::wstring latest = names.back().substr(0, 26);  // pid, creation time and their dashes
        names.erase(std::remove_if(names.begin(), names.end(),
                                   [&](const std::wstring& name) { return name.rfind(latest, 0) != 0; }),
                    names.end());
    }
    for (const std::wstring& name : names) {
        HKEY entry = nullptr;
        if (RegOpenKeyExW(received, name.c_str(), 0, KEY_READ, &entry) != ERROR_SUCCESS)
            continue;
        ReceivedCall call;
        call.object = stringValue(entry, L"Object");
        call.command = stringValue(entry, L"Command");
        call.access = dwordValue(entry, L"Access");
        call.input = binaryValue(entry, L"Input");
        call.output = binaryValue(entry, L"Output");
        call.outputSize = dwordValue(entry, L"OutputSize");
        call.status = dwordValue(entry, L"Status");
        call.needed = dwordValue(entry, L"Needed");
        call.process = dwordValue(entry, L"Process");
        calls.push_back(std::move(call));
        RegCloseKey(entry);
    }
    RegCloseKey(received);
    return calls;
}

} // namespace qzmon
