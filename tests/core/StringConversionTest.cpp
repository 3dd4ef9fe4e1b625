// Code-page conversions, including a run under a double-byte ANSI code page
// (932) in a child process whose Unix locale is Japanese.
#include "core/StringConversion.h"
#include "core/XmlEncoding.h"
#include "core/Win32.h"
#include "support/ChildRun.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// "日本語の表示" in UTF-16, in UTF-8 and in Shift-JIS. The second byte of
// 表 (0x95 0x5C) is a backslash when read on its own.
const std::wstring kJapanese = L"\u65E5\u672C\u8A9E\u306E\u8868\u793A";
const std::string kJapaneseUtf8 =
    "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\xE3\x81\xAE\xE8\xA1\xA8\xE7\xA4\xBA";
const std::string kJapaneseSjis = "\x93\xFA\x96\x7B\x8C\xEA\x82\xCC\x95\x5C\x8E\xA6";

TEST(StringConversion, SameWidthCopies)
{
    std::string narrow = "old";
    EXPECT_TRUE(convertString(std::string("abc"), narrow, 12345));
    EXPECT_EQ("abc", narrow);
    std::wstring wide = L"old";
    EXPECT_TRUE(convertString(std::wstring(L"abc"), wide, 12345));
    EXPECT_EQ(L"abc", wide);
}

TEST(StringConversion, Utf8BothWays)
{
    // Three UTF-8 bytes a character: more than two bytes per UTF-16 unit.
    std::string narrow = "unchanged";
    EXPECT_TRUE(convertString(kJapanese, narrow, CP_UTF8));
    EXPECT_EQ(kJapaneseUtf8, narrow);
    std::string viaUtf8;
    EXPECT_TRUE(convertToUtf8(kJapanese + L"\U0001F600", viaUtf8));
    EXPECT_EQ(kJapaneseUtf8 + "\xF0\x9F\x98\x80", viaUtf8);

    std::wstring wide;
    EXPECT_TRUE(convertString(kJapaneseUtf8, wide, CP_UTF8));
    EXPECT_EQ(kJapanese, wide);

    // Empty texts convert; the input ends at its first NUL.
    EXPECT_TRUE(convertString(std::wstring(), narrow, CP_UTF8));
    EXPECT_EQ("", narrow);
    EXPECT_TRUE(convertString(std::string("ab\0cd", 5), wide, CP_ACP));
    EXPECT_EQ(L"ab", wide);
}

TEST(StringConversion, FailureLeavesOutputUnchanged)
{
    std::wstring wide = L"unchanged";
    std::string narrow = "unchanged";
    EXPECT_FALSE(convertString(std::string("abc"), wide, 4242));
    EXPECT_FALSE(convertString(std::wstring(L"abc"), narrow, 4242));
    EXPECT_EQ(L"unchanged", wide);
    EXPECT_EQ("unchanged", narrow);
}

TEST(StringConversion, DoubleByteCodePageInChild)
{
    const testenv::ProcessResult child = testenv::runSelfInLocale("StringConversion.DoubleByteChild", L"ja_JP.UTF-8");
    EXPECT_EQ(0u, child.exitCode) << child.output;
    // The child really ran its test instead of skipping it.
    EXPECT_NE(std::string::npos, child.output.find("[  PASSED  ] 1 test")) << child.output;
    EXPECT_EQ(std::string::npos, child.output.find("SKIPPED")) << child.output;
}

TEST(StringConversion, DoubleByteChild)
{
    CHILD_TEST_ONLY();
    ASSERT_EQ(932u, GetACP());

    std::wstring wide;
    ASSERT_TRUE(convertString(kJapaneseSjis, wide, CP_ACP));
    EXPECT_EQ(kJapanese, wide);
    std::string narrow;
    ASSERT_TRUE(convertString(kJapanese, narrow, CP_ACP));
    EXPECT_EQ(kJapaneseSjis, narrow);

    // XML in the thread's ANSI code page comes out as UTF-8 with its declaration changed.
    const std::string xml = "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?><a>" + kJapaneseSjis + "</a>";
    EXPECT_EQ("<?xml version=\"1.0\" encoding=\"UTF-8\"?><a>" + kJapaneseUtf8 + "</a>", ansiXmlToUtf8(xml.c_str()));
}

} // namespace
