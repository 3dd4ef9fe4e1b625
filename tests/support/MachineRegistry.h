// HKLM state a test puts in place for the scope: keys it had to create go
// with their sub-keys, values it wrote into keys that existed go by name.
// Keys under HARDWARE are created volatile, as that tree is.
#pragma once

#include "core/Win32.h"

#include <string>
#include <utility>
#include <vector>

namespace testenv {

class MachineRegistry {
public:
    MachineRegistry() = default;
    ~MachineRegistry();
    MachineRegistry(const MachineRegistry&) = delete;
    MachineRegistry& operator=(const MachineRegistry&) = delete;

    // Opens or creates HKLM\path; false on failure.
    bool createKey(const std::wstring& path);
    bool setString(const std::wstring& path, const std::wstring& name, const std::wstring& value);

private:
    std::vector<std::wstring> createdKeys_;                        // topmost keys this scope created
    std::vector<std::pair<std::wstring, std::wstring>> values_;    // (key, value name) written elsewhere
};

} // namespace testenv
