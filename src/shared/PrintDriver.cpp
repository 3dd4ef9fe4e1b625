#include "shared/PrintDriver.h"

#include "core/AsciiCase.h"
#include "core/ProcAddress.h"
#include "core/ProfileScope.h"
#include "shared/PrinterData.h"
#include "shared/SpoolerNames.h"
#include "shared/SpoolerQueries.h"

namespace {

constexpr wchar_t kDefaultEnvironment[] = L"Windows x64";
constexpr wchar_t kClusterPrinter[] = L"ClusterPrinter";

const wchar_t* orNull(const std::wstring& text)
{
    return text.empty() ? nullptr : text.c_str();
}

} // namespace

PrintDriver::PrintDriver(const wchar_t* driverName, const wchar_t* driverPath)
{
    setNames(driverName, driverPath, nullptr);
}

PrintDriver::PrintDriver(DWORD level, const void* driverInfo)
{
    if (!driverInfo)
        return;
    switch (level) {
    case 1:
        setNames(static_cast<const DRIVER_INFO_1W*>(driverInfo)->pName, nullptr, nullptr);
        break;
    case 2: {
        const auto* info = static_cast<const DRIVER_INFO_2W*>(driverInfo);
        setNames(info->pName, info->pDriverPath, info->pEnvironment);
        break;
    }
    case 3: {
        const auto* info = static_cast<const DRIVER_INFO_3W*>(driverInfo);
        setNames(info->pName, info->pDriverPath, info->pEnvironment);
        driverInfo_ = info;
        break;
    }
    default:
        break;
    }
}

PrintDriver::PrintDriver(HANDLE printer) : printerHandle_(printer)
{
    loadFromPrinter(std::wstring());
}

PrintDriver::PrintDriver(const std::wstring& printerName)
{
    loadFromPrinter(printerName);
}

PrintDriver::PrintDriver(HANDLE printer, const std::wstring& printerName) : printerHandle_(printer)
{
    loadFromPrinter(printerName);
}

PrintDriver::~PrintDriver() = default;

void PrintDriver::setNames(const wchar_t* name, const wchar_t* path, const wchar_t* environment)
{
    if (name)
        driverName_ = name;
    if (path)
        driverPath_ = path;
    environment_ = environment ? environment : kDefaultEnvironment;
}

void PrintDriver::loadFromPrinter(const std::wstring& printerName)
{
    if (!printerHandle_ && !printerName.empty() &&
        OpenPrinterW(const_cast<wchar_t*>(printerName.c_str()), ownedPrinter_.receive(), nullptr))
        printerHandle_ = ownedPrinter_.get();
    if (driverInfo_ || !printerHandle_)
        return;
    BYTE* block = nullptr;
    if (!fetchDriverInfo(3, &block))
        return;
    ownedInfo_.reset(block);
    driverInfo_ = reinterpret_cast<const DRIVER_INFO_3W*>(block);
    setNames(driverInfo_->pName, driverInfo_->pDriverPath, driverInfo_->pEnvironment);
}

bool PrintDriver::fetchDriverInfo(DWORD level, BYTE** info)
{
    if (!info)
        return false;
    *info = nullptr;
    if (!printerHandle_)
        return false;
    GlobalBlock<BYTE> block;
    BYTE* raw = nullptr;
    const bool ok = getPrinterDriverAlloc(printerHandle_, level, &raw);
    block.reset(raw);
    if (!ok)
        return false;
    *info = block.release();
    return true;
}

bool PrintDriver::getDriverName(std::wstring& name)
{
    if (!driverInfo_ || !driverInfo_->pName)
        return false;
    name = driverInfo_->pName;
    return true;
}

bool PrintDriver::getDriverPath(std::wstring& path)
{
    if (driverPath_.empty())
        return false;
    path = driverPath_;
    return true;
}

bool PrintDriver::getDriverDirectory(std::wstring& directory)
{
    if (!driverDirCache_.empty()) {
        directory = driverDirCache_;
        return true;
    }
    return getDrvDir(directory, nullptr);
}

bool PrintDriver::getDriverRegKeyPath(std::wstring& path)
{
    if (!regKeyPathCache_.empty()) {
        path = regKeyPathCache_;
        return true;
    }
    return getRegKeyPath(path, nullptr);
}

