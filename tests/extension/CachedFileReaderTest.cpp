// The cached file reader against the loopback server and local files: what
// reaches the server shows cache hits; the per-user index is read back from
// the registry. Sources are URLs of this run's server port or files in this
// test's own folder, so parallel tests never share an entry.
#include "extension/CachedFileReader.h"

#include "core/SettingsKeys.h"
#include "support/HttpTestServer.h"
#include "support/SharedState.h"
#include "support/TestEnv.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

VRELM_TEST_SHARES(mpl_cache);

using testenv::HttpAnswer;
using testenv::HttpTestServer;
using testenv::TempDir;
using testenv::writeFile;

namespace {

constexpr DWORD kUntouched = 0xBDBDBDBD;
const std::string kDocument = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><list><p>Caf\xC3\xA9</p></list>";

bool queryCacheString(const std::wstring& name, std::wstring& value)
{
    wchar_t buffer[1024] = {};
    DWORD size = sizeof(buffer);
    if (RegGetValueW(HKEY_CURRENT_USER, settingskeys::kFileCache, name.c_str(), RRF_RT_REG_SZ, nullptr, buffer, &size) !=
        ERROR_SUCCESS)
        return false;
    value = buffer;
    return true;
}

bool queryCacheDword(const std::wstring& name, DWORD& value)
{
    DWORD size = sizeof(value);
    return RegGetValueW(HKEY_CURRENT_USER, settingskeys::kFileCache, name.c_str(), RRF_RT_REG_DWORD, nullptr, &value, &size) ==
           ERROR_SUCCESS;
}

// The path of the copy indexed for source; empty when there is none.
std::wstring cachedPath(const std::wstring& source)
{
    std::wstring path;
    queryCacheString(source, path);
    return path;
}

// Temporary files (downloads and copies) go to the test's own folder (TMP)
// and vanish with it; the cache needs the user's settings key to exist.
class CachedFileReaderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server_.started());
        ASSERT_FALSE(dir_.path().empty());
        HKEY settings = nullptr;
        ASSERT_EQ(DWORD{ERROR_SUCCESS}, DWORD(RegCreateKeyExW(HKEY_CURRENT_USER, settingskeys::kSettings, 0, nullptr, 0,
                                                              KEY_READ, nullptr, &settings, nullptr)));
        RegCloseKey(settings);
        wchar_t previous[MAX_PATH] = {};
        hadTmp_ = GetEnvironmentVariableW(L"TMP", previous, MAX_PATH) > 0;
        previousTmp_ = previous;
        ASSERT_TRUE(CreateDirectoryW(tempDir().c_str(), nullptr));
        ASSERT_TRUE(SetEnvironmentVariableW(L"TMP", tempDir().c_str()));
    }

    void TearDown() override { SetEnvironmentVariableW(L"TMP", hadTmp_ ? previousTmp_.c_str() : nullptr); }

    std::wstring tempDir() const { return dir_.file(L"tmp"); }

    size_t copiesInTemp() const
    {
        size_t count = 0;
        WIN32_FIND_DATAW found;
        HANDLE search = FindFirstFileW((tempDir() + L"\\QZM*.tmp").c_str(), &found);
        if (search != INVALID_HANDLE_VALUE) {
            do
                ++count;
            while (FindNextFileW(search, &found));
            FindClose(search);
        }
        return count;
    }

    // The files whose path starts with prefix that are to be deleted at the
    // next restart, in the order they were entered.
    static std::vector<std::wstring> pendingDeletes(const std::wstring& prefix)
    {
        // Pairs of source and target ("" to delete), the source as "\\??\\" + path.
        std::vector<wchar_t> pending(1 << 20);
        DWORD size = static_cast<DWORD>(pending.size() * sizeof(wchar_t)) - 4;
        std::vector<std::wstring> paths;
        if (RegGetValueW(HKEY_LOCAL_MACHINE, L"System\\CurrentControlSet\\Control\\Session Manager",
                         L"PendingFileRenameOperations", RRF_RT_REG_MULTI_SZ, nullptr, pending.data(),
                         &size) != ERROR_SUCCESS)
            return paths;
        const wchar_t* end = pending.data() + size / sizeof(wchar_t);
        for (const wchar_t* entry = pending.data(); entry < end && *entry;) {
            const wchar_t* target = entry + wcslen(entry) + 1;
            const std::wstring path = entry + (wcsncmp(entry, L"\\??\\", 4) == 0 ? 4 : 0);
            if (target < end && !*target && _wcsnicmp(path.c_str(), prefix.c_str(), prefix.size()) == 0)
                paths.push_back(path);
            entry = target + wcslen(target) + 1;
        }
        return paths;
    }

    HttpTestServer server_;
    TempDir dir_;
    bool hadTmp_ = false;
    std::wstring previousTmp_;
};

