#include "tickets/JCTRetriever.h"

#include "core/FilePaths.h"
#include "core/ProcAddress.h"
#include "core/RegistryKey.h"
#include "core/ScopedHandle.h"
#include "core/SettingsKeys.h"
#include "shared/PrintDriver.h"
#include "shared/SpoolerQueries.h"
#include "tickets/JCTModule.h"
#include "tickets/JCTOptionsFeature.h"
#include "tickets/JCTTicket.h"

#include <share.h>

namespace {

constexpr wchar_t kMediaSize[] = L"MediaSize";
constexpr wchar_t kMediaType[] = L"MediaType";
// "JCTPath" is read into 520 bytes with its terminator.
constexpr size_t kMaxJCTPathChars = 259;

bool isMediaFeature(const std::wstring& name) { return name == kMediaSize || name == kMediaType; }

// A media feature whose default stands directly under ".../Default".
std::unique_ptr<JCTFeature> shortMediaFeature(const std::wstring& name)
{
    if (name == kMediaSize)
        return std::make_unique<JCTMediaSize>(L"/dd:MediaSizeID");
    return std::make_unique<JCTMediaType>(L"/dd:MediaTypeID");
}

std::unique_ptr<JCTFeature> newMediaFeature(const std::wstring& name)
{
    if (name == kMediaSize)
        return std::make_unique<JCTMediaSize>();
    return std::make_unique<JCTMediaType>();
}

} // namespace

JCTRetriever::JCTRetriever(const wchar_t* printerName, const wchar_t* address)
    : JCTManager(printerName ? printerName : L""), address_(address ? address : L"")
{
}

JCTRetriever::~JCTRetriever() = default;

bool JCTRetriever::applyDefaults()
{
    jctSupport_ = 0;
    bool ok = true;
    for (auto& [name, feature] : features_) {
        if (!isMediaFeature(name))
            continue;
        // A ticket that lacked the feature dropped it; the lists are always offered.
        if (!feature)
            feature = newMediaFeature(name);
        if (!feature->isValid())
            ok = feature->setDefaults() && ok;
    }
    return ok;
}

bool JCTRetriever::retrieveForDevice()
{
    if (!settings_.handle())
        return false;
    std::wstring path;
    const bool fromFile = findJCTPath(path);
    createFeatures();
    if (fromFile)
        readJCTFile(path);
    else
        createJCT();
    return applyDefaults();
}

bool JCTRetriever::createJCT()
{
    jctSupport_ = -1;
    std::wstring directory;
    PrintDriver driver(settings_.handle());
    if (!settings_.handle() || !driver.getDriverDirectory(directory))
        return false;
    ScopedModule module(loadOutsideModule((directory + jctmodule::kModuleName).c_str()));
    if (!module)
        return false;
    const std::wstring file = makeTempFileName(nullptr);
    const bool forDevice = !address_.empty();
    const auto create = procAddress<jctmodule::CreateJCTFn>(
        module.get(), forDevice ? jctmodule::kCreateJCTForDeviceAddress : jctmodule::kCreateJCTForPrintQueue);
    bool ok = false;
    if (create && create(forDevice ? address_.c_str() : printerName_.c_str(), file.c_str())) {
        ok = readJCTFile(file);
        jctSupport_ = ok ? 1 : 0;
    }
    DeleteFileW(file.c_str());
    return ok;
}

bool JCTRetriever::readJCTFile(const std::wstring& path)
{
    jctSupport_ = -1;
    FILE* stream = path.empty() ? nullptr : _wfsopen(path.c_str(), L"rb", _SH_DENYNO);
    if (!stream)
        return false;
    jctSupport_ = 1;
    const bool ok = parseJCT(stream);
    std::fclose(stream);
    return ok;
}

bool JCTRetriever::parseJCT(FILE* stream)
{
    MPrint::JCTTicket ticket;
    if (!ticket.initialize() || !ticket.loadStream(stream))
        return false;
    for (auto& [name, feature] : features_) {
        if (!feature || feature->isValid() || feature->read(&ticket))
            continue;
        feature.reset();
        if (!isMediaFeature(name))
            continue;
        std::unique_ptr<JCTFeature> second = shortMediaFeature(name);
        if (second->read(&ticket))
            feature = std::move(second);
    }
    return true;
}

bool JCTRetriever::findJCTPath(std::wstring& path)
{
    for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
        RegistryKey key(root, settingskeys::kSettings, 0);
        std::wstring value;
        if (key.isOpen() && key.queryString(L"JCTPath", value) && value.size() <= kMaxJCTPathChars) {
            path = value;
            return true;
        }
    }
    return false;
}

namespace {

// Steps 1, 2 and 4 of both entry points around the retrieval itself.
template <class Retrieve>
bool retrieveFor(const wchar_t* printerName, bool force, Retrieve retrieve)
{
    if (!printerName || !*printerName)
        return false;
    ScopedPrinter queue;
    if (!openPrinterWithAccess(printerName, queue.receive(), PRINTER_ACCESS_USE))
        return false;
    if (!force && JCTManager::hasStoredJCT(queue.get()))
        return true;
    return retrieve();
}

} // namespace

bool retrieveJCTForPrintQueue(const wchar_t* printerName, bool force)
{
    return retrieveFor(printerName, force, [&] {
        JCTRetriever retriever(printerName, nullptr);
        retriever.createFeatures();
        return retriever.applyDefaults() && retriever.saveToPrinterData();
    });
}

bool retrieveJCTForDeviceAddress(const wchar_t* printerName, bool force, const wchar_t* address)
{
    return retrieveFor(printerName, force, [&] {
        JCTRetriever retriever(printerName, address);
        return retriever.retrieveForDevice() && retriever.saveToPrinterData();
    });
}
