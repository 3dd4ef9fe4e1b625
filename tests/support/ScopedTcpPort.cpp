#include "support/ScopedTcpPort.h"

#include "access/MonitorAccess.h"
#include "shared/PortData1.h"
#include "support/TestSpooler.h"

namespace testspool {

std::wstring uniqueTcpAddress()
{
    const DWORD id = GetCurrentProcessId();
    static LONG counter = 0;
    return L"10." + std::to_wstring((id >> 8) & 0xFF) + L"." + std::to_wstring(id & 0xFF) + L"." +
           std::to_wstring(InterlockedIncrement(&counter) & 0xFF);
}

ScopedTcpPort::ScopedTcpPort(const std::wstring& name, const std::wstring& host, const std::wstring& ip,
                             DWORD number, const std::wstring& community)
    : name_(name)
{
    // The monitor may not be registered yet in a fresh prefix.
    static const bool registered = qzmon::registerStandInMonitors();
    if (!registered)
        return;
    PORT_DATA_1 data{};
    wcsncpy(data.sztPortName, name.c_str(), 63);
    data.dwVersion = 1;
    data.dwProtocol = PROTOCOL_RAWTCP_TYPE;
    data.cbSize = sizeof(data);
    wcsncpy(data.sztHostAddress, host.c_str(), 48);
    wcsncpy(data.sztIPAddress, ip.c_str(), 15);
    wcsncpy(data.sztSNMPCommunity, community.c_str(), 32);
    data.dwPortNumber = number;
    HANDLE xcv = nullptr;
    PRINTER_DEFAULTSW admin{nullptr, nullptr, SERVER_ACCESS_ADMINISTER};
    const std::wstring object = std::wstring(L",XcvMonitor ") + kStandardTcpMonitor;
    if (!OpenPrinterW(const_cast<wchar_t*>(object.c_str()), &xcv, &admin))
        return;
    DWORD needed = 0;
    XcvDataW(xcv, L"AddPort", reinterpret_cast<BYTE*>(&data), sizeof(data), nullptr, 0, &needed, &status_);
    ClosePrinter(xcv);
}

ScopedTcpPort::~ScopedTcpPort()
{
    control()->removePort(kStandardTcpMonitor, name_.c_str());
}

} // namespace testspool
