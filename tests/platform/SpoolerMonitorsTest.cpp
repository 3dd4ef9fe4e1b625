// The spooler stand-in's port monitors: registration, enumeration and Xcv
// routed to the monitor's DLL, checked against a recording test monitor.
#include "support/SessionPorts.h"
#include "support/TestEnv.h"
#include "support/TestSpooler.h"

#include <gtest/gtest.h>

#include <winspool.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr DWORD kSentinel = 0xDEADBEEF;

class SpoolerMonitors : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(testspool::control(), nullptr);
        dll_ = testenv::binDir() + L"\\spooler-test\\spoolertestmon.dll";
        monitor_ = testspool::uniqueQueueName(L"Vrelm Test Monitor");
        port_ = testspool::uniqueQueueName(L"TESTPORT");
        wchar_t temp[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, temp);
        monitorLog_ = std::wstring(temp) + monitor_ + L".log";
        DeleteFileW(monitorLog_.c_str());
        SetEnvironmentVariableW(L"VRELM_TESTMONITOR_LOG", monitorLog_.c_str());
        MONITOR_INFO_2W info{const_cast<wchar_t*>(monitor_.c_str()), nullptr, const_cast<wchar_t*>(dll_.c_str())};
        ASSERT_TRUE(AddMonitorW(nullptr, 2, reinterpret_cast<LPBYTE>(&info))) << GetLastError();
        ASSERT_EQ(testspool::control()->addPort(monitor_.c_str(), port_.c_str()), DWORD{ERROR_SUCCESS});
    }
    void TearDown() override
    {
        DeleteMonitorW(nullptr, nullptr, const_cast<wchar_t*>(monitor_.c_str()));
        SetEnvironmentVariableW(L"VRELM_TESTMONITOR_LOG", nullptr);
        DeleteFileW(monitorLog_.c_str());
    }

    HANDLE openXcv(const std::wstring& name, ACCESS_MASK access, DWORD& error)
    {
        PRINTER_DEFAULTSW defaults{nullptr, nullptr, access};
        HANDLE h = reinterpret_cast<HANDLE>(uintptr_t{1});
        SetLastError(kSentinel);
        error = OpenPrinterW(const_cast<wchar_t*>(name.c_str()), &h, &defaults) ? 0 : GetLastError();
        return h;
    }

    std::vector<std::string> monitorLines() const { return testenv::readLines(monitorLog_); }
    std::string n(const std::wstring& text) const { return testenv::narrow(text); }

    std::wstring dll_, monitor_, port_, monitorLog_;
};

TEST_F(SpoolerMonitors, XcvDataReachesTheMonitorWithTheExactBytes)
{
    testspool::ScopedCallLog log;
    DWORD error = 0;
    HANDLE xcv = openXcv(L",XcvMonitor " + monitor_, SERVER_ACCESS_ADMINISTER, error);
    ASSERT_EQ(error, 0u);
    BYTE input[] = {0x01, 0x02, 0x03, 0xFF};
    BYTE output[8];
    memset(output, 0xBD, sizeof(output));
    DWORD needed = kSentinel, status = kSentinel;
    ASSERT_TRUE(XcvDataW(xcv, L"AddPort", input, sizeof(input), output, sizeof(output), &needed, &status));
    EXPECT_EQ(status, 0u);
    EXPECT_EQ(needed, 4u);
    EXPECT_EQ(output[0], 0xFF);
    EXPECT_EQ(output[3], 0x01);
    EXPECT_EQ(output[4], 0xBD);
    // The monitor's own status comes back in *pdwStatus with TRUE.
    ASSERT_TRUE(XcvDataW(xcv, L"Status1797", input, sizeof(input), output, sizeof(output), &needed, &status));
    EXPECT_EQ(status, 1797u);
    ASSERT_TRUE(XcvDataW(xcv, L"GetPortName", input, sizeof(input), output, 2, &needed, &status));
    EXPECT_EQ(status, DWORD{ERROR_INSUFFICIENT_BUFFER});
    EXPECT_EQ(needed, 4u);
    ASSERT_TRUE(XcvDataW(xcv, L"FreeDVTs", nullptr, 0, nullptr, 0, &needed, &status));
    ASSERT_TRUE(ClosePrinter(xcv));
    const std::string m = n(monitor_);
    EXPECT_EQ(monitorLines(), (std::vector<std::string>{"init 1 1", "open " + m + " 1",
                                                        "data " + m + " AddPort 010203FF 8",
                                                        "data " + m + " Status1797 010203FF 8",
                                                        "data " + m + " GetPortName 010203FF 2",
                                                        "data " + m + " FreeDVTs - 0", "close " + m}));
    const std::vector<std::string> calls = log.calls("XcvDataW");
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_NE(calls[0].find("\tAddPort\t010203FF\tstatus 0\t=> 0"), std::string::npos) << calls[0];

    // Bad arguments and handles never reach the monitor.
    xcv = openXcv(L",XcvMonitor " + monitor_, SERVER_ACCESS_ADMINISTER, error);
    SetLastError(kSentinel);
    EXPECT_FALSE(XcvDataW(xcv, L"AddPort", input, sizeof(input), output, sizeof(output), &needed, nullptr));
    EXPECT_EQ(GetLastError(), DWORD{ERROR_INVALID_PARAMETER});
    EXPECT_FALSE(XcvDataW(xcv, L"AddPort", nullptr, 4, output, sizeof(output), &needed, &status));
    EXPECT_EQ(GetLastError(), DWORD{ERROR_INVALID_PARAMETER});
    ClosePrinter(xcv);
    testspool::ScopedQueue queue(testspool::uniqueQueueName(L"NotXcv"));
    HANDLE printer = openXcv(queue.name(), PRINTER_ACCESS_USE, error);
    ASSERT_EQ(error, 0u);
    EXPECT_FALSE(XcvDataW(printer, L"AddPort", input, sizeof(input), output, sizeof(output), &needed, &status));
    EXPECT_EQ(GetLastError(), DWORD{ERROR_INVALID_HANDLE});
    ClosePrinter(printer);
    EXPECT_EQ(monitorLines().size(), 9u);  // one more open and close, no data
}

