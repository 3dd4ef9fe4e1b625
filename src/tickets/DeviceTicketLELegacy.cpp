#include "tickets/DeviceTicketLELegacy.h"

#include <iterator>

namespace MPrint {

namespace {

const wchar_t* const kTreeNames[] = {L"PaperHandling",      L"Phx",              L"SuppliesStatusPage",
                                     L"ProductInformation", L"DeviceStatusPage", L"ConfigurationPage"};

} // namespace

DeviceTicketLELegacy::~DeviceTicketLELegacy() = default;

const wchar_t* const* DeviceTicketLELegacy::getTreeNames(DWORD& count)
{
    count = static_cast<DWORD>(std::size(kTreeNames));
    return kTreeNames;
}

} // namespace MPrint
