#include "discovery/LocalPortDiscovery.h"

#include "core/AsciiCase.h"
#include "core/ScopedHandle.h"
#include "core/StringConversion.h"
#include "core/ValueText.h"
#include "destination/PrintPathAttr.h"
#include "discovery/DiscoveryClassIds.h"
#include "discovery/PrintPathText.h"
#include "core/RegistrySubKeys.h"
#include "shared/SpoolerQueries.h"

#include <vector>

namespace MPrint {

namespace {

constexpr DWORD kMapChars = 260;
constexpr size_t kMaxPortDigits = 5;
constexpr wchar_t kDosDevices[] = L"\\DosDevices\\";

// Digits from at (1 to kMaxPortDigits of them); at moves past them.
bool readNumber(const std::wstring& text, size_t& at, DWORD& value)
{
    const size_t start = at;
    DWORD number = 0;
    while (at < text.size() && text[at] >= L'0' && text[at] <= L'9' && at - start < kMaxPortDigits)
        number = number * 10 + static_cast<DWORD>(text[at++] - L'0');
    if (at == start || (at < text.size() && text[at] >= L'0' && text[at] <= L'9'))
        return false;
    value = number;
    return true;
}

// Nothing but an optional ":" from at on.
bool endsPortName(const std::wstring& text, size_t at)
{
    return at == text.size() || (at + 1 == text.size() && text[at] == L':');
}

std::wstring withoutColon(const std::wstring& name)
{
    return !name.empty() && name.back() == L':' ? name.substr(0, name.size() - 1) : name;
}

// The plug-and-play kind of a spooler port by its name; 0 for none listed.
DWORD spoolerPortType(const std::wstring& name)
{
    if (name.find(L"USB") != std::wstring::npos)
        return LocalPortDiscovery::kUsb;
    if (name.find(L"BTH") != std::wstring::npos)
        return LocalPortDiscovery::kBluetooth;
    if (name.find(L"DOT4") != std::wstring::npos)
        return LocalPortDiscovery::kDot4;
    return 0;
}

// Names of the local spooler ports; empty when the spooler lists none.
std::vector<std::wstring> spoolerPortNames(DWORD level)
{
    std::vector<std::wstring> names;
    DWORD count = 0;
    GlobalBlock<BYTE> block(enumPortsAlloc(nullptr, level, &count));
    if (!block)
        return names;
    for (DWORD i = 0; i < count; ++i) {
        const wchar_t* name = level == 1 ? reinterpret_cast<const PORT_INFO_1W*>(block.get())[i].pName
                                         : reinterpret_cast<const PORT_INFO_2W*>(block.get())[i].pPortName;
        if (name && *name)
            names.emplace_back(name);
    }
    return names;
}

const wchar_t* enumeratorOf(DWORD type)
{
    switch (type) {
    case LocalPortDiscovery::kParallel:
        return L"LPTENUM";
    case LocalPortDiscovery::kUsb:
        return L"USBPRINT";
    case LocalPortDiscovery::kDot4:
        return L"DOT4PRT";
    default:
        return nullptr;
    }
}

} // namespace

LocalPortDiscovery::LocalPortDiscovery() = default;
LocalPortDiscovery::~LocalPortDiscovery() = default;

uint32_t LocalPortDiscovery::GetSearchCapabilities()
{
    return kCapResolve;
}

bool LocalPortDiscovery::parseComPort(const std::wstring& text, DWORD& number, std::wstring& name)
{
    if (text.size() <= 3 || !startsWithIgnoringAsciiCase(text, L"COM"))
        return false;
    size_t at = 3;
    DWORD value = 0;
    if (!readNumber(text, at, value) || value == 0 || !endsPortName(text, at))
        return false;
    number = value;
    name = L"COM" + std::to_wstring(value) + L":";
    return true;
}

bool LocalPortDiscovery::parseLptPort(const std::wstring& text, DWORD& number, DWORD& subNumber,
                                      std::wstring& name)
{
    if (text.find(L".4") != std::wstring::npos)
        return false;
    std::wstring rest = text;
    if (startsWithIgnoringAsciiCase(rest, std::wstring(kDosDevices) + L"LPT"))
        rest.erase(0, wcslen(kDosDevices));
    if (rest.size() <= 3 || !startsWithIgnoringAsciiCase(rest, L"LPT"))
        return false;
    size_t at = 3;
    DWORD value = 0, sub = 0;
    if (!readNumber(rest, at, value) || value == 0)
        return false;
    if (at < rest.size() && rest[at] == L'.' && !readNumber(rest, ++at, sub))
        return false;
    if (!endsPortName(rest, at))
        return false;
    number = value;
    subNumber = sub;
    name = L"LPT" + std::to_wstring(value) + (sub ? L"." + std::to_wstring(sub) : std::wstring()) + L":";
    return true;
}

std::wstring LocalPortDiscovery::findPnPDeviceForPort(const std::wstring& portName, PrintPath& path, DWORD type)
{
    const wchar_t* enumerator = enumeratorOf(type);
    ScopedRegKey devices;
    if (!enumerator || RegOpenKeyExW(HKEY_LOCAL_MACHINE, (std::wstring(kEnumKey) + L"\\" + enumerator).c_str(), 0,
                                     KEY_READ, devices.receive()) != ERROR_SUCCESS)
        return std::wstring();
    // The device's "PortName" carries no colon while a parallel port's
    // canonical name does; a containment test would take LPT1 for LPT10.
    const std::wstring wanted = withoutColon(portName);
    for (const std::wstring& id : listSubKeyNames(devices.get())) {
        ScopedRegKey device;
        if (RegOpenKeyExW(devices.get(), id.c_str(), 0, KEY_READ, device.receive()) != ERROR_SUCCESS)
            continue;
        for (const std::wstring& instanceName : listSubKeyNames(device.get())) {
            ScopedRegKey instance, parameters;
            std::wstring port;
            DWORD valueType = REG_NONE;
            if (RegOpenKeyExW(device.get(), instanceName.c_str(), 0, KEY_READ, instance.receive()) != ERROR_SUCCESS ||
                RegOpenKeyExW(instance.get(), L"Device Parameters", 0, KEY_READ, parameters.receive()) !=
                    ERROR_SUCCESS ||
                readRegistryText(parameters.get(), L"PortName", port, 0, &valueType) != ERROR_SUCCESS ||
                valueType != REG_SZ || !equalsIgnoringAsciiCase(withoutColon(port), wanted))
                continue;
            std::wstring model;
            if (readRegistryText(instance.get(), L"DeviceDesc", model, 0, &valueType) != ERROR_SUCCESS ||
                valueType != REG_SZ || model.empty()) {
                model = id;
                for (wchar_t& c : model)
                    if (c == L'_')
                        c = L' ';
            }
            std::string narrowModel;
            convertString(model, narrowModel, CP_ACP);
            path.setDevice(Device(narrowModel, std::string()), true);
            path.setDeviceConfigured(true);
            path.setStringAttribute(PrintPathAttr::RegMdlName, model, true);
            return model;
        }
    }
    return std::wstring();
}

PrintPath* LocalPortDiscovery::makePath(const std::wstring& portName, const std::wstring& display, DWORD type,
                                        DWORD number, DWORD subNumber, DWORD manuallyEntered) const
{
    auto* path = new PrintPath();
    if ((type == kSerial || type == kParallel) && number > 0) {
        path->setNumericAttribute(PrintPathAttr::Port, number, true);
        if (type == kParallel && subNumber)
            path->setNumericAttribute(PrintPathAttr::SubPort, subNumber, true);
    } else if (type == kUsb || type == kDot4) {
        path->setStringAttribute(PrintPathAttr::DynamicPort, portName, true);
    } else {
        delete path;
        return nullptr;
    }
    path->setStringAttribute(PrintPathAttr::Address, portName, true);
    path->setStringAttribute(PrintPathAttr::LocalPort, portName, true);
    path->setStringAttribute(PrintPathAttr::DisplayString, display, true);
    path->setDiscoveryId(discoveryids::kLocalPorts);
    path->addConfiguratorId(discoveryids::kLocalPortConfigurator);
    path->addFeatureId(discoveryids::kLocalPortFeatureAccessor);
    path->setNumericAttribute(PrintPathAttr::ManuallyEntered, manuallyEntered, true);
    path->setNumericAttribute(PrintPathAttr::LocalPortType, type, true);
    std::wstring model;
    if (type != kSerial)
        model = findPnPDeviceForPort(portName, *path, type);
    setPrinterInfoText(*path, getResourceLoader(), model, portName);
    setNicknameFromAddress(*path, model);
    return path;
}

void LocalPortDiscovery::searchDeviceMap(HWND window, PrintPathList& list, const wchar_t* map, DWORD type)
{
    ScopedRegKey key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, map, 0, KEY_READ, key.receive()) != ERROR_SUCCESS)
        return;
    for (const auto& value : listStringValues(key.get(), kMapChars)) {
        if (IsCancelled())
            return;
        DWORD number = 0, subNumber = 0;
        std::wstring name;
        const bool parsed = type == kSerial ? parseComPort(value.second, number, name)
                                            : parseLptPort(value.second, number, subNumber, name);
        if (parsed)
            AddResult(window, list, makePath(name, name, type, number, subNumber, 0));
    }
}

