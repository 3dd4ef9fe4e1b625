#include "discovery/QZMPLDiscovery.h"

namespace MPrint {

namespace {

constexpr wchar_t kHttp[] = L"http://";
constexpr wchar_t kHttps[] = L"https://";
constexpr DWORD kForbidden = 403;

} // namespace

QZMPLDiscovery::QZMPLDiscovery(const GUID& classId, const std::wstring& name, const std::wstring& location,
                               PolicyQuery policy, ListReader reader)
    : ManagedPortDiscovery(classId, name, location), policy_(std::move(policy)), reader_(std::move(reader))
{
}

QZMPLDiscovery::~QZMPLDiscovery() = default;

uint32_t QZMPLDiscovery::GetSearchCapabilities()
{
    if (decided_)
        return capabilities_;
    decided_ = true;
    const Policy policy = policy_ ? policy_() : Policy();
    if (policy.hasListUrl) {
        capabilities_ = kSearchable;
        if (isListSchemeLocation(policy.listUrl))
            capabilities_ |= kCapManagedListUrl;
    } else if (!policy.server.empty()) {
        const size_t at = location_.find(kPlaceholderHost);
        if (at != std::wstring::npos)
            location_.replace(at, wcslen(kPlaceholderHost), policy.server);
        capabilities_ = fetchList() ? kSearchable : 0;
    }
    return capabilities_;
}

bool QZMPLDiscovery::fetchList()
{
    if (!reader_)
        return false;
    std::string text;
    if (location_.find(kHttp) == std::wstring::npos && location_.find(kHttps) == std::wstring::npos)
        return reader_(location_, text, nullptr, kFileTimeoutMs) && !text.empty();
    DWORD status = 0;
    if (reader_(location_, text, &status, kUrlTimeoutMs))
        return !text.empty();
    // Only a location that is itself an http URL is rewritten: one that
    // merely holds "http://" further on (an "OKV:" prefix) would be mangled.
    if (status != kForbidden || location_.compare(0, wcslen(kHttp), kHttp) != 0)
        return false;
    const std::wstring secure = kHttps + location_.substr(wcslen(kHttp));
    if (!reader_(secure, text, &status, kUrlTimeoutMs))
        return false;
    location_ = secure;
    return !text.empty();
}

} // namespace MPrint
