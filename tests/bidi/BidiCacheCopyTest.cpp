// A queue's bidi cache between the queue, its file in the default cache
// folder and the port monitor's batch, against the spooler stand-in. The
// access-denied road is the stand-in refusing a use-only handle.
#include "bidi/BidiCacheCopy.h"
#include "bidi/RegistryCache.h"
#include "core/ScopedHandle.h"
#include "core/SettingsKeys.h"
#include "destination/PrinterDataValues.h"
#include "shared/SpoolerQueries.h"
#include "support/PrivateCurrentUser.h"
#include "support/ScratchKey.h"
#include "support/TestEnv.h"
#include "support/QueueData.h"
#include "support/TestSpooler.h"

#include <gtest/gtest.h>
#include <winspool.h>


using MPrint::PrinterDataValues;
using MPrint::RegistryCache;
using testspool::ScopedQueue;

namespace {

constexpr wchar_t kBidiCache[] = L"PrinterDriverData\\BidiCache";

using Values = testspool::DataValues;
using testspool::dwordBytes;
using testspool::openQueue;
using testspool::textBytes;

using testspool::bytesOf;

Values batchValues(const PrinterDataValues& batch)
{
    Values values;
    DWORD count = 0;
    PrinterDataValue* const* entries = batch.getValues(&count);
    for (DWORD i = 0; i < count; ++i)
        values[entries[i]->name] = {entries[i]->type, bytesOf(entries[i]->data.get(), entries[i]->size)};
    return values;
}


// A cache file of these values in the default folder, under a name no
// other test process uses; removed with the scope.
class CacheFile {
public:
    CacheFile(const std::wstring& base, const Values& values)
        : name_(base + L" " + std::to_wstring(GetCurrentProcessId()))
    {
        std::string bytes;
        for (const auto& [value, typed] : values)
            RegistryCache::appendRecord(bytes, value.c_str(), static_cast<DWORD>(value.size() + 1), typed.first,
                                        reinterpret_cast<const BYTE*>(typed.second.data()),
                                        static_cast<DWORD>(typed.second.size()));
        written_ = testenv::writeFile(path(), bytes);
    }
    ~CacheFile() { DeleteFileW(path().c_str()); }
    const std::wstring& name() const { return name_; }
    std::wstring path() const { return RegistryCache(nullptr).cachePath(RegistryCache::makeCacheName(name_)); }
    bool written() const { return written_; }

private:
    std::wstring name_;
    bool written_ = false;
};

const Values kCached = {{L"Model", {REG_SZ, textBytes(L"QZ Ardelle 4020")}},
                        {L"PageCount", {REG_DWORD, dwordBytes(4711)}},
                        {L"Trays", {REG_MULTI_SZ, textBytes(L"one") + textBytes(L"two") + std::string(2, '\0')}},
                        {std::wstring(300, L'n'), {REG_BINARY, std::string(700, '\x5a')}}};

} // namespace

TEST(BidiCacheCopy, SaveAndDeleteUseTheSanitisedNameInTheDefaultFolder)
{
    ASSERT_NE(testspool::control(), nullptr);
    ScopedQueue queue(testspool::uniqueQueueName(L"SaveCache"));
    ASSERT_EQ(queue.setString(kBidiCache, L"Model", L"ABC"), DWORD{ERROR_SUCCESS});
    ScopedPrinter printer = openQueue(queue.name(), PRINTER_ACCESS_USE);
    ASSERT_TRUE(printer);
    const std::wstring cacheName = L"10.0.0.5:9100 QZ Model " + std::to_wstring(GetCurrentProcessId());
    const std::wstring path = RegistryCache(nullptr).cachePath(L"10.0.0.5-9100 qz model " +
                                                               std::to_wstring(GetCurrentProcessId()));
    ASSERT_TRUE(MPrint::saveBidiCacheToFile(printer.get(), cacheName.c_str()));
    EXPECT_TRUE(testenv::fileExists(path));
    EXPECT_TRUE(MPrint::deleteBidiCacheFile(cacheName.c_str()));
    EXPECT_FALSE(testenv::fileExists(path));
    EXPECT_FALSE(MPrint::deleteBidiCacheFile(cacheName.c_str()));
    EXPECT_FALSE(MPrint::saveBidiCacheToFile(printer.get(), nullptr));
}

