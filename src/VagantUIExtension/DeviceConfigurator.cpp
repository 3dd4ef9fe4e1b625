#include "VagantUIExtension/DeviceConfigurator.h"

#include "core/StringConversion.h"
#include "destination/PrintPathAttr.h"
#include "discovery/PrintPathText.h"
#include "shared/DeviceRenderTypeHandler.h"
#include "shared/PrinterPort.h"

#include <algorithm>
#include <cctype>

namespace MPrint {

namespace {

constexpr char kChangeCounterOID[] = "1.3.6.1.2.1.43.5.1.1.1.1";
constexpr char kSpeedOID[] = "1.3.6.1.2.1.43.13.4.1.4.1.1";
constexpr char kModelOID[] = "1.3.6.1.2.1.25.3.2.1.3.1";
constexpr char kVendorModelOID[] = "1.3.6.1.4.1.1602.1.13.1.1.5.1";
constexpr char kColorantOID[] = "1.3.6.1.2.1.43.12.1.1.2.1.1";
constexpr char kSecondColorantOID[] = "1.3.6.1.2.1.43.12.1.1.2.1.2";

// Interpreter table columns: family, description, level.
constexpr const char* kInterpreterColumns[3] = {"1.3.6.1.2.1.43.15.1.1.2.1", "1.3.6.1.2.1.43.15.1.1.5.1",
                                                "1.3.6.1.2.1.43.15.1.1.3.1"};
constexpr int kMaxInterpreterRows = 10;

constexpr DWORD kNoChangeId = 0xFFFFFFFF;

std::string lowered(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::string uppered(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

bool containsAny(const std::string& text, std::initializer_list<const char*> parts)
{
    for (const char* part : parts)
        if (text.find(part) != std::string::npos)
            return true;
    return false;
}

std::wstring widen(const std::string& text)
{
    std::wstring wide;
    convertString(text, wide, 0);
    return wide;
}

} // namespace

bool deviceIdCommandSetMentionsColourInk(const std::string& deviceId, bool needsEnd)
{
    const size_t command = deviceId.find("CMD:");
    if (command == std::string::npos)
        return false;
    const size_t end = deviceId.find(';', command);
    if (end == std::string::npos && needsEnd)
        return false;
    const std::string field = deviceId.substr(command, end == std::string::npos ? std::string::npos : end - command);
    return containsAny(field, {"DW-PCL", "DYN", "PLINTHE"});
}

bool getDeviceConfigAddress(const PrintPath* path, std::wstring& address, DWORD& kind, DWORD& port)
{
    if (!path)
        return false;
    const std::wstring& text = path->getStringAttribute(PrintPathAttr::DeviceConfigAddress);
    std::wstring host;
    int number = 0;
    int type = 0;
    if (!PrinterPort::splitAddressAndPort(text, host, number, type))
        return false;
    address = host;
    kind = type == kPortIP ? BidiAddressIp : BidiAddressHostName;
    if (text.find(L':') != std::wstring::npos)
        port = static_cast<DWORD>(number);
    return true;
}

std::unique_ptr<BidiPrinterConnectionIntf> connectedTo(BidiPrinterConnectionIntf* connection,
                                                       const std::wstring& address, DWORD kind, DWORD port)
{
    std::unique_ptr<BidiPrinterConnectionIntf> owned(connection);
    if (owned && !owned->Connect(nullptr, address.c_str(), kind, port))
        owned.reset();
    return owned;
}

DWORD portOrZero(const PrintPath& path)
{
    const DWORD port = path.getNumericAttribute(PrintPathAttr::Port);
    return port == 0xFFFFFFFF ? 0 : port;
}

DeviceConfigurator::~DeviceConfigurator() = default;

uint32_t DeviceConfigurator::Execute(void*)
{
    return 0;
}

bool DeviceConfigurator::askOne(BidiPrinterConnectionIntf* connection, BidiRequest& request, bool next)
{
    if (!connection)
        return false;
    return next ? connection->GetNext(&request, 1) : connection->Get(&request, 1);
}

uint32_t DeviceConfigurator::ConfigurePrintPath(PrintPath* path)
{
    if (path) {
        path->setDevice(Device(), false);
        path->setDeviceConfigured(false);
    }
    return kConfigNotApplicable;
}

uint32_t DeviceConfigurator::connectAndConfigure(BidiPrinterConnectionIntf* connection, PrintPath* path,
                                                 const std::wstring& address, DWORD kind, DWORD port,
                                                 uint32_t otherwise)
{
    const std::unique_ptr<BidiPrinterConnectionIntf> owned = connectedTo(connection, address, kind, port);
    if (!owned)
        return otherwise;
    const uint32_t result = Configure(owned.get(), path, address);
    owned->Close();
    return result;
}

uint32_t DeviceConfigurator::Configure(BidiPrinterConnectionIntf* connection, PrintPath* path,
                                       const std::wstring& address)
{
    if (!connection || !path)
        return kConfigNotApplicable;
    uint32_t result = kConfigNoModel;
    std::string model;
    DWORD changeId = kNoChangeId;
    if (!NeedsReconfigure(connection, path, &changeId))
        return kConfigured;
    path->setNumericAttribute(PrintPathAttr::ConfigChanged, 1, false);

    if (QueryModelName(connection, model)) {
        Device device;
        device.setModelName(model);
        path->setNumericAttribute(PrintPathAttr::DV_ModelName, 1, true);
        setPrinterInfoTextFromModel(*path, resourceLoader(), model, address);
        if (QueryInterpreters(connection, device)) {
            path->setDevice(device, true);
            path->setDeviceConfigured(true);
            path->setNumericAttribute(PrintPathAttr::DV_PDL, 1, true);
            result = kConfigured;
        } else if (!model.empty()) {
            GuessPDLFromModelName(model, path);
            result = kConfigured;
        }
    }

    // Written also when the device named no model.
    const DWORD colour = QueryIsColor(connection);
    CDeviceRenderTypeHandler renderType;
    const int deviceColorFlag =
        colour == 0 ? CDeviceRenderTypeHandler::DeviceNoColor : CDeviceRenderTypeHandler::DeviceColor;
    const int isColor = renderType.SetRenderType(deviceColorFlag, widen(model), 0, std::wstring());
    path->setNumericAttribute(PrintPathAttr::LumoIsColorDevice, static_cast<DWORD>(isColor), true);

    DWORD speed = 0;
    QueryPagesPerMinute(connection, &speed);
    path->setNumericAttribute(PrintPathAttr::LumoPagesPerMinute, speed, true);
    return result;
}

bool DeviceConfigurator::NeedsReconfigure(BidiPrinterConnectionIntf* connection, PrintPath* path, DWORD* changeId)
{
    if (!connection || !path)
        return true;
    const DWORD stored = path->getNumericAttribute(PrintPathAttr::ChangeId);
    DWORD count = 0;
    if (stored == kNoChangeId) {
        if (QueryChangeCount(connection, &count)) {
            if (changeId)
                *changeId = count;
            path->setNumericAttribute(PrintPathAttr::ChangeId, count, true);
        }
        return true;
    }
    if (!QueryChangeCount(connection, &count))
        return true;
    if (count != stored) {
        path->setNumericAttribute(PrintPathAttr::ChangeId, count, true);
        return true;
    }
    // The counter is stored before the configuration is known to succeed:
    // a path that an earlier run left unconfigured is never skipped.
    if (!path->isDeviceConfigured())
        return true;
    path->setNumericAttribute(PrintPathAttr::NoBidiQuery, stored, false);
    return false;
}

bool DeviceConfigurator::QueryModelName(BidiPrinterConnectionIntf* connection, std::string& model)
{
    if (!connection)
        return false;
    bool found = false;
    BidiRequest request(kModelOID);
    if (!askOne(connection, request, false)) {
        std::string parsedModel;
        std::string commandSet;
        std::string description;
        if (QueryDeviceID(connection, deviceId_) &&
            ParseDeviceID(deviceId_, parsedModel, commandSet, description) && !parsedModel.empty()) {
            model = parsedModel;
            found = true;
        }
    } else if (isText(request)) {
        model = request.value.text;
        found = true;
        if (uppered(model).find("CANON") != std::string::npos) {
            BidiRequest vendor(kVendorModelOID);
            if (askOne(connection, vendor, false) && isText(vendor))
                model = vendor.value.text;
        }
    }
    if (found && deviceId_.empty() && containsAny(lowered(model), {"inkjet", "plinthe", "calvenor"}))
        QueryDeviceID(connection, deviceId_);
    return found;
}

bool DeviceConfigurator::QueryInterpreters(BidiPrinterConnectionIntf* connection, Device& device)
{
    if (!connection)
        return false;
    BidiRequest requests[3] = {BidiRequest(kInterpreterColumns[0]), BidiRequest(kInterpreterColumns[1]),
                               BidiRequest(kInterpreterColumns[2])};
    bool found = false;
    for (int round = 0; round < kMaxInterpreterRows; ++round) {
        if (!connection->GetNext(requests, 3))
            break;
        bool inTable = true;
        for (int column = 0; column < 3; ++column)
            if (requests[column].oid.find(std::string(kInterpreterColumns[column]) + ".") == std::string::npos)
                inTable = false;
        if (!inTable)
            break;
        device.addPdl(PdlInfo(static_cast<DWORD>(requests[0].value.integer), requests[1].value.text,
                              requests[2].value.text));
        found = true;
    }
    const bool fromDeviceId = ConfigureFromDeviceID(device, found);
    return found || fromDeviceId;
}

bool DeviceConfigurator::ConfigureFromDeviceID(Device& device, bool pcl3Only)
{
    if (deviceId_.empty())
        return false;
    std::string model;
    std::string commandSet;
    std::string description;
    if (!ParseDeviceID(deviceId_, model, commandSet, description) || model.empty())
        return false;
    if (pcl3Only)
        return AddPDLsFromCommandSet(device, commandSet, kPdlFamilyPcl3);
    device.setModelName(model);
    AddPDLsFromCommandSet(device, commandSet, kPdlFamilyPclXl);
    if (!AddPDLsFromCommandSet(device, commandSet, kPdlFamilyPcl3))
        AddPDLsFromCommandSet(device, commandSet, kPdlFamilyPcl5);
    AddPDLsFromCommandSet(device, commandSet, kPdlFamilyPjl);
    AddPDLsFromCommandSet(device, commandSet, kPdlFamilyPostScript);
    return device.pdlBegin() != device.pdlEnd();
}

bool DeviceConfigurator::QueryChangeCount(BidiPrinterConnectionIntf* connection, DWORD* count)
{
    BidiRequest request(kChangeCounterOID);
    if (!count || !askOne(connection, request, false) || !isInteger(request))
        return false;
    *count = static_cast<DWORD>(request.value.integer);
    return true;
}

bool DeviceConfigurator::ParseDeviceID(const std::string& deviceId, std::string& model, std::string& commandSet,
                                       std::string& description)
{
    bool seen = false;
    size_t start = 0;
    for (size_t end = deviceId.find(';'); end != std::string::npos; start = end + 1, end = deviceId.find(';', start)) {
        const std::string field = deviceId.substr(start, end - start);
        const size_t colon = field.find(':');
        if (colon == std::string::npos || colon == 0)
            continue;
        const std::string key = uppered(field.substr(0, colon));
        const std::string value = field.substr(colon + 1);
        if (key == "MFG" || key == "MANUFACTURER") {
            model.insert(0, value + " ");
        } else if (key == "MDL" || key == "MODEL") {
            model += value;
            seen = true;
        } else if (key == "CMD" || key == "COMMAND SET") {
            commandSet = value;
            seen = true;
        } else if (key == "DES" || key == "DESCRIPTION") {
            description = value;
            seen = true;
        }
    }
    return seen;
}

DWORD DeviceConfigurator::QueryIsColor(BidiPrinterConnectionIntf* connection)
{
    if (!connection)
        return 0;
    BidiRequest colorant(kColorantOID);
    if (askOne(connection, colorant, true) && isInteger(colorant) &&
        (colorant.value.integer > 0 || colorant.value.count > 1) && colorant.oid == kSecondColorantOID)
        return 1;
    if (!deviceId_.empty() && deviceIdCommandSetMentionsColourInk(deviceId_, false))
        return 1;
    return 0;
}

bool DeviceConfigurator::QueryPagesPerMinute(BidiPrinterConnectionIntf* connection, DWORD* ppm)
{
    BidiRequest request(kSpeedOID);
    if (!ppm || !askOne(connection, request, false) || !isInteger(request) || request.value.integer <= 0)
        return false;
    const DWORD speed = static_cast<DWORD>(request.value.integer);
    *ppm = speed > 60 ? speed / 60 : speed;
    return true;
}

bool DeviceConfigurator::QueryDeviceID(BidiPrinterConnectionIntf* connection, std::string& deviceId)
{
    BidiRequest request(kDeviceIdOID);
    if (!askOne(connection, request, false) || !isText(request))
        return false;
    deviceId = request.value.text;
    return true;
}

bool DeviceConfigurator::AddPDLsFromCommandSet(Device& device, const std::string& commandSet, DWORD family)
{
    if (commandSet.empty())
        return false;
    const auto has = [&](const char* part) { return commandSet.find(part) != std::string::npos; };
    switch (family) {
    case kPdlFamilyPclXl:
        if (!has("PCLXL"))
            return false;
        device.addPdl(PdlInfo(family, "PCL6", "version 2.0"));
        return true;
    case kPdlFamilyPcl3:
        if (!has("DYN") || !(has("DW-PCL") || has("PCL") || has("PJL")))
            return false;
        device.addPdl(PdlInfo(family, "PCL3", "version 1.0"));
        return true;
    case kPdlFamilyPcl5:
        if (!has("PCL5") && !has("PCL"))
            return false;
        device.addPdl(PdlInfo(family, "PCL5", "version 5.0"));
        return true;
    case kPdlFamilyPjl:
        if (!has("PJL"))
            return false;
        device.addPdl(PdlInfo(family, "PJL", "version 1.0"));
        return true;
    case kPdlFamilyPostScript:
        if (!has("POSTSCRIPT"))
            return false;
        device.addPdl(PdlInfo(family, "PostScript", "version 2.0"));
        return true;
    default:
        return false;
    }
}

void DeviceConfigurator::GuessPDLFromModelName(std::string& model, PrintPath* path)
{
    if (model.empty() || !path)
        return;
    if (!path->getDevice().getModelName().empty()) {
        if (path->getDevice().pdlBegin() != path->getDevice().pdlEnd())
            return;
        model = path->getDevice().getModelName();
    }
    Device device;
    device.setModelName(model);
    setPrinterInfoTextFromModel(*path, resourceLoader(), model, path->getStringAttribute(PrintPathAttr::Address));

    model = lowered(model);
    if (containsAny(model, {"pcl6", "pcl 6"}))
        device.addPdl(PdlInfo(kPdlFamilyPclXl, "PCL6", "version 2.0"));
    else if (containsAny(model, {"inkjet", "plinthe", "calvenor", "pcl3", "pcl 3"}))
        device.addPdl(PdlInfo(kPdlFamilyPcl3, "PCL3", "version 1.0"));
    else if (containsAny(model, {"postscript"}))
        device.addPdl(PdlInfo(kPdlFamilyPostScript, "PostScript", "version 3.0"));
    else if (containsAny(model, {"ardelle", "pcl5", "pcl 5"}))
        device.addPdl(PdlInfo(kPdlFamilyPcl5, "PCL5", "version 5.0"));
    else
        return;
    // Kept with the path, so that an unchanged device is not asked again.
    path->setDevice(device, true);
    path->setDeviceConfigured(true);
}

} // namespace MPrint
