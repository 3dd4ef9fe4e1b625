// "QZ Standard IPX/SPX Port": "AddPort" with the maker's 1048-byte record.
#include "monitorbase/MonitorCore.h"

namespace {

constexpr DWORD kRecordSize = 1048;

class IpxMonitor : public qzmon::Monitor {
public:
    using Monitor::Monitor;
    const wchar_t* name() const override { return L"QZ Standard IPX/SPX Port"; }

    DWORD xcvData(const std::wstring& command, qzmon::XcvCall& call) override
    {
        if (command != L"AddPort")
            return ERROR_INVALID_FUNCTION;
        if (!call.administer())
            return ERROR_ACCESS_DENIED;
        const BYTE* in = call.input;
        if (!in || call.inputSize != kRecordSize || qzmon::readU32(in, 136) != kRecordSize ||
            qzmon::readU32(in, 128) != 1)
            return ERROR_INVALID_PARAMETER;
        auto text = [in](DWORD offset, size_t chars) {
            return qzmon::fieldText(reinterpret_cast<const WCHAR*>(in + offset), chars);
        };
        const std::wstring port = text(0, 64);
        const std::wstring hardware = text(410, 13);
        if (!qzmon::isValidPortName(port) || hardware.empty())
            return ERROR_INVALID_PARAMETER;
        if (portExists(port))
            return ERROR_ALREADY_EXISTS;
        qzmon::MonitorKey key = portsKey().create(port);
        if (!key.valid())
            return ERROR_CANTWRITE;
        key.setDword(L"Protocol", qzmon::readU32(in, 132));
        key.setString(L"HardwareAddress", hardware);
        key.setString(L"NetNum", text(976, 9));
        key.setString(L"NodeAddress", text(994, 22));
        key.setString(L"SNMP Community", text(242, 33));
        key.setDword(L"PortNumber", qzmon::readU32(in, 952));
        key.setDword(L"SNMP Enabled", qzmon::readU32(in, 956));
        key.setDword(L"SNMP Index", qzmon::readU32(in, 960));
        return ERROR_SUCCESS;
    }
};

} // namespace

qzmon::Monitor* qzmon::createMonitor(const MONITORINIT& init)
{
    return new IpxMonitor(init);
}
