#include "tickets/JCTManager.h"

#include "shared/PrinterData.h"
#include "tickets/JCTBooleanFeature.h"
#include "tickets/JCTImageAdjustments.h"
#include "tickets/JCTTicket.h"
#include "tickets/JCTOptionsFeature.h"
#include "tickets/JCTXMLWrapper.h"

JCTManager::JCTManager(const wchar_t* printerName)
    : printerName_(printerName ? printerName : L""), settings_(printerName_.c_str(), PRINTER_ALL_ACCESS)
{
}

JCTManager::~JCTManager() = default;

void JCTManager::createFeatures()
{
    deleteFeatures();
    std::unique_ptr<JCTFeature> created[] = {
        std::make_unique<JCTMediaSize>(),
        std::make_unique<JCTMediaType>(),
        std::make_unique<JCTChromalign>(),
        std::make_unique<JCTJPEGArtifactReduction>(),
        std::make_unique<JCTJPEGPassthrough>(),
        std::make_unique<JCTPNGPassthrough>(),
        std::make_unique<JCTPNGTransparency>(),
        std::make_unique<JCTImageAdjustments>(),
        std::make_unique<JCTImageIdentification>(),
        std::make_unique<JCTOutputBinOrientation>(),
        std::make_unique<JCTDuplexOrientation>(),
    };
    for (auto& feature : created) {
        std::wstring name;
        feature->getName(name);
        features_[name] = std::move(feature);
    }
}

void JCTManager::deleteFeatures() { features_.clear(); }

JCTFeature* JCTManager::feature(const std::wstring& name) const
{
    const auto found = features_.find(name);
    return found == features_.end() ? nullptr : found->second.get();
}

bool JCTManager::hasStoredJCT(HANDLE printer)
{
    DWORD value = 0;
    return getPrinterDataExDword(printer, kDataKey, kSupportsJCT, &value) && value != 0xFFFFFFFF;
}

namespace {

// The code PrinterSettings leaves for GetLastError when it answers false.
DWORD codeOf(bool succeeded) { return succeeded ? ERROR_SUCCESS : GetLastError(); }

} // namespace

DWORD JCTManager::readPrinterDataString(const wchar_t* name, std::wstring& text, const wchar_t* key)
{
    return codeOf(settings_.getStringIn(key, name, text));
}

DWORD JCTManager::writeString(const wchar_t* name, const wchar_t* text, const wchar_t* key)
{
    if (text && !*text)
        return ERROR_SUCCESS;
    return codeOf(settings_.setStringIn(key, name, text));
}

DWORD JCTManager::writeDWORD(const wchar_t* name, DWORD value, const wchar_t* key)
{
    return codeOf(settings_.setDwordIn(key, name, value));
}

bool JCTManager::writeSupportsJCT(DWORD value)
{
    return writeDWORD(kSupportsJCT, value) == ERROR_SUCCESS && storeBatch();
}

bool JCTManager::storeBatch() { return !settings_.isDeferred() || settings_.commitDeferred(); }

bool JCTManager::saveToPrinterData()
{
    bool ok = true;
    for (const auto& [name, feature] : features_) {
        std::wstring text;
        // A valid feature with an empty text (no image adjustments) has
        // nothing to store either: an older value must not outlive it.
        if (feature && feature->isValid() && feature->getValue(text) && !text.empty())
            ok = writeString(name.c_str(), text.c_str()) == ERROR_SUCCESS && ok;
        else
            ok = settings_.deleteValueIn(kDataKey, name.c_str()) && ok;
    }
    return storeBatch() && ok;
}

bool JCTManager::loadFromPrinterData()
{
    bool any = false;
    for (auto& [name, feature] : features_) {
        std::wstring text;
        if (feature && readPrinterDataString(name.c_str(), text) == ERROR_SUCCESS && feature->setValue(text))
            any = true;
        else
            feature.reset();
    }
    return any;
}

std::unique_ptr<JCTManager> JCTManager::load(const wchar_t* printerName)
{
    auto manager = std::make_unique<JCTManager>(printerName);
    manager->createFeatures();
    if (!manager->loadFromPrinterData())
        manager.reset();
    return manager;
}

bool copyDeviceXMLFeatures(const wchar_t* printerName)
{
    constexpr wchar_t kXMLDataKey[] = L"PrinterDriverData\\XMLData";
    PrinterSettings settings(printerName, PRINTER_ALL_ACCESS);
    std::wstring file;
    if (!printerName || !settings.getString(L"QZXMLFileUsed", file) || file.empty())
        return false;
    struct Value {
        const wchar_t* name;
        const std::wstring* text;
    };
    // One load of the file serves all three readers.
    MPrint::JCTTicket ticket;
    if (!JCTXMLWrapper::open(ticket, file.c_str()))
        return false;
    std::vector<Value> values;
    ChromalignXMLWrapper chromalign;
    if (chromalign.readLoaded(ticket))
        values.insert(values.end(), {{L"Chromalign", &chromalign.chromalign},
                                     {L"ImageIdentification", &chromalign.imageIdentification},
                                     {L"JPEGArtifactReduction", &chromalign.jpegArtifactReduction},
                                     {L"JPEGPassthrough", &chromalign.jpegPassthrough},
                                     {L"ImageAdjustments", &chromalign.imageAdjustments},
                                     {L"PNGPassthrough", &chromalign.pngPassthrough},
                                     {L"PNGTransparency", &chromalign.pngTransparency}});
    OutputBinOrientationXMLWrapper outputBin;
    if (outputBin.readLoaded(ticket))
        values.push_back({L"OutputBinOrientation", &outputBin.orientation});
    DuplexOrientationXMLWrapper duplex;
    if (duplex.readLoaded(ticket))
        values.push_back({L"DuplexOrientation", &duplex.orientation});
    bool ok = !values.empty();
    bool wrote = false;
    for (const Value& value : values)
        if (!value.text->empty()) {
            ok = settings.setStringIn(kXMLDataKey, value.name, value.text->c_str()) && ok;
            wrote = true;
        }
    if (settings.isDeferred() && wrote)
        ok = settings.commitDeferred() && ok;
    return ok;
}
