// Registry access, the cross-process lock, the rights switch, the call log,
// queue names, the per-process handle table and structure packing.
#include "Spooler.h"

#include "winspool/SpoolerControl.h"

#include <algorithm>
#include <cwchar>
#include <map>
#include <mutex>

namespace spool {

RegKey& RegKey::operator=(RegKey&& other) noexcept
{
    if (this != &other) {
        close();
        key_ = other.key_;
        other.key_ = nullptr;
    }
    return *this;
}

LONG RegKey::open(HKEY root, const std::wstring& path, REGSAM access)
{
    close();
    return RegOpenKeyExW(root, path.c_str(), 0, access, &key_);
}

LONG RegKey::create(HKEY root, const std::wstring& path, REGSAM access)
{
    close();
    return RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, access, nullptr, &key_, nullptr);
}

void RegKey::close()
{
    if (key_)
        RegCloseKey(key_);
    key_ = nullptr;
}

LONG RegKey::readValue(const wchar_t* name, DWORD& type, std::vector<BYTE>& data) const
{
    data.clear();
    if (!key_)
        return ERROR_INVALID_HANDLE;
    // The value may grow between the size query and the read: retry a few times.
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD size = 0;
        LONG rc = RegQueryValueExW(key_, name, nullptr, &type, nullptr, &size);
        if (rc != ERROR_SUCCESS)
            return rc;
        if (size > kMaxValueSize)
            return ERROR_INVALID_DATA;
        data.resize(size);
        rc = RegQueryValueExW(key_, name, nullptr, &type, size ? data.data() : nullptr, &size);
        if (rc == ERROR_MORE_DATA)
            continue;
        if (rc == ERROR_SUCCESS)
            data.resize(size);
        return rc;
    }
    return ERROR_MORE_DATA;
}

std::wstring RegKey::readString(const wchar_t* name, const std::wstring& fallback) const
{
    DWORD type = 0;
    std::vector<BYTE> data;
    if (readValue(name, type, data) != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ))
        return fallback;
    return textOf(data);
}

DWORD RegKey::readDword(const wchar_t* name, DWORD fallback) const
{
    DWORD type = 0;
    std::vector<BYTE> data;
    if (readValue(name, type, data) != ERROR_SUCCESS || type != REG_DWORD || data.size() != sizeof(DWORD))
        return fallback;
    DWORD value = 0;
    memcpy(&value, data.data(), sizeof(value));
    return value;
}

std::vector<BYTE> RegKey::readBinary(const wchar_t* name) const
{
    DWORD type = 0;
    std::vector<BYTE> data;
    if (readValue(name, type, data) != ERROR_SUCCESS || type != REG_BINARY)
        data.clear();
    return data;
}

LONG RegKey::writeValue(const wchar_t* name, DWORD type, const void* data, DWORD size) const
{
    if (!key_)
        return ERROR_INVALID_HANDLE;
    return RegSetValueExW(key_, name, 0, type, static_cast<const BYTE*>(data), size);
}

