// PrinterSettings against the spooler stand-in: direct writes with rights,
// deferred batches without them, committed by the Keravin monitor's pipe
// host; and the batch itself.
#include "destination/PrinterDataValues.h"
#include "destination/PrinterSettings.h"
#include "support/MonitorPipeHost.h"
#include "support/SharedState.h"
#include "support/TestSpooler.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

VRELM_TEST_SHARES(qzkrvmon_pipe);

namespace {

DWORD queueDword(const std::wstring& queue, const wchar_t* name, DWORD fallback = 0xFFFFFFFF)
{
    HANDLE printer = nullptr;
    if (!OpenPrinterW(const_cast<LPWSTR>(queue.c_str()), &printer, nullptr))
        return fallback;
    DWORD type = 0, value = fallback, needed = 0;
    if (GetPrinterDataW(printer, const_cast<LPWSTR>(name), &type, reinterpret_cast<BYTE*>(&value), sizeof(value),
                        &needed) != ERROR_SUCCESS)
        value = fallback;
    ClosePrinter(printer);
    return value;
}

std::wstring queueString(const std::wstring& queue, const wchar_t* name)
{
    HANDLE printer = nullptr;
    if (!OpenPrinterW(const_cast<LPWSTR>(queue.c_str()), &printer, nullptr))
        return L"<no queue>";
    wchar_t text[128] = {};
    DWORD type = 0, needed = 0;
    const DWORD error = GetPrinterDataW(printer, const_cast<LPWSTR>(name), &type, reinterpret_cast<BYTE*>(text),
                                        sizeof(text) - 2, &needed);
    ClosePrinter(printer);
    return error == ERROR_SUCCESS ? text : L"<absent>";
}

TEST(PrinterDataValuesTest, OneEntryPerExactNameInInsertionOrder)
{
    MPrint::PrinterDataValues batch;
    batch.addString(L"Lumo", L"first");
    batch.addDword(L"StaticMode", 1);
    batch.addString(L"Lumo", L"second, longer");
    batch.addString(L"lumo", L"other case");
    const BYTE multi[] = {'a', 0, 0, 0, 0, 0};
    batch.addMultiString(L"StaticMode", sizeof(multi), multi);
    DWORD count = 0;
    PrinterDataValue* const* values = batch.getValues(&count);
    ASSERT_EQ(count, 3u);
    struct Row {
        const wchar_t* name;
        DWORD type;
        DWORD size;
    };
    const Row rows[] = {{L"Lumo", REG_SZ, 30}, {L"StaticMode", REG_MULTI_SZ, 6}, {L"lumo", REG_SZ, 22}};
    for (DWORD i = 0; i < count; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(values[i]->name, rows[i].name);
        EXPECT_EQ(values[i]->type, rows[i].type);
        EXPECT_EQ(values[i]->size, rows[i].size);
    }
    EXPECT_STREQ(reinterpret_cast<const wchar_t*>(values[0]->data.get()), L"second, longer");
    EXPECT_EQ(std::memcmp(values[1]->data.get(), multi, sizeof(multi)), 0);
}

class PrinterSettingsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(queue_.error(), 0u);
        ASSERT_EQ(queue_.setDword(L"", L"StaticMode", 0), 0u);
    }
    const std::wstring& name() const { return queue_.name(); }

    testspool::ScopedQueue queue_{testspool::uniqueQueueName(L"Settings")};
};

TEST_F(PrinterSettingsTest, WritesGoStraightToAWritableQueue)
{
    {
        PrinterSettings settings(name().c_str(), PRINTER_ALL_ACCESS);
        EXPECT_TRUE(settings.setDword(L"StaticMode", 1));
        EXPECT_TRUE(settings.setString(L"mplDestinationName", L"Front desk"));
        EXPECT_EQ(queueDword(name(), L"StaticMode"), 1u);
        EXPECT_EQ(queueString(name(), L"mplDestinationName"), L"Front desk");
        std::wstring text;
        EXPECT_TRUE(settings.getString(L"mplDestinationName", text));
        EXPECT_EQ(text, L"Front desk");
        EXPECT_TRUE(settings.deleteValue(L"mplDestinationName"));
        text = L"untouched";
        EXPECT_FALSE(settings.getString(L"mplDestinationName", text));
        EXPECT_EQ(text, L"untouched");
        EXPECT_FALSE(settings.deleteValue(nullptr));
        EXPECT_FALSE(settings.commitDeferred());
    }
    PrinterSettings missing(L"No Such Queue", PRINTER_ALL_ACCESS);
    DWORD value = 7;
    EXPECT_FALSE(missing.getDword(L"StaticMode", value));
    EXPECT_FALSE(missing.setDword(L"StaticMode", 1));
    EXPECT_EQ(value, 7u);
}

