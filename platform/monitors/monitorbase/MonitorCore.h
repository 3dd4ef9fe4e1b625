// The common body of the stand-in port monitors: the MONITOR2 table that
// InitializePrintMonitor2 hands to the spooler, Xcv handles, registry access
// through the spooler's MONITORREG table, and the record of every XcvData
// call under "<monitor key>\Received" (volatile keys, gone with the
// wineserver) so that tests can assert on exact commands and bytes.
#pragma once

#include "core/Win32.h"

#include <winsplp.h>

#include <mutex>
#include <string>
#include <vector>

namespace qzmon {

constexpr wchar_t kMonitorsPath[] = L"SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors";

// A key below the monitor's registry root, used through MONITORREG only.
class MonitorKey {
public:
    MonitorKey() = default;
    MonitorKey(const MONITORREG* reg, HANDLE spooler, HANDLE key) : reg_(reg), spooler_(spooler), key_(key) {}
    MonitorKey(MonitorKey&& other) noexcept { *this = std::move(other); }
    MonitorKey& operator=(MonitorKey&& other) noexcept;
    ~MonitorKey();

    bool valid() const { return key_ != nullptr; }
    MonitorKey create(const std::wstring& path, bool isVolatile = false) const;
    MonitorKey open(const std::wstring& path) const;
    bool exists(const std::wstring& path) const { return open(path).valid(); }
    LONG deleteTree(const std::wstring& name) const;
    std::vector<std::wstring> subkeys() const;

    LONG setString(const wchar_t* name, const std::wstring& text) const;
    LONG setDword(const wchar_t* name, DWORD value) const;
    LONG setBinary(const wchar_t* name, const void* data, DWORD size) const;
    bool getString(const wchar_t* name, std::wstring& text) const;
    bool getDword(const wchar_t* name, DWORD& value) const;

private:
    LONG setBinaryTyped(const wchar_t* name, DWORD type, const void* data, DWORD size) const;

    const MONITORREG* reg_ = nullptr;
    HANDLE spooler_ = nullptr;
    HANDLE key_ = nullptr;
    bool owned_ = true;
    friend class Monitor;
};

// One XcvDataPort call as the monitor sees it.
struct XcvCall {
    std::wstring object;     // text after ",XcvMonitor " or ",XcvPort "
    ACCESS_MASK access = 0;  // granted at XcvOpenPort
    const BYTE* input = nullptr;
    DWORD inputSize = 0;
    BYTE* output = nullptr;
    DWORD outputSize = 0;
    DWORD needed = 0;        // set by the handler: bytes of output produced or needed

    bool administer() const { return (access & SERVER_ACCESS_ADMINISTER) != 0; }
    // Writes a terminated text to the output; ERROR_INSUFFICIENT_BUFFER when it does not fit.
    DWORD putText(const std::wstring& text);
};

struct PortEntry {
    std::wstring name;
    std::wstring description;
};

class Monitor {
public:
    explicit Monitor(const MONITORINIT& init);
    virtual ~Monitor() = default;
    Monitor(const Monitor&) = delete;
    Monitor& operator=(const Monitor&) = delete;

    virtual const wchar_t* name() const = 0;
    virtual const wchar_t* portDescription() const { return name(); }
    // Returns the Win32 status of one command; the base has none.
    virtual DWORD xcvData(const std::wstring& command, XcvCall& call) = 0;
    virtual std::vector<PortEntry> ports();

    bool usable() const { return root_.valid(); }
    const MonitorKey& root() const { return root_; }
    MonitorKey portsKey() const { return root_.create(L"Ports"); }
    virtual bool portExists(const std::wstring& port) const;

    DWORD dispatch(const std::wstring& command, XcvCall& call);

private:
    void record(const std::wstring& command, const XcvCall& call, DWORD status);

    MonitorKey root_;
    std::mutex lock_;  // serialises commands, so one monitor's registry state changes atomically
};

// Implemented by each monitor DLL: the monitor for one initialisation.
Monitor* createMonitor(const MONITORINIT& init);

// Helpers for reading untrusted records.
bool readText(const BYTE* data, DWORD size, DWORD offset, std::wstring& text, DWORD maxChars = 0x7FFF);
DWORD readU32(const BYTE* data, DWORD offset);
ULONGLONG readU64(const BYTE* data, DWORD offset);
void writeU32(BYTE* data, DWORD offset, DWORD value);
void writeU64(BYTE* data, DWORD offset, ULONGLONG value);
// A bounded copy of a fixed WCHAR field that may lack its terminator.
std::wstring fieldText(const WCHAR* field, size_t capacity);
bool equalsNoCase(const std::wstring& a, const std::wstring& b);
std::wstring lowerCase(std::wstring text);
// The names of a registry key's subkeys (a plain HKEY, outside MONITORREG).
std::vector<std::wstring> registrySubkeys(HKEY key);

// Port names: non-empty, at most 127 characters, no comma and no backslash.
bool isValidPortName(const std::wstring& name);

} // namespace qzmon
