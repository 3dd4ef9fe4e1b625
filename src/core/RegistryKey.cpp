#include "core/RegistryKey.h"

#include <memory>
#include <new>

namespace {

// Most values read as text (paths, names) fit at once.
constexpr DWORD kLikelyStringBytes = 1024;
// A key whose values are larger (stored documents) offers what its last
// large value needed, up to this much.
constexpr DWORD kRememberedStringBytes = 64 * 1024;

REGSAM accessForMode(DWORD mode)
{
    switch (mode) {
    case RegistryKey::kRead:
        return KEY_READ;
    case RegistryKey::kWrite:
        return KEY_WRITE;
    case RegistryKey::kAllAccess:
        return KEY_ALL_ACCESS;
    default:
        return 0;
    }
}

} // namespace

RegistryKey::RegistryKey(HKEY parent, const std::wstring& subKey, DWORD mode, bool create, bool isVolatile)
    : mode_(mode)
{
    HKEY key = nullptr;
    if (create) {
        DWORD disposition = 0;
        lastError_ = RegCreateKeyExW(parent, subKey.c_str(), 0, nullptr,
                                     isVolatile ? REG_OPTION_VOLATILE : REG_OPTION_NON_VOLATILE,
                                     accessForMode(mode), nullptr, &key, &disposition);
        if (lastError_ == ERROR_SUCCESS && disposition == REG_CREATED_NEW_KEY)
            created_ = true;
    } else {
        lastError_ = RegOpenKeyExW(parent, subKey.c_str(), 0, accessForMode(mode), &key);
    }
    // The registry may write the out handle even when it fails.
    if (lastError_ == ERROR_SUCCESS)
        handle_.reset(key);
}

RegistryKey::RegistryKey(HKEY key, DWORD mode)
{
    reopen(key, mode);
}

RegistryKey::RegistryKey(const RegistryKey& other)
{
    reopen(other.handle_.get(), other.mode_);
}

RegistryKey& RegistryKey::operator=(const RegistryKey& other)
{
    // Closing first would leave nothing to reopen from.
    if (this == &other)
        return *this;
    handle_.reset();
    created_ = false;
    reopen(other.handle_.get(), other.mode_);
    return *this;
}

RegistryKey::~RegistryKey() = default;

void RegistryKey::reopen(HKEY key, DWORD mode)
{
    mode_ = mode;
    created_ = false;
    handle_.reset();
    if (!key) {
        // A closed key copies as a closed key.
        lastError_ = ERROR_INVALID_HANDLE;
        return;
    }
    HKEY copy = nullptr;
    lastError_ = RegOpenKeyExW(key, nullptr, 0, accessForMode(mode), &copy);
    if (lastError_ == ERROR_SUCCESS)
        handle_.reset(copy);
}

bool RegistryKey::queryString(const wchar_t* name, std::wstring& value)
{
    if (!handle_)
        return false;
    auto isText = [](DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ; };
    // One call into a buffer of a likely size (the largest this key needed,
    // within bounds, so a run of stored documents reads each in one call); a
    // larger value answers
    // ERROR_MORE_DATA with its size and is read again (a few times, should
    // it keep growing meanwhile). Every buffer has a spare character past the
    // size offered: the registry may write its terminator there even when it
    // does not fit (Wine writes "41 00 00" for a one-byte value).
    DWORD offered = likelyTextBytes_;
    for (int attempt = 0; attempt < 4; ++attempt) {
        const size_t characters = offered / sizeof(wchar_t) + 1;
        std::unique_ptr<wchar_t[]> buffer(new (std::nothrow) wchar_t[characters]());
        if (!buffer) {
            lastError_ = ERROR_NOT_ENOUGH_MEMORY;
            return false;
        }
        DWORD type = REG_NONE;
        DWORD size = offered;
        lastError_ =
            RegQueryValueExW(handle_.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(buffer.get()), &size);
        if (lastError_ == ERROR_MORE_DATA && isText(type) && size > offered && size < MAXDWORD - sizeof(wchar_t)) {
            offered = (size + 1) & ~DWORD{1}; // whole characters
            if (offered <= kRememberedStringBytes)
                likelyTextBytes_ = offered > likelyTextBytes_ ? offered : likelyTextBytes_;
            continue;
        }
        if (lastError_ != ERROR_SUCCESS || size == 0 || !isText(type))
            return false;
        // The stored data need not be terminated: bound the text by the bytes read.
        const size_t limit = (size < offered ? size : offered) / sizeof(wchar_t);
        size_t length = 0;
        while (length < limit && buffer[length] != L'\0')
            ++length;
        value.assign(buffer.get(), length);
        return true;
    }
    return false;
}

