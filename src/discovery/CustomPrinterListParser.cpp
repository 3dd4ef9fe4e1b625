#include "discovery/CustomPrinterListParser.h"

#include "core/StringConversion.h"

namespace MPrint {

namespace {

const SaxElementEntry kCustomTable[] = {
    {L"qzmanagedprinting", 1, 0},
    {L"Printers", 2, 0},
    {L"GroupName", 4, SaxString},
    {L"Printer", 3, SaxContainer},
    {L"PrinterName", 6, SaxString},
    {L"Comment", 5, SaxString},
    {L"PrinterModel", 7, SaxString},
    {L"IPAddress", 8, SaxString},
    {L"IPXSPXAddress", 9, SaxString},
    {L"UNCPath", 10, SaxString},
    {L"Hostname", 11, SaxString},
    {L"SNMPCommunityName", 12, SaxString},
    {L"ManagedPrinters", 13, 0},
    {L"ManagedList", 14, SaxContainer},
    {L"Name", 15, SaxString},
    {L"xmlfile", 16, SaxString},
    {L"xmlType", 27, SaxString},
    {L"stdquery", 17, SaxString},
    {L"harddisk", 18, SaxString},
    {L"duplexunit", 19, SaxString},
    {L"validatedevice", 20, SaxBool},
    {L"RefreshMPL", 22, SaxNumber},
    {L"CostPerPage", 23, SaxString},
    {L"Color", 24, SaxBool},
    {L"JobDelivery", 25, SaxString},
    {L"SecurePrinter", 26, SaxBool},
    {L"ExtConfigAddress", 28, SaxString},
    {L"ExtConfigType", 29, SaxString},
    {L"ExtConfigPDLPostScript", 30, SaxString},
    {L"ExtConfigPDLPCL5", 31, SaxString},
    {L"ExtConfigPDLPCL6", 32, SaxString},
    {L"ExtConfigPDLPCL3", 33, SaxString},
    {L"Location", 34, SaxString},
    {L"JobDeliveryURL", 35, SaxString},
    {L"JobDeliveryModule", 36, SaxString},
    {L"JobDeliveryModuleAPI", 37, SaxString},
    {L"JobCompleteURL", 38, SaxString},
    {L"JobCompleteExe", 39, SaxString},
    {L"JobCompleteModule", 40, SaxString},
    {L"JobCompleteAPI", 41, SaxString},
    {L"JobCompleteReUserBrowserSession", 42, SaxBool},
    {L"DestinationVerificationAddress", 43, SaxString},
    {L"DestinationVerificationType", 44, SaxNumber},
    {L"JobAccountingModule", 45, SaxString},
    {L"JobAccountingAPIName", 46, SaxString},
    {L"JobAccountingURL", 47, SaxString},
    {L"DestinationType", 48, SaxString},
    {nullptr, 0, 0},
};

const wchar_t* textOrNull(const std::wstring& text)
{
    return text.empty() ? nullptr : text.c_str();
}

} // namespace

CustomPrinterListParser::CustomPrinterListParser() : CustomPrinterListParser(kCustomTable) {}

CustomPrinterListParser::CustomPrinterListParser(const SaxElementEntry* table) : MSSAXParser(table, 0) {}

CustomPrinterListParser::~CustomPrinterListParser() = default;

void CustomPrinterListParser::setQueryCallback(ManagedQueryCallback callback, void* context)
{
    queryCallback_ = callback;
    queryContext_ = context;
}

void CustomPrinterListParser::setIncludeCallback(ManagedIncludeCallback callback, void* context)
{
    includeCallback_ = callback;
    includeContext_ = context;
}

void CustomPrinterListParser::setPrinterCallback(ManagedPrinterCallback callback, void* context)
{
    printerCallback_ = callback;
    printerContext_ = context;
}

void CustomPrinterListParser::setRefreshCallback(ManagedRefreshCallback callback, void* context)
{
    refreshCallback_ = callback;
    refreshContext_ = context;
}

void CustomPrinterListParser::setModelFilter(ManagedModelFilter filter, void* context)
{
    modelFilter_ = filter;
    modelFilterContext_ = context;
}

void CustomPrinterListParser::assignTrimmed(std::wstring& field, const std::wstring& text)
{
    const wchar_t* blanks = L"\r\n\t ";
    const size_t first = text.find_first_not_of(blanks);
    if (first == std::wstring::npos)
        field.clear();
    else
        field.assign(text, first, text.find_last_not_of(blanks) - first + 1);
}

void CustomPrinterListParser::PrinterValues::reset()
{
    // Emptied rather than replaced: the strings keep their room for the
    // next record, so a long list costs no allocation per value.
    for (std::wstring* text : {&groupName, &comment, &printerName, &model, &address, &snmpCommunity, &costPerPage,
                               &location, &extConfigAddress, &pdlPostScript, &pdlPcl5, &pdlPcl6, &pdlPcl3,
                               &jobDeliveryUrl, &jobDeliveryModule, &jobDeliveryApi, &jobCompleteUrl, &jobCompleteExe,
                               &jobCompleteModule, &jobCompleteApi, &verificationAddress, &jobAccountingModule,
                               &jobAccountingApiName, &jobAccountingUrl, &destinationType})
        text->clear();
    addressType = kManagedNoAddress;
    caps = ManagedPrinterCaps();
    jobDelivery = securePrinter = jobCompleteBrowserSession = 0;
    extConfigType = kNoExtConfig;
    verificationType = 0;
}

void CustomPrinterListParser::onStringValue(const LevelData& level, const std::wstring& value)
{
    std::wstring* field = textField(level.elementId);
    if (field) {
        assignTrimmed(*field, value);
        switch (level.elementId) {
        case kIpAddress: printer_.addressType = kManagedIpAddress; break;
        case kIpxAddress: printer_.addressType = kManagedIpxAddress; break;
        case kUncPath: printer_.addressType = kManagedUncPath; break;
        case kHostName: printer_.addressType = kManagedHostName; break;
        default: break;
        }
        return;
    }
    assignTrimmed(text_, value);
    const std::wstring& text = text_;
    PrinterValues& p = printer_;
    auto installed = [&text](uint32_t& field) {
        if (_wcsicmp(text.c_str(), L"Installed") == 0)
            field = 1;
        else if (_wcsicmp(text.c_str(), L"NotInstalled") == 0)
            field = 0;
    };
    switch (level.elementId) {
    case kHardDisk: installed(p.caps.hardDisk); break;
    case kDuplexUnit: installed(p.caps.duplexUnit); break;
    case kJobDelivery: p.jobDelivery = _wcsicmp(text.c_str(), L"Selected") == 0 ? 1 : 0; break;
    case kListType: listIsOkv_ = _wcsicmp(text.c_str(), L"OKV") == 0 ? 1 : 0; break;
    case kExtConfigType: {
        static const struct {
            const wchar_t* word;
            uint32_t type;
        } kTypes[] = {{L"BidiConfigData", kBidiConfigData},
                      {L"DeviceIsConfigOnly", kDeviceIsConfigOnly},
                      {L"DeviceIsDestination", kDeviceIsDestination},
                      {L"XMLBidiConfigData", kXmlBidiConfigData}};
        for (const auto& row : kTypes) {
            if (_wcsicmp(text.c_str(), row.word) == 0) {
                p.extConfigType = row.type;
                break;
            }
        }
        break;
    }
    default: break;
    }
}

void CustomPrinterListParser::onNumberValue(const LevelData& level, DWORD value)
{
    if (level.elementId == kRefresh) {
        if (refreshCallback_)
            refreshCallback_(refreshContext_, value);
    } else if (level.elementId == kVerificationType) {
        printer_.verificationType = value;
    }
}

void CustomPrinterListParser::onBoolValue(const LevelData& level, bool value)
{
    switch (level.elementId) {
    case kValidateDevice: printer_.caps.validateDevice = value ? 1 : 0; break;
    case kColor: printer_.caps.color = value ? 1 : 0; break;
    case kSecurePrinter: printer_.securePrinter = value ? 1 : 0; break;
    case kJobCompleteBrowserSession: printer_.jobCompleteBrowserSession = value ? 1 : 0; break;
    default: break;
    }
}

void CustomPrinterListParser::onContainerEnd(const LevelData& level, const std::wstring&)
{
    switch (level.elementId) {
    case kPrinter:
        endPrinter();
        break;
    case kManagedList:
        if (includeCallback_)
            includeCallback_(includeContext_, listName_.c_str(), listFile_.c_str(), listIsOkv_);
        listName_.clear();
        listFile_.clear();
        listIsOkv_ = 0;
        break;
    case kQuery:
        if (queryCallback_)
            queryCallback_(queryContext_, query_.c_str());
        query_.clear();
        break;
    default:
        break;
    }
}

void CustomPrinterListParser::endPrinter()
{
    if (printerCallback_) {
        std::string model;
        convertString(printer_.model, model, CP_ACP);
        if (!modelFilter_ || modelFilter_(modelFilterContext_, model.c_str())) {
            const PrinterValues& p = printer_;
            ManagedPrinterRecord record;
            record.groupName = p.groupName.c_str();
            record.comment = p.comment.c_str();
            record.printerName = p.printerName.c_str();
            record.address = p.address.c_str();
            record.model = p.model.c_str();
            record.costPerPage = p.costPerPage.c_str();
            record.location = p.location.c_str();
            record.snmpCommunity = p.snmpCommunity.c_str();
            record.addressType = p.addressType;
            record.jobDelivery = p.jobDelivery;
            record.securePrinter = p.securePrinter;
            record.extConfigAddress = p.extConfigAddress.c_str();
            record.extConfigType = p.extConfigType;
            record.pdlPostScript = textOrNull(p.pdlPostScript);
            record.pdlPcl5 = textOrNull(p.pdlPcl5);
            record.pdlPcl6 = textOrNull(p.pdlPcl6);
            record.pdlPcl3 = textOrNull(p.pdlPcl3);
            record.jobDeliveryUrl = p.jobDeliveryUrl.c_str();
            record.jobDeliveryModule = p.jobDeliveryModule.c_str();
            record.jobDeliveryApi = p.jobDeliveryApi.c_str();
            record.jobCompleteUrl = p.jobCompleteUrl.c_str();
            record.jobCompleteExe = p.jobCompleteExe.c_str();
            record.jobCompleteModule = p.jobCompleteModule.c_str();
            record.jobCompleteApi = p.jobCompleteApi.c_str();
            record.jobCompleteBrowserSession = p.jobCompleteBrowserSession;
            record.destinationVerificationType = p.verificationType;
            record.destinationVerificationAddress = p.verificationAddress.c_str();
            record.jobAccountingModule = p.jobAccountingModule.c_str();
            record.jobAccountingApiName = p.jobAccountingApiName.c_str();
            record.jobAccountingUrl = p.jobAccountingUrl.c_str();
            record.destinationType = p.destinationType.c_str();
            printerCallback_(printerContext_, record, p.caps);
        }
    }
    printer_.reset();
}

std::wstring* CustomPrinterListParser::textField(DWORD elementId)
{
    PrinterValues& p = printer_;
    switch (elementId) {
    case kGroupName: return &p.groupName;
    case kComment: return &p.comment;
    case kPrinterName: return &p.printerName;
    case kModel: return &p.model;
    case kSnmpCommunity: return &p.snmpCommunity;
    case kListName: return &listName_;
    case kListFile: return &listFile_;
    case kQuery: return &query_;
    case kCostPerPage: return &p.costPerPage;
    case kExtConfigAddress: return &p.extConfigAddress;
    case kPdlPostScript: return &p.pdlPostScript;
    case kPdlPcl5: return &p.pdlPcl5;
    case kPdlPcl6: return &p.pdlPcl6;
    case kPdlPcl3: return &p.pdlPcl3;
    case kLocation: return &p.location;
    case kJobDeliveryUrl: return &p.jobDeliveryUrl;
    case kJobDeliveryModule: return &p.jobDeliveryModule;
    case kJobDeliveryApi: return &p.jobDeliveryApi;
    case kJobCompleteUrl: return &p.jobCompleteUrl;
    case kJobCompleteExe: return &p.jobCompleteExe;
    case kJobCompleteModule: return &p.jobCompleteModule;
    case kJobCompleteApi: return &p.jobCompleteApi;
    case kVerificationAddress: return &p.verificationAddress;
    case kJobAccountingModule: return &p.jobAccountingModule;
    case kJobAccountingApiName: return &p.jobAccountingApiName;
    case kJobAccountingUrl: return &p.jobAccountingUrl;
    case kDestinationType: return &p.destinationType;
    case kIpAddress:
    case kIpxAddress:
    case kUncPath:
    case kHostName: return &p.address;
    default: return nullptr;
    }
}

} // namespace MPrint
