// Printer data: values under the queue's key. The plain forms use the key
// "PrinterDriverData"; the ...Ex forms name a (possibly nested) key.
#include "Spooler.h"

#include <algorithm>

using namespace spool;

namespace {

constexpr wchar_t kDriverData[] = L"PrinterDriverData";

// A key path below the queue: no empty parts, no leading or trailing backslash.
bool validKeyPath(const std::wstring& key)
{
    if (key.empty() || key.size() > kMaxKeyPath)
        return false;
    if (key.front() == L'\\' || key.back() == L'\\' || key.find(L"\\\\") != std::wstring::npos)
        return false;
    size_t start = 0;
    while (start < key.size()) {
        size_t end = key.find(L'\\', start);
        if (end == std::wstring::npos)
            end = key.size();
        if (end - start > 255)
            return false;
        start = end + 1;
    }
    return true;
}

DWORD finish(const wchar_t* function, std::initializer_list<std::wstring> args, DWORD error)
{
    logCall(function, args, error);
    SetLastError(error);
    return error;
}

// Resolves the handle and key; error codes are the spooler's (returned, not last error).
DWORD resolve(HANDLE hPrinter, LPCWSTR keyName, ACCESS_MASK needed, std::shared_ptr<PrinterHandle>& handle,
              std::wstring& path)
{
    handle = findHandle(hPrinter);
    if (!handle || handle->kind != HandleKind::Printer)
        return ERROR_INVALID_HANDLE;
    if ((handle->access & needed) != needed)
        return ERROR_ACCESS_DENIED;
    if (!keyName)
        return ERROR_INVALID_PARAMETER;
    const size_t length = wcsnlen(keyName, kMaxKeyPath + 1);
    const std::wstring key(keyName, length);
    if (!validKeyPath(key))
        return ERROR_INVALID_PARAMETER;
    path = handle->queue.keyPath() + L"\\" + key;
    return ERROR_SUCCESS;
}

DWORD copyOut(const wchar_t* function, std::initializer_list<std::wstring> args, DWORD type,
              const std::vector<BYTE>& data, LPDWORD pType, LPBYTE pData, DWORD nSize, LPDWORD pcbNeeded)
{
    *pcbNeeded = static_cast<DWORD>(data.size());
    if (pType)
        *pType = type;
    if (data.size() > nSize || (!pData && !data.empty()))
        return finish(function, args, ERROR_MORE_DATA);
    if (!data.empty())
        memcpy(pData, data.data(), data.size());
    return finish(function, args, ERROR_SUCCESS);
}

// A print server's own data: values of its key (for the local server the
// "Print" key, as Windows keeps them), else the few every server answers.
DWORD getServerData(const PrinterHandle& handle, const std::wstring& value, LPDWORD pType, LPBYTE pData,
                    DWORD nSize, LPDWORD pcbNeeded)
{
    const std::wstring server = handle.server.empty() ? localServerName() : handle.server;
    const std::initializer_list<std::wstring> args = {server, value};
    if (!pcbNeeded)
        return finish(L"GetPrinterDataW", args, ERROR_INVALID_PARAMETER);
    RegKey reg;
    reg.open(HKEY_LOCAL_MACHINE, handle.server.empty()
                                     ? std::wstring(kPrintRoot)
                                     : std::wstring(kServersPath) + L"\\" + serverKeyName(handle.server));
    DWORD type = 0;
    std::vector<BYTE> data;
    if (reg.valid() && reg.readValue(value.c_str(), type, data) == ERROR_SUCCESS)
        return copyOut(L"GetPrinterDataW", args, type, data, pType, pData, nSize, pcbNeeded);
    auto text = [&](const std::wstring& t) {
        type = REG_SZ;
        const BYTE* bytes = reinterpret_cast<const BYTE*>(t.c_str());
        data.assign(bytes, bytes + (t.size() + 1) * sizeof(wchar_t));
    };
    auto number = [&](DWORD n) {
        type = REG_DWORD;
        data.assign(reinterpret_cast<const BYTE*>(&n), reinterpret_cast<const BYTE*>(&n) + sizeof(n));
    };
    if (equalsNoCase(value, L"Architecture"))
        text(kEnvironment);
    else if (equalsNoCase(value, L"MajorVersion"))
        number(3);
    else if (equalsNoCase(value, L"MinorVersion"))
        number(0);
    else if (equalsNoCase(value, L"DefaultSpoolDirectory"))
        text(L"C:\\windows\\system32\\spool\\PRINTERS");
    else
        return finish(L"GetPrinterDataW", args, ERROR_FILE_NOT_FOUND);
    return copyOut(L"GetPrinterDataW", args, type, data, pType, pData, nSize, pcbNeeded);
}

DWORD getData(HANDLE hPrinter, LPCWSTR keyName, LPCWSTR valueName, LPDWORD pType, LPBYTE pData, DWORD nSize,
              LPDWORD pcbNeeded, const wchar_t* function)
{
    std::shared_ptr<PrinterHandle> handle;
    std::wstring path;
    const std::wstring key = safeText(keyName, kMaxKeyPath + 1), value = safeText(valueName, 16384);
    DWORD error = resolve(hPrinter, keyName, 0, handle, path);
    if (error != ERROR_SUCCESS)
        return finish(function, {key, value}, error);
    const std::wstring queue = handle->queue.fullName();
    if (!pcbNeeded)
        return finish(function, {queue, key, value}, ERROR_INVALID_PARAMETER);
    if (!queueExists(handle->queue))
        return finish(function, {queue, key, value}, ERROR_INVALID_PRINTER_NAME);
    RegKey reg;
    DWORD type = 0;
    std::vector<BYTE> data;
    LONG rc = reg.open(HKEY_LOCAL_MACHINE, path);
    if (rc == ERROR_SUCCESS)
        rc = reg.readValue(valueName ? value.c_str() : L"", type, data);
    if (rc != ERROR_SUCCESS)
        return finish(function, {queue, key, value}, rc == ERROR_FILE_NOT_FOUND ? ERROR_FILE_NOT_FOUND : rc);
    return copyOut(function, {queue, key, value}, type, data, pType, pData, nSize, pcbNeeded);
}

DWORD setData(HANDLE hPrinter, LPCWSTR keyName, LPCWSTR valueName, DWORD type, LPBYTE pData, DWORD cbData,
              const wchar_t* function)
{
    std::shared_ptr<PrinterHandle> handle;
    std::wstring path;
    const std::wstring key = safeText(keyName, kMaxKeyPath + 1), value = safeText(valueName, 16384);
    DWORD error = resolve(hPrinter, keyName, PRINTER_ACCESS_ADMINISTER, handle, path);
    if (error != ERROR_SUCCESS)
        return finish(function, {key, value, numberText(type), hexOf(pData, pData ? cbData : 0, 256)}, error);
    const std::initializer_list<std::wstring> args = {handle->queue.fullName(), key, value, numberText(type),
                                                      hexOf(pData, pData ? cbData : 0, 256)};
    if (!valueName || wcsnlen(valueName, 16384) >= 16384 || (!pData && cbData) || cbData > kMaxValueSize)
        return finish(function, args, ERROR_INVALID_PARAMETER);
    if (changesWithdrawn())
        return finish(function, args, ERROR_ACCESS_DENIED);
    SpoolLock lock;
    if (!lock.held())
        return finish(function, args, ERROR_TIMEOUT);
    if (!queueExists(handle->queue))
        return finish(function, args, ERROR_INVALID_PRINTER_NAME);
    RegKey reg;
    LONG rc = reg.create(HKEY_LOCAL_MACHINE, path);
    if (rc == ERROR_SUCCESS)
        rc = reg.writeValue(value.c_str(), type, pData, cbData);
    return finish(function, args, static_cast<DWORD>(rc));
}

DWORD deleteData(HANDLE hPrinter, LPCWSTR keyName, LPCWSTR valueName, const wchar_t* function)
{
    std::shared_ptr<PrinterHandle> handle;
    std::wstring path;
    const std::wstring key = safeText(keyName, kMaxKeyPath + 1), value = safeText(valueName, 16384);
    DWORD error = resolve(hPrinter, keyName, PRINTER_ACCESS_ADMINISTER, handle, path);
    if (error != ERROR_SUCCESS)
        return finish(function, {key, value}, error);
    const std::initializer_list<std::wstring> args = {handle->queue.fullName(), key, value};
    if (!valueName)
        return finish(function, args, ERROR_INVALID_PARAMETER);
    if (changesWithdrawn())
        return finish(function, args, ERROR_ACCESS_DENIED);
    SpoolLock lock;
    if (!lock.held())
        return finish(function, args, ERROR_TIMEOUT);
    RegKey reg;
    LONG rc = reg.open(HKEY_LOCAL_MACHINE, path, KEY_SET_VALUE);
    if (rc == ERROR_SUCCESS)
        rc = RegDeleteValueW(reg.get(), value.c_str());
    return finish(function, args, static_cast<DWORD>(rc));
}

} // namespace

