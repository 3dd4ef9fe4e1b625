// Bidi cache files: the byte layout against a golden file, save/restore and
// convert/restore round trips through the spooler stand-in and the registry,
// and malformed files that must store nothing.
#include "bidi/RegistryCache.h"
#include "bidi/XMLRegistryCache.h"
#include "core/ScopedHandle.h"
#include "shared/SpoolerQueries.h"
#include "support/ScratchKey.h"
#include "support/TestEnv.h"
#include "support/QueueData.h"
#include "support/TestSpooler.h"

#include <gtest/gtest.h>
#include <winspool.h>


using MPrint::RegistryCache;
using MPrint::XMLRegistryCache;
using testenv::ScratchKey;
using testenv::TempDir;
using testspool::ScopedQueue;

namespace {

constexpr wchar_t kBidiCache[] = L"PrinterDriverData\\BidiCache";

using Values = testspool::DataValues;
using testspool::dwordBytes;
using testspool::openQueue;
using testspool::textBytes;

using testspool::bytesOf;
std::string record(const std::wstring& name, DWORD type, const std::string& data)
{
    return dwordBytes(static_cast<DWORD>(name.size() + 1)) + dwordBytes(type) + dwordBytes(static_cast<DWORD>(data.size())) +
           textBytes(name) + data;
}

Values keyValues(HKEY key)
{
    Values values;
    for (DWORD i = 0;; ++i) {
        wchar_t name[16384] = {};
        DWORD nameChars = 16384, type = 0, size = 0;
        std::vector<BYTE> data(1 << 16);
        size = static_cast<DWORD>(data.size());
        if (RegEnumValueW(key, i, name, &nameChars, nullptr, &type, data.data(), &size) != ERROR_SUCCESS)
            break;
        values[std::wstring(name, nameChars)] = {type, bytesOf(data.data(), size)};
    }
    return values;
}



DWORD setQueueValue(HANDLE printer, const std::wstring& name, DWORD type, const std::string& data)
{
    return SetPrinterDataExW(printer, kBidiCache, name.c_str(), type,
                             reinterpret_cast<BYTE*>(const_cast<char*>(data.data())),
                             static_cast<DWORD>(data.size()));
}

// Values of every type the queues hold, with a name past 255 characters and
// data past 512 bytes, so that restore has to grow both buffers.
Values sampleValues()
{
    std::string big(700, '\0');
    for (size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<char>(i * 7);
    const std::string multi = textBytes(L"one") + textBytes(L"two") + std::string(2, '\0');
    return {{L"Model", {REG_SZ, textBytes(L"QZ Ardelle 4020")}},
            {L"PageCount", {REG_DWORD, dwordBytes(123456)}},
            {L"Raw", {REG_BINARY, bytesOf("\x00\x01\xfe\xff", 4)}},
            {L"Trays", {REG_MULTI_SZ, multi}},
            {L"Empty", {REG_BINARY, ""}},
            {std::wstring(300, L'n'), {REG_BINARY, big}}};
}

} // namespace

TEST(RegistryCache, CacheNamesAndPaths)
{
    struct Row {
        const wchar_t* printer;
        const wchar_t* cacheName;
    } rows[] = {
        {L"\\\\srv\\Q:1", L"--srv-q-1"},
        {L"/?|\"';:\\$%#@^&*()+=", L"-------------------"},
        {L"Office <B> \u00C4rger_Z.9", L"office <b> \u00C4rger_z.9"},  // only A-Z lowered; < > kept
        {L"", L""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testenv::narrow(row.printer));
        EXPECT_EQ(RegistryCache::makeCacheName(row.printer), row.cacheName);
    }
    TempDir dir;
    EXPECT_EQ(RegistryCache(dir.path().c_str()).cachePath(L"q"), dir.path() + L"\\q.creg");
    EXPECT_EQ(RegistryCache((dir.path() + L"\\").c_str()).cachePath(L"q"), dir.path() + L"\\q.creg");
}

TEST(RegistryCache, FolderFallsBackToTempWhenTheGivenOneTakesNoFile)
{
    wchar_t temp[MAX_PATH] = {};
    ASSERT_GT(GetEnvironmentVariableW(L"TEMP", temp, MAX_PATH), 0u);
    TempDir dir;
    const RegistryCache missing((dir.path() + L"\\missing").c_str());
    EXPECT_EQ(missing.getFolder(), std::wstring(temp) + L"\\Tarvokin\\QZ Keravin Printing");
    EXPECT_TRUE(testenv::fileExists(missing.getFolder()));

    const RegistryCache given(dir.path().c_str());
    EXPECT_EQ(given.getFolder(), dir.path());
    EXPECT_FALSE(testenv::fileExists(given.cachePath(L"TEMP")));  // the probe is gone

    wchar_t programFiles[MAX_PATH] = {};
    ASSERT_GT(GetEnvironmentVariableW(L"ProgramFiles", programFiles, MAX_PATH), 0u);
    EXPECT_EQ(RegistryCache(nullptr).getFolder(), std::wstring(programFiles) + L"\\Tarvokin\\QZ Keravin Printing");
    EXPECT_EQ(RegistryCache(L"").getFolder(), RegistryCache(nullptr).getFolder());
}

// The layout other modules and print servers share: no header, then
// N, type, D, the UTF-16 name with its NUL, the data.
TEST(RegistryCache, SaveWritesTheGoldenBytesAndRestoreReadsThem)
{
    ASSERT_NE(testspool::control(), nullptr);
    ScopedQueue queue(testspool::uniqueQueueName(L"Golden"));
    ASSERT_EQ(queue.error(), DWORD{ERROR_SUCCESS});
    ASSERT_EQ(queue.setString(kBidiCache, L"Model", L"ABC"), DWORD{ERROR_SUCCESS});
    ScopedPrinter printer = openQueue(queue.name());
    ASSERT_TRUE(printer);

    TempDir dir;
    RegistryCache cache(dir.path().c_str());
    ASSERT_TRUE(cache.save(printer.get(), L"golden"));
    static const char kGolden[] =
        "\x06\x00\x00\x00" "\x01\x00\x00\x00" "\x08\x00\x00\x00"
        "M\0o\0d\0e\0l\0\0\0"
        "A\0B\0C\0\0\0";
    EXPECT_EQ(testenv::readFile(cache.cachePath(L"golden")), std::string(kGolden, sizeof(kGolden) - 1));

    // A file of several records, types other than strings, an empty name
    // (the key's default value) and empty data.
    static const char kRecords[] =
        "\x02\x00\x00\x00" "\x04\x00\x00\x00" "\x04\x00\x00\x00" "N\0\0\0" "\x78\x56\x34\x12"
        "\x02\x00\x00\x00" "\x03\x00\x00\x00" "\x03\x00\x00\x00" "B\0\0\0" "\x0a\x1b\xff"
        "\x01\x00\x00\x00" "\x01\x00\x00\x00" "\x04\x00\x00\x00" "\0\0" "d\0\0\0"
        "\x02\x00\x00\x00" "\x03\x00\x00\x00" "\x00\x00\x00\x00" "E\0\0\0";
    ASSERT_TRUE(testenv::writeFile(cache.cachePath(L"records"), std::string(kRecords, sizeof(kRecords) - 1)));
    ScratchKey key(L"CacheGolden");
    ASSERT_TRUE(cache.restore(nullptr, HKEY_CURRENT_USER, key.path().c_str(), L"records"));
    const Values expected = {{L"N", {REG_DWORD, dwordBytes(0x12345678)}},
                             {L"B", {REG_BINARY, bytesOf("\x0a\x1b\xff", 3)}},
                             {L"", {REG_SZ, textBytes(L"d")}},
                             {L"E", {REG_BINARY, ""}}};
    EXPECT_EQ(keyValues(key.handle()), expected);
}

TEST(RegistryCache, SaveThenRestoreReproducesEveryValueThroughHandleAndKey)
{
    ASSERT_NE(testspool::control(), nullptr);
    ScopedQueue source(testspool::uniqueQueueName(L"CacheSource"));
    ScopedQueue target(testspool::uniqueQueueName(L"CacheTarget"));
    ASSERT_EQ(source.error(), DWORD{ERROR_SUCCESS});
    ASSERT_EQ(target.error(), DWORD{ERROR_SUCCESS});
    ScopedPrinter from = openQueue(source.name());
    ScopedPrinter to = openQueue(target.name());
    ASSERT_TRUE(from && to);
    const Values values = sampleValues();
    for (const auto& [name, value] : values)
        ASSERT_EQ(setQueueValue(from.get(), name, value.first, value.second), DWORD{ERROR_SUCCESS});

    TempDir dir;
    RegistryCache cache(dir.path().c_str());
    const std::wstring name = RegistryCache::makeCacheName(source.name());
    ASSERT_TRUE(cache.save(from.get(), name.c_str()));

    ASSERT_TRUE(cache.restore(to.get(), nullptr, nullptr, name.c_str()));
    EXPECT_EQ(testspool::enumDataValues(to.get(), kBidiCache), values);

    ScratchKey key(L"CacheRoundTrip");
    ASSERT_TRUE(cache.restore(nullptr, HKEY_CURRENT_USER, (key.path() + L"\\Deeper\\BidiCache").c_str(),
                              name.c_str()));
    RegistryKey deeper(key.handle(), L"Deeper\\BidiCache", RegistryKey::kRead);
    EXPECT_EQ(keyValues(deeper.getHandle()), values);

    EXPECT_TRUE(cache.remove(name.c_str()));
    EXPECT_FALSE(testenv::fileExists(cache.cachePath(name)));
    EXPECT_FALSE(cache.remove(name.c_str()));
    SetLastError(0);
    EXPECT_FALSE(cache.restore(to.get(), nullptr, nullptr, name.c_str()));
    EXPECT_EQ(GetLastError(), DWORD{ERROR_FILE_NOT_FOUND});
}

TEST(RegistryCache, AQueueWithoutValuesLeavesNoFile)
{
    ASSERT_NE(testspool::control(), nullptr);
    ScopedQueue queue(testspool::uniqueQueueName(L"CacheEmpty"));
    ScopedPrinter printer = openQueue(queue.name());
    ASSERT_TRUE(printer);
    TempDir dir;
    RegistryCache cache(dir.path().c_str());
    ASSERT_TRUE(testenv::writeFile(cache.cachePath(L"empty"), "stale"));
    EXPECT_FALSE(cache.save(printer.get(), L"empty"));
    EXPECT_FALSE(testenv::fileExists(cache.cachePath(L"empty")));
}

// Files come from print servers: whatever they claim, restore either stores
// every record or stores nothing and keeps what the key held.
TEST(RegistryCache, MalformedFilesStoreNothing)
{
    const std::string first = record(L"Model", REG_SZ, textBytes(L"new"));
    const std::string second = record(L"Count", REG_DWORD, dwordBytes(7));
    const std::string good = first + second;
    auto withN = [&](DWORD n) { return first + dwordBytes(n) + second.substr(4); };
    auto withD = [&](DWORD d) { return first + second.substr(0, 8) + dwordBytes(d) + second.substr(12); };
    std::string noNul = second;
    noNul[12 + 2 * 5] = 'x';  // the name's last unit, where its NUL belongs

    struct Row {
        std::string name;
        std::string bytes;
    };
    std::vector<Row> rows = {
        {"huge N", withN(0xFFFFFFFF)},
        {"N wrapping 2N", withN(0x80000003)},
        {"N past the registry's limit", withN(RegistryCache::kMaxNameUnits + 1)},
        {"N zero", withN(0)},
        {"N past the file", withN(100)},
        {"huge D", withD(0xFFFFFFFF)},
        {"D one past the file", withD(5)},
        {"name without its NUL", first + noNul},
    };
    // Every cut inside a record: header, name or data.
    for (size_t cut = 1; cut < good.size(); ++cut)
        if (cut != first.size())
            rows.push_back({"cut at " + std::to_string(cut), good.substr(0, cut)});

    TempDir dir;
    RegistryCache cache(dir.path().c_str());
    ScratchKey key(L"CacheMalformed");
    const Values before = {{L"Model", {REG_SZ, textBytes(L"old")}}, {L"Keep", {REG_DWORD, dwordBytes(1)}}};
    for (const auto& [name, value] : before)
        ASSERT_EQ(RegSetValueExW(key.handle(), name.c_str(), 0, value.first,
                                 reinterpret_cast<const BYTE*>(value.second.data()),
                                 static_cast<DWORD>(value.second.size())),
                  ERROR_SUCCESS);
    const std::wstring missingKey = key.path() + L"\\NotCreated";
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ASSERT_TRUE(testenv::writeFile(cache.cachePath(L"bad"), row.bytes));
        std::vector<RegistryCache::Record> records(1);
        EXPECT_FALSE(RegistryCache::parseRecords(reinterpret_cast<const BYTE*>(row.bytes.data()), row.bytes.size(),
                                                 records));
        EXPECT_EQ(records.size(), 1u);  // untouched
        SetLastError(0);
        EXPECT_FALSE(cache.restore(nullptr, HKEY_CURRENT_USER, key.path().c_str(), L"bad"));
        EXPECT_EQ(GetLastError(), DWORD{ERROR_INVALID_DATA});
        EXPECT_EQ(keyValues(key.handle()), before);
        EXPECT_FALSE(cache.restore(nullptr, HKEY_CURRENT_USER, missingKey.c_str(), L"bad"));
        EXPECT_FALSE(testenv::keyExists(missingKey));
    }

