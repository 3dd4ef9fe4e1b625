// The connection of a USB port whose queue has a PCL3 driver: Connect reads
// the device's IEEE 1284 device id once through the USB printer interface
// of that port, and Get answers the device-id OID with it. Nothing else is
// answered; GetNext and Open always fail.
#pragma once

#include "bidi/BidiPrinterConnectionIntf.h"

#include <string>

namespace MPrint {

constexpr char kDeviceIdOID[] = "1.3.6.1.4.1.11.2.3.9.1.1.7.0";

class DeviceIDBidiConnection : public BidiPrinterConnectionIntf {
public:
    // The USB printer interface class.
    static constexpr GUID kUsbPrintInterface = {0x28D78FAD, 0x5A12, 0x11D1, {0xAE, 0x5B, 0x00, 0x00, 0xF8, 0x03, 0xA8, 0xC2}};
    // The USB printer class's get-device-id control.
    static constexpr DWORD kGet1284IdControl = 0x220034;
    static constexpr DWORD kIdBufferBytes = 1024;

    DeviceIDBidiConnection() = default;
    ~DeviceIDBidiConnection() override;

    // Only the address (the USB port name, "USB001") is used.
    bool Connect(const wchar_t* printerName, const wchar_t* address, DWORD addressKind, DWORD port) override;
    bool Open() override { return false; }
    bool Close() override { return true; }
    bool Get(BidiRequest* requests, DWORD count) override;
    bool GetNext(BidiRequest*, DWORD) override { return false; }
    bool IsHttpConnection() override { return false; }

    // Opens the present USB printer interface whose "Base Name" and
    // "Port Number" ("%s%03d") equal the port name, case-sensitively. The
    // caller closes *device (which may be INVALID_HANDLE_VALUE when the
    // device path could not be opened); false when no interface matches.
    virtual bool FindUsbPrintInterface(const wchar_t* portName, HANDLE* device);
    // The id text of the open device, without the two-byte length field the
    // USB printer class puts in front; false on an invalid handle or a failed
    // control (the text is empty then).
    virtual bool ReadDeviceID(std::string& id, HANDLE device);

    const std::string& getDeviceID() const { return deviceId_; }

    // The text of a get-device-id answer of `size` bytes.
    static std::string deviceIdText(const BYTE* answer, DWORD size);

private:
    std::string deviceId_;
};

} // namespace MPrint
