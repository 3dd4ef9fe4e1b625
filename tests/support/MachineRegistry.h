// HKLM state a test puts in place for the scope: keys it asked for and had
// to create go with their sub-keys, values it wrote into keys that existed
// go by name. A parent it had to create on the way (Enum\USBPRINT, say) is
// shared with every other process that puts its own keys below it: it goes
// only while empty, never with another process's keys.
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
    struct CreatedKey {
        std::wstring path;
        bool asked; // the key the caller named, not a parent on the way to it
    };
    std::vector<CreatedKey> createdKeys_;                          // in the order created
    std::vector<std::pair<std::wstring, std::wstring>> values_;    // (key, value name) written elsewhere
};

} // namespace testenv
