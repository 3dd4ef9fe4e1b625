// The Keravin monitor's pipe host acting for an unprivileged process: Xcv
// through the pipe, printer data, a queue's port, a copy of a queue, and
// malformed messages that must not break it.
#include "access/MonitorAccess.h"
#include "destination/MonitorChannel.h"
#include "destination/PrinterDataValues.h"
#include "support/MonitorPipeHost.h"
#include "support/KeravinRecords.h"
#include "support/SharedState.h"
#include "support/TestEnv.h"
#include "support/TestSpooler.h"

#include <gtest/gtest.h>

#include <cstring>

VRELM_TEST_SHARES(qzkrvmon_pipe);

namespace {

constexpr wchar_t kKeravin[] = L"QZ Keravin Print Monitor";

class MonitorPipeHostTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(qzmon::registerStandInMonitors()); }
    void SetUp() override { ASSERT_TRUE(host_.ready()); }

    MonitorPipeHost host_;
};

DWORD readDword(const std::wstring& queue, const wchar_t* key, const wchar_t* value, DWORD& number)
{
    HANDLE printer = nullptr;
    if (!OpenPrinterW(const_cast<LPWSTR>(queue.c_str()), &printer, nullptr))
        return GetLastError();
    DWORD type = 0, needed = 0;
    const DWORD error = GetPrinterDataExW(printer, key, value, &type, reinterpret_cast<BYTE*>(&number),
                                          sizeof(number), &needed);
    ClosePrinter(printer);
    return error;
}

std::wstring readString(const std::wstring& queue, const wchar_t* key, const wchar_t* value)
{
    HANDLE printer = nullptr;
    if (!OpenPrinterW(const_cast<LPWSTR>(queue.c_str()), &printer, nullptr))
        return L"<no queue>";
    wchar_t text[128] = {};
    DWORD type = 0, needed = 0;
    const DWORD error = GetPrinterDataExW(printer, key, value, &type, reinterpret_cast<BYTE*>(text),
                                          sizeof(text) - 2, &needed);
    ClosePrinter(printer);
    return error == ERROR_SUCCESS ? text : L"<error " + std::to_wstring(error) + L">";
}

std::wstring queuePort(const std::wstring& queue)
{
    HANDLE printer = nullptr;
    if (!OpenPrinterW(const_cast<LPWSTR>(queue.c_str()), &printer, nullptr))
        return L"<no queue>";
    DWORD needed = 0;
    GetPrinterW(printer, 2, nullptr, 0, &needed);
    std::vector<BYTE> info(needed + 2);
    std::wstring port;
    if (needed && GetPrinterW(printer, 2, info.data(), needed, &needed))
        port = reinterpret_cast<PRINTER_INFO_2W*>(info.data())->pPortName;
    ClosePrinter(printer);
    return port;
}

TEST_F(MonitorPipeHostTest, XcvThroughThePipeReachesTheMonitor)
{
    testspool::ScopedUserRights user;
    const std::wstring server = L"pipesrv" + std::to_wstring(GetCurrentProcessId());
    MonitorChannel channel(kKeravin);
    ASSERT_TRUE(channel.openMonitor()) << GetLastError();
    const std::vector<BYTE> add = testenv::keravinCommandRecord(L"QZ UNC Port", L"\\\\" + server + L"\\share");
    wchar_t name[128] = {};
    DWORD needed = 0;
    ASSERT_TRUE(channel.xcvData(L"AddNewPort", add.data(), static_cast<DWORD>(add.size()),
                                reinterpret_cast<BYTE*>(name), sizeof(name), &needed));
    EXPECT_EQ(channel.getStatus(), 0u);
    EXPECT_EQ(std::wstring(name), server + L" share");
    EXPECT_EQ(needed, (server.size() + 7) * 2);
    // The monitor acted in the host, with the monitor's rights.
    const auto calls = qzmon::receivedCalls(kKeravin, host_.processId());
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.back().command, L"AddNewPort");
    EXPECT_EQ(calls.back().input, add);
    EXPECT_EQ(calls.back().access, DWORD{SERVER_ACCESS_ADMINISTER});

    // A refusal is the monitor's status, not a failed exchange.
    ASSERT_TRUE(channel.xcvData(L"AddNewPort", add.data(), static_cast<DWORD>(add.size()),
                                reinterpret_cast<BYTE*>(name), sizeof(name), &needed));
    EXPECT_EQ(channel.getStatus(), DWORD{ERROR_ALREADY_EXISTS});
    EXPECT_TRUE(channel.close());

    EXPECT_FALSE(channel.openPort(L"NoSuchPort"));
    EXPECT_EQ(GetLastError(), DWORD{ERROR_UNKNOWN_PORT});
    ASSERT_TRUE(channel.openPort((server + L" share").c_str()));
    EXPECT_TRUE(channel.close());

    const std::wstring keravin = std::wstring(L"SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\") + kKeravin;
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, (keravin + L"\\Ports\\" + server + L" share").c_str());
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, (keravin + L"\\QZ UNC Port\\" + server + L" share").c_str());
}

