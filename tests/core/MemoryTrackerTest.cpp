// The memory tracker: guard bytes damaged before and after a block are
// found at its free and logged, no-access pages surround page-guarded
// blocks, a leak report lists what was never freed, a pointer it never
// handed out is left alone, and nothing is tracked while the machine
// setting is off. Tracked blocks are made through the
// tracker's own entry in the mode a case sets; the operators of this
// process keep the choice made at its start (the machine setting).
#include "core/QZMemCollector.h"
#include "support/TestEnv.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

DWORD machineSetting()
{
    DWORD value = 0;
    DWORD size = sizeof(value);
    if (RegGetValueW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Tarvokin\\QZProfiler", L"TrackMemoryAllocation", RRF_RT_ANY,
                     nullptr, &value, &size) != ERROR_SUCCESS)
        return 0;
    return value;
}

// The report files land in the temp folder, made this process's own before
// the first record opens them (they stay open for the process).
testenv::TempDir& logFolder()
{
    static testenv::TempDir* folder = [] {
        auto* dir = new testenv::TempDir();
        SetEnvironmentVariableW(L"TMP", dir->path().c_str());
        SetEnvironmentVariableW(L"TEMP", dir->path().c_str());
        return dir;
    }();
    return *folder;
}

std::string textLog()
{
    WIN32_FIND_DATAW found{};
    HANDLE find = FindFirstFileW(logFolder().file(L"*.mlk.log").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE)
        return std::string();
    FindClose(find);
    return testenv::readFile(logFolder().file(found.cFileName));
}

size_t occurrences(const std::string& text, const std::string& word)
{
    size_t count = 0;
    for (size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1))
        ++count;
    return count;
}

class MemoryTracker : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (machineSetting() != 0)
            GTEST_SKIP() << "tracking is on for the machine: this process's own blocks are in the list";
        logFolder();
    }
    void TearDown() override { QZMemCollector::setMode(0); }
};

} // namespace

TEST(MemoryTrackerSetting, NothingIsTrackedWhileTheMachineSettingIsOff)
{
    const DWORD setting = machineSetting();
    const DWORD expected = setting == 0 ? 0 : setting >= 2 && setting <= 4 ? setting : 1;
    EXPECT_EQ(QZMemCollector::getMode(), expected);
    auto block = std::make_unique<char[]>(64);
    EXPECT_EQ(QZMemCollector::headerOf(block.get()) != nullptr, setting != 0);
    // Every new answers a block of its own, 0 bytes too.
    std::unique_ptr<char[]> empty(new char[0]);
    EXPECT_NE(empty.get(), nullptr);
    char* nothing = new (std::nothrow) char[0];
    EXPECT_NE(nothing, nullptr);
    delete[] nothing;
}

// A block is judged by the mode it was made in, whatever the mode is at its
// free: guard bytes only where it has them.
TEST_F(MemoryTracker, DamagedGuardsAreFoundAtTheFreeAndLogged)
{
    struct Row {
        DWORD made, freed;  // the mode at the allocation and at the free
        int offset;  // the byte written, from the data's start (size 24)
        bool underrun, overrun;
    } rows[] = {
        {3, 3, 24, false, true}, {3, 3, -1, true, false}, {4, 4, 24, false, true}, {4, 4, -384, true, false},
        {2, 2, 24, false, true}, {2, 2, -1, true, false}, {3, 3, 23, false, false},
        // guarded blocks freed in a mode without guard bytes, and the reverse
        {3, 1, 24, false, true}, {4, 0, -1, true, false}, {2, 1, 24, false, true}, {3, 1, 0, false, false},
        {1, 3, 0, false, false}, {1, 2, 24, false, false}, {1, 4, -1, false, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::to_string(row.made) + " then " + std::to_string(row.freed) + " at " +
                     std::to_string(row.offset));
        QZMemCollector::setMode(row.made);
        const size_t before = occurrences(textLog(), "MemoryAccessViolation");
        uint32_t id = 0;
        auto* data = static_cast<char*>(QZMemCollector::trackedAllocate(24, false, nullptr, &id));
        ASSERT_NE(data, nullptr);
        EXPECT_FALSE(QZMemCollector::isReleased(id));
        EXPECT_FALSE(QZMemCollector::isDamaged(data));
        data[row.offset] = 0x11;
        QZMemCollector::setMode(row.freed);
        EXPECT_EQ(QZMemCollector::hasUnderrun(data), row.underrun);
        EXPECT_EQ(QZMemCollector::hasOverrun(data), row.overrun);
        QZMemCollector::trackedFree(data, false);
        EXPECT_TRUE(QZMemCollector::isReleased(id));
        const std::string log = textLog();
        EXPECT_EQ(occurrences(log, "MemoryAccessViolation"), before + (row.underrun || row.overrun ? 1 : 0));
        if (row.overrun) {
            EXPECT_NE(log.rfind("overrun=\"1\" underrun=\"0\""), std::string::npos);
        }
        if (row.underrun) {
            EXPECT_NE(log.rfind("overrun=\"0\" underrun=\"1\""), std::string::npos);
        }
    }
}

