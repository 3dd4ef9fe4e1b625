#include "extension/LumoraPrintingExtension.h"

#include "bidi/SNMPCommunityName.h"
#include "bidi/CurrentDestination.h"
#include "bidi/UNCBidiConnectionHelper.h"
#include "core/COMWrapper.h"
#include "core/ComponentRegistry.h"
#include "core/SettingsKeys.h"
#include "core/UserMessageBox.h"
#include "VagantUIExtension/DiscoveryServicesManager.h"
#include "destination/HistoryMigration.h"
#include "destination/PrintPathAttr.h"
#include "discovery/DiscoveryClassIds.h"
#include "destination/MonitorChannel.h"
#include "extension/DestinationApply.h"
#include "extension/DocPrompt.h"
#include "extension/JobAccountingSettings.h"
#include "extension/JobDeliverySettings.h"
#include "extension/StaticPrinterUpdate.h"
#include "extension/WaypostJobEvents.h"
#include "core/StringConversion.h"
#include "shared/PrinterData.h"
#include "extension/MsgWaitThread.h"
#include "extension/PrintPathVerification.h"
#include "extension/PrintTimeDialogs.h"
#include "extension/Rundll32Launch.h"
#include "extension/RunApplicationPolicy.h"
// The verification and configuration steps of a re-targeted job, through the
// seam the dialogs use (it depends on core only).
#include "extension/DestinationWorkflow.h"
#include "destination/PortClient.h"
#include "shared/SpoolerNames.h"
#include "destination/TargetHistoryList.h"
#include "extension/KRVProperties.h"
#include "extension/ModuleEntry.h"
#include "extension/PolicySources.h"
#include "shared/SpoolerQueries.h"

#include <commctrl.h>
#include <shlwapi.h>

#include <algorithm>
#include <cstring>
#include <cwctype>
#include <memory>
#include <new>
#include <vector>

namespace {

LumoraPrintingExtension* g_extension = nullptr;

const wchar_t kResourceModule[] = L"vrelm102.DLL";
const wchar_t kReadInOldProfiles[] = L"ReadInOldProfiles";
const wchar_t kReadInM1Profiles[] = L"ReadInM1Profiles";

struct SuffixRow {
    WORD primary;
    const wchar_t* suffix;
};

// Chinese and English depend on the sublanguage (see helpLanguageSuffix).
const SuffixRow kHelpSuffixes[] = {
    {0x01, L"AR"}, {0x03, L"CA"}, {0x05, L"CS"}, {0x06, L"DA"}, {0x07, L"GE"}, {0x08, L"EL"},
    {0x0A, L"SP"}, {0x0B, L"FI"}, {0x0C, L"FR"}, {0x0D, L"HE"}, {0x0E, L"HU"}, {0x10, L"IT"},
    {0x11, L"JA"}, {0x12, L"KO"}, {0x13, L"NL"}, {0x14, L"NO"}, {0x15, L"PL"}, {0x16, L"PR"},
    {0x19, L"RU"}, {0x1B, L"SK"}, {0x1D, L"SV"}, {0x1E, L"TH"}, {0x1F, L"TR"},
};

// The resource module's vendor port name, the name of the Waypost port.
constexpr UINT kVendorPortNameId = 1;

// The device connections' view of the job's queue.
std::wstring currentDestinationPrinter()
{
    const LumoraPrintingExtension* extension = LumoraPrintingExtension::current();
    const MPrint::DestinationContext* context = extension ? extension->getDestinationContext() : nullptr;
    return context ? context->getPrinterName() : std::wstring();
}

// The discovery services' view of a queue's job delivery settings for a path.
bool jobDeliveryEnabled(const std::wstring& printerName, MPrint::PrintPath& path)
{
    return JobDeliverySettings(printerName.c_str(), &path).isJobDeliveryEnabled();
}

// What the UNC bidi helper records as the local queue's current port when
// the queue's jobs go to the path by job delivery: the queue's vendor port
// name (its own data, else the policy's), else the resource module's.
std::wstring jobDeliveryCurrentPort(const std::wstring& localQueue, MPrint::PrintPath& path)
{
    LumoraPrintingExtension* extension = LumoraPrintingExtension::current();
    ScopedPrinter printer;
    std::wstring name = localQueue;
    // OpenPrinterW may write the handle even when it fails; trust it only on success.
    HANDLE handle = nullptr;
    if (!extension || !OpenPrinterW(name.data(), &handle, nullptr))
        return {};
    printer.reset(handle);
    if (!extension->isJobDeliveryDestination(nullptr, printer.get(), &path, nullptr))
        return {};
    std::wstring vendorPort;
    if (JobAccountingSettings::printerOrPolicyString(printer.get(), L"VendorPortName", vendorPort) &&
        !vendorPort.empty())
        return vendorPort;
    LumoraSettings* settings = extension->getSettings();
    return settings ? settings->getResourceLoader().loadString(kVendorPortNameId) : std::wstring();
}

// The message boxes' view of the extension's language.
bool currentInterfaceRightToLeft()
{
    return isRightToLeftInterface(LumoraPrintingExtension::current());
}

} // namespace

