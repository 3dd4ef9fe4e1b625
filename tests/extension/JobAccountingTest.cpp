// Job accounting: the block built from the monitor's reply (golden bytes,
// with the reply's own printer name or the job's), replies whose offsets
// point outside them, the exchange with the monitor stand-in, and the
// record of a document's attributes as the monitor receives it.
#include "access/MonitorAccess.h"
#include "extension/JobAccounting.h"

#include "destination/MonitorChannel.h"
#include "extension/JobInfoRecord.h"
#include "extension/ManagedPrintPolicy.h"
#include "support/PrivateCurrentUser.h"
#include "support/SharedState.h"
#include "support/TestEnv.h"
#include "support/TestSpooler.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

VRELM_TEST_SHARES(policy_settings);

namespace {

constexpr DWORD kInfoOffset = 64;

// A reply as the monitor lays it out: flags, the embedded job record at 64
// with its strings as offsets from the record, the own printer name at 56.
struct ReplyBuilder {
    std::vector<BYTE> bytes = std::vector<BYTE>(kInfoOffset + sizeof(JOB_INFO_1W), 0);
    JOB_INFO_1W info = {};

    DWORD addText(const std::wstring& text)
    {
        const DWORD at = static_cast<DWORD>(bytes.size());
        const BYTE* raw = reinterpret_cast<const BYTE*>(text.c_str());
        bytes.insert(bytes.end(), raw, raw + (text.size() + 1) * sizeof(wchar_t));
        return at;
    }
    void putU32(DWORD offset, DWORD value) { std::memcpy(bytes.data() + offset, &value, 4); }
    void putU64(DWORD offset, ULONGLONG value) { std::memcpy(bytes.data() + offset, &value, 8); }
    static LPWSTR relative(DWORD offset) { return reinterpret_cast<LPWSTR>(static_cast<ULONG_PTR>(offset - kInfoOffset)); }
    std::vector<BYTE> finish()
    {
        putU32(48, kInfoOffset);
        std::memcpy(bytes.data() + kInfoOffset, &info, sizeof(info));
        return bytes;
    }
};

std::vector<BYTE> standardReply(bool ownPrinter)
{
    ReplyBuilder reply;
    reply.putU32(8, 11);
    reply.putU32(28, 22);
    reply.putU32(44, 33);
    reply.info.JobId = 77;
    reply.info.TotalPages = 9;
    reply.info.pDocument = ReplyBuilder::relative(reply.addText(L"Doc"));
    reply.info.pPrinterName = ReplyBuilder::relative(reply.addText(L"JobQ"));
    if (ownPrinter)
        reply.putU64(56, reply.addText(L"Own"));
    return reply.finish();
}

std::wstring textAt(const std::vector<BYTE>& block, DWORD offsetField)
{
    DWORD offset = 0;
    std::memcpy(&offset, block.data() + offsetField, 4);
    if (offset == 0)
        return L"<none>";
    return reinterpret_cast<const wchar_t*>(block.data() + offset);
}

DWORD u32At(const std::vector<BYTE>& block, DWORD offset)
{
    DWORD value = 0;
    std::memcpy(&value, block.data() + offset, 4);
    return value;
}

TEST(AccountingBlock, BuiltFromTheReplyAndTheSettings)
{
    const struct {
        const char* name;
        bool ownPrinter;
        LumoraUI::AccountingTexts texts;
        const wchar_t* printer;
        size_t size;
    } rows[] = {
        // 60 + "Doc" 8 + "Own" 8 + "me" 6 + "http://a" 18 + "" 2 + "" 2
        {"own printer name, URL only", true, {L"me", L"http://a", L"", L""}, L"Own", 104},
        // 60 + "Doc" 8 + "JobQ" 10 + "me" 6 + "" 2 + "acct.dll" 18 + "Go" 6
        {"the job's printer name, module and entry", false, {L"me", L"", L"acct.dll", L"Go"}, L"JobQ", 110},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const std::vector<BYTE> reply = standardReply(row.ownPrinter);
        LumoraUI::AccountingReply parsed;
        ASSERT_TRUE(LumoraUI::parseAccountingReply(reply.data(), static_cast<DWORD>(reply.size()), parsed));
        const std::vector<BYTE> block = LumoraUI::accountingBlock(parsed, row.texts);
        ASSERT_EQ(row.size, block.size());
        const struct {
            DWORD offset, value;
        } fields[] = {{0, 0xF32AA23F}, {4, 0x10000}, {8, 77}, {12, 33}, {16, 11}, {20, 22}, {24, 9}, {28, 0xFFFFFFFF},
                      {32, 56}};
        for (const auto& field : fields) {
            SCOPED_TRACE(field.offset);
            EXPECT_EQ(field.value, u32At(block, field.offset));
        }
        EXPECT_EQ(L"Doc", textAt(block, 32));
        EXPECT_EQ(row.printer, textAt(block, 36));
        EXPECT_EQ(L"me", textAt(block, 40));
        EXPECT_EQ(row.texts.url.empty() ? L"<none>" : row.texts.url, textAt(block, 44));
        EXPECT_EQ(row.texts.module.empty() ? L"<none>" : row.texts.module, textAt(block, 48));
        EXPECT_EQ(row.texts.api.empty() ? L"<none>" : row.texts.api, textAt(block, 52));
    }
}

TEST(AccountingBlock, RepliesThatPointOutsideThemselvesAreRefused)
{
    const std::vector<BYTE> good = standardReply(true);
    const DWORD size = static_cast<DWORD>(good.size());
    struct Row {
        const char* name;
        std::vector<BYTE> reply;
        DWORD size;
    };
    auto with = [&good](auto change) {
        std::vector<BYTE> bytes = good;
        change(bytes);
        return bytes;
    };
    auto put32 = [](std::vector<BYTE>& b, DWORD at, DWORD v) { std::memcpy(b.data() + at, &v, 4); };
    auto put64 = [](std::vector<BYTE>& b, DWORD at, ULONGLONG v) { std::memcpy(b.data() + at, &v, 8); };
    const DWORD documentField = kInfoOffset + offsetof(JOB_INFO_1W, pDocument);
    const Row rows[] = {
        {"shorter than its fixed part", good, 63},
        {"job record past the end", with([&](auto& b) { put32(b, 48, size - 8); }), size},
        {"job record offset huge", with([&](auto& b) { put32(b, 48, 0xFFFFFFF0); }), size},
        {"document past the end", with([&](auto& b) { put64(b, documentField, 0x7FFFFFFFull); }), size},
        {"document at an odd offset", with([&](auto& b) { put64(b, documentField, 41); }), size},
        {"own printer name past the end", with([&](auto& b) { put64(b, 56, size + 2); }), size},
        {"own printer name offset wrapping to the start", with([&](auto& b) { put64(b, 56, 0x100000000ull + 64); }),
         size},
        {"own printer name without its terminator", good, size - 2},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        LumoraUI::AccountingReply parsed;
        parsed.jobId = 5;
        EXPECT_FALSE(LumoraUI::parseAccountingReply(row.reply.data(), row.size, parsed));
        EXPECT_EQ(5u, parsed.jobId) << "untouched";
    }
    LumoraUI::AccountingReply parsed;
    EXPECT_FALSE(LumoraUI::parseAccountingReply(nullptr, 100, parsed));
}

class JobAccountingExchangeTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(hkcu_.isActive()); }
    void TearDown() override
    {
        if (MPrint::ManagedPrintPolicy::hasInstance())
            delete MPrint::ManagedPrintPolicy::instance();
    }
    testenv::PrivateCurrentUser hkcu_;
};

