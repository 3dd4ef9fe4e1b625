#include "bidi/DeviceIDBidiConnection.h"

#include "core/ScopedHandle.h"

#include <setupapi.h>

#include <cstdio>
#include <memory>
#include <vector>

namespace MPrint {

namespace {

class DeviceInfoSet {
public:
    explicit DeviceInfoSet(HDEVINFO set) : set_(set) {}
    ~DeviceInfoSet()
    {
        if (set_ != INVALID_HANDLE_VALUE)
            SetupDiDestroyDeviceInfoList(set_);
    }
    DeviceInfoSet(const DeviceInfoSet&) = delete;
    DeviceInfoSet& operator=(const DeviceInfoSet&) = delete;
    HDEVINFO get() const { return set_; }
    bool valid() const { return set_ != INVALID_HANDLE_VALUE; }

private:
    HDEVINFO set_;
};

// "Base Name" (default "USB") and "Port Number" (default 0) of an interface
// as "%s%03d"; empty when its key cannot be opened.
std::wstring interfacePortName(HDEVINFO set, SP_DEVICE_INTERFACE_DATA& item)
{
    HKEY key = SetupDiOpenDeviceInterfaceRegKey(set, &item, 0, KEY_READ);
    if (key == INVALID_HANDLE_VALUE || !key)
        return {};
    ScopedRegKey owned(key);
    // 256 bytes as the value is read, plus room that keeps it terminated.
    wchar_t base[128 + 2] = {};
    DWORD size = 256;
    DWORD type = 0;
    std::wstring baseName = L"USB";
    if (RegQueryValueExW(key, L"Base Name", nullptr, &type, reinterpret_cast<BYTE*>(base), &size) == ERROR_SUCCESS &&
        (type == REG_SZ || type == REG_EXPAND_SZ))
        baseName.assign(base, wcsnlen(base, 128));
    DWORD number = 0;
    size = sizeof(number);
    if (RegQueryValueExW(key, L"Port Number", nullptr, &type, reinterpret_cast<BYTE*>(&number), &size) !=
            ERROR_SUCCESS ||
        type != REG_DWORD || size != sizeof(number))
        number = 0;
    wchar_t digits[16] = {};
    swprintf(digits, 16, L"%03lu", static_cast<unsigned long>(number));
    return baseName + digits;
}

} // namespace

DeviceIDBidiConnection::~DeviceIDBidiConnection()
{
    Close();
}

bool DeviceIDBidiConnection::Connect(const wchar_t*, const wchar_t* address, DWORD, DWORD)
{
    if (!address || !*address)
        return false;
    HANDLE device = INVALID_HANDLE_VALUE;
    if (!FindUsbPrintInterface(address, &device))
        return false;
    ScopedKernelHandle owned(device);
    return ReadDeviceID(deviceId_, device);
}

bool DeviceIDBidiConnection::Get(BidiRequest* requests, DWORD count)
{
    if (!requests)
        return false;
    bool answered = false;
    for (DWORD i = 0; i < count && !deviceId_.empty(); ++i) {
        if (requests[i].oid != kDeviceIdOID)
            continue;
        requests[i].value.type = BidiText;
        requests[i].value.text = deviceId_;
        answered = true;
    }
    return answered;
}

bool DeviceIDBidiConnection::FindUsbPrintInterface(const wchar_t* portName, HANDLE* device)
{
    if (!portName || !*portName || !device)
        return false;
    *device = INVALID_HANDLE_VALUE;
    DeviceInfoSet set(SetupDiGetClassDevsW(&kUsbPrintInterface, nullptr, nullptr,
                                           DIGCF_PRESENT | DIGCF_DEVICEINTERFACE));
    if (!set.valid())
        return false;
    SP_DEVICE_INTERFACE_DATA item = {};
    item.cbSize = sizeof(item);
    for (DWORD index = 0; SetupDiEnumDeviceInterfaces(set.get(), nullptr, &kUsbPrintInterface, index, &item);
         ++index) {
        if (interfacePortName(set.get(), item) != portName)
            continue;
        DWORD needed = 0;
        SetupDiGetDeviceInterfaceDetailW(set.get(), &item, nullptr, 0, &needed, nullptr);
        if (needed < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W))
            return false;
        std::vector<BYTE> buffer(needed, 0);
        auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(buffer.data());
        detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
        // A record that was not read names no device: nothing is opened from it.
        if (!SetupDiGetDeviceInterfaceDetailW(set.get(), &item, detail, needed, nullptr, nullptr))
            return false;
        *device = CreateFileW(detail->DevicePath, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        return true;
    }
    return false;
}

bool DeviceIDBidiConnection::ReadDeviceID(std::string& id, HANDLE device)
{
    id.clear();
    if (device == INVALID_HANDLE_VALUE || !device)
        return false;
    BYTE answer[kIdBufferBytes] = {};
    DWORD returned = 0;
    if (!DeviceIoControl(device, kGet1284IdControl, nullptr, 0, answer, sizeof(answer), &returned, nullptr))
        return false;
    id = deviceIdText(answer, returned < sizeof(answer) ? returned : sizeof(answer));
    return true;
}

std::string DeviceIDBidiConnection::deviceIdText(const BYTE* answer, DWORD size)
{
    if (!answer)
        return {};
    // IEEE 1284 puts a big-endian length in front. For any id that fits the
    // buffer its high byte is a control byte, while a text id starts with a
    // letter, so a leading control byte marks the length field.
    DWORD start = size >= 2 && answer[0] < 0x20 ? 2 : 0;
    DWORD end = start;
    while (end < size && answer[end] != 0)
        ++end;
    return std::string(reinterpret_cast<const char*>(answer + start), end - start);
}

} // namespace MPrint
