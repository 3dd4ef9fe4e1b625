// RegistryKey against Wine's real registry, under a key of this test's own.
#include "core/RegistryKey.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace {

const wchar_t kTestKey[] = L"Software\\VrelmTests\\RegistryKeyTest";

class RegistryKeyTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        RegDeleteTreeW(HKEY_CURRENT_USER, kTestKey);
        ASSERT_EQ(DWORD{ERROR_SUCCESS}, DWORD(RegCreateKeyExW(HKEY_CURRENT_USER, kTestKey, 0, nullptr, 0,
                                                              KEY_ALL_ACCESS, nullptr, &raw_, nullptr)));
    }
    void TearDown() override
    {
        RegCloseKey(raw_);
        RegDeleteTreeW(HKEY_CURRENT_USER, kTestKey);
    }

    static std::wstring path(const std::wstring& sub) { return std::wstring(kTestKey) + L"\\" + sub; }

    void putRaw(const wchar_t* name, DWORD type, const void* data, DWORD size)
    {
        ASSERT_EQ(DWORD{ERROR_SUCCESS},
                  DWORD(RegSetValueExW(raw_, name, 0, type, static_cast<const BYTE*>(data), size)));
    }

    std::vector<BYTE> getRaw(const wchar_t* name, DWORD* type)
    {
        BYTE data[64];
        DWORD size = sizeof(data);
        if (RegQueryValueExW(raw_, name, nullptr, type, data, &size) != ERROR_SUCCESS)
            return {};
        return std::vector<BYTE>(data, data + size);
    }

    HKEY raw_ = nullptr;
};

TEST_F(RegistryKeyTest, OpensAndCreates)
{
    RegistryKey missing(HKEY_CURRENT_USER, path(L"Missing"), RegistryKey::kRead);
    EXPECT_FALSE(missing.isOpen());
    EXPECT_FALSE(missing.wasCreated());
    EXPECT_EQ(DWORD{ERROR_FILE_NOT_FOUND}, DWORD(missing.getLastError()));

    RegistryKey made(HKEY_CURRENT_USER, path(L"Made"), RegistryKey::kAllAccess, true);
    EXPECT_TRUE(made.isOpen());
    EXPECT_TRUE(made.wasCreated());
    EXPECT_EQ(DWORD{ERROR_SUCCESS}, DWORD(made.getLastError()));

    // Mode 0 with create is a normal combination: created, read rights only.
    RegistryKey again(HKEY_CURRENT_USER, path(L"Made"), RegistryKey::kRead, true);
    EXPECT_TRUE(again.isOpen());
    EXPECT_FALSE(again.wasCreated());

    // A subkey of an open key, given as the parent handle.
    RegistryKey child(made.getHandle(), L"Child", RegistryKey::kAllAccess, true);
    EXPECT_TRUE(child.wasCreated());
    RegistryKey plainOpen(HKEY_CURRENT_USER, path(L"Made\\Child"), RegistryKey::kRead);
    EXPECT_TRUE(plainOpen.isOpen());
    EXPECT_FALSE(plainOpen.wasCreated());
}

TEST_F(RegistryKeyTest, VolatileOnlyWithCreate)
{
    RegistryKey fleeting(HKEY_CURRENT_USER, path(L"Fleeting"), RegistryKey::kAllAccess, true, true);
    ASSERT_TRUE(fleeting.isOpen());
    // The registry refuses a lasting child under a volatile key: that is how
    // the volatility shows from inside one session.
    HKEY sub = nullptr;
    EXPECT_EQ(DWORD{ERROR_CHILD_MUST_BE_VOLATILE},
              DWORD(RegCreateKeyExW(fleeting.getHandle(), L"Lasting", 0, nullptr, REG_OPTION_NON_VOLATILE,
                                    KEY_ALL_ACCESS, nullptr, &sub, nullptr)));

    // Without create the flag means nothing: a missing key stays missing.
    RegistryKey notMade(HKEY_CURRENT_USER, path(L"NotMade"), RegistryKey::kAllAccess, false, true);
    EXPECT_FALSE(notMade.isOpen());
    EXPECT_EQ(DWORD{ERROR_FILE_NOT_FOUND}, DWORD(notMade.getLastError()));
}

