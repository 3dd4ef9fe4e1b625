// Printer drivers, the driver directory and device modes.
#include "Spooler.h"

#include <algorithm>

using namespace spool;

namespace {

struct DriverInfo {
    std::wstring name, driverPath, dataFile, configFile, helpFile, monitor, datatype, manufacturer, oemUrl,
        hardwareId, provider;
    std::vector<std::wstring> dependentFiles, previousNames;
    DWORD version = 3, attributes = 0;
    FILETIME date{};
    DWORDLONG driverVersion = 0;
};

BOOL finish(const wchar_t* function, std::initializer_list<std::wstring> args, DWORD error)
{
    logCall(function, args, error);
    SetLastError(error);
    return error == ERROR_SUCCESS;
}

// Files named without a folder live in the driver directory's "3" folder.
std::wstring driverFilePath(const std::wstring& file)
{
    if (file.empty() || file.find(L'\\') != std::wstring::npos)
        return file;
    return driverDirectory() + L"\\3\\" + file;
}

FILETIME parseDate(const RegKey& key)
{
    FILETIME date{};
    DWORD type = 0;
    std::vector<BYTE> data;
    if (key.readValue(L"DriverDate", type, data) != ERROR_SUCCESS)
        return date;
    if (type == REG_BINARY && data.size() == sizeof(FILETIME)) {
        memcpy(&date, data.data(), sizeof(date));
    } else if (type == REG_SZ) {
        // "MM/DD/YYYY", as drivers' INF files write it.
        unsigned month = 0, day = 0, year = 0;
        if (swscanf(textOf(data).c_str(), L"%u/%u/%u", &month, &day, &year) == 3) {
            SYSTEMTIME time{};
            time.wYear = static_cast<WORD>(year);
            time.wMonth = static_cast<WORD>(month);
            time.wDay = static_cast<WORD>(day);
            if (!SystemTimeToFileTime(&time, &date))
                date = FILETIME{};
        }
    }
    return date;
}

DWORDLONG parseVersion(const RegKey& key)
{
    DWORD type = 0;
    std::vector<BYTE> data;
    if (key.readValue(L"DriverVersion", type, data) != ERROR_SUCCESS)
        return 0;
    if (type == REG_QWORD && data.size() == sizeof(DWORDLONG)) {
        DWORDLONG value = 0;
        memcpy(&value, data.data(), sizeof(value));
        return value;
    }
    unsigned parts[4] = {};
    if (type == REG_SZ && swscanf(textOf(data).c_str(), L"%u.%u.%u.%u", &parts[0], &parts[1], &parts[2], &parts[3]) >= 1)
        return (DWORDLONG{parts[0] & 0xFFFF} << 48) | (DWORDLONG{parts[1] & 0xFFFF} << 32) |
               (DWORDLONG{parts[2] & 0xFFFF} << 16) | DWORDLONG{parts[3] & 0xFFFF};
    return 0;
}

bool openDriverKey(const std::wstring& name, RegKey& key)
{
    return !name.empty() && name.size() <= 255 &&
           key.open(HKEY_LOCAL_MACHINE, std::wstring(kDriversPath) + L"\\" + name) == ERROR_SUCCESS;
}

bool readDriver(const std::wstring& name, DriverInfo& info)
{
    RegKey key;
    if (!openDriverKey(name, key))
        return false;
    info = DriverInfo{};
    info.name = name;
    info.version = key.readDword(L"Version", 3);
    info.attributes = key.readDword(L"Attributes");
    info.driverPath = driverFilePath(key.readString(L"Driver"));
    info.dataFile = driverFilePath(key.readString(L"Data File"));
    info.configFile = driverFilePath(key.readString(L"Configuration File"));
    info.helpFile = driverFilePath(key.readString(L"Help File"));
    info.monitor = key.readString(L"Monitor");
    info.datatype = key.readString(L"Datatype");
    info.manufacturer = key.readString(L"Manufacturer");
    info.oemUrl = key.readString(L"OEM Url");
    info.hardwareId = key.readString(L"HardwareID");
    info.provider = key.readString(L"Provider");
    DWORD type = 0;
    std::vector<BYTE> data;
    if (key.readValue(L"Dependent Files", type, data) == ERROR_SUCCESS && type == REG_MULTI_SZ)
        for (const std::wstring& file : multiTextOf(data))
            info.dependentFiles.push_back(driverFilePath(file));
    if (key.readValue(L"Previous Names", type, data) == ERROR_SUCCESS && type == REG_MULTI_SZ)
        info.previousNames = multiTextOf(data);
    info.date = parseDate(key);
    info.driverVersion = parseVersion(key);
    return true;
}

// A test driver may give a device mode size of its own ("DevMode Size", a
// DWORD) as a faulty driver does: it answers that size when asked and never
// writes more than that into the caller's buffer, whatever the mode's header
// says. -1 when the driver gives its mode's true size.
long long reportedDevModeSize(const std::wstring& driver)
{
    RegKey key;
    if (!openDriverKey(driver, key))
        return -1;
    DWORD type = 0;
    std::vector<BYTE> data;
    if (key.readValue(L"DevMode Size", type, data) != ERROR_SUCCESS || type != REG_DWORD ||
        data.size() != sizeof(DWORD))
        return -1;
    DWORD size = 0;
    memcpy(&size, data.data(), sizeof(size));
    return size;
}

LPWSTR packMulti(Packer& p, const std::vector<std::wstring>& items)
{
    const std::vector<BYTE> bytes = multiTextBytes(items);
    return reinterpret_cast<LPWSTR>(p.bytes(bytes.data(), bytes.size(), 2));
}

template <class T>
void fillCommon(Packer& p, T& out, const DriverInfo& d)
{
    out.cVersion = d.version;
    out.pName = p.text(d.name);
    out.pEnvironment = p.text(kEnvironment);
    out.pDriverPath = p.text(d.driverPath);
    out.pDataFile = p.text(d.dataFile);
    out.pConfigFile = p.text(d.configFile);
}

template <class T>
void fillThree(Packer& p, T& out, const DriverInfo& d)
{
    fillCommon(p, out, d);
    out.pHelpFile = p.text(d.helpFile);
    out.pDependentFiles = packMulti(p, d.dependentFiles);
    out.pMonitorName = p.textOrNull(d.monitor);
    out.pDefaultDataType = p.textOrNull(d.datatype);
}

BOOL packDrivers(const std::vector<DriverInfo>& drivers, DWORD level, LPBYTE buffer, DWORD size, LPDWORD needed,
                 LPDWORD returned)
{
    switch (level) {
    case 1:
        return packArray<DRIVER_INFO_1W>(drivers, buffer, size, needed, returned,
                                         [](Packer& p, DRIVER_INFO_1W& out, const DriverInfo& d) {
                                             out.pName = p.text(d.name);
                                         });
    case 2:
        return packArray<DRIVER_INFO_2W>(drivers, buffer, size, needed, returned,
                                         [](Packer& p, DRIVER_INFO_2W& out, const DriverInfo& d) {
                                             fillCommon(p, out, d);
                                         });
    case 3:
        return packArray<DRIVER_INFO_3W>(drivers, buffer, size, needed, returned,
                                         [](Packer& p, DRIVER_INFO_3W& out, const DriverInfo& d) {
                                             fillThree(p, out, d);
                                         });
    case 4:
        return packArray<DRIVER_INFO_4W>(drivers, buffer, size, needed, returned,
                                         [](Packer& p, DRIVER_INFO_4W& out, const DriverInfo& d) {
                                             fillThree(p, out, d);
                                             out.pszzPreviousNames = packMulti(p, d.previousNames);
                                         });
    case 5:
        return packArray<DRIVER_INFO_5W>(drivers, buffer, size, needed, returned,
                                         [](Packer& p, DRIVER_INFO_5W& out, const DriverInfo& d) {
                                             fillCommon(p, out, d);
                                             out.dwDriverAttributes = d.attributes;
                                             out.dwConfigVersion = 0;
                                             out.dwDriverVersion = 0;
                                         });
    case 6:
        return packArray<DRIVER_INFO_6W>(drivers, buffer, size, needed, returned,
                                         [](Packer& p, DRIVER_INFO_6W& out, const DriverInfo& d) {
                                             fillThree(p, out, d);
                                             out.pszzPreviousNames = packMulti(p, d.previousNames);
                                             out.ftDriverDate = d.date;
                                             out.dwlDriverVersion = d.driverVersion;
                                             out.pszMfgName = p.text(d.manufacturer);
                                             out.pszOEMUrl = p.text(d.oemUrl);
                                             out.pszHardwareID = p.text(d.hardwareId);
                                             out.pszProvider = p.text(d.provider);
                                         });
    default:
        SetLastError(ERROR_INVALID_LEVEL);
        return FALSE;
    }
}

// ERROR_SUCCESS for our environment, ERROR_UNKNOWN_PRINTER_DRIVER for another
// known one (no drivers installed there), ERROR_INVALID_ENVIRONMENT otherwise.
DWORD checkEnvironment(LPCWSTR environment, std::wstring& folder)
{
    const std::wstring env = safeText(environment, 128);
    if (env.empty() || equalsNoCase(env, kEnvironment)) {
        folder = L"x64";
        return ERROR_SUCCESS;
    }
    static const struct {
        const wchar_t* name;
        const wchar_t* folder;
    } others[] = {{L"Windows NT x86", L"W32X86"}, {L"Windows IA64", L"IA64"}, {L"Windows ARM64", L"ARM64"},
                  {L"Windows 4.0", L"WIN40"}};
    for (const auto& other : others) {
        if (equalsNoCase(env, other.name)) {
            folder = other.folder;
            return ERROR_UNKNOWN_PRINTER_DRIVER;
        }
    }
    return ERROR_INVALID_ENVIRONMENT;
}

} // namespace

