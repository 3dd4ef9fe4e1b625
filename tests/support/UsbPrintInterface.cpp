#include "support/UsbPrintInterface.h"

#include <setupapi.h>

#include <vector>

namespace testenv {

namespace {

// {28D78FAD-5A12-11D1-AE5B-0000F803A8C2}
constexpr GUID kUsbPrintInterface = {0x28D78FAD, 0x5A12, 0x11D1, {0xAE, 0x5B, 0x00, 0x00, 0xF8, 0x03, 0xA8, 0xC2}};
// {36FC9E60-C465-11CF-8056-444553540000}, the USB device setup class.
constexpr GUID kUsbClass = {0x36FC9E60, 0xC465, 0x11CF, {0x80, 0x56, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
constexpr wchar_t kInterfaceClassKey[] =
    L"System\\CurrentControlSet\\Control\\DeviceClasses\\{28d78fad-5a12-11d1-ae5b-0000f803a8c2}\\";

// "\\?\root#qztest#..." names its key "##?#root#qztest#...".
std::wstring linkKey(const std::wstring& devicePath)
{
    if (devicePath.size() < 4)
        return {};
    return kInterfaceClassKey + (L"##?#" + devicePath.substr(4));
}

} // namespace

ScopedUsbPrintInterface::ScopedUsbPrintInterface(const std::optional<std::wstring>& baseName,
                                                 const std::optional<DWORD>& portNumber)
{
    static LONG counter = 0;
    wchar_t id[64] = {};
    swprintf(id, 64, L"ROOT\\QZTEST\\%04lu%04ld", GetCurrentProcessId() % 10000, InterlockedIncrement(&counter));
    instanceId_ = id;

    HDEVINFO set = SetupDiCreateDeviceInfoList(&kUsbClass, nullptr);
    if (set == INVALID_HANDLE_VALUE)
        return;
    SP_DEVINFO_DATA device = {};
    device.cbSize = sizeof(device);
    SP_DEVICE_INTERFACE_DATA item = {};
    item.cbSize = sizeof(item);
    if (SetupDiCreateDeviceInfoW(set, instanceId_.c_str(), &kUsbClass, nullptr, nullptr, 0, &device) &&
        SetupDiRegisterDeviceInfo(set, &device, 0, nullptr, nullptr, nullptr) &&
        SetupDiCreateDeviceInterfaceW(set, &device, &kUsbPrintInterface, nullptr, 0, &item)) {
        HKEY key = SetupDiCreateDeviceInterfaceRegKeyW(set, &item, 0, KEY_ALL_ACCESS, nullptr, nullptr);
        if (key != INVALID_HANDLE_VALUE) {
            if (baseName)
                RegSetValueExW(key, L"Base Name", 0, REG_SZ, reinterpret_cast<const BYTE*>(baseName->c_str()),
                               static_cast<DWORD>((baseName->size() + 1) * sizeof(wchar_t)));
            if (portNumber)
                RegSetValueExW(key, L"Port Number", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&*portNumber),
                               sizeof(DWORD));
            RegCloseKey(key);
        }
        DWORD needed = 0;
        SetupDiGetDeviceInterfaceDetailW(set, &item, nullptr, 0, &needed, nullptr);
        if (needed >= sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W)) {
            std::vector<BYTE> buffer(needed, 0);
            auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(buffer.data());
            detail->cbSize = sizeof(*detail);
            if (SetupDiGetDeviceInterfaceDetailW(set, &item, detail, needed, nullptr, nullptr))
                devicePath_ = detail->DevicePath;
        }
    }
    SetupDiDestroyDeviceInfoList(set);
    if (devicePath_.empty())
        return;
    // What the driver's start does: without it the interface is not present.
    const DWORD linked = 1;
    created_ = RegSetKeyValueW(HKEY_LOCAL_MACHINE, (linkKey(devicePath_) + L"\\#\\Control").c_str(), L"Linked",
                               REG_DWORD, &linked, sizeof(linked)) == ERROR_SUCCESS;
}

ScopedUsbPrintInterface::~ScopedUsbPrintInterface()
{
    if (!devicePath_.empty())
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, linkKey(devicePath_).c_str());
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, (L"System\\CurrentControlSet\\Enum\\" + instanceId_).c_str());
}

} // namespace testenv
