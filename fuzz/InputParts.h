// Inputs that carry several pieces (registry values, one reply per pipe
// connection) keep them apart with a marker line; seeds stay readable and
// every mutation still applies to the whole.
#pragma once

#include "core/Win32.h"

#include <cstdlib>
#include <string>
#include <vector>

namespace fuzz {

inline std::vector<std::string> splitParts(const std::string& input, const std::string& marker = "\n--\n")
{
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        const size_t at = input.find(marker, start);
        if (at == std::string::npos) {
            parts.push_back(input.substr(start));
            return parts;
        }
        parts.push_back(input.substr(start, at - start));
        start = at + marker.size();
    }
}

// UTF-8 to UTF-16; invalid sequences become U+FFFD.
inline std::wstring wideFromUtf8(const std::string& text)
{
    if (text.empty() || text.size() > 0x7FFFFFFF)
        return {};
    const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(length > 0 ? length : 0, L'\0');
    if (length > 0)
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), length);
    return out;
}

// Writes one registry value as a part describes it: the first byte picks
// the type and form, the rest is the data.
//   'S' REG_SZ from UTF-8, terminated    's' REG_SZ, the bytes as they are
//   'E' REG_EXPAND_SZ from UTF-8         'D' REG_DWORD from a decimal text
//   'd' REG_DWORD, the bytes as they are 'q' REG_QWORD, the bytes
//   'b' REG_BINARY, the bytes            anything else: no value
inline void writeValue(HKEY key, const std::wstring& name, const std::string& part)
{
    if (part.empty())
        return;
    const std::string data = part.substr(1);
    auto put = [&](DWORD type, const void* bytes, size_t size) {
        RegSetValueExW(key, name.c_str(), 0, type, static_cast<const BYTE*>(bytes), static_cast<DWORD>(size));
    };
    switch (part[0]) {
    case 'S':
    case 'E': {
        const std::wstring text = wideFromUtf8(data);
        put(part[0] == 'S' ? REG_SZ : REG_EXPAND_SZ, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
        break;
    }
    case 'D': {
        const DWORD number = static_cast<DWORD>(std::strtoull(data.c_str(), nullptr, 10));
        put(REG_DWORD, &number, sizeof(number));
        break;
    }
    case 's':
        put(REG_SZ, data.data(), data.size());
        break;
    case 'd':
        put(REG_DWORD, data.data(), data.size());
        break;
    case 'q':
        put(REG_QWORD, data.data(), data.size());
        break;
    case 'b':
        put(REG_BINARY, data.data(), data.size());
        break;
    default:
        break;
    }
}

} // namespace fuzz
