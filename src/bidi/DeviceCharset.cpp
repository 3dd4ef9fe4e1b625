#include "bidi/DeviceCharset.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace MPrint {

namespace {

enum LanguageKind { kKindUtf8 = 1, kKindIso2 = 2, kKindRoman = 3, kKindIso5 = 4, kKindIso9 = 5, kKindUnknown = 6 };

struct Language {
    int id;
    LanguageKind kind;
    const char* name;
};

constexpr Language kLanguages[] = {
    {1, kKindRoman, "English"},      {2, kKindRoman, "French"},       {3, kKindRoman, "German"},
    {4, kKindRoman, "Italian"},      {5, kKindRoman, "Spanish"},      {6, kKindRoman, "Swedish"},
    {7, kKindRoman, "Danish"},       {8, kKindRoman, "Norwegian"},    {9, kKindRoman, "Dutch"},
    {10, kKindRoman, "Finnish"},     {11, kKindRoman, "Portuguese"},  {12, kKindIso9, "Turkish"},
    {13, kKindIso2, "Polish"},       {14, kKindUtf8, "Korean"},       {15, kKindIso5, "Russian"},
    {16, kKindIso2, "Czech"},        {17, kKindIso2, "Hungarian"},    {18, kKindUtf8, "Japanese"},
    {19, kKindUtf8, "JapaneseKanji"}, {20, kKindUtf8, "ChineseSimp"}, {21, kKindUtf8, "ChineseTrad"},
    {26, kKindIso2, "Romanian"},     {27, kKindIso2, "Slovak"},       {28, kKindIso2, "Slovenian"},
};
constexpr int kLanguageCount = static_cast<int>(sizeof(kLanguages) / sizeof(kLanguages[0]));

// The device maker's Roman set for the bytes 0xA0 to 0xFF; 0 = no mapping.
constexpr wchar_t kRoman[96] = {
    0x00A0, 0x00C0, 0x00C2, 0x00C8, 0x00CA, 0x00CB, 0x00CE, 0x00CF, 0x00B4, 0x02CB, 0x02C6, 0x00A8, 0x02DC, 0x00D9, 0x00DB, 0x20A4,
    0x00AF, 0x00DD, 0x00FD, 0x00B0, 0x00C7, 0x00E7, 0x00D1, 0x00F1, 0x00A1, 0x00BF, 0x00A4, 0x00A3, 0x00A5, 0x00A7, 0x0192, 0x00A2,
    0x00E2, 0x00EA, 0x00F4, 0x00FB, 0x00E1, 0x00E9, 0x00F3, 0x00FA, 0x00E0, 0x00E8, 0x00F2, 0x00F9, 0x00E4, 0x00EB, 0x00F6, 0x00FC,
    0x00C5, 0x00EE, 0x00D8, 0x00C6, 0x00E5, 0x00ED, 0x00F8, 0x00E6, 0x00C4, 0x00EC, 0x00D6, 0x00DC, 0x00C9, 0x00EF, 0x00DF, 0x00D4,
    0x00C1, 0x00C3, 0x00E3, 0x00D0, 0x00F0, 0x00CD, 0x00CC, 0x00D3, 0x00D2, 0x00D5, 0x00F5, 0x0160, 0x0161, 0x00DA, 0x0178, 0x00FF,
    0x00DE, 0x00FE, 0x00B7, 0x00B5, 0x00B6, 0x00BE, 0x2014, 0x00BC, 0x00BD, 0x00AA, 0x00BA, 0x00AB, 0x25A0, 0x00BB, 0x00B1, 0,
};

constexpr int kMaxDecodedChars = 511;

// The row of a language id. The table has 24 rows for ids up to 28, so the
// direct try by index is bounded before the search of every row.
LanguageKind languageKind(int id)
{
    if (id <= 0)
        return kKindUnknown;
    if (id < kLanguageCount && kLanguages[id].id == id)
        return kLanguages[id].kind;
    for (const Language& language : kLanguages)
        if (language.id == id)
            return language.kind;
    return kKindUnknown;
}

// Writes the text in the code page, cut at a character boundary to what
// fits before the terminator.
bool encodeInto(const std::wstring& text, UINT codePage, char* output, int outputSize)
{
    int count = static_cast<int>(text.size());
    while (count > 0) {
        const int needed = WideCharToMultiByte(codePage, 0, text.data(), count, nullptr, 0, nullptr, nullptr);
        if (needed <= 0)
            return false;
        if (needed < outputSize) {
            WideCharToMultiByte(codePage, 0, text.data(), count, output, outputSize - 1, nullptr, nullptr);
            output[needed] = '\0';
            return true;
        }
        --count;
        if (count > 0 && IS_HIGH_SURROGATE(text[static_cast<size_t>(count - 1)]))
            --count;
    }
    return true;
}

bool utf8RoundTrip(const BYTE* source, int sourceLength, char* output, int outputSize)
{
    // No more bytes than the kept characters can take: the server's size is its own claim.
    sourceLength = std::min(sourceLength, 4 * kMaxDecodedChars + 3);
    const char* bytes = reinterpret_cast<const char*>(source);
    const int length = MultiByteToWideChar(CP_UTF8, 0, bytes, sourceLength, nullptr, 0);
    if (length <= 0)
        return false;
    std::wstring text(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, bytes, sourceLength, text.data(), length);
    if (text.size() > kMaxDecodedChars) {
        text.resize(kMaxDecodedChars);
        if (IS_HIGH_SURROGATE(text.back()))
            text.pop_back();
    }
    return encodeInto(text, CP_UTF8, output, outputSize);
}

// One byte of an ISO 8859 code page through the system's table.
wchar_t isoCodePoint(UINT codePage, BYTE byte)
{
    wchar_t decoded = 0;
    const char in = static_cast<char>(byte);
    if (MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, &in, 1, &decoded, 1) != 1)
        return 0;
    return decoded;
}

