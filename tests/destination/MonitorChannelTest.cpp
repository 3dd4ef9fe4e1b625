// MonitorChannel against a pipe server thread on "\\.\pipe\QZKRVMon" that
// records every request byte for byte and answers as the test says.
#include "destination/MonitorChannel.h"
#include "destination/PrinterDataValues.h"
#include "access/MonitorAccess.h"
#include "monitorbase/PipeServer.h"
#include "support/SharedState.h"
#include "support/TestEnv.h"
#include "support/TestSpooler.h"

#include <gtest/gtest.h>

#include <new>

#include <atomic>
#include <cstring>
#include <functional>
#include <mutex>
#include <thread>

VRELM_TEST_SHARES(qzkrvmon_pipe);

namespace {

constexpr wchar_t kKeravin[] = L"QZ Keravin Print Monitor";
constexpr ULONGLONG kMonitorHandle = 0x1122334455667788ULL;

DWORD get32(const std::vector<BYTE>& bytes, size_t offset)
{
    DWORD value = 0;
    std::memcpy(&value, bytes.data() + offset, 4);
    return value;
}

void set32(std::vector<BYTE>& bytes, size_t offset, DWORD value)
{
    std::memcpy(bytes.data() + offset, &value, 4);
}

// A monitor's end of the pipe. The responder edits each request into its
// reply; by default every request succeeds and opcode 0 returns kMonitorHandle.
struct PipeOptions {
    std::function<void(std::vector<BYTE>& message)> responder;
    bool splitReply = false;            // the reply leaves in two parts, 100 ms apart
    DWORD hangUpOnOpcode = 0xFFFFFFFF;  // this opcode gets no reply at all
    DWORD trickleMs = 0;                // when set, the reply leaves a byte at a time, this far apart
};

class FakeMonitorPipe {
public:
    using Options = PipeOptions;

    explicit FakeMonitorPipe(Options options = {}) : options_(std::move(options))
    {
        stop_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        ready_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        thread_ = std::thread([this] { run(); });
        WaitForSingleObject(ready_, 5000);
    }

    ~FakeMonitorPipe()
    {
        SetEvent(stop_);
        thread_.join();
        CloseHandle(stop_);
        CloseHandle(ready_);
    }

    // Whether a client wrote more after its reply on some connection.
    bool sawExtraBytes() const { return extraBytes_; }

    std::vector<std::vector<BYTE>> requests()
    {
        std::lock_guard<std::mutex> guard(lock_);
        return requests_;
    }

private:
    void run()
    {
        qzmon::acceptPipeClients(L"\\\\.\\pipe\\QZKRVMon", {stop_}, [this] { SetEvent(ready_); },
                                 [this](HANDLE pipe) {
                                     serve(pipe);
                                     qzmon::endClient(pipe);
                                 });
        SetEvent(ready_);  // also when no instance could be made: the constructor must not wait
    }

    void serve(HANDLE pipe)
    {
        std::vector<BYTE> message(56);
        if (!qzmon::pipeTransfer(pipe, message.data(), 56, false, 3000))
            return;
        const DWORD total = get32(message, 4);
        if (total < 56 || total > (1u << 20))
            return;
        message.resize(total);
        if (!qzmon::pipeTransfer(pipe, message.data() + 56, total - 56, false, 3000))
            return;
        {
            std::lock_guard<std::mutex> guard(lock_);
            requests_.push_back(message);
        }
        const DWORD opcode = get32(message, 8);
        if (opcode == options_.hangUpOnOpcode)
            return;
        set32(message, 16, 1);
        if (opcode == 0)
            std::memcpy(message.data() + 24, &kMonitorHandle, 8);
        if (options_.responder)
            options_.responder(message);
        if (options_.trickleMs) {
            for (DWORD i = 0; i < total; ++i) {
                if (!qzmon::pipeTransfer(pipe, message.data() + i, 1, true, 3000))
                    return;
                Sleep(options_.trickleMs);
            }
        } else if (options_.splitReply) {
            const DWORD half = total / 2;
            if (!qzmon::pipeTransfer(pipe, message.data(), half, true, 3000))
                return;
            Sleep(100);
            if (!qzmon::pipeTransfer(pipe, message.data() + half, total - half, true, 3000))
                return;
        } else if (!qzmon::pipeTransfer(pipe, message.data(), total, true, 3000)) {
            return;
        }
        if (qzmon::waitForClientClose(pipe, 3000))
            extraBytes_ = true;
    }