LumoraPrintingExtension* LumoraPrintingExtension::instance()
{
    if (g_extension)
        return g_extension;
    LumoraPrintingExtension* extension = new (std::nothrow) LumoraPrintingExtension();
    if (!extension)
        return nullptr;
    MPrint::setCurrentPrinterNameSource(&currentDestinationPrinter);
    MPrint::setJobDeliverySource(&jobDeliveryEnabled);
    MPrint::UNCBidiConnectionHelper::setCurrentPortSource(&jobDeliveryCurrentPort);
    MPrint::installPolicySources();
    setRightToLeftInterfaceQuery(&currentInterfaceRightToLeft);
    // Published before init, as the prompt thread reaches it through instance().
    g_extension = extension;
    try {
        extension->init();
    } catch (...) {
        delete extension; // clears g_extension
        return nullptr;
    }
    return g_extension;
}

LumoraPrintingExtension* LumoraPrintingExtension::current()
{
    return g_extension;
}

bool isRightToLeftInterface(const LumoraPrintingExtension* extension)
{
    return extension && extension->getSettings() && extension->getSettings()->isRightToLeftLanguage();
}

LumoraPrintingExtension::LumoraPrintingExtension() = default;

LumoraPrintingExtension::~LumoraPrintingExtension()
{
    if (g_extension == this)
        g_extension = nullptr;
    destinationContext_.reset();
    if (discoveryManager_) {
        discoveryManager_->Stop();
        discoveryManager_->Shutdown();
        delete discoveryManager_;
        discoveryManager_ = nullptr;
    }
    // Components made after this must not be handed the deleted settings.
    if (settings_ && ComponentRegistry::getContext() == settings_.get())
        ComponentRegistry::setContext(nullptr);
    settings_.reset();
    resourceLoader_.reset();
    if (comInitialized_) {
        if (COMWrapper* com = getThreadCOMWrapper(__FILE__, __LINE__))
            com->uninitialize();
    }
    // The socket initializer, declared first, ends after everything else.
}

LumoraPrintingExtension::ModulePaths LumoraPrintingExtension::modulePaths(const std::wstring& moduleFileName)
{
    ModulePaths paths;
    const size_t separator = moduleFileName.find_last_of(L"\\/");
    if (separator != std::wstring::npos)
        paths.directory = moduleFileName.substr(0, separator + 1);
    paths.resourceModule = paths.directory + kResourceModule;
    return paths;
}

const wchar_t* LumoraPrintingExtension::helpLanguageSuffix(LANGID language)
{
    const WORD primary = language & 0x3FF;
    const WORD sub = language >> 10;
    if (primary == 0x04)
        return sub == 1 ? L"TC" : L"SC";
    if (primary == 0x09)
        return sub == 1 ? L"EN" : L"EE";
    for (const SuffixRow& row : kHelpSuffixes) {
        if (row.primary == primary)
            return row.suffix;
    }
    return L"EN";
}

std::wstring LumoraPrintingExtension::helpFilePath(const std::wstring& directory, bool htmlHelp, LANGID language)
{
    if (directory.empty())
        return std::wstring();
    // The suffix goes into the name before it meets the folder, so a "%" in
    // the folder is never taken as a format.
    std::wstring name = htmlHelp ? L"vrelh02" : L"vrelh01";
    name += helpLanguageSuffix(language);
    name += htmlHelp ? L".CHM" : L".HLP";
    wchar_t combined[MAX_PATH] = {};
    if (!PathCombineW(combined, directory.c_str(), name.c_str()))
        return std::wstring();
    return combined;
}

