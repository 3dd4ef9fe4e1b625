// The component that fills a print path's device from the device itself:
// model name, page description languages, colour and speed, read over a
// bidirectional connection with Printer MIB and Host Resources MIB OIDs or
// from the IEEE 1284 device id. All query and decision logic is here; the
// port-type configurators only open the right connection in
// ConfigurePrintPath and call Configure. A failed query leaves its outputs
// untouched; a null connection answers nothing.
//
// ConfigurePrintPath / Configure results: 0 configured or unchanged, 1 no
// connection could be opened, 2 no model name, 4 not for this path.
#pragma once

#include "bidi/BidiPrinterConnectionIntf.h"
#include "VagantUIExtension/ConfigurationComponent.h"
#include "destination/PrintPath.h"

#include <memory>
#include <string>

namespace MPrint {

enum ConfiguratorResult : uint32_t {
    kConfigured = 0,
    kConfigNoConnection = 1,
    kConfigNoModel = 2,
    kConfigNotApplicable = 4,
};

// Printer MIB interpreter language families.
enum PdlFamily : DWORD {
    kPdlFamilyPcl5 = 3,
    kPdlFamilyPjl = 5,
    kPdlFamilyPostScript = 6,
    kPdlFamilyPcl3 = 7,
    kPdlFamilyAutomatic = 37,
    kPdlFamilyPclXl = 47,
};

// The device id's private OID, answered by the connection layer.
inline constexpr char kDeviceIdOID[] = "1.3.6.1.4.1.11.2.3.9.1.1.7.0";

// The device id's command-set field ("CMD:" up to its ";", or to the end
// unless needsEnd) names an inkjet language: "DW-PCL", "DYN" or "PLINTHE".
bool deviceIdCommandSetMentionsColourInk(const std::string& deviceId, bool needsEnd);

// The path's "DeviceConfigAddress" (a separately configured device) split
// at its colon: kind 2 for a numeric address, 4 for a host name; port keeps
// its value when the text names none. False, with the outputs untouched,
// for a null path or no such address.
bool getDeviceConfigAddress(const PrintPath* path, std::wstring& address, DWORD& kind, DWORD& port);

// The connection, once Connect reached the address; null otherwise (the
// connection is deleted then). Takes ownership.
std::unique_ptr<BidiPrinterConnectionIntf> connectedTo(BidiPrinterConnectionIntf* connection,
                                                       const std::wstring& address, DWORD kind, DWORD port);

// The path's "Port", 0 when it has none.
DWORD portOrZero(const PrintPath& path);

class DeviceConfigurator : public ConfigurationComponent {
public:
    DeviceConfigurator() = default;
    ~DeviceConfigurator() override;

    uint32_t Execute(void* argument) override;

    // Lower-cases model in place.
    virtual void GuessPDLFromModelName(std::string& model, PrintPath* path);
    virtual bool NeedsReconfigure(BidiPrinterConnectionIntf* connection, PrintPath* path, DWORD* changeId);
    // The base empties the path's device and answers 4.
    virtual uint32_t ConfigurePrintPath(PrintPath* path);
    virtual uint32_t Configure(BidiPrinterConnectionIntf* connection, PrintPath* path, const std::wstring& address);
    virtual bool QueryModelName(BidiPrinterConnectionIntf* connection, std::string& model);
    virtual bool QueryInterpreters(BidiPrinterConnectionIntf* connection, Device& device);
    virtual bool ConfigureFromDeviceID(Device& device, bool pcl3Only);
    virtual bool QueryChangeCount(BidiPrinterConnectionIntf* connection, DWORD* count);
    // Appends to model; true when a model, command-set or description key was seen.
    virtual bool ParseDeviceID(const std::string& deviceId, std::string& model, std::string& commandSet,
                               std::string& description);
    // 1 colour, 0 no sign of colour.
    virtual DWORD QueryIsColor(BidiPrinterConnectionIntf* connection);
    virtual bool QueryPagesPerMinute(BidiPrinterConnectionIntf* connection, DWORD* ppm);
    virtual bool QueryDeviceID(BidiPrinterConnectionIntf* connection, std::string& deviceId);
    virtual bool AddPDLsFromCommandSet(Device& device, const std::string& commandSet, DWORD family);

    // The device id last read from the device (kept between calls).
    const std::string& deviceId() const { return deviceId_; }

    // One request answered: by Get, or by GetNext from that OID.
    static bool askOne(BidiPrinterConnectionIntf* connection, BidiRequest& request, bool next);
    static bool isInteger(const BidiRequest& request) { return request.value.type == BidiInteger; }
    static bool isText(const BidiRequest& request)
    {
        return request.value.type == BidiText || request.value.type == BidiBinary;
    }

protected:
    // Connects the connection (owned: deleted here) to the address and
    // configures the path over it; `otherwise` when there is no connection
    // or it does not connect.
    uint32_t connectAndConfigure(BidiPrinterConnectionIntf* connection, PrintPath* path, const std::wstring& address,
                                 DWORD kind, DWORD port, uint32_t otherwise);

private:
    std::string deviceId_;
};

} // namespace MPrint