TEST_F(SpoolerMonitors, XcvPortFindsThePortsMonitorAndUnknownNamesFail)
{
    DWORD error = 0;
    HANDLE xcv = openXcv(L",XcvPort " + port_, SERVER_ACCESS_ADMINISTER, error);
    ASSERT_EQ(error, 0u);
    ClosePrinter(xcv);
    EXPECT_EQ(monitorLines(), (std::vector<std::string>{"init 1 1", "open " + n(port_) + " 1", "close " + n(port_)}));
    struct Row {
        std::wstring name;
        DWORD error;
    } rows[] = {{L",XcvPort NOPORT_4711", ERROR_UNKNOWN_PORT},
                {L",XcvMonitor No Such Monitor 4711", ERROR_UNKNOWN_PRINT_MONITOR},
                {L",XcvMonitor " + std::wstring(300, L'm'), ERROR_UNKNOWN_PRINT_MONITOR},
                {L",XcvPrinter x", ERROR_INVALID_PRINTER_NAME}};
    for (const Row& row : rows) {
        SCOPED_TRACE(n(row.name).substr(0, 40));
        HANDLE h = openXcv(row.name, SERVER_ACCESS_ADMINISTER, error);
        EXPECT_EQ(error, row.error);
        EXPECT_EQ(h, nullptr);
    }
    // A monitor that refuses the open: the spooler passes its error on.
    ASSERT_EQ(testspool::control()->addPort(monitor_.c_str(), L"Refuse"), DWORD{ERROR_SUCCESS});
    EXPECT_EQ(openXcv(L",XcvPort Refuse", SERVER_ACCESS_ADMINISTER, error), nullptr);
    EXPECT_EQ(error, DWORD{ERROR_ACCESS_DENIED});
    testspool::control()->removePort(monitor_.c_str(), L"Refuse");
}

TEST_F(SpoolerMonitors, RightsSwitchRefusesAdministeringXcvOpensOnly)
{
    testspool::ScopedUserRights user;
    DWORD error = 0;
    EXPECT_EQ(openXcv(L",XcvMonitor " + monitor_, SERVER_ACCESS_ADMINISTER, error), nullptr);
    EXPECT_EQ(error, DWORD{ERROR_ACCESS_DENIED});
    HANDLE xcv = openXcv(L",XcvMonitor " + monitor_, SERVER_ACCESS_ENUMERATE, error);
    ASSERT_EQ(error, 0u);
    ClosePrinter(xcv);
    // The refused open never reached the monitor; the other carried its access.
    const std::string m = n(monitor_);
    EXPECT_EQ(monitorLines(), (std::vector<std::string>{"init 1 1", "open " + m + " 2", "close " + m}));
    MONITOR_INFO_2W info{const_cast<wchar_t*>(L"Other"), nullptr, const_cast<wchar_t*>(dll_.c_str())};
    EXPECT_FALSE(AddMonitorW(nullptr, 2, reinterpret_cast<LPBYTE>(&info)));
    EXPECT_EQ(GetLastError(), DWORD{ERROR_ACCESS_DENIED});
    EXPECT_FALSE(DeleteMonitorW(nullptr, nullptr, const_cast<wchar_t*>(monitor_.c_str())));
    EXPECT_EQ(GetLastError(), DWORD{ERROR_ACCESS_DENIED});
}

