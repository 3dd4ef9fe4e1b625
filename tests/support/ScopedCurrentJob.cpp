#include "support/ScopedCurrentJob.h"

#include "discovery/DiscoveryHost.h"

namespace testenv {

namespace {

class JobHost : public MPrint::DiscoveryHost {
public:
    std::wstring printer;
    bool getCurrentPrinterName(std::wstring& name) override
    {
        name = printer;
        return true;
    }
};

JobHost host;

} // namespace

ScopedCurrentJob::ScopedCurrentJob(const std::wstring& printerName)
{
    host.printer = printerName;
    MPrint::DiscoveryHost::set(&host);
}

ScopedCurrentJob::~ScopedCurrentJob()
{
    MPrint::DiscoveryHost::set(nullptr);
}

} // namespace testenv