TEST_F(JobAccountingExchangeTest, MonitorReplyBecomesTheCallersBlock)
{
    ASSERT_TRUE(qzmon::registerStandInMonitors());
    testspool::ScopedQueue queue(testspool::uniqueQueueName(L"Accounting"));
    ASSERT_EQ(DWORD{ERROR_SUCCESS}, queue.error());
    const std::string name = testenv::narrow(queue.name());
    DWORD job = 0;
    ASSERT_EQ(DWORD{ERROR_SUCCESS}, testspool::control()->addJob(queue.name().c_str(), L"Report", 0, &job));

    void* block = reinterpret_cast<void*>(1);
    SetLastError(0);
    EXPECT_FALSE(LumoraUI::getJobAccountingInfo(job, name.c_str(), &block));
    EXPECT_EQ(DWORD{ERROR_INVALID_PARAMETER}, GetLastError());
    EXPECT_FALSE(LumoraUI::getJobAccountingInfo(job, name.c_str(), nullptr));
    // The monitor does not know the job yet.
    block = nullptr;
    EXPECT_FALSE(LumoraUI::getJobAccountingInfo(job, name.c_str(), &block));
    EXPECT_EQ(nullptr, block);

    const std::wstring printer = queue.name();
    ASSERT_EQ(DWORD{ERROR_SUCCESS},
              JobInfoRecord::startOfDocument(job, GetCurrentProcessId(), false, &printer, L"Lab").send(nullptr, nullptr));
    // Neither URL nor module: nothing handed out.
    EXPECT_FALSE(LumoraUI::getJobAccountingInfo(job, name.c_str(), &block));
    EXPECT_EQ(nullptr, block);

    ASSERT_EQ(DWORD{ERROR_SUCCESS}, queue.setString(L"", L"JobAccountingURL", L"http://acct.example/"));
    ASSERT_EQ(DWORD{ERROR_SUCCESS}, queue.setString(L"", L"Userid", L"jdoe"));
    ASSERT_TRUE(LumoraUI::getJobAccountingInfo(job, name.c_str(), &block));
    ASSERT_NE(nullptr, block);
    const SIZE_T size = GlobalSize(block);
    const std::vector<BYTE> bytes(static_cast<BYTE*>(block), static_cast<BYTE*>(block) + size);
    GlobalFree(block);
    ASSERT_GE(bytes.size(), 60u);
    EXPECT_EQ(0xF32AA23Fu, u32At(bytes, 0));
    EXPECT_EQ(job, u32At(bytes, 8));
    EXPECT_EQ(printer, textAt(bytes, 36));
    EXPECT_EQ(L"jdoe", textAt(bytes, 40));
    EXPECT_EQ(L"http://acct.example/", textAt(bytes, 44));
    wchar_t local[256] = {};
    GetEnvironmentVariableW(L"LocalPrinterName", local, 256);
    EXPECT_EQ(printer, local);

    EXPECT_TRUE(LumoraUI::finishedJobAccounting(job));
    EXPECT_FALSE(LumoraUI::finishedJobAccounting(job)) << "forgotten";
}

