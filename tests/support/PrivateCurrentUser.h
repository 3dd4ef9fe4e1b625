// HKEY_CURRENT_USER of this process redirected to a fresh key of its own
// (RegOverridePredefKey), so that code with fixed per-user paths can be
// tested in parallel with other test executables and leaves the real
// per-user settings alone. Undone, and the key removed, on destruction.
// Other processes, and HKEY_LOCAL_MACHINE, still see the real keys.
#pragma once

#include "core/Win32.h"

#include <string>

namespace testenv {

class PrivateCurrentUser {
public:
    PrivateCurrentUser();
    ~PrivateCurrentUser();
    PrivateCurrentUser(const PrivateCurrentUser&) = delete;
    PrivateCurrentUser& operator=(const PrivateCurrentUser&) = delete;

    bool isActive() const { return active_; }
    // Empties the private tree (keys the test opened stay valid but orphaned).
    void clear();

private:
    std::wstring path_; // under the real HKEY_CURRENT_USER
    HKEY root_ = nullptr;
    bool active_ = false;
};

} // namespace testenv
