// The driver behind a queue, its directory and registry key in the local
// and the cluster form, and the cluster probes, against the spooler stand-in.
#include "shared/PrintDriver.h"
#include "support/SharedState.h"
#include "support/TestEnv.h"
#include "support/TestSpooler.h"

#include <gtest/gtest.h>

VRELM_TEST_SHARES(cluster_node);

using testspool::ScopedQueue;

namespace {

constexpr wchar_t kLocalKey[] = L"SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\Windows x64\\Drivers\\Version-3\\";

std::wstring localDriverDirectory()
{
    std::wstring directory;
    getPrinterDriverDirectory(directory, L"");
    return directory;
}

// HKLM "Cluster" exists for the scope: the machine is a cluster node.
class ScopedClusterNode {
public:
    ScopedClusterNode()
    {
        HKEY key = nullptr;
        RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"Cluster", 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr);
        if (key)
            RegCloseKey(key);
    }
    ~ScopedClusterNode() { RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"Cluster"); }
};

// A driver registered with the stand-in for the scope.
class ScopedDriver {
public:
    ScopedDriver(const std::wstring& file, const std::vector<std::wstring>& dependents)
        : name_(testspool::uniqueQueueName(L"Driver"))
    {
        const SpoolerControlApi* api = testspool::control();
        api->setDriverValue(name_.c_str(), L"Driver", REG_SZ, file.c_str(),
                            static_cast<DWORD>((file.size() + 1) * sizeof(wchar_t)));
        std::wstring list;
        for (const std::wstring& entry : dependents)
            list += entry + L'\0';
        list += L'\0';
        api->setDriverValue(name_.c_str(), L"Dependent Files", REG_MULTI_SZ, list.data(),
                            static_cast<DWORD>(list.size() * sizeof(wchar_t)));
    }
    ~ScopedDriver() { RegDeleteTreeW(HKEY_LOCAL_MACHINE, (std::wstring(kLocalKey) + name_).c_str()); }
    const std::wstring& name() const { return name_; }

private:
    std::wstring name_;
};

} // namespace

