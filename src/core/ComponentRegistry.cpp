#include "core/ComponentRegistry.h"

#include "core/AutoLock.h"
#include "core/ComponentIntf.h"
#include "core/GuidLess.h"
#include "core/ResourceLoader.h"
#include "core/SyncObject.h"

#include <map>
#include <memory>

namespace {

struct RegistryState {
    MPrint::SyncObject lock;                        // guards everything below
    std::map<GUID, ComponentEntry*, GuidLess> entries; // owned
    MPrint::ResourceLoader loader;
    void* context = nullptr;

    ~RegistryState()
    {
        for (auto& [classId, entry] : entries)
            delete entry;
    }
};

// Built on first use, so that it exists before the first static
// registration of any translation unit runs, and (having been completed
// first) is destroyed after the last of them.
RegistryState& state()
{
    static RegistryState registry;
    return registry;
}

ComponentEntry* findEntry(RegistryState& registry, const GUID& classId)
{
    auto it = registry.entries.find(classId);
    return it == registry.entries.end() ? nullptr : it->second;
}

uint32_t loadInfo(RegistryState& registry, ComponentEntry& entry)
{
    const ComponentDescriptor& d = entry.descriptor;
    std::unique_ptr<MPrint::ResourceLoader> own;
    const MPrint::ResourceLoader* loader = &registry.loader;
    if (d.resourceModule) {
        own = std::make_unique<MPrint::ResourceLoader>(d.resourceModule);
        if (!own->getModule())
            return 8;
        loader = own.get();
    }
    if (d.thirdTextId)
        loader->loadString(d.thirdTextId, entry.info.thirdText);
    if (d.firstTextId)
        loader->loadString(d.firstTextId, entry.info.firstText);
    if (d.iconId)
        entry.info.icon = loader->loadIcon(d.iconId);
    if (d.displayNameId)
        loader->loadString(d.displayNameId, entry.info.displayName);
    entry.infoLoaded = 1;
    return 0;
}

} // namespace

uint32_t ComponentRegistry::registerComponent(const ComponentDescriptor& descriptor)
{
    RegistryState& registry = state();
    MPrint::AutoLock guard(&registry.lock);
    auto entry = std::make_unique<ComponentEntry>();
    entry->enabled = descriptor.enabled;
    entry->infoLoaded = 0;
    entry->descriptor = descriptor;
    if (descriptor.resourceModule) {
        entry->resourceModule = descriptor.resourceModule;
        entry->descriptor.resourceModule = entry->resourceModule.c_str();
    }
    ComponentEntry*& slot = registry.entries[descriptor.classId];
    delete slot;
    slot = entry.release();
    return 0;
}

uint32_t ComponentRegistry::unregisterComponent(const GUID& classId)
{
    RegistryState& registry = state();
    MPrint::AutoLock guard(&registry.lock);
    auto it = registry.entries.find(classId);
    if (it != registry.entries.end()) {
        delete it->second;
        registry.entries.erase(it);
    }
    return 0;
}

uint32_t ComponentRegistry::createComponent(const GUID& classId, MPrint::ComponentIntf** out,
                                            uint32_t expectedCategory)
{
    RegistryState& registry = state();
    MPrint::AutoLock guard(&registry.lock);
    if (!out)
        return 3;
    *out = nullptr;
    ComponentEntry* entry = findEntry(registry, classId);
    if (!entry)
        return 3;
    if (expectedCategory != kAnyComponent && expectedCategory != entry->descriptor.category)
        return 6;
    if (!entry->descriptor.creator)
        return 3;
    uint32_t code = entry->descriptor.creator(classId, out);
    if (code == 0 && *out) {
        code = (*out)->Initialize(registry.loader, registry.context);
        (*out)->SetEnabled(entry->enabled != 0);
    }
    return code;
}

uint32_t ComponentRegistry::enumerateComponents(ComponentEntryList& list, uint32_t category)
{
    RegistryState& registry = state();
    MPrint::AutoLock guard(&registry.lock);
    for (const auto& [classId, entry] : registry.entries) {
        if (category == kAnyComponent || entry->descriptor.category == category)
            list.push_back(entry);
    }
    return 0;
}

uint32_t ComponentRegistry::enumerateDiscoveryServices(ComponentEntryList& list)
{
    return enumerateComponents(list, kDiscoveryServiceComponent);
}

bool ComponentRegistry::isEnabled(const GUID& classId)
{
    RegistryState& registry = state();
    MPrint::AutoLock guard(&registry.lock);
    ComponentEntry* entry = findEntry(registry, classId);
    return entry && entry->enabled;
}

bool ComponentRegistry::setEnabled(const GUID& classId, bool enabled)
{
    RegistryState& registry = state();
    MPrint::AutoLock guard(&registry.lock);
    ComponentEntry* entry = findEntry(registry, classId);
    if (!entry)
        return false;
    entry->enabled = enabled ? 1 : 0;
    return true;
}

uint32_t ComponentRegistry::getComponentInfo(const GUID& classId, ComponentInfo& out)
{
    RegistryState& registry = state();
    MPrint::AutoLock guard(&registry.lock);
    ComponentEntry* entry = findEntry(registry, classId);
    if (!entry)
        return 3;
    if (!entry->infoLoaded) {
        const uint32_t code = loadInfo(registry, *entry);
        if (code != 0)
            return code;
    }
    out = entry->info;
    return 0;
}

uint32_t ComponentRegistry::loadAllComponentInfo()
{
    RegistryState& registry = state();
    MPrint::AutoLock guard(&registry.lock);
    uint32_t last = 0;
    for (auto& [classId, entry] : registry.entries) {
        if (entry->infoLoaded)
            continue;
        const uint32_t code = loadInfo(registry, *entry);
        if (code != 0)
            last = code;
    }
    return last;
}

MPrint::ResourceLoader ComponentRegistry::getResourceLoader()
{
    RegistryState& registry = state();
    MPrint::AutoLock guard(&registry.lock);
    return registry.loader;
}

void ComponentRegistry::setResourceLoader(const MPrint::ResourceLoader& loader)
{
    RegistryState& registry = state();
    MPrint::AutoLock guard(&registry.lock);
    registry.loader = loader;
}

void* ComponentRegistry::getContext()
{
    RegistryState& registry = state();
    MPrint::AutoLock guard(&registry.lock);
    return registry.context;
}

void ComponentRegistry::setContext(void* context)
{
    RegistryState& registry = state();
    MPrint::AutoLock guard(&registry.lock);
    registry.context = context;
}

ComponentRegistration::ComponentRegistration(const GUID& classId, uint32_t category, ComponentCreator creator,
                                             uint8_t enabled, uint8_t flag2, uint8_t flag3,
                                             const wchar_t* resourceModule, uint32_t firstTextId, uint32_t spareId,
                                             uint32_t displayNameId, uint32_t thirdTextId, uint32_t iconId)
    : ComponentRegistration(ComponentDescriptor{classId, category, creator, enabled, flag2, flag3, resourceModule,
                                                firstTextId, spareId, displayNameId, thirdTextId, iconId})
{
}

ComponentRegistration::ComponentRegistration(const ComponentDescriptor& descriptor)
    : classId_(descriptor.classId), result_(ComponentRegistry::registerComponent(descriptor))
{
}

ComponentRegistration::~ComponentRegistration()
{
    ComponentRegistry::unregisterComponent(classId_);
}
