// The module's managed list host: lists read through the per-user document
// cache, addresses resolved by the discovery services of the process-wide
// manager, texts from the component registry's shared resources, the job
// delivery and accounting texts through their settings classes, and models
// accepted by the device-verification settings of the current job's queue.
#pragma once

#include "discovery/ManagedListHost.h"

namespace MPrint {

class CachedManagedListHost : public ManagedListHost {
public:
    bool readList(const std::wstring& location, std::string& bytes, DWORD* status, DWORD timeoutMs) override;
    void forgetCachedList(const std::wstring& location) override;
    void setRefreshTime(const std::wstring& location, DWORD value) override;
    PrintPath* findPrintPath(const std::wstring& address, const std::wstring& name) override;
    bool acceptModel(const char* model) override;
    void setPrinterInfoText(PrintPath& path, const std::wstring& model, const std::wstring& address) override;
    std::wstring loadString(UINT id) override;
    void applyJobDelivery(const ManagedPrinterRecord& record, PrintPath& path) override;
    void applyJobAccounting(const ManagedPrinterRecord& record, PrintPath& path) override;

    // readList for those that need no host (the default list's service).
    static bool readThroughCache(const std::wstring& location, std::string& bytes, DWORD* status, DWORD timeoutMs);
};

} // namespace MPrint