// Each row stores a copy, then ages its stamp in the index and reads again:
// a second request at the server is a miss.
TEST_F(CachedFileReaderTest, RefreshRulesCountedAtTheServer)
{
    struct Row {
        const char* name;
        bool setRefresh;
        DWORD refresh;
        LONG ageMs; // negative: a stamp in the future
        bool hit;
    };
    const Row rows[] = {
        {"no refresh time: one hour", false, 0, 1500, true},
        {"0 never hits", true, 0, 1, false},
        {"1 is an hour", true, 1, 1500, true},
        {"999 is hours, not milliseconds", true, 999, 1500, true},
        {"1000 is one second, still fresh", true, 1000, 300, true},
        {"1000 is one second, expired", true, 1000, 1500, false},
        {"a stamp in the future", false, 0, -60000, false},
    };
    int index = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string path = "/refresh" + std::to_string(index++);
        const std::wstring source = server_.url(path);
        server_.answer(path, HttpAnswer::ok(kDocument));
        MPrint::CachedFileReader reader;
        if (row.setRefresh)
            reader.setRefreshTime(source.c_str(), row.refresh);
        std::string first;
        ASSERT_TRUE(reader.read(source.c_str(), first, nullptr, 5000));
        EXPECT_EQ(kDocument, first);
        const std::wstring copy = cachedPath(source);
        ASSERT_FALSE(copy.empty());
        const DWORD stamp = GetTickCount() - static_cast<DWORD>(row.ageMs);
        ASSERT_EQ(DWORD{ERROR_SUCCESS}, DWORD(RegSetKeyValueW(HKEY_CURRENT_USER, settingskeys::kFileCache, copy.c_str(), REG_DWORD,
                                                              &stamp, sizeof(stamp))));
        std::string second;
        EXPECT_TRUE(MPrint::CachedFileReader().read(source.c_str(), second, nullptr, 5000));
        EXPECT_EQ(kDocument, second);
        EXPECT_EQ(row.hit ? 1u : 2u, server_.count(path));
    }
}

// A UTF-8 document is cached exactly as fetched, however it declares itself;
// only undeclared text that is not UTF-8 is taken as ANSI and converted.
TEST_F(CachedFileReaderTest, CachesUtf8DocumentsUnchanged)
{
    const std::string utf8Body = "<p>Caf\xC3\xA9</p>";
    struct Row {
        const char* name;
        std::string fetched;
        std::string cached;
    };
    const Row rows[] = {
        {"no declaration", utf8Body, utf8Body},
        {"lower-case declaration", "<?xml version=\"1.0\" encoding=\"utf-8\"?>" + utf8Body,
         "<?xml version=\"1.0\" encoding=\"utf-8\"?>" + utf8Body},
        {"single-quoted declaration", "<?xml version='1.0' encoding='UTF-8'?>" + utf8Body,
         "<?xml version='1.0' encoding='UTF-8'?>" + utf8Body},
        {"byte-order mark", "\xEF\xBB\xBF" + utf8Body, "\xEF\xBB\xBF" + utf8Body},
        {"declared latin-1, decoded by the reader", "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><p>Caf\xE9</p>",
         "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><p>Caf\xE9</p>"},
        // The test prefix's ANSI code page is 1252.
        {"undeclared ANSI", "<p>Caf\xE9</p>", "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\r\n" + utf8Body},
    };
    int index = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const std::wstring source = dir_.file(L"doc" + std::to_wstring(index++) + L".xml");
        ASSERT_TRUE(writeFile(source, row.fetched));
        std::string text;
        ASSERT_TRUE(MPrint::CachedFileReader().read(source.c_str(), text, nullptr, 15000));
        EXPECT_EQ(row.cached, text);
        EXPECT_EQ(row.cached, testenv::readFile(cachedPath(source)));
        // The source changes; the hit still answers the copy.
        ASSERT_TRUE(writeFile(source, "<changed/>"));
        text.clear();
        EXPECT_TRUE(MPrint::CachedFileReader().read(source.c_str(), text, nullptr, 15000));
        EXPECT_EQ(row.cached, text);
    }
}

