// The browser's "Low Rights" elevation policy for rundll32: before the module
// starts rundll32.exe with one of its exports from a browser in protected
// mode, the policy must allow that module. Only the hosts and systems of the
// fixed rows need an entry; everything else passes.
#pragma once

#include "core/RegistryKey.h"
#include "core/Win32.h"

#include <string>

class RunApplicationPolicy {
public:
    struct Row {
        const wchar_t* host;
        HKEY root;
        const wchar_t* key;
        const wchar_t* entry;
        const wchar_t* application;
        DWORD osMask;
    };

    // OS flags: 5.0 gives 1, 5.1 gives 2, 5.2 gives 0x1000, major 6 gives 4, others 0.
    static DWORD osFlagsFor(DWORD major, DWORD minor);

    // Flags of the running system (GetVersionExW).
    RunApplicationPolicy();
    virtual ~RunApplicationPolicy() = default;

    // True unless a row applies to the module and host here and its entry is missing.
    virtual bool ensurePolicy(const wchar_t* moduleName);
    // Opens or creates the row's entry (host null: the running program's);
    // false when no row applies or the entry cannot be made.
    virtual bool createPolicy(const wchar_t* moduleName, const wchar_t* hostName);
    // "Policy", "AppName", "AppPath" into the entry, except for a DLL's row.
    virtual bool writePolicyValues(const Row& row, RegistryKey& entry);
    // The running program's file name; false when there is none.
    virtual bool getHostExeName(std::wstring& name);
    // The last row for the host and module (case ignored) whose OS mask
    // shares a bit with the flags; null otherwise.
    virtual const Row* findRow(const wchar_t* moduleName, const wchar_t* hostName);

    DWORD getOsFlags() const { return osFlags_; }

protected:
    explicit RunApplicationPolicy(DWORD osFlags) : osFlags_(osFlags) {}

private:
    DWORD osFlags_ = 0;
};
