#include "extension/PrinterEvents.h"

#include "core/ProfileScope.h"
#include "core/RegistryKey.h"
#include "core/ScopedHandle.h"
#include "core/SettingsKeys.h"
#include "extension/InstallContext.h"
#include "extension/KRVProperties.h"
#include "extension/LXESingleton.h"
#include "extension/ModuleEntry.h"
#include "extension/StaticModeSteps.h"
#include "shared/CKRVOs.h"
#include "shared/PrintDriver.h"
#include "shared/PrinterData.h"
#include "shared/PrinterPort.h"
#include "shared/SpoolerNames.h"
#include "shared/SpoolerQueries.h"
#include "tickets/JCTRetriever.h"

namespace LumoraUI {

namespace {

constexpr std::uint64_t kAllOnes = ~std::uint64_t{0};
// The maker's step copies files; a wait longer than this is given up.
constexpr DWORD kPreInstallWaitMs = 10 * 60 * 1000;

void setDword(HANDLE printer, const wchar_t* name, DWORD value)
{
    SetPrinterDataW(printer, const_cast<wchar_t*>(name), REG_DWORD, reinterpret_cast<BYTE*>(&value), sizeof(value));
}

void deleteData(HANDLE printer, const wchar_t* name)
{
    DeletePrinterDataW(printer, const_cast<wchar_t*>(name));
}

DWORD dwordOr(HANDLE printer, const wchar_t* name, DWORD fallback)
{
    DWORD value = fallback;
    return getPrinterDword(printer, name, value) ? value : fallback;
}

// The name the queue is opened by, and whether it is a cluster's (kept as given).
struct LocalQueue {
    std::wstring name;
    bool clustered = false;
};

LocalQueue localQueue(const wchar_t* printerName)
{
    LocalQueue queue{printerName ? printerName : L"", false};
    if (!isClusterNode() && !isClusterPrinter(queue.name) && !isIPrintQueue(queue.name))
        queue.name = stripServerFromPrinterName(queue.name, computerName());
    else
        queue.clustered = true;
    return queue;
}

std::wstring preCopyPath(const DRIVER_INFO_6W& driver)
{
    return std::wstring(settingskeys::kPreCopy) + L"\\" + driver.pName;
}

DWORD WINAPI preInstallThread(void* module)
{
    try {
        ScopedModule maker(LoadLibraryW(L"vrelm111.dll"));
        using Entry = void(WINAPI*)(HWND, HINSTANCE, LPSTR, int);
        if (maker) {
            auto entry = reinterpret_cast<Entry>(reinterpret_cast<void*>(GetProcAddress(maker.get(), "RunDllDoPreInstall")));
            char commandLine[] = "vrelm111.config";
            if (entry)
                entry(nullptr, nullptr, commandLine, 0);
        }
    } catch (...) {
        // The maker's step failed; the event goes on.
    }
    FreeLibraryAndExitThread(static_cast<HMODULE>(module), 0);
}

void preInstallCheck(HANDLE printer)
{
    GlobalBlock<BYTE> driver;
    if (!getPrinterDriverAlloc(printer, 6, driver.receive()))
        return;
    const DRIVER_INFO_6W& info = *reinterpret_cast<const DRIVER_INFO_6W*>(driver.get());
    if (!needsPreInstall(info))
        return;
    GlobalBlock<BYTE> five;
    if (getPrinterAlloc(printer, 5, five.receive())) {
        const wchar_t* name = reinterpret_cast<const PRINTER_INFO_5W*>(five.get())->pPrinterName;
        if (name && name[0] == L'\\')
            return; // a connection: the server's driver
    }
    if (runPreInstall(kPreInstallWaitMs))
        recordDriverDate(info);
}

} // namespace

std::wstring computerName()
{
    wchar_t name[128] = {};
    DWORD length = 128;
    return GetComputerNameW(name, &length) ? std::wstring(name, length) : std::wstring();
}

std::wstring stripServerFromPrinterName(const std::wstring& printerName, const std::wstring& computer)
{
    std::wstring name = printerName.substr(0, printerName.find(L','));
    size_t separator = std::wstring::npos;
    const size_t at = computer.empty() ? std::wstring::npos : name.find(computer);
    if (at != std::wstring::npos)
        separator = name.find(L'\\', at + computer.size());
    // A computer name that only occurs in the queue's own part says nothing about the server.
    if (separator == std::wstring::npos)
        separator = name.rfind(L'\\');
    if (separator != std::wstring::npos)
        name.erase(0, separator + 1);
    return name;
}

bool needsPreInstall(const DRIVER_INFO_6W& driver)
{
    if (!driver.pName || !*driver.pName)
        return false;
    RegistryKey key(HKEY_LOCAL_MACHINE, preCopyPath(driver), RegistryKey::kRead);
    DWORD low = 0, high = 0;
    if (!key.isOpen() || !key.queryDword(L"DriverDateL", &low) || !key.queryDword(L"DriverDateH", &high))
        return true;
    if (driver.ftDriverDate.dwHighDateTime != high)
        return driver.ftDriverDate.dwHighDateTime > high;
    return driver.ftDriverDate.dwLowDateTime > low;
}

bool recordDriverDate(const DRIVER_INFO_6W& driver)
{
    if (!driver.pName || !*driver.pName)
        return false;
    RegistryKey key(HKEY_LOCAL_MACHINE, preCopyPath(driver), RegistryKey::kWrite, true);
    return key.isOpen() && key.setDword(L"DriverDateH", driver.ftDriverDate.dwHighDateTime) &&
           key.setDword(L"DriverDateL", driver.ftDriverDate.dwLowDateTime);
}

bool runPreInstall(DWORD waitMs)
{
    // The thread runs this module's code: it holds the module until it ends.
    ScopedModule self;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&preInstallThread),
                            self.receive()))
        return false;
    ScopedKernelHandle thread(CreateThread(nullptr, 0, preInstallThread, self.get(), 0, nullptr));
    if (!thread)
        return false;
    // The thread's own FreeLibraryAndExitThread gives the reference back.
    self.release();
    SetThreadPriority(thread.get(), THREAD_PRIORITY_ABOVE_NORMAL);
    return WaitForSingleObject(thread.get(), waitMs) == WAIT_OBJECT_0;
}

