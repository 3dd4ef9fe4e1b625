// The manager's printer-data members against the spooler stand-in: reads,
// string and number writes and "SupportsJCT", by an administrator, by a
// user, and with rights withdrawn after the queue was opened, where values
// go through the Keravin monitor's pipe host (or nowhere without it).
#include "tickets/JCTManager.h"
#include "support/MonitorPipeHost.h"
#include "support/QueueData.h"
#include "support/SharedState.h"
#include "support/TestSpooler.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>

VRELM_TEST_SHARES(qzkrvmon_pipe);

namespace {

using testspool::DataValues;

constexpr wchar_t kJCTData[] = L"PrinterDriverData\\JCTData";
constexpr wchar_t kProbe[] = L"Probe";

std::pair<DWORD, std::string> sz(const std::wstring& text) { return {REG_SZ, testspool::textBytes(text)}; }
std::pair<DWORD, std::string> number(DWORD value) { return {REG_DWORD, testspool::dwordBytes(value)}; }

// writeSupportsJCT's answer in the table's column of codes.
DWORD answer(bool stored) { return stored ? ERROR_SUCCESS : ERROR_GEN_FAILURE; }

enum class Rights { Administrator, User, Withdrawn };

class JCTManagerTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(queue_.error(), 0u); }
    const std::wstring& name() const { return queue_.name(); }

    // The key's values as the spooler holds them.
    DataValues stored() const
    {
        ScopedPrinter printer = testspool::openQueue(name(), PRINTER_ACCESS_USE);
        return printer ? testspool::enumDataValues(printer.get(), kJCTData) : DataValues{};
    }
    // The key holds exactly these values.
    void seed(const DataValues& values) const
    {
        const SpoolerControlApi* api = testspool::control();
        ASSERT_NE(api, nullptr);
        for (const auto& [value, data] : stored())
            ASSERT_EQ(api->setQueueValue(name().c_str(), kJCTData, value.c_str(), 0, nullptr, 0), 0u);
        for (const auto& [value, data] : values)
            ASSERT_EQ(api->setQueueValue(name().c_str(), kJCTData, value.c_str(), data.first, data.second.data(),
                                         static_cast<DWORD>(data.second.size())),
                      0u);
    }

    testspool::ScopedQueue queue_{testspool::uniqueQueueName(L"JCTManager")};
};

