// Classification of destination addresses.
#include "destination/Address.h"
#include "support/TestEnv.h"

#include <gtest/gtest.h>

TEST(Address, ClassificationTable)
{
    struct Row {
        const wchar_t* text;
        bool ip, host, unc, http, https, valid;
    } rows[] = {
        {L"", false, false, false, false, false, false},
        {L"10.0.0.5", true, true, false, false, false, true},
        {L"fe80::1", true, false, false, false, false, true},
        {L"printer1", false, true, false, false, false, true},
        {L"my printer", false, true, false, false, false, true},
        {L"print_er-2.example", false, true, false, false, false, true},
        {L".host", false, false, false, false, false, false},
        {L"host.", false, false, false, false, false, false},
        {L"HTTP://x", false, false, false, false, false, false},
        {L"http://x", false, false, false, true, false, true},
        {L"https://x/a b", false, false, false, false, true, true},
        {L"\\\\srv\\q", false, false, true, false, false, true},
        {L"\\\\srv\\q:1", false, false, false, false, false, false},
        {L"\\srv", false, false, false, false, false, false},
        {L"a@b", false, false, false, false, false, false},
        {L"semi;colon", false, false, false, false, false, false},
        {L"tab\there", false, false, false, false, false, false},
        {L"dr\u00fccker", false, true, false, false, false, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testenv::narrow(row.text));
        const Address address(row.text);
        EXPECT_EQ(address.isIPAddress(), row.ip);
        EXPECT_EQ(address.isHostName(), row.host);
        EXPECT_EQ(address.isUNCPath(), row.unc);
        EXPECT_EQ(address.isHttpUrl(), row.http);
        EXPECT_EQ(address.isHttpsUrl(), row.https);
        EXPECT_EQ(address.isValid(), row.valid);
    }
}

TEST(Address, ComparisonAndExceptions)
{
    Address a(L"Printer1");
    EXPECT_TRUE(a == Address(L"Printer1"));
    EXPECT_TRUE(a != Address(L"printer1"));
    a = std::wstring(L"x:y");
    EXPECT_EQ(a.getString(), L"x:y");
    EXPECT_TRUE(a.containsInvalidCharacter(L""));
    EXPECT_FALSE(a.containsInvalidCharacter(L":"));
    EXPECT_TRUE(Address(L"x:y/z").containsInvalidCharacter(L":"));
}