// Through an administering handle, and without one straight into the
// machine key, where the spooler stand-in keeps printer data: both roads
// end in one value the spooler answers.
TEST(BidiCacheCopy, MigrateRestoresThroughTheHandleOrStraightIntoTheMachineKey)
{
    ASSERT_NE(testspool::control(), nullptr);
    CacheFile file(L"Migrate", kCached);
    ASSERT_TRUE(file.written());
    for (bool withHandle : {true, false}) {
        SCOPED_TRACE(withHandle ? "handle" : "machine key");
        ScopedQueue queue(testspool::uniqueQueueName(L"Migrate"));
        ASSERT_EQ(queue.error(), DWORD{ERROR_SUCCESS});
        ScopedPrinter admin = openQueue(queue.name(), PRINTER_ALL_ACCESS);
        ASSERT_TRUE(admin);
        PrinterDataValues batch;
        EXPECT_TRUE(MPrint::migrateBidiCache(withHandle ? admin.get() : nullptr, queue.name().c_str(),
                                             file.name().c_str(), &batch));
        EXPECT_EQ(testspool::enumDataValues(admin.get(), kBidiCache), kCached);
        EXPECT_TRUE(batchValues(batch).empty());
    }
}

TEST(BidiCacheCopy, AccessDeniedFillsTheBatchAndLeavesNoStagingKey)
{
    ASSERT_NE(testspool::control(), nullptr);
    testenv::PrivateCurrentUser user;
    ASSERT_TRUE(user.isActive());
    Values cached = kCached;
    cached[L"Wide"] = {REG_QWORD, std::string(8, '\x01')};  // not a type the monitor stores
    cached[L"Short"] = {REG_DWORD, std::string(2, '\x01')};  // a number that is no number
    CacheFile file(L"Denied", cached);
    ASSERT_TRUE(file.written());
    ScopedQueue queue(testspool::uniqueQueueName(L"Denied"));
    ScopedPrinter user_ = openQueue(queue.name(), PRINTER_ACCESS_USE);
    ScopedPrinter admin = openQueue(queue.name(), PRINTER_ALL_ACCESS);
    ASSERT_TRUE(user_ && admin);

    PrinterDataValues batch;
    EXPECT_TRUE(MPrint::migrateBidiCache(user_.get(), queue.name().c_str(), file.name().c_str(), &batch));
    Values expected;
    for (const auto& [name, value] : kCached)
        expected[L"PrinterDriverData\\BidiCache\\" + name] = value;
    EXPECT_EQ(batchValues(batch), expected);
    EXPECT_TRUE(testspool::enumDataValues(admin.get(), kBidiCache).empty());
    EXPECT_FALSE(testenv::keyExists(settingskeys::kBidiCacheStaging));

    // No batch to fill: the refusal stands.
    SetLastError(0);
    EXPECT_FALSE(MPrint::migrateBidiCache(user_.get(), queue.name().c_str(), file.name().c_str(), nullptr));
    EXPECT_EQ(GetLastError(), DWORD{ERROR_ACCESS_DENIED});
    EXPECT_FALSE(testenv::keyExists(settingskeys::kBidiCacheStaging));
}

TEST(BidiCacheCopy, OtherFailuresTakeNoFallback)
{
    ASSERT_NE(testspool::control(), nullptr);
    testenv::PrivateCurrentUser user;
    ASSERT_TRUE(user.isActive());
    ScopedQueue queue(testspool::uniqueQueueName(L"NoFile"));
    ScopedPrinter user_ = openQueue(queue.name(), PRINTER_ACCESS_USE);
    ASSERT_TRUE(user_);
    PrinterDataValues batch;
    SetLastError(0);
    EXPECT_FALSE(MPrint::migrateBidiCache(user_.get(), queue.name().c_str(), L"no such cache", &batch));
    EXPECT_EQ(GetLastError(), DWORD{ERROR_FILE_NOT_FOUND});

    CacheFile broken(L"Broken", {});
    ASSERT_TRUE(testenv::writeFile(broken.path(), std::string("\xff\xff\xff\xff\x01\0\0\0\0\0\0\0", 12)));
    EXPECT_FALSE(MPrint::migrateBidiCache(user_.get(), queue.name().c_str(), broken.name().c_str(), &batch));
    EXPECT_EQ(GetLastError(), DWORD{ERROR_INVALID_DATA});
    EXPECT_TRUE(batchValues(batch).empty());
    EXPECT_FALSE(testenv::keyExists(settingskeys::kBidiCacheStaging));
    EXPECT_FALSE(MPrint::migrateBidiCache(nullptr, nullptr, broken.name().c_str(), &batch));
}