bool PrintDriver::getPrintDriverDirFromDll(HMODULE module, std::wstring& directory)
{
    PROFILE_SCOPE("PrintDriver::getPrintDriverDirFromDll(%X,)", static_cast<unsigned>(reinterpret_cast<UINT_PTR>(module)));
    if (!driverDirCache_.empty()) {
        directory = driverDirCache_;
        return true;
    }
    std::wstring file;
    getModuleFileName(module, file);
    return getDrvDir(directory, orNull(file));
}

bool PrintDriver::getRegKeyPathFromDll(HMODULE module, std::wstring& path)
{
    PROFILE_SCOPE("PrintDriver::getRegKeyPathFromDll(%X,)", static_cast<unsigned>(reinterpret_cast<UINT_PTR>(module)));
    if (!regKeyPathCache_.empty()) {
        path = regKeyPathCache_;
        return true;
    }
    std::wstring file;
    getModuleFileName(module, file);
    return getRegKeyPath(path, orNull(file));
}

const wchar_t* PrintDriver::getDependentFiles()
{
    return driverInfo_ ? driverInfo_->pDependentFiles : nullptr;
}

bool PrintDriver::findDependentFile(const std::wstring& name, std::wstring& file)
{
    if (!driverInfo_)
        return false;
    // A block of ours is read only within itself; a caller's record is trusted.
    const std::vector<std::wstring> files =
        ownedInfo_ ? dependentFilesInBlock(ownedInfo_.get(), GlobalSize(ownedInfo_.get()))
                   : dependentFilesInBlock(reinterpret_cast<const BYTE*>(driverInfo_), 0);
    const std::wstring wanted = asciiLowered(name);
    for (const std::wstring& entry : files) {
        const size_t slash = entry.rfind(L'\\');
        const std::wstring part = asciiLowered(slash == std::wstring::npos ? entry : entry.substr(slash + 1));
        if (part.find(wanted) != std::wstring::npos) {
            file = entry;
            return true;
        }
    }
    return false;
}

bool PrintDriver::getDrvDir(std::wstring& directory, const wchar_t* driverPath)
{
    const std::wstring path = driverPath ? driverPath : driverInfo_ && driverInfo_->pDriverPath
                                                            ? driverInfo_->pDriverPath
                                                            : L"";
    std::wstring result;
    const size_t slash = path.rfind(L'\\');
    if (slash != std::wstring::npos)
        result = path.substr(0, slash + 1);
    PROFILE_SCOPE("PrintDriver::getDrvDir(%S,%S) result=%d", path.c_str(), result.c_str(), !result.empty());
    if (result.empty())
        return false;
    driverDirCache_ = result;
    directory = result;
    return true;
}

bool PrintDriver::getRegKeyPath(std::wstring& path, const wchar_t* driverPath)
{
    const std::wstring file = driverPath ? driverPath : driverInfo_ && driverInfo_->pDriverPath
                                                            ? driverInfo_->pDriverPath
                                                            : L"";
    const size_t slash = file.rfind(L'\\');
    std::wstring key;
    if (slash != std::wstring::npos) {
        const std::wstring directory = file.substr(0, slash);
        std::wstring resource;
        if (!environment_.empty() && isDriverRunningInCluster(directory) &&
            getClusterResourceFromDriverPath(directory, resource))
            key = L"Cluster\\Resources\\" + resource + L"\\Parameters\\Environments\\" + environment_ +
                  L"\\Drivers\\Version-3\\";
        else
            key = L"SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\" + environment_ +
                  L"\\Drivers\\Version-3\\";
        key += driverName_;
        // The key is built in a 520-character buffer: a longer one is no key.
        if (key.size() > kMaxKeyPath)
            key.clear();
    }
    PROFILE_SCOPE("PrintDriver::getRegKeyPath(%S,%S) result=%d", file.c_str(), key.c_str(), !key.empty());
    if (key.empty())
        return false;
    regKeyPathCache_ = key;
    path = key;
    return true;
}

bool PrintDriver::getModuleFileName(HMODULE module, std::wstring& path)
{
    wchar_t name[1024] = {};
    const DWORD length = GetModuleFileNameW(module, name, 1024);
    if (length == 0 || length >= 1024)
        return false;
    path.assign(name, length);
    return true;
}

