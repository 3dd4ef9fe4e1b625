#include "support/SessionPorts.h"

namespace testspool {

ScopedSessionPorts::ScopedSessionPorts(const std::wstring& monitor)
    : path_(L"SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\" + monitor)
{
}

ScopedSessionPorts::~ScopedSessionPorts()
{
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, path_.c_str());
}

void ScopedSessionPorts::add(const std::wstring& port, const std::wstring& description) const
{
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, (path_ + L"\\Ports\\" + port).c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                        &key, nullptr) != ERROR_SUCCESS)
        return;
    RegSetValueExW(key, L"Description", 0, REG_SZ, reinterpret_cast<const BYTE*>(description.c_str()),
                   static_cast<DWORD>((description.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
}

} // namespace testspool
