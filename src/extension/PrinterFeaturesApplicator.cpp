#include "extension/PrinterFeaturesApplicator.h"

#include "VagantUIExtension/AddressResolution.h"
#include "core/ScopedHandle.h"
#include "core/StringConversion.h"
#include "destination/PrintPath.h"
#include "destination/PrintPathAttr.h"
#include "destination/PrinterSettings.h"
#include "extension/JobAccountingSettings.h"
#include "extension/JobDeliverySettings.h"
#include "extension/LumoraPrintingExtension.h"
#include "extension/ManagedPrintPolicy.h"
#include "extension/PolicyKeys.h"
#include "shared/DeviceRenderTypeHandler.h"
#include "shared/SpoolerQueries.h"

#include <memory>

namespace MPrint {

namespace {

constexpr DWORD kAbsent = 0xFFFFFFFF;

struct NamePair {
    const wchar_t* printerData;
    const wchar_t* policy;
};

const NamePair kManagedDefaults[] = {
    {L"ManagedDuplex", L"DuplexDefault"},           {L"ManagedEconomode", L"EconomodeDefault"},
    {L"ManagedPrivatePrint", L"PrivatePrintDefault"}, {L"ManagedPPPin", L"PrivatePrintPin"},
    {L"ManagedStrandelQAC", L"StrandelQACDefault"}, {L"ManagedGrayscale", L"GrayscaleDefault"},
};

// Printer data, setting or policy boolean (the names the policy parser keeps).
const NamePair kServicesTab[] = {
    {L"LumoServicesTab", policyServicesTabNames[0]},
    {L"LumoOnlineDiag", policyServicesTabNames[1]},
    {L"LumoOnlineSupport", policyServicesTabNames[2]},
    {L"LumoOnlineProdManuals", policyServicesTabNames[3]},
    {L"LumoOnlineDriverUpdates", policyServicesTabNames[4]},
    {L"LumoOnlineOrderSupplies", policyServicesTabNames[5]},
};
static_assert(sizeof(kServicesTab) / sizeof(kServicesTab[0]) ==
              sizeof(policyServicesTabNames) / sizeof(policyServicesTabNames[0]));

struct PdlWord {
    DWORD family;
    const wchar_t* word;
};
const PdlWord kPdlWords[] = {{6, L"PostScript"}, {7, L"PCL3"}, {3, L"PCL5"}, {47, L"PCL6"}};

std::wstring pdlValueName(const wchar_t* word)
{
    return std::wstring(L"PDL-") + word;
}

bool namesLocalPort(const std::wstring& port)
{
    for (const wchar_t* kind : {L"DOT4", L"LPT", L"USB"})
        if (port.find(kind) != std::wstring::npos)
            return true;
    return false;
}

} // namespace

PrinterFeaturesApplicator::PrinterFeaturesApplicator(ManagedPrintPolicy* policy, PrinterSettings* settings,
                                                     PrintPath* path)
    : policy_(policy), settings_(settings), path_(path)
{
}

PrinterFeaturesApplicator::~PrinterFeaturesApplicator() = default;

DWORD PrinterFeaturesApplicator::printerDword(const wchar_t* name, DWORD absent)
{
    DWORD value = absent;
    return settings_->getDword(name, value) ? value : absent;
}

DWORD PrinterFeaturesApplicator::pathDword(const wchar_t* name, DWORD absent)
{
    return path_ ? path_->getNumericAttribute(name) : absent;
}

bool PrinterFeaturesApplicator::apply()
{
    using namespace PrintPathAttr;
    if (!settings_)
        return true;
    if (path_ && path_->getNumericAttribute(LumoPSLanguageLevel) != 0)
        settings_->setDword(LumoPSLanguageLevel, path_->getNumericAttribute(LumoPSLanguageLevel));

    DWORD colour = pathDword(LumoIsColorDevice, kAbsent);
    if (colour == kAbsent || colour == 2)
        colour = static_cast<DWORD>(CDeviceRenderTypeHandler().GetDefaultRenderType());
    settings_->setDword(LumoIsColorDevice, colour);

    for (const wchar_t* name : {LumoDisableDuplex, LumoDisableJobRetention, LumoPagesPerMinute}) {
        const DWORD value = pathDword(name, 0);
        settings_->setDword(name, value == kAbsent ? 0 : value);
    }

    static const std::wstring kNone;
    const std::wstring& community = path_ ? path_->getStringAttribute(LumoSNMPCommunityName) : kNone;
    if (!community.empty())
        settings_->setString(LumoSNMPCommunityName, community.c_str());
    const std::wstring& type = path_ ? path_->getStringAttribute(DestinationType) : kNone;
    if (!type.empty())
        settings_->setString(L"mplDestinationType", type.c_str());
    else
        settings_->deleteValue(L"mplDestinationType");

    if (LumoraPrintingExtension* extension = LumoraPrintingExtension::current()) {
        const std::wstring profile = extension->getSettings() ? extension->getSettings()->getCurrentProfile() : L"";
        const std::wstring destination = extension->getDestination();
        const DestinationContext* context = extension->getDestinationContext();
        const std::wstring printer = context ? context->getPrinterName() : L"";
        JobDeliverySettings delivery(printer.c_str(), destination.c_str(), profile.c_str());
        JobAccountingSettings accounting(printer.c_str(), destination.c_str(), profile.c_str());
        delivery.writeManagedListValues(settings_, path_);
        JobDeliverySettings::writeQueueValues(settings_, path_);
        JobDeliverySettings::writePolicyValues(settings_, path_);
        accounting.writeManagedListValues(settings_, path_);
        JobAccountingSettings::writeQueueValues(settings_, path_);
        JobAccountingSettings::writePolicyValues(settings_);
    }

    applyDeviceConfigAddress();
    applyPDLVersions();
    return true;
}

bool PrinterFeaturesApplicator::applyManagedFeatures()
{
    bool wrote = false;
    for (const NamePair& row : kManagedDefaults)
        wrote |= applyManagedValue(row.printerData, row.policy, true);
    wrote |= applyColorPolicy();
    wrote |= applyServicesTabSettings();
    return wrote;
}

bool PrinterFeaturesApplicator::applyManagedValue(const wchar_t* name, const wchar_t* policyName, bool refresh)
{
    DWORD wanted = 0;
    if (!settings_ || !policy_ || !policy_->getDword(policyName, wanted) || wanted == printerDword(name))
        return false;
    const bool written = settings_->setDword(name, wanted);
    if (refresh)
        requestDocPropRefresh();
    return written;
}

bool PrinterFeaturesApplicator::applyColorPolicy()
{
    if (!settings_)
        return false;
    const DWORD old = printerDword(PrintPathAttr::LumoDisableColor);
    const bool disabled =
        !(policy_ ? policy_->getBool(L"Color", true) : true) || pathDword(PrintPathAttr::LumoDisableColor, 0) == 1;
    const DWORD state = disabled ? 1 : 0;
    if ((old & 0xFFFF) == state)
        return false;
    const bool written = settings_->setDword(PrintPathAttr::LumoDisableColor, ((old & 0xFFFF) << 16) | state);
    requestDocPropRefresh();
    return written;
}

bool PrinterFeaturesApplicator::applyServicesTabSettings()
{
    if (!settings_)
        return false;
    bool wrote = false;
    if (policy_ && policy_->hasPolicy()) {
        for (const NamePair& row : kServicesTab) {
            const DWORD wanted = policy_->getBool(row.policy, true) ? 1 : 0;
            if (printerDword(row.printerData) != wanted)
                wrote |= settings_->setDword(row.printerData, wanted);
        }
        return wrote;
    }
    LumoraPrintingExtension* extension = LumoraPrintingExtension::current();
    LumoraSettings* userSettings = extension ? extension->getSettings() : nullptr;
    if (!userSettings)
        return false;
    for (const NamePair& row : kServicesTab) {
        DWORD setting = 0, current = 0;
        if (!userSettings->getSettingsKey().queryDword(row.policy, &setting))
            continue;
        if (!settings_->getDword(row.printerData, current) || current != setting)
            wrote |= settings_->setDword(row.printerData, setting);
    }
    return wrote;
}

bool PrinterFeaturesApplicator::applyPDLVersions()
{
    if (!path_ || !settings_)
        return false;
    bool seen[sizeof(kPdlWords) / sizeof(kPdlWords[0])] = {};
    const Device& device = path_->getDevice();
    for (auto it = device.pdlBegin(); it != device.pdlEnd(); ++it) {
        for (size_t i = 0; i < sizeof(kPdlWords) / sizeof(kPdlWords[0]); ++i) {
            if ((*it)->getFamily() != kPdlWords[i].family)
                continue;
            std::wstring version;
            convertString((*it)->getVersion(), version, CP_ACP);
            settings_->setString(pdlValueName(kPdlWords[i].word).c_str(), version.c_str());
            seen[i] = true;
        }
    }
    for (size_t i = 0; i < sizeof(kPdlWords) / sizeof(kPdlWords[0]); ++i) {
        const std::wstring name = pdlValueName(kPdlWords[i].word);
        std::wstring stored;
        if (!seen[i] && settings_->getString(name.c_str(), stored))
            settings_->setString(name.c_str(), L"");
    }
    return true;
}

bool PrinterFeaturesApplicator::applyDeviceConfigAddress()
{
    if (!path_ || !settings_)
        return false;
    std::wstring text;
    if (path_->getNumericAttribute(PrintPathAttr::ExternalConfigType) == 0)
        text = path_->getStringAttribute(PrintPathAttr::DeviceConfigAddress);
    std::wstring clientPort;
    if (printerDword(L"LumoAutoCreated") != 0 && settings_->getString(L"LumoAutoCreatedClientPort", clientPort) &&
        !namesLocalPort(clientPort))
        text = clientPort;
    return settings_->setString(PrintPathAttr::DeviceConfigAddress, text.c_str());
}

void PrinterFeaturesApplicator::requestDocPropRefresh()
{
    if (path_)
        path_->setNumericAttribute(PrintPathAttr::ForceDocPropCall, 1, false);
}

bool applyPrinterFeatures(const std::wstring& printerName, bool resetJobRetention, PrintPath* path)
{
    std::unique_ptr<PrintPath> found; // a path looked up here is ours to delete
    if (!path) {
        HANDLE handle = nullptr;
        if (!OpenPrinterW(const_cast<wchar_t*>(printerName.c_str()), &handle, nullptr))
            return false;
        std::wstring port;
        {
            const ScopedPrinter printer(handle);
            port = getPrinterPortName(printer.get());
        }
        found.reset(findPrintPathForAddress(nullptr, port, printerName, printerName));
        path = found.get();
        if (!path)
            return false;
    }
    if (resetJobRetention)
        path->setNumericAttribute(PrintPathAttr::LumoDisableJobRetention, 0, false);
    if (LumoraPrintingExtension* extension = LumoraPrintingExtension::current())
        extension->createDestinationContext(printerName);
    PrinterSettings settings(printerName.c_str(), PRINTER_ALL_ACCESS);
    {
        PrinterFeaturesApplicator applicator(ManagedPrintPolicy::instance(), &settings, path);
        applicator.apply();
        applicator.applyManagedFeatures();
    }
    settings.setDword(L"LumoUpdatePolicy", 1);
    return false;
}

} // namespace MPrint