TEST_F(RegistryKeyTest, ModesGrantTheirRights)
{
    putRaw(L"n", REG_DWORD, "\x01\0\0\0", 4);
    struct Row {
        DWORD mode;
        bool canRead;
        bool canWrite;
    };
    const Row rows[] = {
        {RegistryKey::kRead, true, false},
        {RegistryKey::kWrite, false, true},
        {RegistryKey::kAllAccess, true, true},
        {3, false, false},
        {0xFFFFFFFF, false, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.mode);
        RegistryKey key(HKEY_CURRENT_USER, kTestKey, row.mode);
        ASSERT_TRUE(key.isOpen());
        DWORD value = 0;
        EXPECT_EQ(row.canRead, key.queryDword(L"n", &value));
        if (!row.canRead) {
            EXPECT_EQ(DWORD{ERROR_ACCESS_DENIED}, DWORD(key.getLastError()));
        }
        EXPECT_EQ(row.canWrite, key.setDword(L"w", 2));
        if (!row.canWrite) {
            EXPECT_EQ(DWORD{ERROR_ACCESS_DENIED}, DWORD(key.getLastError()));
        }
    }
}

// Every stored type and size against the three typed reads.
TEST_F(RegistryKeyTest, TypedReadsAcceptTheirTypes)
{
    const wchar_t path[] = L"%SystemRoot%\\x";
    const BYTE qword[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    const BYTE seven[4] = {7, 0, 0, 0};
    const BYTE big[4] = {0, 0, 0, 9};
    const BYTE binary[4] = {0xAA, 0xBB, 0xCC, 0xDD};
    const wchar_t unterminated[] = {L'a', L'b'};
    const wchar_t withNul[] = L"ab\0cd";
    putRaw(L"qword", REG_QWORD, qword, 8);
    putRaw(L"dword", REG_DWORD, seven, 4);
    putRaw(L"big", REG_DWORD_BIG_ENDIAN, big, 4);
    putRaw(L"binary", REG_BINARY, binary, 4);
    putRaw(L"sz", REG_SZ, L"hello", 12);
    putRaw(L"nulOnly", REG_SZ, L"", 2);
    putRaw(L"zeroSz", REG_SZ, L"", 0);
    putRaw(L"expand", REG_EXPAND_SZ, path, sizeof(path));
    putRaw(L"unterminated", REG_SZ, unterminated, sizeof(unterminated));
    putRaw(L"oddSize", REG_SZ, L"xyz", 5);
    putRaw(L"embeddedNul", REG_SZ, withNul, sizeof(withNul));
    putRaw(L"multi", REG_MULTI_SZ, L"a\0b\0", 10);
    putRaw(L"", REG_SZ, L"default", 16);
    // Number types of the wrong length, as another writer may leave them.
    putRaw(L"shortDword", REG_DWORD, seven, 2);
    putRaw(L"emptyDword", REG_DWORD, seven, 0);
    putRaw(L"shortQword", REG_QWORD, seven, 4);

    // Destinations are preset; after ERROR_MORE_DATA their content is not
    // defined (nullopt), after a fitting read they hold the stored bytes.
    const uint64_t preset = 0xFFFFFFFF00000000ull;
    const std::nullopt_t any = std::nullopt;
    struct Row {
        const wchar_t* name;
        bool stringOk;
        const wchar_t* text;
        bool dwordOk;
        DWORD dwordError;
        std::optional<DWORD> dwordAfter; // preset 0x5A5A5A5A
        bool qwordOk;
        std::optional<uint64_t> qwordAfter; // preset all ones in the high half
    };
    const Row rows[] = {
        {L"qword", false, nullptr, false, ERROR_MORE_DATA, any, true, 0x0807060504030201ull},
        {L"dword", false, nullptr, true, ERROR_SUCCESS, 7u, true, preset | 7},
        // Big-endian data keeps its stored byte order.
        {L"big", false, nullptr, true, ERROR_SUCCESS, 0x09000000u, true, preset | 0x09000000},
        // Not accepted, but it fitted: the bytes are already in the destination.
        {L"binary", false, nullptr, false, ERROR_SUCCESS, 0xDDCCBBAAu, false, preset | 0xDDCCBBAA},
        {L"sz", true, L"hello", false, ERROR_MORE_DATA, any, false, any},
        {L"nulOnly", true, L"", false, ERROR_SUCCESS, 0x5A5A0000u, false, preset},
        {L"zeroSz", false, nullptr, false, ERROR_SUCCESS, 0x5A5A5A5Au, false, preset},
        {L"expand", true, L"%SystemRoot%\\x", false, ERROR_MORE_DATA, any, false, any},
        // With room to spare the registry may add a terminator of its own.
        {L"unterminated", true, L"ab", false, ERROR_SUCCESS, 0x00620061u, false, any},
        {L"oddSize", true, L"xy", false, ERROR_MORE_DATA, any, false, any},
        {L"embeddedNul", true, L"ab", false, ERROR_MORE_DATA, any, false, any},
        {L"multi", false, nullptr, false, ERROR_MORE_DATA, any, false, any},
        {L"", true, L"default", false, ERROR_MORE_DATA, any, false, any},
        {L"absent", false, nullptr, false, ERROR_FILE_NOT_FOUND, 0x5A5A5A5Au, false, preset},
        // A short number is no number, although the call succeeds.
        {L"shortDword", false, nullptr, false, ERROR_SUCCESS, any, false, any},
        {L"emptyDword", false, nullptr, false, ERROR_SUCCESS, 0x5A5A5A5Au, false, preset},
        {L"shortQword", false, nullptr, false, ERROR_SUCCESS, any, false, any},
    };

    RegistryKey key(HKEY_CURRENT_USER, kTestKey, RegistryKey::kRead);
    ASSERT_TRUE(key.isOpen());
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << "value '" << std::string(row.name, row.name + wcslen(row.name)) << "'");
        std::wstring text = L"unchanged";
        EXPECT_EQ(row.stringOk, key.queryString(row.name, text));
        EXPECT_EQ(row.stringOk ? std::wstring(row.text) : L"unchanged", text);

        DWORD dword = 0x5A5A5A5A;
        EXPECT_EQ(row.dwordOk, key.queryDword(std::wstring(row.name), &dword));
        EXPECT_EQ(row.dwordError, DWORD(key.getLastError()));
        if (row.dwordAfter) {
            EXPECT_EQ(*row.dwordAfter, dword);
        }

        uint64_t qword = preset;
        EXPECT_EQ(row.qwordOk, key.queryQword(row.name, &qword));
        if (row.qwordAfter) {
            EXPECT_EQ(*row.qwordAfter, qword);
        }
    }
}