LONG RegKey::writeString(const wchar_t* name, const std::wstring& value) const
{
    return writeValue(name, REG_SZ, value.c_str(), static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

LONG RegKey::writeDword(const wchar_t* name, DWORD value) const
{
    return writeValue(name, REG_DWORD, &value, sizeof(value));
}

std::vector<std::wstring> RegKey::subkeys() const
{
    // Every process is this spooler, and each adds and removes its own
    // queues', monitors' and ports' keys while another lists them: a walk by
    // index skips a key that stayed when a sibling before it goes. A spooler
    // answers one consistent list, so walk again until the key did not
    // change during a walk.
    std::vector<std::wstring> names;
    if (!key_)
        return names;
    constexpr int kWalks = 16;
    for (int walk = 0; walk < kWalks; ++walk) {
        FILETIME before{}, after{};
        if (RegQueryInfoKeyW(key_, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                             nullptr, &before) != ERROR_SUCCESS)
            break;
        names.clear();
        wchar_t name[256];
        for (DWORD index = 0;; ++index) {
            DWORD length = 256;
            const LONG rc = RegEnumKeyExW(key_, index, name, &length, nullptr, nullptr, nullptr, nullptr);
            if (rc == ERROR_MORE_DATA)
                continue;  // longer than a registry key name can be: skip
            if (rc != ERROR_SUCCESS)
                break;
            names.emplace_back(name, length);
        }
        if (RegQueryInfoKeyW(key_, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                             nullptr, &after) != ERROR_SUCCESS ||
            CompareFileTime(&before, &after) == 0)
            break;
    }
    return names;
}

std::vector<std::wstring> RegKey::valueNames() const
{
    std::vector<std::wstring> names;
    if (!key_)
        return names;
    std::vector<wchar_t> name(16384);
    for (DWORD index = 0;; ++index) {
        DWORD length = static_cast<DWORD>(name.size());
        const LONG rc = RegEnumValueW(key_, index, name.data(), &length, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_MORE_DATA)
            continue;
        if (rc != ERROR_SUCCESS)
            break;
        names.emplace_back(name.data(), length);
    }
    return names;
}

std::wstring textOf(const std::vector<BYTE>& data)
{
    const size_t count = data.size() / sizeof(wchar_t);
    std::wstring text(count, L'\0');
    if (count)
        memcpy(text.data(), data.data(), count * sizeof(wchar_t));
    const size_t end = text.find(L'\0');
    if (end != std::wstring::npos)
        text.resize(end);
    return text;
}

std::vector<std::wstring> multiTextOf(const std::vector<BYTE>& data)
{
    std::vector<std::wstring> items;
    const size_t count = data.size() / sizeof(wchar_t);
    std::wstring all(count, L'\0');
    if (count)
        memcpy(all.data(), data.data(), count * sizeof(wchar_t));
    size_t start = 0;
    while (start < all.size()) {
        size_t end = all.find(L'\0', start);
        if (end == std::wstring::npos)
            end = all.size();
        if (end == start)
            break;
        items.push_back(all.substr(start, end - start));
        start = end + 1;
    }
    return items;
}

std::vector<BYTE> multiTextBytes(const std::vector<std::wstring>& items)
{
    std::wstring all;
    for (const std::wstring& item : items) {
        all += item;
        all += L'\0';
    }
    all += L'\0';
    std::vector<BYTE> bytes(all.size() * sizeof(wchar_t));
    memcpy(bytes.data(), all.data(), bytes.size());
    return bytes;
}

bool equalsNoCase(const std::wstring& a, const std::wstring& b)
{
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()),
                                TRUE) == CSTR_EQUAL;
}

std::wstring safeText(const wchar_t* text, size_t limit)
{
    if (!text)
        return std::wstring();
    return std::wstring(text, wcsnlen(text, limit));
}

std::wstring numberText(DWORD value)
{
    return std::to_wstring(value);
}

std::wstring hexOf(const void* data, size_t size, size_t limit)
{
    static const wchar_t digits[] = L"0123456789ABCDEF";
    std::wstring text;
    if (!data)
        return text;
    const BYTE* bytes = static_cast<const BYTE*>(data);
    const size_t shown = std::min(size, limit);
    text.reserve(shown * 2 + 4);
    for (size_t i = 0; i < shown; ++i) {
        text += digits[bytes[i] >> 4];
        text += digits[bytes[i] & 15];
    }
    if (shown < size)
        text += L"...";
    return text;
}

SpoolLock::SpoolLock()
{
    mutex_ = CreateMutexW(nullptr, FALSE, kSpoolerLockName);
    if (!mutex_)
        return;
    // Holders only touch the registry; 10 s means a peer is stuck.
    const DWORD wait = WaitForSingleObject(mutex_, 10000);
    held_ = wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED;
}

SpoolLock::~SpoolLock()
{
    if (held_)
        ReleaseMutex(mutex_);
    if (mutex_)
        CloseHandle(mutex_);
}

