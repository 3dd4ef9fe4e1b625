#include "discovery/OKVPrinterListParser.h"

namespace MPrint {

namespace {

const SaxElementEntry kOkvTable[] = {
    {L"HWAddr", 100, SaxString},
    {L"MacAddress", 100, SaxString},
    {L"SysName", 101, SaxString},
    {L"DisplayName", 6, SaxString},
    {L"DeviceName", 7, SaxString},
    {L"IPHostName", 11, SaxString},
    {L"IPv4Address", 8, SaxString},
    {L"DeviceGroupMembership", 4, SaxString},
    {L"SystemLocation", 34, SaxString},
    {L"Devices", 2, 0},
    {L"GroupName", 4, SaxString},
    {L"Device", 3, SaxContainer},
    {L"PrinterName", 6, SaxString},
    {L"Desc", 5, SaxString},
    {L"Model", 7, SaxString},
    {L"IPAddr", 8, SaxString},
    {L"IPXAddr", 9, SaxString},
    {L"IPName", 11, SaxString},
    {L"ManagedPrinters", 13, 0},
    {L"ManagedList", 14, SaxContainer},
    {L"Name", 15, SaxString},
    {L"xmlfile", 16, SaxString},
    {L"stdquery", 17, SaxString},
    {L"CAP_DISK", 18, SaxString},
    {L"CAP_DUPLEX", 19, SaxString},
    {L"validatedevice", 20, SaxBool},
    {L"RefreshMPL", 22, SaxNumber},
    {L"CostPerPage", 23, SaxString},
    {L"Color", 24, SaxBool},
    {L"JobDelivery", 25, SaxString},
    {L"SecurePrinter", 26, SaxBool},
    {nullptr, 0, 0},
};

} // namespace

OKVPrinterListParser::OKVPrinterListParser() : CustomPrinterListParser(kOkvTable) {}

OKVPrinterListParser::~OKVPrinterListParser() = default;

void OKVPrinterListParser::onStringValue(const LevelData& level, const std::wstring& value)
{
    switch (level.elementId) {
    case kIpAddress:
        assignTrimmed(ipv4Address_, value);
        printer_.addressType = kManagedIpAddress;
        break;
    case kIpxAddress:
        assignTrimmed(ipxAddress_, value);
        printer_.addressType = kManagedIpxAddress;
        break;
    case kHostName:
        assignTrimmed(ipHostName_, value);
        printer_.addressType = kManagedHostName;
        break;
    case kHardwareAddress:
        assignTrimmed(hardwareAddress_, value);
        break;
    case kSystemName:
        assignTrimmed(systemName_, value);
        break;
    case kHardDisk:
    case kDuplexUnit: {
        // The export writes "Yes" and "Yes, <kind>"; only that spelling counts.
        const uint32_t present = value.find(L"Yes") != std::wstring::npos ? 1 : 0;
        (level.elementId == kHardDisk ? printer_.caps.hardDisk : printer_.caps.duplexUnit) = present;
        break;
    }
    default:
        CustomPrinterListParser::onStringValue(level, value);
        break;
    }
}

void OKVPrinterListParser::onContainerEnd(const LevelData& level, const std::wstring& text)
{
    if (level.elementId != kPrinter) {
        CustomPrinterListParser::onContainerEnd(level, text);
        return;
    }
    if (!ipHostName_.empty()) {
        printer_.address = ipHostName_;
        printer_.addressType = kManagedHostName;
    } else if (!ipv4Address_.empty()) {
        printer_.address = ipv4Address_;
        printer_.addressType = kManagedIpAddress;
    } else {
        printer_.address = ipxAddress_;
        printer_.addressType = kManagedIpxAddress;
    }
    if (printer_.printerName.empty()) {
        const std::wstring& tail = !hardwareAddress_.empty() ? hardwareAddress_
                                   : !systemName_.empty()    ? systemName_
                                                             : printer_.address;
        printer_.printerName = printer_.model + L" (" + tail + L" )";
    }
    endPrinter();
    hardwareAddress_.clear();
    systemName_.clear();
    ipv4Address_.clear();
    ipxAddress_.clear();
    ipHostName_.clear();
}

} // namespace MPrint