    Options options_;
    HANDLE stop_ = nullptr;
    HANDLE ready_ = nullptr;
    std::thread thread_;
    std::atomic<bool> extraBytes_{false};
    std::mutex lock_;  // guards requests_
    std::vector<std::vector<BYTE>> requests_;
};

// The expected message: header fields by offset, then areas.
class Expected {
public:
    Expected(DWORD total, DWORD opcode) : bytes_(total, 0)
    {
        u32(0, 0xB4789687);
        u32(4, total);
        u32(8, opcode);
    }
    Expected& u32(size_t offset, DWORD value)
    {
        std::memcpy(bytes_.data() + offset, &value, 4);
        return *this;
    }
    Expected& u64(size_t offset, ULONGLONG value)
    {
        std::memcpy(bytes_.data() + offset, &value, 8);
        return *this;
    }
    Expected& text(size_t offset, const std::wstring& text)
    {
        std::memcpy(bytes_.data() + offset, text.c_str(), (text.size() + 1) * 2);
        return *this;
    }
    const std::vector<BYTE>& bytes() const { return bytes_; }

private:
    std::vector<BYTE> bytes_;
};

Expected openMessage()
{
    const std::wstring text = std::wstring(L",XcvMonitor ") + kKeravin;
    Expected open(static_cast<DWORD>(58 + 2 * text.size()), 0);
    open.u32(12, 56).text(56, text);
    return open;
}

Expected closeMessage()
{
    Expected close(56, 2);
    close.u64(24, kMonitorHandle);
    return close;
}

std::string hex(const std::vector<BYTE>& bytes)
{
    std::string text;
    char pair[4];
    for (size_t i = 0; i < bytes.size(); ++i) {
        std::snprintf(pair, sizeof(pair), "%02X%s", bytes[i], (i % 16 == 15) ? "\n" : " ");
        text += pair;
    }
    return text;
}

void expectMessages(const std::vector<std::vector<BYTE>>& actual, const std::vector<Expected>& expected)
{
    ASSERT_EQ(actual.size(), expected.size());
    for (size_t i = 0; i < actual.size(); ++i) {
        SCOPED_TRACE("message " + std::to_string(i));
        EXPECT_EQ(actual[i], expected[i].bytes()) << "actual:\n" << hex(actual[i]) << "\nexpected:\n"
                                                  << hex(expected[i].bytes());
    }
}

TEST(MonitorChannelTest, StorePrinterDataSendsOpenValuesAndClose)
{
    FakeMonitorPipe pipe;
    MPrint::PrinterDataValues batch;
    batch.addDword(L"StaticMode", 1);
    MonitorChannel channel(kKeravin);
    SetLastError(0xDEAD);
    ASSERT_TRUE(channel.setPrinterData(L"P", &batch)) << GetLastError();
    EXPECT_EQ(GetLastError(), 0u);

    // Printer "P" at 56; the values block at 60: header 16 (12 + 4 x 1), the
    // entry at 16, entry size 24 + 22 + 4 = 50, data at 46 within the entry.
    Expected store(60 + 16 + 50, 5);
    store.u32(12, 56).u64(24, kMonitorHandle).u32(32, 60).u32(36, 66).text(56, L"P");
    store.u32(60, 0xE80081E5).u32(64, 16).u32(68, 1).u32(72, 16);
    store.u64(76, 50).u32(84, 24).u32(88, REG_DWORD).u32(92, 4).u32(96, 46).text(100, L"StaticMode").u32(122, 1);
    expectMessages(pipe.requests(), {openMessage(), store, closeMessage()});
}

TEST(MonitorChannelTest, StorePrinterDataLaysOutEveryEntryAfterThePrevious)
{
    FakeMonitorPipe pipe;
    MPrint::PrinterDataValues batch;
    batch.addString(L"A", L"xy");
    const BYTE raw[3] = {7, 8, 9};
    batch.addBinary(L"PrinterDriverData\\BidiCache\\B", 3, raw);
    MonitorChannel channel(kKeravin);
    ASSERT_TRUE(channel.setPrinterData(L"Queue", &batch));
    const auto requests = pipe.requests();
    ASSERT_EQ(requests.size(), 3u);
    const std::vector<BYTE>& store = requests[1];
    const DWORD block = 56 + 12;  // after "Queue" and its terminator
    const std::wstring second = L"PrinterDriverData\\BidiCache\\B";
    const DWORD firstEntry = 24 + 4 + 6, secondEntry = static_cast<DWORD>(24 + (second.size() + 1) * 2 + 3);
    EXPECT_EQ(store.size(), block + 20 + firstEntry + secondEntry);
    EXPECT_EQ(get32(store, 36), store.size() - block);
    EXPECT_EQ(get32(store, block + 4), 20u);
    EXPECT_EQ(get32(store, block + 12), 20u);
    EXPECT_EQ(get32(store, block + 16), 20 + firstEntry);
    const size_t entry = block + 20 + firstEntry;
    EXPECT_EQ(get32(store, entry), secondEntry);
    EXPECT_EQ(get32(store, entry + 12), DWORD{REG_BINARY});
    EXPECT_EQ(get32(store, entry + 16), 3u);
    EXPECT_EQ(std::wstring(reinterpret_cast<const wchar_t*>(store.data() + entry + 24)), second);
    EXPECT_EQ(store[entry + get32(store, entry + 20) + 2], 9);
}

TEST(MonitorChannelTest, AddPrinterAndPrinterCommandsGoldenBytes)
{
    FakeMonitorPipe pipe;
    {
        MonitorChannel channel(kKeravin);
        EXPECT_TRUE(channel.addPrinter(L"Old", L"New"));
        EXPECT_TRUE(channel.sendPrinterCommand(3, L"P", L"IP_1"));
        EXPECT_TRUE(channel.sendPrinterCommand(6, L"P", nullptr));
    }
    Expected add(64 + 16 + 8, 7);  // "Old" at 56, block at 64, "New" at 80
    add.u32(12, 56).u64(24, kMonitorHandle).u32(32, 64).u32(36, 24).text(56, L"Old");
    add.u32(64, 0x570030AF).u32(68, 16).u32(72, 2).u32(76, 16).text(80, L"New");
    Expected setPort(56 + 10 + 4, 3);  // argument "IP_1" at 56, printer after it
    setPort.u32(12, 66).u64(24, kMonitorHandle).u32(32, 56).u32(36, 10).text(56, L"IP_1").text(66, L"P");
    Expected refresh(58 + 2, 6);
    refresh.u32(12, 56).u64(24, kMonitorHandle).text(56, L"P");
    expectMessages(pipe.requests(), {openMessage(), add, closeMessage(), openMessage(), setPort, closeMessage(),
                                     openMessage(), refresh, closeMessage()});
}

TEST(MonitorChannelTest, MonitorRefusalSetsTheErrorAndStatus)
{
    FakeMonitorPipe pipe({[](std::vector<BYTE>& reply) {
        if (get32(reply, 8) == 7) {
            set32(reply, 16, 0);
            set32(reply, 20, ERROR_PRINTER_ALREADY_EXISTS);
        }
    }});
    MonitorChannel channel(kKeravin);
    EXPECT_FALSE(channel.addPrinter(L"Old", L"New"));
    EXPECT_EQ(GetLastError(), DWORD{ERROR_PRINTER_ALREADY_EXISTS});
    EXPECT_EQ(channel.getStatus(), DWORD{ERROR_PRINTER_ALREADY_EXISTS});
    EXPECT_EQ(pipe.requests().size(), 3u);  // the channel is closed again
}

TEST(MonitorChannelTest, ArgumentsThatCannotBeSentFailWithoutAConnection)
{
    FakeMonitorPipe pipe;
    MonitorChannel channel(kKeravin);
    MPrint::PrinterDataValues empty;
    struct Row {
        const char* name;
        std::function<bool()> call;
    };
    const Row rows[] = {
        {"empty batch", [&] { return channel.setPrinterData(L"P", &empty); }},
        {"no batch", [&] { return channel.setPrinterData(L"P", nullptr); }},
        {"no printer", [&] { return channel.sendPrinterCommand(3, nullptr, L"x"); }},
        {"no second text", [&] { return channel.addPrinter(L"Old", nullptr); }},
        {"no monitor name", [&] { return channel.open(nullptr); }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        SetLastError(0);
        EXPECT_FALSE(row.call());
        EXPECT_EQ(GetLastError(), DWORD{ERROR_INVALID_PARAMETER});
    }
    SetLastError(0);
    EXPECT_FALSE(channel.xcvData(L"FreeDVTs", nullptr, 0, nullptr, 0, nullptr));
    EXPECT_EQ(GetLastError(), DWORD{ERROR_INVALID_HANDLE});
    EXPECT_TRUE(pipe.requests().empty());
}

// A text of nearly 4 GiB: its size with the header no longer fits in 32
// bits, and a message sized in 32 bits would be far too small for it.
// Slow (about 4 s) and 4 GiB of memory: the size is the point.
TEST(MonitorChannelTest, TextsTooLargeForAMessageFailWithoutAConnection)
{
    FakeMonitorPipe pipe;
    // About 4 GiB: a machine that cannot give it cannot run this case.
    std::wstring huge;
    try {
        huge.assign(0x7FFFFFF6, L'P');
    } catch (const std::bad_alloc&) {
        GTEST_SKIP() << "no memory for a 4 GiB text";
    }
    MPrint::PrinterDataValues batch;
    batch.addDword(L"StaticMode", 1);
    MonitorChannel channel(kKeravin);
    SetLastError(0);
    EXPECT_FALSE(channel.setPrinterData(huge.c_str(), &batch));
    EXPECT_EQ(GetLastError(), DWORD{ERROR_INVALID_PARAMETER});
    SetLastError(0);
    EXPECT_FALSE(channel.addPrinter(huge.c_str(), L"Second"));
    EXPECT_EQ(GetLastError(), DWORD{ERROR_INVALID_PARAMETER});
    EXPECT_TRUE(pipe.requests().empty());
}

// A reply that arrives in parts is read to its end; the request is sent once.
TEST(MonitorChannelTest, ReplyInPartsIsReadWholeAndRequestSentOnce)
{
    FakeMonitorPipe::Options options;
    options.splitReply = true;
    FakeMonitorPipe pipe(options);
    MPrint::PrinterDataValues batch;
    batch.addString(L"LumoNewInstall", L"0");
    MonitorChannel channel(kKeravin);
    EXPECT_TRUE(channel.setPrinterData(L"P", &batch));
    const auto requests = pipe.requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(get32(requests[1], 8), 5u);
    EXPECT_EQ(get32(requests[2], 8), 2u);
    EXPECT_FALSE(pipe.sawExtraBytes()) << "the request was sent again on the same connection";
}

TEST(MonitorChannelTest, ExchangeWithoutReplyFailsAndCloseStillCloses)
{
    FakeMonitorPipe::Options options;
    options.hangUpOnOpcode = 5;
    FakeMonitorPipe pipe(options);
    MPrint::PrinterDataValues batch;
    batch.addDword(L"StaticMode", 1);
    MonitorChannel channel(kKeravin);
    EXPECT_FALSE(channel.setPrinterData(L"P", &batch));
    EXPECT_NE(GetLastError(), 0u);
    const auto requests = pipe.requests();
    ASSERT_EQ(requests.size(), 3u);  // open, the one store request, close
    EXPECT_EQ(get32(requests[1], 8), 5u);
    EXPECT_EQ(requests[2].size(), 56u);
}

TEST(MonitorChannelTest, PipeIsUsedOnlyWhenTheSpoolerDeniesAccess)
{
    ASSERT_TRUE(qzmon::registerStandInMonitors());
    FakeMonitorPipe pipe;
    {
        testspool::ScopedCallLog log;
        MonitorChannel channel(kKeravin);
        ASSERT_TRUE(channel.openMonitor()) << GetLastError();
        ASSERT_TRUE(channel.openMonitor());
        EXPECT_EQ(log.calls("ClosePrinter").size(), 1u) << "opening again must not lose the first handle";
        DWORD needed = 0xBDBD;
        EXPECT_TRUE(channel.xcvData(L"FreeDVTs", nullptr, 0, nullptr, 0, &needed));
        EXPECT_EQ(channel.getStatus(), 0u);
        EXPECT_EQ(needed, 0u);
        EXPECT_TRUE(channel.close());
        SetLastError(0);
        EXPECT_FALSE(channel.open(L"No Such Monitor"));
        EXPECT_NE(GetLastError(), DWORD{ERROR_ACCESS_DENIED});
        EXPECT_NE(GetLastError(), 0u);
    }
    EXPECT_TRUE(pipe.requests().empty());
    const auto calls = qzmon::receivedCalls(kKeravin, GetCurrentProcessId());
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.back().command, L"FreeDVTs");

    testspool::ScopedUserRights user;
    {
        MonitorChannel channel(kKeravin);
        EXPECT_TRUE(channel.openMonitor());
    }
    expectMessages(pipe.requests(), {openMessage(), closeMessage()});
}

// A refused pipe open leaves nothing behind that would send a later spooler
// handle down the pipe.
TEST(MonitorChannelTest, SpoolerOpenAfterARefusedPipeOpenUsesTheSpooler)
{
    ASSERT_TRUE(qzmon::registerStandInMonitors());
    FakeMonitorPipe pipe({[](std::vector<BYTE>& reply) {
        set32(reply, 16, 0);
        set32(reply, 20, ERROR_ACCESS_DENIED);
    }});
    MonitorChannel channel(kKeravin);
    {
        testspool::ScopedUserRights user;
        EXPECT_FALSE(channel.openMonitor());
        EXPECT_EQ(GetLastError(), DWORD{ERROR_ACCESS_DENIED});
    }
    ASSERT_TRUE(channel.openMonitor());
    EXPECT_TRUE(channel.xcvData(L"FreeDVTs", nullptr, 0, nullptr, 0, nullptr));
    EXPECT_TRUE(channel.close());
    EXPECT_EQ(pipe.requests().size(), 1u);  // only the refused open
}

TEST(MonitorChannelTest, TransceiveOverThePipeGoldenBytesAndReplies)
{
    FakeMonitorPipe pipe({[](std::vector<BYTE>& reply) {
        if (get32(reply, 8) != 1)
            return;
        const std::wstring name = reinterpret_cast<const wchar_t*>(reply.data() + get32(reply, 12));
        set32(reply, 20, 0x1234);
        set32(reply, 48, 12);
        if (name == L"Refused")
            set32(reply, 16, 0);
        if (get32(reply, 40))
            std::memset(reply.data() + get32(reply, 40), 0xAA, get32(reply, 44));
    }});
    testspool::ScopedUserRights user;
    MonitorChannel channel(kKeravin);
    ASSERT_TRUE(channel.openMonitor());

    DWORD needed = 0;
    EXPECT_TRUE(channel.xcvData(L"FreeDVTs", nullptr, 0, nullptr, 0, &needed));
    EXPECT_EQ(channel.getStatus(), 0x1234u);
    EXPECT_EQ(needed, 12u);

    const BYTE input[4] = {1, 2, 3, 4};
    BYTE output[8 + 4];
    std::memset(output, 0xBD, sizeof(output));
    EXPECT_TRUE(channel.xcvData(L"GetPortName", input, 4, output, 8, &needed));
    EXPECT_EQ(output[7], 0xAA);
    EXPECT_EQ(output[8], 0xBD) << "copied past the caller's size although the monitor needed 12";

    needed = 0;
    std::memset(output, 0xBD, sizeof(output));
    EXPECT_FALSE(channel.xcvData(L"Refused", nullptr, 0, output, 8, &needed));
    EXPECT_EQ(channel.getStatus(), 0x1234u);
    EXPECT_EQ(needed, 12u);
    EXPECT_EQ(output[0], 0xBD);
    EXPECT_TRUE(channel.close());
    EXPECT_FALSE(channel.xcvData(L"FreeDVTs", nullptr, 0, nullptr, 0, &needed));
    EXPECT_EQ(GetLastError(), DWORD{ERROR_INVALID_HANDLE});

    Expected bare(58 + 16, 1);  // no input, no output: the data name at 56
    bare.u32(12, 56).u64(24, kMonitorHandle).text(56, L"FreeDVTs");
    Expected full(58 + 22 + 4 + 8, 1);  // input at 56, output at 60, name at 68
    full.u32(12, 68).u64(24, kMonitorHandle).u32(32, 56).u32(36, 4).u32(40, 60).u32(44, 8);
    full.u32(56, 0x04030201).text(68, L"GetPortName");
    const auto requests = pipe.requests();
    ASSERT_EQ(requests.size(), 5u);
    expectMessages({requests[0], requests[1], requests[2], requests[4]},
                   {openMessage(), bare, full, closeMessage()});
}

TEST(MonitorChannelTest, CloseLeavesTheChannelClosedEvenWhenTheMonitorHangsUp)
{
    FakeMonitorPipe::Options options;
    options.hangUpOnOpcode = 2;
    FakeMonitorPipe pipe(options);
    testspool::ScopedUserRights user;
    MonitorChannel channel(kKeravin);
    ASSERT_TRUE(channel.openMonitor());
    EXPECT_FALSE(channel.close());
    SetLastError(0);
    EXPECT_FALSE(channel.xcvData(L"FreeDVTs", nullptr, 0, nullptr, 0, nullptr));
    EXPECT_EQ(GetLastError(), DWORD{ERROR_INVALID_HANDLE});
    EXPECT_TRUE(channel.close());
    expectMessages(pipe.requests(), {openMessage(), closeMessage()});
}

// Slow on purpose: the reply time limit (20 s) has to pass. A peer that keeps
// each byte just inside any per-read limit must not hold the caller for the
// whole of a long message (the open reply would take 33 s here).
TEST(MonitorChannelTest, TricklingReplyFailsWithinTheReplyTimeLimit)
{
    FakeMonitorPipe::Options options;
    options.trickleMs = 250;
    FakeMonitorPipe pipe(options);
    MPrint::PrinterDataValues batch;
    batch.addDword(L"StaticMode", 1);
    MonitorChannel channel(kKeravin);
    const ULONGLONG start = GetTickCount64();
    EXPECT_FALSE(channel.setPrinterData(L"P", &batch));
    EXPECT_EQ(GetLastError(), DWORD{ERROR_TIMEOUT});
    const ULONGLONG elapsed = GetTickCount64() - start;
    EXPECT_GE(elapsed, 19000u);
    EXPECT_LT(elapsed, 26000u);
    EXPECT_EQ(pipe.requests().size(), 1u);  // only the open: nothing stored, nothing to close
}

// Slow on purpose: three connection attempts 379 ms apart.
TEST(MonitorChannelTest, NoPipeServerFailsWithInvalidHandleAfterRetries)
{
    MPrint::PrinterDataValues batch;
    batch.addDword(L"StaticMode", 1);
    MonitorChannel channel(kKeravin);
    const ULONGLONG start = GetTickCount64();
    EXPECT_FALSE(channel.setPrinterData(L"P", &batch));
    EXPECT_EQ(GetLastError(), DWORD{ERROR_INVALID_HANDLE});
    EXPECT_GE(GetTickCount64() - start, 2 * 379u - 20);
}

} // namespace