void LumoraPrintingExtension::init()
{
    wchar_t moduleFile[384] = {};
    const DWORD length = GetModuleFileNameW(ModuleEntry::moduleHandle(), moduleFile, 384);
    const ModulePaths paths = modulePaths(std::wstring(moduleFile, std::min<DWORD>(length, 384)));

    resourceLoader_ = std::make_unique<MPrint::ResourceLoader>(paths.resourceModule);

    RegistryKey settingsKey(HKEY_CURRENT_USER, settingskeys::kSettings, RegistryKey::kAllAccess, true);
    const std::wstring defaultProfile = resourceLoader_->loadString(LumoraSettings::kDefaultProfileStringId);
    std::wstring profile = defaultProfile;
    // An empty stored name would put the history nowhere: take it as absent.
    if ((!settingsKey.queryString(L"CurrentProfile", profile) || profile.empty()) && !defaultProfile.empty()) {
        profile = defaultProfile;
        RegistryKey profileKey(settingsKey.getHandle(), profile, RegistryKey::kAllAccess, true);
        profileKey.setString(L"", defaultProfile);
        settingsKey.setString(L"CurrentProfile", profile);
    }
    settingsKey.queryString(L"CurrentAddress", destination_);

    RegistryKey historyKey(settingsKey.getHandle(), profile + L"\\" + historylayout::kKeyName, RegistryKey::kAllAccess, true);

    wchar_t tempDirectory[MAX_PATH + 1] = L"C:\\temp";
    GetTempPathW(MAX_PATH, tempDirectory);

    settings_ = std::make_unique<LumoraSettings>(tempDirectory, settingsKey, historyKey, *resourceLoader_);

    if (const LANGID language = settings_->getLangId()) {
        resourceLoader_->setLanguage(language);
        settings_->setLangId(resourceLoader_->getLanguage());
    }
    const LANGID helpLanguage = resourceLoader_->getLanguage();
    settings_->setHelpFile(helpFilePath(paths.directory, false, helpLanguage).c_str());
    settings_->setHtmlHelpFile(helpFilePath(paths.directory, true, helpLanguage).c_str());

    ComponentRegistry::setResourceLoader(*resourceLoader_);
    ComponentRegistry::setContext(settings_.get());

    settings_->setCurrentProfileName(profile.c_str());

    if (COMWrapper* com = getThreadCOMWrapper(__FILE__, __LINE__)) {
        com->initialize();
        comInitialized_ = true;
    }
    InitCommonControls();

    discoveryManager_ = DiscoveryServicesManager::GetInstance();
    if (discoveryManager_) {
        discoveryManager_->Initialize();
        discoveryManager_->Start();
    }

    DWORD marker = 0;
    if (!settingsKey.queryDword(kReadInOldProfiles, &marker) || !settingsKey.queryDword(kReadInM1Profiles, &marker)) {
        migrateOldProfiles(historyKey);
        settingsKey.setDword(kReadInOldProfiles, 1);
        settingsKey.setDword(kReadInM1Profiles, 1);
    }
}

std::wstring LumoraPrintingExtension::getDestination() const
{
    std::lock_guard<std::mutex> guard(destinationLock_);
    return destination_;
}

void LumoraPrintingExtension::setDestination(const wchar_t* destination)
{
    std::lock_guard<std::mutex> guard(destinationLock_);
    destination_ = destination ? destination : L"";
}

namespace {

thread_local MPrint::DestinationContext* t_boundContext = nullptr;

} // namespace

MPrint::DestinationContext* LumoraPrintingExtension::getDestinationContext() const
{
    return t_boundContext ? t_boundContext : destinationContext_.get();
}

LumoraPrintingExtension::ThreadContext::ThreadContext(MPrint::DestinationContext* context)
    : previous_(t_boundContext)
{
    t_boundContext = context;
}

LumoraPrintingExtension::ThreadContext::~ThreadContext()
{
    t_boundContext = previous_;
}

bool LumoraPrintingExtension::createDestinationContext(const std::wstring& printerName)
{
    if (!destinationContext_ && !printerName.empty())
        destinationContext_ = std::make_unique<MPrint::DestinationContext>(printerName, nullptr);
    return destinationContext_ != nullptr;
}

void LumoraPrintingExtension::readNewInstallFlag(HANDLE printer)
{
    if (!printer)
        return;
    DWORD value = 0;
    if (getPrinterDword(printer, L"LumoNewInstall", value) && value != 0)
        newInstall_ = true;
}

bool LumoraPrintingExtension::isDestinationChanged() const
{
    return mode_ == kModeFirstJob && destinationChanged_;
}

void LumoraPrintingExtension::setDestinationChanged(bool changed)
{
    if (mode_ == kModeFirstJob)
        destinationChanged_ = changed;
}

