#include "TcpPorts.h"

#include "shared/PortData1.h"

#include <cstring>

namespace qzmon {

DWORD parsePortData1(const BYTE* input, DWORD size, TcpPortSettings& settings)
{
    if (!input || size != sizeof(PORT_DATA_1))
        return ERROR_INVALID_PARAMETER;
    PORT_DATA_1 data;
    std::memcpy(&data, input, sizeof(data));
    if (data.cbSize != sizeof(PORT_DATA_1) || data.dwVersion != 1 ||
        (data.dwProtocol != PROTOCOL_RAWTCP_TYPE && data.dwProtocol != PROTOCOL_LPR_TYPE))
        return ERROR_INVALID_PARAMETER;
    settings.name = fieldText(data.sztPortName, 64);
    settings.hostName = fieldText(data.sztHostAddress, 49);
    settings.ipAddress = fieldText(data.sztIPAddress, 16);
    settings.community = fieldText(data.sztSNMPCommunity, 33);
    settings.queue = fieldText(data.sztQueue, 33);
    settings.protocol = data.dwProtocol;
    settings.version = data.dwVersion;
    settings.portNumber = data.dwPortNumber;
    settings.snmpEnabled = data.dwSNMPEnabled;
    settings.snmpIndex = data.dwSNMPDevIndex;
    return ERROR_SUCCESS;
}

DWORD addTcpPort(Monitor& monitor, const TcpPortSettings& settings)
{
    if (!isValidPortName(settings.name) || (settings.hostName.empty() && settings.ipAddress.empty()) ||
        settings.portNumber == 0 || settings.portNumber > 65535)
        return ERROR_INVALID_PARAMETER;
    if (monitor.portExists(settings.name))
        return ERROR_ALREADY_EXISTS;
    MonitorKey port = monitor.portsKey().create(settings.name);
    if (!port.valid())
        return ERROR_CANTWRITE;
    port.setDword(L"Protocol", settings.protocol);
    port.setDword(L"Version", settings.version);
    port.setString(L"HostName", settings.hostName);
    port.setString(L"IPAddress", settings.ipAddress);
    port.setString(L"HWAddress", L"");
    port.setDword(L"PortNumber", settings.portNumber);
    port.setString(L"SNMP Community", settings.community);
    port.setDword(L"SNMP Enabled", settings.snmpEnabled);
    port.setDword(L"SNMP Index", settings.snmpIndex);
    if (settings.protocol == PROTOCOL_LPR_TYPE)
        port.setString(L"Queue", settings.queue);
    return ERROR_SUCCESS;
}

} // namespace qzmon
