// Waypost job events: the records sent to the monitor and the block handed
// to its components (golden bytes), replies that point outside themselves,
// and start, query and finish of jobs through the monitor stand-in.
#include "extension/WaypostJobEvents.h"

#include "access/MonitorAccess.h"
#include "extension/LumoraPrintingExtension.h"
#include "support/PolicyTestEnv.h"
#include "support/PrivateCurrentUser.h"
#include "support/SharedState.h"
#include "support/TestEnv.h"
#include "support/TestSpooler.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

VRELM_TEST_SHARES(policy_settings);

namespace {

using Bytes = std::vector<BYTE>;

// A record of the size with the given little-endian fields; every other byte zero.
struct Field {
    size_t offset;
    unsigned width;
    ULONGLONG value;
};
Bytes golden(size_t size, std::initializer_list<Field> fields, std::initializer_list<std::pair<size_t, std::wstring>> texts = {})
{
    Bytes bytes(size, 0);
    for (const Field& field : fields)
        std::memcpy(bytes.data() + field.offset, &field.value, field.width);
    for (const auto& text : texts)
        std::memcpy(bytes.data() + text.first, text.second.c_str(), (text.second.size() + 1) * sizeof(wchar_t));
    return bytes;
}

DWORD u32At(const Bytes& bytes, size_t offset)
{
    DWORD value = 0;
    std::memcpy(&value, bytes.data() + offset, 4);
    return value;
}

std::wstring textAt(const Bytes& block, size_t offsetField)
{
    const DWORD offset = u32At(block, offsetField);
    if (offset == 0)
        return L"<none>";
    return reinterpret_cast<const wchar_t*>(block.data() + offset);
}

TEST(WaypostRecords, GoldenBytes)
{
    const struct {
        const char* name;
        Bytes made;
        Bytes expected;
    } rows[] = {
        {"query", LumoraUI::waypostRequest(LumoraUI::kWaypostQuery, 0x1234),
         golden(96, {{0, 4, 96}, {4, 4, 6}, {8, 8, 2}, {16, 8, 0x1234}})},
        {"finish", LumoraUI::waypostRequest(LumoraUI::kWaypostFinished, 0xFFFFFFFF),
         golden(96, {{0, 4, 96}, {4, 4, 6}, {8, 8, 3}, {16, 8, 0xFFFFFFFF}})},
        {"start, duplex, copies sign-extended", LumoraUI::waypostJobStartRecord(7, true, -2, L"Lab"),
         golden(104, {{0, 4, 104}, {4, 4, 6}, {8, 8, 1}, {16, 8, 7}, {24, 8, 1}, {32, 8, 1},
                      {40, 8, 0xFFFFFFFFFFFFFFFEull}, {64, 8, 96}},
                {{96, L"Lab"}})},
        {"start, simplex, empty name", LumoraUI::waypostJobStartRecord(9, false, 3, L""),
         golden(98, {{0, 4, 98}, {4, 4, 6}, {8, 8, 1}, {16, 8, 9}, {32, 8, 1}, {40, 8, 3}, {64, 8, 96}})},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(row.expected, row.made);
    }
}

// A reply as the monitor lays it out: fields at 0-72, strings from 88.
Bytes reply(std::initializer_list<const wchar_t*> strings)
{
    Bytes bytes(88, 0);
    const ULONGLONG fields[] = {2, 77, 11, 22, 33, 44};
    std::memcpy(bytes.data(), fields, sizeof(fields));
    DWORD field = 48;
    for (const wchar_t* text : strings) {
        ULONGLONG offset = 0;
        if (text) {
            offset = bytes.size();
            const BYTE* raw = reinterpret_cast<const BYTE*>(text);
            bytes.insert(bytes.end(), raw, raw + (std::wcslen(text) + 1) * sizeof(wchar_t));
        }
        std::memcpy(bytes.data() + field, &offset, 8);
        field += 8;
    }
    return bytes;
}

TEST(WaypostJobInfoBlock, LaidOutFromTheReplyAndTheSettings)
{
    LumoraUI::WaypostTexts none;
    LumoraUI::WaypostTexts some;
    some.accountingUser = L"me";
    some.accountingUrl = L"http://a";
    some.accountingModule = L"m";
    some.deliveryUrl = L"http://d";
    some.completionProgram = L"p.exe";
    const struct {
        const char* name;
        Bytes reply;
        const LumoraUI::WaypostTexts* texts;
        Bytes expected;
    } rows[] = {
        // 92 + "Dest" 10 + "Q" 4; no settings strings: their offsets stay 0.
        {"settings empty, third reply string absent", reply({L"Dest", L"Q", nullptr}), &none,
         golden(106, {{0, 4, 0xE49F4EF9}, {4, 4, 0x10000}, {8, 4, 77}, {12, 4, 11}, {16, 4, 22}, {20, 4, 33},
                      {24, 4, 44}, {28, 4, 88}, {32, 4, 98}},
                {{88, L"Dest"}, {98, L"Q"}})},
        // Laid out: reply 3, user, module, URL, delivery URL, program; the
        // offsets sit in their fields' order, not the layout's.
        {"some settings, one reply string", reply({nullptr, nullptr, L"R"}), &some,
         golden(92 + 4 + 6 + 4 + 18 + 18 + 12,
                {{0, 4, 0xE49F4EF9}, {4, 4, 0x10000}, {8, 4, 77}, {12, 4, 11}, {16, 4, 22}, {20, 4, 33}, {24, 4, 44},
                 {36, 4, 88}, {40, 4, 92}, {48, 4, 98}, {44, 4, 102}, {56, 4, 120}, {80, 4, 138}},
                {{88, L"R"}, {92, L"me"}, {98, L"m"}, {102, L"http://a"}, {120, L"http://d"}, {138, L"p.exe"}})},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        LumoraUI::WaypostReply parsed;
        ASSERT_TRUE(LumoraUI::parseWaypostReply(row.reply.data(), static_cast<DWORD>(row.reply.size()), parsed));
        EXPECT_EQ(row.expected, LumoraUI::waypostJobInfoBlock(parsed, *row.texts));
    }
}

TEST(WaypostJobInfoBlock, RepliesThatPointOutsideThemselvesAreRefused)
{
    const Bytes good = reply({L"Dest", L"Q", L"R"});
    const DWORD size = static_cast<DWORD>(good.size());
    auto with = [&good](size_t field, ULONGLONG offset) {
        Bytes bytes = good;
        std::memcpy(bytes.data() + field, &offset, 8);
        return bytes;
    };
    const struct {
        const char* name;
        Bytes reply;
        DWORD size;
    } rows[] = {
        {"shorter than its fixed fields", good, 87},
        {"first string past the end", with(48, size), size},
        {"second string far outside", with(56, 0x7FFFFFF0ull), size},
        {"third string wrapping to the start", with(64, 0x100000000ull + 88), size},
        {"string at an odd offset", with(48, 89), size},
        {"last string without its terminator", good, size - 2},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        LumoraUI::WaypostReply parsed;
        parsed.jobId = 5;
        EXPECT_FALSE(LumoraUI::parseWaypostReply(row.reply.data(), row.size, parsed));
        EXPECT_EQ(5u, parsed.jobId) << "untouched";
    }
    LumoraUI::WaypostReply parsed;
    EXPECT_FALSE(LumoraUI::parseWaypostReply(nullptr, 200, parsed));
}

class WaypostExchangeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(hkcu_.isActive());
        ASSERT_TRUE(qzmon::registerStandInMonitors());
        testenv::clearPolicyState();
        extension_ = LumoraPrintingExtension::instance();
        ASSERT_NE(nullptr, extension_);
        ASSERT_EQ(DWORD{ERROR_SUCCESS}, queue_.error());
        HANDLE opened = nullptr;
        ASSERT_TRUE(OpenPrinterW(const_cast<wchar_t*>(queue_.name().c_str()), &opened, nullptr));
        printer_.reset(opened);
    }
    void TearDown() override
    {
        printer_.reset();
        delete LumoraPrintingExtension::current();
        testenv::clearPolicyState();
    }

    // A job whose device mode (the queue's default) asks for the copies and duplex.
    DWORD addJob(short copies, short duplex)
    {
        DEVMODEW mode = {};
        mode.dmSize = sizeof(mode);
        mode.dmFields = DM_COPIES | DM_DUPLEX;
        mode.dmCopies = copies;
        mode.dmDuplex = duplex;
        EXPECT_EQ(DWORD{ERROR_SUCCESS}, testspool::control()->setQueueValue(queue_.name().c_str(), L"",
                                                                             L"Default DevMode", REG_BINARY, &mode,
                                                                             sizeof(mode)));
        DWORD job = 0;
        EXPECT_EQ(DWORD{ERROR_SUCCESS}, testspool::control()->addJob(queue_.name().c_str(), L"Report", 0, &job));
        return job;
    }

    Bytes jobInfo(DWORD job)
    {
        void* block = nullptr;
        if (!extension_->getWaypostJobInfo(job, testenv::narrow(queue_.name()).c_str(), &block) || !block)
            return {};
        const Bytes bytes(static_cast<BYTE*>(block), static_cast<BYTE*>(block) + GlobalSize(block));
        GlobalFree(block);
        return bytes;
    }

    testenv::PrivateCurrentUser hkcu_;
    testspool::ScopedQueue queue_{testspool::uniqueQueueName(L"Waypost")};
    ScopedPrinter printer_;
    LumoraPrintingExtension* extension_ = nullptr;
};