    // The whole file restores, and a file cut between records is whole too.
    ASSERT_TRUE(testenv::writeFile(cache.cachePath(L"good"), good));
    ASSERT_TRUE(cache.restore(nullptr, HKEY_CURRENT_USER, key.path().c_str(), L"good"));
    const Values after = {{L"Model", {REG_SZ, textBytes(L"new")}},
                          {L"Keep", {REG_DWORD, dwordBytes(1)}},
                          {L"Count", {REG_DWORD, dwordBytes(7)}}};
    EXPECT_EQ(keyValues(key.handle()), after);

    // A file past the size limit is refused before it is read.
    {
        ScopedKernelHandle big(CreateFileW(cache.cachePath(L"big").c_str(), GENERIC_WRITE, 0, nullptr,
                                           CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(big);
        LARGE_INTEGER end{};
        end.QuadPart = RegistryCache::kMaxFileBytes + 1ll;
        ASSERT_TRUE(SetFilePointerEx(big.get(), end, nullptr, FILE_BEGIN) && SetEndOfFile(big.get()));
    }
    SetLastError(0);
    EXPECT_FALSE(cache.restore(nullptr, HKEY_CURRENT_USER, key.path().c_str(), L"big"));
    EXPECT_EQ(GetLastError(), DWORD{ERROR_INVALID_DATA});
    EXPECT_EQ(keyValues(key.handle()), after);
}

TEST(RegistryCache, ConvertedXmlRestoresWithItsValues)
{
    TempDir dir;
    const std::wstring xml = dir.file(L"values.xml");
    ASSERT_TRUE(testenv::writeFile(xml,
                                   "<?xml version=\"1.0\"?>\n"
                                   "<Objects>\n"
                                   "  <Object name=\"Model\" type=\"REG_SZ\">QZ 4020</Object>\n"
                                   "  <Object name=\"Blank\" type=\"REG_SZ\"/>\n"
                                   "  <Object name=\"Speed\" type=\"reg_dword\">-2</Object>\n"
                                   "  <Object name=\"NaN\" type=\"REG_DWORD\">abc</Object>\n"
                                   "  <Object name=\"Bytes\" type=\"Reg_Binary\">0a 1B ff 7</Object>\n"
                                   "  <Object name=\"Odd\" type=\"REG_BINARY\">zz</Object>\n"
                                   "  <Object name=\"Multi\" type=\"REG_MULTI_SZ\">skipped</Object>\n"
                                   "  <Object type=\"REG_SZ\">no name</Object>\n"
                                   "  <Other name=\"Elsewhere\" type=\"REG_SZ\">skipped</Other>\n"
                                   "</Objects>\n"));
    XMLRegistryCache cache(dir.path().c_str());
    std::wstring out;
    ASSERT_TRUE(cache.convertToCacheFile(xml.c_str(), L"\\\\srv\\Q:1", out));
    EXPECT_EQ(out, cache.cachePath(L"--srv-q-1"));
    EXPECT_EQ(testenv::readFile(out).substr(0, 12 + 12 + 16), record(L"Model", REG_SZ, textBytes(L"QZ 4020")));

    ScratchKey key(L"CacheConvert");
    ASSERT_TRUE(cache.restore(nullptr, HKEY_CURRENT_USER, key.path().c_str(), L"--srv-q-1"));
    const Values expected = {{L"Model", {REG_SZ, textBytes(L"QZ 4020")}},
                             {L"Blank", {REG_SZ, ""}},
                             {L"Speed", {REG_DWORD, dwordBytes(0xFFFFFFFE)}},
                             {L"NaN", {REG_DWORD, dwordBytes(0)}},
                             {L"Bytes", {REG_BINARY, bytesOf("\x0a\x1b\xff", 3)}},
                             {L"Odd", {REG_BINARY, bytesOf("\x00", 1)}}};
    EXPECT_EQ(keyValues(key.handle()), expected);

    // A document that does not load writes no record but leaves the file.
    ASSERT_TRUE(testenv::writeFile(xml, "<Objects><Object name="));
    EXPECT_FALSE(cache.convertToCacheFile(xml.c_str(), L"broken", out));
    EXPECT_EQ(testenv::readFile(out), "");
    EXPECT_TRUE(testenv::fileExists(out));
    EXPECT_FALSE(cache.convertToCacheFile(nullptr, L"broken", out));
    EXPECT_FALSE(cache.convertToCacheFile(xml.c_str(), nullptr, out));
}

TEST(RegistryCache, ImportCopiesToThePrintersCachePath)
{
    TempDir dir;
    RegistryCache cache(dir.path().c_str());
    const std::string bytes = record(L"A", REG_DWORD, dwordBytes(1));
    ASSERT_TRUE(testenv::writeFile(dir.file(L"server.creg"), bytes));
    ASSERT_TRUE(testenv::writeFile(cache.cachePath(L"--srv-q"), "old"));
    std::wstring out;
    EXPECT_TRUE(cache.importCacheFile(L"\\\\SRV\\Q", dir.file(L"server.creg").c_str(), out));
    EXPECT_EQ(out, cache.cachePath(L"--srv-q"));
    EXPECT_EQ(testenv::readFile(out), bytes);

    std::wstring failed;
    EXPECT_FALSE(cache.importCacheFile(L"Other", dir.file(L"missing.creg").c_str(), failed));
    EXPECT_EQ(failed, cache.cachePath(L"other"));  // set even when the copy fails
    EXPECT_FALSE(cache.importCacheFile(nullptr, dir.file(L"server.creg").c_str(), out));
    EXPECT_FALSE(cache.importCacheFile(L"Other", nullptr, out));
}
