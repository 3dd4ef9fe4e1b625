// One open registry key with typed value access. The object owns its handle;
// a copy opens a handle of its own on the same key. Nothing throws: every
// operation answers with a bool and keeps the Win32 code of its last
// registry call (getLastError). A key that failed to open stays closed, and
// its value operations answer false without touching the registry.
#pragma once

#include "core/ScopedHandle.h"
#include "core/Win32.h"

#include <cstdint>
#include <string>

class RegistryKey {
public:
    // Access modes; any other value requests no rights at all.
    static constexpr DWORD kRead = 0;      // KEY_READ
    static constexpr DWORD kWrite = 1;     // KEY_WRITE
    static constexpr DWORD kAllAccess = 2; // KEY_ALL_ACCESS

    // Opens parent\subKey or, with create, opens or creates it (volatile
    // when asked; the volatile flag means nothing without create).
    RegistryKey(HKEY parent, const std::wstring& subKey, DWORD mode, bool create = false, bool isVolatile = false);
    // A second handle on the key itself.
    RegistryKey(HKEY key, DWORD mode);
    RegistryKey(const RegistryKey& other);
    RegistryKey& operator=(const RegistryKey& other);
    ~RegistryKey();

    bool isOpen() const { return handle_.valid(); }
    bool wasCreated() const { return created_; }
    HKEY getHandle() const { return handle_.get(); }
    LONG getLastError() const { return lastError_; }

    // REG_SZ or REG_EXPAND_SZ (returned unexpanded), cut at the first NUL and
    // bounded by the stored size. The output is unchanged on false.
    bool queryString(const wchar_t* name, std::wstring& value);
    bool queryString(const std::wstring& name, std::wstring& value);
    // REG_DWORD or REG_DWORD_BIG_ENDIAN (bytes as stored), read straight into
    // *value: on false the destination may already hold the bytes of a value
    // of another type that fitted. Read into a local, use it only after true.
    // A number value of the wrong length (a 2-byte REG_DWORD) is false too.
    bool queryDword(const wchar_t* name, DWORD* value);
    bool queryDword(const std::wstring& name, DWORD* value);
    // As queryDword, also REG_QWORD; a 4-byte value fills the low half only.
    bool queryQword(const wchar_t* name, std::uint64_t* value);
    bool queryQword(const std::wstring& name, std::uint64_t* value);

    // REG_SZ with its terminating NUL stored.
    bool setString(const wchar_t* name, const wchar_t* value);
    bool setString(const std::wstring& name, const std::wstring& value);
    bool setDword(const wchar_t* name, DWORD value);
    bool setDword(const std::wstring& name, DWORD value);
    bool setQword(const wchar_t* name, std::uint64_t value);
    bool setQword(const std::wstring& name, std::uint64_t value);
    bool deleteValue(const wchar_t* name);
    bool deleteValue(const std::wstring& name);

private:
    void reopen(HKEY key, DWORD mode);
    bool queryNumber(const wchar_t* name, void* value, DWORD size, bool acceptQword);
    bool setValue(const wchar_t* name, DWORD type, const void* data, DWORD size);

    ScopedRegKey handle_;
    DWORD mode_ = kRead;
    LONG lastError_ = ERROR_SUCCESS;
    bool created_ = false;
    DWORD likelyTextBytes_ = 1024; // the first buffer queryString offers
};
