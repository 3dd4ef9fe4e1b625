// The hosted status watch against the vrelm104.dll stand-in beside the test
// executable: the support decision, a watch whose status changes on the
// module's timer, and a module that refuses to close its watch.
#include "bidi/PolicySource.h"
#include "bidi/SNPCheckStatus.h"
#include "core/ProcAddress.h"
#include "support/ChildRun.h"
#include "support/QueueData.h"
#include "support/SharedState.h"
#include "support/TestEnv.h"
#include "support/TestSpooler.h"

#include <gtest/gtest.h>

#include <optional>
#include <set>

VRELM_TEST_SHARES(cluster_node);

using MPrint::SNPCheckStatus;

namespace {

bool g_checkStatus = true;

bool testPolicy(const wchar_t* name, bool defaultValue)
{
    return std::wstring(name) == L"CheckStatus" ? g_checkStatus : defaultValue;
}

class ScopedPolicy {
public:
    explicit ScopedPolicy(bool checkStatus)
    {
        g_checkStatus = checkStatus;
        MPrint::setPolicyBoolSource(&testPolicy);
    }
    ~ScopedPolicy() { MPrint::setPolicyBoolSource(nullptr); }
};

class ScopedVariable {
public:
    ScopedVariable(const wchar_t* name, const wchar_t* value) : name_(name) { SetEnvironmentVariableW(name, value); }
    ~ScopedVariable() { SetEnvironmentVariableW(name_, nullptr); }

private:
    const wchar_t* name_;
};

bool moduleLoaded() { return GetModuleHandleW(L"vrelm104.dll") != nullptr; }

} // namespace

TEST(SNPCheckStatus, SupportFollowsTheDriverThenThePolicyAndIsDecidedOnce)
{
    ASSERT_NE(testspool::control(), nullptr);
    struct Row {
        const char* name;
        std::optional<std::wstring> verifyPdl;
        bool policy;
        bool supported;
    } rows[] = {
        {"no VerifyPDL, policy on", std::nullopt, true, true},
        {"no VerifyPDL, policy off", std::nullopt, false, false},
        {"PCL3", L"PCL3", true, false},
        {"pcl3 is not PCL3", L"pcl3", true, true},
        {"PCL3 with a space", L"PCL3 ", false, false},
        {"PCL5", L"PCL5", true, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        testspool::DriverQueue queue(L"Status");
        ASSERT_TRUE(queue.ready());
        ASSERT_TRUE(queue.setVerifyPdl(row.verifyPdl));
        ScopedPolicy policy(row.policy);
        SNPCheckStatus check;
        EXPECT_EQ(check.isSupported(queue.name().c_str()), row.supported);
        EXPECT_EQ(check.getModulePath(), testenv::binDir() + L"\\vrelm104.DLL");
        g_checkStatus = !row.policy;
        EXPECT_EQ(check.isSupported(nullptr), row.supported);
    }
    ScopedPolicy policy(true);
    EXPECT_TRUE(SNPCheckStatus().isSupported(nullptr));
    EXPECT_TRUE(SNPCheckStatus().isSupported(L"no such queue"));
}

TEST(SNPCheckStatus, WithoutTheModuleBesideItNothingIsSupported)
{
    // This executable copied to a folder without vrelm104.dll.
    testenv::TempDir dir;
    const std::wstring copy = dir.file(L"StatusAlone.exe");
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    ASSERT_TRUE(CopyFileW(self, copy.c_str(), FALSE));
    const testenv::ProcessResult child = testenv::runProcess(
        L"\"" + copy + L"\" --gtest_filter=SNPCheckStatus.AloneChild", {{L"VRELM_TEST_CHILD", L"1"}});
    EXPECT_EQ(child.exitCode, 0u) << child.output;
    EXPECT_NE(child.output.find("[       OK ] SNPCheckStatus.AloneChild"), std::string::npos) << child.output;
}

TEST(SNPCheckStatus, AloneChild)
{
    CHILD_TEST_ONLY();
    ScopedPolicy policy(true);
    SNPCheckStatus check;
    EXPECT_FALSE(check.isSupported(nullptr));
    EXPECT_FALSE(check.getHostedDeviceStatus(L"Queue", L"10.0.0.5", nullptr));
    EXPECT_EQ(check.getStatusHandle(), 0u);
    EXPECT_TRUE(check.closeHostedDeviceStatus());
}

TEST(SNPCheckStatus, AWatchReportsTheModulesStatusesUntilClosed)
{
    testenv::ScopedLogVariable log(L"VRELM104_LOG");
    ScopedVariable statuses(L"VRELM104_STATUSES", L"4,7,8");
    ScopedVariable interval(L"VRELM104_INTERVAL_MS", L"10");
    ScopedPolicy policy(true);
    SNPCheckStatus check;

    EXPECT_TRUE(check.closeHostedDeviceStatus());  // no watch: nothing loaded
    EXPECT_FALSE(moduleLoaded());
    ASSERT_TRUE(check.getHostedDeviceStatus(L"Office", L"10.0.0.5", nullptr));
    EXPECT_NE(check.getStatusHandle(), 0u);
    EXPECT_TRUE(moduleLoaded());
    std::set<DWORD> seen;
    for (int i = 0; i < 1000 && check.getLastStatus() != 8; ++i) {
        seen.insert(check.getLastStatus());
        Sleep(5);
    }
    seen.insert(check.getLastStatus());
    EXPECT_EQ(check.getLastStatus(), 8u);
    EXPECT_TRUE(seen.count(8) && seen.size() <= 4 && !seen.count(1)) << seen.size();

    // A second watch is refused without asking the module.
    EXPECT_FALSE(check.getHostedDeviceStatus(L"Office", L"10.0.0.5", nullptr));
    EXPECT_EQ(log.count("open"), 1u);

    EXPECT_TRUE(check.closeHostedDeviceStatus());
    EXPECT_EQ(check.getStatusHandle(), 0u);
    EXPECT_FALSE(moduleLoaded());
    EXPECT_EQ(log.count("close"), 1u);
    const std::vector<std::string> lines = log.lines();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0].rfind("open Office\t10.0.0.5\t", 0), 0u) << lines[0];
}

