#include "bidi/BidiCacheCopy.h"

#include "bidi/RegistryCache.h"
#include "core/ScopedHandle.h"
#include "core/SettingsKeys.h"
#include "destination/PrinterDataValues.h"

#include <string>
#include <vector>

namespace MPrint {

namespace {

constexpr wchar_t kMachinePrinters[] = L"SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\";
constexpr wchar_t kBidiCacheData[] = L"\\PrinterDriverData\\BidiCache";
constexpr wchar_t kBatchPrefix[] = L"PrinterDriverData\\BidiCache\\";

// Every value of the key into the batch; types other than the four the
// monitor stores are passed over, and so is a number that is not 4 bytes.
void copyValuesToBatch(HKEY key, PrinterDataValues& batch)
{
    DWORD longestName = 0, longestData = 0;
    RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &longestName,
                     &longestData, nullptr, nullptr);
    std::vector<wchar_t> name(std::max<DWORD>(256, longestName + 1));
    std::vector<BYTE> data(std::max<DWORD>(512, longestData) + sizeof(wchar_t));
    for (DWORD index = 0;;) {
        DWORD nameChars = static_cast<DWORD>(name.size());
        DWORD size = static_cast<DWORD>(data.size() - sizeof(wchar_t));
        DWORD type = REG_NONE;
        const LONG result = RegEnumValueW(key, index, name.data(), &nameChars, nullptr, &type, data.data(), &size);
        if (result == ERROR_MORE_DATA) {
            // A value grew meanwhile; the call does not say how long its name is.
            if (name.size() > 32768 || data.size() > (64u << 20))
                break;
            name.resize(name.size() * 2);
            data.resize(std::max<size_t>(data.size() * 2, size + 128 + sizeof(wchar_t)));
            continue;
        }
        if (result != ERROR_SUCCESS)
            break;
        const std::wstring valueName = kBatchPrefix + std::wstring(name.data(), nameChars);
        switch (type) {
        case REG_SZ: {
            const auto* text = reinterpret_cast<const wchar_t*>(data.data());
            batch.addString(valueName.c_str(), std::wstring(text, wcsnlen(text, size / sizeof(wchar_t))).c_str());
            break;
        }
        case REG_BINARY:
            batch.addBinary(valueName.c_str(), size, data.data());
            break;
        case REG_DWORD:
            if (size == sizeof(DWORD))
                batch.addDword(valueName.c_str(), *reinterpret_cast<const DWORD*>(data.data()));
            break;
        case REG_MULTI_SZ:
            batch.addMultiString(valueName.c_str(), size, data.data());
            break;
        default:
            break;
        }
        ++index;
    }
}

// The staging key and, when no other migration uses it, its parent.
void removeStagingKey(const std::wstring& path)
{
    RegDeleteKeyW(HKEY_CURRENT_USER, path.c_str());
    RegDeleteKeyW(HKEY_CURRENT_USER, settingskeys::kBidiCacheStaging);
}

} // namespace

bool saveBidiCacheToFile(HANDLE printer, const wchar_t* printerName)
{
    if (!printerName)
        return false;
    RegistryCache cache(nullptr);
    return cache.save(printer, RegistryCache::makeCacheName(printerName).c_str());
}

bool deleteBidiCacheFile(const wchar_t* printerName)
{
    if (!printerName)
        return false;
    RegistryCache cache(nullptr);
    return cache.remove(RegistryCache::makeCacheName(printerName).c_str());
}

bool migrateBidiCache(HANDLE printer, const wchar_t* printerName, const wchar_t* cacheName,
                      PrinterDataValues* batch)
{
    if (!cacheName || (!printer && (!printerName || !*printerName)))
        return false;
    // Without a handle the values go straight where the spooler keeps them.
    const std::wstring machinePath =
        printer ? std::wstring() : kMachinePrinters + std::wstring(printerName) + kBidiCacheData;
    const std::wstring name = RegistryCache::makeCacheName(cacheName);
    RegistryCache cache(nullptr);
    if (cache.restore(printer, HKEY_LOCAL_MACHINE, machinePath.c_str(), name.c_str()))
        return true;
    if (GetLastError() != ERROR_ACCESS_DENIED || !batch)
        return false;

    const std::wstring stagingPath = std::wstring(settingskeys::kBidiCacheStaging) + L"\\" + name;
    ScopedRegKey staging;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, stagingPath.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        staging.receive(), nullptr) != ERROR_SUCCESS)
        return false;
    const bool restored = cache.restore(nullptr, HKEY_CURRENT_USER, stagingPath.c_str(), name.c_str());
    if (restored)
        copyValuesToBatch(staging.get(), *batch);
    staging.reset();
    removeStagingKey(stagingPath);
    return restored;
}

} // namespace MPrint
