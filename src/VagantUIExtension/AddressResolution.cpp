#include "VagantUIExtension/AddressResolution.h"

#include "VagantUIExtension/DiscoveryServicesManager.h"
#include "core/WaitCursor.h"
#include "discovery/DiscoveryServiceIntf.h"

MPrint::PrintPath* resolveAddressThroughServices(HWND parent, const std::wstring& address,
                                                 const std::wstring& nickname, const std::wstring& displayString)
{
    DiscoveryServicesManager* manager = DiscoveryServicesManager::GetInstance();
    PrintPathList results;
    for (auto it = manager->begin(); it != manager->end(); ++it) {
        MPrint::DiscoveryServiceIntf* service = it->second;
        if (!(service->GetSearchCapabilities() & MPrint::DiscoveryServiceIntf::kCapResolve))
            continue;
        if (service->Resolve(parent, address, nickname, displayString, results) != 0)
            continue; // what a failing service left stays for the next one's count
        if (results.size() == 1)
            return results.front().release();
        results.clear();
    }
    return nullptr;
}

MPrint::PrintPath* findPrintPathForAddress(HWND parent, const std::wstring& address, const std::wstring& nickname,
                                           const std::wstring& displayString)
{
    WaitCursor wait;
    return resolveAddressThroughServices(parent, address, nickname, displayString);
}
