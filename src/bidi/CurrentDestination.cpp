#include "bidi/CurrentDestination.h"

#include <atomic>

namespace MPrint {

namespace {
std::atomic<CurrentPrinterNameSource> g_source{nullptr};
std::atomic<JobDeliverySource> g_jobDelivery{nullptr};
} // namespace

void setCurrentPrinterNameSource(CurrentPrinterNameSource source)
{
    g_source.store(source);
}

std::wstring currentDestinationPrinterName()
{
    const CurrentPrinterNameSource source = g_source.load();
    return source ? source() : std::wstring();
}

void setJobDeliverySource(JobDeliverySource source)
{
    g_jobDelivery.store(source);
}

bool isJobDeliveryDestination(const std::wstring& printerName, PrintPath& path)
{
    const JobDeliverySource source = g_jobDelivery.load();
    return source && !printerName.empty() && source(printerName, path);
}

} // namespace MPrint
