#include "VagantUIExtension/DiscoveryServicesManager.h"

#include "VagantUIExtension/ManagedListSource.h"
#include "core/ComponentRegistry.h"
#include "core/RegistryKey.h"
#include "core/SettingsKeys.h"
#include "discovery/DiscoveryServiceIntf.h"
#include "discovery/QZMPLDiscovery.h"

#include <memory>

namespace {

// Plain pointer: constant-initialised, so no order of static construction
// matters.
DiscoveryServicesManager* instance = nullptr;

constexpr DWORD kListNameCapacity = 512;

constexpr wchar_t kCustomListPrefix[] = L"CustomMPLPath";
constexpr size_t kCustomListPrefixLength = 13;
constexpr uint32_t kDefaultListNameId = 26;
constexpr uint32_t kListDescriptionId = 110;

// Longer than any value name the enumeration of the per-user lists returns,
// and no policy list is named so: no list can take the default list's name.
const std::wstring& defaultListName()
{
    static const std::wstring name = L"QZMPL default list " + std::wstring(kListNameCapacity, L'.');
    return name;
}

std::wstring policyString(MPrint::ManagedListSource& policy, const std::wstring& name)
{
    std::wstring value;
    if (!policy.getString(name.c_str(), value))
        value.clear();
    return value;
}

MPrint::QZMPLDiscovery::Policy defaultListPolicy()
{
    MPrint::QZMPLDiscovery::Policy answer;
    MPrint::ManagedListSource& policy = MPrint::ManagedListSource::current();
    answer.hasListUrl = policy.getString(L"QZManagedPrinterListURL", answer.listUrl);
    answer.server = policy.getPolicyServer();
    return answer;
}

bool readDefaultList(const std::wstring& location, std::string& bytes, DWORD* status, DWORD timeoutMs)
{
    return MPrint::ManagedListSource::current().readList(location, bytes, status, timeoutMs);
}

} // namespace

const wchar_t DiscoveryServicesManager::kDefaultListLocation[] = L"http://MPL_RESOLVE_ON_SEARCH/printerlist.xml";

DiscoveryServicesManager* DiscoveryServicesManager::GetInstance()
{
    if (!instance)
        instance = new DiscoveryServicesManager;
    return instance;
}

DiscoveryServicesManager::~DiscoveryServicesManager()
{
    Shutdown();
    if (instance == this)
        instance = nullptr;
}

uint32_t DiscoveryServicesManager::Initialize()
{
    if (state_ != kNotInitialized)
        return 4;
    RegisterManagedListServices();
    ComponentEntryList entries;
    ComponentRegistry::enumerateDiscoveryServices(entries);
    // Only the ids are used: an entry may go once the registry is unlocked.
    std::vector<GUID> classIds;
    for (ComponentEntry* entry : entries)
        classIds.push_back(entry->descriptor.classId);
    // Loads the policy now, before any service is made; the answer itself
    // is not needed here.
    MPrint::ManagedListSource::current().hasPolicy();

    uint32_t result = 0;
    for (const GUID& classId : classIds) {
        MPrint::ComponentIntf* component = nullptr;
        const uint32_t code = ComponentRegistry::createComponent(classId, &component, kDiscoveryServiceComponent);
        std::unique_ptr<MPrint::ComponentIntf> owned(component);
        if (code != 0) {
            result = code;
            continue;
        }
        auto* service = dynamic_cast<MPrint::DiscoveryServiceIntf*>(component);
        if (!service)
            continue;
        MPrint::DiscoveryServiceIntf*& slot = services_[classId];
        delete slot;
        slot = service;
        owned.release();
    }
    state_ = kInitialized;
    // Every history the product loads (the chooser's, the re-target's, the
    // job-delivery lookup) reads older entries through the services.
    TargetHistoryList::setProcessResolver(this);
    return result;
}

uint32_t DiscoveryServicesManager::Start()
{
    if (state_ != kInitialized)
        return 4;
    uint32_t result = 0;
    for (auto& [classId, service] : services_) {
        if (!service->IsEnabled())
            continue;
        const uint32_t code = service->Start();
        if (code != 0)
            result = code;
    }
    state_ = kStarted;
    return result;
}

uint32_t DiscoveryServicesManager::Stop()
{
    if (state_ != kStarted)
        return 6;
    uint32_t result = 0;
    for (auto& [classId, service] : services_) {
        if (!service->IsRunning())
            continue;
        const uint32_t code = service->Stop();
        if (code != 0)
            result = code;
    }
    state_ = kInitialized;
    return result;
}

uint32_t DiscoveryServicesManager::Shutdown()
{
    // Waits for the loads that are resolving through the services now, so
    // none walks a service deleted below.
    TargetHistoryList::removeProcessResolver(this);
    if (state_ == kNotInitialized)
        return 0;
    if (state_ == kStarted)
        Stop();
    for (auto& [classId, service] : services_) {
        if (service->IsRunning())
            service->Stop();
        delete service;
    }
    services_.clear();
    state_ = kNotInitialized;
    UnregisterManagedListServices();
    return 0;
}

MPrint::DiscoveryServiceIntf* DiscoveryServicesManager::GetService(const GUID& classId) const
{
    auto it = services_.find(classId);
    return it == services_.end() ? nullptr : it->second;
}