bool LumoraPrintingExtension::isFirstJobPending() const
{
    return mode_ == kModeFirstJob && getProcessProperty(krv::kFirstJob) == 0;
}

void LumoraPrintingExtension::migrateOldProfiles(RegistryKey& historyKey)
{
    if (!settings_)
        return;
    RegistryKey& settingsKey = settings_->getSettingsKey();
    DWORD marker = 0;

    if (!settingsKey.queryDword(kReadInOldProfiles, &marker))
        MPrint::HistoryMigration::appendOldestHistory(historyKey);

    // The profiles of the next release, the current profile's first.
    if (settingsKey.queryDword(kReadInM1Profiles, &marker))
        return;
    std::wstring currentList;
    settingsKey.queryString(L"CustomProfiles", currentList);
    MPrint::HistoryMigration::Profiles profiles;
    profiles.current = settings_->getCurrentProfile();
    // Whole entries: "Home" is not listed by "Home Office;".
    profiles.isListed = [&currentList](const std::wstring& name) {
        return LumoraSettings::findProfileEntry(currentList, name) != std::wstring::npos;
    };
    profiles.select = [this](const std::wstring& name) { settings_->selectProfile(name.c_str()); };
    MPrint::HistoryMigration::appendOlderProfiles(settingsKey, profiles);
}

namespace {

// LocalPortType of a local port's print path: which attribute names the port.
const wchar_t* localPortAttribute(DWORD type)
{
    switch (type) {
    case 1:
    case 2:
        return PrintPathAttr::LocalPort;
    case 3:
    case 5:
        return PrintPathAttr::DynamicPort;
    default:
        return nullptr;
    }
}

} // namespace

DWORD LumoraPrintingExtension::makePortRecord(MPrint::DestinationContext* context, std::wstring& portName)
{
    MPrint::PrintPath* path = context ? context->getPrintPath() : nullptr;
    if (!path)
        return ERROR_INVALID_PARAMETER;
    bool created = false;
    const DWORD result = choosePort(context->getPrinterName(), *path, portName, created);
    if (created)
        path->setNumericAttribute(PrintPathAttr::NewPortCreated, 1, false);
    setDestination(path->getStringAttribute(PrintPathAttr::DisplayString).c_str());
    return result;
}

bool LumoraPrintingExtension::applyDestinationToPrinter(MPrint::DestinationContext* context,
                                                        const std::wstring& portName)
{
    return MPrint::DestinationApply(newInstall_).apply(context, portName);
}

bool LumoraPrintingExtension::applyPrintPathToPrinter(MPrint::DestinationContext* context, MPrint::PrintPath* path,
                                                      std::wstring& portName)
{
    if (!context || !path)
        return false;
    // The context works on the caller's path for the call and keeps a copy.
    const bool own = context->getPrintPath() == path;
    if (!own)
        context->setPrintPath(path);
    bool applied = false;
    try {
        applied = makePortRecord(context, portName) == 0 && !portName.empty() &&
                  applyDestinationToPrinter(context, portName);
    } catch (...) {
        if (!own)
            context->detachPrintPath();
        throw;
    }
    if (!own) {
        context->detachPrintPath();
        context->setPrintPath(new MPrint::PrintPath(*path));
    }
    return applied;
}

bool LumoraPrintingExtension::recordPortModel(HANDLE printer, const std::wstring& printerName,
                                              const std::wstring& portName, const std::wstring& model)
{
    return MPrint::DestinationApply::recordPortModel(printer, printerName, portName, model);
}

void LumoraPrintingExtension::refreshJobControlTicket(const std::wstring& printerName, MPrint::PrintPath* path)
{
    MPrint::DestinationApply::refreshJobControlTicket(printerName, path);
}

bool LumoraPrintingExtension::updateNowMarker(int operation, HANDLE printer, DWORD& value, bool& protectedMode)
{
    return MPrint::DestinationApply::updateNowMarker(operation, printer, value, protectedMode);
}

bool LumoraPrintingExtension::isUpdateNowProtectedMode()
{
    return MPrint::DestinationApply::isUpdateNowProtectedMode();
}

