#include "extension/KRVProperties.h"

#include "core/ProcAddress.h"
#include "core/RegistryKey.h"
#include "core/SettingsKeys.h"
#include "shared/SpoolerQueries.h"

namespace {

std::wstring processValueName(const std::wstring& prefix, const std::wstring& name)
{
    // The process id in uppercase hexadecimal without leading zeros ("%X").
    wchar_t digits[9] = {};
    wchar_t* start = digits + 8;
    DWORD pid = GetCurrentProcessId();
    do {
        *--start = L"0123456789ABCDEF"[pid & 0xF];
        pid >>= 4;
    } while (pid != 0);
    return prefix + name + start;
}

std::wstring printerPrefix(HANDLE printer, const wchar_t* printerName)
{
    std::wstring printerText;
    if (printerName) {
        printerText = printerName;
    } else if (printer) {
        BYTE* info = nullptr;
        if (getPrinterAlloc(printer, 1, &info)) {
            const wchar_t* name = reinterpret_cast<const PRINTER_INFO_1W*>(info)->pName;
            if (name)
                printerText = name;
        }
        if (info)
            GlobalFree(info);
    }
    return printerText.empty() ? std::wstring() : printerText + L"-";
}

RegistryKey openWritableStore()
{
    return RegistryKey(HKEY_CURRENT_USER, settingskeys::kKrvProperties, RegistryKey::kAllAccess, true, true);
}

bool setValue(const std::wstring& valueName, std::uint64_t value)
{
    if (!isPropertyStoreWritable())
        return false;
    RegistryKey store = openWritableStore();
    return store.setQword(valueName, value);
}

std::uint64_t getValue(const std::wstring& valueName)
{
    RegistryKey store(HKEY_CURRENT_USER, settingskeys::kKrvProperties, RegistryKey::kRead);
    std::uint64_t value = 0;
    // A value of another type may have left its bytes behind: only a true read counts.
    return store.queryQword(valueName, &value) ? value : 0;
}

std::uint64_t deleteValue(const std::wstring& valueName)
{
    if (!isPropertyStoreWritable())
        return 0;
    RegistryKey store = openWritableStore();
    std::uint64_t value = 0;
    if (!store.queryQword(valueName, &value))
        value = 0;
    store.deleteValue(valueName);
    return value;
}

} // namespace

bool isPropertyStoreWritable()
{
    return RegistryKey(HKEY_CURRENT_USER, settingskeys::kSettings, RegistryKey::kAllAccess, true).isOpen();
}

bool setProcessProperty(const std::wstring& name, std::uint64_t value)
{
    return setValue(processValueName(L"", name), value);
}

std::uint64_t getProcessProperty(const std::wstring& name)
{
    return getValue(processValueName(L"", name));
}

std::uint64_t deleteProcessProperty(const std::wstring& name)
{
    return deleteValue(processValueName(L"", name));
}

bool setPrinterProcessProperty(HANDLE printer, const wchar_t* printerName, const std::wstring& name,
                               std::uint64_t value)
{
    return setValue(processValueName(printerPrefix(printer, printerName), name), value);
}

std::uint64_t getPrinterProcessProperty(HANDLE printer, const wchar_t* printerName, const std::wstring& name)
{
    return getValue(processValueName(printerPrefix(printer, printerName), name));
}

std::uint64_t deletePrinterProcessProperty(HANDLE printer, const wchar_t* printerName, const std::wstring& name)
{
    return deleteValue(processValueName(printerPrefix(printer, printerName), name));
}

bool setInstallMarker()
{
    return setProcessProperty(krv::kInstallMarker, krv::kInstallMarkerValue);
}

void clearInstallMarker()
{
    deleteProcessProperty(krv::kInstallMarker);
}

bool setInstallState(std::uint64_t state)
{
    if (getProcessProperty(krv::kInstallMarker) != krv::kInstallMarkerValue)
        return false;
    return setProcessProperty(krv::kInstallState, state);
}

std::uint64_t getInstallState()
{
    return getProcessProperty(krv::kInstallState);
}

void clearInstallState()
{
    deleteProcessProperty(krv::kInstallState);
}

bool setCancelJobFlag()
{
    RegistryKey key(HKEY_CURRENT_USER, settingskeys::kCancelJob, RegistryKey::kAllAccess, true);
    return key.setDword(std::to_wstring(GetCurrentProcessId()), 1);
}

bool takeCancelJobFlag()
{
    RegistryKey key(HKEY_CURRENT_USER, settingskeys::kCancelJob, RegistryKey::kAllAccess);
    const std::wstring name = std::to_wstring(GetCurrentProcessId());
    DWORD value = 0;
    if (!key.queryDword(name, &value))
        return false;
    key.deleteValue(name);
    return true;
}

bool isProtectedModeProcess()
{
    using IsProtectedModeFn = HRESULT(WINAPI*)(BOOL*);
    HMODULE ieframe = LoadLibraryW(L"ieframe.dll");
    if (!ieframe)
        return false;
    bool result = false;
    if (auto query = procAddress<IsProtectedModeFn>(ieframe, "IEIsProtectedModeProcess")) {
        BOOL protectedMode = FALSE;
        const HRESULT answer = query(&protectedMode);
        if (answer == S_OK)
            result = protectedMode != FALSE;
        else if (answer == E_ACCESSDENIED)
            result = true;
    }
    FreeLibrary(ieframe);
    return result;
}
