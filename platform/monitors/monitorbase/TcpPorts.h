// TCP/IP ports as both TCP/IP monitor stand-ins keep them: one key per port
// under "Ports" with the values the platform's monitor uses.
#pragma once

#include "MonitorCore.h"

namespace qzmon {

struct TcpPortSettings {
    std::wstring name;
    std::wstring hostName;
    std::wstring ipAddress;
    std::wstring community;
    std::wstring queue;
    DWORD protocol = 1;
    DWORD version = 1;
    DWORD portNumber = 9100;
    DWORD snmpEnabled = 0;
    DWORD snmpIndex = 1;
};

// Validates a PORT_DATA_1 record; ERROR_INVALID_PARAMETER when malformed.
DWORD parsePortData1(const BYTE* input, DWORD size, TcpPortSettings& settings);
// ERROR_ALREADY_EXISTS when the port is there; needs a host name or an address.
DWORD addTcpPort(Monitor& monitor, const TcpPortSettings& settings);

} // namespace qzmon