DWORD LumoraPrintingExtension::choosePort(const std::wstring& queueName, MPrint::PrintPath& path,
                                          std::wstring& portName, bool& created)
{
    if (path.getNumericAttribute(PrintPathAttr::StaticModeUpdate) == 1) {
        portName = path.getStringAttribute(PrintPathAttr::Address);
        return ERROR_SUCCESS;
    }
    if (isIPrintQueue(queueName)) {
        HANDLE handle = nullptr;
        if (!openPrinterWithAccess(queueName, &handle, PRINTER_ACCESS_USE))
            return ERROR_SUCCESS;
        const ScopedPrinter printer(handle);
        portName = getPrinterPortName(printer.get());
        return ERROR_SUCCESS;
    }

    using Ensure = bool (MPrint::PortClient::*)(const std::wstring&);
    std::wstring address;
    Ensure ensure = nullptr;
    const bool delivery = isJobDeliveryDestination(queueName.c_str(), nullptr, &path, nullptr);
    GUID service = {};
    path.getDiscoveryId(service);
    if (delivery) {
        address = resourceLoader_ ? resourceLoader_->loadString(kVendorPortNameId) : std::wstring();
    } else if (IsEqualGUID(service, discoveryids::kTcpIp)) {
        address = path.getStringAttribute(PrintPathAttr::IPAddress);
        ensure = &MPrint::PortClient::ensureTcpIpPort;
        if (address.empty()) {
            address = path.getStringAttribute(PrintPathAttr::HostnameAddress);
            ensure = &MPrint::PortClient::ensureHostNamePort;
        }
    } else if (IsEqualGUID(service, discoveryids::kIpxSpx)) {
        address = path.getStringAttribute(PrintPathAttr::IPXSPXAddress);
        if (address.empty())
            return ERROR_SUCCESS;
        ensure = &MPrint::PortClient::ensureIpxSpxPort;
    } else if (IsEqualGUID(service, discoveryids::kNetworkShares) || IsEqualGUID(service, discoveryids::kUsbPrintKey)) {
        address = path.getStringAttribute(PrintPathAttr::NovellAddress);
        ensure = &MPrint::PortClient::ensureUncNovellPort;
        if (address.empty()) {
            address = path.getStringAttribute(PrintPathAttr::UNCPath);
            ensure = &MPrint::PortClient::ensureUncPort;
        }
    } else if (IsEqualGUID(service, discoveryids::kLocalPorts)) {
        const wchar_t* attribute = localPortAttribute(path.getNumericAttribute(PrintPathAttr::LocalPortType));
        if (!attribute)
            return ERROR_UNKNOWN_PORT;
        portName = path.getStringAttribute(attribute);
        return ERROR_SUCCESS;
    } else {
        return ERROR_UNKNOWN_PORT;
    }

    // One community choice per request, as the choice keeps its first answer.
    auto communities = std::make_shared<SNMPCommunityNameComposite>();
    MPrint::PortClient client(resourceLoader_.get(), address, path, [communities](const std::wstring& name) {
        return communities->getCommunityName(name.c_str());
    });
    const bool ensured = delivery ? client.ensureWaypostPort() : (client.*ensure)(queueName);
    if (!ensured)
        return client.getError();
    portName = client.getPortName();
    created = client.wasPortCreated();
    return ERROR_SUCCESS;
}

bool LumoraPrintingExtension::isJobDeliveryDestination(const wchar_t* printerName, HANDLE printer,
                                                       MPrint::PrintPath* path, bool* tested)
{
    if (tested)
        *tested = false;
    ScopedPrinter opened;
    if (!printer && printerName) {
        std::wstring name = printerName;
        HANDLE handle = nullptr;
        // OpenPrinterW may write the handle even when it fails; trust it only on success.
        if (OpenPrinterW(name.data(), &handle, nullptr))
            opened.reset(handle);
        printer = opened.get();
    }
    DWORD staticMode = 0;
    if (!printer || !getPrinterDword(printer, L"StaticMode", staticMode))
        staticMode = 0;

    std::unique_ptr<MPrint::PrintPath> fromHistory;
    if (!path && staticMode == 0 && settings_) {
        const std::wstring destination = getDestination();
        TargetHistoryList history(settings_->getTargetHistoryKey());
        history.load();
        for (auto entry = history.begin(); entry != history.end(); ++entry) {
            if (history.getDisplayString(entry) == destination) {
                fromHistory = std::make_unique<MPrint::PrintPath>(*entry->get());
                break;
            }
        }
        path = fromHistory.get();
    }
    const bool enabled = printer ? JobDeliverySettings(printer, path).isJobDeliveryEnabled()
                                 : JobDeliverySettings(printerName, path).isJobDeliveryEnabled();
    if (tested)
        *tested = true;
    return enabled;
}

