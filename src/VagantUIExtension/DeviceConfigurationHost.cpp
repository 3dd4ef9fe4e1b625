#include "VagantUIExtension/DeviceConfigurationHost.h"

#include "destination/PrintPath.h"
#include "destination/PrintPathAttr.h"
#include "shared/PrinterPort.h"

#include <atomic>

namespace MPrint {

namespace {

DeviceConfigurationHost g_default;
std::atomic<DeviceConfigurationHost*> g_current{nullptr};

} // namespace

void DeviceConfigurationHost::setPrinterInfoTextFromModel(PrintPath&, const std::string&, const std::wstring&) {}

bool DeviceConfigurationHost::getDeviceConfigAddress(const PrintPath* path, std::wstring& address, DWORD& kind,
                                                     DWORD& port)
{
    if (!path)
        return false;
    const std::wstring& text = path->getStringAttribute(PrintPathAttr::DeviceConfigAddress);
    std::wstring host;
    int number = 0;
    int type = 0;
    if (!PrinterPort::splitAddressAndPort(text, host, number, type))
        return false;
    address = host;
    kind = type == kPortIP ? 2 : 4;
    if (text.find(L':') != std::wstring::npos)
        port = static_cast<DWORD>(number);
    return true;
}

bool DeviceConfigurationHost::getCurrentPrinterName(std::wstring&)
{
    return false;
}

DeviceConfigurationHost& DeviceConfigurationHost::current()
{
    DeviceConfigurationHost* host = g_current.load();
    return host ? *host : g_default;
}

void DeviceConfigurationHost::set(DeviceConfigurationHost* host)
{
    g_current.store(host);
}

} // namespace MPrint
