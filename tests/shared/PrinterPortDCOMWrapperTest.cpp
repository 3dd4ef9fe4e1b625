// The remote-port module as the port lookup's last resort: what is called,
// what is freed, and what stays empty when the module cannot answer.
#include "shared/PrinterPortDCOMWrapper.h"
#include "support/PortStandIns.h"
#include "support/TestEnv.h"
#include "support/TestSpooler.h"

#include <gtest/gtest.h>

namespace {

class RemotePortModule : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(testspool::control(), nullptr);
        server_ = L"RW" + std::to_wstring(GetCurrentProcessId());
        queue_ = std::make_unique<testspool::ScopedQueue>(L"\\\\" + server_ + L"\\Plotter", L"Vrelm Test Driver",
                                                          L"HST_plotter.example");
        ASSERT_EQ(queue_->error(), DWORD{ERROR_SUCCESS});
        testspool::control()->addServerPort((L"\\\\" + server_).c_str(), L"HST_plotter.example", L"tcpmon.dll",
                                            L"Standard TCP/IP Port");
    }
    void TearDown() override { SetEnvironmentVariableW(L"VRELM_REMOTEPORT_FAIL", nullptr); }

    std::wstring server_;
    std::unique_ptr<testspool::ScopedQueue> queue_;
    testenv::ScopedLogVariable record_{L"VRELM_REMOTEPORT_LOG"};
};

} // namespace

TEST_F(RemotePortModule, AnswersFillAllFourFieldsAndEveryTextIsFreed)
{
    // Leading backslashes of the server name are dropped; the directory may lack its own.
    PrinterPortDCOMWrapper wrapper(L"\\\\" + server_, L"Plotter", testports::remotePortDir(L"full"));
    EXPECT_EQ(wrapper.getRemotePortName(), L"HST_plotter.example");
    EXPECT_EQ(wrapper.getRemotePortAddress(), L"plotter.example");
    EXPECT_EQ(wrapper.getRemoteMonitorName(), L"tcpmon.dll");
    EXPECT_EQ(wrapper.getRemotePortDescription(), L"Standard TCP/IP Port");
    const std::vector<std::string> lines = record_.lines();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0], "GetRemotePortName Plotter " + testenv::narrow(server_) + " => 0");
    EXPECT_EQ(record_.count("FreeQZString"), 4u);
    EXPECT_EQ(record_.count("GetRemotePortInformation"), 1u);
}

TEST_F(RemotePortModule, FailuresLeaveTheFieldsEmptyAndFreeWhatTheModuleHandedOut)
{
    struct Row {
        const char* name;
        std::wstring directory;
        const wchar_t* failing;  // VRELM_REMOTEPORT_FAIL
        std::wstring printer;
        size_t nameCalls, informationCalls, frees;
    } rows[] = {
        // The first call fails after it handed out a text: the second is not made, the text is freed.
        {"first call fails", testports::remotePortDir(L"full"), L"GetRemotePortName", L"Plotter", 1, 0, 1},
        {"second call fails", testports::remotePortDir(L"full") + L"\\", L"GetRemotePortInformation", L"Plotter", 1,
         1, 2},
        {"unknown printer", testports::remotePortDir(L"full"), nullptr, L"Nothing Here", 1, 0, 0},
        {"missing export", testports::remotePortDir(L"nofree"), nullptr, L"Plotter", 0, 0, 0},
        {"no module there", testenv::binDir(), nullptr, L"Plotter", 0, 0, 0},
        {"empty directory", L"", nullptr, L"Plotter", 0, 0, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        DeleteFileW(record_.path().c_str());
        SetEnvironmentVariableW(L"VRELM_REMOTEPORT_FAIL", row.failing);
        PrinterPortDCOMWrapper wrapper(server_, row.printer, row.directory);
        EXPECT_EQ(wrapper.getRemotePortName(), L"");
        EXPECT_EQ(wrapper.getRemotePortAddress(), L"");
        EXPECT_EQ(wrapper.getRemoteMonitorName(), L"");
        EXPECT_EQ(wrapper.getRemotePortDescription(), L"");
        EXPECT_EQ(record_.count("GetRemotePortName"), row.nameCalls);
        EXPECT_EQ(record_.count("GetRemotePortInformation"), row.informationCalls);
        EXPECT_EQ(record_.count("FreeQZString"), row.frees);
        // Never a null text or one freed twice.
        EXPECT_EQ(record_.count("FreeQZString (null)"), 0u);
    }
}
