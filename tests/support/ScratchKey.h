// A registry key of one test's own, HKCU\Software\VrelmTests\<name>-<pid>:
// emptied when made, removed with its subkeys when the object goes. The
// process id keeps test executables running at once apart.
#pragma once

#include "core/RegistryKey.h"

#include <memory>
#include <string>

namespace testenv {

class ScratchKey {
public:
    explicit ScratchKey(const std::wstring& name);
    ~ScratchKey();
    ScratchKey(const ScratchKey&) = delete;
    ScratchKey& operator=(const ScratchKey&) = delete;

    // Relative to HKEY_CURRENT_USER.
    const std::wstring& path() const { return path_; }
    HKEY handle() const { return key_->getHandle(); }
    RegistryKey& operator*() { return *key_; }
    RegistryKey* operator->() { return key_.get(); }

private:
    std::wstring path_;
    std::unique_ptr<RegistryKey> key_; // open with all access
};

// True when HKCU (or root)\path opens for reading.
bool keyExists(const std::wstring& path, HKEY root = HKEY_CURRENT_USER);

} // namespace testenv
