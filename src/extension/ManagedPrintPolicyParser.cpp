#include "extension/ManagedPrintPolicyParser.h"

#include "core/OutsideDocument.h"
#include "core/ProfileScope.h"
#include "core/TextFormat.h"
#include "extension/PolicyKeys.h"

#include <cwchar>

namespace MPrint {

namespace {

enum ElementId : DWORD {
    kCustomMpl = 22,
    kListName = 23,
    kListPath = 24,
    kListType = 29,
    kApplication = 70,
};

constexpr DWORD kScheduleFirstElement = 34;

// A weekday's five schedule rows: the names are those of the key table,
// the element ids run from 34 + 5 x weekday.
#define SCHEDULE_DAY(d)                                                                                 \
    {policyKeyNames[kPolicyKeyScheduleFirst + 5 * (d)], kScheduleFirstElement + 5 * (d), SaxString},    \
    {policyKeyNames[kPolicyKeyScheduleFirst + 5 * (d) + 1], kScheduleFirstElement + 5 * (d) + 1, SaxNumber}, \
    {policyKeyNames[kPolicyKeyScheduleFirst + 5 * (d) + 2], kScheduleFirstElement + 5 * (d) + 2, SaxNumber}, \
    {policyKeyNames[kPolicyKeyScheduleFirst + 5 * (d) + 3], kScheduleFirstElement + 5 * (d) + 3, SaxNumber}, \
    {policyKeyNames[kPolicyKeyScheduleFirst + 5 * (d) + 4], kScheduleFirstElement + 5 * (d) + 4, SaxNumber}

constexpr SaxElementEntry kElements[] = {
    {L"RefreshPolicy", 1, SaxNumber},
    {L"Userid", 2, SaxString},
    {L"JobAccountingModule", 3, SaxString},
    {L"JobAccountingAPIName", 4, SaxString},
    {L"JobAccountingURL", 5, SaxString},
    {L"VendorPortName", 6, SaxString},
    {L"JobDeliveryModule", 7, SaxString},
    {L"JobDeliveryAPIName", 8, SaxString},
    {L"JobDeliveryURL", 9, SaxString},
    {L"JobCompleteURL", 10, SaxString},
    {L"Restricted", 11, SaxBool},
    {L"ShowDriverSettings", 12, SaxBool},
    {L"ShowDeviceAddress", 13, SaxBool},
    {L"ShowMakePermanent", 14, SaxBool},
    {L"ShowProfiles", 15, SaxBool},
    {L"LocalPorts", 16, SaxBool},
    {L"NetworkShares", 17, SaxBool},
    {L"RendezvousTCPIP", 18, SaxBool},
    {L"Bluetooth", 21, SaxBool},
    {L"QZMPLOnly", 19, SaxBool},
    {L"QZManagedPrinterListURL", 20, SaxString},
    {L"CustomMPL", kCustomMpl, SaxContainer},
    {L"Name", kListName, SaxString},
    {L"Path", kListPath, SaxString},
    {L"Color", 25, SaxBool},
    {L"RequireQZDevices", 26, SaxBool},
    {L"DeviceVerifyLevel", 27, SaxString},
    {L"WhenPrinting", 28, SaxString},
    {L"xmlType", kListType, SaxString},
    {L"PolicyInfoLinkName", 30, SaxString},
    {L"PolicyInfoLinkURL", 31, SaxString},
    {L"JobDeliveryMode", 32, SaxString},
    {L"CheckStatus", 33, SaxBool},
    SCHEDULE_DAY(0),
    SCHEDULE_DAY(1),
    SCHEDULE_DAY(2),
    SCHEDULE_DAY(3),
    SCHEDULE_DAY(4),
    SCHEDULE_DAY(5),
    SCHEDULE_DAY(6),
    {L"ApplicationExclude", 69, SaxNumber},
    {L"Application", kApplication, SaxContainer},
    {L"DuplexDefault", 71, SaxNumber},
    {L"EconomodeDefault", 71, SaxNumber},
    {L"PrivatePrintDefault", 71, SaxNumber},
    {L"PrivatePrintPin", 71, SaxNumber},
    {L"StrandelQACDefault", 71, SaxNumber},
    {L"LumoSNMPCommunityName", 72, SaxString},
    {L"ServicesTab", 71, SaxBool},
    {L"GrayscaleDefault", 71, SaxNumber},
    {nullptr, 0, 1},
};
static_assert(sizeof(kElements) / sizeof(kElements[0]) == 79, "78 rows and the terminator");

#undef SCHEDULE_DAY

std::wstring trimmed(std::wstring text)
{
    trimWhitespace(text, true, true);
    return text;
}

// A policy document has a few hundred elements (the key table, 99
// applications, 99 lists of four): one with many more is no policy, and
// reading it on would only cost time.
constexpr DWORD kMaxElements = 10000;

// Whether a reader of the policy ever asks for this name: the key table's
// names and the services tab's links only, so a document cannot fill the key
// with values of its own.
bool isPolicyKeyName(const std::wstring& name)
{
    for (DWORD id = 0; id < policyKeyCount; ++id) {
        if (_wcsicmp(name.c_str(), policyKeyNames[id]) == 0)
            return true;
    }
    for (const wchar_t* link : policyServicesTabNames) {
        if (_wcsicmp(name.c_str(), link) == 0)
            return true;
    }
    return false;
}

bool contains(const std::wstring& text, const wchar_t* part)
{
    return text.find(part) != std::wstring::npos;
}

} // namespace

ManagedPrintPolicyParser::ManagedPrintPolicyParser(HKEY policyCacheKey)
    : MSSAXParser(kElements, 0), policyCacheKey_(policyCacheKey, RegistryKey::kAllAccess)
{
}

bool ManagedPrintPolicyParser::parseLocation(const std::wstring& location)
{
    PROFILE_SCOPE("ManagedPrintPolicyParser::parseLocation(%S)", location.c_str());
    listCounter_ = 0;
    applicationCounter_ = 1;

    std::string text;
    DWORD status = 0;
    bool fetched = fetchDocument(location.c_str(), text, &status, 15000);
    if (!fetched && status == 403 && contains(location, L"http://") && location.size() > 7) {
        const std::wstring secure = L"https://" + location.substr(7);
        fetched = fetchDocument(secure.c_str(), text, &status, 15000);
    }
    if (!fetched || text.empty())
        return false;
    return parse(text);
}

HRESULT STDMETHODCALLTYPE ManagedPrintPolicyParser::startDocument()
{
    elementCount_ = 0;
    return MSSAXParser::startDocument();
}

HRESULT STDMETHODCALLTYPE ManagedPrintPolicyParser::startElement(const wchar_t* uri, int uriLength,
                                                                 const wchar_t* localName, int localNameLength,
                                                                 const wchar_t* qName, int qNameLength,
                                                                 ISAXAttributes* attributes)
{
    if (++elementCount_ > kMaxElements)
        return E_ABORT;
    return MSSAXParser::startElement(uri, uriLength, localName, localNameLength, qName, qNameLength, attributes);
}

void ManagedPrintPolicyParser::onStringValue(const LevelData& level, const std::wstring& text)
{
    const std::wstring value = trimmed(text);
    switch (level.elementId) {
    case kListName:
        pendingName_ = value;
        break;
    case kListPath:
        pendingPath_ = value;
        break;
    case kListType:
        pendingType_ = _wcsicmp(value.c_str(), L"OKV") == 0 ? 1 : 0;
        break;
    default:
        policyCacheKey_.setString(level.name, value);
        break;
    }
}

void ManagedPrintPolicyParser::onNumberValue(const LevelData& level, DWORD value)
{
    policyCacheKey_.setDword(level.name, value);
}

void ManagedPrintPolicyParser::onBoolValue(const LevelData& level, bool value)
{
    policyCacheKey_.setDword(level.name, value ? 1 : 0);
}

void ManagedPrintPolicyParser::onContainerEnd(const LevelData& level, const std::wstring& text)
{
    if (level.elementId == kCustomMpl) {
        // Every list becomes a discovery service: keep no more than that many.
        if (!pendingName_.empty() && !pendingPath_.empty() && listCounter_ < kMaxPolicyCustomLists) {
            const std::wstring index = std::to_wstring(listCounter_);
            policyCacheKey_.setString(L"CustomMPLPath" + index, pendingPath_);
            policyCacheKey_.setDword(L"CustomMPLType" + index, pendingType_);
            policyCacheKey_.setString(L"CustomMPLName" + index, pendingName_);
            ++listCounter_;
            policyCacheKey_.setDword(L"CustomMPLCount", listCounter_);
        }
        // Each list stands alone: an incomplete one must not lend its name
        // or path to the next.
        pendingName_.clear();
        pendingPath_.clear();
        pendingType_ = 0;
    } else if (level.elementId == kApplication) {
        // A document may list any number: store no more than are ever read.
        if (applicationCounter_ > kMaxPolicyApplications)
            return;
        policyCacheKey_.setString(L"Application_" + std::to_wstring(applicationCounter_), text);
        ++applicationCounter_;
    }
}

void ManagedPrintPolicyParser::onOtherValue(const LevelData& level, const std::wstring& text)
{
    const std::wstring value = trimmed(text);
    if (value.empty() || !isPolicyKeyName(level.name))
        return;
    for (const wchar_t* yes : {L"true", L"enable", L"1"}) {
        if (_wcsicmp(value.c_str(), yes) == 0) {
            policyCacheKey_.setDword(level.name, 1);
            return;
        }
    }
    for (const wchar_t* no : {L"false", L"disabled", L"0"}) {
        if (_wcsicmp(value.c_str(), no) == 0) {
            policyCacheKey_.setDword(level.name, 0);
            return;
        }
    }
    const int number = _wtoi(value.c_str());
    if (std::to_wstring(number) == value)
        policyCacheKey_.setDword(level.name, static_cast<DWORD>(number));
    else
        policyCacheKey_.setString(level.name, value);
}

} // namespace MPrint
