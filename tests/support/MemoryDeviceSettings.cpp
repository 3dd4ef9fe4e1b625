#include "support/MemoryDeviceSettings.h"

namespace testenv {

bool MemoryDeviceSettings::setString(const wchar_t* name, const wchar_t* text)
{
    strings_[name] = text ? text : L"";
    writes.push_back(std::wstring(L"string ") + name + L"=" + (text ? text : L""));
    return true;
}

bool MemoryDeviceSettings::setDword(const wchar_t* name, DWORD value)
{
    dwords_[name] = value;
    writes.push_back(std::wstring(L"dword ") + name + L"=" + std::to_wstring(value));
    return true;
}

bool MemoryDeviceSettings::getString(const wchar_t* name, std::wstring& text)
{
    const auto it = strings_.find(name);
    if (it == strings_.end())
        return false;
    text = it->second;
    return true;
}

bool MemoryDeviceSettings::getDword(const wchar_t* name, DWORD& value)
{
    const auto it = dwords_.find(name);
    if (it == dwords_.end())
        return false;
    value = it->second;
    return true;
}

std::wstring MemoryDeviceSettings::joinedWrites() const
{
    std::wstring out;
    for (const std::wstring& line : writes)
        out += (out.empty() ? L"" : L"; ") + line;
    return out;
}

} // namespace testenv
