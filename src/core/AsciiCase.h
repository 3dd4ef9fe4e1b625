// Comparisons that ignore the case of the ASCII letters only: names of
// ports, monitors and files compare this way wherever the spooler's own
// rules are not at stake. Other characters compare as they are.
#pragma once

#include <string>

inline wchar_t asciiLower(wchar_t c)
{
    return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

inline std::wstring asciiLowered(std::wstring text)
{
    for (wchar_t& c : text)
        c = asciiLower(c);
    return text;
}

inline bool equalsIgnoringAsciiCase(const std::wstring& a, const std::wstring& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (asciiLower(a[i]) != asciiLower(b[i]))
            return false;
    return true;
}

inline bool startsWithIgnoringAsciiCase(const std::wstring& text, const std::wstring& prefix)
{
    return text.size() >= prefix.size() && equalsIgnoringAsciiCase(text.substr(0, prefix.size()), prefix);
}