uint32_t LocalPortDiscovery::Search(HWND window, DestinationContext*, PrintPathList& list, uint32_t flags)
{
    clearCancel();
    if (!(flags & kCapSearch) || (flags & kCapWorkerThread))
        return kNotApplicable;
    searchDeviceMap(window, list, kSerialMap, kSerial);
    searchDeviceMap(window, list, kParallelMap, kParallel);
    for (const std::wstring& port : spoolerPortNames(2)) {
        if (IsCancelled())
            break;
        const DWORD type = spoolerPortType(port);
        // Bluetooth ports are left out: no print path can be made of one.
        if (type == kUsb || type == kDot4)
            AddResult(window, list, makePath(port, port, type, 1, 0, 0));
    }
    return IsCancelled() ? kCancelled : 0;
}

uint32_t LocalPortDiscovery::Resolve(HWND, const std::wstring& address, const std::wstring& nickname,
                                     const std::wstring& displayString, PrintPathList& list)
{
    if (address.size() < 4)
        return kNotApplicable;
    DWORD type = 0, number = 0, subNumber = 0;
    std::wstring name;
    if (parseComPort(address, number, name)) {
        type = kSerial;
    } else if (parseLptPort(address, number, subNumber, name)) {
        type = kParallel;
    } else {
        for (const std::wstring& port : spoolerPortNames(2)) {
            const DWORD portType = spoolerPortType(port);
            if ((portType == kUsb || portType == kDot4) && equalsIgnoringAsciiCase(port, address)) {
                type = portType;
                name = port;
                number = 1;
                break;
            }
        }
        if (!type)
            return kNotApplicable;
    }
    const std::wstring display =
        !displayString.empty() && !equalsIgnoringAsciiCase(displayString, address) ? displayString : name;
    PrintPath* path = makePath(name, display, type, number, subNumber, 1);
    if (!path)
        return kNotApplicable;
    if (!nickname.empty())
        path->setStringAttribute(PrintPathAttr::Nickname, nickname, true);
    list.push_back(QZAutoPtr<PrintPath>(path));
    return 0;
}

uint32_t LocalPortDiscovery::ValidateDevice(HWND, PrintPath* path)
{
    if (!path)
        return kNotApplicable;
    const std::wstring address = path->getStringAttribute(PrintPathAttr::Address);
    if (address.empty())
        return kNotApplicable;
    const std::vector<std::wstring> ports = spoolerPortNames(1);
    if (ports.empty())
        return kPortMissing;
    for (const std::wstring& port : ports)
        if (port.find(address) != std::wstring::npos)
            return 0;
    DWORD number = 0;
    std::wstring name;
    return parseComPort(address, number, name) ? 0 : kPortMissing;
}

} // namespace MPrint
