// Host classification: the pure rule, then real host processes that load the
// module under the names the spooler, the print-isolation host and the shell
// run as.
#include "extension/ModuleEntry.h"
#include "support/TestEnv.h"

#include <gtest/gtest.h>

using testenv::TempDir;

TEST(ModuleEntry, ClassifiesHostPathsBySubstring)
{
    struct Row {
        const wchar_t* path;
        DWORD spooler;
        DWORD shell;
    } rows[] = {
        {L"C:\\Windows\\System32\\spoolsv.exe", 1, 0},
        {L"C:\\WINDOWS\\system32\\SpoolSv.EXE", 1, 0},
        {L"C:\\Windows\\System32\\PrintIsolationHost.exe", 1, 0},
        {L"C:\\Windows\\explorer.exe", 0, 1},
        {L"C:\\Program Files\\App\\winword.exe", 0, 0},
        // Substring tests on the whole path: a folder name matches too.
        {L"C:\\tools\\explorer.exe.d\\app.exe", 0, 1},
        {L"C:\\spoolsv.exe\\explorer.exe", 1, 0},
        {L"", 0, 0},
        {nullptr, 0, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.path ? testenv::narrow(row.path) : "(null)");
        const ModuleEntry::HostFlags flags = ModuleEntry::classifyHostPath(row.path);
        EXPECT_EQ(row.spooler, flags.inSpooler);
        EXPECT_EQ(row.shell, flags.inShell);
    }
}

TEST(ModuleEntry, RealHostsSetTheFlagsAtAttach)
{
    TempDir dir;
    ASSERT_FALSE(dir.path().empty());
    const std::wstring bin = testenv::binDir();
    ASSERT_TRUE(testenv::copyFileTo(bin + L"\\vrelm101probe.dll", dir.file(L"vrelm101probe.dll")));

    struct Row {
        const wchar_t* hostName;
        const char* expected;
    } rows[] = {
        {L"spoolsv.exe", "spooler=1 shell=0 module=self"},
        {L"PrintIsolationHost.exe", "spooler=1 shell=0 module=self"},
        {L"explorer.exe", "spooler=0 shell=1 module=self"},
        {L"winword.exe", "spooler=0 shell=0 module=self"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testenv::narrow(row.hostName));
        const std::wstring host = dir.file(row.hostName);
        ASSERT_TRUE(testenv::copyFileTo(bin + L"\\ModuleHost.exe", host));
        const testenv::ProcessResult run =
            testenv::runProcess(L"\"" + host + L"\" \"" + dir.file(L"vrelm101probe.dll") + L"\" flags");
        EXPECT_EQ(0u, run.exitCode) << run.output;
        EXPECT_NE(std::string::npos, run.output.find(row.expected)) << run.output;
    }
}