void LumoraPrintingExtension::replaceDestinationContext(const std::wstring& printerName, const wchar_t* documentName)
{
    destinationContext_ = std::make_unique<MPrint::DestinationContext>(printerName, documentName);
}

bool LumoraPrintingExtension::promptsOnThread(DWORD major, DWORD minor, const std::wstring& hostPath)
{
    static const wchar_t* const kHosts[] = {L"notepad.exe", L"regedit.exe", L"kodakimg.exe", L"hh.exe",
                                            L"winhlp32.exe", L"pbrush.exe",  L"mspaint.exe",  L"write.exe",
                                            L"wordpad.exe", L"outlook.exe", L"iexplore.exe"};
    if (major != 5 || minor != 0)
        return false;
    std::wstring lower = hostPath;
    std::transform(lower.begin(), lower.end(), lower.begin(), [](wchar_t c) { return towlower(c); });
    return std::any_of(std::begin(kHosts), std::end(kHosts),
                       [&lower](const wchar_t* host) { return lower.find(host) != std::wstring::npos; });
}

INT_PTR LumoraPrintingExtension::promptAtPrint(HWND parent, const wchar_t* printerName, bool* cancelled)
{
    setMode(kModePromptAtPrint);
    if (printerName)
        replaceDestinationContext(printerName, nullptr);
    requestFreeDVTs();

    OSVERSIONINFOW version = {};
    version.dwOSVersionInfoSize = sizeof(version);
    wchar_t host[512] = {};
    if (GetVersionExW(&version) && GetModuleFileNameW(nullptr, host, 511) &&
        promptsOnThread(version.dwMajorVersion, version.dwMinorVersion, host)) {
        auto* work = new DocPrompt(parent, 10);
        MsgWaitThread thread(work); // owns the work item
        if (thread.start())
            thread.join(INFINITE);
        if (work->result() == 2 && cancelled)
            *cancelled = true;
        return 1;
    }
    const INT_PTR result = showPrompt(parent, 10);
    if (result == 2 && cancelled)
        *cancelled = true;
    return result;
}

INT_PTR LumoraPrintingExtension::selectDestination(HWND parent, const wchar_t* printerName)
{
    setMode(kModeSelectDestination);
    if (printerName)
        replaceDestinationContext(printerName, nullptr);
    requestFreeDVTs();
    return showPrompt(parent, 11);
}

INT_PTR LumoraPrintingExtension::promptFirstJob(HWND, HANDLE printer, const DOCINFOW* documentInfo)
{
    setMode(kModeFirstJob);
    readNewInstallFlag(printer);
    if (!documentInfo)
        return 1;
    const std::wstring printerName = getPrinterName(printer);
    if (printerName.empty())
        return 1;
    replaceDestinationContext(printerName, documentInfo->lpszDocName);
    const INT_PTR result = showPrompt(nullptr, reinterpret_cast<LPARAM>(documentInfo->lpszDocName));
    if (result == 2)
        setDestinationChanged(false);
    else if (settings_ && settings_->getPromptMethod() == 1)
        setProcessProperty(krv::kFirstJob, GetTickCount());
    else if (getProcessProperty(krv::kFirstJob) != 0)
        deleteProcessProperty(krv::kFirstJob);
    return result;
}

INT_PTR LumoraPrintingExtension::prompt(HWND parent, LPARAM parameter)
{
    return showPrompt(parent, parameter);
}

INT_PTR LumoraPrintingExtension::showPrompt(HWND, LPARAM parameter)
{
    if (ModuleEntry::inSpooler())
        return 2;
    INT_PTR result = 2;
    do {
        result = PrintTimeDialogs::current().confirm(*this, mode_, GetActiveWindow(), parameter);
    } while (result == 4);
    const std::wstring destination = getDestination();
    if (result == 1 && !destination.empty()) {
        RegistryKey key(HKEY_CURRENT_USER, settingskeys::kSettings, RegistryKey::kAllAccess, true);
        key.setString(L"CurrentAddress", destination);
    }
    return result;
}

bool LumoraPrintingExtension::requestFreeDVTs()
{
    if (deleteProcessProperty(krv::kFreeDVTs) == 0)
        return false;
    MonitorChannel channel(kKeravinMonitorName);
    if (!channel.openMonitor())
        return false;
    DWORD needed = 0;
    const bool sent = channel.xcvData(L"FreeDVTs", nullptr, 0, nullptr, 0, &needed);
    channel.close();
    return sent;
}