extern "C" {

DWORD WINAPI GetPrinterDataW(HANDLE hPrinter, LPWSTR pValueName, LPDWORD pType, LPBYTE pData, DWORD nSize,
                             LPDWORD pcbNeeded)
{
    std::shared_ptr<PrinterHandle> server = findHandle(hPrinter);
    if (server && server->kind == HandleKind::Server)
        return getServerData(*server, safeText(pValueName, 16384), pType, pData, nSize, pcbNeeded);
    return getData(hPrinter, kDriverData, pValueName, pType, pData, nSize, pcbNeeded, L"GetPrinterDataW");
}

DWORD WINAPI GetPrinterDataExW(HANDLE hPrinter, LPCWSTR pKeyName, LPCWSTR pValueName, LPDWORD pType, LPBYTE pData,
                               DWORD nSize, LPDWORD pcbNeeded)
{
    return getData(hPrinter, pKeyName, pValueName, pType, pData, nSize, pcbNeeded, L"GetPrinterDataExW");
}

DWORD WINAPI SetPrinterDataW(HANDLE hPrinter, LPWSTR pValueName, DWORD Type, LPBYTE pData, DWORD cbData)
{
    return setData(hPrinter, kDriverData, pValueName, Type, pData, cbData, L"SetPrinterDataW");
}

DWORD WINAPI SetPrinterDataExW(HANDLE hPrinter, LPCWSTR pKeyName, LPCWSTR pValueName, DWORD Type, LPBYTE pData,
                               DWORD cbData)
{
    return setData(hPrinter, pKeyName, pValueName, Type, pData, cbData, L"SetPrinterDataExW");
}

DWORD WINAPI DeletePrinterDataW(HANDLE hPrinter, LPWSTR pValueName)
{
    return deleteData(hPrinter, kDriverData, pValueName, L"DeletePrinterDataW");
}

DWORD WINAPI DeletePrinterDataExW(HANDLE hPrinter, LPCWSTR pKeyName, LPCWSTR pValueName)
{
    return deleteData(hPrinter, pKeyName, pValueName, L"DeletePrinterDataExW");
}

DWORD WINAPI DeletePrinterKeyW(HANDLE hPrinter, LPCWSTR pKeyName)
{
    std::shared_ptr<PrinterHandle> handle;
    std::wstring path;
    const std::wstring key = safeText(pKeyName, kMaxKeyPath + 1);
    DWORD error = resolve(hPrinter, pKeyName, PRINTER_ACCESS_ADMINISTER, handle, path);
    if (error != ERROR_SUCCESS)
        return finish(L"DeletePrinterKeyW", {key}, error);
    SpoolLock lock;
    if (!lock.held())
        return finish(L"DeletePrinterKeyW", {handle->queue.fullName(), key}, ERROR_TIMEOUT);
    const LONG rc = RegDeleteTreeW(HKEY_LOCAL_MACHINE, path.c_str());
    return finish(L"DeletePrinterKeyW", {handle->queue.fullName(), key}, static_cast<DWORD>(rc));
}

DWORD WINAPI EnumPrinterDataExW(HANDLE hPrinter, LPCWSTR pKeyName, LPBYTE pEnumValues, DWORD cbEnumValues,
                                LPDWORD pcbEnumValues, LPDWORD pnEnumValues)
{
    std::shared_ptr<PrinterHandle> handle;
    std::wstring path;
    const std::wstring key = safeText(pKeyName, kMaxKeyPath + 1);
    DWORD error = resolve(hPrinter, pKeyName, 0, handle, path);
    if (error != ERROR_SUCCESS)
        return finish(L"EnumPrinterDataExW", {key}, error);
    const std::initializer_list<std::wstring> args = {handle->queue.fullName(), key};
    if (!pcbEnumValues || !pnEnumValues)
        return finish(L"EnumPrinterDataExW", args, ERROR_INVALID_PARAMETER);
    *pnEnumValues = 0;
    RegKey reg;
    const LONG rc = reg.open(HKEY_LOCAL_MACHINE, path);
    if (rc != ERROR_SUCCESS)
        return finish(L"EnumPrinterDataExW", args, static_cast<DWORD>(rc));
    struct Value {
        std::wstring name;
        DWORD type;
        std::vector<BYTE> data;
    };
    std::vector<Value> values;
    for (const std::wstring& name : reg.valueNames()) {
        Value v{name, 0, {}};
        if (reg.readValue(name.c_str(), v.type, v.data) == ERROR_SUCCESS)
            values.push_back(std::move(v));
    }
    const BOOL ok = packArray<PRINTER_ENUM_VALUESW>(
        values, pEnumValues, cbEnumValues, pcbEnumValues, pnEnumValues,
        [](Packer& p, PRINTER_ENUM_VALUESW& out, const Value& v) {
            out.pValueName = p.text(v.name);
            out.cbValueName = static_cast<DWORD>((v.name.size() + 1) * sizeof(wchar_t));
            out.dwType = v.type;
            out.pData = p.bytes(v.data.data(), v.data.size());
            out.cbData = static_cast<DWORD>(v.data.size());
        });
    const DWORD packed = ok ? ERROR_SUCCESS : GetLastError();
    return finish(L"EnumPrinterDataExW", args, packed == ERROR_INSUFFICIENT_BUFFER ? ERROR_MORE_DATA : packed);
}

DWORD WINAPI EnumPrinterDataW(HANDLE hPrinter, DWORD dwIndex, LPWSTR pValueName, DWORD cbValueName,
                              LPDWORD pcbValueName, LPDWORD pType, LPBYTE pData, DWORD cbData, LPDWORD pcbData)
{
    std::shared_ptr<PrinterHandle> handle;
    std::wstring path;
    DWORD error = resolve(hPrinter, kDriverData, 0, handle, path);
    if (error != ERROR_SUCCESS)
        return finish(L"EnumPrinterDataW", {numberText(dwIndex)}, error);
    const std::initializer_list<std::wstring> args = {handle->queue.fullName(), numberText(dwIndex)};
    if (!pcbValueName || !pcbData)
        return finish(L"EnumPrinterDataW", args, ERROR_INVALID_PARAMETER);
    RegKey reg;
    reg.open(HKEY_LOCAL_MACHINE, path);
    const std::vector<std::wstring> names = reg.valueNames();
    if (dwIndex >= names.size())
        return finish(L"EnumPrinterDataW", args, ERROR_NO_MORE_ITEMS);
    DWORD type = 0;
    std::vector<BYTE> data;
    const LONG rc = reg.readValue(names[dwIndex].c_str(), type, data);
    if (rc != ERROR_SUCCESS)
        return finish(L"EnumPrinterDataW", args, static_cast<DWORD>(rc));
    const DWORD nameBytes = static_cast<DWORD>((names[dwIndex].size() + 1) * sizeof(wchar_t));
    // With both sizes zero this is the documented query for the largest sizes.
    if (cbValueName == 0 && cbData == 0) {
        DWORD longestName = 0, longestData = 0;
        for (const std::wstring& name : names) {
            longestName = std::max<DWORD>(longestName, static_cast<DWORD>((name.size() + 1) * sizeof(wchar_t)));
            std::vector<BYTE> bytes;
            DWORD t = 0;
            if (reg.readValue(name.c_str(), t, bytes) == ERROR_SUCCESS)
                longestData = std::max<DWORD>(longestData, static_cast<DWORD>(bytes.size()));
        }
        *pcbValueName = longestName;
        *pcbData = longestData;
        return finish(L"EnumPrinterDataW", args, ERROR_SUCCESS);
    }
    *pcbValueName = nameBytes;
    *pcbData = static_cast<DWORD>(data.size());
    if (pType)
        *pType = type;
    if (!pValueName || cbValueName < nameBytes || data.size() > cbData || (!pData && !data.empty()))
        return finish(L"EnumPrinterDataW", args, ERROR_MORE_DATA);
    memcpy(pValueName, names[dwIndex].c_str(), nameBytes);
    if (!data.empty())
        memcpy(pData, data.data(), data.size());
    return finish(L"EnumPrinterDataW", args, ERROR_SUCCESS);
}

DWORD WINAPI EnumPrinterKeyW(HANDLE hPrinter, LPCWSTR pKeyName, LPWSTR pSubkey, DWORD cbSubkey, LPDWORD pcbSubkey)
{
    std::shared_ptr<PrinterHandle> handle = findHandle(hPrinter);
    const std::wstring key = safeText(pKeyName, kMaxKeyPath + 1);
    if (!handle || handle->kind != HandleKind::Printer)
        return finish(L"EnumPrinterKeyW", {key}, ERROR_INVALID_HANDLE);
    const std::initializer_list<std::wstring> args = {handle->queue.fullName(), key};
    if (!pKeyName || !pcbSubkey || (!key.empty() && !validKeyPath(key)))
        return finish(L"EnumPrinterKeyW", args, ERROR_INVALID_PARAMETER);
    // An empty key names the queue's top-level keys.
    const std::wstring path = key.empty() ? handle->queue.keyPath() : handle->queue.keyPath() + L"\\" + key;
    RegKey reg;
    const LONG rc = reg.open(HKEY_LOCAL_MACHINE, path);
    if (rc != ERROR_SUCCESS)
        return finish(L"EnumPrinterKeyW", args, static_cast<DWORD>(rc));
    const std::vector<BYTE> bytes = multiTextBytes(reg.subkeys());
    *pcbSubkey = static_cast<DWORD>(bytes.size());
    if (!pSubkey || cbSubkey < bytes.size())
        return finish(L"EnumPrinterKeyW", args, ERROR_MORE_DATA);
    memcpy(pSubkey, bytes.data(), bytes.size());
    return finish(L"EnumPrinterKeyW", args, ERROR_SUCCESS);
}

} // extern "C"
