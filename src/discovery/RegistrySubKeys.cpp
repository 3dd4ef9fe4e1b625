#include "discovery/RegistrySubKeys.h"

#include <cwchar>

namespace MPrint {

std::vector<std::wstring> listSubKeyNames(HKEY key)
{
    std::vector<std::wstring> names;
    DWORD subKeys = 0, longest = 0;
    if (!key || RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subKeys, &longest, nullptr, nullptr, nullptr,
                                 nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        return names;
    std::vector<wchar_t> buffer(static_cast<size_t>(longest) + 1);
    // Bounded by the count seen at the start: a key deleted meanwhile would
    // otherwise answer an error for every index.
    for (DWORD index = 0; index < subKeys; ++index) {
        DWORD length = static_cast<DWORD>(buffer.size());
        const LONG result = RegEnumKeyExW(key, index, buffer.data(), &length, nullptr, nullptr, nullptr, nullptr);
        if (result == ERROR_NO_MORE_ITEMS)
            break;
        if (result == ERROR_SUCCESS && length < buffer.size())
            names.emplace_back(buffer.data(), length);
    }
    return names;
}

std::vector<std::pair<std::wstring, std::wstring>> listStringValues(HKEY key, DWORD maxChars)
{
    std::vector<std::pair<std::wstring, std::wstring>> values;
    if (!key)
        return values;
    std::vector<wchar_t> name(static_cast<size_t>(maxChars) + 1);
    std::vector<wchar_t> data(static_cast<size_t>(maxChars) + 1);
    for (DWORD index = 0;; ++index) {
        DWORD nameLength = static_cast<DWORD>(name.size());
        DWORD type = REG_NONE;
        DWORD bytes = static_cast<DWORD>(data.size() * sizeof(wchar_t));
        const LONG result = RegEnumValueW(key, index, name.data(), &nameLength, nullptr, &type,
                                          reinterpret_cast<BYTE*>(data.data()), &bytes);
        if (result == ERROR_NO_MORE_ITEMS)
            break;
        if (result == ERROR_MORE_DATA)
            continue; // longer than allowed
        if (result != ERROR_SUCCESS)
            break;
        if (type != REG_SZ)
            continue;
        // The stored text may lack its terminator: bound it by what was read.
        const size_t chars = wcsnlen(data.data(), bytes / sizeof(wchar_t));
        values.emplace_back(std::wstring(name.data(), nameLength), std::wstring(data.data(), chars));
    }
    return values;
}

} // namespace MPrint
