#include "support/UserDestination.h"

#include "core/RegistryKey.h"
#include "core/SettingsKeys.h"
#include "destination/PrintPathAttr.h"
#include "destination/TargetHistoryList.h"
#include "discovery/DiscoveryClassIds.h"
#include "extension/DeviceConfiguration.h"
#include "extension/LumoraPrintingExtension.h"
#include "extension/ManagedPrintPolicy.h"

namespace testenv {

namespace {

constexpr const wchar_t* kKept[] = {L"PromptMethod", L"CurrentAddress", L"ChangedPorts", L"FreeDVTCount"};

// Through this process's own extension, which is not the loaded module's.
template <typename Change>
void withHistory(Change change)
{
    LumoraPrintingExtension* extension = LumoraPrintingExtension::instance();
    if (extension) {
        TargetHistoryList history(extension->getSettings()->getTargetHistoryKey());
        history.load();
        change(history);
        history.save();
    }
    delete LumoraPrintingExtension::current();
    if (MPrint::ManagedPrintPolicy::hasInstance())
        delete MPrint::ManagedPrintPolicy::instance();
}

} // namespace

UserDestination::UserDestination(const std::wstring& display, const std::wstring& host, const std::wstring& verifyPdl,
                                 const std::wstring& community)
    : display_(display)
{
    RegistryKey settings(HKEY_CURRENT_USER, settingskeys::kSettings, RegistryKey::kAllAccess, true);
    for (const wchar_t* name : kKept) {
        std::wstring text;
        DWORD number = 0;
        if (settings.queryString(name, text))
            kept_.push_back({name, text, std::nullopt});
        else if (settings.queryDword(name, &number))
            kept_.push_back({name, {}, number});
        else
            kept_.push_back({name, {}, std::nullopt, true});
    }
    settings.setDword(L"PromptMethod", 2);
    settings.setString(L"CurrentAddress", display);
    settings.setDword(L"ChangedPorts", 0);
    settings.setDword(L"FreeDVTCount", 100);

    auto* path = new MPrint::PrintPath();
    path->setDiscoveryId(discoveryids::kTcpIp);
    path->setStringAttribute(PrintPathAttr::DisplayString, display, true);
    path->setStringAttribute(PrintPathAttr::Address, host, true);
    path->setStringAttribute(PrintPathAttr::IPAddress, host, true);
    path->setStringAttribute(std::wstring(PrintPathAttr::IgnorePDLCheck) + verifyPdl, verifyPdl, true);
    SYSTEMTIME now{};
    GetSystemTime(&now);
    path->setNumericAttribute(PrintPathAttr::LastConfigTime, MPrint::makeDeviceStamp(now), true);
    // The raw port's own check is another test's: this device only takes jobs.
    path->setNumericAttribute(PrintPathAttr::ValidateDevice, 0, true);
    path->setDevice(MPrint::Device("QZ Road Laser", "QZ Road Laser"), true);
    if (!community.empty())
        path->setStringAttribute(PrintPathAttr::LumoSNMPCommunityName, community, true);
    withHistory([path](TargetHistoryList& history) { history.add(path); });
}

UserDestination::~UserDestination()
{
    withHistory([this](TargetHistoryList& history) {
        for (auto it = history.begin(); it != history.end(); ++it) {
            if (history.getDisplayString(it) == display_) {
                history.remove(it->get());
                break;
            }
        }
    });
    RegistryKey settings(HKEY_CURRENT_USER, settingskeys::kSettings, RegistryKey::kAllAccess, true);
    for (const Kept& value : kept_) {
        if (value.absent)
            settings.deleteValue(value.name);
        else if (value.number)
            settings.setDword(value.name, *value.number);
        else
            settings.setString(value.name, value.text);
    }
}

DWORD UserDestination::changedPorts() const
{
    RegistryKey settings(HKEY_CURRENT_USER, settingskeys::kSettings, RegistryKey::kRead);
    DWORD value = 0;
    settings.queryDword(L"ChangedPorts", &value);
    return value;
}

} // namespace testenv
