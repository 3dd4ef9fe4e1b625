// The driver behind a print queue: its names, DRIVER_INFO_3, the directory of
// its files and the registry key of its settings, in the local or a cluster's
// form. Constructors never fail: an object whose printer could not be opened
// has no driver information and its queries answer false. Out-parameters are
// untouched when false is returned.
#pragma once

#include "core/ScopedHandle.h"
#include "core/Win32.h"

#include <string>

class PrintDriver {
public:
    PrintDriver(const wchar_t* driverName, const wchar_t* driverPath);
    // Levels 1 to 3; a level-3 record is used, not owned. Others: an empty object.
    PrintDriver(DWORD level, const void* driverInfo);
    // A borrowed handle: never closed by the object.
    explicit PrintDriver(HANDLE printer);
    explicit PrintDriver(const std::wstring& printerName);
    PrintDriver(HANDLE printer, const std::wstring& printerName);
    virtual ~PrintDriver();
    PrintDriver(const PrintDriver&) = delete;
    PrintDriver& operator=(const PrintDriver&) = delete;

    virtual bool getDriverName(std::wstring& name);
    virtual bool getDriverPath(std::wstring& path);
    // The directory keeps its trailing backslash.
    virtual bool getDriverDirectory(std::wstring& directory);
    virtual bool getDriverRegKeyPath(std::wstring& path);
    virtual bool getPrintDriverDirFromDll(HMODULE module, std::wstring& directory);
    virtual bool getRegKeyPathFromDll(HMODULE module, std::wstring& path);
    // GetPrinterDriverW at the level into a GPTR block the caller frees with
    // GlobalFree; *info is null on false.
    virtual bool fetchDriverInfo(DWORD level, BYTE** info);
    // The DRIVER_INFO_3 dependent-file list (terminated strings ending with an empty one), or null.
    virtual const wchar_t* getDependentFiles();
    // The first dependent file whose name part (after its last backslash)
    // contains the name, ignoring ASCII case; the whole entry is returned.
    virtual bool findDependentFile(const std::wstring& name, std::wstring& file);
    // The directory of driverPath (or of the driver's own file when null).
    virtual bool getDrvDir(std::wstring& directory, const wchar_t* driverPath);
    virtual bool getRegKeyPath(std::wstring& path, const wchar_t* driverPath);
    virtual bool getModuleFileName(HMODULE module, std::wstring& path);
    virtual bool isDriverRunningInCluster(const std::wstring& directory);

    const DRIVER_INFO_3W* getDriverInfo() const { return driverInfo_; }

    // The longest registry path the driver key may take (a 520-character buffer).
    static constexpr size_t kMaxKeyPath = 519;

private:
    void setNames(const wchar_t* name, const wchar_t* path, const wchar_t* environment);
    void loadFromPrinter(const std::wstring& printerName);

    HANDLE printerHandle_ = nullptr;  // borrowed or ownedPrinter_'s
    ScopedPrinter ownedPrinter_;
    std::wstring driverName_;
    std::wstring driverPath_;
    std::wstring environment_;
    const DRIVER_INFO_3W* driverInfo_ = nullptr;  // ownedInfo_'s or the caller's
    std::wstring regKeyPathCache_;
    std::wstring driverDirCache_;
    GlobalBlock<BYTE> ownedInfo_;
};

// HKLM "Cluster" opens.
bool isClusterNode();
// "ClusterPrinter" as REG_DWORD 0 or 1.
bool setClusterPrinter(HANDLE printer, bool clustered);
bool isClusterPrinterHandle(HANDLE printer);
bool isClusterPrinter(const std::wstring& printerName);
// The local cluster answers OpenCluster; false for no name and iPrint queues.
bool isClusterServiceReachable(const std::wstring& queueName);
// GetPrinterDriverDirectoryW of the server (none, "\\name" or "name").
bool getPrinterDriverDirectory(std::wstring& directory, const std::wstring& serverName);
// The local driver directory is known and the path does not contain it (ignoring ASCII case).
bool isOutsideLocalDriverDirectory(const std::wstring& path);
// The cluster resource named in a driver path outside the local driver
// directory: the text after "\spool\drivers\" (or "\print$\") up to the next
// "\drivers\", in its own letter case.
bool getClusterResourceFromDriverPath(const std::wstring& path, std::wstring& resource);