TEST_F(MemoryTracker, PageGuardedBlocksLieBetweenNoAccessPages)
{
    QZMemCollector::setMode(2);
    auto* data = static_cast<char*>(QZMemCollector::trackedAllocate(100, false, nullptr));
    ASSERT_NE(data, nullptr);
    QZMemHeader* header = QZMemCollector::headerOf(data);
    ASSERT_NE(header, nullptr);
    EXPECT_EQ(header->kind, uint32_t{QZMemCollector::kVirtualAlloc});
    MEMORY_BASIC_INFORMATION before{}, after{};
    ASSERT_TRUE(VirtualQuery(static_cast<char*>(header->allocation), &before, sizeof(before)));
    EXPECT_EQ(before.Protect, DWORD{PAGE_NOACCESS});
    ASSERT_TRUE(VirtualQuery(header->trailingGuard + header->trailingGuardLength, &after, sizeof(after)));
    EXPECT_EQ(after.Protect, DWORD{PAGE_NOACCESS});
    EXPECT_GE(header->trailingGuardLength, QZMemCollector::kGuardSize);
    QZMemCollector::trackedFree(data, false);
}

TEST_F(MemoryTracker, FailSizeRefusesLargeBlocksAndMismatchedFreesFreeNothing)
{
    QZMemCollector::setMode(3);
    QZMemCollector::setFailSize(4096);
    void* small = QZMemCollector::trackedAllocate(4095, false, nullptr);
    EXPECT_NE(small, nullptr);
    EXPECT_EQ(QZMemCollector::trackedAllocate(4096, false, nullptr), nullptr);
    QZMemCollector::trackedFree(small, false);
    QZMemCollector::setFailSize(0);

    uint32_t id = 0;
    void* array = QZMemCollector::trackedAllocate(8, true, nullptr, &id);
    QZMemCollector::trackedFree(array, false);  // delete of a new[] block
    EXPECT_FALSE(QZMemCollector::isReleased(id));
    QZMemCollector::trackedFree(array, true);
    EXPECT_TRUE(QZMemCollector::isReleased(id));
    int local = 0;
    QZMemCollector::trackedFree(&local, false);  // no header: left alone
    EXPECT_TRUE(QZMemCollector::isReleased(0));
}