// Data without a terminator, of any type, is read no further than its size.
TEST_F(PrinterSettingsTest, StringReadIsBoundedByTheStoredSize)
{
    const wchar_t unterminated[] = {L'A', L'B', L'C'};
    ASSERT_EQ(testspool::control()->setQueueValue(name().c_str(), L"PrinterDriverData", L"Raw", REG_BINARY,
                                                  unterminated, sizeof(unterminated)),
              0u);
    const BYTE odd[] = {'Q', 0, 'Z'};
    ASSERT_EQ(testspool::control()->setQueueValue(name().c_str(), L"PrinterDriverData", L"Odd", REG_BINARY, odd,
                                                  sizeof(odd)),
              0u);
    PrinterSettings settings(name().c_str(), PRINTER_ALL_ACCESS);
    std::wstring text;
    ASSERT_TRUE(settings.getString(L"Raw", text));
    EXPECT_EQ(text, L"ABC");
    ASSERT_TRUE(settings.getString(L"Odd", text));
    EXPECT_EQ(text, L"Q");
}

TEST_F(PrinterSettingsTest, WithoutRightsWritesAreBatchedAndTheMonitorStoresThem)
{
    ASSERT_EQ(queue_.setString(L"", L"SpoolerOnly", L"from the queue"), 0u);
    MonitorPipeHost host;
    ASSERT_TRUE(host.ready());
    {
        testspool::ScopedUserRights user;
        PrinterSettings settings(name().c_str(), PRINTER_ALL_ACCESS);
        EXPECT_TRUE(settings.setDword(L"StaticMode", 1));
        DWORD value = 0;
        EXPECT_TRUE(settings.getDword(L"StaticMode", value));
        EXPECT_EQ(value, 1u);
        EXPECT_EQ(queueDword(name(), L"StaticMode"), 0u);  // the queue still holds its old value

        EXPECT_TRUE(settings.setString(L"mplDestinationName", L"first"));
        EXPECT_TRUE(settings.setString(L"mplDestinationName", L"Front desk"));
        std::wstring text;
        EXPECT_TRUE(settings.getString(L"mplDestinationName", text));
        EXPECT_EQ(text, L"Front desk");
        EXPECT_TRUE(settings.getString(L"SpoolerOnly", text));
        EXPECT_EQ(text, L"from the queue");

        // Deleting goes to the spooler, which refuses; the batched value stays.
        EXPECT_FALSE(settings.deleteValue(L"StaticMode"));
        EXPECT_TRUE(settings.getDword(L"StaticMode", value));
        EXPECT_EQ(value, 1u);
    }
    EXPECT_EQ(queueDword(name(), L"StaticMode"), 1u);
    EXPECT_EQ(queueString(name(), L"mplDestinationName"), L"Front desk");
}

// Values of a named key: a user's writes and deletions travel in one batch,
// in order, so a value deleted after it was batched is not brought back.
TEST_F(PrinterSettingsTest, KeyedValuesAndTheirDeletionsAreBatchedTogether)
{
    const wchar_t kKey[] = L"PrinterDriverData\\Sub";
    ASSERT_EQ(queue_.setString(kKey, L"Old", L"stale"), 0u);
    MonitorPipeHost host;
    ASSERT_TRUE(host.ready());
    struct Row {
        const char* name;
        bool user;
    };
    for (const Row& row : {Row{"administrator", false}, Row{"user", true}}) {
        SCOPED_TRACE(row.name);
        ASSERT_EQ(queue_.setString(kKey, L"Old", L"stale"), 0u);
        std::unique_ptr<testspool::ScopedUserRights> user;
        if (row.user)
            user = std::make_unique<testspool::ScopedUserRights>();
        {
            PrinterSettings settings(name().c_str(), PRINTER_ALL_ACCESS);
            EXPECT_EQ(settings.isDeferred(), row.user);
            EXPECT_TRUE(settings.setStringIn(kKey, L"Kept", L"new"));
            EXPECT_TRUE(settings.setStringIn(kKey, L"Dropped", L"briefly"));
            EXPECT_TRUE(settings.deleteValueIn(kKey, L"Dropped"));
            EXPECT_TRUE(settings.deleteValueIn(kKey, L"Old"));
            EXPECT_TRUE(settings.deleteValueIn(kKey, L"NeverThere"));
            std::wstring text = L"untouched";
            EXPECT_FALSE(settings.getStringIn(kKey, L"Dropped", text));
            EXPECT_TRUE(settings.getStringIn(kKey, L"Kept", text));
            EXPECT_EQ(text, L"new");
            EXPECT_EQ(settings.commitDeferred(), row.user);
        }
        HANDLE printer = nullptr;
        ASSERT_TRUE(OpenPrinterW(const_cast<LPWSTR>(name().c_str()), &printer, nullptr));
        for (const wchar_t* gone : {L"Dropped", L"Old"}) {
            DWORD type = 0, needed = 0;
            EXPECT_EQ(GetPrinterDataExW(printer, kKey, gone, &type, nullptr, 0, &needed), DWORD{ERROR_FILE_NOT_FOUND});
        }
        wchar_t kept[16] = {};
        DWORD type = 0, needed = 0;
        EXPECT_EQ(GetPrinterDataExW(printer, kKey, L"Kept", &type, reinterpret_cast<BYTE*>(kept), sizeof(kept) - 2,
                                    &needed),
                  DWORD{ERROR_SUCCESS});
        EXPECT_STREQ(kept, L"new");
        ClosePrinter(printer);
    }
}