static std::wstring environmentValue(const wchar_t* name)
{
    wchar_t buffer[1024];
    const DWORD length = GetEnvironmentVariableW(name, buffer, 1024);
    if (length == 0 || length >= 1024)
        return std::wstring();
    return std::wstring(buffer, length);
}

bool restrictedUser()
{
    return equalsNoCase(environmentValue(L"VRELM_SPOOLER_RIGHTS"), L"user");
}

bool changesWithdrawn()
{
    return equalsNoCase(environmentValue(L"VRELM_SPOOLER_RIGHTS"), L"withdrawn");
}

void logCall(const wchar_t* function, std::initializer_list<std::wstring> args, DWORD error)
{
    const std::wstring path = environmentValue(L"VRELM_SPOOLER_LOG");
    if (path.empty())
        return;
    std::wstring line = std::to_wstring(GetCurrentProcessId()) + L"\t" + function;
    for (const std::wstring& arg : args) {
        line += L'\t';
        for (wchar_t c : arg)
            line += (c == L'\t' || c == L'\r' || c == L'\n') ? L' ' : c;
    }
    line += L"\t=> " + std::to_wstring(error) + L"\r\n";
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, line.c_str(), static_cast<int>(line.size()), nullptr, 0,
                                          nullptr, nullptr);
    if (bytes <= 0)
        return;
    std::string narrow(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, line.c_str(), static_cast<int>(line.size()), narrow.data(), bytes, nullptr,
                        nullptr);
    // FILE_APPEND_DATA makes each line one atomic append, across processes.
    const DWORD saved = GetLastError();
    HANDLE file = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        WriteFile(file, narrow.data(), static_cast<DWORD>(narrow.size()), &written, nullptr);
        CloseHandle(file);
    }
    SetLastError(saved);
}

std::wstring serverKeyName(const std::wstring& serverOrProvider)
{
    std::wstring key = serverOrProvider;
    std::replace(key.begin(), key.end(), L'\\', L',');
    return key;
}

std::wstring QueueRef::keyPath() const
{
    if (server.empty())
        return std::wstring(kPrintersPath) + L"\\" + name;
    return std::wstring(kServersPath) + L"\\" + serverKeyName(server) + L"\\Printers\\" + name;
}

std::wstring QueueRef::fullName() const
{
    return server.empty() ? name : server + L"\\" + name;
}

std::wstring localServerName()
{
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    if (!GetComputerNameW(name, &size))
        return L"\\\\localhost";
    return std::wstring(L"\\\\") + name;
}

bool isLocalServer(const std::wstring& server)
{
    return server.empty() || equalsNoCase(server, localServerName()) || equalsNoCase(server, L"\\\\localhost") ||
           equalsNoCase(server, L"\\\\127.0.0.1") || equalsNoCase(server, L"\\\\.");
}

bool knownRemoteServer(const std::wstring& server)
{
    if (server.size() < 3 || server.size() > kMaxPrinterName || server.compare(0, 2, L"\\\\") != 0)
        return false;
    RegKey key;
    return key.open(HKEY_LOCAL_MACHINE, std::wstring(kServersPath) + L"\\" + serverKeyName(server)) ==
           ERROR_SUCCESS;
}

bool validQueueName(const std::wstring& name)
{
    if (name.empty() || name.size() > kMaxPrinterName)
        return false;
    return name.find_first_of(L"\\,") == std::wstring::npos;
}

bool splitPrinterName(const std::wstring& text, QueueRef& ref)
{
    ref = QueueRef{};
    if (text.size() > 2 * kMaxPrinterName + 4)
        return false;
    if (text.compare(0, 2, L"\\\\") == 0) {
        const size_t slash = text.find(L'\\', 2);
        if (slash == std::wstring::npos || slash == 2)
            return false;
        ref.server = text.substr(0, slash);
        ref.name = text.substr(slash + 1);
        if (isLocalServer(ref.server))
            ref.server.clear();
    } else {
        ref.name = text;
    }
    return validQueueName(ref.name);
}