uint32_t DiscoveryServicesManager::EnableService(const GUID& classId, bool enable)
{
    MPrint::DiscoveryServiceIntf* service = GetService(classId);
    if (!service)
        return 1;
    ComponentRegistry::setEnabled(classId, enable);
    if (enable) {
        if (!service->IsEnabled()) {
            const uint32_t code = service->SetEnabled(true);
            if (code != 0)
                return code;
        }
        if (!service->IsRunning())
            return service->Start();
        return 0;
    }
    uint32_t result = 0;
    if (service->IsRunning())
        result = service->Stop();
    if (service->IsEnabled() && !service->IsRunning())
        service->SetEnabled(false);
    return result;
}

void DiscoveryServicesManager::UnregisterManagedListServices()
{
    while (!listNames_.empty()) {
        ComponentRegistry::unregisterComponent(listNames_.begin()->first);
        listNames_.erase(listNames_.begin());
    }
}

MPrint::PrintPath* DiscoveryServicesManager::resolveOlderEntry(const std::wstring& address, const std::wstring& name,
                                                              const std::wstring& display)
{
    for (const auto& [classId, service] : services_) {
        if (!(service->GetSearchCapabilities() & MPrint::DiscoveryServiceIntf::kCapResolve))
            continue;
        PrintPathList results;
        if (service->Resolve(nullptr, address, name, display, results) == 0 && results.size() == 1)
            return results.front().release();
    }
    return nullptr;
}

void DiscoveryServicesManager::EnumerateUserLists(HKEY key, std::vector<std::wstring>& names)
{
    for (DWORD index = 0;; ++index) {
        wchar_t name[kListNameCapacity];
        DWORD length = kListNameCapacity;
        const LONG status = RegEnumValueW(key, index, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_MORE_DATA)
            continue;
        if (status != ERROR_SUCCESS)
            return;
        names.emplace_back(name, length);
    }
}

void DiscoveryServicesManager::registerList(const std::wstring& listName, uint32_t nameId, uint32_t iconId)
{
    GUID classId;
    if (FAILED(CoCreateGuid(&classId)))
        return;
    listNames_[classId] = listName;
    ComponentRegistry::registerComponent(ComponentDescriptor{classId, kDiscoveryServiceComponent,
                                                             CreateManagedListService, 1, 0, 0, nullptr, 0, 0, nameId,
                                                             kListDescriptionId, iconId});
}

void DiscoveryServicesManager::RegisterManagedListServices()
{
    // Registrations of an earlier round would otherwise stay in the
    // registry with no list behind them.
    UnregisterManagedListServices();
    registerList(defaultListName(), kDefaultListNameId, 0);

    MPrint::ManagedListSource& policy = MPrint::ManagedListSource::current();
    if (policy.hasPolicy()) {
        DWORD count = 0;
        if (!policy.getDword(L"CustomMPLCount", count))
            count = 0;
        for (DWORD i = 0; i < count; ++i) {
            const std::wstring index = std::to_wstring(i);
            if (policyString(policy, L"CustomMPLName" + index).empty() ||
                policyString(policy, kCustomListPrefix + index).empty())
                continue;
            registerList(kCustomListPrefix + index, 0, i);
        }
    }

    RegistryKey userLists(HKEY_CURRENT_USER, settingskeys::kUserLists, RegistryKey::kRead);
    if (userLists.isOpen()) {
        std::vector<std::wstring> names;
        EnumerateUserLists(userLists.getHandle(), names);
        for (const std::wstring& name : names)
            registerList(name, 0, 0);
    }
}

uint32_t DiscoveryServicesManager::CreateManagedListService(const GUID& classId, MPrint::ComponentIntf** out)
{
    if (!out)
        return 3;
    *out = nullptr;
    if (!instance)
        return 3;
    auto it = instance->listNames_.find(classId);
    if (it == instance->listNames_.end())
        return 3;
    try {
        *out = instance->createListService(classId, it->second);
    } catch (...) {
        *out = nullptr; // no memory: the registry sees no component and code 0
        return 0;
    }
    return *out ? 0 : 3;
}

MPrint::ComponentIntf* DiscoveryServicesManager::createListService(const GUID& classId,
                                                                   const std::wstring& listName) const
{
    MPrint::ManagedListSource& policy = MPrint::ManagedListSource::current();
    if (listName == defaultListName()) {
        std::wstring location;
        if (!(policy.hasPolicy() && policy.getString(L"QZManagedPrinterListURL", location)))
            location = kDefaultListLocation;
        std::wstring name = L"qz managed printing";
        ComponentRegistry::getResourceLoader().loadString(kDefaultListNameId, name);
        return new MPrint::QZMPLDiscovery(classId, name, location, defaultListPolicy, readDefaultList);
    }
    if (policy.hasPolicy() && listName.find(kCustomListPrefix) != std::wstring::npos) {
        const std::wstring suffix = listName.substr(kCustomListPrefixLength);
        const std::wstring name = policyString(policy, L"CustomMPLName" + suffix);
        const std::wstring location = policyString(policy, listName);
        if (name.empty() || location.empty())
            return nullptr;
        auto service = std::make_unique<MPrint::ManagedPortDiscovery>(classId, name, location);
        DWORD type = 0;
        if (policy.getDword((L"CustomMPLType" + suffix).c_str(), type))
            service->setListType(type);
        service->setExtraCapabilities(MPrint::DiscoveryServiceIntf::kCapManagedList);
        return service.release();
    }
    RegistryKey key(HKEY_CURRENT_USER, settingskeys::kUserLists, RegistryKey::kRead);
    std::wstring location;
    if (!key.queryString(listName.c_str(), location))
        return nullptr;
    auto service = std::make_unique<MPrint::ManagedPortDiscovery>(classId, listName, location);
    service->setExtraCapabilities(MPrint::DiscoveryServiceIntf::kCapManagedList);
    return service.release();
}
