#include "extension/KRVProperties.h"

#include "core/ProcAddress.h"
#include "core/RegistryKey.h"
#include "core/ScopedHandle.h"
#include "core/SettingsKeys.h"
#include "shared/SpoolerQueries.h"

#include <memory>
#include <mutex>

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
        printerText = getPrinterName(printer);
    }
    return printerText.empty() ? std::wstring() : printerText + L"-";
}

// The store's two keys, opened on first use and then kept for the process:
// every property call used to open (or create) both. A user of a key holds
// its own reference, so close() never pulls a key from under a call.
class PropertyStore {
public:
    static PropertyStore& instance()
    {
        static PropertyStore store;
        return store;
    }

    // The all-access volatile properties key; null when the settings key
    // cannot be opened (or created) with all access.
    std::shared_ptr<RegistryKey> writableKey()
    {
        std::lock_guard<std::mutex> hold(lock_);
        if (!properties_) {
            RegistryKey settings(HKEY_CURRENT_USER, settingskeys::kSettings, RegistryKey::kAllAccess, true);
            if (!settings.isOpen())
                return nullptr;
            auto properties = std::make_shared<RegistryKey>(HKEY_CURRENT_USER, settingskeys::kKrvProperties,
                                                            RegistryKey::kAllAccess, true, true);
            if (!properties->isOpen())
                return nullptr;
            properties_ = properties;
        }
        return properties_;
    }

    void close()
    {
        std::lock_guard<std::mutex> hold(lock_);
        properties_.reset();
    }

private:
    std::mutex lock_; // guards properties_
    std::shared_ptr<RegistryKey> properties_;
};

// Runs the operation on the kept key; a key deleted meanwhile (by another
// process, or with its tree) is opened once more and the operation repeated.
template <typename Operation>
bool withStore(Operation operation)
{
    for (int attempt = 0; attempt < 2; ++attempt) {
        std::shared_ptr<RegistryKey> store = PropertyStore::instance().writableKey();
        if (!store)
            return false;
        if (operation(*store))
            return true;
        if (store->getLastError() != ERROR_KEY_DELETED)
            return false;
        PropertyStore::instance().close();
    }
    return false;
}

bool setValue(const std::wstring& valueName, std::uint64_t value)
{
    return withStore([&](RegistryKey& store) { return store.setQword(valueName, value); });
}

std::uint64_t getValue(const std::wstring& valueName)
{
    std::uint64_t value = 0;
    // A value of another type may have left its bytes behind: only a true read counts.
    if (withStore([&](RegistryKey& store) { return store.queryQword(valueName, &value); }))
        return value;
    if (PropertyStore::instance().writableKey())
        return 0;
    // A store this process cannot write may still be readable.
    RegistryKey store(HKEY_CURRENT_USER, settingskeys::kKrvProperties, RegistryKey::kRead);
    value = 0;
    return store.queryQword(valueName, &value) ? value : 0;
}

std::uint64_t deleteValue(const std::wstring& valueName)
{
    std::uint64_t value = 0;
    withStore([&](RegistryKey& store) {
        if (!store.queryQword(valueName, &value))
            value = 0;
        // Whatever its type, the value goes; only a deleted key is retried.
        return store.deleteValue(valueName) || store.getLastError() != ERROR_KEY_DELETED;
    });
    return value;
}

} // namespace

bool isPropertyStoreWritable()
{
    return PropertyStore::instance().writableKey() != nullptr;
}

void closePropertyStore()
{
    PropertyStore::instance().close();
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
    const ScopedModule ieframe(LoadLibraryW(L"ieframe.dll"));
    if (!ieframe)
        return false;
    bool result = false;
    if (auto query = procAddress<IsProtectedModeFn>(ieframe.get(), "IEIsProtectedModeProcess")) {
        BOOL protectedMode = FALSE;
        const HRESULT answer = query(&protectedMode);
        if (answer == S_OK)
            result = protectedMode != FALSE;
        else if (answer == E_ACCESSDENIED)
            result = true;
    }
    return result;
}
