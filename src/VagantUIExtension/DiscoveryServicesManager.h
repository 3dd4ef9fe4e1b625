// The process-wide owner of the discovery services: creates one of every
// registered discovery component, starts, stops and deletes them. States:
// 0 not initialised, 1 services created, 2 started. Nothing here locks; the
// printing extension's thread drives it, and one thread creates it. History
// loads of other threads reach the services only through the process's
// resolver, whose removal waits for them.
#pragma once

#include "core/GuidLess.h"
#include "core/Win32.h"
#include "destination/TargetHistoryList.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace MPrint {
class ComponentIntf;
class DiscoveryServiceIntf;
} // namespace MPrint

class DiscoveryServicesManager : public OlderEntryResolver {
public:
    using ServiceMap = std::map<GUID, MPrint::DiscoveryServiceIntf*, GuidLess>;

    enum State : uint32_t { kNotInitialized = 0, kInitialized = 1, kStarted = 2 };

    // Created on the first call; a deleted manager is made again.
    static DiscoveryServicesManager* GetInstance();

    // Shuts down and clears the instance pointer.
    ~DiscoveryServicesManager();
    DiscoveryServicesManager(const DiscoveryServicesManager&) = delete;
    DiscoveryServicesManager& operator=(const DiscoveryServicesManager&) = delete;

    // 4 outside state 0; else the last failed creation's code or 0. The
    // state becomes 1 either way; services that failed are left out. The
    // manager then resolves the older entries of every target history that
    // has no resolver of its own, until Shutdown.
    uint32_t Initialize();
    // 4 outside state 1; else the last failing service's Start code or 0.
    uint32_t Start();
    // 6 outside state 2; else the last failing service's Stop code or 0.
    uint32_t Stop();
    // Stops and deletes every service once no history load of any thread is
    // resolving through them (it waits for those in flight); 0.
    uint32_t Shutdown();

    // Null when there is no service of that class id.
    MPrint::DiscoveryServiceIntf* GetService(const GUID& classId) const;
    // Class-id byte order; callers must not delete the services.
    ServiceMap::const_iterator begin() const { return services_.begin(); }
    ServiceMap::const_iterator end() const { return services_.end(); }
    // 1 for an unknown class id; else records the flag with the registry and
    // starts (enable) or stops (disable) the service; its failing code.
    uint32_t EnableService(const GUID& classId, bool enable);

    uint32_t getState() const { return state_; }

    // The first service that resolves the entry to exactly one path wins.
    MPrint::PrintPath* resolveOlderEntry(const std::wstring& address, const std::wstring& name,
                                         const std::wstring& display) override;

    // The names of the per-user managed lists: the value names of an open
    // key, skipping a name too long for 512 characters. Stops at the end and
    // at any other error (a key deleted meanwhile would otherwise answer the
    // same error for every index of the 32-bit range).
    static void EnumerateUserLists(HKEY key, std::vector<std::wstring>& names);

    // Registers one discovery component per known managed list (the
    // default list, the policy's custom lists, the per-user lists), each
    // under a fresh class id, in place of those registered before.
    void RegisterManagedListServices();
    // The registry's creator of those components: the list's service for a
    // class id this manager registered; 3 for any other, or for a list whose
    // name or location is gone meanwhile.
    static uint32_t CreateManagedListService(const GUID& classId, MPrint::ComponentIntf** out);
    // The class ids registered for managed lists, with their list names.
    const std::map<GUID, std::wstring, GuidLess>& getListNames() const { return listNames_; }

    // The default list's location until the policy server is known.
    static const wchar_t kDefaultListLocation[];

private:
    DiscoveryServicesManager() = default;

    void UnregisterManagedListServices();
    void registerList(const std::wstring& listName, uint32_t nameId, uint32_t iconId);
    MPrint::ComponentIntf* createListService(const GUID& classId, const std::wstring& listName) const;

    uint32_t state_ = kNotInitialized;
    ServiceMap services_; // owned
    std::map<GUID, std::wstring, GuidLess> listNames_; // managed lists registered by the manager
};
