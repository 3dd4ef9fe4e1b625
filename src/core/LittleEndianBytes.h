// Little-endian fields of records exchanged with other processes. The
// readers take the size of what was really received: a field or a text
// that does not lie wholly inside it is refused, never read.
#pragma once

#include "core/Win32.h"

#include <cstring>
#include <string>
#include <vector>

namespace lebytes {

// The caller has checked that the field lies inside the record.
inline DWORD u32(const BYTE* bytes, DWORD offset)
{
    DWORD value = 0;
    std::memcpy(&value, bytes + offset, sizeof(value));
    return value;
}

inline ULONGLONG u64(const BYTE* bytes, DWORD offset)
{
    ULONGLONG value = 0;
    std::memcpy(&value, bytes + offset, sizeof(value));
    return value;
}

inline void putU32(std::vector<BYTE>& bytes, size_t offset, DWORD value)
{
    std::memcpy(bytes.data() + offset, &value, sizeof(value));
}

inline void putU64(std::vector<BYTE>& bytes, size_t offset, ULONGLONG value)
{
    std::memcpy(bytes.data() + offset, &value, sizeof(value));
}

// The NUL-terminated UTF-16 text at an even offset, wholly inside the size;
// the text is untouched when false.
inline bool text(const BYTE* bytes, DWORD size, ULONGLONG offset, std::wstring& text)
{
    if (offset >= size || (offset & 1) != 0)
        return false;
    std::wstring read;
    for (ULONGLONG at = offset; at + sizeof(wchar_t) <= size; at += sizeof(wchar_t)) {
        wchar_t c = 0;
        std::memcpy(&c, bytes + at, sizeof(c));
        if (c == L'\0') {
            text = std::move(read);
            return true;
        }
        read += c;
    }
    return false;
}

// Appends the text with its terminator; its offset in the record.
inline DWORD appendText(std::vector<BYTE>& bytes, const std::wstring& text)
{
    const size_t at = bytes.size();
    const BYTE* raw = reinterpret_cast<const BYTE*>(text.c_str());
    bytes.insert(bytes.end(), raw, raw + (text.size() + 1) * sizeof(wchar_t));
    return static_cast<DWORD>(at);
}

} // namespace lebytes
