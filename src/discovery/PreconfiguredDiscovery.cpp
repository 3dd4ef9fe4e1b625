#include "discovery/PreconfiguredDiscovery.h"

namespace MPrint {

namespace {

constexpr uint32_t kPreconfiguredCapability = 0x0002;

} // namespace

uint32_t PreconfiguredDiscovery::Execute(void*)
{
    return kNotSupported;
}

uint32_t PreconfiguredDiscovery::GetSearchCapabilities()
{
    return kPreconfiguredCapability;
}

uint32_t PreconfiguredDiscovery::Search(HWND, DestinationContext*, PrintPathList&, uint32_t flags)
{
    clearCancel();
    if (!IsEnabled())
        return kNotEnabled;
    if (!IsRunning())
        return kNotStarted;
    return flags == kPreconfiguredCapability ? 0 : kNotApplicable;
}

uint32_t PreconfiguredDiscovery::Resolve(HWND, const std::wstring&, const std::wstring&, const std::wstring&,
                                         PrintPathList&)
{
    return kNotSupported;
}

uint32_t PreconfiguredDiscovery::ValidateDevice(HWND, PrintPath*)
{
    return 0;
}

} // namespace MPrint
