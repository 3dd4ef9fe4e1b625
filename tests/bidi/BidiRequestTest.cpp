#include "bidi/BidiRequest.h"

#include <gtest/gtest.h>

using namespace MPrint;

namespace {

TEST(BidiRequest, ConstructionAndOid)
{
    BidiRequest none(nullptr);
    EXPECT_EQ("", none.oid);
    EXPECT_EQ(DWORD{BidiNoValue}, none.value.status);
    EXPECT_EQ(DWORD{BidiNone}, none.value.type);
    EXPECT_EQ(-1, none.value.integer);
    BidiRequest request("1.3.6.1.2.1.25.2.2.0");
    EXPECT_FALSE(setRequestOID(&request, ""));
    EXPECT_EQ("1.3.6.1.2.1.25.2.2.0", request.oid);
    EXPECT_TRUE(setRequestOID(&request, "1.2"));
    EXPECT_EQ("1.2", request.oid);
}

TEST(BidiRequest, StoresByType)
{
    struct Row {
        const char* name;
        DWORD type;
        const wchar_t* text;
        bool result;
        DWORD status;
        DWORD storedType;
        LONG integer;
        std::string bytes; // text, or binary bytes
    };
    const Row rows[] = {
        {"integer", BidiInteger, L"42", true, BidiHasValue, BidiInteger, 42, ""},
        {"integer with space and sign", BidiInteger, L" -5", true, BidiHasValue, BidiInteger, -5, ""},
        {"integer stops at a letter", BidiInteger, L"12abc", true, BidiHasValue, BidiInteger, 12, ""},
        {"no digits", BidiInteger, L"abc", true, BidiHasValue, BidiInteger, 0, ""},
        {"largest", BidiInteger, L"2147483647", true, BidiHasValue, BidiInteger, 2147483647, ""},
        {"one past the largest", BidiInteger, L"2147483648", false, BidiNoValue, BidiNone, -1, ""},
        {"eleven digits", BidiInteger, L"12345678901", false, BidiNoValue, BidiNone, -1, ""},
        {"empty integer", BidiInteger, L"", false, BidiNoValue, BidiNone, -1, ""},
        {"text", BidiText, L"Tray 1", true, BidiHasValue, BidiText, -1, "Tray 1"},
        {"CJK text as UTF-8", BidiText, L"\u65e5\u672c B\u00fcro", true, BidiHasValue, BidiText, -1,
         "\xe6\x97\xa5\xe6\x9c\xac B\xc3\xbcro"},
        {"empty text", BidiText, L"", false, BidiEmptyOrUnconvertible, BidiNone, -1, ""},
        {"binary", BidiBinary, L"Tray2", true, BidiHasValue, BidiBinary, -1, "Tray2"},
        {"empty binary", BidiBinary, L"", false, BidiNoValue, BidiNone, -1, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        BidiRequest request("1.2.3");
        setBidiValueString(&request, L"stale");
        request.value.count = 9;
        EXPECT_EQ(row.result, setBidiValueByType(&request, row.text, row.type));
        EXPECT_EQ(row.status, request.value.status);
        EXPECT_EQ(row.storedType, request.value.type);
        EXPECT_EQ(row.integer, request.value.integer);
        EXPECT_EQ(row.bytes, request.value.text);
        EXPECT_EQ(0u, request.value.count) << "every store starts from a reset";
        if (row.storedType == BidiBinary) {
            EXPECT_EQ(std::vector<BYTE>(row.bytes.begin(), row.bytes.end()), request.value.binary);
            EXPECT_EQ(row.bytes.size(), request.value.binaryLength);
        } else {
            EXPECT_TRUE(request.value.binary.empty());
        }
    }
}

TEST(BidiRequest, UnknownTypeChangesNothing)
{
    BidiRequest request("1.2.3");
    setBidiValueString(&request, L"kept");
    EXPECT_FALSE(setBidiValueByType(&request, L"x", 7));
    EXPECT_EQ("kept", request.value.text);
    EXPECT_EQ(DWORD{BidiHasValue}, request.value.status);
}

} // namespace
