#include "support/MachineRegistry.h"

#include "core/AsciiCase.h"
#include "core/ScopedHandle.h"

namespace testenv {

MachineRegistry::~MachineRegistry()
{
    for (auto it = values_.rbegin(); it != values_.rend(); ++it) {
        ScopedRegKey key;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, it->first.c_str(), 0, KEY_SET_VALUE, key.receive()) == ERROR_SUCCESS)
            RegDeleteValueW(key.get(), it->second.c_str());
    }
    // Deepest first; a parent that another process's keys have joined
    // refuses to go (RegDeleteKeyW deletes only an empty key), and stays.
    for (auto it = createdKeys_.rbegin(); it != createdKeys_.rend(); ++it) {
        if (it->asked)
            RegDeleteTreeW(HKEY_LOCAL_MACHINE, it->path.c_str());
        else
            RegDeleteKeyW(HKEY_LOCAL_MACHINE, it->path.c_str());
    }
}

bool MachineRegistry::createKey(const std::wstring& path)
{
    const DWORD options = startsWithIgnoringAsciiCase(path, L"HARDWARE\\") ? REG_OPTION_VOLATILE : 0;
    size_t at = 0;
    while (at != std::wstring::npos) {
        const size_t next = path.find(L'\\', at);
        const std::wstring prefix = path.substr(0, next);
        ScopedRegKey key;
        DWORD disposition = 0;
        if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, prefix.c_str(), 0, nullptr, options, KEY_READ, nullptr,
                            key.receive(), &disposition) != ERROR_SUCCESS)
            return false;
        if (disposition == REG_CREATED_NEW_KEY)
            createdKeys_.push_back({prefix, next == std::wstring::npos});
        at = next == std::wstring::npos ? next : next + 1;
    }
    return true;
}

bool MachineRegistry::setString(const std::wstring& path, const std::wstring& name, const std::wstring& value)
{
    const size_t created = createdKeys_.size();
    if (!createKey(path))
        return false;
    ScopedRegKey key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_SET_VALUE, key.receive()) != ERROR_SUCCESS)
        return false;
    if (createdKeys_.size() == created)
        values_.emplace_back(path, name);
    return RegSetValueExW(key.get(), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

} // namespace testenv
