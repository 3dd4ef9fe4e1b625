#include "support/ScratchKey.h"

namespace testenv {

ScratchKey::ScratchKey(const std::wstring& name)
    : path_(L"Software\\VrelmTests\\" + name + L"-" + std::to_wstring(GetCurrentProcessId()))
{
    RegDeleteTreeW(HKEY_CURRENT_USER, path_.c_str());
    key_ = std::make_unique<RegistryKey>(HKEY_CURRENT_USER, path_, RegistryKey::kAllAccess, true);
}

ScratchKey::~ScratchKey()
{
    key_.reset();
    RegDeleteTreeW(HKEY_CURRENT_USER, path_.c_str());
}

bool keyExists(const std::wstring& path, HKEY root)
{
    return RegistryKey(root, path, RegistryKey::kRead).isOpen();
}

} // namespace testenv
