// "Local Port": the machine's own ports. A fresh monitor key gets LPT1:,
// COM1: and FILE:; "AddPort" and "DeletePort" take a port name.
#include "core/MonitorCore.h"

namespace {

class LocalMonitor : public qzmon::Monitor {
public:
    explicit LocalMonitor(const MONITORINIT& init) : Monitor(init)
    {
        if (usable() && !root().exists(L"Ports")) {
            qzmon::MonitorKey ports = portsKey();
            for (const wchar_t* port : {L"LPT1:", L"COM1:", L"FILE:"})
                ports.create(port);
        }
    }
    const wchar_t* name() const override { return L"Local Port"; }

    DWORD xcvData(const std::wstring& command, qzmon::XcvCall& call) override
    {
        if (command != L"AddPort" && command != L"DeletePort")
            return ERROR_INVALID_FUNCTION;
        if (!call.administer())
            return ERROR_ACCESS_DENIED;
        std::wstring port;
        if (!qzmon::readText(call.input, call.inputSize, 0, port, 127))
            return ERROR_INVALID_PARAMETER;
        if (command == L"DeletePort")
            return portsKey().deleteTree(port) == ERROR_SUCCESS ? ERROR_SUCCESS : ERROR_UNKNOWN_PORT;
        if (port.empty() || port.size() > 127 || port.find(L',') != std::wstring::npos)
            return ERROR_INVALID_NAME;
        if (portExists(port))
            return ERROR_ALREADY_EXISTS;
        return portsKey().create(port).valid() ? ERROR_SUCCESS : ERROR_CANTWRITE;
    }
};

} // namespace

qzmon::Monitor* qzmon::createMonitor(const MONITORINIT& init)
{
    return new LocalMonitor(init);
}