TEST_F(MemoryTracker, LeakReportListsWhatWasNeverFreedAndLaterReleases)
{
    QZMemCollector::setMode(3);
    void* first = nullptr;
    void* second = nullptr;
    const size_t leaksBefore = occurrences(textLog(), "MemoryLeak ");
    {
        QZMemCollector collector;
        first = QZMemCollector::trackedAllocate(10, false, reinterpret_cast<void*>(&machineSetting));
        second = QZMemCollector::trackedAllocate(20, true, reinterpret_cast<void*>(&machineSetting));
        ASSERT_NE(first, nullptr);
        ASSERT_NE(second, nullptr);
    }  // the report
    std::string log = textLog();
    EXPECT_EQ(occurrences(log, "MemoryLeak "), leaksBefore + 2);
    EXPECT_NE(log.find("size=\"10\" release=\"0\""), std::string::npos) << log;
    EXPECT_NE(log.find("size=\"20\" release=\"0\""), std::string::npos) << log;
    EXPECT_NE(log.find("Memory was leaked"), std::string::npos);
    EXPECT_NE(log.find("module=\"MemoryTrackerTest.exe\""), std::string::npos) << log;
    // Frees after the report are logged as releases.
    QZMemCollector::trackedFree(first, false);
    QZMemCollector::trackedFree(second, true);
    log = textLog();
    EXPECT_NE(log.find("size=\"10\" release=\"1\""), std::string::npos) << log;
    EXPECT_NE(log.find("size=\"20\" release=\"1\""), std::string::npos) << log;
    // The record file holds the raw headers: four records of 504 bytes.
    WIN32_FIND_DATAW found{};
    HANDLE find = FindFirstFileW(logFolder().file(L"*.mlk").c_str(), &found);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    FindClose(find);
    EXPECT_EQ(testenv::readFile(logFolder().file(found.cFileName)).size() % sizeof(QZMemHeader), 0u);
}

// Every block is recognised until its own free, among many, freed in an
// order other than their making.
TEST_F(MemoryTracker, ManyBlocksAreKnownUntilTheirFree)
{
    QZMemCollector::setMode(1);
    std::vector<char*> blocks(3000);
    for (size_t i = 0; i < blocks.size(); ++i)
        blocks[i] = static_cast<char*>(QZMemCollector::trackedAllocate(i % 64 + 1, false, nullptr));
    for (const size_t step : {7, 3, 1}) {
        for (size_t i = 0; i < blocks.size(); i += step) {
            if (!blocks[i])
                continue;
            ASSERT_NE(QZMemCollector::headerOf(blocks[i]), nullptr) << i;
            EXPECT_EQ(QZMemCollector::blockSize(blocks[i]), i % 64 + 1) << i;
            QZMemCollector::trackedFree(blocks[i], false);
            EXPECT_EQ(QZMemCollector::headerOf(blocks[i]), nullptr) << i;
            blocks[i] = nullptr;
        }
    }
}

TEST_F(MemoryTracker, ForgottenHooksAreChosenAgainAndEarlierBlocksGoBackTheirWay)
{
    QZMemCollector::setMode(0);
    QZMemCollector::forgetHooks();
    char* untracked = new char[24];
    QZMemCollector::setMode(3);
    QZMemCollector::forgetHooks();
    char* tracked = new char[24];  // through the module's operators
    QZMemHeader* header = QZMemCollector::headerOf(tracked);
    const uint32_t id = header ? header->id : 0;
    // A block of the plain hooks, freed once tracking is on, goes to the C runtime.
    const size_t untrackedSize = QZMemCollector::blockSize(untracked);
    const bool untrackedHasHeader = QZMemCollector::headerOf(untracked) != nullptr;
    delete[] untracked;
    QZMemCollector::setMode(0);
    QZMemCollector::forgetHooks();
    EXPECT_EQ(untrackedSize, 24u);
    EXPECT_FALSE(untrackedHasHeader);
    ASSERT_NE(header, nullptr) << "tracked once the hooks were chosen again";
    EXPECT_EQ(QZMemCollector::blockSize(tracked), 24u);

    std::unique_ptr<char[]> plain(new char[24]);
    EXPECT_EQ(QZMemCollector::headerOf(plain.get()), nullptr);
    EXPECT_FALSE(QZMemCollector::isReleased(id));
    delete[] tracked;  // a tracked block, freed after tracking went off
    EXPECT_TRUE(QZMemCollector::isReleased(id));
}

