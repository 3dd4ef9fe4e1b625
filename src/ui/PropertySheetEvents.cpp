#include "ui/PropertySheetEvents.h"

#include "core/ProfileScope.h"
#include "core/ScopedHandle.h"
#include "extension/DocumentEvents.h"
#include "extension/KRVProperties.h"
#include "extension/LXESingleton.h"
#include "extension/LumoraPrintingExtension.h"
#include "extension/ModuleEntry.h"
#include "extension/StaticModeSteps.h"
#include "extension/StaticPrinterPolicy.h"
#include "shared/SpoolerQueries.h"
#include "ui/DialogSuppressHook.h"

#include <atomic>
#include <cstddef>
#include <cwchar>
#include <memory>

namespace LumoraUI {

namespace {

constexpr std::uint64_t kAllOnes = ~std::uint64_t{0};
constexpr size_t kMaxNameChars = 1024;
constexpr size_t kDeviceNameChars = 32; // CCHDEVICENAME: not terminated when full
constexpr WORD kReasonInit = 0;         // PROPSHEETUI_REASON_INIT
constexpr WORD kReasonDestroy = 2;      // PROPSHEETUI_REASON_DESTROY
constexpr wchar_t kDsDriver[] = L"DsDriver";
constexpr wchar_t kMediaReady[] = L"printMediaReady";

// Property-sheet callbacks arrive on the UI thread; the flag only keeps a
// callback from running inside itself.
std::atomic<LONG> g_commonUIBusy{0};

class BusyScope {
public:
    BusyScope() { g_commonUIBusy = 1; }
    ~BusyScope() { g_commonUIBusy = 0; }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;
};

DWORD pid()
{
    return GetCurrentProcessId();
}

using MarkerScope = ProcessMarkerScope;

// The active window, brought back to the front when the scope ends.
class ActiveWindowScope {
public:
    ActiveWindowScope() : window_(GetActiveWindow()) {}
    ~ActiveWindowScope()
    {
        if (window_) {
            SetForegroundWindow(window_);
            SetActiveWindow(window_);
        }
    }
    ActiveWindowScope(const ActiveWindowScope&) = delete;
    ActiveWindowScope& operator=(const ActiveWindowScope&) = delete;
    HWND get() const { return window_; }

private:
    HWND window_;
};

std::wstring boundedText(const wchar_t* text, size_t limit)
{
    return text ? std::wstring(text, wcsnlen(text, limit)) : std::wstring();
}

// The header a sheet was opened with: lParamInit, or lParam without sheet information.
const DevicePropertyHeader* sheetHeader(const PROPSHEETUI_INFO* sheet, LPARAM lParam)
{
    const LPARAM value = sheet ? sheet->lParamInit : lParam;
    const auto* header = reinterpret_cast<const DevicePropertyHeader*>(value);
    if (!header || header->cbSize < offsetof(DevicePropertyHeader, pszPrinterName) + sizeof(LPWSTR))
        return nullptr;
    return header;
}

struct SheetPrinter {
    HANDLE handle = nullptr;
    std::wstring name;
    bool hasHeader = false;
};

SheetPrinter sheetPrinter(const PROPSHEETUI_INFO* sheet, LPARAM lParam)
{
    SheetPrinter printer;
    printer.handle = getDocumentPropertyPrinter(sheet, lParam, printer.name);
    printer.hasHeader = sheetHeader(sheet, lParam) != nullptr;
    return printer;
}

// The page of the extension for a queue that takes it; a queue in static
// mode gets the policy instead.
int runSheet(const PROPSHEETUI_INFO* sheet, LPARAM lParam, bool document)
{
    int result = 0;
    ExtensionHold hold;
    LumoraPrintingExtension* extension = hold.get();
    const SheetPrinter printer = sheetPrinter(sheet, lParam);
    DWORD remote = 0;
    const bool supported = printer.hasHeader && isEventExtensionSupported(printer.handle, &remote);
    if (supported && !(document && isProcessMarker(krv::kUIOpen))) {
        if (extension)
            extension->readNewInstallFlag(printer.handle);
        MarkerScope open(krv::kUIOpen);
        const INT_PTR answer = document ? documentProperties(printer.name.c_str()) : printerProperties(printer.name.c_str());
        if (answer == kCancelled)
            result = -1;
        return result;
    }
    if (document && isProcessMarker(krv::kCancelDocProp)) {
        deleteProcessProperty(krv::kCancelDocProp);
    } else if (printer.hasHeader && !supported && remote == 0 && (document || printer.handle) && extension &&
               !StaticModeSteps::current().isUpdateNowProtectedMode()) {
        applyPolicySettingsToStaticPrinter(printer.handle, printer.name.c_str());
    }
    return result;
}

// "printMediaReady" of the printer's "DsDriver" key as its printer data.
void copyMediaReadyFromDsDriver(const std::wstring& printerName)
{
    ScopedPrinter printer;
    if (!openPrinterWithAccess(printerName, printer.receive(), PRINTER_ALL_ACCESS))
        return;
    DWORD type = 0, needed = 0;
    if (GetPrinterDataExW(printer.get(), kDsDriver, kMediaReady, &type, nullptr, 0, &needed) != ERROR_MORE_DATA ||
        needed == 0)
        return;
    GlobalBlock<BYTE> buffer(static_cast<BYTE*>(GlobalAlloc(GPTR, needed)));
    DWORD size = needed;
    if (!buffer || GetPrinterDataExW(printer.get(), kDsDriver, kMediaReady, &type, buffer.get(), size, &needed) !=
                       ERROR_SUCCESS)
        return;
    SetPrinterDataW(printer.get(), const_cast<wchar_t*>(kMediaReady), type, buffer.get(), needed);
}

// The directory-service values of the printer data copied into its "DsDriver" key.
void copyDsDriverValues(HANDLE printer)
{
    BYTE color = 0, collate = 0, duplex = 0, stapling = 0;
    DWORD rate = 0;
    DWORD mediaType = REG_MULTI_SZ, mediaSize = 0;
    GlobalBlock<BYTE> media;
    if (GetPrinterDataW(printer, const_cast<wchar_t*>(kMediaReady), &mediaType, nullptr, 0, &mediaSize) ==
            ERROR_MORE_DATA &&
        mediaSize > 0)
        media.reset(static_cast<BYTE*>(GlobalAlloc(GPTR, mediaSize)));
    const struct {
        const wchar_t* name;
        BYTE* buffer;
        DWORD size;
    } values[] = {
        {L"printColor", &color, 1},
        {L"printCollate", &collate, 1},
        {L"printDuplexSupported", &duplex, 1},
        {L"printStaplingSupported", &stapling, 1},
        {L"printPagesPerMinute", reinterpret_cast<BYTE*>(&rate), 4},
        {L"printRate", reinterpret_cast<BYTE*>(&rate), 4},
        {kMediaReady, media.get(), mediaSize},
    };
    for (const auto& value : values) {
        if (!value.buffer)
            continue;
        DWORD type = 0, needed = 0;
        if (GetPrinterDataW(printer, const_cast<wchar_t*>(value.name), &type, value.buffer, value.size, &needed) ==
            ERROR_SUCCESS)
            SetPrinterDataExW(printer, kDsDriver, value.name, type, value.buffer, value.size);
    }
}

} // namespace

HANDLE getDocumentPropertyPrinter(const PROPSHEETUI_INFO* sheet, LPARAM lParam, std::wstring& printerName)
{
    printerName.clear();
    const DevicePropertyHeader* header = sheetHeader(sheet, lParam);
    if (!header)
        return nullptr;
    printerName = boundedText(header->pszPrinterName, kMaxNameChars);
    const auto* document = reinterpret_cast<const DocumentPropertyHeader*>(header);
    const DEVMODEW* input = header->cbSize >= offsetof(DocumentPropertyHeader, pdmIn) + sizeof(PDEVMODEW)
                                ? document->pdmIn
                                : nullptr;
    if (header->pszPrinterName && input) {
        const std::wstring device = boundedText(input->dmDeviceName, kDeviceNameChars);
        if (printerName.size() != device.size()) {
            ScopedPrinter probe;
            if (!openPrinterWithAccess(printerName, probe.receive(), PRINTER_ACCESS_USE))
                printerName = device;
        }
    }
    return header->hPrinter;
}

int docPropSheetInit(const PROPSHEETUI_INFO* sheet, LPARAM lParam)
{
    try {
        setInstallState(0x80000);
        const SheetPrinter printer = sheetPrinter(sheet, lParam);
        if (getPrinterProcessProperty(printer.handle, printer.name.empty() ? nullptr : printer.name.c_str(),
                                      krv::kCancelDocProp) == pid())
            return 2;
    } catch (...) {
    }
    return 0;
}

int docPropSheetDestroy(const PROPSHEETUI_INFO* sheet, LPARAM lParam)
{
    try {
        if (!isProcessMarker(krv::kUIOpen)) {
            const SheetPrinter printer = sheetPrinter(sheet, lParam);
            setPrinterProcessProperty(printer.handle, printer.name.empty() ? nullptr : printer.name.c_str(),
                                      krv::kDocPropId, pid());
        }
    } catch (...) {
    }
    return 0;
}

int devPropSheetInit(const PROPSHEETUI_INFO*, LPARAM)
{
    try {
        setInstallState(0x80000);
        // Outside the shell no start of document reads the marker: it goes.
        if (ModuleEntry::inShell() && getProcessProperty(krv::kInDevProp) != kAllOnes)
            setProcessProperty(krv::kInDevProp, pid());
        else
            deleteProcessProperty(krv::kInDevProp);
    } catch (...) {
    }
    return 0;
}

int devPropSheetDestroy(const PROPSHEETUI_INFO*, LPARAM)
{
    try {
        setInstallState(0x80000);
        if (ModuleEntry::inShell() && isProcessMarker(krv::kInDevProp))
            deleteProcessProperty(krv::kInDevProp);
    } catch (...) {
    }
    return 0;
}

int commonUIProp(DWORD mode, const OemCuiParam* parameters)
{
    try {
        if (ModuleEntry::inSpooler() || g_commonUIBusy != 0)
            return 0;
        const std::uint64_t init = getProcessProperty(krv::kPrtInit);
        if (init != 0) {
            if ((init & 0xFFFFFFFF) == 0xFFFFFFFF)
                deleteProcessProperty(krv::kPrtInit);
            g_commonUIBusy = 0;
            return 0;
        }
        if (!parameters || parameters->cbSize < offsetof(OemCuiParam, pPrinterName) + sizeof(LPWSTR))
            return 0;
        if (!isEventExtensionSupported(parameters->hPrinter, nullptr))
            return 0;
        const std::wstring name = boundedText(parameters->pPrinterName, kMaxNameChars);
        if (mode == kOemDocumentProperties) {
            BusyScope busy;
            documentProperties(name.c_str());
        } else if (!isProcessMarker(krv::kUIOpen)) {
            BusyScope busy;
            printerProperties(name.c_str());
        }
    } catch (...) {
    }
    return 0;
}

INT_PTR documentProperties(const wchar_t* printerName)
{
    PROFILE_SCOPE("LumoraUI::documentProperties(%X,%S)", 0u, printerName ? printerName : L"");
    if (ModuleEntry::inShell() && isProcessMarker(krv::kInDevProp)) {
        setProcessProperty(krv::kInDevProp, 0);
        deleteProcessProperty(krv::kInDevProp);
        return 0;
    }
    ExtensionHold hold;
    LumoraPrintingExtension* extension = hold.get();
    if (!extension)
        return 0;
    ActiveWindowScope window;
    deletePrinterProcessProperty(nullptr, printerName, krv::kCancelDocProp);
    bool promptAtPrint = false;
    const INT_PTR result = extension->promptAtPrint(nullptr, printerName, &promptAtPrint);
    if (result == kCancelled) {
        setPrinterProcessProperty(nullptr, printerName, krv::kCancelDocProp, pid());
        installDialogSuppressHook();
        setCancelSnp(printerName);
        return kCancelled;
    }
    if (promptAtPrint) {
        setPrinterProcessProperty(nullptr, printerName, krv::kPromptAtPrint, pid());
        setCancelSnp(printerName);
    }
    return 0;
}

INT_PTR printerProperties(const wchar_t* printerName)
{
    PROFILE_SCOPE("LumoraUI::printerProperties(%X,%S)", 0u, printerName ? printerName : L"");
    ExtensionHold hold;
    LumoraPrintingExtension* extension = hold.get();
    if (!extension)
        return 0;
    deleteProcessProperty(krv::kCancelDocProp);
    if (extension->selectDestination(nullptr, printerName) == kCancelled) {
        setProcessProperty(krv::kInDevProp, kAllOnes);
        installDialogSuppressHook();
        setCancelSnp(printerName);
        return kCancelled;
    }
    setProcessProperty(krv::kInDevProp, pid());
    return 0;
}

int documentPropertySheets(const PROPSHEETUI_INFO* sheet, LPARAM lParam)
{
    PROFILE_SCOPE("LumoraUI::QZDrvDocumentPropertySheets(%X, %X)", static_cast<unsigned>(reinterpret_cast<UINT_PTR>(sheet)),
                  static_cast<unsigned>(lParam));
    try {
        if (ModuleEntry::inSpooler())
            return 0;
        return runSheet(sheet, lParam, true);
    } catch (...) {
    }
    return 0;
}

int devicePropertySheetsPre(const PROPSHEETUI_INFO* sheet, LPARAM lParam)
{
    PROFILE_SCOPE("LumoraUI::QZDrvDevicePropertySheetsPre(%X, %X)",
                  static_cast<unsigned>(reinterpret_cast<UINT_PTR>(sheet)), static_cast<unsigned>(lParam));
    try {
        if (getProcessProperty(krv::kPrtInit) != 0 || ModuleEntry::inSpooler() || isProcessMarker(krv::kUIOpen))
            return 0;
        const DevicePropertyHeader* header = sheetHeader(sheet, lParam);
        if (header && header->pszPrinterName && header->pszPrinterName[0] != L'\\')
            copyMediaReadyFromDsDriver(boundedText(header->pszPrinterName, kMaxNameChars));
        return runSheet(sheet, lParam, false);
    } catch (...) {
    }
    return 0;
}

int devicePropertySheetsPost(const PROPSHEETUI_INFO* sheet, LPARAM lParam)
{
    PROFILE_SCOPE("LumoraUI::QZDrvDevicePropertySheetsPost(%X, %X)",
                  static_cast<unsigned>(reinterpret_cast<UINT_PTR>(sheet)), static_cast<unsigned>(lParam));
    try {
        const std::uint64_t init = getProcessProperty(krv::kPrtInit);
        if (init != 0 || ModuleEntry::inSpooler()) {
            if (init == kAllOnes)
                deleteProcessProperty(krv::kPrtInit);
            return 0;
        }
        if (isProcessMarker(krv::kUIOpen))
            return 0;
        if (sheet && sheet->Reason == kReasonDestroy) {
            StaticModeSteps::current().launchUpdateStaticModePrinter(sheet, lParam);
            return 0;
        }
        const DevicePropertyHeader* header = sheetHeader(sheet, lParam);
        if (!sheet || sheet->Reason != kReasonInit || !header || !header->hPrinter || !header->pszPrinterName ||
            header->pszPrinterName[0] == L'\\')
            return 0;
        copyDsDriverValues(header->hPrinter);
    } catch (...) {
    }
    return 0;
}

} // namespace LumoraUI
