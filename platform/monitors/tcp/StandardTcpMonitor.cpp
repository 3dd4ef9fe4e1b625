// "Standard TCP/IP Port": the platform's TCP/IP monitor, as far as callers
// use it: "AddPort" with a PORT_DATA_1 record.
#include "monitorbase/TcpPorts.h"

namespace {

class StandardTcpMonitor : public qzmon::Monitor {
public:
    using Monitor::Monitor;
    const wchar_t* name() const override { return L"Standard TCP/IP Port"; }

    DWORD xcvData(const std::wstring& command, qzmon::XcvCall& call) override
    {
        if (command != L"AddPort")
            return ERROR_INVALID_FUNCTION;
        if (!call.administer())
            return ERROR_ACCESS_DENIED;
        qzmon::TcpPortSettings settings;
        const DWORD status = qzmon::parsePortData1(call.input, call.inputSize, settings);
        return status != ERROR_SUCCESS ? status : qzmon::addTcpPort(*this, settings);
    }
};

} // namespace

qzmon::Monitor* qzmon::createMonitor(const MONITORINIT& init)
{
    return new StandardTcpMonitor(init);
}
