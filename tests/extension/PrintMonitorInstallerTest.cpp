// The port-monitor installer against the spooler stand-in and the Keravin
// monitor stand-in: a monitor of its own name per case, with its loader and
// body under names of their own in a scratch system directory (found by the
// stand-in spooler through the DLL directory), and a scratch driver
// directory holding the module and the files it offers.
#include "extension/PrintMonitorInstaller.h"

#include "core/FileVersion.h"
#include "core/RegistryKey.h"
#include "support/PrivateCurrentUser.h"
#include "support/TestEnv.h"
#include "support/TestSpooler.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

namespace {

const std::wstring kMonitorsKey = L"SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\";

std::wstring loaderFile() { return testenv::binDir() + L"\\vrelm106.DLL"; }
std::wstring body61() { return testenv::binDir() + L"\\vrelm107.DLL"; }
std::wstring body62() { return testenv::binDir() + L"\\monitors\\keravin-6.2\\vrelm107.DLL"; }

// "a.b" of a file's version, "none" without one.
std::string versionOf(const std::wstring& path)
{
    VS_FIXEDFILEINFO info = {};
    if (!getFileVersionInfoFixed(path.c_str(), info))
        return "none";
    return std::to_string(HIWORD(info.dwFileVersionMS)) + "." + std::to_string(LOWORD(info.dwFileVersionMS));
}

bool monitorRegistered(const std::wstring& name)
{
    RegistryKey key(HKEY_LOCAL_MACHINE, kMonitorsKey + name, RegistryKey::kRead);
    std::wstring driver;
    return key.isOpen() && key.queryString(L"Driver", driver) && !driver.empty();
}

// Lines of one function in the spooler's log that mention the text.
size_t countCalls(const testspool::ScopedCallLog& log, const std::string& function, const std::string& text = "")
{
    size_t count = 0;
    for (const std::string& line : log.calls(function))
        count += line.find(text) != std::string::npos ? 1 : 0;
    return count;
}

// One monitor of the case's own names, its scratch system and driver
// directories, and the module the installer is given (a resource-only DLL
// loaded from the driver directory).
class MonitorCase {
public:
    explicit MonitorCase(int index)
    {
        const std::wstring tag = std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(index);
        files.monitorName = L"QZ Keravin Installer Test " + tag;
        files.monitorDll = L"vrelm106i" + tag + L".DLL";
        files.companionDll = L"vrelm107i" + tag + L".DLL";
        system = dir_.file(L"system32");
        driver = dir_.file(L"driver");
        CreateDirectoryW(system.c_str(), nullptr);
        CreateDirectoryW(driver.c_str(), nullptr);
        files.systemDirectory = system;
        SetDllDirectoryW(system.c_str());
    }
    ~MonitorCase()
    {
        if (module_)
            FreeLibrary(module_);
        SetDllDirectoryW(nullptr);
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, (kMonitorsKey + files.monitorName).c_str());
    }
    MonitorCase(const MonitorCase&) = delete;
    MonitorCase& operator=(const MonitorCase&) = delete;

    // Places a file (source empty: a file without a version) in a directory
    // under the case's name for it.
    static void place(const std::wstring& directory, const std::wstring& name, const std::wstring& source)
    {
        const std::wstring target = directory + L"\\" + name;
        if (source.empty())
            ASSERT_TRUE(testenv::writeFile(target, "no version here"));
        else
            ASSERT_TRUE(testenv::copyFileTo(source, target));
    }
    HMODULE module()
    {
        if (!module_) {
            const std::wstring file = driver + L"\\driverui.dll";
            EXPECT_TRUE(testenv::copyFileTo(testenv::binDir() + L"\\LoaderFixture.dll", file));
            module_ = LoadLibraryW(file.c_str());
            EXPECT_NE(nullptr, module_);
        }
        return module_;
    }

    MPrint::PrintMonitorFiles files;
    std::wstring system, driver;

private:
    testenv::TempDir dir_;
    HMODULE module_ = nullptr;
};

class PrintMonitorInstallerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(hkcu_.isActive());
        ASSERT_NE(nullptr, testspool::control());
    }
    testenv::PrivateCurrentUser hkcu_;
};

