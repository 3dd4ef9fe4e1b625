#include "support/ScopedCurrentJob.h"

#include "bidi/CurrentDestination.h"

namespace testenv {

namespace {

std::wstring g_printer;
bool g_delivery = false;

std::wstring currentPrinter()
{
    return g_printer;
}

bool delivers(const std::wstring& printer, MPrint::PrintPath&)
{
    return g_delivery && printer == g_printer;
}

} // namespace

ScopedCurrentJob::ScopedCurrentJob(const std::wstring& printerName, bool jobDelivery)
{
    g_printer = printerName;
    g_delivery = jobDelivery;
    MPrint::setCurrentPrinterNameSource(&currentPrinter);
    MPrint::setJobDeliverySource(&delivers);
}

ScopedCurrentJob::~ScopedCurrentJob()
{
    MPrint::setCurrentPrinterNameSource(nullptr);
    MPrint::setJobDeliverySource(nullptr);
}

} // namespace testenv
