// Text values read from the registry or from printer data, never trusted to
// carry their terminator: the data lands in a zeroed buffer two bytes larger
// than the size handed to the call, and the text ends at the first NUL or at
// the size the call reported, whichever comes first. Every string read of
// registry or printer data in the module goes through readValueText.
#pragma once

#include "core/Win32.h"

#include <string>
#include <vector>

// Reads nothing larger than this, whatever size a value claims.
inline constexpr DWORD kMaxValueTextBytes = 1u << 20;

// query(type*, data*, size*) has the shape of RegQueryValueExW's last three
// arguments and answers a Win32 code. With bufferSize 0 a first call with
// no buffer asks for the size (ERROR_MORE_DATA or ERROR_SUCCESS with a size
// above 0); otherwise the value is read once into bufferSize bytes, as a
// caller with a fixed buffer of that size would. Answers the read's code
// (ERROR_FILE_NOT_FOUND for an empty value); text and *type are set only on
// ERROR_SUCCESS. The type is not checked: a caller that needs REG_SZ asks.
template <typename Query>
DWORD readValueText(Query query, std::wstring& text, DWORD bufferSize = 0, DWORD* type = nullptr)
{
    DWORD size = bufferSize;
    DWORD kind = REG_NONE;
    if (size == 0) {
        const DWORD sized = query(&kind, nullptr, &size);
        if (sized != ERROR_MORE_DATA && sized != ERROR_SUCCESS)
            return sized;
        if (size == 0)
            return ERROR_FILE_NOT_FOUND;
    }
    if (size > kMaxValueTextBytes)
        return ERROR_MORE_DATA;
    std::vector<BYTE> data(size + 2, 0);
    DWORD read = size;
    const DWORD result = query(&kind, data.data(), &read);
    if (result != ERROR_SUCCESS)
        return result;
    const auto* chars = reinterpret_cast<const wchar_t*>(data.data());
    text.assign(chars, wcsnlen(chars, (read < size ? read : size) / sizeof(wchar_t)));
    if (type)
        *type = kind;
    return ERROR_SUCCESS;
}

// A value of an open registry key.
DWORD readRegistryText(HKEY key, const wchar_t* name, std::wstring& text, DWORD bufferSize = 0,
                       DWORD* type = nullptr);