// The monitor stand-in's fault switch for a job it knows.
bool setReplyFault(DWORD job)
{
    const std::wstring path = L"SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\QZ Keravin Print Monitor\\"
                              L"WaypostJobs\\" + std::to_wstring(job);
    const DWORD one = 1;
    return RegSetKeyValueW(HKEY_LOCAL_MACHINE, path.c_str(), L"ReplyFault", REG_DWORD, &one, 4) == ERROR_SUCCESS;
}

TEST_F(WaypostExchangeTest, CopiesAndDuplexComeFromTheJobsDeviceMode)
{
    const struct {
        const char* name;
        short copies, duplex;
        bool readable;
        short expectedCopies;
        bool expectedDuplex;
    } rows[] = {
        {"simplex", 2, DMDUP_SIMPLEX, true, 2, false},
        {"long-edge duplex", 3, DMDUP_VERTICAL, true, 3, true},
        {"job not in the queue", 4, DMDUP_VERTICAL, false, 1, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const DWORD job = row.readable ? addJob(row.copies, row.duplex) : 0x7FFFFF00;
        short copies = 0;
        bool duplex = !row.expectedDuplex;
        LumoraUI::readJobCopiesAndDuplex(printer_.get(), job, copies, duplex);
        EXPECT_EQ(row.expectedCopies, copies);
        EXPECT_EQ(row.expectedDuplex, duplex);
    }
}

TEST_F(WaypostExchangeTest, StartQueryAndFinishAJob)
{
    const struct {
        const char* name;
        const wchar_t* staticMode; // printer data, null: absent
        const wchar_t* staticName;
        const wchar_t* expected;
    } rows[] = {
        {"not in static mode", nullptr, L"Static Lab", L"Chosen Lab"},
        {"static mode with its destination name", L"1", L"Static Lab", L"Static Lab"},
        {"static mode without a destination name", L"1", nullptr, L"Chosen Lab"},
        {"static mode other than 1", L"2", L"Static Lab", L"Chosen Lab"},
    };
    extension_->setDestination(L"Chosen Lab");
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        testspool::control()->setQueueValue(queue_.name().c_str(), L"PrinterDriverData", L"StaticMode", REG_DWORD,
                                            nullptr, 0);
        testspool::control()->setQueueValue(queue_.name().c_str(), L"PrinterDriverData", L"mplDestinationName",
                                            REG_SZ, nullptr, 0);
        if (row.staticMode) {
            ASSERT_EQ(DWORD{ERROR_SUCCESS}, queue_.setDword(L"", L"StaticMode", std::stoul(row.staticMode)));
        }
        if (row.staticName) {
            ASSERT_EQ(DWORD{ERROR_SUCCESS}, queue_.setString(L"", L"mplDestinationName", row.staticName));
        }
        const DWORD job = addJob(3, DMDUP_HORIZONTAL);

        EXPECT_TRUE(jobInfo(job).empty()) << "the monitor does not know the job yet";
        ASSERT_TRUE(extension_->sendWaypostJobStart(printer_.get(), job));
        const Bytes block = jobInfo(job);
        ASSERT_GE(block.size(), 92u);
        EXPECT_EQ(0xE49F4EF9u, u32At(block, 0));
        EXPECT_EQ(job, u32At(block, 8));
        // The stand-in answers duplex, the start's constant, copies and its state.
        EXPECT_EQ(1u, u32At(block, 12));
        EXPECT_EQ(1u, u32At(block, 16));
        EXPECT_EQ(3u, u32At(block, 20));
        EXPECT_EQ(row.expected, textAt(block, 28));

        // A reply whose string lies outside it makes no block.
        ASSERT_TRUE(setReplyFault(job));
        void* faulty = nullptr;
        EXPECT_FALSE(extension_->getWaypostJobInfo(job, "any", &faulty));
        EXPECT_EQ(nullptr, faulty);

        EXPECT_TRUE(extension_->finishWaypostJob(job));
        EXPECT_FALSE(extension_->finishWaypostJob(job)) << "forgotten";
        EXPECT_TRUE(jobInfo(job).empty());
    }
}

} // namespace
