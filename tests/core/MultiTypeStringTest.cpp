#include "core/MultiTypeString.h"
#include "core/Win32.h"

#include <gtest/gtest.h>

using Quorith::MultiTypeString;

namespace {

constexpr unsigned N = MultiTypeString::NarrowForm;
constexpr unsigned W = MultiTypeString::WideForm;
constexpr unsigned B = MultiTypeString::BothForms;

TEST(MultiTypeString, ConstructionSetsTextAndForm)
{
    struct Row {
        const char* name;
        MultiTypeString value;
        unsigned form;
        const wchar_t* wide;
    };
    const int minusFive = -5;
    Row rows[] = {
        {"default", MultiTypeString(), B, L""},
        {"null narrow", MultiTypeString(static_cast<const char*>(nullptr)), B, L""},
        {"null wide", MultiTypeString(static_cast<const wchar_t*>(nullptr)), B, L""},
        {"empty narrow", MultiTypeString(""), N, L""},
        {"empty wide", MultiTypeString(L""), W, L""},
        {"std::string", MultiTypeString(std::string("ab")), N, L"ab"},
        {"integer", MultiTypeString(minusFive), W, L"-5"},
        {"narrow with count", MultiTypeString("abcdef", 3), N, L"abc"},
        {"count 0", MultiTypeString("abc", 0), B, L""},
        {"empty string constant", MultiTypeString::emptyString, N, L""},
    };
    for (Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(row.form, row.value.form());
        EXPECT_STREQ(row.wide, row.value.toWide());
    }
}

TEST(MultiTypeString, ConvertsThroughTheAnsiCodePage)
{
    if (GetACP() != 1252)
        GTEST_SKIP() << "expects code page 1252, have " << GetACP();
    struct Row {
        const char* name;
        const wchar_t* wide;
        const char* narrow;
    };
    const Row rows[] = {
        {"ASCII", L"Tray 1", "Tray 1"},
        {"Latin-1 letters", L"R\u00e9sum\u00e9 \u00dcber", "R\xe9sum\xe9 \xdc" "ber"},
        {"euro sign", L"10 \u20ac", "10 \x80"},
        {"outside the code page", L"\u65e5\u672c A", "?? A"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        MultiTypeString fromWide(row.wide);
        EXPECT_STREQ(row.narrow, fromWide.toNarrow());
        EXPECT_EQ(B, fromWide.form());
        EXPECT_STREQ(row.wide, fromWide.toWide()) << "the wide form is the original";

        MultiTypeString fromNarrow(row.narrow);
        const std::wstring wide = fromNarrow.toWide();
        EXPECT_EQ(B, fromNarrow.form());
        if (std::string(row.narrow).find('?') == std::string::npos) {
            EXPECT_EQ(std::wstring(row.wide), wide);
        }
    }
}

TEST(MultiTypeString, EditsLeaveTheOtherFormStale)
{
    MultiTypeString s(L"abc");
    EXPECT_STREQ("abc", s.toNarrow());
    EXPECT_EQ(B, s.form());
    s = L"xyz";
    EXPECT_EQ(W, s.form());
    s.append("!");
    EXPECT_EQ(N, s.form());
    EXPECT_STREQ("xyz!", s.toNarrow());
    EXPECT_STREQ(L"xyz!", s.toWide());

    // A conversion that cannot be made keeps the stale form readable.
    MultiTypeString stale("old");
    stale.synchronize();
    stale = L"\xd800";  // a lone surrogate converts, to the default character
    EXPECT_TRUE(stale.synchronize());
    EXPECT_STREQ("?", stale.toNarrow());
}

TEST(MultiTypeString, EqualityAndOrderUseTheOtherSidesForm)
{
    MultiTypeString narrow("abc");
    MultiTypeString wide(L"abc");
    EXPECT_TRUE(narrow == wide);
    EXPECT_EQ(B, narrow.form()) << "gained its wide form to compare";
    EXPECT_EQ(0, narrow.compare(wide));
    MultiTypeString a("a"), b(L"b");
    EXPECT_EQ(-1, a.compare(b));
    EXPECT_EQ(1, b.compare(a));
    EXPECT_TRUE(a < b);
    EXPECT_TRUE(a <= b);
    EXPECT_FALSE(a >= b);
    EXPECT_FALSE(a != a);
    EXPECT_TRUE(a == a);
    EXPECT_TRUE(a == "a");
    EXPECT_TRUE("a" < b);
    MultiTypeString five(L"5");
    EXPECT_TRUE(five == 5);
    EXPECT_TRUE(5 == five);
    // Ordinal: bytes above 0x7F order after ASCII.
    MultiTypeString high("\xe9"), low("z");
    EXPECT_EQ(1, high.compare(low));
}

TEST(MultiTypeString, PositionEditsFollowTheTable)
{
    struct Row {
        const char* name;
        bool (*edit)(MultiTypeString&);
        bool result;
        const char* after;
    };
    const Row rows[] = {
        {"erase beyond the end", [](MultiTypeString& s) { return s.erase(1, 5); }, false, "abc"},
        {"erase to the end", [](MultiTypeString& s) { return s.erase(1, MultiTypeString::npos); }, true, "a"},
        {"erase at the length", [](MultiTypeString& s) { return s.erase(3, 1); }, false, "abc"},
        {"insert at the length", [](MultiTypeString& s) { s.insert(3, "d"); return true; }, true, "abcd"},
        {"insert at npos", [](MultiTypeString& s) { s.insert(MultiTypeString::npos, "d"); return true; }, true, "abcd"},
        {"insert beyond", [](MultiTypeString& s) { s.insert(10, "d"); return true; }, true, "abc"},
        {"insert inside", [](MultiTypeString& s) { s.insert(1, L"x"); return true; }, true, "axbc"},
        {"remove first", [](MultiTypeString& s) { return s.removeFirst("b"); }, true, "ac"},
        {"remove missing", [](MultiTypeString& s) { return s.removeFirst(L"q"); }, false, "abc"},
        {"clear", [](MultiTypeString& s) { return s.clear(); }, true, ""},
        {"upper", [](MultiTypeString& s) { s.makeUpper(); return true; }, true, "ABC"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        MultiTypeString s("abc");
        EXPECT_EQ(row.result, row.edit(s));
        EXPECT_STREQ(row.after, s.toNarrow());
    }

    MultiTypeString s("abc");
    EXPECT_TRUE(s.substr(1, 0).isEmpty());
    EXPECT_TRUE(s.substr(5, 1).isEmpty());
    EXPECT_STREQ("bc", s.substr(1, MultiTypeString::npos).toNarrow());
    EXPECT_EQ(N, s.substr(1).form());
    MultiTypeString embedded(std::string("a\0b", 3));
    EXPECT_STREQ("a", embedded.substr(0).toNarrow()) << "a piece ends at an embedded NUL";
}

TEST(MultiTypeString, SplitAndReplace)
{
    struct Row {
        const char* text;
        std::vector<std::string> pieces;
    };
    const Row rows[] = {
        {"a,b,,c", {"a", "b", "", "c"}},
        {",a", {"", "a"}},
        {"a,", {"a"}},
        {"abc", {"abc"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        std::vector<MultiTypeString> pieces;
        EXPECT_TRUE(MultiTypeString(row.text).split(MultiTypeString(L","), pieces));
        std::vector<std::string> got;
        for (MultiTypeString& piece : pieces)
            got.push_back(piece.toNarrow());
        EXPECT_EQ(row.pieces, got);
    }
    std::vector<MultiTypeString> none;
    EXPECT_FALSE(MultiTypeString("").split(MultiTypeString(","), none));
    EXPECT_TRUE(none.empty());

    MultiTypeString text("a"), what("a"), with(L"ba");
    EXPECT_STREQ(L"ba", text.replaceAll(what, with).toWide()) << "the replacement is not searched again";
    MultiTypeString path(L"/x/y/x"), x(L"x"), z(L"zz");
    EXPECT_STREQ(L"/zz/y/x", path.replaceFirst(x, z).toWide());
    EXPECT_STREQ(L"/zz/y/zz", path.replaceAll(x, z).toWide());
}

TEST(MultiTypeString, NullTextsAreHarmless)
{
    MultiTypeString s("abc");
    EXPECT_EQ(MultiTypeString::npos, s.find(static_cast<const char*>(nullptr), 0));
    EXPECT_EQ(MultiTypeString::npos, s.findFirstOf(static_cast<const wchar_t*>(nullptr), 0));
    EXPECT_FALSE(s.append(static_cast<const char*>(nullptr)));
    s.insert(0, static_cast<const wchar_t*>(nullptr));
    EXPECT_STREQ("abc", s.toNarrow());
    EXPECT_EQ(2u, s.rfind("c", MultiTypeString::npos));
    EXPECT_EQ(1u, s.findLastOf(L"ab", MultiTypeString::npos));
}

} // namespace