bool queueExists(const QueueRef& ref)
{
    RegKey key;
    return validQueueName(ref.name) && key.open(HKEY_LOCAL_MACHINE, ref.keyPath()) == ERROR_SUCCESS;
}

namespace {
std::mutex handlesLock;  // guards handles, nextHandle
// Never destroyed: handles left open at exit may hold monitors (see Monitors.cpp).
std::map<uintptr_t, std::shared_ptr<PrinterHandle>>& handles = *new std::map<uintptr_t, std::shared_ptr<PrinterHandle>>;
uintptr_t nextHandle = 0x5000;
} // namespace

HANDLE addHandle(std::shared_ptr<PrinterHandle> handle)
{
    std::lock_guard<std::mutex> guard(handlesLock);
    nextHandle += 8;
    handles[nextHandle] = std::move(handle);
    return reinterpret_cast<HANDLE>(nextHandle);
}

std::shared_ptr<PrinterHandle> findHandle(HANDLE handle)
{
    std::lock_guard<std::mutex> guard(handlesLock);
    const auto it = handles.find(reinterpret_cast<uintptr_t>(handle));
    if (it == handles.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return it->second;
}

std::shared_ptr<PrinterHandle> removeHandle(HANDLE handle)
{
    std::lock_guard<std::mutex> guard(handlesLock);
    const auto it = handles.find(reinterpret_cast<uintptr_t>(handle));
    if (it == handles.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    std::shared_ptr<PrinterHandle> found = std::move(it->second);
    handles.erase(it);
    return found;
}

std::shared_ptr<PrinterHandle> findPrinter(HANDLE handle, ACCESS_MASK needed)
{
    std::shared_ptr<PrinterHandle> found = findHandle(handle);
    if (!found)
        return nullptr;
    if (found->kind != HandleKind::Printer) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    if ((found->access & needed) != needed) {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    return found;
}

LPWSTR Packer::text(const std::wstring& value)
{
    offset_ = (offset_ + 1) & ~size_t{1};
    const size_t bytes = (value.size() + 1) * sizeof(wchar_t);
    const size_t at = offset_;
    offset_ += bytes;
    if (!buffer_ || offset_ > size_)
        return nullptr;
    memcpy(buffer_ + at, value.c_str(), bytes);
    return reinterpret_cast<LPWSTR>(buffer_ + at);
}

BYTE* Packer::bytes(const void* data, size_t size, size_t align)
{
    if (size == 0)
        return nullptr;
    offset_ = (offset_ + align - 1) & ~(align - 1);
    const size_t at = offset_;
    offset_ += size;
    if (!buffer_ || offset_ > size_)
        return nullptr;
    memcpy(buffer_ + at, data, size);
    return buffer_ + at;
}

std::wstring driverDirectory()
{
    // A process (and its children) may be given a driver store of its own,
    // so that tests placing driver files never share one folder.
    wchar_t root[MAX_PATH] = {};
    const DWORD rootLength = GetEnvironmentVariableW(L"VRELM_SPOOLER_DRIVER_ROOT", root, MAX_PATH);
    if (rootLength > 0 && rootLength < MAX_PATH - 8) {
        const std::wstring drivers = root;
        const std::wstring x64 = drivers + L"\\x64";
        CreateDirectoryW(drivers.c_str(), nullptr);
        CreateDirectoryW(x64.c_str(), nullptr);
        return x64;
    }
    wchar_t system[MAX_PATH] = {};
    const UINT length = GetSystemDirectoryW(system, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return std::wstring();
    const std::wstring spool = std::wstring(system) + L"\\spool";
    const std::wstring drivers = spool + L"\\drivers";
    const std::wstring x64 = drivers + L"\\x64";
    CreateDirectoryW(spool.c_str(), nullptr);
    CreateDirectoryW(drivers.c_str(), nullptr);
    CreateDirectoryW(x64.c_str(), nullptr);
    return x64;
}

} // namespace spool
