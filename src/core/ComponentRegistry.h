// The process-wide table of component classes, keyed by class id. Every
// operation takes one global lock for its whole duration, including the
// creator and the new component's Initialize and SetEnabled, which must not
// wait for another thread that calls into the registry. Entry pointers from
// an enumeration stay valid only while nobody unregisters or replaces them.
//
// Result codes: 0 success, 3 unknown class id, 6 category differs from the
// one requested, 8 the component's resource module could not be loaded;
// anything else is a creator's own code.
#pragma once

#include "core/Win32.h"

#include <cstdint>
#include <list>
#include <string>

namespace MPrint {
class ComponentIntf;
class ResourceLoader;
} // namespace MPrint

enum ComponentCategory : uint32_t {
    kAnyComponent = 0, // in a request only
    kDiscoveryServiceComponent = 1,
    kDeviceConfiguratorComponent = 2,
    kFeatureAccessorComponent = 3,
};

// Sets *out to null, allocates the component for classId, stores it in *out
// and returns 0 (0 with a null *out when allocation fails).
using ComponentCreator = uint32_t (*)(const GUID& classId, MPrint::ComponentIntf** out);

struct ComponentDescriptor {
    GUID classId;
    uint32_t category;
    ComponentCreator creator;
    uint8_t enabled;
    uint8_t flag2; // kept, not interpreted by the registry
    uint8_t flag3; // kept, not interpreted by the registry
    // File of the texts and icon; null: the registry's shared loader. The
    // registry keeps a copy of the name.
    const wchar_t* resourceModule;
    uint32_t firstTextId; // 0: none
    uint32_t spareId;     // kept, not used by the registry
    uint32_t displayNameId;
    uint32_t thirdTextId;
    uint32_t iconId;
};

struct ComponentInfo {
    std::wstring firstText;
    std::wstring displayName;
    std::wstring thirdText;
    HICON icon = nullptr; // shared: never destroyed by its users
};

struct ComponentEntry {
    uint8_t enabled;
    uint8_t infoLoaded;
    ComponentDescriptor descriptor;
    ComponentInfo info;
    std::wstring resourceModule; // what descriptor.resourceModule points at
};

using ComponentEntryList = std::list<ComponentEntry*>;

class ComponentRegistry {
public:
    ComponentRegistry() = delete;

    // Replaces an entry of the same class id. Always 0.
    static uint32_t registerComponent(const ComponentDescriptor& descriptor);
    // 0, also for a class id that is not registered.
    static uint32_t unregisterComponent(const GUID& classId);
    // The caller owns whatever *out holds, whatever the code: a component
    // whose Initialize failed comes back with that code.
    static uint32_t createComponent(const GUID& classId, MPrint::ComponentIntf** out, uint32_t expectedCategory);
    // Appends the entries of the category (0: all) in class-id byte order.
    static uint32_t enumerateComponents(ComponentEntryList& list, uint32_t category);
    static uint32_t enumerateDiscoveryServices(ComponentEntryList& list);
    static bool isEnabled(const GUID& classId);
    static bool setEnabled(const GUID& classId, bool enabled);
    // Loads the texts and icon on first request; 0, 3 or 8.
    static uint32_t getComponentInfo(const GUID& classId, ComponentInfo& out);
    static uint32_t loadAllComponentInfo();
    static MPrint::ResourceLoader getResourceLoader();
    static void setResourceLoader(const MPrint::ResourceLoader& loader);
    static void* getContext();
    static void setContext(void* context);
};

// A static registration: registers at construction, unregisters at
// destruction.
class ComponentRegistration {
public:
    ComponentRegistration(const GUID& classId, uint32_t category, ComponentCreator creator, uint8_t enabled,
                          uint8_t flag2, uint8_t flag3, const wchar_t* resourceModule, uint32_t firstTextId,
                          uint32_t spareId, uint32_t displayNameId, uint32_t thirdTextId, uint32_t iconId);
    explicit ComponentRegistration(const ComponentDescriptor& descriptor);
    ~ComponentRegistration();
    ComponentRegistration(const ComponentRegistration&) = delete;
    ComponentRegistration& operator=(const ComponentRegistration&) = delete;

    uint32_t getResult() const { return result_; }
    const GUID& getClassId() const { return classId_; }

private:
    GUID classId_;
    uint32_t result_;
};
