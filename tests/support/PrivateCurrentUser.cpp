#include "support/PrivateCurrentUser.h"

#include "extension/KRVProperties.h"

namespace testenv {

PrivateCurrentUser::PrivateCurrentUser()
{
    static LONG counter = 0;
    path_ = L"Software\\VrelmTests\\PrivateCurrentUser-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
            std::to_wstring(InterlockedIncrement(&counter));
    RegDeleteTreeW(HKEY_CURRENT_USER, path_.c_str());
    if (RegCreateKeyExW(HKEY_CURRENT_USER, path_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &root_, nullptr) !=
        ERROR_SUCCESS) {
        root_ = nullptr;
        return;
    }
    active_ = RegOverridePredefKey(HKEY_CURRENT_USER, root_) == ERROR_SUCCESS;
    // The module keeps its property store open: let it open the private one.
    closePropertyStore();
}

PrivateCurrentUser::~PrivateCurrentUser()
{
    if (active_) {
        RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
        closePropertyStore();
    }
    if (root_) {
        RegCloseKey(root_);
        RegDeleteTreeW(HKEY_CURRENT_USER, path_.c_str());
    }
}

void PrivateCurrentUser::clear()
{
    if (root_)
        RegDeleteTreeW(root_, nullptr);
}

} // namespace testenv