extern "C" {

WINBOOL WINAPI GetPrinterDriverW(HANDLE hPrinter, LPWSTR pEnvironment, DWORD Level, LPBYTE pDriverInfo, DWORD cbBuf,
                                 LPDWORD pcbNeeded)
{
    std::shared_ptr<PrinterHandle> handle = findPrinter(hPrinter, 0);
    if (!handle)
        return finish(L"GetPrinterDriverW", {numberText(Level)}, GetLastError());
    const std::initializer_list<std::wstring> args = {handle->queue.fullName(), safeText(pEnvironment, 128),
                                                      numberText(Level)};
    if (!pcbNeeded)
        return finish(L"GetPrinterDriverW", args, ERROR_INVALID_PARAMETER);
    std::wstring folder;
    const DWORD envError = checkEnvironment(pEnvironment, folder);
    if (envError != ERROR_SUCCESS)
        return finish(L"GetPrinterDriverW", args, envError);
    if (Level < 1 || Level > 6)
        return finish(L"GetPrinterDriverW", args, ERROR_INVALID_LEVEL);
    QueueInfo queue;
    if (!readQueue(handle->queue, queue))
        return finish(L"GetPrinterDriverW", args, ERROR_INVALID_PRINTER_NAME);
    DriverInfo driver;
    if (!readDriver(queue.driver, driver))
        return finish(L"GetPrinterDriverW", args, ERROR_UNKNOWN_PRINTER_DRIVER);
    const BOOL ok = packDrivers({driver}, Level, pDriverInfo, cbBuf, pcbNeeded, nullptr);
    return finish(L"GetPrinterDriverW", args, ok ? ERROR_SUCCESS : GetLastError());
}

WINBOOL WINAPI EnumPrinterDriversW(LPWSTR pName, LPWSTR pEnvironment, DWORD Level, LPBYTE pDriverInfo, DWORD cbBuf,
                                   LPDWORD pcbNeeded, LPDWORD pcReturned)
{
    const std::wstring server = safeText(pName, 1024);
    const std::initializer_list<std::wstring> args = {server, safeText(pEnvironment, 128), numberText(Level)};
    if (!pcbNeeded || !pcReturned)
        return finish(L"EnumPrinterDriversW", args, ERROR_INVALID_PARAMETER);
    *pcReturned = 0;
    if (!isLocalServer(server))
        return finish(L"EnumPrinterDriversW", args, RPC_S_SERVER_UNAVAILABLE);
    std::wstring folder;
    const DWORD envError = checkEnvironment(pEnvironment, folder);
    if (envError == ERROR_INVALID_ENVIRONMENT)
        return finish(L"EnumPrinterDriversW", args, envError);
    if (Level < 1 || Level > 6)
        return finish(L"EnumPrinterDriversW", args, ERROR_INVALID_LEVEL);
    std::vector<DriverInfo> drivers;
    if (envError == ERROR_SUCCESS) {
        RegKey key;
        key.open(HKEY_LOCAL_MACHINE, kDriversPath);
        for (const std::wstring& name : key.subkeys()) {
            DriverInfo info;
            if (readDriver(name, info))
                drivers.push_back(std::move(info));
        }
    }
    const BOOL ok = packDrivers(drivers, Level, pDriverInfo, cbBuf, pcbNeeded, pcReturned);
    return finish(L"EnumPrinterDriversW", args, ok ? ERROR_SUCCESS : GetLastError());
}

WINBOOL WINAPI GetPrinterDriverDirectoryW(LPWSTR pName, LPWSTR pEnvironment, DWORD Level, LPBYTE pDriverDirectory,
                                          DWORD cbBuf, LPDWORD pcbNeeded)
{
    const std::wstring server = safeText(pName, 1024);
    const std::initializer_list<std::wstring> args = {server, safeText(pEnvironment, 128), numberText(Level)};
    if (!pcbNeeded)
        return finish(L"GetPrinterDriverDirectoryW", args, ERROR_INVALID_PARAMETER);
    if (Level != 1)
        return finish(L"GetPrinterDriverDirectoryW", args, ERROR_INVALID_LEVEL);
    std::wstring folder;
    if (checkEnvironment(pEnvironment, folder) == ERROR_INVALID_ENVIRONMENT)
        return finish(L"GetPrinterDriverDirectoryW", args, ERROR_INVALID_ENVIRONMENT);
    std::wstring path;
    if (isLocalServer(server)) {
        path = driverDirectory();
        if (folder != L"x64")
            path = path.substr(0, path.size() - 3) + folder;
    } else if (knownRemoteServer(server)) {
        path = server + L"\\print$\\" + folder;
    } else {
        return finish(L"GetPrinterDriverDirectoryW", args, RPC_S_SERVER_UNAVAILABLE);
    }
    if (path.empty())
        return finish(L"GetPrinterDriverDirectoryW", args, ERROR_PATH_NOT_FOUND);
    const DWORD bytes = static_cast<DWORD>((path.size() + 1) * sizeof(wchar_t));
    *pcbNeeded = bytes;
    if (!pDriverDirectory || cbBuf < bytes)
        return finish(L"GetPrinterDriverDirectoryW", args, ERROR_INSUFFICIENT_BUFFER);
    memcpy(pDriverDirectory, path.c_str(), bytes);
    return finish(L"GetPrinterDriverDirectoryW", args, ERROR_SUCCESS);
}

WINBOOL WINAPI IsValidDevmodeW(PDEVMODEW pDevmode, size_t DevmodeSize)
{
    return validDevMode(pDevmode, DevmodeSize) ? TRUE : FALSE;
}

LONG WINAPI DocumentPropertiesW(HWND hWnd, HANDLE hPrinter, LPWSTR pDeviceName, PDEVMODEW pDevModeOutput,
                                PDEVMODEW pDevModeInput, DWORD fMode)
{
    (void)hWnd;
    std::shared_ptr<PrinterHandle> handle;
    if (hPrinter) {
        handle = findPrinter(hPrinter, 0);
    } else {
        // Without a handle the device name names the queue.
        QueueRef ref;
        if (splitPrinterName(safeText(pDeviceName, 1024), ref) && queueExists(ref)) {
            handle = std::make_shared<PrinterHandle>();
            handle->queue = ref;
        } else {
            SetLastError(ERROR_INVALID_PRINTER_NAME);
        }
    }
    wchar_t mode[16];
    swprintf(mode, 16, L"%lX", static_cast<unsigned long>(fMode));
    if (!handle) {
        finish(L"DocumentPropertiesW", {safeText(pDeviceName, 1024), mode}, GetLastError());
        return -1;
    }
    const std::wstring queue = handle->queue.fullName();
    QueueInfo info;
    if (!readQueue(handle->queue, info)) {
        finish(L"DocumentPropertiesW", {queue, mode}, ERROR_INVALID_PRINTER_NAME);
        return -1;
    }
    std::vector<BYTE> result = info.devMode;
    const long long faultySize = reportedDevModeSize(info.driver);
    const size_t reported = faultySize < 0 ? result.size() : static_cast<size_t>(faultySize);
    if (fMode == 0) {
        finish(L"DocumentPropertiesW", {queue, mode, numberText(static_cast<DWORD>(reported))}, ERROR_SUCCESS);
        return static_cast<LONG>(reported);
    }
    if ((fMode & DM_IN_BUFFER) && pDevModeInput) {
        if (!validDevMode(pDevModeInput, size_t{pDevModeInput->dmSize} + pDevModeInput->dmDriverExtra)) {
            finish(L"DocumentPropertiesW", {queue, mode}, ERROR_INVALID_PARAMETER);
            return -1;
        }
        // Merge the public fields the input marks as set; the driver part stays the queue's.
        DEVMODEW merged{};
        memcpy(&merged, result.data(), std::min(result.size(), sizeof(merged)));
        DEVMODEW given{};
        memcpy(&given, pDevModeInput, pDevModeInput->dmSize);
        const DWORD fields = given.dmFields;
        if (fields & DM_ORIENTATION) merged.dmOrientation = given.dmOrientation;
        if (fields & DM_PAPERSIZE) merged.dmPaperSize = given.dmPaperSize;
        if (fields & DM_PAPERLENGTH) merged.dmPaperLength = given.dmPaperLength;
        if (fields & DM_PAPERWIDTH) merged.dmPaperWidth = given.dmPaperWidth;
        if (fields & DM_SCALE) merged.dmScale = given.dmScale;
        if (fields & DM_COPIES) merged.dmCopies = given.dmCopies;
        if (fields & DM_DEFAULTSOURCE) merged.dmDefaultSource = given.dmDefaultSource;
        if (fields & DM_PRINTQUALITY) merged.dmPrintQuality = given.dmPrintQuality;
        if (fields & DM_COLOR) merged.dmColor = given.dmColor;
        if (fields & DM_DUPLEX) merged.dmDuplex = given.dmDuplex;
        if (fields & DM_YRESOLUTION) merged.dmYResolution = given.dmYResolution;
        if (fields & DM_TTOPTION) merged.dmTTOption = given.dmTTOption;
        if (fields & DM_COLLATE) merged.dmCollate = given.dmCollate;
        if (fields & DM_FORMNAME) memcpy(merged.dmFormName, given.dmFormName, sizeof(merged.dmFormName));
        if (fields & DM_MEDIATYPE) merged.dmMediaType = given.dmMediaType;
        if (fields & DM_DITHERTYPE) merged.dmDitherType = given.dmDitherType;
        if (fields & DM_NUP) merged.dmNup = given.dmNup;
        merged.dmFields |= fields;
        memcpy(result.data(), &merged, std::min(result.size(), sizeof(merged)));
    }
    // DM_IN_PROMPT would show the driver's sheet: the stand-in shows nothing and answers OK.
    if ((fMode & DM_OUT_BUFFER) && pDevModeOutput)
        memcpy(pDevModeOutput, result.data(), std::min(result.size(), reported));
    finish(L"DocumentPropertiesW", {queue, mode, hexOf(result.data(), result.size(), 0)}, ERROR_SUCCESS);
    return IDOK;
}

WINBOOL WINAPI PrinterProperties(HWND hWnd, HANDLE hPrinter)
{
    (void)hWnd;
    std::shared_ptr<PrinterHandle> handle = findPrinter(hPrinter, 0);
    if (!handle)
        return finish(L"PrinterProperties", {}, GetLastError());
    return finish(L"PrinterProperties", {handle->queue.fullName()}, ERROR_SUCCESS);
}

} // extern "C"