TEST_F(PrintMonitorInstallerTest, InstallsAddsOrUpgradesByVersion)
{
    struct Row {
        const char* name;
        bool registered;              // the spooler knows the monitor already
        std::wstring systemLoader;    // the files in the system directory ("" absent, "-" no version)
        std::wstring systemBody;
        std::wstring driverLoader;    // the files the driver offers
        std::wstring driverBody;
        int runs;                     // installations in a row
        bool result;                  // of the last run
        std::vector<std::string> statuses; // of the "UpgradePrintMonitor" requests, in order
        size_t adds, deletes;
        bool registeredAfter;
        std::string bodyVersionAfter; // of the system directory's body
    } rows[] = {
        {"not installed: added", false, loaderFile(), body61(), loaderFile(), body61(), 1, true, {}, 1, 0, true, "6.1"},
        {"installed, same version: nothing changes", true, loaderFile(), body61(), loaderFile(), body61(), 1, false,
         {}, 1, 0, true, "6.1"},
        {"installed newer than offered: nothing changes", true, loaderFile(), body62(), loaderFile(), body61(), 1,
         false, {}, 1, 0, true, "6.2"},
        {"installed older: the monitor upgrades itself", true, loaderFile(), body61(), loaderFile(), body62(), 1,
         true, {"status 0"}, 1, 0, true, "6.1"},
        {"a second request while one is pending is refused: delete, copy, add", true, loaderFile(), body61(),
         loaderFile(), body62(), 2, true, {"status 0", "status 183"}, 3, 1, true, ""},
        {"installed body without a version cannot run: delete, copy, add", true, loaderFile(), L"-", loaderFile(),
         body62(), 1, true, {}, 2, 1, true, "6.2"},
        {"the driver lacks the monitor's loader: the re-add fails and says so", true, L"", body61(), L"", body62(), 1,
         false, {}, 2, 1, false, "6.2"},
    };
    int index = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        MonitorCase monitor(++index);
        const auto& files = monitor.files;
        for (const auto& [directory, name, source] :
             {std::tuple{monitor.system, files.monitorDll, row.systemLoader},
              std::tuple{monitor.system, files.companionDll, row.systemBody},
              std::tuple{monitor.driver, files.monitorDll, row.driverLoader},
              std::tuple{monitor.driver, files.companionDll, row.driverBody}}) {
            if (!source.empty())
                MonitorCase::place(directory, name, source == L"-" ? L"" : source);
        }
        if (row.registered) {
            ASSERT_EQ(DWORD{ERROR_SUCCESS}, testspool::control()->addMonitor(files.monitorName.c_str(),
                                                                             files.monitorDll.c_str()));
        }
        testspool::ScopedCallLog log;
        bool result = !row.result;
        for (int run = 0; run < row.runs; ++run)
            result = MPrint::installPrintMonitor(nullptr, monitor.module(), files);
        EXPECT_EQ(row.result, result);

        std::vector<std::string> statuses;
        for (const std::string& line : log.calls("XcvDataW")) {
            const size_t status = line.find("status ");
            if (line.find("UpgradePrintMonitor") != std::string::npos && status != std::string::npos)
                statuses.push_back(line.substr(status, line.find_first_of("\t\r", status) - status));
        }
        EXPECT_EQ(row.statuses, statuses);
        const std::string name = testenv::narrow(files.monitorName);
        EXPECT_EQ(row.adds, countCalls(log, "AddMonitorW", name));
        EXPECT_EQ(row.deletes, countCalls(log, "DeleteMonitorW", name));
        EXPECT_EQ(row.registeredAfter, monitorRegistered(files.monitorName));
        if (!row.bodyVersionAfter.empty()) {
            EXPECT_EQ(row.bodyVersionAfter, versionOf(monitor.system + L"\\" + files.companionDll));
        }
        // The key names the body for the loader, in the cluster-free form.
        RegistryKey key(HKEY_LOCAL_MACHINE, kMonitorsKey + files.monitorName, RegistryKey::kRead);
        std::wstring companion;
        EXPECT_TRUE(key.queryString(L"PM", companion));
        EXPECT_EQ(files.companionDll, companion);
    }
}

TEST_F(PrintMonitorInstallerTest, UpgradeIsNeededOnlyForANewerVersion)
{
    const std::wstring bin = testenv::binDir();
    const std::wstring tcp510 = bin + L"\\monitors\\vrelm613-5.2.0.10\\vrelm613.DLL";
    const std::wstring tcp511 = bin + L"\\vrelm613.DLL";
    struct Row {
        const char* name;
        std::wstring installed; // "" absent, "-" without a version
        std::wstring offered;
        bool needed;
    } rows[] = {
        {"nothing installed", L"", body61(), true},
        {"installed without a version", L"-", body61(), true},
        {"offered without a version", body61(), L"-", false},
        {"both without a version", L"-", L"-", true},
        {"major.minor greater", body61(), body62(), true},
        {"major.minor smaller", body62(), body61(), false},
        {"same", body61(), body61(), false},
        {"build.revision greater", tcp510, tcp511, true},
        {"build.revision smaller", tcp511, tcp510, false},
    };
    int index = 100;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        MonitorCase monitor(++index);
        if (!row.installed.empty())
            MonitorCase::place(monitor.system, monitor.files.companionDll, row.installed == L"-" ? L"" : row.installed);
        MonitorCase::place(monitor.driver, L"offered.DLL", row.offered == L"-" ? L"" : row.offered);
        EXPECT_EQ(row.needed, MPrint::isMonitorUpgradeNeeded(monitor.driver + L"\\offered.DLL", monitor.files));
    }
    // The system's own directory by default, with its separator.
    const std::wstring system = MPrint::monitorSystemDirectory({});
    ASSERT_FALSE(system.empty());
    EXPECT_EQ(L'\\', system.back());
}

} // namespace