// Text values of every size around the reader's first buffer, stored with
// and without their terminator: each reads whole, bounded by its own bytes
// (the registry may write a terminator past the size it was offered). The
// sizes go up, then down again through the larger buffer the key now offers.
TEST_F(RegistryKeyTest, TextOfAnySizeReadsWhole)
{
    RegistryKey key(HKEY_CURRENT_USER, kTestKey, RegistryKey::kRead);
    ASSERT_TRUE(key.isOpen());
    std::vector<DWORD> sizes = {1u, 2u, 3u, 4u, 1021u, 1022u, 1023u, 1024u, 1025u, 1026u, 1027u,
                                4099u, 4100u, 4101u, 4102u, 65537u, 200001u};
    const std::vector<DWORD> down(sizes.rbegin() + 1, sizes.rend());
    sizes.insert(sizes.end(), down.begin(), down.end());
    for (DWORD size : sizes) {
        for (bool terminated : {false, true}) {
            SCOPED_TRACE(testing::Message() << size << " bytes, terminated " << terminated);
            std::vector<BYTE> data(size);
            for (DWORD i = 0; i < size; ++i)
                data[i] = i % 2 ? 0 : 'A' + (i / 2) % 26;
            if (terminated && size >= 2)
                data[(size - 2) & ~1u] = data[((size - 2) & ~1u) + 1] = 0;
            putRaw(L"text", REG_SZ, data.data(), size);
            size_t characters = size / 2;
            if (terminated && size >= 2)
                characters = (size - 2) / 2;
            std::wstring expected;
            for (size_t i = 0; i < characters; ++i)
                expected += wchar_t(L'A' + i % 26);
            std::wstring text;
            EXPECT_TRUE(key.queryString(L"text", text));
            EXPECT_EQ(expected, text);
        }
    }
}

