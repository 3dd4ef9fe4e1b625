// The discovery service of one managed printer list (a file path or URL)
// with its display name. Its search reads nothing itself: it runs the
// handler that the list's search dialog installs. It resolves no typed
// address and validates no device (9).
#pragma once

#include "discovery/BasicDiscoveryService.h"

#include <string>

namespace MPrint {

class ManagedPortDiscovery : public BasicDiscoveryService {
public:
    static constexpr uint32_t kBaseCapabilities =
        kCapManagedListDialog | kCapWorkerThread | kCapResolve | kCapSearch; // 0x8038
    static constexpr uint32_t kCustomFormat = 0;
    static constexpr uint32_t kOkvFormat = 1;

    // Runs on the search's worker thread; its answer is Search's.
    using SearchHandler = uint32_t (*)(ManagedPortDiscovery* service, HWND window, PrintPathList& list,
                                       void* context);

    ManagedPortDiscovery(const GUID& classId, const std::wstring& name, const std::wstring& location);
    ~ManagedPortDiscovery() override;

    // 0x8038 with the extra bits, and 0x2000 for a location in the lists'
    // own URL scheme.
    uint32_t GetSearchCapabilities() override;
    // 3 unless flags hold kCapSearch; else the handler's answer, 0 without one.
    uint32_t Search(HWND window, DestinationContext* context, PrintPathList& list, uint32_t flags) override;
    uint32_t Resolve(HWND owner, const std::wstring& address, const std::wstring& nickname,
                     const std::wstring& displayString, PrintPathList& list) override;
    uint32_t ValidateDevice(HWND owner, PrintPath* path) override;

    virtual void setExtraCapabilities(uint32_t value);
    virtual void setListType(uint32_t value);

    const GUID& getClassId() const { return classId_; }
    std::wstring getName() const { return name_; }
    std::wstring getListLocation() const { return location_; }
    uint32_t getListType() const { return listType_; }
    uint32_t getExtraCapabilities() const { return extraCapabilities_; }
    void setSearchHandler(SearchHandler handler, void* context);

    // The location names a list reached through "qzmpl://" or "qzmpls://".
    static bool isListSchemeLocation(const std::wstring& location);

protected:
    std::wstring location_;

private:
    GUID classId_;
    std::wstring name_;
    uint32_t extraCapabilities_ = 0;
    uint32_t listType_ = kCustomFormat;
    SearchHandler handler_ = nullptr;
    void* handlerContext_ = nullptr;
};

} // namespace MPrint
