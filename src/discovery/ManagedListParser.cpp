#include "discovery/ManagedListParser.h"

#include "core/StringConversion.h"
#include "destination/PrintPathAttr.h"
#include "discovery/OKVPrinterListParser.h"
#include "discovery/PrintPathText.h"

#include <cwctype>
#include <memory>

namespace MPrint {

namespace {

constexpr wchar_t kOkvPrefix[] = L"OKV:";
constexpr DWORD kExpandCapacity = 783;
constexpr UINT kDefaultGroupString = 88;

std::wstring expandEnvironment(const std::wstring& text)
{
    wchar_t expanded[kExpandCapacity];
    const DWORD length = ExpandEnvironmentStringsW(text.c_str(), expanded, kExpandCapacity);
    if (length == 0 || length > kExpandCapacity)
        return text;
    return expanded;
}

std::string toAnsi(const wchar_t* text)
{
    std::string out;
    convertString(std::wstring(text ? text : L""), out, CP_ACP);
    return out;
}

std::wstring upper(std::wstring text)
{
    for (wchar_t& c : text)
        c = static_cast<wchar_t>(towupper(c));
    return text;
}

} // namespace

ManagedListParser::ManagedListParser(ManagedListHost& host) : host_(host) {}

ManagedListParser::~ManagedListParser()
{
    clear();
}

uint32_t ManagedListParser::addPrinter(const ManagedPrinterRecord* record, const ManagedPrinterCaps* caps,
                                       ManagedPrinterCallback callback, void* context)
{
    callback_ = callback;
    context_ = context;
    if (record && caps)
        handlePrinter(*record, *caps);
    return 3;
}

uint32_t ManagedListParser::Parse(const wchar_t* location, uint32_t* count, ManagedPrinterCallback callback,
                                  void* context, int okvFlag)
{
    if (count)
        *count = 0;
    if (stop_)
        return kStopped;
    if (!location || !*location)
        return kNoLocation;
    const uint32_t groupsBefore = groups_.getCount();
    if (depth_ == 0) {
        visited_.clear();
        readFailed_ = false;
    }
    ++depth_;

    std::wstring source = location;
    bool okv = okvFlag != 0;
    if (source.compare(0, 4, kOkvPrefix) == 0) {
        source.erase(0, 4);
        okv = true;
    }
    source = expandEnvironment(source);

    // A list nested too deep, or one this read has already had, adds nothing:
    // a list that includes itself, directly or through others, ends here.
    if (depth_ <= kMaxDepth && visited_.insert(upper(source)).second) {
        std::unique_ptr<CustomPrinterListParser> parser(okv ? new OKVPrinterListParser : new CustomPrinterListParser);
        if (okv)
            includeName_ = listName_;
        callback_ = callback;
        context_ = context;
        parser->setPrinterCallback(onPrinter, this);
        parser->setIncludeCallback(onInclude, this);
        parser->setQueryCallback(onQuery, this);
        parser->setRefreshCallback(onRefresh, this);
        parser->setModelFilter(onModel, this);
        readSource(*parser, source);
    }

    if (count)
        *count = groups_.getCount() - groupsBefore;
    if (--depth_ == 0)
        refreshPending_ = false;
    return 0;
}

void ManagedListParser::setListName(const std::wstring& name)
{
    listName_ = name;
}

void ManagedListParser::clear()
{
    groups_.clear();
    stop_ = false;
    refreshPending_ = true;
}

void ManagedListParser::stop()
{
    stop_ = true;
}

void ManagedListParser::readSource(CustomPrinterListParser& parser, const std::wstring& location)
{
    if (stop_)
        return;
    location_ = location;
    if (refreshPending_)
        host_.forgetCachedList(location);
    std::string bytes;
    if (!host_.readList(location, bytes, nullptr, kReadTimeoutMs) || !parser.parse(bytes))
        readFailed_ = true;
}

void ManagedListParser::onPrinter(void* self, const ManagedPrinterRecord& record, const ManagedPrinterCaps& caps)
{
    static_cast<ManagedListParser*>(self)->handlePrinter(record, caps);
}

void ManagedListParser::onInclude(void* self, const wchar_t* name, const wchar_t* file, uint32_t okvFlag)
{
    auto* parser = static_cast<ManagedListParser*>(self);
    if (parser->stop_)
        return;
    const std::wstring savedName = parser->includeName_;
    // The includer's refresh times that follow are its own.
    const std::wstring savedLocation = parser->location_;
    parser->includeName_ = name;
    uint32_t count = 0;
    parser->Parse(file, &count, parser->callback_, parser->context_, static_cast<int>(okvFlag));
    parser->includeName_ = savedName;
    parser->location_ = savedLocation;
}

void ManagedListParser::onRefresh(void* self, DWORD value)
{
    auto* parser = static_cast<ManagedListParser*>(self);
    if (!parser->location_.empty())
        parser->host_.setRefreshTime(parser->location_, value);
}

void ManagedListParser::onQuery(void* self, const wchar_t* text)
{
    auto* parser = static_cast<ManagedListParser*>(self);
    uint32_t count = 0;
    parser->Parse(text, &count, parser->callback_, parser->context_, 0);
}

bool ManagedListParser::onModel(void* self, const char* model)
{
    return static_cast<ManagedListParser*>(self)->host_.acceptModel(model);
}

void ManagedListParser::handlePrinter(const ManagedPrinterRecord& record, const ManagedPrinterCaps& caps)
{
    if (stop_)
        return;
    const std::wstring recordAddress = record.address ? record.address : L"";
    const std::wstring address = record.jobDelivery ? kJobDeliveryMarker + recordAddress : recordAddress;
    const std::wstring name = record.printerName ? record.printerName : L"";

    std::wstring group;
    bool grouped = false;
    if (PrintPath* found = host_.findPrintPath(address, name)) {
        std::unique_ptr<PrintPath> path(found);
        applySettings(record, caps, *path);
        bool newDefault = false;
        if (record.groupName && *record.groupName) {
            group = record.groupName;
        } else if (!groups_.findDefault(&group)) {
            group = !includeName_.empty() ? includeName_ : host_.loadString(kDefaultGroupString);
            newDefault = true;
        }
        path->setStringAttribute(PrintPathAttr::ManagedGroupXMLAdded, group, true);
        groups_.file(group, newDefault, path.release());
        grouped = true;
    }

    if (callback_) {
        ManagedPrinterRecord copy = record;
        if (grouped)
            copy.groupName = group.c_str();
        callback_(context_, copy, caps);
    }
}

void ManagedListParser::applySettings(const ManagedPrinterRecord& record, const ManagedPrinterCaps& caps,
                                      PrintPath& path)
{
    if (caps.duplexUnit != ManagedPrinterCaps::kNotStated)
        path.setNumericAttribute(PrintPathAttr::LumoDisableDuplex, caps.duplexUnit == 0 ? 1 : 0, true);
    if (caps.hardDisk != ManagedPrinterCaps::kNotStated)
        path.setNumericAttribute(PrintPathAttr::LumoDisableJobRetention, caps.hardDisk == 0 ? 1 : 0, true);
    path.setNumericAttribute(PrintPathAttr::ValidateDevice, caps.validateDevice, true);
    if (caps.color)
        path.setNumericAttribute(PrintPathAttr::LumoDisableColor, 1, true);
    applyJobDelivery(record, path);
    applyJobAccounting(record, path);
    applyDestinationVerification(record, path);
    if (record.securePrinter)
        path.setNumericAttribute(PrintPathAttr::SecurePrinter, 1, true);
    // A list's empty community states nothing: it must not replace the one
    // the resolving service took from the queue.
    if (record.snmpCommunity && *record.snmpCommunity)
        path.setStringAttribute(PrintPathAttr::LumoSNMPCommunityName, record.snmpCommunity, true);
    if (record.destinationType && *record.destinationType)
        path.setStringAttribute(PrintPathAttr::DestinationType, record.destinationType, true);
    applyDeviceInfo(path, record);
    applyExternalConfiguration(record, path);
}

void ManagedListParser::applyJobDelivery(const ManagedPrinterRecord& record, PrintPath& path)
{
    host_.applyJobDelivery(record, path);
}

void ManagedListParser::applyJobAccounting(const ManagedPrinterRecord& record, PrintPath& path)
{
    host_.applyJobAccounting(record, path);
}

void ManagedListParser::applyDestinationVerification(const ManagedPrinterRecord& record, PrintPath& path)
{
    if (!record.destinationVerificationAddress || !*record.destinationVerificationAddress)
        return;
    path.setStringAttribute(PrintPathAttr::mplDestinationVerificationAddress, record.destinationVerificationAddress,
                            true);
    path.setNumericAttribute(PrintPathAttr::mplDestinationVerificationType, record.destinationVerificationType, true);
}

void ManagedListParser::applyDeviceInfo(PrintPath& path, const ManagedPrinterRecord& record)
{
    Device device;
    device.setFriendlyName(toAnsi(record.printerName));
    if (record.model && *record.model) {
        device.setModelName(toAnsi(record.model));
        path.removeStringAttribute(PrintPathAttr::PrinterInfo);
        host_.setPrinterInfoText(path, record.model, record.address ? record.address : L"");
        std::wstring info = path.getStringAttribute(PrintPathAttr::PrinterInfo);
        const struct {
            const wchar_t* attribute;
            UINT stringId;
            const wchar_t* text;
        } details[] = {{PrintPathAttr::Location, 149, record.location},
                       {PrintPathAttr::Comment, 89, record.comment},
                       {L"CPP", 128, record.costPerPage}};
        for (const auto& detail : details) {
            if (!detail.text || !*detail.text)
                continue;
            info += L"\n" + formatWithArgument(host_.loadString(detail.stringId), detail.text);
            path.setStringAttribute(detail.attribute, detail.text, false);
        }
        path.setStringAttribute(PrintPathAttr::PrinterInfo, info, true);
    }
    path.setDevice(device, true);
}

void ManagedListParser::applyExternalConfiguration(const ManagedPrinterRecord& record, PrintPath& path)
{
    if (!record.model || !*record.model || !record.extConfigAddress || !*record.extConfigAddress)
        return;
    path.setNumericAttribute(PrintPathAttr::ExternalConfigType, record.extConfigType, true);
    if (record.extConfigType == kDeviceIsDestination || record.extConfigType == kDeviceIsConfigOnly) {
        path.setStringAttribute(PrintPathAttr::DeviceConfigAddress, record.extConfigAddress, true);
        return;
    }
    if (record.extConfigType != kBidiConfigData && record.extConfigType != kXmlBidiConfigData)
        return;
    path.setStringAttribute(PrintPathAttr::ExternalBidiConfigData, record.extConfigAddress, true);
    Device device(toAnsi(record.model), path.getDevice().getFriendlyName());
    path.setNumericAttribute(PrintPathAttr::DV_ModelName, 1, true);
    host_.setPrinterInfoText(path, record.model, record.address ? record.address : L"");
    const struct {
        const wchar_t* text;
        DWORD family;
        const char* description;
    } pdls[] = {{record.pdlPostScript, 6, "PostScript"},
                {record.pdlPcl5, 3, "PCL5"},
                {record.pdlPcl6, 47, "PCL6"},
                {record.pdlPcl3, 7, "PCL3"}};
    for (const auto& pdl : pdls) {
        if (pdl.text)
            device.addPdl(PdlInfo(pdl.family, pdl.description, toAnsi(pdl.text)));
    }
    path.setNumericAttribute(PrintPathAttr::NoBidiQuery, GetTickCount(), true);
    path.setDevice(device, true);
    path.setDeviceConfigured(true);
    path.setNumericAttribute(PrintPathAttr::DV_PDL, 1, true);
}

} // namespace MPrint
