#include "MonitorCore.h"

#include <algorithm>
#include <cstring>
#include <cwctype>

namespace qzmon {

MonitorKey& MonitorKey::operator=(MonitorKey&& other) noexcept
{
    if (this != &other) {
        if (key_ && owned_ && reg_)
            reg_->fpCloseKey(key_, spooler_);
        reg_ = other.reg_;
        spooler_ = other.spooler_;
        key_ = other.key_;
        owned_ = other.owned_;
        other.key_ = nullptr;
    }
    return *this;
}

MonitorKey::~MonitorKey()
{
    if (key_ && owned_ && reg_)
        reg_->fpCloseKey(key_, spooler_);
}

MonitorKey MonitorKey::create(const std::wstring& path, bool isVolatile) const
{
    if (!key_)
        return {};
    HANDLE result = nullptr;
    DWORD disposition = 0;
    if (reg_->fpCreateKey(key_, path.c_str(), isVolatile ? REG_OPTION_VOLATILE : 0, KEY_ALL_ACCESS, nullptr,
                          &result, &disposition, spooler_) != ERROR_SUCCESS)
        return {};
    return MonitorKey(reg_, spooler_, result);
}

MonitorKey MonitorKey::open(const std::wstring& path) const
{
    if (!key_)
        return {};
    HANDLE result = nullptr;
    if (reg_->fpOpenKey(key_, path.c_str(), KEY_ALL_ACCESS, &result, spooler_) != ERROR_SUCCESS)
        return {};
    return MonitorKey(reg_, spooler_, result);
}

LONG MonitorKey::deleteTree(const std::wstring& name) const
{
    MonitorKey child = open(name);
    if (!child.valid())
        return ERROR_FILE_NOT_FOUND;
    for (const std::wstring& sub : child.subkeys())
        child.deleteTree(sub);
    child = MonitorKey();
    return reg_->fpDeleteKey(key_, name.c_str(), spooler_);
}

std::vector<std::wstring> MonitorKey::subkeys() const
{
    std::vector<std::wstring> names;
    if (!key_)
        return names;
    for (DWORD index = 0;; ++index) {
        wchar_t name[256] = {};
        DWORD chars = 256;
        FILETIME written = {};
        if (reg_->fpEnumKey(key_, index, name, &chars, &written, spooler_) != ERROR_SUCCESS)
            break;
        names.emplace_back(name, std::min<DWORD>(chars, 255));
    }
    return names;
}

LONG MonitorKey::setString(const wchar_t* name, const std::wstring& text) const
{
    return setBinaryTyped(name, REG_SZ, text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

LONG MonitorKey::setDword(const wchar_t* name, DWORD value) const
{
    return setBinaryTyped(name, REG_DWORD, &value, sizeof(value));
}

LONG MonitorKey::setBinary(const wchar_t* name, const void* data, DWORD size) const
{
    return setBinaryTyped(name, REG_BINARY, data, size);
}

LONG MonitorKey::setBinaryTyped(const wchar_t* name, DWORD type, const void* data, DWORD size) const
{
    if (!key_)
        return ERROR_INVALID_HANDLE;
    static const BYTE empty = 0;
    return reg_->fpSetValue(key_, name, type, data ? static_cast<const BYTE*>(data) : &empty, size, spooler_);
}

bool MonitorKey::getString(const wchar_t* name, std::wstring& text) const
{
    if (!key_)
        return false;
    DWORD type = 0;
    DWORD size = 0;
    LONG status = reg_->fpQueryValue(key_, name, &type, nullptr, &size, spooler_);
    if ((status != ERROR_SUCCESS && status != ERROR_MORE_DATA) || type != REG_SZ || size > 0x10000)
        return false;
    std::vector<BYTE> data(size + sizeof(wchar_t), 0);
    if (reg_->fpQueryValue(key_, name, &type, data.data(), &size, spooler_) != ERROR_SUCCESS)
        return false;
    text = fieldText(reinterpret_cast<const WCHAR*>(data.data()), size / sizeof(wchar_t));
    return true;
}

bool MonitorKey::getDword(const wchar_t* name, DWORD& value) const
{
    if (!key_)
        return false;
    DWORD type = 0;
    DWORD data = 0;
    DWORD size = sizeof(data);
    if (reg_->fpQueryValue(key_, name, &type, reinterpret_cast<BYTE*>(&data), &size, spooler_) != ERROR_SUCCESS ||
        type != REG_DWORD || size != sizeof(data))
        return false;
    value = data;
    return true;
}

DWORD XcvCall::putText(const std::wstring& text)
{
    needed = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
    if (!output || outputSize < needed)
        return ERROR_INSUFFICIENT_BUFFER;
    std::memcpy(output, text.c_str(), needed);
    return ERROR_SUCCESS;
}

Monitor::Monitor(const MONITORINIT& init)
{
    if (init.pMonitorReg && init.pMonitorReg->cbSize >= sizeof(MONITORREG) && init.hckRegistryRoot) {
        root_ = MonitorKey(init.pMonitorReg, init.hSpooler, init.hckRegistryRoot);
        root_.owned_ = false;  // the spooler's handle
    }
}

bool Monitor::portExists(const std::wstring& port) const
{
    return !port.empty() && root_.exists(L"Ports\\" + port);
}

std::vector<PortEntry> Monitor::ports()
{
    std::vector<PortEntry> entries;
    for (const std::wstring& port : portsKey().subkeys())
        entries.push_back({port, portDescription()});
    return entries;
}

DWORD Monitor::dispatch(const std::wstring& command, XcvCall& call)
{
    std::lock_guard<std::mutex> guard(lock_);
    call.needed = 0;
    DWORD status = ERROR_INVALID_PARAMETER;
    if (call.inputSize == 0 || call.input)
        status = xcvData(command, call);
    record(command, call, status);
    return status;
}

void Monitor::record(const std::wstring& command, const XcvCall& call, DWORD status)
{
    static LONG sequence = 0;
    MonitorKey received = root_.create(L"Received", true);
    // Process ids are reused: the process's creation time tells two holders of one id apart.
    FILETIME created = {}, unused = {};
    GetProcessTimes(GetCurrentProcess(), &created, &unused, &unused, &unused);
    wchar_t name[64] = {};
    swprintf(name, 64, L"%08lX-%08lX%08lX-%08lX", GetCurrentProcessId(), created.dwHighDateTime,
             created.dwLowDateTime, static_cast<unsigned long>(InterlockedIncrement(&sequence)));
    MonitorKey entry = received.create(name, true);
    entry.setString(L"Object", call.object);
    entry.setString(L"Command", command);
    entry.setDword(L"Access", call.access);
    entry.setBinary(L"Input", call.input, call.input ? call.inputSize : 0);
    entry.setDword(L"OutputSize", call.outputSize);
    const DWORD produced = status == ERROR_SUCCESS && call.output ? std::min(call.needed, call.outputSize) : 0;
    entry.setBinary(L"Output", call.output, produced);
    entry.setDword(L"Status", status);
    entry.setDword(L"Needed", call.needed);
    entry.setDword(L"Process", GetCurrentProcessId());
}

bool readText(const BYTE* data, DWORD size, DWORD offset, std::wstring& text, DWORD maxChars)
{
    if (!data || offset >= size || offset % sizeof(wchar_t) != 0)
        return false;
    const WCHAR* begin = reinterpret_cast<const WCHAR*>(data + offset);
    const size_t available = (size - offset) / sizeof(wchar_t);
    for (size_t i = 0; i < available && i <= maxChars; ++i) {
        if (begin[i] == 0) {
            text.assign(begin, i);
            return true;
        }
    }
    return false;
}

DWORD readU32(const BYTE* data, DWORD offset)
{
    DWORD value = 0;
    std::memcpy(&value, data + offset, sizeof(value));
    return value;
}

ULONGLONG readU64(const BYTE* data, DWORD offset)
{
    ULONGLONG value = 0;
    std::memcpy(&value, data + offset, sizeof(value));
    return value;
}

void writeU32(BYTE* data, DWORD offset, DWORD value)
{
    std::memcpy(data + offset, &value, sizeof(value));
}

void writeU64(BYTE* data, DWORD offset, ULONGLONG value)
{
    std::memcpy(data + offset, &value, sizeof(value));
}

std::wstring fieldText(const WCHAR* field, size_t capacity)
{
    size_t length = 0;
    while (length < capacity && field[length])
        ++length;
    return std::wstring(field, length);
}

std::wstring lowerCase(std::wstring text)
{
    for (wchar_t& c : text)
        c = static_cast<wchar_t>(std::towlower(c));
    return text;
}

bool equalsNoCase(const std::wstring& a, const std::wstring& b)
{
    return lowerCase(a) == lowerCase(b);
}

bool isValidPortName(const std::wstring& name)
{
    return !name.empty() && name.size() <= 127 && name.find_first_of(L",\\") == std::wstring::npos;
}

std::vector<std::wstring> registrySubkeys(HKEY key)
{
    std::vector<std::wstring> names;
    for (DWORD index = 0;; ++index) {
        wchar_t name[256] = {};
        DWORD chars = 256;
        if (RegEnumKeyExW(key, index, name, &chars, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        names.emplace_back(name);
    }
    return names;
}

} // namespace qzmon