TEST_F(CachedFileReaderTest, FailedOrEmptyReadsStoreNothing)
{
    server_.answer("/missing", HttpAnswer::withStatus(404, "<error/>"));
    server_.answer("/empty", HttpAnswer::ok(""));
    server_.answer("/silent", HttpAnswer::silent());
    struct Row {
        const char* name;
        std::wstring source;
        DWORD status;
    };
    const Row rows[] = {
        {"404", server_.url("/missing"), 404},
        {"empty body", server_.url("/empty"), 200},
        {"silent server", server_.url("/silent"), kUntouched},
        {"missing file", dir_.file(L"absent.xml"), kUntouched},
        // Any other scheme is a file path, and there is no such file.
        {"ftp URL", L"ftp://127.0.0.1:" + std::to_wstring(server_.port()) + L"/list.xml", kUntouched},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        MPrint::CachedFileReader reader;
        std::string out = "untouched";
        DWORD status = kUntouched;
        EXPECT_FALSE(reader.read(row.source.c_str(), out, &status, 500));
        EXPECT_EQ("untouched", out);
        EXPECT_EQ(row.status, status);
        EXPECT_EQ(L"", cachedPath(row.source));
    }
    EXPECT_EQ(0u, server_.count("/list.xml"));
    // A failure is not remembered: the next read asks again.
    server_.setHandler([this](const testenv::HttpRequest& request) {
        return server_.count(request.path) == 1 ? HttpAnswer::withStatus(503) : HttpAnswer::ok(kDocument);
    });
    const std::wstring flaky = server_.url("/flaky");
    std::string out;
    DWORD status = kUntouched;
    EXPECT_FALSE(MPrint::CachedFileReader().read(flaky.c_str(), out, &status, 5000));
    EXPECT_EQ(503u, status);
    EXPECT_TRUE(MPrint::CachedFileReader().read(flaky.c_str(), out, &status, 5000));
    EXPECT_EQ(200u, status);
    EXPECT_EQ(kDocument, out);
    EXPECT_EQ(2u, server_.count("/flaky"));
}

// Without a usable temporary folder (and without c:\temp for the fallback
// name) nothing can be stored, but the read itself succeeds.
TEST_F(CachedFileReaderTest, StoreFailureDoesNotFailTheRead)
{
    ASSERT_FALSE(testenv::fileExists(L"c:\\temp")) << "the fallback temporary folder would take the copy";
    const std::wstring source = dir_.file(L"list.xml");
    ASSERT_TRUE(writeFile(source, kDocument));
    ASSERT_TRUE(SetEnvironmentVariableW(L"TMP", dir_.file(L"no-such-folder").c_str()));
    std::string text;
    EXPECT_TRUE(MPrint::CachedFileReader().read(source.c_str(), text, nullptr, 15000));
    EXPECT_EQ(kDocument, text);
    EXPECT_EQ(L"", cachedPath(source));
}

