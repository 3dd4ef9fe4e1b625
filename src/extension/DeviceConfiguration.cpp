#include "extension/DeviceConfiguration.h"

#include "VagantUIExtension/DeviceConfigurator.h"
#include "VagantUIExtension/FeatureAccessor.h"
#include "bidi/RegistryCache.h"
#include "bidi/SNMPCommunityName.h"
#include "bidi/XMLRegistryCache.h"
#include "core/AsciiCase.h"
#include "core/ComponentRegistry.h"
#include "core/FilePaths.h"
#include "core/InternetHelpers.h"
#include "core/RegistryKey.h"
#include "core/ScopedHandle.h"
#include "core/SettingsKeys.h"
#include "core/StringConversion.h"
#include "core/UserMessageBox.h"
#include "core/WaitCursor.h"
#include "destination/PrintPathAttr.h"
#include "destination/PrinterSettings.h"
#include "extension/LumoraPrintingExtension.h"
#include "extension/PrintPathVerification.h"
#include "extension/PrinterFeaturesApplicator.h"
#include "shared/SpoolerQueries.h"

#include <memory>

namespace MPrint {

namespace {

constexpr DWORD kAbsent = 0xFFFFFFFF;
constexpr DWORD kFullStamp = 0x80000000;
constexpr ULONGLONG kTicksPerHour = 36000000000ull; // FILETIME units
constexpr DWORD kConfigFreshHours = 6;
constexpr UINT kNoPathCaption = 27;
constexpr UINT kNoPathText = 29;
constexpr DWORD kAcceptEveryDevice = 0x200;
constexpr DWORD kExternalXmlObjects = 3;
constexpr DWORD kDownloadTimeoutMs = 15000;

bool held(int key)
{
    return (GetKeyState(key) & 0x8000) != 0;
}

SYSTEMTIME utcNow()
{
    SYSTEMTIME now;
    GetSystemTime(&now);
    return now;
}

// Hours since 1601; 0 for a time the system cannot convert.
ULONGLONG hoursOf(const SYSTEMTIME& utc)
{
    FILETIME file;
    if (!SystemTimeToFileTime(&utc, &file))
        return 0;
    return ((static_cast<ULONGLONG>(file.dwHighDateTime) << 32) | file.dwLowDateTime) / kTicksPerHour;
}

// The same UTC day, the stamp not after now: the hours between them, else -1.
long long hoursSinceToday(DWORD stamp, const SYSTEMTIME& now)
{
    const ULONGLONG then = stamp & ~kFullStamp;
    const ULONGLONG current = hoursOf(now);
    if (then > current || then / 24 != current / 24)
        return -1;
    return static_cast<long long>(current - then);
}

template <typename T>
std::unique_ptr<T> createComponent(const GUID& id, uint32_t category)
{
    ComponentIntf* raw = nullptr;
    const uint32_t code = ComponentRegistry::createComponent(id, &raw, category);
    std::unique_ptr<ComponentIntf> component(raw); // deleted unless it is of the kind asked for
    T* typed = code == 0 ? dynamic_cast<T*>(raw) : nullptr;
    if (typed)
        component.release();
    return std::unique_ptr<T>(typed);
}

int extensionMode()
{
    LumoraPrintingExtension* extension = LumoraPrintingExtension::current();
    return extension ? extension->getMode() : LumoraPrintingExtension::kModeNone;
}

// Whether configuration has to wait for the jobs already in the queue;
// sets the path's "PausePrintJob" then.
bool deferForQueuedJobs(PrintPath& path, const std::wstring& printerName)
{
    // An empty queue has no last job: a pause already asked for keeps its job.
    DWORD lastJob = path.getNumericAttribute(PrintPathAttr::PausePrintJob);
    bool defer = lastJob != kAbsent;
    const DWORD jobs = getLastJobId(nullptr, printerName.c_str(), &lastJob);
    if (!defer && jobs > 0)
        defer = printerPortDiffersFromPrintPath(&path, printerName);
    if (!defer && jobs > 0) {
        HANDLE handle = nullptr;
        if (openPrinterWithAccess(printerName, &handle, PRINTER_ACCESS_USE)) {
            const ScopedPrinter printer(handle);
            DWORD count = 0;
            GlobalBlock<JOB_INFO_1W> list(reinterpret_cast<JOB_INFO_1W*>(enumJobsAlloc(printer.get(), 1, &count)));
            for (DWORD i = count; list && i > 0 && !defer; --i)
                defer = (list.get()[i - 1].Status & JOB_STATUS_PAUSED) != 0;
        }
    }
    if (defer)
        path.setNumericAttribute(PrintPathAttr::PausePrintJob, lastJob, false);
    return defer;
}

// Asks the path's feature accessors in order until one answers.
void queryFeatures(PrintPath& path, PrinterSettings& settings)
{
    for (auto id = path.featuresBegin(); id != path.featuresEnd(); ++id) {
        std::unique_ptr<FeatureAccessor> accessor = createComponent<FeatureAccessor>(*id, kFeatureAccessorComponent);
        if (!accessor || accessor->Apply(&path, &settings) != 0)
            continue;
        for (const wchar_t* name : {PrintPathAttr::LumoDisableJobRetention, PrintPathAttr::LumoDisableDuplex}) {
            DWORD value = 0;
            if (settings.getDword(name, value))
                path.setNumericAttribute(name, value, true);
        }
        return;
    }
}

bool fileReadable(const std::wstring& file)
{
    const ScopedKernelHandle handle(
        CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return handle.get() != INVALID_HANDLE_VALUE && handle.get() != nullptr;
}

// Lends a caller's path to the context for one call. The context owns its
// path: the swap detaches rather than deletes, and the context's own path is
// given back however the call ends, so neither path is deleted or lost.
class LentPrintPath {
public:
    LentPrintPath(DestinationContext& context, PrintPath* path)
        : context_(context), swapped_(context.getPrintPath() != path)
    {
        if (swapped_) {
            own_ = context_.detachPrintPath();
            context_.setPrintPath(path);
        }
    }
    ~LentPrintPath()
    {
        if (swapped_) {
            context_.detachPrintPath();
            context_.setPrintPath(own_);
        }
    }
    LentPrintPath(const LentPrintPath&) = delete;
    LentPrintPath& operator=(const LentPrintPath&) = delete;

private:
    DestinationContext& context_;
    const bool swapped_;
    PrintPath* own_ = nullptr;
};

} // namespace

DWORD makeDeviceStamp(const SYSTEMTIME& utc)
{
    return kFullStamp | static_cast<DWORD>(hoursOf(utc) & ~static_cast<ULONGLONG>(kFullStamp));
}

bool isQueryStampFresh(DWORD stamp, const SYSTEMTIME& now)
{
    if (stamp == kAbsent)
        return false;
    if (stamp & kFullStamp)
        return hoursSinceToday(stamp, now) >= 0;
    return (stamp >> 16) == now.wMonth && (stamp & 0xFFFF) == now.wDay;
}

bool isConfigStampFresh(DWORD stamp, const SYSTEMTIME& now)
{
    if (stamp == kAbsent)
        return false;
    if (stamp & kFullStamp) {
        const long long hours = hoursSinceToday(stamp, now);
        return hours >= 0 && hours < kConfigFreshHours;
    }
    // An older release's hour of the same day; a later hour is not fresh.
    const DWORD storedHour = stamp >> 16;
    return (stamp & 0xFFFF) == now.wDay && storedHour <= now.wHour && now.wHour - storedHour < kConfigFreshHours;
}

DWORD configureDeviceForPrintPath(HWND parent, const std::wstring& printerName, PrintPath* path)
{
    LumoraPrintingExtension* extension = LumoraPrintingExtension::current();
    if (!path) {
        LumoraSettings* settings = extension ? extension->getSettings() : nullptr;
        std::wstring text, caption;
        if (settings) {
            text = settings->getResourceLoader().loadString(kNoPathText);
            caption = settings->getResourceLoader().loadString(kNoPathCaption);
        }
        showMessageBox(parent, text.c_str(), caption.c_str(), MB_ICONHAND);
        return 0;
    }
    WaitCursor wait;
    if (extensionMode() != LumoraPrintingExtension::kModeRetargetPausedJob && deferForQueuedJobs(*path, printerName))
        return 1;

    applyPrinterFeatures(printerName, false, path);
    {
        PrinterSettings settings(printerName.c_str(), PRINTER_ALL_ACCESS);
        const SYSTEMTIME now = utcNow();
        const bool queryNeeded = path->getNumericAttribute(PrintPathAttr::ConfigChanged) != kAbsent ||
                                 !isQueryStampFresh(path->getNumericAttribute(PrintPathAttr::LastQuery), now);
        if (queryNeeded || (held(VK_CONTROL) && held(VK_MENU))) {
            path->setNumericAttribute(PrintPathAttr::LastQuery, makeDeviceStamp(now), true);
            if (path->getNumericAttribute(PrintPathAttr::NoBidiQuery) == kAbsent)
                queryFeatures(*path, settings);
            if (path->getNumericAttribute(PrintPathAttr::ReConfigure) != kAbsent) {
                path->setNumericAttribute(PrintPathAttr::LastConfigTime, kAbsent, true);
                checkDeviceConfiguration(path);
            }
            SNMPQueueCommunityName community(printerName.c_str());
            if (community.isValid())
                path->setStringAttribute(PrintPathAttr::LumoSNMPCommunityName, community.getValue(), true);
        }
    }
    return 1;
}

bool checkDeviceConfiguration(PrintPath* path)
{
    if (!path)
        return false;
    const int mode = extensionMode();
    const DWORD lastConfig = path->getNumericAttribute(PrintPathAttr::LastConfigTime);
    if (lastConfig != kAbsent && !held(VK_CONTROL) && !held(VK_MENU) &&
        mode != LumoraPrintingExtension::kModeSelectDestination &&
        mode != LumoraPrintingExtension::kModePromptAtPrint && isConfigStampFresh(lastConfig, utcNow())) {
        path->setNumericAttribute(PrintPathAttr::LastConfigTime, makeDeviceStamp(utcNow()), true);
        path->setNumericAttribute(PrintPathAttr::NoBidiQuery, path->getNumericAttribute(PrintPathAttr::ChangeId),
                                  false);
        return true;
    }
    if (!path->getStringAttribute(PrintPathAttr::ExternalBidiConfigData).empty())
        return true;

    bool failed = false;
    path->setDeviceConfigured(false);
    for (auto id = path->configuratorsBegin(); id != path->configuratorsEnd() && !path->isDeviceConfigured(); ++id) {
        failed = true;
        std::unique_ptr<DeviceConfigurator> configurator =
            createComponent<DeviceConfigurator>(*id, kDeviceConfiguratorComponent);
        if (!configurator)
            continue;
        const uint32_t result = configurator->ConfigurePrintPath(path);
        if (result == kConfigured)
            path->setNumericAttribute(PrintPathAttr::LastConfigTime, makeDeviceStamp(utcNow()), true);
        if (result == kConfigured || result == kConfigNoConnection || result == kConfigNoModel)
            failed = false;
        configurator.reset();
        SetLastError(result);
    }
    if (!failed)
        failed = !updateDeviceVerifySetting(path, path->getDevice().getModelName());
    return !failed;
}

bool readDeviceVerifySetting(const std::string& model)
{
    RegistryKey key(HKEY_CURRENT_USER, settingskeys::kSettings, RegistryKey::kRead);
    DWORD setting = 0;
    if (key.queryDword(L"LumoDeviceVerify", &setting) && (setting & kAcceptEveryDevice))
        return true;
    return isQZModel(model);
}

bool updateDeviceVerifySetting(PrintPath* path, const std::string& model)
{
    LumoraPrintingExtension* extension = LumoraPrintingExtension::current();
    const DestinationContext* context = extension ? extension->getDestinationContext() : nullptr;
    const std::wstring printer = context ? context->getPrinterName() : L"";
    bool accepted = readDeviceVerifySetting(model);
    if (accepted && !isQZModel(model)) {
        LumoraSettings* settings = extension ? extension->getSettings() : nullptr;
        accepted = settings && settings->isQZDeviceOptional() &&
                   (!path || !extension->isJobDeliveryDestination(printer.c_str(), nullptr, path, nullptr));
    }
    // Without a job's queue there is nothing to write: an empty name would
    // open the print server itself.
    if (!printer.empty()) {
        PrinterSettings settings(printer.c_str(), PRINTER_ALL_ACCESS);
        settings.setDword(L"LumoDeviceVerify", accepted ? 1 : 0);
    }
    return accepted;
}

bool updateExternalBidiConfig(PrintPath* path, const std::wstring& printerName)
{
    if (!path)
        return false;
    const std::wstring source = path->getStringAttribute(PrintPathAttr::ExternalBidiConfigData);
    if (source.empty())
        return false;
    const std::wstring& existing = path->getStringAttribute(PrintPathAttr::ExtBidiCacheFile);
    if (!existing.empty() && fileReadable(existing))
        return true;

    std::wstring cacheFile;
    bool made = false;
    if (source.compare(0, 4, L"http") == 0) {
        const std::wstring download = makeTempFileName(nullptr);
        DWORD status = 0;
        if (httpGetToFile(source.c_str(), download.c_str(), &status, kDownloadTimeoutMs)) {
            if (path->getNumericAttribute(PrintPathAttr::ExternalConfigType) == kExternalXmlObjects)
                made = XMLRegistryCache(nullptr).convertToCacheFile(download.c_str(), printerName.c_str(), cacheFile);
            else
                made = RegistryCache(nullptr).importCacheFile(printerName.c_str(), download.c_str(), cacheFile);
        }
        // A failed download leaves what arrived of it: never keep it.
        DeleteFileW(download.c_str());
    } else {
        made = RegistryCache(nullptr).importCacheFile(printerName.c_str(), source.c_str(), cacheFile);
    }
    if (made)
        path->setStringAttribute(PrintPathAttr::ExtBidiCacheFile, cacheFile, true);
    return made;
}

bool printerPortDiffersFromPrintPath(PrintPath* path, const std::wstring& printerName)
{
    HANDLE handle = nullptr;
    if (!path || !openPrinterWithAccess(printerName, &handle, PRINTER_ACCESS_USE))
        return false;
    std::wstring port;
    {
        const ScopedPrinter printer(handle);
        DWORD staticMode = 0;
        if (getPrinterDword(printer.get(), L"StaticMode", staticMode) && staticMode != 0)
            return false;
        port = getPrinterPortName(printer.get());
    }
    LumoraPrintingExtension* extension = LumoraPrintingExtension::current();
    DestinationContext* context = extension ? extension->getDestinationContext() : nullptr;
    if (port.empty() || !context)
        return false;

    std::wstring needed;
    bool made = false;
    {
        const LentPrintPath lent(*context, path);
        made = extension->makePortRecord(context, needed) == ERROR_SUCCESS;
    }
    return made && !equalsIgnoringAsciiCase(port, needed);
}

} // namespace MPrint
