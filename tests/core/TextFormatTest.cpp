// Positional formatting, trimming, hexadecimal parsing and language codes.
#include "core/LanguageCode.h"
#include "core/TextFormat.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

TEST(TextFormat, InsertArguments)
{
    struct Row {
        const wchar_t* format;
        const wchar_t* expected;
    };
    // Arguments: %1 = "3", %2 = "7", %3 = "%1" (not expanded again).
    const Row rows[] = {
        {L"%1 of %2", L"3 of 7"},
        {L"100%%", L"100%"},
        {L"%3", L"%1"},
        {L"%4", L""},
        {L"a%", L"a"},
        {L"%0x", L"x"},
        {L"%zy", L"y"},
        {L"%1%", L"3"},
        {L"%2%1%%", L"73%"},
        {L"plain", L"plain"},
        {L"", L""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << "format #" << (&row - rows));
        wchar_t out[32];
        wmemset(out, L'#', 32);
        EXPECT_TRUE(insertArguments(out, 32, row.format, 3, L"3", L"7", L"%1"));
        EXPECT_STREQ(row.expected, out);
        EXPECT_EQ(L'#', out[wcslen(row.expected) + 1]); // nothing beyond the terminator
    }

    // Two arguments: %3 is beyond the count.
    wchar_t out[8];
    EXPECT_TRUE(insertArguments(out, 8, L"[%3]", 2, L"a", L"b"));
    EXPECT_STREQ(L"[]", out);
    EXPECT_TRUE(insertArguments(out, 8, nullptr, 0));
    EXPECT_STREQ(L"", out);
}

TEST(TextFormat, InsertArgumentsStopsAtCapacity)
{
    // Guard characters after the capacity catch a write beyond it.
    struct Row {
        size_t capacity;
        const wchar_t* expected;
    };
    const Row rows[] = {
        {1, L""},
        {4, L"Pri"},
        {10, L"Printer O"},
        {15, L"Printer Office"},
        {16, L"Printer Office!"},
        {40, L"Printer Office!"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.capacity);
        wchar_t out[48];
        wmemset(out, L'#', 48);
        EXPECT_TRUE(insertArguments(out, row.capacity, L"%1 %2!", 2, L"Printer", L"Office"));
        EXPECT_STREQ(row.expected, out);
        for (size_t i = row.capacity; i < 48; ++i)
            ASSERT_EQ(L'#', out[i]) << "written at " << i;
    }
    wchar_t untouched = L'#';
    EXPECT_FALSE(insertArguments(&untouched, 0, L"x", 0));
    EXPECT_EQ(L'#', untouched);
    EXPECT_FALSE(insertArguments(nullptr, 10, L"x", 0));
}

TEST(TextFormat, TrimWhitespace)
{
    struct Row {
        const wchar_t* text;
        bool leading;
        bool trailing;
        const wchar_t* expected;
    };
    const Row rows[] = {
        {L"   ", true, false, L""},
        {L"   ", false, true, L""},
        {L"   ", true, true, L""},
        {L" ", true, true, L""},
        {L"a", true, true, L"a"},
        {L"  a", false, true, L"  a"},
        {L"  a", true, false, L"a"},
        {L" a b \t\r\n", true, true, L"a b"},
        {L" a ", false, false, L" a "},
        {L" a ", true, false, L"a "},
        {L" a ", false, true, L" a"},
        {L"\u3000x\u3000", true, true, L"x"}, // ideographic space
        {L"", true, true, L""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << "row #" << (&row - rows));
        std::wstring text = row.text;
        trimWhitespace(text, row.leading, row.trailing);
        EXPECT_EQ(std::wstring(row.expected), text);
    }
}

TEST(TextFormat, ParseHex)
{
    struct Row {
        const char* text;
        long value;
    };
    const Row rows[] = {
        {"1F", 0x1F},     {"0x1F", 0x1F}, {"  ff", 0xFF},       {" -a", -10},   {"+10", 16},
        {"12zz", 0x12},   {"zz", 0},      {"", 0},              {nullptr, 0},   {"7fffffff", 0x7FFFFFFF},
        {"0X10", 16},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text ? row.text : "(null)");
        EXPECT_EQ(row.value, parseHex(row.text));
    }
}

TEST(TextFormat, LanguageCode)
{
    struct Row {
        LANGID id;
        const wchar_t* code;
    };
    const Row rows[] = {
        {0x0404, L"HT"}, {0x0804, L"HC"}, {0x0C04, L"HC"}, {0x0004, L"HC"}, {0x041A, L"HR"}, {0x081A, L"SR"},
        {0x0C1A, L"SR"}, {0x040F, L"EN"}, {0x0409, L"EN"}, {0x0809, L"EN"}, {0x0407, L"DE"}, {0x0807, L"DE"},
        {0x0411, L"JA"}, {0x0416, L"PT"}, {0x0816, L"PT"}, {0x043F, L"KK"}, {0x042A, L"VI"}, {0x0401, L"AR"},
        {0x041D, L"SV"}, {0x0414, L"NO"}, {0x0814, L"NO"}, {0x0000, L"EN"}, {0x0017, L"EN"}, {0xFFFF, L"EN"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.id);
        std::wstring code = L"??";
        getLanguageCode(row.id, code);
        EXPECT_EQ(std::wstring(row.code), code);
    }
}

} // namespace
