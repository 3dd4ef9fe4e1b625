// Tests on queue names and on the host process's name.
#include "shared/SpoolerNames.h"
#include "support/TestEnv.h"

#include <gtest/gtest.h>

TEST(SpoolerNames, QueueAndMakerNames)
{
    struct Row {
        const wchar_t* text;
        bool iPrintQueue, makerName, iPrintUpload;
    } rows[] = {
        {L"\\\\srv\\ipp://host/queue", true, false, false},
        {L"\\\\srv\\queue", false, false, false},
        {L"ipp://host/queue", false, false, false},
        {L"", false, false, false},
        {L"QZ Color Laser", false, true, false},
        {L"my qz printer", false, true, false},
        {L"qzprinter", false, false, false},
        {L"Tarvokin Office", false, true, false},
        {L"TARVOKIN", false, true, false},
        {L"tarvokin", false, false, false},
        {L"Calvenor 5000", false, true, false},
        {L"\\\\srv\\ipp://host/iPrintUpload", true, false, true},
        {L"iprintupload", false, false, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testenv::narrow(row.text));
        EXPECT_EQ(isIPrintQueue(row.text), row.iPrintQueue);
        EXPECT_EQ(isMakerName(row.text), row.makerName);
        EXPECT_EQ(isIPrintUpload(row.text), row.iPrintUpload);
    }
}

TEST(SpoolerNames, SpoolerProcessByTheHostsFileName)
{
    testenv::TempDir dir;
    const std::wstring bin = testenv::binDir();
    ASSERT_TRUE(testenv::copyFileTo(bin + L"\\vrelm101probe.dll", dir.file(L"vrelm101probe.dll")));
    struct Row {
        const wchar_t* host;
        const char* expected;
    } rows[] = {
        {L"spoolsv.exe", "spoolerprocess=1"},
        {L"PrintIsolationHost.exe", "spoolerprocess=1"},
        {L"spoolsv.exe.host.exe", "spoolerprocess=1"},
        {L"app.exe", "spoolerprocess=0"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testenv::narrow(row.host));
        const std::wstring host = dir.file(row.host);
        ASSERT_TRUE(testenv::copyFileTo(bin + L"\\ModuleHost.exe", host));
        const testenv::ProcessResult result = testenv::runProcess(
            L"\"" + host + L"\" \"" + dir.file(L"vrelm101probe.dll") + L"\" spoolerprocess");
        EXPECT_EQ(result.exitCode, 0u) << result.output;
        EXPECT_NE(result.output.find(row.expected), std::string::npos) << result.output;
    }
}

