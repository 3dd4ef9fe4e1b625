#include "ui/AutoCreatedClientPortSetup.h"

#include "bidi/RegistryCache.h"
#include "core/AsciiCase.h"
#include "core/RegistryKey.h"
#include "core/ScopedHandle.h"
#include "core/SettingsKeys.h"
#include "destination/MonitorChannel.h"
#include "destination/PrinterDataValues.h"
#include "shared/AutoCreatedClientPort.h"
#include "shared/PrinterPort.h"
#include "shared/SpoolerQueries.h"
#include "ui/AutoCreatedPrinterConnectionDialog.h"

namespace {

bool isClientPort(int type)
{
    return type == kPortCitrixClient || type == kPortTerminalServer;
}

// One value of the section; empty when absent or longer than the module
// takes (a cut port or path would name something else).
std::wstring configValue(const std::wstring& file, const std::wstring& section, const wchar_t* key)
{
    constexpr DWORD kCapacity = AutoCreatedClientPortSetup::kMaxConfigValue + 2;
    std::wstring value(kCapacity, L'\0');
    const DWORD length = GetPrivateProfileStringW(section.c_str(), key, L"", value.data(), kCapacity, file.c_str());
    if (length > AutoCreatedClientPortSetup::kMaxConfigValue)
        return {};
    value.resize(length);
    return value;
}

// A cache file named without a folder lies beside the configuration file,
// not in whatever folder the process happens to run in.
std::wstring besideConfig(const std::wstring& server, const std::wstring& path)
{
    const bool absolute = (path.size() >= 2 && path[1] == L':') || (!path.empty() && path[0] == L'\\');
    return absolute ? path : server + L"\\print$\\" + path;
}

bool userAllowsPrompt()
{
    RegistryKey settings(HKEY_CURRENT_USER, settingskeys::kSettings, RegistryKey::kRead);
    DWORD prompt = 0;
    return settings.isOpen() && settings.queryDword(L"AutoCreatePrompt", &prompt) && prompt != 0;
}

// The port of the client's printer of that name ("\\CLIENT\Office 1" is
// "Office 1"); empty when the client lists none.
std::wstring clientPrinterPort(const std::wstring& server, const std::wstring& printerName)
{
    DWORD count = 0;
    GlobalBlock<PRINTER_INFO_5W> printers(
        reinterpret_cast<PRINTER_INFO_5W*>(enumPrintersAlloc(server.c_str(), 5, &count)));
    for (DWORD i = 0; printers && i < count; ++i) {
        const PRINTER_INFO_5W& printer = printers.get()[i];
        if (!printer.pPrinterName || !printer.pPortName)
            continue;
        const std::wstring name = printer.pPrinterName;
        const size_t slash = name.rfind(L'\\');
        if (equalsIgnoringAsciiCase(slash == std::wstring::npos ? name : name.substr(slash + 1), printerName))
            return printer.pPortName;
    }
    return {};
}

// The address of the client's own printer behind the queue's client port,
// into port; its type, or kPortUnresolved when none was found. A fresh
// port each time: resetting one lets go of the queue's handle, which the
// client's printer is looked up through.
int clientPrinterAddress(HANDLE printer, const std::wstring& portName, std::wstring& port)
{
    PrinterPort queuePort(printer, portName.c_str());
    return queuePort.getPortAddress(port) ? queuePort.getPortType() : kPortUnresolved;
}

} // namespace

AutoCreatedClientPortSetup::AutoCreatedClientPortSetup(LumoraPrintingExtension* extension) : extension_(extension)
{
}

INT_PTR AutoCreatedClientPortSetup::askForConnection(const std::wstring& uncPath, const std::wstring& displayText)
{
    AutoCreatedPrinterConnectionDialog dialog(extension_, uncPath, displayText);
    return LumoraDialog::doModal(&dialog, GetActiveWindow(), ConnectUNCDialog::kTemplate, 0);
}

