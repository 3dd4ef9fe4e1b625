#include "core/StreamEncoders.h"

#include "core/StringConversion.h"

#include <cstdio>
#include <iomanip>

namespace {

const char kBase64Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int base64Value(wchar_t c)
{
    if (c >= L'A' && c <= L'Z')
        return c - L'A';
    if (c >= L'a' && c <= L'z')
        return c - L'a' + 26;
    if (c >= L'0' && c <= L'9')
        return c - L'0' + 52;
    if (c == L'+')
        return 62;
    if (c == L'/')
        return 63;
    return 0;
}

// The five entities; null for any other character.
const char* xmlEntity(unsigned c)
{
    switch (c) {
    case '&':
        return "&amp;";
    case '<':
        return "&lt;";
    case '>':
        return "&gt;";
    case '"':
        return "&quot;";
    case '\'':
        return "&apos;";
    default:
        return nullptr;
    }
}

bool isXmlWhitespaceControl(unsigned c)
{
    return c == 0x9 || c == 0xA || c == 0xD;
}

void writeCharacterReference(std::ostream& out, unsigned codePoint)
{
    char reference[16];
    snprintf(reference, sizeof(reference), "&#x%x;", codePoint);
    out << reference;
}

bool needsPercent(unsigned char c)
{
    if (c < 32 || c >= 127)
        return true;
    static const char kEscaped[] = " #%&'+/:;<=>?@[\\]^`{|}~";
    for (const char* e = kEscaped; *e; ++e) {
        if (static_cast<unsigned char>(*e) == c)
            return true;
    }
    return false;
}

template <typename Stream>
Stream& writeGuidTo(Stream& out, const GUID& guid)
{
    out << std::hex << std::nouppercase << std::setfill(static_cast<typename Stream::char_type>('0'));
    out << std::setw(8) << static_cast<unsigned long>(guid.Data1) << '-';
    out << std::setw(4) << guid.Data2 << '-';
    out << std::setw(4) << guid.Data3 << '-';
    out << std::setw(2) << static_cast<unsigned>(guid.Data4[0]) << std::setw(2)
        << static_cast<unsigned>(guid.Data4[1]) << '-';
    for (int i = 2; i < 8; ++i)
        out << std::setw(2) << static_cast<unsigned>(guid.Data4[i]);
    out << std::dec << std::setfill(static_cast<typename Stream::char_type>(' '));
    return out;
}

} // namespace

std::ostream& Base64Encode(std::ostream& out, const void* bytes, size_t count)
{
    if (!bytes || count == 0)
        return out;
    const auto* data = static_cast<const unsigned char*>(bytes);
    for (size_t i = 0; i < count; i += 3) {
        const size_t left = count - i;
        const unsigned group = (data[i] << 16) | (left > 1 ? data[i + 1] << 8 : 0) | (left > 2 ? data[i + 2] : 0);
        out << kBase64Alphabet[(group >> 18) & 0x3F] << kBase64Alphabet[(group >> 12) & 0x3F];
        out << (left > 1 ? kBase64Alphabet[(group >> 6) & 0x3F] : '=');
        out << (left > 2 ? kBase64Alphabet[group & 0x3F] : '=');
    }
    return out;
}

size_t Base64Decode(const wchar_t* text, size_t charCount, BYTE* out, size_t outCapacity)
{
    if (!text || !out || charCount % 4 != 0)
        return 0;
    size_t byteCount = charCount / 4 * 3;
    for (size_t i = charCount >= 2 ? charCount - 2 : 0; i < charCount; ++i) {
        if (text[i] == L'=')
            --byteCount;
    }
    if (byteCount > outCapacity)
        return 0;
    for (size_t i = 0; i < charCount; ++i) {
        if (text[i] >= 128)
            return 0;
    }
    size_t written = 0;
    for (size_t i = 0; i < charCount && written < byteCount; i += 4) {
        const unsigned group = (base64Value(text[i]) << 18) | (base64Value(text[i + 1]) << 12) |
                               (base64Value(text[i + 2]) << 6) | base64Value(text[i + 3]);
        const BYTE decoded[3] = {static_cast<BYTE>(group >> 16), static_cast<BYTE>(group >> 8),
                                 static_cast<BYTE>(group)};
        for (int k = 0; k < 3 && written < byteCount; ++k)
            out[written++] = decoded[k];
    }
    return byteCount;
}

std::ostream& XmlEscape(std::ostream& out, const char* bytes, size_t count)
{
    if (!bytes)
        return out;
    for (size_t i = 0; i < count; ++i)
        XmlEscape(out, bytes[i]);
    return out;
}

std::ostream& XmlEscape(std::ostream& out, const std::string& text)
{
    return XmlEscape(out, text.data(), text.size());
}

std::ostream& XmlEscape(std::ostream& out, char byte)
{
    const auto c = static_cast<unsigned char>(byte);
    if (c < 32) {
        // Other control characters cannot appear in XML 1.0, not even as
        // references: a document holding one could never be read back.
        if (isXmlWhitespaceControl(c))
            writeCharacterReference(out, c);
    } else if (const char* entity = xmlEntity(c)) {
        out << entity;
    } else {
        out << byte;
    }
    return out;
}

std::ostream& XmlEscape(std::ostream& out, const std::wstring& text)
{
    for (size_t i = 0; i < text.size(); ++i) {
        unsigned c = text[i];
        if (c >= 32 && c < 128) {
            XmlEscape(out, static_cast<char>(c));
            continue;
        }
        if (c >= 0xD800 && c <= 0xDBFF) {
            if (i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
                c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
                ++i;
            } else {
                continue; // a lone high surrogate
            }
        } else if (c >= 0xDC00 && c <= 0xDFFF) {
            continue; // a lone low surrogate
        }
        if ((c < 32 && !isXmlWhitespaceControl(c)) || c == 0xFFFE || c == 0xFFFF)
            continue;
        writeCharacterReference(out, c);
    }
    return out;
}

std::ostream& UrlEncode(std::ostream& out, const char* text)
{
    if (!text)
        return out;
    for (const char* p = text; *p; ++p)
        UrlEncode(out, *p);
    return out;
}

std::ostream& UrlEncode(std::ostream& out, char byte)
{
    const auto c = static_cast<unsigned char>(byte);
    if (needsPercent(c)) {
        char escaped[4];
        snprintf(escaped, sizeof(escaped), "%%%2.2X", c);
        out << escaped;
    } else {
        out << byte;
    }
    return out;
}

std::ostream& UrlEncode(std::ostream& out, const wchar_t* text)
{
    if (!text || !*text)
        return out;
    std::string narrow;
    if (!convertString(std::wstring(text), narrow, CP_ACP))
        return out;
    return UrlEncode(out, narrow.c_str());
}

std::ostream& WriteGuid(std::ostream& out, const GUID& guid)
{
    return writeGuidTo(out, guid);
}

std::wostream& WriteGuid(std::wostream& out, const GUID& guid)
{
    return writeGuidTo(out, guid);
}