namespace {

// Caller's memory at the very start of committed pages: the page in front of
// it is reserved only, or committed without access.
class PageStartBlock {
public:
    explicit PageStartBlock(bool frontCommitted)
    {
        SYSTEM_INFO info{};
        GetSystemInfo(&info);
        base_ = static_cast<char*>(VirtualAlloc(nullptr, 2 * info.dwPageSize, MEM_RESERVE, PAGE_NOACCESS));
        if (base_ && frontCommitted)
            VirtualAlloc(base_, info.dwPageSize, MEM_COMMIT, PAGE_NOACCESS);
        if (base_)
            data_ = static_cast<char*>(VirtualAlloc(base_ + info.dwPageSize, info.dwPageSize, MEM_COMMIT,
                                                    PAGE_READWRITE));
    }
    ~PageStartBlock()
    {
        if (base_)
            VirtualFree(base_, 0, MEM_RELEASE);
    }
    PageStartBlock(const PageStartBlock&) = delete;
    PageStartBlock& operator=(const PageStartBlock&) = delete;
    char* data() const { return data_; }

private:
    char* base_ = nullptr;
    char* data_ = nullptr;
};

} // namespace

// Whatever the mode, a pointer the tracker never handed out is looked up,
// not read in front of: there may be no memory there.
TEST_F(MemoryTracker, BlocksThatWereNeverTrackedAreNotReadInFront)
{
    for (const bool frontCommitted : {false, true}) {
        for (const DWORD mode : {1, 2, 3, 4}) {
            SCOPED_TRACE(std::to_string(mode) +
                         (frontCommitted ? " after a no-access page" : " after a reserved page"));
            PageStartBlock block(frontCommitted);
            ASSERT_NE(block.data(), nullptr);
            QZMemCollector::setMode(mode);
            void* tracked = QZMemCollector::trackedAllocate(8, false, nullptr);  // the list is not empty
            EXPECT_EQ(QZMemCollector::headerOf(block.data()), nullptr);
            EXPECT_FALSE(QZMemCollector::isDamaged(block.data()));
            QZMemCollector::trackedFree(block.data(), false);
            QZMemCollector::trackedFree(block.data(), true);
            block.data()[0] = 1;  // left to its owner
            QZMemCollector::trackedFree(tracked, false);
        }
    }
}

namespace {

// The search path of the tracker's symbol session. dbghelp knows a session
// by the process handle it was started with, and the tracker opened its own.
std::string trackerSearchPath()
{
    using GetSearchPath = BOOL(WINAPI*)(HANDLE, PSTR, DWORD);
    HMODULE dbghelp = GetModuleHandleW(L"dbghelp.dll");
    auto get = dbghelp ? reinterpret_cast<GetSearchPath>(
                             reinterpret_cast<void*>(GetProcAddress(dbghelp, "SymGetSearchPath")))
                       : nullptr;
    if (!get)
        return std::string();
    for (uintptr_t value = 4; value < 0x40000; value += 4) {
        char path[1024] = {};
        if (get(reinterpret_cast<HANDLE>(value), path, sizeof(path) - 1))
            return path;
    }
    return std::string();
}

} // namespace

TEST_F(MemoryTracker, SymbolServerJoinsTheSearchPathWhenTheMachineAsks)
{
    HKEY key = nullptr;
    DWORD disposition = 0;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Tarvokin\\QZProfiler", 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, &disposition),
              ERROR_SUCCESS);
    QZMemCollector::setMode(3);
    for (const DWORD asked : {DWORD{0}, DWORD{1}}) {
        SCOPED_TRACE(asked);
        ASSERT_EQ(RegSetValueExW(key, L"AppendRQNSymbolServerPath", 0, REG_DWORD,
                                 reinterpret_cast<const BYTE*>(&asked), sizeof(asked)),
                  ERROR_SUCCESS);
        std::string path;
        {
            QZMemCollector collector;  // its report ends any session an earlier test began
        }
        {
            QZMemCollector collector;
            void* block = QZMemCollector::trackedAllocate(8, false, nullptr);
            QZMemCollector::reportLiveAllocations();  // names the caller: the session begins
            path = trackerSearchPath();
            QZMemCollector::trackedFree(block, false);
        }
        ASSERT_FALSE(path.empty()) << "a symbol session is open";
        const size_t at = path.find(";srv*c:\\localsymbols*\\\\");
        EXPECT_EQ(at != std::string::npos, asked != 0) << path;
    }
    RegDeleteValueW(key, L"AppendRQNSymbolServerPath");
    RegCloseKey(key);
    if (disposition == REG_CREATED_NEW_KEY)
        RegDeleteKeyW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Tarvokin\\QZProfiler");
}