int printerEventInitPre(const wchar_t* printerName, int event)
{
    PROFILE_SCOPE("LumoraUI::PrinterEventInitPre(%S, %d,,)", printerName ? printerName : L"", event);
    try {
        setInstallState(0x20000);
        setProcessProperty(krv::kPrtInit, 1);
        if (event != kPrinterEventInitialize)
            return 0;
        const LocalQueue queue = localQueue(printerName);
        ScopedPrinter printer;
        if (!openPrinterWithAccess(queue.name, printer.receive(), PRINTER_ALL_ACCESS))
            return 0;
        setDword(printer.get(), L"LumoDynamicUI", 1);
        setDword(printer.get(), L"LumoraPrinter", 1);
        if (!queue.clustered && isAutoCreatedPortPrinter(printer.get()))
            setDword(printer.get(), L"LumoAutoCreated", 1);
        {
            ExtensionHold hold;
            DWORD one = 1;
            if (hold.get())
                StaticModeSteps::current().updateNowMarker(StaticModeSteps::kSet, printer.get(), one, nullptr);
        }
        setDword(printer.get(), L"LumoNewInstall", 1);
    } catch (...) {
        // The event answers 0 whatever failed.
    }
    return 0;
}

int printerEventInitPost(const wchar_t* printerName, int event, const MPrint::PrintMonitorFiles& monitor)
{
    PROFILE_SCOPE("LumoraUI::PrinterEventInitPost(%S, %d,,)", printerName ? printerName : L"", event);
    try {
        setInstallState(0x20000);
        setProcessProperty(krv::kPrtInit, 0);
        deleteProcessProperty(krv::kPrtInit);
        if (event != kPrinterEventInitialize)
            return 0;
        MPrint::installPrintMonitor(printerName, ModuleEntry::moduleHandle(), monitor);
        const LocalQueue queue = localQueue(printerName);
        ScopedPrinter printer;
        if (!openPrinterWithAccess(queue.name, printer.receive(), PRINTER_ALL_ACCESS))
            return 0;
        setDword(printer.get(), L"LumoPrnEventInitPostInstall", 1);
        const bool autoCreated = dwordOr(printer.get(), L"LumoAutoCreated", 0) == 1;
        const DWORD caseValue = dwordOr(printer.get(), L"DMCEACValue", 3);
        {
            ExtensionHold hold;
            LumoraPrintingExtension* extension = hold.get();
            if (extension) {
                if (autoCreated || caseValue == 2) {
                    retrieveJCTForPrintQueue(queue.name.c_str(), false);
                } else {
                    std::wstring address;
                    if (isIPrintQueue(queue.name))
                        address = getNovellSnmpAddress(queue.name);
                    if (!isIPrintUpload(queue.name))
                        retrieveJCTForDeviceAddress(queue.name.c_str(), false,
                                                    address.empty() ? nullptr : address.c_str());
                }
            }
            if (!autoCreated)
                setDefaultDevMode(printer.get());
            setDword(printer.get(), L"StaticMode", 1);
            if (extension) {
                if (!autoCreated && caseValue != 2)
                    StaticModeSteps::current().verifyStaticModePrinter(*extension, printer.get(), nullptr, true, false);
                DWORD unused = 0;
                StaticModeSteps::current().updateNowMarker(StaticModeSteps::kDelete, printer.get(), unused, nullptr);
            }
        }
        deleteData(printer.get(), L"LumoNewInstall");
        if (!queue.clustered && !autoCreated) {
            InstallContext context;
            if (context.isContext2())
                context.setOriginalPrinterName(queue.name);
            if (!CKRVOs().IsServer())
                preInstallCheck(printer.get());
        }
        deleteData(printer.get(), L"LumoPrnEventInitPostInstall");
    } catch (...) {
        // The event answers 0 whatever failed.
    }
    return 0;
}

int driverEventInit()
{
    try {
        setInstallState(0x10000);
        setProcessProperty(krv::kPrtInit, kAllOnes);
    } catch (...) {
    }
    return 0;
}

int printerEventRefresh()
{
    try {
        setInstallState(0x80000);
    } catch (...) {
    }
    return 0;
}

} // namespace LumoraUI
