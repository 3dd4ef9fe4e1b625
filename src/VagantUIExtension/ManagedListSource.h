// What the discovery services manager takes from the printing core above it
// to register and make the managed lists' services: the managed print
// policy's values and the per-user document cache. The printing core
// installs its source when it starts; until one is installed no policy is in
// force and no list can be read.
#pragma once

#include "core/Win32.h"

#include <string>

namespace MPrint {

class ManagedListSource {
public:
    virtual ~ManagedListSource() = default;

    // Loads the policy on first use; true when one is in force.
    virtual bool hasPolicy();
    // A value of the policy; false when it has none (value is then unspecified).
    virtual bool getString(const wchar_t* name, std::wstring& value);
    virtual bool getDword(const wchar_t* name, DWORD& value);
    // The policy server's name; empty when the policy came from elsewhere.
    virtual std::wstring getPolicyServer();
    // A list's bytes through the cache, as QZMPLDiscovery::ListReader.
    virtual bool readList(const std::wstring& location, std::string& bytes, DWORD* status, DWORD timeoutMs);

    static ManagedListSource& current();
    // Replaces the process's source (null: none); not owned.
    static void set(ManagedListSource* source);
};

} // namespace MPrint