TEST_F(RegistryKeyTest, WritesStoreTypeAndSize)
{
    RegistryKey key(HKEY_CURRENT_USER, kTestKey, RegistryKey::kWrite);
    ASSERT_TRUE(key.setString(L"empty", L""));
    ASSERT_TRUE(key.setString(std::wstring(L"text"), std::wstring(L"abc")));
    ASSERT_TRUE(key.setDword(L"dword", 0x11223344));
    ASSERT_TRUE(key.setQword(std::wstring(L"qword"), 0x1122334455667788ull));
    ASSERT_TRUE(key.setString(L"", L"def"));

    struct Row {
        const wchar_t* name;
        DWORD type;
        std::vector<BYTE> bytes;
    };
    const Row rows[] = {
        {L"empty", REG_SZ, {0, 0}},
        {L"text", REG_SZ, {'a', 0, 'b', 0, 'c', 0, 0, 0}},
        {L"dword", REG_DWORD, {0x44, 0x33, 0x22, 0x11}},
        {L"qword", REG_QWORD, {0x88, 0x77, 0x66, 0x55, 0x44, 0x33, 0x22, 0x11}},
        {L"", REG_SZ, {'d', 0, 'e', 0, 'f', 0, 0, 0}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.bytes.size());
        DWORD type = REG_NONE;
        EXPECT_EQ(row.bytes, getRaw(row.name, &type));
        EXPECT_EQ(row.type, type);
    }

    EXPECT_TRUE(key.deleteValue(L"dword"));
    EXPECT_TRUE(key.deleteValue(std::wstring(L"qword")));
    EXPECT_FALSE(key.deleteValue(L"qword"));
    EXPECT_EQ(DWORD{ERROR_FILE_NOT_FOUND}, DWORD(key.getLastError()));
}

TEST_F(RegistryKeyTest, ClosedKeyMakesNoCall)
{
    RegistryKey closed(HKEY_CURRENT_USER, path(L"Missing"), RegistryKey::kAllAccess);
    ASSERT_FALSE(closed.isOpen());
    std::wstring text = L"x";
    DWORD dword = 1;
    uint64_t qword = 2;
    EXPECT_FALSE(closed.queryString(L"", text));
    EXPECT_FALSE(closed.queryDword(L"", &dword));
    EXPECT_FALSE(closed.queryQword(L"", &qword));
    EXPECT_FALSE(closed.setString(L"a", L"b"));
    EXPECT_FALSE(closed.setDword(L"a", 1));
    EXPECT_FALSE(closed.setQword(L"a", 1));
    EXPECT_FALSE(closed.deleteValue(L"a"));
    // Still the open's own failure.
    EXPECT_EQ(DWORD{ERROR_FILE_NOT_FOUND}, DWORD(closed.getLastError()));
    EXPECT_EQ(L"x", text);
    EXPECT_EQ(1u, dword);
    EXPECT_EQ(2u, qword);

    RegistryKey copy(closed);
    EXPECT_FALSE(copy.isOpen());
}

TEST_F(RegistryKeyTest, CopiesOwnTheirHandles)
{
    putRaw(L"n", REG_DWORD, "\x05\0\0\0", 4);
    auto* original = new RegistryKey(HKEY_CURRENT_USER, path(L"Copied"), RegistryKey::kAllAccess, true);
    ASSERT_TRUE(original->wasCreated());
    RegistryKey copy(*original);
    ASSERT_TRUE(copy.isOpen());
    EXPECT_FALSE(copy.wasCreated());
    EXPECT_NE(original->getHandle(), copy.getHandle());
    delete original;
    // The copy outlives the original and keeps its mode.
    EXPECT_TRUE(copy.setDword(L"v", 3));

    RegistryKey reader(HKEY_CURRENT_USER, kTestKey, RegistryKey::kRead);
    RegistryKey target(HKEY_CURRENT_USER, path(L"Copied"), RegistryKey::kAllAccess);
    ASSERT_TRUE(target.isOpen());
    target = reader;
    ASSERT_TRUE(target.isOpen());
    EXPECT_NE(reader.getHandle(), target.getHandle());
    DWORD value = 0;
    EXPECT_TRUE(target.queryDword(L"n", &value));
    EXPECT_EQ(5u, value);
    EXPECT_FALSE(target.setDword(L"n", 6)); // took the reader's mode

    // Self-assignment keeps the key open and unchanged.
    const HKEY own = target.getHandle();
    RegistryKey& alias = target;
    target = alias;
    EXPECT_TRUE(target.isOpen());
    EXPECT_EQ(own, target.getHandle());
    EXPECT_TRUE(target.queryDword(L"n", &value));

    // Assigning a closed key closes this one.
    RegistryKey closed(HKEY_CURRENT_USER, path(L"Missing"), RegistryKey::kRead);
    target = closed;
    EXPECT_FALSE(target.isOpen());

    // A second handle on a predefined root.
    RegistryKey root(HKEY_CURRENT_USER, RegistryKey::kRead);
    ASSERT_TRUE(root.isOpen());
    RegistryKey viaRoot(root.getHandle(), kTestKey, RegistryKey::kRead);
    EXPECT_TRUE(viaRoot.queryDword(L"n", &value));
}

} // namespace