// The index is the user's (HKCU, volatile), the copy a temporary file of the
// user's, registered for deletion at the next restart.
TEST_F(CachedFileReaderTest, CopiesArePerUserAndGoAtRestart)
{
    const std::wstring source = server_.url("/list");
    server_.answer("/list", HttpAnswer::ok(kDocument));
    std::string text;
    ASSERT_TRUE(MPrint::CachedFileReader().read(source.c_str(), text, nullptr, 5000));

    const std::wstring copy = cachedPath(source);
    wchar_t temp[MAX_PATH] = {};
    ASSERT_GT(GetTempPathW(MAX_PATH, temp), 0u);
    EXPECT_EQ(0, _wcsnicmp(copy.c_str(), (std::wstring(temp) + L"QZM").c_str(), wcslen(temp) + 3)) << copy;
    EXPECT_EQ(kDocument, testenv::readFile(copy));
    DWORD stamp = 0;
    EXPECT_TRUE(queryCacheDword(copy, stamp));

    HKEY child = nullptr;
    EXPECT_EQ(DWORD{ERROR_CHILD_MUST_BE_VOLATILE},
              DWORD(RegCreateKeyExW(HKEY_CURRENT_USER, (std::wstring(settingskeys::kFileCache) + L"\\probe").c_str(), 0, nullptr, 0,
                                    KEY_READ, nullptr, &child, nullptr)));
    if (child)
        RegCloseKey(child);

    EXPECT_EQ(std::vector<std::wstring>{copy}, pendingDeletes(copy));
}