bool RegistryKey::queryString(const std::wstring& name, std::wstring& value)
{
    return queryString(name.c_str(), value);
}

bool RegistryKey::queryNumber(const wchar_t* name, void* value, DWORD size, bool acceptQword)
{
    if (!handle_ || !value)
        return false;
    DWORD type = REG_NONE;
    DWORD stored = size;
    lastError_ = RegQueryValueExW(handle_.get(), name, nullptr, &type, static_cast<BYTE*>(value), &stored);
    if (lastError_ != ERROR_SUCCESS)
        return false;
    // The registry keeps any length under a number type: a short one would
    // fill only part of the destination and pass for a whole number.
    if (type == REG_DWORD || type == REG_DWORD_BIG_ENDIAN)
        return stored == sizeof(DWORD);
    return acceptQword && type == REG_QWORD && stored == sizeof(std::uint64_t);
}

bool RegistryKey::queryDword(const wchar_t* name, DWORD* value)
{
    return queryNumber(name, value, sizeof(DWORD), false);
}

bool RegistryKey::queryDword(const std::wstring& name, DWORD* value)
{
    return queryDword(name.c_str(), value);
}

bool RegistryKey::queryQword(const wchar_t* name, std::uint64_t* value)
{
    return queryNumber(name, value, sizeof(std::uint64_t), true);
}

bool RegistryKey::queryQword(const std::wstring& name, std::uint64_t* value)
{
    return queryQword(name.c_str(), value);
}

bool RegistryKey::setValue(const wchar_t* name, DWORD type, const void* data, DWORD size)
{
    if (!handle_)
        return false;
    lastError_ = RegSetValueExW(handle_.get(), name, 0, type, static_cast<const BYTE*>(data), size);
    return lastError_ == ERROR_SUCCESS;
}

bool RegistryKey::setString(const wchar_t* name, const wchar_t* value)
{
    if (!value)
        value = L"";
    const size_t bytes = (wcslen(value) + 1) * sizeof(wchar_t);
    if (bytes > MAXDWORD) {
        if (handle_)
            lastError_ = ERROR_INVALID_PARAMETER;
        return false;
    }
    return setValue(name, REG_SZ, value, static_cast<DWORD>(bytes));
}

bool RegistryKey::setString(const std::wstring& name, const std::wstring& value)
{
    return setString(name.c_str(), value.c_str());
}

bool RegistryKey::setDword(const wchar_t* name, DWORD value)
{
    return setValue(name, REG_DWORD, &value, sizeof(value));
}

bool RegistryKey::setDword(const std::wstring& name, DWORD value)
{
    return setDword(name.c_str(), value);
}

bool RegistryKey::setQword(const wchar_t* name, std::uint64_t value)
{
    return setValue(name, REG_QWORD, &value, sizeof(value));
}

bool RegistryKey::setQword(const std::wstring& name, std::uint64_t value)
{
    return setQword(name.c_str(), value);
}

bool RegistryKey::deleteValue(const wchar_t* name)
{
    if (!handle_)
        return false;
    lastError_ = RegDeleteValueW(handle_.get(), name);
    return lastError_ == ERROR_SUCCESS;
}

bool RegistryKey::deleteValue(const std::wstring& name)
{
    return deleteValue(name.c_str());
}
