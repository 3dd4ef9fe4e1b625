// Reader of the OKV administration tool's printer export: the custom
// list's reader over the OKV element names. A device's address is its IP
// host name, else its IPv4 address, else its IPX address; a device without
// a name is called model + " (" + hardware address, system name or address
// + " )".
#pragma once

#include "discovery/CustomPrinterListParser.h"

namespace MPrint {

class OKVPrinterListParser : public CustomPrinterListParser {
public:
    OKVPrinterListParser();
    ~OKVPrinterListParser() override;

protected:
    void onStringValue(const LevelData& level, const std::wstring& value) override;
    void onContainerEnd(const LevelData& level, const std::wstring& text) override;

private:
    std::wstring hardwareAddress_, systemName_, ipv4Address_, ipxAddress_, ipHostName_;
};

} // namespace MPrint
