#include "discovery/ManagedPortDiscovery.h"

namespace MPrint {

ManagedPortDiscovery::ManagedPortDiscovery(const GUID& classId, const std::wstring& name,
                                           const std::wstring& location)
    : location_(location), classId_(classId), name_(name)
{
}

ManagedPortDiscovery::~ManagedPortDiscovery() = default;

bool ManagedPortDiscovery::isListSchemeLocation(const std::wstring& location)
{
    return location.find(L"qzmpl://") != std::wstring::npos || location.find(L"qzmpls://") != std::wstring::npos;
}

uint32_t ManagedPortDiscovery::GetSearchCapabilities()
{
    uint32_t capabilities = kBaseCapabilities | extraCapabilities_;
    if (isListSchemeLocation(location_))
        capabilities |= kCapManagedListUrl;
    return capabilities;
}

uint32_t ManagedPortDiscovery::Search(HWND window, DestinationContext*, PrintPathList& list, uint32_t flags)
{
    if (!(flags & kCapSearch))
        return kNotApplicable;
    clearCancel();
    return handler_ ? handler_(this, window, list, handlerContext_) : 0;
}

uint32_t ManagedPortDiscovery::Resolve(HWND, const std::wstring&, const std::wstring&, const std::wstring&,
                                       PrintPathList&)
{
    return kNotSupported;
}

uint32_t ManagedPortDiscovery::ValidateDevice(HWND, PrintPath*)
{
    return kNotSupported;
}

void ManagedPortDiscovery::setExtraCapabilities(uint32_t value)
{
    extraCapabilities_ = value;
}

void ManagedPortDiscovery::setListType(uint32_t value)
{
    listType_ = value;
}

void ManagedPortDiscovery::setSearchHandler(SearchHandler handler, void* context)
{
    handler_ = handler;
    handlerContext_ = context;
}

} // namespace MPrint