TEST_F(PrinterSettingsTest, FailedCommitKeepsTheBatchForTheNextTry)
{
    MonitorPipeHost host;
    ASSERT_TRUE(host.ready());
    testspool::ScopedUserRights user;
    PrinterSettings settings(name().c_str(), PRINTER_ALL_ACCESS);
    EXPECT_TRUE(settings.setDword(L"LumoNewInstall", 0));
    EXPECT_TRUE(settings.setString(L"Model", L"QZ 4000"));

    // The queue is gone while the batch waits: the monitor cannot store it.
    ASSERT_EQ(testspool::control()->removeQueue(name().c_str()), 0u);
    EXPECT_FALSE(settings.commitDeferred());
    EXPECT_EQ(GetLastError(), DWORD{ERROR_INVALID_PRINTER_NAME});
    ASSERT_EQ(testspool::control()->addQueue(name().c_str(), L"Vrelm Test Driver", L"LPT1:", PRINTER_ATTRIBUTE_LOCAL),
              0u);
    EXPECT_TRUE(settings.commitDeferred());
    EXPECT_EQ(queueDword(name(), L"LumoNewInstall"), 0u);
    EXPECT_EQ(queueString(name(), L"Model"), L"QZ 4000");
    EXPECT_FALSE(settings.commitDeferred());  // nothing left

    EXPECT_TRUE(settings.setDword(L"Discarded", 1));
    settings.discardDeferred();
    EXPECT_FALSE(settings.commitDeferred());
    DWORD value = 0;
    EXPECT_FALSE(settings.getDword(L"Discarded", value));
}

TEST_F(PrinterSettingsTest, HandleConstructorReopensWithFullAccessAndNeverClosesTheCallersHandle)
{
    HANDLE callers = nullptr;
    ASSERT_TRUE(OpenPrinterW(const_cast<LPWSTR>(name().c_str()), &callers, nullptr));
    struct Row {
        const char* name;
        bool user;
        DWORD expected;  // what the queue holds afterwards: written directly, or left for a monitor
    };
    const Row rows[] = {{"administrator", false, 5}, {"user without a monitor", true, 0}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::unique_ptr<testspool::ScopedUserRights> user;
        if (row.user)
            user = std::make_unique<testspool::ScopedUserRights>();
        {
            PrinterSettings settings(callers);
            EXPECT_TRUE(settings.setDword(L"StaticMode", 5));
            DWORD value = 0;
            EXPECT_TRUE(settings.getDword(L"StaticMode", value));
            EXPECT_EQ(value, 5u);
            if (row.user)
                settings.discardDeferred();  // no monitor runs here: nothing to commit
        }
        EXPECT_EQ(queueDword(name(), L"StaticMode"), row.expected);
        DWORD needed = 0;
        GetPrinterW(callers, 2, nullptr, 0, &needed);
        EXPECT_EQ(GetLastError(), DWORD{ERROR_INSUFFICIENT_BUFFER}) << "the caller's handle was closed";
        ASSERT_EQ(queue_.setDword(L"", L"StaticMode", 0), 0u);
    }
    ClosePrinter(callers);
}

} // namespace
