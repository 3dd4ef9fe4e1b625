#include "bidi/CurrentDestination.h"

#include <atomic>

namespace MPrint {

namespace {
std::atomic<CurrentPrinterNameSource> g_source{nullptr};
}

void setCurrentPrinterNameSource(CurrentPrinterNameSource source)
{
    g_source.store(source);
}

std::wstring currentDestinationPrinterName()
{
    const CurrentPrinterNameSource source = g_source.load();
    return source ? source() : std::wstring();
}

} // namespace MPrint
