// The default managed list's service. Its location may hold the placeholder
// host "MPL_RESOLVE_ON_SEARCH" until the policy server is known; the first
// GetSearchCapabilities decides, once per object, whether the list can be
// searched, fetching it (into the caller's cache) when the policy server
// names it. That first call may wait for the network, up to twice 8 s.
#pragma once

#include "discovery/ManagedPortDiscovery.h"

#include <functional>
#include <string>

namespace MPrint {

class QZMPLDiscovery : public ManagedPortDiscovery {
public:
    static constexpr wchar_t kPlaceholderHost[] = L"MPL_RESOLVE_ON_SEARCH";
    static constexpr uint32_t kUndecided = 0x1F000000;
    static constexpr uint32_t kSearchable = 0x1F008038;
    static constexpr DWORD kFileTimeoutMs = 15000;
    static constexpr DWORD kUrlTimeoutMs = 8000;

    // What the managed print policy says of the default list.
    struct Policy {
        bool hasListUrl = false; // "QZManagedPrinterListURL" is present
        std::wstring listUrl;
        std::wstring server; // the policy server's name; empty when the policy came from elsewhere
    };
    using PolicyQuery = std::function<Policy()>;
    // Reads a list through the cache (as ManagedListHost::readList).
    using ListReader = std::function<bool(const std::wstring& location, std::string& bytes, DWORD* status,
                                          DWORD timeoutMs)>;

    QZMPLDiscovery(const GUID& classId, const std::wstring& name, const std::wstring& location, PolicyQuery policy,
                   ListReader reader);
    ~QZMPLDiscovery() override;

    uint32_t GetSearchCapabilities() override;
    // True when the list (at last read) gave a non-empty text. A location
    // beginning with "http://" refused with 403 is tried once more over
    // https, and kept when that succeeds.
    virtual bool fetchList();

private:
    PolicyQuery policy_;
    ListReader reader_;
    bool decided_ = false;
    uint32_t capabilities_ = kUndecided;
};

} // namespace MPrint