bool decodeSingleByte(LanguageKind kind, const BYTE* source, int sourceLength, char* output, int outputSize)
{
    const int count = sourceLength < 510 ? sourceLength : 509;
    const BYTE first = kind == kKindIso9 ? 0xD0 : 0xA0;
    const UINT isoPage = kind == kKindIso2 ? 28592 : kind == kKindIso5 ? 28595 : 28599;
    std::wstring text;
    text.reserve(static_cast<size_t>(count));
    bool complete = true;
    for (int i = 0; i < count; ++i) {
        const BYTE byte = source[i];
        if (byte < first) {
            text.push_back(static_cast<wchar_t>(byte));
            continue;
        }
        const wchar_t mapped = kind == kKindRoman ? kRoman[byte - 0xA0] : isoCodePoint(isoPage, byte);
        if (!mapped)
            complete = false;
        text.push_back(mapped ? mapped : L'?');
    }
    if (!complete)
        return false;
    return encodeInto(text, kind == kKindRoman ? CP_UTF8 : isoPage, output, outputSize);
}

} // namespace

bool convertDeviceString(const BYTE* source, int sourceLength, char* output, int outputSize, DWORD mode,
                         int languageId)
{
    if (!source || !output || sourceLength < 1 || outputSize < 1)
        return false;
    output[0] = '\0';
    bool converted = false;
    switch (mode) {
    case DeviceTextCopy: {
        const int count = sourceLength < outputSize - 1 ? sourceLength : outputSize - 1;
        memcpy(output, source, static_cast<size_t>(count));
        output[count] = '\0';
        return true;
    }
    case DeviceTextUtf8:
        converted = utf8RoundTrip(source, sourceLength, output, outputSize);
        break;
    case DeviceTextByLanguage: {
        const LanguageKind kind = languageKind(languageId);
        if (kind == kKindUtf8 || kind == kKindUnknown)
            converted = utf8RoundTrip(source, sourceLength, output, outputSize);
        else
            converted = decodeSingleByte(kind, source, sourceLength, output, outputSize);
        break;
    }
    default:
        return false;
    }
    if (!converted)
        output[0] = '\0';
    return converted;
}

} // namespace MPrint
