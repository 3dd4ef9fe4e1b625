#include "core/LanguageCode.h"

namespace {

struct LanguageRow {
    WORD primary;
    const wchar_t* code;
};

// Chinese (0x04) and Croatian/Serbian (0x1A) depend on the sublanguage.
const LanguageRow kLanguages[] = {
    {0x01, L"AR"}, {0x02, L"BG"}, {0x03, L"CA"}, {0x05, L"CS"}, {0x06, L"DA"}, {0x07, L"DE"},
    {0x08, L"EL"}, {0x09, L"EN"}, {0x0A, L"ES"}, {0x0B, L"FI"}, {0x0C, L"FR"}, {0x0D, L"HE"},
    {0x0E, L"HU"}, {0x10, L"IT"}, {0x11, L"JA"}, {0x12, L"KO"}, {0x13, L"NL"}, {0x14, L"NO"},
    {0x15, L"PL"}, {0x16, L"PT"}, {0x18, L"RO"}, {0x19, L"RU"}, {0x1B, L"SK"}, {0x1D, L"SV"},
    {0x1E, L"TH"}, {0x1F, L"TR"}, {0x21, L"ID"}, {0x22, L"UK"}, {0x24, L"SL"}, {0x25, L"ET"},
    {0x26, L"LV"}, {0x27, L"LT"}, {0x2A, L"VI"}, {0x3F, L"KK"},
};

} // namespace

void getLanguageCode(LANGID language, std::wstring& code)
{
    const WORD primary = language & 0x3FF;
    const WORD sub = language >> 10;
    if (primary == 0x04) {
        code = sub == 1 ? L"HT" : L"HC";
        return;
    }
    if (primary == 0x1A) {
        code = sub == 1 ? L"HR" : L"SR";
        return;
    }
    for (const LanguageRow& row : kLanguages) {
        if (row.primary == primary) {
            code = row.code;
            return;
        }
    }
    code = L"EN";
}
