// The BSTR owner: conversions, copies that own their own string, and the
// explicit out-parameter form.
#include "core/BString.h"

#include <gtest/gtest.h>

namespace {

TEST(BStringTest, HoldsTextWithEmbeddedNulsAndCopiesIt)
{
    const std::wstring text(L"a\0b", 3);
    BString value(text);
    EXPECT_EQ(value.length(), 3u);
    BString copy(value);
    EXPECT_NE(copy.get(), value.get());
    EXPECT_EQ(copy.str(), text);
    EXPECT_EQ(BString(std::string("plain")).str(), L"plain");
    EXPECT_EQ(BString(std::string()).length(), 0u);
    EXPECT_TRUE(BString(std::string()));
    EXPECT_FALSE(BString(static_cast<const wchar_t*>(nullptr)));
}

TEST(BStringTest, ReceiveFreesTheOldStringAndTakesTheNewOne)
{
    BString value(L"old");
    BSTR* slot = value.receive();
    EXPECT_EQ(*slot, nullptr);
    *slot = SysAllocString(L"new"); // as a COM out-parameter fills it
    EXPECT_EQ(value.str(), L"new");
    BSTR taken = value.release();
    EXPECT_FALSE(value);
    SysFreeString(taken);
}

} // namespace
