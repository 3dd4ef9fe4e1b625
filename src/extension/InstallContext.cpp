#include "extension/InstallContext.h"

#include "core/RegistryKey.h"
#include "core/SettingsKeys.h"

namespace {
constexpr wchar_t kContext[] = L"InstallContext";
constexpr wchar_t kOriginalPrinterName[] = L"InstallContextOriginalPrinterName";

bool deleteSetting(const wchar_t* name)
{
    RegistryKey key(HKEY_CURRENT_USER, settingskeys::kSettings, RegistryKey::kAllAccess);
    return key.isOpen() && key.deleteValue(name);
}
} // namespace

InstallContext::InstallContext()
{
    load();
}

void InstallContext::load()
{
    RegistryKey key(HKEY_CURRENT_USER, settingskeys::kSettings, RegistryKey::kRead);
    DWORD value = 0;
    if (key.queryDword(kContext, &value))
        context_ = static_cast<int>(value);
}

bool InstallContext::setContext(int context)
{
    if (context < 1 || context > 3)
        return false;
    context_ = context;
    save();
    return true;
}

bool InstallContext::save()
{
    RegistryKey key(HKEY_CURRENT_USER, settingskeys::kSettings, RegistryKey::kAllAccess, true);
    return key.setDword(kContext, static_cast<DWORD>(context_));
}

bool InstallContext::deleteContext()
{
    return deleteSetting(kContext);
}

std::wstring InstallContext::getOriginalPrinterName()
{
    RegistryKey key(HKEY_CURRENT_USER, settingskeys::kSettings, RegistryKey::kRead);
    std::wstring name;
    if (key.queryString(kOriginalPrinterName, name))
        originalPrinterName_ = name;
    return originalPrinterName_;
}

bool InstallContext::setOriginalPrinterName(const std::wstring& name)
{
    originalPrinterName_ = name;
    if (name.empty())
        return false;
    RegistryKey key(HKEY_CURRENT_USER, settingskeys::kSettings, RegistryKey::kAllAccess, true);
    return key.setString(kOriginalPrinterName, name);
}

bool InstallContext::deleteOriginalPrinterName()
{
    return deleteSetting(kOriginalPrinterName);
}
