// Encoders as tables of cases, and the XML escaper checked against the reader
// that has to read its output back.
#include "core/MSSAXParser.h"
#include "core/StreamEncoders.h"
#include "support/TestEnv.h"

#include <gtest/gtest.h>

#include <cstring>
#include <sstream>

namespace {

TEST(StreamEncodersTest, Base64Encode)
{
    const struct {
        std::string bytes;
        const char* text;
    } cases[] = {
        {"abc", "YWJj"}, {"\xFF", "/w=="}, {"ab", "YWI="}, {"", ""}, {std::string("\0\0\0\xFB\xEF", 5), "AAAA++8="},
    };
    for (const auto& c : cases) {
        std::ostringstream out;
        Base64Encode(out, c.bytes.data(), c.bytes.size());
        EXPECT_EQ(out.str(), c.text) << c.text;
    }
    std::ostringstream none;
    Base64Encode(none, nullptr, 3);
    EXPECT_EQ(none.str(), "");
}

TEST(StreamEncodersTest, Base64Decode)
{
    const struct {
        const wchar_t* text;
        size_t capacity;
        size_t result;
        const char* bytes;
    } cases[] = {
        {L"YWJj", 8, 3, "abc"},
        {L"YWI=", 8, 2, "ab"},
        {L"/w==", 8, 1, "\xFF"},
        {L"AAAA++8=", 8, 5, "\0\0\0\xFB\xEF"},
        {L"YWJjZ", 8, 0, ""},    // not a multiple of 4
        {L"YWJj", 2, 0, ""},     // does not fit
        {L"YW\u00E9j", 8, 0, ""}, // not ASCII
        {L"Y!Jj", 8, 3, "`\x02" "c"}, // outside the alphabet counts as 0
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testenv::narrow(c.text));
        BYTE out[9];
        memset(out, 0xBD, sizeof(out));
        EXPECT_EQ(Base64Decode(c.text, wcslen(c.text), out, c.capacity), c.result);
        EXPECT_EQ(memcmp(out, c.bytes, c.result), 0);
        EXPECT_EQ(out[c.result], 0xBD); // nothing past the decoded bytes
    }
    BYTE out[4];
    EXPECT_EQ(Base64Decode(nullptr, 4, out, 4), 0u);
    EXPECT_EQ(Base64Decode(L"YWJj", 4, nullptr, 4), 0u);
}

TEST(StreamEncodersTest, NarrowXmlEscape)
{
    const struct {
        std::string text;
        const char* escaped;
    } cases[] = {
        {"a<b & c", "a&lt;b &amp; c"},
        {"\"q\" 'a' >", "&quot;q&quot; &apos;a&apos; &gt;"},
        {"t\tl\nr\r", "t&#x9;l&#xa;r&#xd;"},
        {"x\x01y\x1Fz", "xyz"}, // XML 1.0 cannot carry these at all
        {"caf\xC3\xA9", "caf\xC3\xA9"},
    };
    for (const auto& c : cases) {
        std::ostringstream out;
        XmlEscape(out, c.text);
        EXPECT_EQ(out.str(), c.escaped) << c.escaped;
    }
    std::ostringstream one;
    XmlEscape(XmlEscape(one, '&'), 'x');
    EXPECT_EQ(one.str(), "&amp;x");
}

TEST(StreamEncodersTest, WideXmlEscape)
{
    const struct {
        std::wstring text;
        const char* escaped;
    } cases[] = {
        {L"a<b&c", "a&lt;b&amp;c"},
        {L"caf\u00E9", "caf&#xe9;"},
        {L"\u20AC", "&#x20ac;"},
        {L"\U0001F600", "&#x1f600;"}, // one reference for the pair
        {L"tab\tcr\r", "tab&#x9;cr&#xd;"},
        {std::wstring(L"a\x01" L"b\xD800" L"c\xDC00" L"d\xFFFE", 8), "abcd"},
        {L"", ""},
    };
    for (const auto& c : cases) {
        std::ostringstream out;
        XmlEscape(out, c.text);
        EXPECT_EQ(out.str(), c.escaped) << c.escaped;
    }
}

class TextReader : public MPrint::MSSAXParser {
public:
    TextReader() : MSSAXParser(kTable, 0) {}
    std::wstring text;

protected:
    void onStringValue(const LevelData&, const std::wstring& value) override { text = value; }

private:
    static constexpr MPrint::SaxElementEntry kTable[] = {{L"v", 1, MPrint::SaxString}, {nullptr, 0, 0}};
};

TEST(StreamEncodersTest, EscapedTextReadsBack)
{
    const struct {
        std::wstring written;
        std::wstring read;
    } cases[] = {
        {L"a<b&c \"'>", L"a<b&c \"'>"},
        {L"caf\u00E9 \U0001F600 \u4E2D", L"caf\u00E9 \U0001F600 \u4E2D"},
        {L"line\nnext\ttab", L"line\nnext\ttab"},
        {L"bell\x07" L"gone", L"bellgone"},
    };
    for (const auto& c : cases) {
        std::ostringstream out;
        out << "<v>";
        XmlEscape(out, c.written) << "</v>";
        TextReader reader;
        ASSERT_TRUE(reader.parse(out.str())) << out.str();
        EXPECT_EQ(reader.text, c.read) << out.str();
    }
}

TEST(StreamEncodersTest, UrlEncode)
{
    const struct {
        const char* text;
        const char* encoded;
    } cases[] = {
        {"a b/c", "a%20b%2Fc"},
        {"~", "%7E"},
        {"!\"$()*,-._", "!\"$()*,-._"},
        {"#%&'+:;<=>?@[\\]^`{|}", "%23%25%26%27%2B%3A%3B%3C%3D%3E%3F%40%5B%5C%5D%5E%60%7B%7C%7D"},
        {"\x01\x7F\xE9", "%01%7F%E9"},
    };
    for (const auto& c : cases) {
        std::ostringstream out;
        UrlEncode(out, c.text);
        EXPECT_EQ(out.str(), c.encoded) << c.encoded;
    }
    std::ostringstream wide;
    UrlEncode(wide, L"x y");
    UrlEncode(wide, '/');
    EXPECT_EQ(wide.str(), "x%20y%2F");
}

TEST(StreamEncodersTest, WriteGuidLeavesTheStreamDecimal)
{
    const GUID id = {0x0A0B0C0D, 0x0E0F, 0xABCD, {0x01, 0x02, 0xA3, 0xB4, 0xC5, 0xD6, 0xE7, 0xF8}};
    std::ostringstream out;
    out << std::uppercase;
    WriteGuid(out, GUID{}) << ' ';
    WriteGuid(out, id) << ' ' << 42;
    out.width(4);
    out << 7;
    EXPECT_EQ(out.str(), "00000000-0000-0000-0000-000000000000 0a0b0c0d-0e0f-abcd-0102-a3b4c5d6e7f8 42   7");
    std::wostringstream wide;
    WriteGuid(wide, id) << 10;
    EXPECT_EQ(wide.str(), L"0a0b0c0d-0e0f-abcd-0102-a3b4c5d6e7f810");
}

} // namespace
