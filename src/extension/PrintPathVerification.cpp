#include "extension/PrintPathVerification.h"

#include "VagantUIExtension/DiscoveryServicesManager.h"
#include "core/ComponentRegistry.h"
#include "core/RegistryKey.h"
#include "core/ScopedHandle.h"
#include "core/StringConversion.h"
#include "core/WaitCursor.h"
#include "destination/PrintPathAttr.h"
#include "destination/TargetHistoryList.h"
#include "discovery/DiscoveryServiceIntf.h"
#include "discovery/PrintPathText.h"
#include "extension/LumoraPrintingExtension.h"
#include "extension/ManagedPrintPolicy.h"
#include "extension/PrintTimeDialogs.h"
#include "shared/DeviceRenderTypeHandler.h"
#include "shared/PrintDriver.h"
#include "shared/SpoolerNames.h"
#include "shared/SpoolerQueries.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace MPrint {

namespace {

constexpr UINT kCaptionString = 1;
constexpr UINT kNotConfiguredString = 125;
constexpr UINT kMismatchString = 126;
constexpr UINT kMismatchQuestionString = 127;
constexpr UINT kQuestionFlags = MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2;

// Device verify levels of the settings.
constexpr DWORD kVerifyHigh = 0;
constexpr DWORD kVerifyAsk = 1;
constexpr DWORD kVerifyLow = 2;

// PDL codes.
enum : DWORD { kPdlNone = 0, kPdlPostScript = 1, kPdlPcl3 = 2, kPdlPcl5 = 3, kPdlPcl6 = 4 };
// Printer MIB interpreter families.
enum : DWORD { kFamilyPcl = 3, kFamilyPostScript = 6, kFamilyPcl3 = 7, kFamilyPclXl = 47 };

bool contains(const std::wstring& text, const wchar_t* word)
{
    return text.find(word) != std::wstring::npos;
}

std::string lowered(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::wstring wide(const std::string& text)
{
    std::wstring out;
    convertString(text, out, CP_ACP);
    return out;
}

struct DriverDeclaration {
    std::wstring verifyPdl; // empty: nothing declared
    DWORD autoCreated = 0;
};

// False when the printer cannot be opened.
bool readDriverDeclaration(const std::wstring& printerName, DriverDeclaration& out)
{
    HANDLE handle = nullptr;
    if (!OpenPrinterW(const_cast<wchar_t*>(printerName.c_str()), &handle, nullptr))
        return false;
    const ScopedPrinter printer(handle);
    std::wstring keyPath;
    PrintDriver driver(printer.get());
    if (driver.getDriverRegKeyPath(keyPath)) {
        RegistryKey key(HKEY_LOCAL_MACHINE, keyPath, RegistryKey::kRead);
        key.queryString(L"VerifyPDL", out.verifyPdl);
    }
    getPrinterDword(printer.get(), L"LumoAutoCreated", out.autoCreated);
    return true;
}

// The PDL code of one interpreter as far as the driver declares it; records
// the PostScript level found in the version text on the path.
DWORD pdlOf(const PdlInfo& pdl, const std::wstring& declared, PrintPath& path)
{
    switch (pdl.getFamily()) {
    case kFamilyPcl:
        if (contains(declared, L"PCL5"))
            return kPdlPcl5;
        return pdl.getMajorVersion() != 5 && contains(declared, L"PCL3") ? kPdlPcl3 : kPdlNone;
    case kFamilyPclXl:
        return contains(declared, L"PCL6") ? kPdlPcl6 : kPdlNone;
    case kFamilyPostScript: {
        const std::string version = lowered(pdl.getVersion());
        if (version.find("version 3") != std::string::npos)
            path.setNumericAttribute(PrintPathAttr::LumoPSLanguageLevel, 3, true);
        else if (version.find("version 2") != std::string::npos)
            path.setNumericAttribute(PrintPathAttr::LumoPSLanguageLevel, 2, true);
        return contains(declared, L"PostScript") ? kPdlPostScript : kPdlNone;
    }
    case kFamilyPcl3:
        return contains(declared, L"PCL3") ? kPdlPcl3 : kPdlNone;
    default:
        return kPdlNone;
    }
}

// The PDL a model name suggests, when the driver declares it.
DWORD guessPdl(const std::string& model, const std::wstring& declared)
{
    const std::string name = lowered(model);
    if (name.find("plinthe") != std::string::npos || name.find("inkjet") != std::string::npos)
        return contains(declared, L"PCL3") ? kPdlPcl3 : kPdlNone;
    if (name.find("ardelle") == std::string::npos)
        return kPdlNone;
    if (contains(declared, L"PostScript") && name.find("postscript") != std::string::npos)
        return kPdlPostScript;
    return contains(declared, L"PCL5") ? kPdlPcl5 : kPdlNone;
}

} // namespace

PrintPath* findPrintPathInHistory(const wchar_t* destination, const wchar_t* profile)
{
    LumoraPrintingExtension* extension = LumoraPrintingExtension::current();
    LumoraSettings* settings = extension ? extension->getSettings() : nullptr;
    if (!settings || !destination)
        return nullptr;
    if (profile && *profile)
        settings->selectProfile(profile);
    TargetHistoryList history(settings->getTargetHistoryKey());
    history.load();
    for (auto entry = history.begin(); entry != history.end(); ++entry) {
        if (history.getDisplayString(entry) != destination)
            continue;
        PrintPath* path = entry->get();
        return history.detach(path) ? path : nullptr;
    }
    return nullptr;
}

DWORD validateDevice(HWND parent, PrintPath* path)
{
    if (!path)
        return kNoUsableService;
    if (path->getNumericAttribute(PrintPathAttr::ValidateDevice) == 0)
        return kDeviceValid;
    if (!path->getStringAttribute(PrintPathAttr::ExternalBidiConfigData).empty())
        return kDeviceValid;
    GUID id;
    // The manager belongs to the extension; without one there is none to ask.
    if (!path->getDiscoveryId(id) || !LumoraPrintingExtension::current())
        return kNoUsableService;
    DiscoveryServiceIntf* service = DiscoveryServicesManager::GetInstance()->GetService(id);
    if (!service || !service->IsRunning())
        return kNoUsableService;
    return service->ValidateDevice(parent, path);
}

bool validateDeviceWithPrompt(HWND parent, PrintPath* path, DWORD& status)
{
    if (!path)
        return false;
    for (;;) {
        {
            WaitCursor wait;
            status = validateDevice(parent, path);
        }
        if (status != kShareAccessRefused)
            return status == kDeviceValid;
        if (PrintTimeDialogs::current().connectShare(LumoraPrintingExtension::current(), parent,
                                                     path->getStringAttribute(PrintPathAttr::Address)) != 1)
            return false;
    }
}

DWORD verifyDevicePDL(HWND parent, PrintPath* path, const std::wstring& printerName)
{
    LumoraPrintingExtension* extension = LumoraPrintingExtension::current();
    LumoraSettings* settings = extension ? extension->getSettings() : nullptr;
    DriverDeclaration driver;
    if (!path || !settings || !readDriverDeclaration(printerName, driver) || driver.verifyPdl.empty())
        return kPdlNotChecked;
    const std::wstring& declared = driver.verifyPdl;

    const Device& device = path->getDevice();
    const std::string& model = device.getModelName();
    bool matched = false;
    for (auto it = device.pdlBegin(); it != device.pdlEnd(); ++it) {
        const PdlInfo& pdl = **it;
        const DWORD code = pdlOf(pdl, declared, *path);
        if (code == kPdlNone)
            continue;
        matched = true;
        CDeviceRenderTypeHandler renderType;
        const int colour = renderType.SetRenderType(CDeviceRenderTypeHandler::DeviceColorUnknown, wide(model),
                                                    static_cast<int>(code), wide(pdl.getVersion()));
        path->setNumericAttribute(PrintPathAttr::LumoIsColorDevice, static_cast<DWORD>(colour), true);
    }
    if (matched)
        return kPdlAccepted;

    const DWORD guessAllowed = path->getNumericAttribute(PrintPathAttr::DV_PDL);
    if (guessAllowed == 0 && !model.empty() && guessPdl(model, declared) != kPdlNone)
        return kPdlAccepted;

    const std::wstring consent = std::wstring(PrintPathAttr::IgnorePDLCheck) + declared;
    const DWORD level = settings->getDeviceVerifyLevel();
    if (!path->getStringAttribute(consent).empty() || level == kVerifyLow)
        return kPdlAccepted;

    UINT message = kMismatchString;
    UINT flags = MB_ICONHAND;
    if (path->getNumericAttribute(PrintPathAttr::DV_ModelName) != 1 && !path->isDeviceConfigured())
        message = kNotConfiguredString;
    else if ((path->getNumericAttribute(PrintPathAttr::DV_ModelName) != 1 || guessAllowed == 0) &&
             level == kVerifyAsk) {
        message = kMismatchQuestionString;
        flags = kQuestionFlags;
    }

    int answer = IDYES;
    if (driver.autoCreated != 0 || isSpoolerProcess()) {
        // Nobody can answer a box here. A question is taken as answered yes
        // (and remembered, so the pair is not asked about again); an error
        // stays a refusal: taking it for a consent would store an acceptance
        // that the verify level forbids and that later silences the check.
        if (flags != kQuestionFlags)
            return kPdlRefused;
    } else {
        const ResourceLoader& loader = settings->getResourceLoader();
        const std::wstring text = formatWithArgument(loader.loadString(message),
                                                     path->getStringAttribute(PrintPathAttr::DisplayString).c_str());
        answer = MessageBoxW(parent, text.c_str(), loader.loadString(kCaptionString).c_str(), flags);
    }
    if (answer != IDYES)
        return kPdlRefused;
    path->setStringAttribute(consent, declared, true);
    return kPdlAccepted;
}

bool setPrinterInfoText(PrintPath* path, const std::wstring& model, const std::wstring& address)
{
    if (!path)
        return false;
    return setPrinterInfoText(*path, ComponentRegistry::getResourceLoader(), model, address,
                              ManagedPrintPolicy::instance()->isDeviceAddressShown());
}

bool setPrinterInfoTextFromModel(PrintPath* path, const std::string& model, const std::wstring& address)
{
    return setPrinterInfoText(path, wide(model), address);
}

bool isQZModel(const std::string& model)
{
    static const char* const kPrefixes[] = {"QZ ",      "qz ",        "Tarvokin", "TARVOKIN", "Calvenor",
                                            "QZCalvenor", "Plinthe", "QZPlinthe", "Lumisca", "QZLumisca"};
    if (model.empty())
        return true;
    for (const char* prefix : kPrefixes)
        if (model.compare(0, strlen(prefix), prefix) == 0)
            return true;
    return false;
}

} // namespace MPrint
