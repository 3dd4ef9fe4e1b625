#include "VagantUIExtension/DiscoveryServicesManager.h"

#include "core/ComponentRegistry.h"
#include "discovery/DiscoveryServiceIntf.h"
#include "extension/ManagedPrintPolicy.h"

#include <memory>

namespace {

// Plain pointer: constant-initialised, so no order of static construction
// matters.
DiscoveryServicesManager* instance = nullptr;

constexpr DWORD kListNameCapacity = 512;

} // namespace

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
    ComponentEntryList entries;
    ComponentRegistry::enumerateDiscoveryServices(entries);
    // Only the ids are used: an entry may go once the registry is unlocked.
    std::vector<GUID> classIds;
    for (ComponentEntry* entry : entries)
        classIds.push_back(entry->descriptor.classId);
    // Loads the policy now, before any service is made; the answer itself
    // is not needed here.
    MPrint::ManagedPrintPolicy::instance()->hasPolicy();

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
