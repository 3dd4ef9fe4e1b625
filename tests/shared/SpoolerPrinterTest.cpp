// One local queue's driver name, description and rename to a free name.
#include "shared/CKRVOs.h"
#include "shared/SpoolerPrinter.h"
#include "support/TestEnv.h"
#include "support/TestSpooler.h"

#include <gtest/gtest.h>

using testspool::ScopedQueue;

// The words are searched in a fixed order and the last one found wins,
// wherever it stands in the name.
TEST(SpoolerPrinter, PdlWordIsTheLastOneFoundInTheDriverName)
{
    struct Row {
        const wchar_t* driver;
        const wchar_t* word;
    } rows[] = {
        {L"QZ Color PCL 6", L"PCL 6"}, {L"QZ Mono PS", L"PS"},    {L"QZ Office XPS", L"XPS"},
        {L"QZ PCL 5 and PS", L"PCL 5"},   {L"QZ Generic", L""},      {L"qz pcl 6", L""},
        {L"QZ PCL 3", L"PCL 3"},       {L"PS then PCL 5", L"PCL 5"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testenv::narrow(row.driver));
        EXPECT_EQ(SpoolerPrinter::pdlWordOf(row.driver), row.word);
    }
}

TEST(SpoolerPrinter, DescriptionFromThePortNamedValueAndRenameToAFreeName)
{
    ASSERT_NE(testspool::control(), nullptr);
    const std::wstring base = testspool::uniqueQueueName(L"Office");
    ScopedQueue office(base, L"QZ Color PCL 6", L"LPT2:");
    ScopedQueue copy1(base + L" (Copy 1)");
    ScopedQueue other(testspool::uniqueQueueName(L"Renamed"), L"QZ Color PCL 6", L"LPT2:");
    ASSERT_EQ(other.error(), DWORD{ERROR_SUCCESS});
    {
        SpoolerPrinter printer(other.name());
        EXPECT_EQ(printer.getDriverName(), L"QZ Color PCL 6");
        EXPECT_EQ(printer.getDescription(), L"");  // no value named after the port
        other.setString(L"", L"LPT2:", L" leading blank");
        EXPECT_EQ(printer.getDescription(), L"");
        other.setString(L"", L"LPT2:", L"Front Desk");
        EXPECT_EQ(printer.getDescription(), L"Front Desk KRV PCL 6");
        EXPECT_FALSE(printer.rename(L""));
        ASSERT_TRUE(printer.rename(base));
        // The object carries the name the queue really got.
        EXPECT_EQ(printer.getPrinterName(), base + L" (Copy 2)");
    }
    HANDLE renamed = nullptr;
    ASSERT_TRUE(OpenPrinterW(const_cast<wchar_t*>((base + L" (Copy 2)").c_str()), &renamed, nullptr));
    ClosePrinter(renamed);
    testspool::control()->removeQueue((base + L" (Copy 2)").c_str());
}

TEST(CKRVOs, WineReportsAWorkstation)
{
    EXPECT_FALSE(CKRVOs().IsServer());
}