bool LumoraPrintingExtension::resumeCommandLine(const std::wstring& moduleFile, const std::wstring& printerName,
                                                DWORD pausedJobId, DWORD previousJobId,
                                                const std::wstring& destination, const std::wstring& profile,
                                                std::wstring& line)
{
    std::wstring text = rundll::commandLine(moduleFile, L"ResumePrintJob");
    text += L" /pausedJobId=" + std::to_wstring(static_cast<LONG>(pausedJobId)) +
            L" /previousJobId=" + std::to_wstring(static_cast<LONG>(previousJobId)) + L" /printer=";
    if (!rundll::appendQuoted(text, printerName))
        return false;
    text += L" /dest=";
    if (!rundll::appendQuoted(text, destination))
        return false;
    text += L" /profile=";
    if (!rundll::appendQuoted(text, profile))
        return false;
    line = std::move(text);
    return true;
}

bool LumoraPrintingExtension::makePermanentCommandLine(const std::wstring& moduleFile, const std::wstring& printerName,
                                                       std::wstring& line)
{
    std::wstring text = rundll::commandLine(moduleFile, L"MakePermanent") + L"  /printer=";
    if (!rundll::appendQuoted(text, printerName))
        return false;
    line = std::move(text);
    return true;
}

namespace {

// The queue's own name from its level-5 record; empty when it cannot be read.
std::wstring levelFivePrinterName(HANDLE printer)
{
    GlobalBlock<BYTE> info;
    if (!printer || !getPrinterAlloc(printer, 5, info.receive()))
        return {};
    const wchar_t* name = reinterpret_cast<const PRINTER_INFO_5W*>(info.get())->pPrinterName;
    return name ? name : L"";
}

} // namespace

