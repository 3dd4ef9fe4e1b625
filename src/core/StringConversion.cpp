#include "core/StringConversion.h"

#include "core/Win32.h"

bool convertString(const std::string& input, std::string& output, unsigned)
{
    output = input;
    return true;
}

bool convertString(const std::string& input, std::wstring& output, unsigned codePage)
{
    const int needed = MultiByteToWideChar(codePage, 0, input.c_str(), -1, nullptr, 0);
    if (needed <= 0)
        return false;
    std::wstring buffer(static_cast<size_t>(needed), L'\0');
    if (MultiByteToWideChar(codePage, 0, input.c_str(), -1, buffer.data(), needed) <= 0)
        return false;
    output.assign(buffer.c_str());
    return true;
}

bool convertString(const std::wstring& input, std::string& output, unsigned codePage)
{
    // Sized by a first call: UTF-8 of CJK text takes three bytes a character.
    const int needed = WideCharToMultiByte(codePage, 0, input.c_str(), -1, nullptr, 0, nullptr, nullptr);
    if (needed <= 0)
        return false;
    std::string buffer(static_cast<size_t>(needed), '\0');
    if (WideCharToMultiByte(codePage, 0, input.c_str(), -1, buffer.data(), needed, nullptr, nullptr) <= 0)
        return false;
    output.assign(buffer.c_str());
    return true;
}

bool convertString(const std::wstring& input, std::wstring& output, unsigned)
{
    output = input;
    return true;
}

bool convertToUtf8(const std::wstring& input, std::string& output)
{
    return convertString(input, output, CP_UTF8);
}
