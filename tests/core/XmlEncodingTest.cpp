// XML texts to UTF-8 with a declaration that says so.
#include "core/XmlEncoding.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const std::string kDeclaration = "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\r\n";

TEST(XmlEncoding, RecognisesUtf8Declaration)
{
    struct Row {
        const char* xml;
        bool utf8;
    };
    const Row rows[] = {
        {"<?xml version=\"1.0\" encoding=\"UTF-8\"?><a/>", true},
        {"<?xml encoding=\"UTF-8-ish\"?>", true}, // only the start is compared
        {"<?xml version=\"1.0\" encoding=\"utf-8\"?><a/>", false},
        {"<?xml version=\"1.0\" encoding='UTF-8'?><a/>", false},
        {"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a/>", false},
        {"<?xml version=\"1.0\"?><a/>", false},
        {"<a encoding=\"UTF", false},
        {"", false},
        {nullptr, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.xml ? row.xml : "(null)");
        EXPECT_EQ(row.utf8, isXmlEncodingUtf8(row.xml));
    }
}

TEST(XmlEncoding, WideXmlBecomesUtf8)
{
    struct Row {
        const wchar_t* xml;
        std::string utf8;
    };
    const Row rows[] = {
        {L"<a>\u00E9</a>", kDeclaration + "<a>\xC3\xA9</a>"},
        {L"", kDeclaration},
        {L"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a/>", "<?xml version=\"1.0\" encoding=\"UTF-8\"?><a/>"},
        {L"<?xml version=\"1.0\" encoding=\"utf-16\" standalone=\"yes\"?>",
         "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>"},
        // No double-quoted encoding: the declaration takes the old one's place
        // (two declarations would make a document no reader accepts).
        {L"<?xml version=\"1.0\"?><a/>", kDeclaration + "<a/>"},
        {L"<?xml version='1.0' encoding='latin1'?>\r\n<a/>", kDeclaration + "\r\n<a/>"},
        {L"\xFEFF<?xml version=\"1.0\"?><a/>", kDeclaration + "<a/>"},
        {L"\xFEFF<a/>", kDeclaration + "<a/>"},
        // Only a declaration at the very start counts.
        {L"<?xml-stylesheet href=\"a\"?><a/>", kDeclaration + "<?xml-stylesheet href=\"a\"?><a/>"},
        {L"<?xml version=\"1.0\"", kDeclaration + "<?xml version=\"1.0\""},
        // An empty value stays empty; an unclosed one is left alone.
        {L"<?xml encoding=\"\"?>", "<?xml encoding=\"\"?>"},
        {L"<?xml encoding=\"latin1", "<?xml encoding=\"latin1"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.utf8);
        EXPECT_EQ(row.utf8, wideXmlToUtf8(row.xml));
    }
}

TEST(XmlEncoding, AnsiXmlBecomesUtf8)
{
    EXPECT_EQ("", ansiXmlToUtf8(nullptr));
    EXPECT_EQ("", ansiXmlToUtf8(""));
    EXPECT_EQ(kDeclaration + "<a/>", ansiXmlToUtf8("<a/>"));
    EXPECT_EQ("<?xml encoding=\"UTF-8\"?><a/>", ansiXmlToUtf8("<?xml encoding=\"windows-1252\"?><a/>"));
    // An ANSI document whose declaration names no encoding (code page 1252 here).
    EXPECT_EQ(kDeclaration + "<a>\xC3\xA9</a>", ansiXmlToUtf8("<?xml version=\"1.0\"?><a>\xE9</a>"));
}

// Only undeclared text that is not UTF-8 is ANSI; a UTF-8 document is never
// converted again, however it declares itself (or not at all).
TEST(XmlEncoding, TellsUndeclaredAnsiText)
{
    struct Row {
        const char* name;
        std::string xml;
        bool ansi;
    };
    const Row rows[] = {
        {"utf-8 without a declaration", "<a>\xC3\xA9</a>", false},
        {"utf-8 declared in lower case", "<?xml version=\"1.0\" encoding=\"utf-8\"?><a>\xC3\xA9</a>", false},
        {"utf-8 declared in single quotes", "<?xml version='1.0' encoding='UTF-8'?><a>\xC3\xA9</a>", false},
        {"utf-8 with a byte-order mark", "\xEF\xBB\xBF<a>\xC3\xA9</a>", false},
        {"utf-16 with a byte-order mark", std::string("\xFF\xFE<\0a\0/\0>\0", 10), false},
        {"declared latin-1", "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a>\xE9</a>", false},
        {"ascii", "<a>e</a>", false},
        {"empty", "", false},
        {"ansi without a declaration", "<a>\xE9</a>", true},
        {"ansi, declaration without an encoding", "<?xml version=\"1.0\"?><a>\xE9</a>", true},
        {"encoding only in the body", "<a encoding=\"x\">\xE9</a>", true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(row.ansi, isUndeclaredAnsiXml(row.xml));
    }
}

} // namespace