// A print server stores for months: each source keeps one copy and one
// delete-at-restart however often it is stored, unless a reader holds the
// copy open, when the new text gets a copy of its own.
TEST_F(CachedFileReaderTest, RepeatedStoresKeepOneCopyPerSource)
{
    const wchar_t source[] = L"http://127.0.0.1:9/list.xml";
    MPrint::CachedFileReader reader;
    ASSERT_TRUE(reader.store(source, "v1"));
    const std::wstring first = cachedPath(source);
    for (int n = 2; n <= 20; ++n)
        ASSERT_TRUE(reader.store(source, "v" + std::to_string(n)));
    EXPECT_EQ(first, cachedPath(source));
    EXPECT_EQ("v20", testenv::readFile(first));
    EXPECT_EQ(1u, copiesInTemp());
    EXPECT_EQ(std::vector<std::wstring>{first}, pendingDeletes(tempDir()));

    HANDLE held = CreateFileW(first.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    ASSERT_TRUE(reader.store(source, "held"));
    CloseHandle(held);
    const std::wstring second = cachedPath(source);
    EXPECT_NE(first, second);
    EXPECT_EQ("held", testenv::readFile(second));
    std::string text;
    EXPECT_TRUE(reader.lookup(source, text));
    EXPECT_EQ("held", text);
    DWORD stamp = 0;
    EXPECT_FALSE(queryCacheDword(first, stamp)); // the old copy is no longer indexed
    ASSERT_TRUE(reader.store(source, "again"));
    EXPECT_EQ(second, cachedPath(source));
    EXPECT_EQ(2u, copiesInTemp());
    EXPECT_EQ((std::vector<std::wstring>{first, second}), pendingDeletes(tempDir()));
}

TEST_F(CachedFileReaderTest, RemoveCachedFileKeepsTheRefreshTime)
{
    const std::wstring source = server_.url("/list");
    server_.answer("/list", HttpAnswer::ok(kDocument));
    MPrint::CachedFileReader reader;
    reader.setRefreshTime(source.c_str(), 2);
    std::string text;
    ASSERT_TRUE(reader.read(source.c_str(), text, nullptr, 5000));
    const std::wstring copy = cachedPath(source);
    ASSERT_TRUE(testenv::fileExists(copy));

    reader.removeCachedFile(source.c_str());
    EXPECT_FALSE(testenv::fileExists(copy));
    EXPECT_EQ(L"", cachedPath(source));
    DWORD value = 0;
    EXPECT_FALSE(queryCacheDword(copy, value));
    EXPECT_TRUE(queryCacheDword(source + L"-refreshTime", value));
    EXPECT_EQ(2u, value);
    EXPECT_FALSE(reader.lookup(source.c_str(), text));
    ASSERT_TRUE(reader.read(source.c_str(), text, nullptr, 5000));
    EXPECT_EQ(2u, server_.count("/list"));
}

// The index is the user's to edit: a crafted value naming some other file
// is a miss, and removing the source forgets it without deleting that file.
TEST_F(CachedFileReaderTest, IndexNamingAnotherFileIsNeverReadNorDeleted)
{
    const std::string secret = "<list><p>not a cached copy</p></list>";
    const std::wstring victim = dir_.file(L"victim.txt");
    ASSERT_TRUE(writeFile(victim, secret));
    const std::wstring temp = tempDir() + L"\\";
    const std::wstring paths[] = {
        victim,
        temp + L"..\\victim.txt",
        temp + L"QZM1.tmp\\..\\..\\victim.txt",
    };
    server_.answer("/list", HttpAnswer::ok(kDocument));
    const std::wstring source = server_.url("/list");
    HKEY cache = nullptr;
    ASSERT_EQ(DWORD{ERROR_SUCCESS}, DWORD(RegCreateKeyExW(HKEY_CURRENT_USER, settingskeys::kFileCache, 0, nullptr,
                                                          REG_OPTION_VOLATILE, KEY_SET_VALUE, nullptr, &cache, nullptr)));
    for (const std::wstring& path : paths) {
        SCOPED_TRACE(testenv::narrow(path));
        ASSERT_EQ(secret, testenv::readFile(path));
        const DWORD now = GetTickCount() - 1, refresh = 999;
        RegSetValueExW(cache, source.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(path.c_str()),
                       static_cast<DWORD>((path.size() + 1) * sizeof(wchar_t)));
        RegSetValueExW(cache, path.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&now), sizeof(now));
        RegSetValueExW(cache, (source + L"-refreshTime").c_str(), 0, REG_DWORD,
                       reinterpret_cast<const BYTE*>(&refresh), sizeof(refresh));
        MPrint::CachedFileReader reader;
        std::string text;
        EXPECT_FALSE(reader.lookup(source.c_str(), text));
        RegSetValueExW(cache, source.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(path.c_str()),
                       static_cast<DWORD>((path.size() + 1) * sizeof(wchar_t)));
        reader.removeCachedFile(source.c_str());
        EXPECT_EQ(L"", cachedPath(source));
        EXPECT_TRUE(testenv::fileExists(victim));
    }
    RegCloseKey(cache);
    // The real copy of the same source is still read from the cache.
    MPrint::CachedFileReader reader;
    std::string text;
    ASSERT_TRUE(reader.read(source.c_str(), text, nullptr, 5000));
    ASSERT_TRUE(reader.read(source.c_str(), text, nullptr, 5000));
    EXPECT_EQ(kDocument, text);
    EXPECT_EQ(1u, server_.count("/list"));
}

TEST_F(CachedFileReaderTest, ClearCacheForgetsEverySource)
{
    server_.answer("/a", HttpAnswer::ok(kDocument));
    server_.answer("/b", HttpAnswer::ok(kDocument));
    MPrint::CachedFileReader reader;
    std::string text;
    ASSERT_TRUE(reader.read(server_.url("/a").c_str(), text, nullptr, 5000));
    ASSERT_TRUE(reader.read(server_.url("/b").c_str(), text, nullptr, 5000));
    ASSERT_TRUE(reader.read(server_.url("/a").c_str(), text, nullptr, 5000));
    ASSERT_EQ(1u, server_.count("/a"));

    reader.clearCache();
    EXPECT_EQ(L"", cachedPath(server_.url("/a")));
    // The same object caches again in the new key.
    ASSERT_TRUE(reader.read(server_.url("/a").c_str(), text, nullptr, 5000));
    ASSERT_TRUE(reader.read(server_.url("/b").c_str(), text, nullptr, 5000));
    ASSERT_TRUE(reader.read(server_.url("/a").c_str(), text, nullptr, 5000));
    EXPECT_EQ(2u, server_.count("/a"));
    EXPECT_EQ(2u, server_.count("/b"));
}

} // namespace
