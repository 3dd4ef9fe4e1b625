#include "discovery/AutoCreatedPortDiscovery.h"

#include "bidi/CurrentDestination.h"
#include "destination/PrintPathAttr.h"
#include "discovery/DiscoveryClassIds.h"
#include "discovery/UNCPathDiscovery.h"
#include "shared/PrinterPort.h"

namespace MPrint {

namespace {

constexpr uint32_t kAutoCreatedCapabilities = 0x0014;
constexpr DWORD kComputerNameCapacity = 128;

} // namespace

uint32_t AutoCreatedPortDiscovery::GetSearchCapabilities()
{
    return kAutoCreatedCapabilities;
}

uint32_t AutoCreatedPortDiscovery::Search(HWND, DestinationContext*, PrintPathList&, uint32_t)
{
    return kNotSupported;
}

bool AutoCreatedPortDiscovery::IsAutoCreatedPort(const std::wstring& address, int& type)
{
    PrinterPort port(address.c_str());
    if (!port.guessPortAddress(false))
        return false;
    type = port.getPortType();
    return type == kPortCitrixClient || type == kPortTerminalServer;
}

uint32_t AutoCreatedPortDiscovery::Resolve(HWND owner, const std::wstring& address, const std::wstring& nickname,
                                           const std::wstring& displayString, PrintPathList& list)
{
    int type = kPortUnresolved;
    if (!IsAutoCreatedPort(address, type))
        return kNotApplicable;
    const std::wstring printer = currentDestinationPrinterName();
    if (printer.empty())
        return kNotApplicable;
    wchar_t computer[kComputerNameCapacity] = {};
    DWORD length = kComputerNameCapacity;
    if (!GetComputerNameW(computer, &length))
        return kNotApplicable;
    const std::wstring unc = L"\\\\" + std::wstring(computer, length) + L"\\" + printer;
    UNCPathDiscovery shares;
    shares.Initialize(getResourceLoader(), getContext());
    const size_t before = list.size();
    const uint32_t code = shares.Resolve(owner, unc, nickname, displayString, list);
    if (code == 0 && list.size() > before) {
        PrintPath* path = list.back().get();
        path->setDiscoveryId(discoveryids::kAutoCreatedPorts);
        path->setNumericAttribute(PrintPathAttr::AutoCreateType, static_cast<DWORD>(type), true);
    }
    return code;
}

uint32_t AutoCreatedPortDiscovery::ValidateDevice(HWND, PrintPath* path)
{
    if (!path)
        return kNotApplicable;
    const DWORD type = path->getNumericAttribute(PrintPathAttr::AutoCreateType);
    return type == kPortCitrixClient || type == kPortTerminalServer ? 0 : kNotApplicable;
}

} // namespace MPrint