TEST_F(SpoolerMonitors, RegistrationEnumerationAndErrors)
{
    // Parallel tests add monitors and ports between a size query and the fill:
    // callers query again on ERROR_INSUFFICIENT_BUFFER, so do these.
    auto enumerate = [](auto function, std::vector<BYTE>& buffer, DWORD& count) {
        DWORD needed = 0;
        for (int attempt = 0; attempt < 10; ++attempt) {
            SetLastError(kSentinel);
            if (!function(nullptr, 0, &needed, &count) && GetLastError() != ERROR_INSUFFICIENT_BUFFER)
                return false;
            buffer.assign(needed + 1, 0);
            if (function(buffer.data(), needed, &needed, &count))
                return true;
            if (GetLastError() != ERROR_INSUFFICIENT_BUFFER)
                return false;
        }
        return false;
    };
    DWORD needed = 0, count = 0;
    EXPECT_FALSE(EnumMonitorsW(nullptr, 2, nullptr, 0, &needed, &count));
    EXPECT_EQ(GetLastError(), DWORD{ERROR_INSUFFICIENT_BUFFER});
    std::vector<BYTE> buffer;
    ASSERT_TRUE(enumerate([](LPBYTE b, DWORD s, LPDWORD n, LPDWORD c) { return EnumMonitorsW(nullptr, 2, b, s, n, c); },
                          buffer, count));
    const auto* monitors = reinterpret_cast<MONITOR_INFO_2W*>(buffer.data());
    const auto found = std::find_if(monitors, monitors + count,
                                    [&](const MONITOR_INFO_2W& m) { return monitor_ == m.pName; });
    ASSERT_NE(found, monitors + count);
    EXPECT_EQ(dll_, found->pDLLName);
    EXPECT_STREQ(found->pEnvironment, L"Windows x64");

    EXPECT_FALSE(EnumPortsW(nullptr, 2, nullptr, 0, &needed, &count));
    EXPECT_EQ(GetLastError(), DWORD{ERROR_INSUFFICIENT_BUFFER});
    ASSERT_TRUE(enumerate([](LPBYTE b, DWORD s, LPDWORD n, LPDWORD c) { return EnumPortsW(nullptr, 2, b, s, n, c); },
                          buffer, count));
    const auto* ports = reinterpret_cast<PORT_INFO_2W*>(buffer.data());
    const auto port = std::find_if(ports, ports + count, [&](const PORT_INFO_2W& p) { return port_ == p.pPortName; });
    ASSERT_NE(port, ports + count);
    EXPECT_EQ(dll_, port->pMonitorName);
    EXPECT_EQ(monitor_, port->pDescription);
    EXPECT_FALSE(EnumPortsW(const_cast<wchar_t*>(L"\\\\NoSuchServer"), 1, buffer.data(),
                            static_cast<DWORD>(buffer.size()), &needed, &count));
    EXPECT_EQ(GetLastError(), DWORD{RPC_S_SERVER_UNAVAILABLE});

    struct Row {
        const char* what;
        DWORD level;
        std::wstring name, dll;
        DWORD error;
    } rows[] = {{"level", 1, L"X", dll_, ERROR_INVALID_LEVEL},
                {"again", 2, monitor_, dll_, ERROR_PRINT_MONITOR_ALREADY_INSTALLED},
                {"no monitor", 2, L"Vrelm Kernel", L"kernel32.dll", ERROR_PROC_NOT_FOUND},
                {"no file", 2, L"Vrelm Missing", L"nosuchmonitor4711.dll", ERROR_MOD_NOT_FOUND}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        MONITOR_INFO_2W info{const_cast<wchar_t*>(row.name.c_str()), nullptr, const_cast<wchar_t*>(row.dll.c_str())};
        SetLastError(kSentinel);
        EXPECT_FALSE(AddMonitorW(nullptr, row.level, reinterpret_cast<LPBYTE>(&info)));
        EXPECT_EQ(GetLastError(), row.error);
    }
    // A monitor whose port a queue uses stays; an unknown one is an error.
    {
        testspool::ScopedQueue queue(testspool::uniqueQueueName(L"OnPort"), L"Vrelm Test Driver", port_);
        EXPECT_FALSE(DeleteMonitorW(nullptr, nullptr, const_cast<wchar_t*>(monitor_.c_str())));
        EXPECT_EQ(GetLastError(), DWORD{ERROR_PRINT_MONITOR_IN_USE});
    }
    EXPECT_FALSE(DeleteMonitorW(nullptr, nullptr, const_cast<wchar_t*>(L"No Such Monitor 4711")));
    EXPECT_EQ(GetLastError(), DWORD{ERROR_UNKNOWN_PRINT_MONITOR});
    EXPECT_TRUE(DeleteMonitorW(nullptr, nullptr, const_cast<wchar_t*>(monitor_.c_str())));
}

