#include "extension/PrintMonitorInstaller.h"

#include "core/FileVersion.h"
#include "core/RegistryKey.h"
#include "destination/MonitorChannel.h"
#include "extension/KRVProperties.h"
#include "shared/PrintDriver.h"

namespace MPrint {

namespace {

constexpr std::uint64_t kInstallStarted = 0x40000;
constexpr std::uint64_t kInstallDone = 0x80000;

std::wstring monitorKeyPath(const std::wstring& driverDirectory, const PrintMonitorFiles& files)
{
    std::wstring resource;
    if (!driverDirectory.empty() && getClusterResourceFromDriverPath(driverDirectory, resource))
        return L"Cluster\\Resources\\" + resource + L"\\Parameters\\Monitors\\" + files.monitorName;
    return L"SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\" + files.monitorName;
}

// The key and its "PM" before every add: the loader the spooler registers
// finds the monitor's body through it.
void registerCompanion(const std::wstring& keyPath, const PrintMonitorFiles& files)
{
    RegistryKey key(HKEY_LOCAL_MACHINE, keyPath, RegistryKey::kAllAccess, true);
    if (key.isOpen())
        key.setString(L"PM", files.companionDll.c_str());
}

// AddMonitorW; false with the spooler's error as the thread's last error.
bool addMonitor(const PrintMonitorFiles& files)
{
    std::wstring name = files.monitorName;
    std::wstring dll = files.monitorDll;
    MONITOR_INFO_2W info = {name.data(), nullptr, dll.data()};
    return AddMonitorW(nullptr, 2, reinterpret_cast<BYTE*>(&info)) != FALSE;
}

// "UpgradePrintMonitor" to the running monitor; true only for status 0,
// the monitor upgrading itself.
bool askMonitorToUpgrade(const std::wstring& newPath, const PrintMonitorFiles& files)
{
    MonitorChannel channel(files.monitorName.c_str());
    if (!channel.openMonitor())
        return false;
    const std::wstring& input = newPath;
    DWORD needed = 0;
    const bool sent = channel.xcvData(L"UpgradePrintMonitor", reinterpret_cast<const BYTE*>(input.c_str()),
                                      static_cast<DWORD>((input.size() + 1) * sizeof(wchar_t)), nullptr, 0, &needed);
    return sent && channel.getStatus() == ERROR_SUCCESS;
}

// Delete, copy the driver's files into the system directory, add again. The
// outcome is the re-add's: after a successful delete the spooler has the
// monitor again only when it succeeded.
bool replaceMonitor(const std::wstring& driverDirectory, const std::wstring& keyPath, const PrintMonitorFiles& files)
{
    std::wstring name = files.monitorName;
    if (!DeleteMonitorW(nullptr, nullptr, name.data()))
        return true; // the installed monitor stays and keeps working
    const std::wstring systemDirectory = monitorSystemDirectory(files);
    if (!systemDirectory.empty()) {
        CopyFileW((driverDirectory + files.companionDll).c_str(), (systemDirectory + files.companionDll).c_str(),
                  FALSE);
        CopyFileW((driverDirectory + files.monitorDll).c_str(), (systemDirectory + files.monitorDll).c_str(), FALSE);
    }
    registerCompanion(keyPath, files);
    return addMonitor(files);
}

} // namespace

std::wstring monitorSystemDirectory(const PrintMonitorFiles& files)
{
    std::wstring directory = files.systemDirectory;
    if (directory.empty()) {
        const UINT length = GetSystemDirectoryW(nullptr, 0);
        if (length == 0)
            return {};
        directory.resize(length);
        const UINT written = GetSystemDirectoryW(directory.data(), length);
        if (written == 0 || written >= length)
            return {};
        directory.resize(written);
    }
    if (directory.back() != L'\\')
        directory += L'\\';
    return directory;
}

bool isMonitorUpgradeNeeded(const std::wstring& newPath, const PrintMonitorFiles& files)
{
    const std::wstring systemDirectory = monitorSystemDirectory(files);
    VS_FIXEDFILEINFO installed = {};
    VS_FIXEDFILEINFO offered = {};
    if (systemDirectory.empty() ||
        !getFileVersionInfoFixed((systemDirectory + files.companionDll).c_str(), installed))
        return true;
    if (!getFileVersionInfoFixed(newPath.c_str(), offered))
        return false;
    return offered.dwFileVersionMS > installed.dwFileVersionMS ||
           (offered.dwFileVersionMS == installed.dwFileVersionMS &&
            offered.dwFileVersionLS > installed.dwFileVersionLS);
}

bool installPrintMonitor(const wchar_t* printerName, HMODULE module, const PrintMonitorFiles& files)
{
    setInstallState(kInstallStarted);
    PrintDriver driver(std::wstring(printerName ? printerName : L""));
    std::wstring driverDirectory;
    if (!driver.getPrintDriverDirFromDll(module, driverDirectory))
        driverDirectory.clear();
    const std::wstring keyPath = monitorKeyPath(driverDirectory, files);
    registerCompanion(keyPath, files);

    bool result = addMonitor(files);
    if (!result) {
        const DWORD error = GetLastError();
        // Without the driver's directory there is no newer file to offer.
        const std::wstring newPath = driverDirectory + files.companionDll;
        if (error == ERROR_PRINT_MONITOR_ALREADY_INSTALLED && !driverDirectory.empty() &&
            isMonitorUpgradeNeeded(newPath, files))
            result = askMonitorToUpgrade(newPath, files) || replaceMonitor(driverDirectory, keyPath, files);
    }
    setInstallState(kInstallDone);
    return result;
}

} // namespace MPrint