TEST(SNPCheckStatus, RefusalsAreFalseAndAnUnclosedWatchKeepsTheModule)
{
    ScopedPolicy policy(true);
    {
        ScopedVariable fail(L"VRELM104_FAIL", L"open");
        SNPCheckStatus check;
        EXPECT_FALSE(check.getHostedDeviceStatus(L"Office", L"10.0.0.5", nullptr));
        EXPECT_EQ(check.getStatusHandle(), 0u);
    }
    EXPECT_FALSE(moduleLoaded());
    {
        ScopedPolicy off(false);
        SNPCheckStatus check;
        EXPECT_FALSE(check.getHostedDeviceStatus(L"Office", L"10.0.0.5", nullptr));
        EXPECT_FALSE(moduleLoaded());
    }

    ScopedVariable interval(L"VRELM104_INTERVAL_MS", L"5");
    UINT_PTR handle = 0;
    {
        ScopedVariable fail(L"VRELM104_FAIL", L"");  // outlives the checker
        SNPCheckStatus check;
        ASSERT_TRUE(check.getHostedDeviceStatus(L"Office", L"10.0.0.5", nullptr));
        handle = check.getStatusHandle();
        SetEnvironmentVariableW(L"VRELM104_FAIL", L"close");
        EXPECT_FALSE(check.closeHostedDeviceStatus());
        EXPECT_EQ(check.getStatusHandle(), handle);
        EXPECT_TRUE(moduleLoaded());
    }
    // The object is gone while the module's watch still writes its status
    // and runs its code: both stay alive.
    Sleep(50);
    HMODULE module = GetModuleHandleW(L"vrelm104.dll");
    ASSERT_NE(module, nullptr);
    const auto close = procAddress<BOOL(WINAPI*)(UINT_PTR)>(module, "CloseHostedDeviceStatus");
    ASSERT_NE(close, nullptr);
    EXPECT_TRUE(close(handle));
    FreeLibrary(module);
    EXPECT_FALSE(moduleLoaded());
}
