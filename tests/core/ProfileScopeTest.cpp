// Trace scopes through the optional profiler, seen from real host processes:
// where the profiler DLL is searched for, which of its variants are used, and
// what reaches it. The profiler stand-in logs its calls to QZPROFILER_LOG.
#include "support/TestEnv.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using testenv::TempDir;

namespace {

bool createPath(const std::wstring& path)
{
    size_t pos = path.find(L'\\', 3);
    while (pos != std::wstring::npos) {
        CreateDirectoryW(path.substr(0, pos).c_str(), nullptr);
        pos = path.find(L'\\', pos + 1);
    }
    return CreateDirectoryW(path.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

// A host layout: the host executable in the scratch folder, the module in
// its "mod" subfolder, so that the normal DLL search (which looks beside the
// executable) cannot find a profiler placed beside the module.
class ProfilerHost : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(dir_.path().empty());
        ASSERT_TRUE(CreateDirectoryW(moduleDir().c_str(), nullptr));
        ASSERT_TRUE(testenv::copyFileTo(bin_ + L"\\vrelm101probe.dll", moduleDir() + L"\\vrelm101probe.dll"));
        // The spooler stand-in gives these hosts a driver store of their own.
        driverThree_ = driverRoot() + L"\\x64\\3";
    }

    std::wstring moduleDir() const { return dir_.file(L"mod"); }
    std::wstring logPath() const { return dir_.file(L"profiler.log"); }
    std::wstring driverRoot() const { return dir_.file(L"drivers"); }

    void placeProfiler(const wchar_t* variant, const std::wstring& folder)
    {
        ASSERT_TRUE(createPath(folder));
        ASSERT_TRUE(testenv::copyFileTo(bin_ + L"\\profiler\\" + variant + L"\\QZProfiler.dll",
                                        folder + L"\\QZProfiler.dll"));
    }

    std::vector<std::string> run(const wchar_t* hostName, const std::wstring& commands)
    {
        const std::wstring host = dir_.file(hostName);
        EXPECT_TRUE(testenv::copyFileTo(bin_ + L"\\ModuleHost.exe", host));
        const testenv::ProcessResult result = testenv::runProcess(
            L"\"" + host + L"\" \"" + moduleDir() + L"\\vrelm101probe.dll\" " + commands,
            {{L"QZPROFILER_LOG", logPath()}, {L"VRELM_SPOOLER_DRIVER_ROOT", driverRoot()}}, dir_.path());
        EXPECT_EQ(0u, result.exitCode) << result.output;
        EXPECT_FALSE(result.timedOut);
        return testenv::readLines(logPath());
    }

    TempDir dir_;
    std::wstring bin_ = testenv::binDir();
    std::wstring driverThree_;
};

} // namespace

TEST_F(ProfilerHost, WithoutProfilerScopesAndTracesAreSilent)
{
    EXPECT_TRUE(run(L"winword.exe", L"scope:Quiet trace:nothing flags").empty());
}

TEST_F(ProfilerHost, ApplicationFindsProfilerInDriverDirectoryThreeFolder)
{
    placeProfiler(L"full", driverThree_);
    const std::vector<std::string> expected = {
        "UseLogger",
        "AttachLogger vrelm101probe.dll",
        "ProfileScopeBegin 1 LumoraUI::SetPrinterPort",
        "ProfileScopeEnd 1 LumoraUI::SetPrinterPort",
        "ProfileScopeBegin 2 LumoraUI::Print(Office 3)",
        "ProfileScopeEnd 2 LumoraUI::Print(Office 3)",
        "LogTrace done",
        "DetachLogger vrelm101probe.dll",
    };
    EXPECT_EQ(expected, run(L"winword.exe", L"scope:LumoraUI::SetPrinterPort \"scopew:LumoraUI::Print=Office 3\" "
                                            L"trace:done"));
}

TEST_F(ProfilerHost, SpoolerLooksOnlyBesideTheModule)
{
    placeProfiler(L"full", driverThree_);
    EXPECT_TRUE(run(L"spoolsv.exe", L"scope:InSpooler trace:x").empty());

    placeProfiler(L"full", moduleDir());
    const std::vector<std::string> lines = run(L"spoolsv.exe", L"scope:InSpooler");
    ASSERT_EQ(5u, lines.size());
    EXPECT_EQ("ProfileScopeBegin 1 InSpooler", lines[2]);
}

TEST_F(ProfilerHost, VariantsThatRefuseAreLoadedButNeverUsed)
{
    struct Row {
        const wchar_t* variant;
        std::vector<std::string> expected;
    } rows[] = {
        {L"nouse", {}},
        {L"usezero", {"UseLogger"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testenv::narrow(row.variant));
        DeleteFileW(logPath().c_str());
        placeProfiler(row.variant, driverThree_);
        EXPECT_EQ(row.expected, run(L"winword.exe", L"scope:Never trace:never"));
    }
}

TEST_F(ProfilerHost, NamesAreCutAt999AndEmptyNamesReportNothing)
{
    placeProfiler(L"full", driverThree_);
    // "long:N" formats N characters through "%s(%S)".
    const std::vector<std::string> lines = run(L"winword.exe", L"scope: long:1500 long:997");
    ASSERT_EQ(7u, lines.size());
    const std::string cut = "ProfileScopeBegin 1 " + std::string(997, 'x') + "()";
    EXPECT_EQ(std::string(999, 'x'), lines[2].substr(20));
    EXPECT_EQ("ProfileScopeBegin 2 " + std::string(997, 'x') + "()", lines[4]);
    EXPECT_EQ(cut.size(), lines[2].size());
}
