// PORT_DATA_1: the "AddPort" record of the platform's "Standard TCP/IP Port"
// monitor. mingw-w64 has no tcpxcv.h; declared here from the published field
// list, with the layout pinned so both sides of the XcvData call agree.
#pragma once

#include "core/Win32.h"

#include <cstddef>

struct PORT_DATA_1 {
    WCHAR sztPortName[64];
    DWORD dwVersion;
    DWORD dwProtocol;
    DWORD cbSize;
    DWORD dwReserved;
    WCHAR sztHostAddress[49];
    WCHAR sztSNMPCommunity[33];
    DWORD dwDoubleSpool;
    WCHAR sztQueue[33];
    WCHAR sztIPAddress[16];
    BYTE Reserved[540];
    DWORD dwPortNumber;
    DWORD dwSNMPEnabled;
    DWORD dwSNMPDevIndex;
};

constexpr DWORD PROTOCOL_RAWTCP_TYPE = 1;
constexpr DWORD PROTOCOL_LPR_TYPE = 2;

static_assert(sizeof(PORT_DATA_1) == 964);
static_assert(offsetof(PORT_DATA_1, dwVersion) == 128);
static_assert(offsetof(PORT_DATA_1, dwProtocol) == 132);
static_assert(offsetof(PORT_DATA_1, cbSize) == 136);
static_assert(offsetof(PORT_DATA_1, sztHostAddress) == 144);
static_assert(offsetof(PORT_DATA_1, sztSNMPCommunity) == 242);
static_assert(offsetof(PORT_DATA_1, dwDoubleSpool) == 308);
static_assert(offsetof(PORT_DATA_1, sztQueue) == 312);
static_assert(offsetof(PORT_DATA_1, sztIPAddress) == 378);
static_assert(offsetof(PORT_DATA_1, Reserved) == 410);
static_assert(offsetof(PORT_DATA_1, dwPortNumber) == 952);
static_assert(offsetof(PORT_DATA_1, dwSNMPEnabled) == 956);
static_assert(offsetof(PORT_DATA_1, dwSNMPDevIndex) == 960);
