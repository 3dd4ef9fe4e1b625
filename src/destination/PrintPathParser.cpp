#include "destination/PrintPathParser.h"

#include "core/StreamEncoders.h"
#include "core/StringConversion.h"

namespace MPrint {

namespace {

enum ElementId : DWORD {
    PrintPathElement = 1,
    DeviceElement = 2,
    ModelElement = 3,
    FriendlyNameElement = 4,
    PdlElement = 5,
    FamilyElement = 6,
    DescriptionElement = 7,
    VersionElement = 8,
    DeviceConfiguredElement = 9,
    DiscoveryElement = 10,
    ConfiguratorElement = 11,
    FeaturesElement = 12,
    AttributesElement = 16,
    AttributeElement = 17,
    NameElement = 18,
    ValueStringElement = 19,
    ValueNumericElement = 20,
    ValueBinaryElement = 21,
};

const SaxElementEntry kElements[] = {
    {L"print-path", PrintPathElement, SaxContainer},
    {L"device", DeviceElement, SaxContainer},
    {L"model", ModelElement, SaxString},
    {L"friendly-name", FriendlyNameElement, SaxString},
    {L"pdl", PdlElement, SaxContainer},
    {L"family", FamilyElement, SaxNumber},
    {L"description", DescriptionElement, SaxString},
    {L"version", VersionElement, SaxString},
    {L"device-configured", DeviceConfiguredElement, SaxBool},
    {L"discovery", DiscoveryElement, SaxGuid},
    {L"configurator", ConfiguratorElement, SaxGuid},
    {L"features", FeaturesElement, SaxGuid},
    {L"attributes", AttributesElement, SaxContainer},
    {L"attribute", AttributeElement, SaxContainer},
    {L"name", NameElement, SaxString},
    {L"value-string", ValueStringElement, SaxString},
    {L"value-numeric", ValueNumericElement, SaxNumber},
    {L"value-binary", ValueBinaryElement, SaxBinary},
    {nullptr, 0, 0},
};

// Device texts are kept as narrow strings in the ANSI code page.
std::string narrowAnsi(const std::wstring& text)
{
    std::string narrow;
    convertString(text, narrow, CP_ACP);
    return narrow;
}

} // namespace

PrintPathParser::PrintPathParser(PrintPath* target) : MSSAXParser(kElements, 0), target_(target) {}

bool PrintPathParser::parse(const std::string& xml)
{
    // The caller may have changed the target's device since the last parse.
    deviceHanded_ = false;
    return MSSAXParser::parse(xml);
}

void PrintPathParser::reset()
{
    MSSAXParser::reset();
    device_ = Device();
    if (target_)
        target_->setDevice(Device(), false);
    deviceSeen_ = false;
    deviceHanded_ = false;
    pdlsHanded_ = 0;
    namesChanged_ = false;
    pdlFamily_ = 0;
    pdlDescription_.clear();
    pdlVersion_.clear();
    clearAttribute();
}

void PrintPathParser::clearAttribute()
{
    name_.clear();
    stringValue_.clear();
    numericValue_ = 0;
    binaryValue_.clear();
    valueKind_ = None;
}

void PrintPathParser::onStringValue(const LevelData& level, const std::wstring& value)
{
    switch (level.elementId) {
    case ModelElement:
        device_.setModelName(narrowAnsi(value));
        deviceSeen_ = true;
        namesChanged_ = true;
        break;
    case FriendlyNameElement:
        device_.setFriendlyName(narrowAnsi(value));
        deviceSeen_ = true;
        namesChanged_ = true;
        break;
    case DescriptionElement:
        pdlDescription_ = value;
        break;
    case VersionElement:
        pdlVersion_ = value;
        break;
    case NameElement:
        name_ = value;
        break;
    case ValueStringElement:
        stringValue_ = value;
        valueKind_ = String;
        break;
    default:
        break;
    }
}

void PrintPathParser::onNumberValue(const LevelData& level, DWORD value)
{
    if (level.elementId == FamilyElement) {
        pdlFamily_ = value;
    } else if (level.elementId == ValueNumericElement) {
        numericValue_ = value;
        valueKind_ = Numeric;
    }
}

void PrintPathParser::onGuidValue(const LevelData& level, const GUID& value)
{
    if (!target_)
        return;
    if (level.elementId == DiscoveryElement)
        target_->setDiscoveryId(value);
    else if (level.elementId == ConfiguratorElement)
        target_->addConfiguratorId(value);
    else if (level.elementId == FeaturesElement)
        target_->addFeatureId(value);
}

void PrintPathParser::onBoolValue(const LevelData&, bool) {}

void PrintPathParser::onBinaryValue(const LevelData& level, const std::wstring& text)
{
    // Read back what the writer wrote, so a binary attribute survives a
    // round trip. Text that is not Base64 of whole groups sets nothing.
    if (level.elementId != ValueBinaryElement)
        return;
    std::vector<BYTE> bytes(text.size() / 4 * 3);
    const size_t count = Base64Decode(text.c_str(), text.size(), bytes.data(), bytes.size());
    if (count == 0 && !text.empty())
        return;
    bytes.resize(count);
    binaryValue_ = std::move(bytes);
    valueKind_ = Binary;
}

// The working device is never cleared within a document: names are
// overwritten and PDL records only appended. So after the first device end of
// a parse has copied it whole, the target stays equal to it by taking the
// changed names and the new records alone, and a document of many device
// elements is read in linear time.
void PrintPathParser::handDeviceToTarget()
{
    if (!deviceHanded_) {
        target_->setDevice(device_, true);
        deviceHanded_ = true;
    } else {
        Device& held = target_->getDevice();
        if (namesChanged_) {
            held.setModelName(device_.getModelName());
            held.setFriendlyName(device_.getFriendlyName());
        }
        for (auto pdl = device_.pdlBegin() + pdlsHanded_; pdl != device_.pdlEnd(); ++pdl)
            held.addPdl(**pdl);
    }
    pdlsHanded_ = device_.pdlEnd() - device_.pdlBegin();
    namesChanged_ = false;
}

void PrintPathParser::onContainerEnd(const LevelData& level, const std::wstring&)
{
    if (!target_)
        return;
    switch (level.elementId) {
    case PdlElement:
        // The family and texts carry over to a following pdl that lacks them.
        device_.addPdl(new PdlInfo(pdlFamily_, narrowAnsi(pdlDescription_), narrowAnsi(pdlVersion_)));
        deviceSeen_ = true;
        break;
    case DeviceElement:
        if (deviceSeen_)
            handDeviceToTarget();
        break;
    case AttributeElement:
        if (valueKind_ == String)
            target_->setStringAttribute(name_, stringValue_, true);
        else if (valueKind_ == Numeric)
            target_->setNumericAttribute(name_, numericValue_, true);
        else if (valueKind_ == Binary)
            target_->setBinaryAttribute(name_, binaryValue_.data(), binaryValue_.size(), true);
        clearAttribute();
        break;
    default:
        break;
    }
}

} // namespace MPrint
