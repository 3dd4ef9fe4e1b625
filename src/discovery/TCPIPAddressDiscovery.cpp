#include "discovery/TCPIPAddressDiscovery.h"

#include "bidi/CurrentDestination.h"
#include "bidi/DestinationVerifyFactory.h"
#include "core/ProcAddress.h"
#include "core/RegistryKey.h"
#include "core/SettingsKeys.h"
#include "core/Socket.h"
#include "core/StringConversion.h"
#include "core/TextFormat.h"
#include "destination/Address.h"
#include "destination/PrintPathAttr.h"
#include "discovery/DiscoveryClassIds.h"
#include "discovery/PrintPathText.h"
#include "shared/PrinterData.h"
#include "shared/PrinterPort.h"
#include "shared/SpoolerQueries.h"

#include <atomic>
#include <cstring>
#include <cwctype>

namespace MPrint {

namespace {

constexpr UINT kCommentLabel = 89;
constexpr UINT kLocationLabel = 149;
// A record's texts are read up to this many bytes.
constexpr size_t kRecordTextLimit = 1024;
constexpr size_t kCommunityLimit = 31;
constexpr size_t kPortDigitsLimit = 5;

std::wstring recordText(const char* text)
{
    std::wstring wide;
    if (text)
        convertString(std::string(text, strnlen(text, kRecordTextLimit)), wide, CP_ACP);
    return wide;
}

std::string narrow(const std::wstring& text)
{
    std::string out;
    convertString(text, out, CP_ACP);
    return out;
}

std::wstring trimmed(std::wstring text)
{
    trimWhitespace(text, true, true);
    return text;
}

bool isIpLiteral(const std::wstring& text)
{
    const int family = getAddressFamily(text.c_str());
    return family == AF_INET || family == AF_INET6;
}

// The reverse name of a dotted IPv4 address when its forward lookup gives
// the same address back; empty otherwise.
std::wstring confirmedHostName(const std::string& dotted)
{
    const unsigned long address = inet_addr(dotted.c_str());
    if (address == INADDR_NONE)
        return {};
    const hostent* reverse = gethostbyaddr(reinterpret_cast<const char*>(&address), 4, AF_INET);
    if (!reverse || !reverse->h_name || !*reverse->h_name)
        return {};
    // The next lookup reuses the thread's hostent.
    const std::string name(reverse->h_name, strnlen(reverse->h_name, kRecordTextLimit));
    const hostent* forward = gethostbyname(name.c_str());
    if (!forward || forward->h_addrtype != AF_INET || forward->h_length != 4 || !forward->h_addr_list ||
        !forward->h_addr_list[0])
        return {};
    const auto* bytes = reinterpret_cast<const unsigned char*>(forward->h_addr_list[0]);
    char text[16];
    snprintf(text, sizeof(text), "%u.%u.%u.%u", bytes[0], bytes[1], bytes[2], bytes[3]);
    if (dotted != text)
        return {};
    std::wstring wide;
    convertString(name, wide, CP_ACP);
    return wide;
}

} // namespace

struct TCPIPAddressDiscovery::Run {
    TCPIPAddressDiscovery* service;
    HWND window;
    uint32_t mode;
    PrintPathList* list;
    PrintPath* path;
    bool reverseLookup;
    std::atomic<void*> handle{nullptr};
    std::atomic<bool> cancelled{false};
};

TCPIPAddressDiscovery::TCPIPAddressDiscovery(const wchar_t* moduleName) : moduleName_(moduleName ? moduleName : L"")
{
}

TCPIPAddressDiscovery::~TCPIPAddressDiscovery() = default;

bool TCPIPAddressDiscovery::loadModule()
{
    std::lock_guard<std::mutex> guard(moduleLock_);
    if (!module_ && !moduleName_.empty())
        module_.reset(loadOutsideModule(moduleName_.c_str()));
    return static_cast<bool>(module_);
}

tcpbrowse::StartDiscoveryFn TCPIPAddressDiscovery::startFunction()
{
    std::lock_guard<std::mutex> guard(moduleLock_);
    return procAddress<tcpbrowse::StartDiscoveryFn>(module_.get(), "StartDiscovery");
}

tcpbrowse::StopDiscoveryFn TCPIPAddressDiscovery::stopFunction()
{
    std::lock_guard<std::mutex> guard(moduleLock_);
    return procAddress<tcpbrowse::StopDiscoveryFn>(module_.get(), "StopDiscovery");
}

uint32_t TCPIPAddressDiscovery::GetSearchCapabilities()
{
    return loadModule() ? kCapSearch | kCapResolve | kCapWorkerThread : kCapResolve;
}

void TCPIPAddressDiscovery::SetDiscoveryParameters(const char* serviceType, uint32_t mode, uint32_t timeoutMs,
                                                   const char* domain)
{
    serviceType_ = serviceType ? std::string(serviceType, strnlen(serviceType, kRecordTextLimit)) : std::string();
    mode_ = mode;
    timeoutMs_ = timeoutMs;
    if (domain)
        domain_.assign(domain, strnlen(domain, kRecordTextLimit));
    else
        domain_.clear();
}

uint32_t TCPIPAddressDiscovery::runDiscovery(Run& run, uint32_t timeoutMs, const char* instanceName)
{
    tcpbrowse::StartDiscoveryFn start = startFunction();
    if (!start)
        return kNotSupported;
    start(&TCPIPAddressDiscovery::onRecord, &run, timeoutMs, serviceType_.c_str(),
          domain_.empty() ? nullptr : domain_.c_str(), instanceName);
    // The module's handle names this run only; it ends here.
    run.handle = nullptr;
    return 0;
}

uint32_t TCPIPAddressDiscovery::Search(HWND window, DestinationContext*, PrintPathList& list, uint32_t)
{
    clearCancel();
    if (mode_ == kModeOff || serviceType_.empty())
        return kNotApplicable;
    if (!loadModule())
        return kNotSupported;
    DWORD setting = 0;
    RegistryKey settings(HKEY_CURRENT_USER, settingskeys::kSettings, RegistryKey::kRead);
    if (settings.isOpen() && settings.queryDword(L"TCPAddressDiscovery", &setting) && setting < 2)
        reverseLookupOff_ = setting;

    Run run{this, window, mode_, &list, nullptr, reverseLookupOff_ == 0};
    {
        std::lock_guard<std::mutex> guard(runLock_);
        searchRun_ = &run;
    }
    const uint32_t code = runDiscovery(run, timeoutMs_, nullptr);
    {
        std::lock_guard<std::mutex> guard(runLock_);
        searchRun_ = nullptr;
    }
    if (code != 0)
        return code;
    return run.cancelled || IsCancelled() ? kCancelled : 0;
}

bool TCPIPAddressDiscovery::RequestCancel()
{
    DiscoveryServiceIntf::RequestCancel();
    void* handle = nullptr;
    {
        std::lock_guard<std::mutex> guard(runLock_);
        if (!searchRun_)
            return false;
        searchRun_->cancelled = true;
        handle = searchRun_->handle;
    }
    // A run that ended meanwhile left a stale handle, which the module
    // refuses; one whose handle has not come yet stops when it does.
    tcpbrowse::StopDiscoveryFn stop = stopFunction();
    return handle && stop && stop(handle) != 0;
}

uint32_t TCPIPAddressDiscovery::ResolveName(HWND window, PrintPath* path, uint32_t timeoutMs)
{
    // The module is read under its lock only: a concurrent load may be
    // setting it.
    const tcpbrowse::StartDiscoveryFn start = path ? startFunction() : nullptr;
    if (!start)
        return kNotSupported;
    const std::string domain = narrow(path->getStringAttribute(PrintPathAttr::mDNSDomain));
    const std::string type = narrow(path->getStringAttribute(PrintPathAttr::mDNSType));
    const std::string instance = narrow(path->getStringAttribute(PrintPathAttr::DisplayString));
    std::call_once(socketsOnce_, [this] { sockets_ = std::make_unique<Socket::Initializer>(); });

    Run run{this, window, kModeResolve, nullptr, path, reverseLookupOff_ == 0};
    start(&TCPIPAddressDiscovery::onRecord, &run, timeoutMs, type.c_str(), domain.empty() ? nullptr : domain.c_str(),
          instance.c_str());
    return path->getNumericAttribute(PrintPathAttr::Resolved) == 1 ? 0 : kNoAnswer;
}

void WINAPI TCPIPAddressDiscovery::onRecord(void* argument, void* context, int event)
{
    auto* run = static_cast<Run*>(context);
    if (!run)
        return;
    if (event == tcpbrowse::kEventSearchHandle) {
        run->handle = argument;
        // A cancel that came before the handle stops the run now.
        if (run->cancelled && argument) {
            if (tcpbrowse::StopDiscoveryFn stop = run->service->stopFunction())
                stop(argument);
        }
        return;
    }
    if (event != tcpbrowse::kEventPrinter || !argument)
        return;
    const auto* record = static_cast<const tcpbrowse::PrinterRecord*>(argument);
    if (record->tag != tcpbrowse::kRecordTag || run->cancelled)
        return;
    try {
        if (run->mode == kModeBrowse)
            run->service->announce(*run, *record);
        else if (run->mode == kModeResolve && run->path)
            run->service->fillResolved(*run, *record);
    } catch (...) {
        // No memory for this record: the module's thread goes on.
    }
}

void TCPIPAddressDiscovery::announce(Run& run, const tcpbrowse::PrinterRecord& record)
{
    if (!run.list)
        return;
    const std::wstring name = recordText(record.instanceName);
    auto path = std::make_unique<PrintPath>();
    path->setStringAttribute(PrintPathAttr::Nickname, name, true);
    path->setStringAttribute(PrintPathAttr::DisplayString, name, true);
    path->setNumericAttribute(PrintPathAttr::Resolved, 0, false);
    path->setStringAttribute(PrintPathAttr::mDNSDomain, recordText(record.domain), false);
    path->setStringAttribute(PrintPathAttr::mDNSType, recordText(record.serviceType), false);
    AddResult(run.window, *run.list, path.release());
}

void TCPIPAddressDiscovery::fillResolved(Run& run, const tcpbrowse::PrinterRecord& record)
{
    PrintPath& path = *run.path;
    std::wstring address = recordText(record.ipv4Address);
    path.setStringAttribute(PrintPathAttr::Model, recordText(record.model), false);
    path.setNumericAttribute(PrintPathAttr::Resolved, 1, false);
    path.setStringAttribute(PrintPathAttr::IPAddress, address, true);
    if (run.reverseLookup) {
        const std::wstring name = confirmedHostName(narrow(address));
        if (!name.empty()) {
            address = name;
            path.setStringAttribute(PrintPathAttr::HostnameAddress, name, true);
            path.removeStringAttribute(PrintPathAttr::IPAddress);
        }
    }
    stamp(path, address);

    if (record.size != tcpbrowse::kRecordSizeWithTexts)
        return;
    const struct {
        const char* text;
        UINT label;
    } lines[] = {{record.location, kLocationLabel}, {record.comment, kCommentLabel}};
    for (const auto& line : lines) {
        const std::wstring text = recordText(line.text);
        if (text.empty())
            continue;
        const std::wstring info = path.getStringAttribute(PrintPathAttr::PrinterInfo) + L"\n" +
                                  formatWithArgument(getResourceLoader().loadString(line.label), text.c_str());
        path.setStringAttribute(PrintPathAttr::PrinterInfo, info, true);
    }
}

void TCPIPAddressDiscovery::stamp(PrintPath& path, const std::wstring& address)
{
    if (isJobDeliveryDestination(currentDestinationPrinterName(), path))
        path.setNumericAttribute(PrintPathAttr::JobDelivery, 1, true);
    path.setStringAttribute(PrintPathAttr::Address, address, true);
    path.setDiscoveryId(discoveryids::kTcpIp);
    path.addConfiguratorId(discoveryids::kSnmpConfigurator);
    path.addFeatureId(discoveryids::kTcpIpFeatureAccessor);
    path.setNumericAttribute(PrintPathAttr::ManuallyEntered, 1, true);
    const std::wstring& model = path.getStringAttribute(PrintPathAttr::Model);
    if (!model.empty())
        setPrinterInfoText(path, getResourceLoader(), model, address);
}

std::wstring TCPIPAddressDiscovery::defaultCommunity(const std::wstring& printerName)
{
    std::wstring community;
    HANDLE printer = nullptr;
    if (printerName.empty() || !openPrinterWithAccess(printerName, &printer, PRINTER_ACCESS_USE))
        return community;
    ScopedPrinter owner(printer);
    if (!getPrinterDataExString(printer, L"PrinterDriverData", PrintPathAttr::LumoSNMPCommunityName, community) ||
        community.size() > kCommunityLimit)
        community.clear();
    return community;
}

uint32_t TCPIPAddressDiscovery::Resolve(HWND, const std::wstring& address, const std::wstring& nickname,
                                        const std::wstring& displayString, PrintPathList& list)
{
    const bool ipp = address.find(L"ipp://") != std::wstring::npos;
    if (address.find(L"://") != std::wstring::npos && !ipp)
        return kNotApplicable;
    if (address.find(L"\\\\") != std::wstring::npos)
        return kNotApplicable;

    std::wstring community;
    std::wstring host;
    const size_t at = address.find(L'@');
    if (at != std::wstring::npos) {
        community = address.substr(0, at);
        if (community.empty() || community.size() > kCommunityLimit)
            return kNotApplicable;
        community = trimmed(community);
        host = trimmed(address.substr(at + 1));
    } else {
        host = trimmed(address);
    }

    DWORD port = 0;
    if (getAddressFamily(host.c_str()) != AF_INET6) {
        const size_t colon = host.find(L':');
        if (colon != std::wstring::npos && !ipp) {
            const std::wstring digits = trimmed(host.substr(colon + 1));
            host = trimmed(host.substr(0, colon));
            // A port beyond 65535 would wrap; a blank one is no port.
            if (digits.empty() || digits.size() > kPortDigitsLimit)
                return kNotApplicable;
            for (wchar_t c : digits) {
                if (c < L'0' || c > L'9')
                    return kNotApplicable;
                port = port * 10 + static_cast<DWORD>(c - L'0');
            }
            if (port > 65535)
                return kNotApplicable;
        } else if (colon != std::wstring::npos) {
            const std::wstring printer = currentDestinationPrinterName();
            host = printer.empty() ? std::wstring() : getNovellSnmpAddress(printer);
        }
    }
    if (community.empty())
        community = defaultCommunity(nickname);

    auto path = std::make_unique<PrintPath>();
    auto common = [&](const std::wstring& stampAddress, bool withCommunity) {
        stamp(*path, stampAddress);
        if (withCommunity && !community.empty())
            path->setStringAttribute(PrintPathAttr::LumoSNMPCommunityName, community, true);
        path->setStringAttribute(PrintPathAttr::Nickname, nickname, true);
        path->setStringAttribute(PrintPathAttr::DisplayString, displayString, true);
    };

    if (!host.empty() && isIpLiteral(host)) {
        common(host, true);
        path->setNumericAttribute(PrintPathAttr::Port, port, true);
        path->setStringAttribute(PrintPathAttr::IPAddress, host, true);
        list.emplace_back(path.release());
        return 0;
    }

    const std::wstring typed = host;
    {
        const std::wstring printer = currentDestinationPrinterName();
        PrinterPort asPort(printer.empty() ? nullptr : printer.c_str(), host.c_str());
        std::wstring portAddress;
        if (!host.empty() && asPort.getPortAddress(portAddress)) {
            if (asPort.getPortType() == kPortHostName) {
                host = portAddress;
            } else if (asPort.getPortType() == kPortIP && isIpLiteral(portAddress)) {
                common(typed, true);
                path->setNumericAttribute(PrintPathAttr::Port, port, true);
                path->setStringAttribute(PrintPathAttr::IPAddress, portAddress, true);
                list.emplace_back(path.release());
                return 0;
            }
        }
    }

    PrinterPort asHost(host.c_str());
    if (asHost.guessPortAddress(false) && asHost.getPortType() == kPortHostName) {
        common(typed, true);
        path->setStringAttribute(PrintPathAttr::HostnameAddress, host, true);
        list.emplace_back(path.release());
        return 0;
    }
    PrinterPort asWsd(typed.c_str());
    if (asWsd.guessPortAddress(false) && asWsd.getPortType() == kPortWSD) {
        common(typed, false);
        path->setStringAttribute(PrintPathAttr::WSDAddress, typed, true);
        list.emplace_back(path.release());
        return 0;
    }
    return kNotApplicable;
}

uint32_t TCPIPAddressDiscovery::ValidateDevice(HWND, PrintPath* path)
{
    if (!path)
        return kNotApplicable;
    if (!path->getStringAttribute(PrintPathAttr::WSDAddress).empty())
        return 0;
    DWORD port = path->getNumericAttribute(PrintPathAttr::Port);
    switch (port) {
    case 0xFFFFFFFF:
    case 0:
    case 1:
        port = 9100;
        break;
    case 2:
        port = 9101;
        break;
    case 3:
        port = 9102;
        break;
    default:
        break;
    }
    std::wstring address = path->getStringAttribute(PrintPathAttr::IPAddress);
    if (address.empty())
        address = path->getStringAttribute(PrintPathAttr::HostnameAddress);
    std::unique_ptr<DestinationVerify> check(
        DestinationVerifyFactory::Create(Address(address), DestinationVerifyFactory::kPml, port));
    if (!check)
        return 0; // no check of that kind: verified
    return check->Verify() ? 0 : kDeviceNotReachable;
}

} // namespace MPrint
