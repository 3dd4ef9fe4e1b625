#include "VagantUIExtension/LocalPortConfigurator.h"

#include "bidi/BidiConnectionFactory.h"
#include "core/ScopedHandle.h"
#include "core/StringConversion.h"
#include "core/ValueText.h"
#include "destination/PrintPathAttr.h"
#include "core/RegistrySubKeys.h"

namespace MPrint {

namespace {

constexpr wchar_t kEnumKey[] = L"SYSTEM\\CurrentControlSet\\Enum\\";
constexpr DWORD kDeviceDescBytes = 512;
constexpr size_t kMaxSubKeyChars = 512;

bool contains(const std::wstring& text, const wchar_t* part)
{
    return text.find(part) != std::wstring::npos;
}

} // namespace

bool LocalPortConfigurator::isLocalPortName(const std::wstring& port)
{
    return contains(port, L"LPT") || contains(port, L"USB") || contains(port, L"BTH") || contains(port, L"DOT4");
}

uint32_t LocalPortConfigurator::ConfigurePrintPath(PrintPath* path)
{
    if (!path)
        return kConfigNotApplicable;
    const std::wstring port = path->getStringAttribute(PrintPathAttr::LocalPort);
    if (port.empty() || !isLocalPortName(port))
        return kConfigNotApplicable;
    const uint32_t result = connectAndConfigure(createBidiConnection(port.c_str()), path, port, BidiAddressLocalPort,
                                                portOrZero(*path), kConfigNoModel);
    if (result == kConfigured)
        return result;

    std::string model;
    const std::wstring& registered = path->getStringAttribute(PrintPathAttr::RegMdlName);
    if (!registered.empty())
        convertString(registered, model, CP_ACP);
    else if (!findPnPModel(port, model))
        return kConfigNoModel;
    if (model.empty())
        return kConfigNoModel;
    GuessPDLFromModelName(model, path);
    return kConfigured;
}

bool LocalPortConfigurator::findPnPModel(const std::wstring& port, std::string& model)
{
    std::wstring name = port;
    const size_t colon = name.rfind(L':');
    if (colon != std::wstring::npos)
        name.erase(colon, 1);
    const wchar_t* enumerator = contains(name, L"LPT")    ? L"LPTENUM"
                                : contains(name, L"USB")  ? L"USBPRINT"
                                : contains(name, L"DOT4") ? L"DOT4PRT"
                                                          : nullptr;
    ScopedRegKey devices;
    if (!enumerator || RegOpenKeyExW(HKEY_LOCAL_MACHINE, (std::wstring(kEnumKey) + enumerator).c_str(), 0, KEY_READ,
                                     devices.receive()) != ERROR_SUCCESS)
        return false;
    for (const std::wstring& device : listSubKeyNames(devices.get())) {
        if (device.size() <= kMaxSubKeyChars && QueryDeviceDescription(name, devices.get(), device, model))
            return true;
    }
    return false;
}

bool LocalPortConfigurator::QueryDeviceDescription(const std::wstring& portName, HKEY enumKey,
                                                   const std::wstring& deviceKeyName, std::string& model)
{
    ScopedRegKey device;
    if (!enumKey || RegOpenKeyExW(enumKey, deviceKeyName.c_str(), 0, KEY_READ, device.receive()) != ERROR_SUCCESS)
        return false;
    wchar_t instanceName[kMaxSubKeyChars + 1] = {};
    DWORD length = kMaxSubKeyChars + 1;
    if (RegEnumKeyExW(device.get(), 0, instanceName, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS ||
        !contains(std::wstring(instanceName, length), portName.c_str()))
        return false;
    ScopedRegKey instance;
    std::wstring description;
    if (RegOpenKeyExW(device.get(), instanceName, 0, KEY_READ, instance.receive()) != ERROR_SUCCESS ||
        readRegistryText(instance.get(), L"DeviceDesc", description, kDeviceDescBytes) != ERROR_SUCCESS ||
        description.empty())
        return false;
    return convertString(description, model, CP_ACP);
}

} // namespace MPrint
