// Text values that may lack their terminator, have an odd size or claim
// more than they hold: read within their size, never past it.
#include "core/ValueText.h"
#include "support/TestEnv.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

// A query answering fixed bytes as RegQueryValueExW would, without ever
// writing past the size it is given.
struct FakeValue {
    std::vector<BYTE> bytes;
    DWORD type = REG_SZ;
    DWORD sizeAnswer = ERROR_MORE_DATA;  // of the call without a buffer
    DWORD operator()(DWORD* kind, BYTE* data, DWORD* size) const
    {
        const DWORD have = static_cast<DWORD>(bytes.size());
        *kind = type;
        if (!data) {
            *size = have;
            return have ? sizeAnswer : ERROR_SUCCESS;
        }
        if (*size < have) {
            *size = have;
            return ERROR_MORE_DATA;
        }
        memcpy(data, bytes.data(), have);
        *size = have;
        return ERROR_SUCCESS;
    }
};

std::vector<BYTE> bytesOf(const std::wstring& text, size_t extra = 0)
{
    std::vector<BYTE> bytes(reinterpret_cast<const BYTE*>(text.data()),
                            reinterpret_cast<const BYTE*>(text.data() + text.size()));
    bytes.resize(bytes.size() + extra, 0);
    return bytes;
}

} // namespace

TEST(ValueText, TextEndsAtTheFirstNulOrTheReportedSize)
{
    struct Row {
        const char* name;
        std::vector<BYTE> bytes;
        DWORD bufferSize;
        DWORD result;
        std::wstring text;
    } rows[] = {
        {"terminated", bytesOf(L"10.0.0.3:161", 2), 0, ERROR_SUCCESS, L"10.0.0.3:161"},
        {"no terminator", bytesOf(L"ABCD"), 0, ERROR_SUCCESS, L"ABCD"},
        {"odd size", {'A', 0, 'B', 0, 'C'}, 0, ERROR_SUCCESS, L"AB"},
        {"embedded NUL", bytesOf(std::wstring(L"AB\0CD", 5), 2), 0, ERROR_SUCCESS, L"AB"},
        {"one byte", {'A'}, 0, ERROR_SUCCESS, L""},
        {"empty value", {}, 0, DWORD{ERROR_FILE_NOT_FOUND}, L"unchanged"},
        {"fixed buffer, fits", bytesOf(L"XYZ"), 520, ERROR_SUCCESS, L"XYZ"},
        {"fixed buffer, too small", bytesOf(L"XYZ"), 4, ERROR_MORE_DATA, L"unchanged"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        FakeValue value{row.bytes};
        std::wstring text = L"unchanged";
        DWORD type = 0xBD;
        EXPECT_EQ(readValueText(value, text, row.bufferSize, &type), row.result);
        EXPECT_EQ(text, row.text);
        EXPECT_EQ(type, row.result == ERROR_SUCCESS ? DWORD{REG_SZ} : 0xBDu);
    }
}

TEST(ValueText, SizeQueryFailuresAndHugeClaimsReadNothing)
{
    FakeValue refused{bytesOf(L"X"), REG_SZ, ERROR_ACCESS_DENIED};
    std::wstring text = L"unchanged";
    EXPECT_EQ(readValueText(refused, text), DWORD{ERROR_ACCESS_DENIED});
    EXPECT_EQ(text, L"unchanged");
    int calls = 0;
    auto huge = [&](DWORD*, BYTE* data, DWORD* size) -> DWORD {
        ++calls;
        EXPECT_EQ(data, nullptr);
        *size = 0xFFFFFFF0u;  // a value that claims nearly 4 GB
        return ERROR_MORE_DATA;
    };
    EXPECT_EQ(readValueText(huge, text), DWORD{ERROR_MORE_DATA});
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(text, L"unchanged");
}

TEST(ValueText, RegistryValuesOfEveryShape)
{
    const std::wstring path = L"Software\\VrelmTests\\ValueText-" + std::to_wstring(GetCurrentProcessId());
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const std::wstring host = L"printer1";
    // Stored without its terminator, as a foreign writer may.
    RegSetValueExW(key, L"HostName", 0, REG_SZ, reinterpret_cast<const BYTE*>(host.data()),
                   static_cast<DWORD>(host.size() * sizeof(wchar_t)));
    const BYTE odd[] = {'1', 0, '0', 0, '.'};
    RegSetValueExW(key, L"IPAddress", 0, REG_SZ, odd, sizeof(odd));
    const DWORD number = 0x00410041;  // "AA" when taken as text
    RegSetValueExW(key, L"PortNumber", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof(number));

    std::wstring text;
    DWORD type = 0;
    EXPECT_EQ(readRegistryText(key, L"HostName", text, 0, &type), DWORD{ERROR_SUCCESS});
    EXPECT_EQ(text, host);
    EXPECT_EQ(type, DWORD{REG_SZ});
    EXPECT_EQ(readRegistryText(key, L"HostName", text, 2048), DWORD{ERROR_SUCCESS});
    EXPECT_EQ(text, host);
    EXPECT_EQ(readRegistryText(key, L"IPAddress", text), DWORD{ERROR_SUCCESS});
    EXPECT_EQ(text, L"10");
    // The type is the caller's to check.
    EXPECT_EQ(readRegistryText(key, L"PortNumber", text, 0, &type), DWORD{ERROR_SUCCESS});
    EXPECT_EQ(type, DWORD{REG_DWORD});
    EXPECT_EQ(text, L"AA");
    EXPECT_EQ(readRegistryText(key, L"Missing", text), DWORD{ERROR_FILE_NOT_FOUND});
    EXPECT_EQ(readRegistryText(nullptr, L"HostName", text), DWORD{ERROR_INVALID_HANDLE});
    RegCloseKey(key);
    RegDeleteTreeW(HKEY_CURRENT_USER, path.c_str());
}