TEST(PrintDriver, DirectoryAndRegistryKeyOfLocalAndClusterDriverPaths)
{
    const std::wstring local = localDriverDirectory();
    ASSERT_FALSE(local.empty());
    const std::wstring clusterKey = L"Cluster\\Resources\\{5E1D}\\Parameters\\Environments\\Windows x64\\Drivers\\Version-3\\Unidrv";
    struct Row {
        const char* name;
        std::wstring path;
        std::wstring directory;  // empty: getDrvDir fails
        std::wstring key;        // empty: getRegKeyPath fails
    } rows[] = {
        {"local", local + L"\\3\\unidrv.dll", local + L"\\3\\", kLocalKey + std::wstring(L"Unidrv")},
        {"local in other case", L"C:\\WINDOWS\\SYSTEM32\\SPOOL\\DRIVERS\\X64\\3\\unidrv.dll",
         L"C:\\WINDOWS\\SYSTEM32\\SPOOL\\DRIVERS\\X64\\3\\", kLocalKey + std::wstring(L"Unidrv")},
        {"cluster spool path", L"C:\\Windows\\system32\\spool\\drivers\\{5E1D}\\drivers\\x64\\3\\unidrv.dll",
         L"C:\\Windows\\system32\\spool\\drivers\\{5E1D}\\drivers\\x64\\3\\", clusterKey},
        {"cluster share path", L"\\\\VS1\\print$\\{5E1D}\\Drivers\\x64\\3\\unidrv.dll",
         L"\\\\VS1\\print$\\{5E1D}\\Drivers\\x64\\3\\", clusterKey},
        {"outside, no resource", L"D:\\drivers\\unidrv.dll", L"D:\\drivers\\", kLocalKey + std::wstring(L"Unidrv")},
        {"no backslash", L"unidrv.dll", L"", L""},
        {"empty", L"", L"", L""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        PrintDriver driver(L"Unidrv", row.path.c_str());
        std::wstring directory = L"unchanged", key = L"unchanged";
        EXPECT_EQ(driver.getDrvDir(directory, row.path.c_str()), !row.directory.empty());
        EXPECT_EQ(directory, row.directory.empty() ? L"unchanged" : row.directory);
        EXPECT_EQ(driver.getRegKeyPath(key, row.path.c_str()), !row.key.empty());
        EXPECT_EQ(key, row.key.empty() ? L"unchanged" : row.key);
        // The first answers are cached.
        if (!row.key.empty()) {
            std::wstring again;
            EXPECT_TRUE(driver.getDriverRegKeyPath(again));
            EXPECT_EQ(again, row.key);
        }
    }
    // The key is built in a 520-character buffer: a longer one is refused, not cut.
    const std::wstring longName(600, L'n');
    PrintDriver longDriver(longName.c_str(), (local + L"\\3\\unidrv.dll").c_str());
    std::wstring key = L"unchanged";
    EXPECT_FALSE(longDriver.getRegKeyPath(key, nullptr));
    EXPECT_EQ(key, L"unchanged");
}

TEST(PrintDriver, QueueDriverRecordDependentFilesAndConstructorsByLevel)
{
    ASSERT_NE(testspool::control(), nullptr);
    ScopedDriver registered(L"VRELMDRV.DLL", {L"A.DLL", L"vrelm109.dll", L"QZHELP_EN.CAB"});
    ScopedQueue queue(testspool::uniqueQueueName(L"Drv"), registered.name());
    ASSERT_EQ(queue.error(), DWORD{ERROR_SUCCESS});
    const std::wstring folder = localDriverDirectory() + L"\\3\\";

    PrintDriver driver(queue.name());
    std::wstring text;
    ASSERT_TRUE(driver.getDriverName(text));
    EXPECT_EQ(text, registered.name());
    ASSERT_TRUE(driver.getDriverPath(text));
    EXPECT_EQ(text, folder + L"VRELMDRV.DLL");
    ASSERT_TRUE(driver.getDriverDirectory(text));
    EXPECT_EQ(text, folder);
    struct Row {
        const wchar_t* wanted;
        std::wstring found;  // empty: none
    } rows[] = {
        {L"qzhelp", folder + L"QZHELP_EN.CAB"},
        {L"VRELM109", folder + L"vrelm109.dll"},
        {L".dll", folder + L"A.DLL"},
        {L"x64", L""},  // the folder part is not searched
        {L"missing", L""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testenv::narrow(row.wanted));
        std::wstring file = L"unchanged";
        EXPECT_EQ(driver.findDependentFile(row.wanted, file), !row.found.empty());
        EXPECT_EQ(file, row.found.empty() ? L"unchanged" : row.found);
    }

    // The record of the queue, handed in by level.
    const DRIVER_INFO_3W* info = driver.getDriverInfo();
    ASSERT_NE(info, nullptr);
    PrintDriver byThree(3, info);
    EXPECT_EQ(byThree.getDriverInfo(), info);
    EXPECT_TRUE(byThree.getDriverName(text));
    EXPECT_TRUE(byThree.findDependentFile(L"a.dll", text));
    DRIVER_INFO_1W one{const_cast<wchar_t*>(L"Named Only")};
    PrintDriver byOne(1, &one);
    EXPECT_FALSE(byOne.getDriverPath(text));
    EXPECT_EQ(byOne.getDriverInfo(), nullptr);
    PrintDriver byFour(4, info);
    EXPECT_EQ(byFour.getDriverInfo(), nullptr);

    PrintDriver missing(std::wstring(L"No Such Queue"));
    EXPECT_FALSE(missing.getDriverName(text));
    EXPECT_FALSE(missing.getDriverDirectory(text));
    EXPECT_EQ(missing.getDependentFiles(), nullptr);
}

TEST(PrintDriver, ClusterProbesAndDriverDirectoryServerNames)
{
    ASSERT_NE(testspool::control(), nullptr);
    ScopedQueue queue(testspool::uniqueQueueName(L"Clustered"));
    ASSERT_EQ(queue.error(), DWORD{ERROR_SUCCESS});
    HANDLE printer = nullptr;
    PRINTER_DEFAULTSW admin{nullptr, nullptr, PRINTER_ALL_ACCESS};
    ASSERT_TRUE(OpenPrinterW(const_cast<wchar_t*>(queue.name().c_str()), &printer, &admin));
    EXPECT_FALSE(isClusterPrinter(queue.name()));
    EXPECT_FALSE(PrintDriver(printer).isDriverRunningInCluster(localDriverDirectory()));
    ASSERT_TRUE(setClusterPrinter(printer, true));
    EXPECT_TRUE(isClusterPrinterHandle(printer));
    EXPECT_TRUE(isClusterPrinter(queue.name()));
    EXPECT_TRUE(PrintDriver(printer).isDriverRunningInCluster(L""));
    ASSERT_TRUE(setClusterPrinter(printer, false));
    EXPECT_FALSE(isClusterPrinter(queue.name()));
    ClosePrinter(printer);

    EXPECT_FALSE(isClusterNode());
    {
        ScopedClusterNode node;
        EXPECT_TRUE(isClusterNode());
        EXPECT_TRUE(PrintDriver(L"Unidrv", L"").isDriverRunningInCluster(L""));
    }
    EXPECT_FALSE(isClusterNode());
    EXPECT_FALSE(isClusterServiceReachable(L""));
    EXPECT_FALSE(isClusterServiceReachable(L"\\\\srv\\ipp://host/queue"));

    testspool::ScopedCallLog log;
    std::wstring directory;
    getPrinterDriverDirectory(directory, L"printsrv");
    getPrinterDriverDirectory(directory, L"\\\\printsrv2");
    const std::vector<std::string> calls = log.calls("GetPrinterDriverDirectoryW");
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_NE(calls[0].find("\t\\\\printsrv\t"), std::string::npos) << calls[0];
    EXPECT_NE(calls[1].find("\t\\\\printsrv2\t"), std::string::npos) << calls[1];
}
