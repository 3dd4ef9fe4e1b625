// The SNMP read community of a device and the places it is kept: group
// policy (HKCU), the machine (HKLM), the queue's printer data, a value the
// caller gives, and the shared I/O component's per-address key, where the
// chosen community is published for the port's server. Every place uses the
// value name "LumoSNMPCommunityName" (the shared I/O key names its values by
// device address). Unreadable sources leave a provider empty; nothing throws.
#pragma once

#include "core/ScopedHandle.h"
#include "core/SettingsKeys.h"
#include "core/Win32.h"

#include <string>

class SNMPCommunityName {
public:
    static constexpr wchar_t kValueName[] = L"LumoSNMPCommunityName";
    static constexpr size_t kMaxLength = 31;

    SNMPCommunityName() = default;
    explicit SNMPCommunityName(const std::wstring& value) : value_(value) {}

    const std::wstring& getValue() const { return value_; }
    void setValue(const std::wstring& value) { value_ = value; }
    // 1 to 31 characters.
    bool isValid() const { return !value_.empty() && value_.size() <= kMaxLength; }

protected:
    std::wstring value_;
};

// A community kept in one registry value; read at construction.
class SNMPRegistryCommunityName : public SNMPCommunityName {
public:
    SNMPRegistryCommunityName(HKEY root, const wchar_t* path);
    virtual ~SNMPRegistryCommunityName() = default;
    // The text becomes the value and is written as REG_SZ with its terminator.
    virtual bool store(const std::wstring& value);

private:
    HKEY root_;
    const wchar_t* path_;
};

// Group policy: HKCU "Software\Policies\Tarvokin\QZ Print Settings\ADSPrintPolicy".
class SNMPADSCommunityName : public SNMPRegistryCommunityName {
public:
    static constexpr const wchar_t* kKeyPath = settingskeys::kGroupPolicy;
    SNMPADSCommunityName() : SNMPRegistryCommunityName(HKEY_CURRENT_USER, kKeyPath) {}
};

// The machine: HKLM "SOFTWARE\Tarvokin\SNMP".
class SNMPGlobalCommunityName : public SNMPRegistryCommunityName {
public:
    static constexpr wchar_t kKeyPath[] = L"SOFTWARE\\Tarvokin\\SNMP";
    SNMPGlobalCommunityName() : SNMPRegistryCommunityName(HKEY_LOCAL_MACHINE, kKeyPath) {}
};

// The queue's printer data. Opening by name asks for full access, which a
// user without administration rights on the queue does not get: the queue's
// value then stays unread.
class SNMPQueueCommunityName : public SNMPCommunityName {
public:
    explicit SNMPQueueCommunityName(const wchar_t* printerName);
    // Borrows the caller's handle; reads nothing for a null pointer or handle.
    explicit SNMPQueueCommunityName(HANDLE* printer);
    virtual ~SNMPQueueCommunityName() = default;
    SNMPQueueCommunityName(const SNMPQueueCommunityName&) = delete;
    SNMPQueueCommunityName& operator=(const SNMPQueueCommunityName&) = delete;
    // True when the spooler stored the value.
    virtual bool store(const std::wstring& value);

private:
    void read();

    ScopedPrinter owned_; // set when the queue was opened by name
    HANDLE printer_ = nullptr; // owned_'s handle or the caller's
};

// A community the caller already has.
class SNMPZMACommunityName : public SNMPCommunityName {
public:
    SNMPZMACommunityName() = default;
    explicit SNMPZMACommunityName(const std::wstring& value) : SNMPCommunityName(value) {}
    virtual ~SNMPZMACommunityName() = default;
};

// Publishes a community for one device address to the shared I/O component
// (HKLM "...\Meridian Common IO\Protocols\vrelm110.exe\SNMPCommunityName\Get",
// one REG_SZ per address).
class SNMPCIOCommunityName : public SNMPCommunityName {
public:
    static constexpr const wchar_t* kKeyPath = settingskeys::kCommonIoCommunities;

    SNMPCIOCommunityName() = default;
    SNMPCIOCommunityName(const std::wstring& value, const std::wstring& address);
    SNMPCIOCommunityName(const std::wstring& value, const std::string& address);
    // store() of its own value.
    virtual bool apply();
    // With an empty address nothing is written and the result is true.
    virtual bool store(const std::wstring& value);
    virtual ~SNMPCIOCommunityName() = default;

private:
    std::wstring address_;
};

// Chooses the community: its own earlier choice, then group policy, the
// queue, the machine, and the default "tundra"; each only when valid. One
// object keeps its first choice for its whole life.
class SNMPCommunityNameComposite {
public:
    static constexpr wchar_t kDefaultCommunity[] = L"tundra";

    SNMPCommunityNameComposite() = default;
    virtual ~SNMPCommunityNameComposite() = default;

    const std::wstring& getCommunityName(const wchar_t* printerName);
    const std::wstring& getCommunityName(HANDLE* printer);

private:
    const std::wstring& choose(const SNMPCommunityName& queue);

    std::wstring chosen_;
};
