// A remote-desktop client's printer: the client and the printer's own name
// read from the queue's name (names without the parts included), and the
// stored client port read back whole however long it is.
#include "shared/AutoCreatedClientPort.h"

#include "core/ScopedHandle.h"
#include "support/TestSpooler.h"

#include <gtest/gtest.h>

#include <string>

using testspool::ScopedQueue;

namespace {

TEST(AutoCreatedClientPort, ClientAndOwnNameFromTheQueueName)
{
    const struct {
        const char* name;
        const wchar_t* printer;
        bool split;
        const wchar_t* server;
        const wchar_t* own;
    } rows[] = {
        {"remote desktop name", L"Office 1 (from CLIENT1)", true, L"\\\\CLIENT1", L"Office 1"},
        {"with its session", L"Office 1 (from CLIENT1) in session 3", true, L"\\\\CLIENT1", L"Office 1"},
        {"no parentheses", L"Plain", false, L"", L""},
        {"no closing parenthesis", L"Office (from CLIENT1", false, L"", L""},
        {"no word before it", L"Office (from )", false, L"", L""},
        {"closing parenthesis first", L")", false, L"", L""},
        {"no blank before it", L"Office(CLIENT1)", false, L"", L""},
        {"no opening parenthesis", L"Office from CLIENT2)", true, L"\\\\CLIENT2", L"Office from CLIENT2)"},
        {"opening parenthesis first", L"(from CLIENT3)", true, L"\\\\CLIENT3", L"(from CLIENT3)"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        std::wstring server = L"untouched", own = L"untouched";
        EXPECT_EQ(row.split, autocreated::splitClientPrinterName(row.printer, server, own));
        EXPECT_EQ(row.split ? row.server : L"untouched", server);
        EXPECT_EQ(row.split ? row.own : L"untouched", own);
    }
}

TEST(AutoCreatedClientPort, StoredPortIsReadWholeHoweverLong)
{
    ScopedQueue queue(testspool::uniqueQueueName(L"Client"));
    ASSERT_EQ(DWORD{ERROR_SUCCESS}, queue.error());
    HANDLE handle = nullptr;
    ASSERT_TRUE(OpenPrinterW(const_cast<wchar_t*>(queue.name().c_str()), &handle, nullptr));
    const ScopedPrinter printer(handle);

    std::wstring port = L"untouched";
    EXPECT_FALSE(autocreated::getAutoCreatedClientPort(printer.get(), port));
    EXPECT_EQ(L"untouched", port);
    EXPECT_FALSE(autocreated::getAutoCreatedClientPort(nullptr, port));

    for (const std::wstring& stored : {std::wstring(L"IP_10.0.0.7"), std::wstring(700, L'p')}) {
        ASSERT_EQ(DWORD{ERROR_SUCCESS}, queue.setString(L"", autocreated::kClientPortValue, stored));
        EXPECT_TRUE(autocreated::getAutoCreatedClientPort(printer.get(), port));
        EXPECT_EQ(stored, port);
    }
}

} // namespace