// Each row: a fresh manager for the queue, one call, its answer and output,
// whether the manager writes through the monitor, and the key's values
// while the manager lives and once it ended (its batch then committed).
TEST_F(JCTManagerTest, PrinterDataMembersWithAndWithoutRights)
{
    using Call = std::function<DWORD(JCTManager&, std::wstring&)>;
    const Call read = [](JCTManager& m, std::wstring& text) { return m.readPrinterDataString(kProbe, text); };
    const Call writeNew = [](JCTManager& m, std::wstring&) { return m.writeString(kProbe, L"new"); };
    const Call writeEmpty = [](JCTManager& m, std::wstring&) { return m.writeString(kProbe, L""); };
    const Call writeSeven = [](JCTManager& m, std::wstring&) { return m.writeDWORD(kProbe, 7); };
    const Call supports = [](JCTManager& m, std::wstring&) { return answer(m.writeSupportsJCT(1)); };

    const DataValues seeded = {{kProbe, sz(L"seed")}};
    const DataValues written = {{kProbe, sz(L"new")}};
    const DataValues seven = {{kProbe, number(7)}};
    const DataValues supported = {{kProbe, sz(L"seed")}, {L"SupportsJCT", number(1)}};
    const std::wstring untouched = L"untouched";
    struct Row {
        const char* name;
        Rights rights;
        bool monitor;
        DataValues seed;
        Call call;
        DWORD result;
        std::wstring text;  // the read's output
        bool throughMonitor;
        DataValues atOnce;
        DataValues afterwards;
    };
    const Row rows[] = {
        {"read, administrator", Rights::Administrator, false, seeded, read, ERROR_SUCCESS, L"seed", false, seeded,
         seeded},
        {"read, user", Rights::User, false, seeded, read, ERROR_SUCCESS, L"seed", true, seeded, seeded},
        {"read of an absent value", Rights::Administrator, false, {}, read, ERROR_FILE_NOT_FOUND, untouched, false,
         {}, {}},
        {"read of an empty value", Rights::Administrator, false, {{kProbe, {REG_SZ, ""}}}, read,
         ERROR_FILE_NOT_FOUND, untouched, false, {{kProbe, {REG_SZ, ""}}}, {{kProbe, {REG_SZ, ""}}}},
        {"read of text without its terminator, odd size", Rights::Administrator, false,
         {{kProbe, {REG_SZ, std::string("a\0b\0c", 5)}}}, read, ERROR_SUCCESS, L"ab", false,
         {{kProbe, {REG_SZ, std::string("a\0b\0c", 5)}}}, {{kProbe, {REG_SZ, std::string("a\0b\0c", 5)}}}},
        {"read of a value waiting for the monitor", Rights::Withdrawn, true, seeded,
         [](JCTManager& m, std::wstring& text) {
             m.writeString(kProbe, L"new");
             return m.readPrinterDataString(kProbe, text);
         },
         ERROR_SUCCESS, L"new", true, seeded, written},

        {"string, administrator", Rights::Administrator, false, seeded, writeNew, ERROR_SUCCESS, untouched, false,
         written, written},
        {"string, rights withdrawn", Rights::Withdrawn, true, seeded, writeNew, ERROR_SUCCESS, untouched, true,
         seeded, written},
        {"string, user", Rights::User, true, seeded, writeNew, ERROR_SUCCESS, untouched, true, seeded, written},
        {"string, user without a monitor: batched, never stored", Rights::User, false, seeded, writeNew,
         ERROR_SUCCESS, untouched, true, seeded, seeded},
        {"empty string, administrator", Rights::Administrator, false, seeded, writeEmpty, ERROR_SUCCESS, untouched,
         false, seeded, seeded},
        {"empty string, rights withdrawn: not even tried", Rights::Withdrawn, true, seeded, writeEmpty,
         ERROR_SUCCESS, untouched, false, seeded, seeded},
        {"string the spooler refuses for another reason", Rights::Administrator, true, seeded,
         [](JCTManager& m, std::wstring&) { return m.writeString(kProbe, L"new", L"PrinterDriverData\\\\JCTData"); },
         ERROR_INVALID_PARAMETER, untouched, false, seeded, seeded},

        {"number, administrator", Rights::Administrator, false, seeded, writeSeven, ERROR_SUCCESS, untouched, false,
         seven, seven},
        {"number, rights withdrawn", Rights::Withdrawn, true, seeded, writeSeven, ERROR_SUCCESS, untouched, true,
         seeded, seven},
        {"number, user", Rights::User, true, seeded, writeSeven, ERROR_SUCCESS, untouched, true, seeded, seven},

        {"SupportsJCT, administrator", Rights::Administrator, false, seeded, supports, ERROR_SUCCESS, untouched,
         false, supported, supported},
        {"SupportsJCT, rights withdrawn: stored before it answers", Rights::Withdrawn, true, seeded, supports,
         ERROR_SUCCESS, untouched, true, supported, supported},
        {"SupportsJCT, user", Rights::User, true, seeded, supports, ERROR_SUCCESS, untouched, true, supported,
         supported},
        {"SupportsJCT, user without a monitor", Rights::User, false, seeded, supports, ERROR_GEN_FAILURE, untouched,
         true, seeded, seeded},
        {"SupportsJCT, rights withdrawn without a monitor", Rights::Withdrawn, false, seeded, supports,
         ERROR_GEN_FAILURE, untouched, true, seeded, seeded},
        {"SupportsJCT commits the string waiting before it", Rights::Withdrawn, true, seeded,
         [](JCTManager& m, std::wstring&) {
             EXPECT_EQ(m.writeString(kProbe, L"new"), DWORD{ERROR_SUCCESS});
             return answer(m.writeSupportsJCT(1));
         },
         ERROR_SUCCESS, untouched, true, {{kProbe, sz(L"new")}, {L"SupportsJCT", number(1)}},
         {{kProbe, sz(L"new")}, {L"SupportsJCT", number(1)}}},
    };
    std::optional<MonitorPipeHost> host;  // kept from row to row while they want it
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        seed(row.seed);
        if (!row.monitor)
            host.reset();
        else if (!host)
            host.emplace();
        ASSERT_TRUE(!host || host->ready());
        std::optional<testspool::ScopedUserRights> rights;
        if (row.rights == Rights::User)
            rights.emplace();
        else if (row.rights == Rights::Withdrawn)
            rights.emplace(L"withdrawn");
        {
            JCTManager manager(name().c_str());
            std::wstring text = untouched;
            EXPECT_EQ(row.call(manager, text), row.result);
            EXPECT_EQ(text, row.text);
            EXPECT_EQ(manager.writesThroughMonitor(), row.throughMonitor);
            EXPECT_EQ(stored(), row.atOnce);
        }
        EXPECT_EQ(stored(), row.afterwards);
    }
}

} // namespace