TEST_F(SpoolerMonitors, DeleteUnloadsTheMonitorAndAddingAgainLoadsItAnew)
{
    // The upgrade road deletes the monitor, replaces its DLL and adds it again.
    DWORD error = 0;
    HANDLE xcv = openXcv(L",XcvMonitor " + monitor_, SERVER_ACCESS_ADMINISTER, error);
    ASSERT_EQ(error, 0u);
    ClosePrinter(xcv);
    ASSERT_TRUE(DeleteMonitorW(nullptr, nullptr, const_cast<wchar_t*>(monitor_.c_str())));
    EXPECT_EQ(openXcv(L",XcvMonitor " + monitor_, SERVER_ACCESS_ADMINISTER, error), nullptr);
    EXPECT_EQ(error, DWORD{ERROR_UNKNOWN_PRINT_MONITOR});
    MONITOR_INFO_2W info{const_cast<wchar_t*>(monitor_.c_str()), nullptr, const_cast<wchar_t*>(dll_.c_str())};
    ASSERT_TRUE(AddMonitorW(nullptr, 2, reinterpret_cast<LPBYTE>(&info)));
    xcv = openXcv(L",XcvMonitor " + monitor_, SERVER_ACCESS_ADMINISTER, error);
    ASSERT_EQ(error, 0u);
    ClosePrinter(xcv);
    const std::string m = n(monitor_);
    EXPECT_EQ(monitorLines(), (std::vector<std::string>{"init 1 1", "open " + m + " 1", "close " + m, "shutdown",
                                                        "init 1 1", "open " + m + " 1", "close " + m}));
}

} // namespace

// Other processes add and remove their monitors and ports while one lists
// them: a port that stays is listed by every enumeration.
TEST(SpoolerPortList, PortsThatStayAreListedWhileOtherMonitorsComeAndGo)
{
    const std::wstring id = std::to_wstring(GetCurrentProcessId());
    // Sorted after the monitors that come and go, so each change shifts it.
    testspool::ScopedSessionPorts stays(L"Session Ports Z" + id);
    const std::wstring port = L"TS" + id + L"Z";
    stays.add(port, L"PCZ:  PRN1");
    std::atomic<bool> done{false};
    std::thread churn([&] {
        for (int round = 0; !done; ++round) {
            testspool::ScopedSessionPorts passing(L"Session Ports A" + id + L"-" + std::to_wstring(round % 5));
            passing.add(L"TS" + id + L"A" + std::to_wstring(round % 5), L"PCA:  PRN1");
        }
    });
    int missed = 0;
    for (int list = 0; list < 400; ++list) {
        DWORD needed = 0, count = 0;
        EnumPortsW(nullptr, 2, nullptr, 0, &needed, &count);
        std::vector<BYTE> buffer(needed + 4096);
        if (!EnumPortsW(nullptr, 2, buffer.data(), static_cast<DWORD>(buffer.size()), &needed, &count)) {
            ++missed; // the list grew past the buffer: counted, not expected
            continue;
        }
        const auto* ports = reinterpret_cast<const PORT_INFO_2W*>(buffer.data());
        if (std::none_of(ports, ports + count, [&](const PORT_INFO_2W& p) { return p.pPortName && port == p.pPortName; }))
            ++missed;
    }
    done = true;
    churn.join();
    EXPECT_EQ(0, missed);
}