bool LumoraPrintingExtension::launchResumePrintJob(HANDLE printer, DWORD pausedJobId, DWORD previousJobId)
{
    const std::wstring printerName = levelFivePrinterName(printer);
    if (printerName.empty() || !RunApplicationPolicy().ensurePolicy(L"VRELM101.DLL"))
        return false;
    std::wstring line;
    const std::wstring profile = settings_ ? settings_->getCurrentProfile() : std::wstring();
    if (!resumeCommandLine(rundll::moduleFileName(), printerName, pausedJobId, previousJobId, getDestination(), profile,
                           line)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    return rundll::start(line, nullptr);
}

bool LumoraPrintingExtension::launchMakePermanent(HANDLE printer)
{
    const std::wstring printerName = levelFivePrinterName(printer);
    if (printerName.empty() || !RunApplicationPolicy().ensurePolicy(L"VRELM101.DLL"))
        return false;
    std::wstring line;
    if (!makePermanentCommandLine(rundll::moduleFileName(), printerName, line)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    return rundll::start(line, nullptr);
}

int LumoraPrintingExtension::retargetPausedJob(HWND parent, const wchar_t* printerName, const wchar_t* destination,
                                               const wchar_t* profile, DWORD jobId)
{
    setMode(kModeRetargetPausedJob);
    HANDLE opened = nullptr;
    if (!printerName || !destination || !openPrinterWithAccess(printerName, &opened, PRINTER_ACCESS_USE))
        return 2;
    ScopedPrinter printer(opened);
    GlobalBlock<BYTE> job;
    if (!getJobAlloc(printer.get(), jobId, 1, job.receive()))
        return 2;
    const JOB_INFO_1W* info = reinterpret_cast<const JOB_INFO_1W*>(job.get());

    int result = 2;
    try {
        replaceDestinationContext(printerName, info->pDocument);
        setDestination(destination);
        std::unique_ptr<MPrint::PrintPath> path(MPrint::findPrintPathInHistory(destination, profile));
        if (path) {
            MPrint::DestinationWorkflow& workflow = MPrint::DestinationWorkflow::current();
            DWORD code = 0;
            DWORD value = 0;
            if (workflow.validateDeviceWithPrompt(path.get(), parent, code) &&
                workflow.checkDeviceConfiguration(path.get()) &&
                workflow.verifyDevicePDL(parent, path.get(), printerName) == 1 &&
                workflow.configureDeviceForPrintPath(parent, printerName, path.get()) == 1 &&
                workflow.applyPrintPathToPrinter(destinationContext_.get(), path.get(), value))
                result = 1;
        }
    } catch (...) {
        // Nothing resumes the job later: a step that fails by throwing deletes it as any failed step does.
        SetJobW(printer.get(), jobId, 0, nullptr, JOB_CONTROL_DELETE);
        throw;
    }
    SetJobW(printer.get(), jobId, 0, nullptr, result == 1 ? JOB_CONTROL_RESUME : JOB_CONTROL_DELETE);
    return result;
}

int LumoraPrintingExtension::makePermanent(HWND parent, const wchar_t* printerName)
{
    setMode(kModeMakePermanent);
    replaceDestinationContext(printerName ? printerName : L"", nullptr);
    const std::wstring profile = settings_ ? settings_->getCurrentProfile() : std::wstring();
    std::unique_ptr<MPrint::PrintPath> path(
        MPrint::findPrintPathInHistory(getDestination().c_str(), profile.empty() ? nullptr : profile.c_str()));
    if (!path)
        return 2;
    return PrintTimeDialogs::current().makePrinterPermanent(*this, path.get(), parent) ? 1 : 2;
}

bool LumoraPrintingExtension::sendWaypostJobStart(HANDLE printer, DWORD jobId)
{
    std::wstring destination = getDestination();
    DWORD staticMode = 0;
    std::wstring staticName;
    if (printer && getPrinterDword(printer, L"StaticMode", staticMode) && staticMode == 1 &&
        readPrinterDataText(printer, nullptr, L"mplDestinationName", staticName) == ERROR_SUCCESS)
        destination = staticName;
    short copies = 1;
    bool duplex = false;
    LumoraUI::readJobCopiesAndDuplex(printer, jobId, copies, duplex);
    DWORD status = 0;
    DWORD needed = 0;
    return LumoraUI::sendWaypostEvent(LumoraUI::waypostJobStartRecord(jobId, duplex, copies, destination), nullptr,
                                      0, status, needed) &&
           status == ERROR_SUCCESS;
}

bool LumoraPrintingExtension::getWaypostJobInfo(DWORD jobId, const char* printerName, void** block)
{
    if (!block) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    LumoraUI::WaypostReply reply;
    if (!LumoraUI::queryWaypostJob(jobId, reply))
        return false;
    std::wstring printer;
    // The monitor's name is read no further than a printer name can reach.
    if (printerName)
        convertString(std::string(printerName, strnlen(printerName, 1024)), printer, CP_ACP);
    const std::wstring destination = getDestination();
    const std::wstring profile = settings_ ? settings_->getCurrentProfile() : std::wstring();
    const JobAccountingSettings accounting(printer.c_str(), destination.c_str(), profile.c_str());
    const JobDeliverySettings delivery(printer.c_str(), destination.c_str(), profile.c_str());
    LumoraUI::WaypostTexts texts;
    texts.accountingUser = accounting.getUser();
    texts.accountingUrl = accounting.getURL();
    texts.accountingModule = accounting.getModule();
    texts.accountingApi = accounting.getAPIName();
    texts.deliveryUrl = delivery.getDeliveryURL();
    texts.deliveryModule = delivery.getDeliveryModule();
    texts.deliveryApi = delivery.getDeliveryAPIName();
    texts.completionUrl = delivery.getCompleteURL();
    texts.completionModule = delivery.getCompleteModule();
    texts.completionApi = delivery.getCompleteAPI();
    texts.completionProgram = delivery.getCompleteExe();
    const std::vector<BYTE> bytes = LumoraUI::waypostJobInfoBlock(reply, texts);
    void* out = GlobalAlloc(GPTR, bytes.size());
    if (!out)
        return false;
    std::memcpy(out, bytes.data(), bytes.size());
    *block = out;
    return true;
}

bool LumoraPrintingExtension::finishWaypostJob(DWORD jobId)
{
    DWORD status = 0;
    DWORD needed = 0;
    return LumoraUI::sendWaypostEvent(LumoraUI::waypostRequest(LumoraUI::kWaypostFinished, jobId), nullptr, 0,
                                      status, needed) &&
           status == ERROR_SUCCESS;
}

bool LumoraPrintingExtension::setPrinterPortByAddress(const wchar_t* printerName, const wchar_t* address,
                                                      bool changePortOnly)
{
    if (!printerName || !address)
        return false;
    return LumoraUI::setPrinterPortByAddress(*this, printerName, address, changePortOnly);
}

bool LumoraPrintingExtension::verifyStaticModePrinter(HANDLE printer, HWND parent, bool staticUpdate, bool showDialog)
{
    return LumoraUI::verifyStaticModePrinter(*this, printer, parent, staticUpdate, showDialog);
}

bool LumoraPrintingExtension::isMakePermanentInstance()
{
    return JobAccountingSettings::readMakePermanentInstance() == 1;
}
