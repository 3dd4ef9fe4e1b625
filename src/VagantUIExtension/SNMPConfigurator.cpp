#include "VagantUIExtension/SNMPConfigurator.h"

#include "bidi/BidiConnectionFactory.h"
#include "bidi/CurrentDestination.h"
#include "core/COMWrapper.h"
#include "core/Socket.h"
#include "core/StringConversion.h"
#include "destination/PrintPathAttr.h"
#include "shared/PortResolver.h"

#include <cstdio>
#include <memory>

namespace MPrint {

namespace {

constexpr DWORD kIpxSpxPort = 0x400C;

std::wstring dottedAddressOf(const std::wstring& hostName)
{
    std::string name;
    if (hostName.empty() || !convertString(hostName, name, CP_ACP))
        return {};
    const Socket::Initializer winsock;
    if (!winsock.isStarted())
        return {};
    const hostent* host = gethostbyname(name.c_str());
    if (!host || host->h_addrtype != AF_INET || host->h_length != 4 || !host->h_addr_list || !host->h_addr_list[0])
        return {};
    const auto* bytes = reinterpret_cast<const unsigned char*>(host->h_addr_list[0]);
    wchar_t text[16];
    swprintf(text, 16, L"%u.%u.%u.%u", bytes[0], bytes[1], bytes[2], bytes[3]);
    return text;
}

// COM for the calling thread while the port resolver runs.
class ThreadCom {
public:
    ThreadCom()
    {
        com_ = getThreadCOMWrapper(__FILE__, __LINE__);
        result_ = com_ ? com_->initialize() : CoInitialize(nullptr);
    }
    ~ThreadCom()
    {
        if (com_)
            com_->uninitialize();
        else if (SUCCEEDED(result_))
            CoUninitialize();
    }
    ThreadCom(const ThreadCom&) = delete;
    ThreadCom& operator=(const ThreadCom&) = delete;

private:
    COMWrapper* com_;
    HRESULT result_;
};

} // namespace

bool SNMPConfigurator::lookupAddress(const PrintPath* path, std::wstring& address, DWORD& kind, DWORD& port)
{
    if (!path)
        return false;
    const std::wstring& ip = path->getStringAttribute(PrintPathAttr::IPAddress);
    const std::wstring& hostName = path->getStringAttribute(PrintPathAttr::HostnameAddress);
    if (!ip.empty() || !hostName.empty()) {
        address = !ip.empty() ? ip : dottedAddressOf(hostName);
        kind = BidiAddressIp;
        port = portOrZero(*path);
        return true;
    }
    const std::wstring& ipx = path->getStringAttribute(PrintPathAttr::IPXSPXAddress);
    if (!ipx.empty()) {
        address = ipx;
        kind = BidiAddressIpx;
        port = kIpxSpxPort;
        return true;
    }
    return getDeviceConfigAddress(path, address, kind, port);
}

BidiPrinterConnectionIntf* SNMPConfigurator::openConnection(PrintPath* path)
{
    if (!path)
        return nullptr;
    if (!path->getStringAttribute(PrintPathAttr::WSDAddress).empty())
        return openWsdConnection(path);
    std::wstring address;
    DWORD kind = 0;
    DWORD port = 0;
    if (!lookupAddress(path, address, kind, port))
        return nullptr;
    // A host name that did not resolve is handed on as it is; the factory
    // picks the connection from the same text Connect is given.
    if (address.empty())
        address = path->getStringAttribute(PrintPathAttr::HostnameAddress);
    return connectedTo(createBidiConnection(address.c_str()), address, kind, port).release();
}

BidiPrinterConnectionIntf* SNMPConfigurator::openWsdConnection(PrintPath* path)
{
    const std::wstring printer = currentDestinationPrinterName();
    if (printer.empty())
        return nullptr;
    std::wstring name;
    std::wstring address;
    DWORD valueA = 0;
    DWORD flags = 0;
    DWORD port = kBidiDefaultPort;
    {
        const ThreadCom com;
        PortResolver resolver;
        if (!resolver.resolve(printer, name, address, valueA, flags, port))
            return nullptr;
    }
    if (!address.empty())
        path->setStringAttribute(PrintPathAttr::IPAddress, address, true);
    std::unique_ptr<BidiPrinterConnectionIntf> connection(createTrebukBidiConnection(printer.c_str()));
    if (!connection || !connection->Open())
        return nullptr;
    return connection.release();
}

uint32_t SNMPConfigurator::ConfigurePrintPath(PrintPath* path)
{
    std::unique_ptr<BidiPrinterConnectionIntf> connection(openConnection(path));
    if (!connection)
        return kConfigNoConnection;
    const uint32_t result = Configure(connection.get(), path, path->getStringAttribute(PrintPathAttr::Address));
    connection->Close();
    return result;
}

} // namespace MPrint