// The attributes record as the monitor receives it, byte for byte: the
// message header, kind 2, the duplex flag at 16, the level at 36 and the
// level's ATTRIBUTE_INFO structure from 40; nothing else is set.
TEST_F(JobAccountingExchangeTest, AttributesRecordCarriesTheLevelItsStructureAndTheDuplexChoice)
{
    ASSERT_TRUE(qzmon::registerStandInMonitors());
    // Distinct non-zero bytes: a copy longer than the level's structure shows.
    BYTE attributes[64];
    for (size_t i = 0; i < sizeof(attributes); ++i)
        attributes[i] = static_cast<BYTE>(0x41 + i);
    DEVMODEW duplex = {};
    duplex.dmSize = sizeof(DEVMODEW);
    duplex.dmFields = DM_DUPLEX;
    duplex.dmDuplex = DMDUP_VERTICAL;
    DEVMODEW simplex = duplex;
    simplex.dmDuplex = DMDUP_SIMPLEX;
    DEVMODEW shortMode = duplex; // too short to hold its duplex choice
    shortMode.dmSize = offsetof(DEVMODEW, dmDuplex);
    const struct {
        const char* name;
        const DEVMODEW* mode;
        DWORD level;
        DWORD copied; // bytes of the structure
        DWORD duplexFlag;
    } rows[] = {
        {"level 1, duplex", &duplex, 1, 28, 1},
        {"level 2, simplex", &simplex, 2, 32, 0},
        {"level 3, no device mode", nullptr, 3, 36, 0},
        {"another level: no structure", &duplex, 4, 0, 1},
        {"a device mode too short for its duplex choice", &shortMode, 1, 28, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<BYTE> expected(96 + 88, 0);
        const auto put = [&expected](DWORD offset, DWORD value) { std::memcpy(&expected[offset], &value, 4); };
        put(0, 96 + 88);
        put(4, 7);
        put(8 + 0, 88);
        put(8 + 4, 2);
        put(8 + 16, row.duplexFlag);
        put(8 + 36, row.level);
        std::memcpy(&expected[8 + 40], attributes, row.copied);

        EXPECT_TRUE(LumoraUI::setJobAttributes(row.mode, row.level, attributes));
        const auto calls = qzmon::receivedCalls(kKeravinMonitorName, GetCurrentProcessId());
        ASSERT_FALSE(calls.empty());
        EXPECT_EQ(L"JobInfoData", calls.back().command);
        EXPECT_EQ(expected, calls.back().input);
    }

    // Without attributes nothing is sent.
    const size_t before = qzmon::receivedCalls(kKeravinMonitorName, GetCurrentProcessId()).size();
    EXPECT_FALSE(LumoraUI::setJobAttributes(&duplex, 1, nullptr));
    EXPECT_EQ(before, qzmon::receivedCalls(kKeravinMonitorName, GetCurrentProcessId()).size());
}

} // namespace