bool PrintDriver::isDriverRunningInCluster(const std::wstring& directory)
{
    PROFILE_SCOPE("PrintDriver::isDriverRunningInCluster(%S)", directory.c_str());
    if (isClusterPrinterHandle(printerHandle_) || isClusterNode())
        return true;
    return !directory.empty() && isOutsideLocalDriverDirectory(directory);
}

bool isClusterNode()
{
    ScopedRegKey key;
    return RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Cluster", 0, KEY_READ, key.receive()) == ERROR_SUCCESS;
}

bool setClusterPrinter(HANDLE printer, bool clustered)
{
    DWORD value = clustered ? 1 : 0;
    return SetPrinterDataW(printer, const_cast<wchar_t*>(kClusterPrinter), REG_DWORD,
                           reinterpret_cast<BYTE*>(&value), sizeof(value)) == ERROR_SUCCESS;
}

bool isClusterPrinterHandle(HANDLE printer)
{
    DWORD value = 0;
    return printer && getPrinterDataDword(printer, kClusterPrinter, &value) == ERROR_SUCCESS && value != 0;
}

bool isClusterPrinter(const std::wstring& printerName)
{
    ScopedPrinter printer;
    if (printerName.empty() ||
        !OpenPrinterW(const_cast<wchar_t*>(printerName.c_str()), printer.receive(), nullptr))
        return false;
    return isClusterPrinterHandle(printer.get());
}

bool isClusterServiceReachable(const std::wstring& queueName)
{
    if (queueName.empty() || isIPrintQueue(queueName))
        return false;
    ScopedModule clusapi(LoadLibraryW(L"Clusapi.dll"));
    using OpenClusterFn = HANDLE(WINAPI*)(const wchar_t*);
    using CloseClusterFn = BOOL(WINAPI*)(HANDLE);
    const auto open = procAddress<OpenClusterFn>(clusapi.get(), "OpenCluster");
    if (!open)
        return false;
    HANDLE cluster = open(nullptr);
    if (!cluster)
        return false;
    if (const auto close = procAddress<CloseClusterFn>(clusapi.get(), "CloseCluster"))
        close(cluster);
    return true;
}

bool getPrinterDriverDirectory(std::wstring& directory, const std::wstring& serverName)
{
    std::wstring server;
    if (!serverName.empty())
        server = serverName[0] == L'\\' ? serverName : L"\\\\" + serverName;
    wchar_t* name = server.empty() ? nullptr : server.data();
    std::vector<wchar_t> buffer(1024, L'\0');
    DWORD needed = 0;
    BOOL ok = GetPrinterDriverDirectoryW(name, nullptr, 1, reinterpret_cast<BYTE*>(buffer.data()),
                                         static_cast<DWORD>(buffer.size() * sizeof(wchar_t)), &needed);
    if (!ok && needed > buffer.size() * sizeof(wchar_t)) {
        buffer.assign(needed / 2 + 128, L'\0');
        ok = GetPrinterDriverDirectoryW(name, nullptr, 1, reinterpret_cast<BYTE*>(buffer.data()),
                                        static_cast<DWORD>(buffer.size() * sizeof(wchar_t)), &needed);
    }
    if (!ok)
        return false;
    directory.assign(buffer.data(), wcsnlen(buffer.data(), buffer.size()));
    return true;
}

bool isOutsideLocalDriverDirectory(const std::wstring& path)
{
    std::wstring local;
    if (!getPrinterDriverDirectory(local, std::wstring()) || local.empty())
        return false;
    return asciiLowered(path).find(asciiLowered(local)) == std::wstring::npos;
}

bool getClusterResourceFromDriverPath(const std::wstring& path, std::wstring& resource)
{
    if (!isOutsideLocalDriverDirectory(path))
        return false;
    const std::wstring lower = asciiLowered(path);
    size_t start = std::wstring::npos;
    for (const wchar_t* marker : {L"\\spool\\drivers\\", L"\\print$\\"}) {
        const size_t found = lower.find(marker);
        if (found != std::wstring::npos) {
            start = found + wcslen(marker);
            break;
        }
    }
    if (start == std::wstring::npos)
        return false;
    const size_t end = lower.find(L"\\drivers\\", start);
    if (end == std::wstring::npos || end == start)
        return false;
    resource = path.substr(start, end - start);
    return true;
}