TEST_F(MonitorPipeHostTest, PrinterCommandsActWithMonitorRights)
{
    testspool::ScopedQueue queue(testspool::uniqueQueueName(L"PipeHost"));
    ASSERT_EQ(queue.error(), 0u);
    const std::wstring copyName = queue.name() + L" copy";
    testspool::ScopedUserRights user;

    MPrint::PrinterDataValues batch;
    batch.addDword(L"StaticMode", 1);
    batch.addString(L"PrinterDriverData\\BidiCache\\Model", L"QZ 4000");
    MonitorChannel channel(kKeravin);
    ASSERT_TRUE(channel.setPrinterData(queue.name().c_str(), &batch)) << GetLastError();
    DWORD staticMode = 0;
    EXPECT_EQ(readDword(queue.name(), L"PrinterDriverData", L"StaticMode", staticMode), 0u);
    EXPECT_EQ(staticMode, 1u);
    EXPECT_EQ(readString(queue.name(), L"PrinterDriverData\\BidiCache", L"Model"), L"QZ 4000");

    EXPECT_FALSE(channel.setPrinterData(L"No Such Queue", &batch));
    EXPECT_EQ(GetLastError(), DWORD{ERROR_INVALID_PRINTER_NAME});

    EXPECT_TRUE(channel.sendPrinterCommand(3, queue.name().c_str(), L"FILE:")) << GetLastError();
    EXPECT_EQ(queuePort(queue.name()), L"FILE:");
    EXPECT_FALSE(channel.sendPrinterCommand(3, queue.name().c_str(), L"NoSuchPort"));
    EXPECT_EQ(GetLastError(), DWORD{ERROR_UNKNOWN_PORT});
    EXPECT_TRUE(channel.sendPrinterCommand(6, queue.name().c_str(), nullptr));
    EXPECT_FALSE(channel.sendPrinterCommand(9, queue.name().c_str(), nullptr));
    EXPECT_EQ(GetLastError(), DWORD{ERROR_NOT_SUPPORTED});

    ASSERT_TRUE(channel.addPrinter(queue.name().c_str(), copyName.c_str())) << GetLastError();
    EXPECT_EQ(queuePort(copyName), L"FILE:");
    EXPECT_EQ(readString(copyName, L"PrinterDriverData\\BidiCache", L"Model"), L"QZ 4000");
    EXPECT_FALSE(channel.addPrinter(queue.name().c_str(), copyName.c_str()));
    EXPECT_EQ(GetLastError(), DWORD{ERROR_PRINTER_ALREADY_EXISTS});
    testspool::control()->removeQueue(copyName.c_str());
}

// Raw exchanges that a broken or hostile client might send.
std::vector<BYTE> roundTrip(const std::vector<BYTE>& request, size_t replySize)
{
    HANDLE pipe = CreateFileW(L"\\\\.\\pipe\\QZKRVMon", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                              nullptr);
    if (pipe == INVALID_HANDLE_VALUE)
        return {};
    DWORD done = 0;
    WriteFile(pipe, request.data(), static_cast<DWORD>(request.size()), &done, nullptr);
    std::vector<BYTE> reply(replySize);
    DWORD total = 0;
    while (total < replySize && ReadFile(pipe, reply.data() + total, static_cast<DWORD>(replySize - total), &done,
                                         nullptr) && done)
        total += done;
    CloseHandle(pipe);
    reply.resize(total);
    return reply;
}

TEST_F(MonitorPipeHostTest, MalformedMessagesAreRefusedAndTheHostCarriesOn)
{
    auto message = [](DWORD total, DWORD opcode) {
        std::vector<BYTE> bytes(total, 0);
        const DWORD magic = 0xB4789687;
        std::memcpy(&bytes[0], &magic, 4);
        std::memcpy(&bytes[4], &total, 4);
        std::memcpy(&bytes[8], &opcode, 4);
        return bytes;
    };
    auto put = [](std::vector<BYTE>& bytes, size_t offset, DWORD value) { std::memcpy(&bytes[offset], &value, 4); };
    auto error = [](const std::vector<BYTE>& reply) {
        DWORD success = 1, code = 0;
        std::memcpy(&success, &reply[16], 4);
        std::memcpy(&code, &reply[20], 4);
        return success ? 0 : code;
    };

    std::vector<BYTE> nameOutside = message(60, 0);
    put(nameOutside, 12, 400);
    std::vector<BYTE> inputOutside = message(60, 5);
    put(inputOutside, 12, 56);
    put(inputOutside, 32, 56);
    put(inputOutside, 36, 1000);
    std::vector<BYTE> hugeCount = message(80, 5);
    put(hugeCount, 12, 56);
    put(hugeCount, 32, 60);
    put(hugeCount, 36, 20);
    put(hugeCount, 60, 0xE80081E5);
    put(hugeCount, 64, 12 + 4 * 0x40000000u);
    put(hugeCount, 68, 0x40000000);
    std::vector<BYTE> unknownHandle = message(74, 1);
    put(unknownHandle, 12, 56);
    std::memcpy(&unknownHandle[56], L"FreeDVTs", 18);
    struct Row {
        const char* name;
        std::vector<BYTE> request;
        DWORD error;
    };
    const Row rows[] = {
        {"name beyond the message", nameOutside, ERROR_INVALID_DATA},
        {"input beyond the message", inputOutside, ERROR_INVALID_DATA},
        {"values count beyond the block", hugeCount, ERROR_INVALID_DATA},
        {"transceive on a handle never opened", unknownHandle, ERROR_INVALID_HANDLE},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const std::vector<BYTE> reply = roundTrip(row.request, row.request.size());
        ASSERT_EQ(reply.size(), row.request.size());
        EXPECT_EQ(error(reply), row.error);
    }
    // A wrong magic or an absurd size gets no reply at all.
    std::vector<BYTE> wrongMagic = message(56, 0);
    wrongMagic[0] ^= 1;
    EXPECT_TRUE(roundTrip(wrongMagic, 56).empty());
    std::vector<BYTE> absurdSize = message(56, 0);
    put(absurdSize, 4, 0x7FFFFFF0);
    EXPECT_TRUE(roundTrip(absurdSize, 56).empty());

    MonitorChannel channel(kKeravin);
    EXPECT_FALSE(channel.sendPrinterCommand(6, L"No Such Queue", nullptr));
    EXPECT_EQ(GetLastError(), DWORD{ERROR_INVALID_PRINTER_NAME});
}

} // namespace
