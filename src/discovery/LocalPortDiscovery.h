// Printers attached to this machine: serial and parallel ports from the
// device maps, and the spooler's USB and DOT4 plug-and-play ports, with the
// model found in the device enumeration. Resolves a typed port name
// ("COM3", "LPT1.2", "USB001") and checks that a port exists. Bluetooth
// ports are neither listed nor resolved: no port can be made for them.
#pragma once

#include "discovery/BasicDiscoveryService.h"

#include <string>

namespace MPrint {

class LocalPortDiscovery : public BasicDiscoveryService {
public:
    enum LocalPortType : DWORD { kSerial = 1, kParallel = 2, kUsb = 3, kBluetooth = 4, kDot4 = 5 };
    static constexpr uint32_t kPortMissing = 2;
    static constexpr wchar_t kSerialMap[] = L"HARDWARE\\DEVICEMAP\\SERIALCOMM";
    static constexpr wchar_t kParallelMap[] = L"HARDWARE\\DEVICEMAP\\PARALLEL PORTS";
    static constexpr wchar_t kEnumKey[] = L"SYSTEM\\CurrentControlSet\\Enum";

    LocalPortDiscovery();
    ~LocalPortDiscovery() override;

    uint32_t GetSearchCapabilities() override; // kCapResolve
    // Flags 8 without 32: every serial, parallel, USB and DOT4 port is
    // announced; 3 otherwise.
    uint32_t Search(HWND window, DestinationContext* context, PrintPathList& list, uint32_t flags) override;
    uint32_t Resolve(HWND owner, const std::wstring& address, const std::wstring& nickname,
                     const std::wstring& displayString, PrintPathList& list) override;
    // 0 when a spooler port name holds the "Address" or it is a serial
    // name; 2 otherwise; 3 without a path or address.
    uint32_t ValidateDevice(HWND owner, PrintPath* path) override;

    // "COM<n>" with an optional ":" (letter case ignored), n positive; the
    // outputs are untouched when false.
    static bool parseComPort(const std::wstring& text, DWORD& number, std::wstring& name);
    // "LPT<n>" or "LPT<n>.<m>" with an optional ":" and an optional leading
    // "\DosDevices\"; nothing holding ".4".
    static bool parseLptPort(const std::wstring& text, DWORD& number, DWORD& subNumber, std::wstring& name);
    // The model of the plug-and-play device on the port ("DeviceDesc", else
    // the device id with blanks for "_"), set on the path with its device;
    // empty when none is found.
    static std::wstring findPnPDeviceForPort(const std::wstring& portName, PrintPath& path, DWORD type);

private:
    // Null for a combination no port can be made of.
    PrintPath* makePath(const std::wstring& portName, const std::wstring& display, DWORD type, DWORD number,
                        DWORD subNumber, DWORD manuallyEntered) const;
    void searchDeviceMap(HWND window, PrintPathList& list, const wchar_t* map, DWORD type);
};

} // namespace MPrint
