#include "core/ValueText.h"

DWORD readRegistryText(HKEY key, const wchar_t* name, std::wstring& text, DWORD bufferSize, DWORD* type)
{
    if (!key)
        return ERROR_INVALID_HANDLE;
    return readValueText(
        [&](DWORD* kind, BYTE* data, DWORD* size) {
            return static_cast<DWORD>(RegQueryValueExW(key, name, nullptr, kind, data, size));
        },
        text, bufferSize, type);
}
