#include "support/ChildRun.h"

#include <gtest/gtest.h>

namespace testenv {

namespace {

std::wstring selfPath()
{
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    return self;
}

// In a child started by runSelfInLocale: the gtest summary, written to the
// report file when the run ends (gtest's own output is not captured there).
class ReportListener : public ::testing::EmptyTestEventListener {
public:
    explicit ReportListener(std::wstring reportFile) : reportFile_(std::move(reportFile)) {}

    void OnTestPartResult(const ::testing::TestPartResult& result) override
    {
        if (result.failed())
            text_ += std::string(result.file_name() ? result.file_name() : "?") + ":" +
                     std::to_string(result.line_number()) + ": " + result.message() + "\n";
    }

    void OnTestEnd(const ::testing::TestInfo& info) override
    {
        const ::testing::TestResult* result = info.result();
        const char* tag = result->Skipped() ? "[  SKIPPED ] " : result->Passed() ? "[       OK ] " : "[  FAILED  ] ";
        text_ += tag + std::string(info.test_suite_name()) + "." + info.name() + "\n";
    }

    void OnTestProgramEnd(const ::testing::UnitTest& unit) override
    {
        const int passed = unit.successful_test_count();
        text_ += "[  PASSED  ] " + std::to_string(passed) + (passed == 1 ? " test." : " tests.") + "\n";
        text_ += unit.Passed() ? "RESULT passed\n" : "RESULT failed\n";
        writeReport(reportFile_, text_);
    }

private:
    std::wstring reportFile_;
    std::string text_;
};

const bool reportListenerInstalled = [] {
    wchar_t reportFile[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableW(L"VRELM_TEST_REPORT", reportFile, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return false;
    ::testing::UnitTest::GetInstance()->listeners().Append(new ReportListener(reportFile));
    return true;
}();

} // namespace

ProcessResult runSelf(const std::string& filter,
                      const std::vector<std::pair<std::wstring, std::wstring>>& environment,
                      DWORD timeoutMs)
{
    auto env = environment;
    env.emplace_back(L"VRELM_TEST_CHILD", L"1");
    return runProcess(L"\"" + selfPath() + L"\" --gtest_filter=" + widen(filter), env, L"", timeoutMs);
}

ProcessResult runSelfInLocale(const std::string& filter, const std::wstring& locale,
                              const std::vector<std::pair<std::wstring, std::wstring>>& environment,
                              DWORD timeoutMs)
{
    ProcessResult result;
    TempDir dir;
    if (dir.path().empty())
        return result;
    const std::wstring reportFile = dir.file(L"report.txt");
    auto env = environment;
    env.emplace_back(L"VRELM_TEST_CHILD", L"1");
    env.emplace_back(L"VRELM_TEST_REPORT", reportFile);
    result.output = runInLocale(L"\"" + selfPath() + L"\" --gtest_filter=" + widen(filter), locale, reportFile, env,
                                timeoutMs);
    result.timedOut = result.output.empty();
    if (!result.timedOut)
        result.exitCode = result.output.find("RESULT passed\n") != std::string::npos ? 0 : 1;
    return result;
}

bool inChildProcess()
{
    wchar_t value[8] = {};
    return GetEnvironmentVariableW(L"VRELM_TEST_CHILD", value, 8) > 0 && value[0] == L'1';
}

} // namespace testenv