AutoCreatedClientPortSetup::ConfigResult AutoCreatedClientPortSetup::readConfig(const std::wstring& server,
                                                                                const std::wstring& printerName,
                                                                                const std::wstring& portName,
                                                                                std::wstring& port, bool& result)
{
    const std::wstring file = server + kConfigFile;
    {
        ScopedKernelHandle opened(CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!opened) {
            const DWORD error = GetLastError();
            return error == ERROR_ACCESS_DENIED || error == ERROR_LOGON_FAILURE ? ConfigResult::kRefused
                                                                                : ConfigResult::kMissing;
        }
    }
    if (printerName.empty())
        return ConfigResult::kRead;
    std::wstring cacheName = portName;
    const std::wstring model = configValue(file, printerName, L"model");
    if (!model.empty())
        cacheName += model;
    const std::wstring cache = configValue(file, printerName, L"creg");
    if (!cache.empty()) {
        std::wstring imported;
        result = MPrint::RegistryCache(nullptr).importCacheFile(cacheName.c_str(), besideConfig(server, cache).c_str(),
                                                                imported);
    }
    const std::wstring configured = configValue(file, printerName, L"port");
    if (!configured.empty()) {
        port = configured;
        result = true;
    }
    return ConfigResult::kRead;
}

bool AutoCreatedClientPortSetup::storePort(HANDLE printer, const std::wstring& printerName, const std::wstring& port)
{
    const DWORD size = static_cast<DWORD>((port.size() + 1) * sizeof(wchar_t));
    const DWORD error = SetPrinterDataW(printer, const_cast<wchar_t*>(autocreated::kClientPortValue), REG_SZ,
                                        reinterpret_cast<BYTE*>(const_cast<wchar_t*>(port.c_str())), size);
    if (error == ERROR_SUCCESS)
        return true;
    if (error != ERROR_ACCESS_DENIED)
        return false;
    MPrint::PrinterDataValues batch;
    batch.addString(autocreated::kClientPortValue, port.c_str());
    return MonitorChannel(kKeravinMonitorName).setPrinterData(printerName.c_str(), &batch);
}

bool AutoCreatedClientPortSetup::run(HANDLE printer, std::wstring& port)
{
    GlobalBlock<BYTE> info;
    if (!printer || !getPrinterAlloc(printer, 5, info.receive()))
        return false;
    const auto* five = reinterpret_cast<const PRINTER_INFO_5W*>(info.get());
    const std::wstring queueName = five->pPrinterName ? five->pPrinterName : L"";
    const std::wstring portName = five->pPortName ? five->pPortName : L"";
    info.reset();

    // Only a queue on a client port has a client to ask: a queue merely
    // named "Laser (Copy 1)" must not send the module looking for "\\1".
    PrinterPort classified(portName.c_str());
    if (!classified.guessPortAddress(false) || !isClientPort(classified.getPortType())) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return false;
    }
    bool result = false;
    port.clear();
    // First the client's own printer, followed through the client port.
    const int type = clientPrinterAddress(printer, portName, port);
    if (isClientPort(type))
        port.clear();
    else if (!port.empty())
        result = true;

    if (port.empty() || type == kPortUNC) {
        // The client: its session port names it, else the queue's name does.
        std::wstring server;
        PrinterPort session(printer, portName.c_str());
        session.setResolveClientPorts(false);
        std::wstring unresolved;
        session.getPortAddress(unresolved);
        std::wstring ownName = autocreated::ownPrinterName(queueName);
        if (!session.getTerminalServerClient(server))
            autocreated::splitClientPrinterName(queueName, server, ownName);

        if (!server.empty()) {
            const bool mayPrompt = userAllowsPrompt();
            for (;;) {
                const ConfigResult read = readConfig(server, ownName, portName, port, result);
                if (read != ConfigResult::kRefused || !mayPrompt)
                    break;
                if (askForConnection(server + L"\\print$", server + L"\\" + ownName) != IDOK)
                    break;
                // Connected: the client's printer may be reachable now.
                const int connectedType = clientPrinterAddress(printer, portName, port);
                if (connectedType != kPortUnresolved && !isClientPort(connectedType) && !port.empty()) {
                    result = true;
                    break;
                }
                port.clear();
            }
            if (port.empty()) {
                port = clientPrinterPort(server, ownName);
                if (!port.empty())
                    result = true;
            }
        }
    }

    if (!port.empty() && storePort(printer, queueName, port))
        result = true;
    return result;
}
