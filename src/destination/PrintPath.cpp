#include "destination/PrintPath.h"

#include "core/StreamEncoders.h"
#include "core/StringConversion.h"
#include "destination/PrintPathParser.h"

#include <cstring>
#include <sstream>

namespace MPrint {

namespace {

// Device texts are narrow strings in the ANSI code page.
std::wstring widenAnsi(const std::string& text)
{
    std::wstring wide;
    convertString(text, wide, CP_ACP);
    return wide;
}

void writeElement(std::ostream& out, const char* name, const std::wstring& text)
{
    out << '<' << name << '>';
    XmlEscape(out, text);
    out << "</" << name << '>';
}

const std::wstring& emptyString()
{
    static const std::wstring empty;
    return empty;
}

} // namespace

PrintPath::PrintPath() = default;

PrintPath::PrintPath(const PrintPath& other) = default;

PrintPath::~PrintPath() = default;

void PrintPath::setDevice(const MPrint::Device& device, bool present)
{
    device_ = device;
    devicePresent_ = present;
}

bool PrintPath::getDiscoveryId(GUID& id) const
{
    id = discoveryId_;
    return true;
}

const std::wstring& PrintPath::getStringAttribute(const std::wstring& name) const
{
    auto it = attributes_.find(name);
    if (it == attributes_.end() || it->second.type != PrintPathAttribute::String)
        return emptyString();
    return it->second.text;
}

void PrintPath::setStringAttribute(const std::wstring& name, const std::wstring& value, bool persist)
{
    PrintPathAttribute attribute;
    attribute.persist = persist;
    attribute.type = PrintPathAttribute::String;
    attribute.text = value;
    setAttribute(name, std::move(attribute));
}

bool PrintPath::removeStringAttribute(const std::wstring& name)
{
    return removeAttribute(name, PrintPathAttribute::String);
}

DWORD PrintPath::getNumericAttribute(const std::wstring& name) const
{
    auto it = attributes_.find(name);
    if (it == attributes_.end() || it->second.type != PrintPathAttribute::Numeric)
        return 0xFFFFFFFF;
    return it->second.number;
}

void PrintPath::setNumericAttribute(const std::wstring& name, DWORD value, bool persist)
{
    PrintPathAttribute attribute;
    attribute.persist = persist;
    attribute.type = PrintPathAttribute::Numeric;
    attribute.number = value;
    setAttribute(name, std::move(attribute));
}

bool PrintPath::removeNumericAttribute(const std::wstring& name)
{
    return removeAttribute(name, PrintPathAttribute::Numeric);
}

bool PrintPath::getBinaryAttribute(const std::wstring& name, void* buffer, uint64_t& size) const
{
    auto it = attributes_.find(name);
    if (it == attributes_.end() || it->second.type != PrintPathAttribute::Binary) {
        size = 0;
        return false;
    }
    const std::vector<BYTE>& bytes = it->second.bytes;
    if (bytes.size() > size || (!buffer && !bytes.empty())) {
        size = bytes.size();
        return false;
    }
    if (!bytes.empty())
        memcpy(buffer, bytes.data(), bytes.size());
    size = bytes.size();
    return true;
}

void PrintPath::setBinaryAttribute(const std::wstring& name, const void* data, uint64_t size, bool persist)
{
    PrintPathAttribute attribute;
    attribute.persist = persist;
    attribute.type = PrintPathAttribute::Binary;
    if (data && size)
        attribute.bytes.assign(static_cast<const BYTE*>(data), static_cast<const BYTE*>(data) + size);
    setAttribute(name, std::move(attribute));
}

bool PrintPath::removeBinaryAttribute(const std::wstring& name)
{
    return removeAttribute(name, PrintPathAttribute::Binary);
}

void PrintPath::setAttribute(const std::wstring& name, PrintPathAttribute&& value)
{
    attributes_[name] = std::move(value);
}

bool PrintPath::removeAttribute(const std::wstring& name, DWORD type)
{
    auto it = attributes_.find(name);
    if (it == attributes_.end() || it->second.type != type)
        return false;
    attributes_.erase(it);
    return true;
}

void PrintPath::toXml(const PrintPath& path, std::string& out, bool withDeclaration)
{
    std::ostringstream xml;
    if (withDeclaration)
        xml << "<?xml version=\"1.0\" encoding=\"UTF-8\"?> ";
    xml << "<print-path>";
    if (!path.devicePresent_) {
        xml << "<device/>";
    } else {
        const Device& device = path.device_;
        // Escaped like every other text, so that "A & B" cannot break the
        // document (and with it the history entry that stores it).
        xml << "<device>";
        writeElement(xml, "model", widenAnsi(device.getModelName()));
        writeElement(xml, "friendly-name", widenAnsi(device.getFriendlyName()));
        for (auto it = device.pdlBegin(); it != device.pdlEnd(); ++it) {
            xml << "<pdl><family>" << (*it)->getFamily() << "</family>";
            writeElement(xml, "description", widenAnsi((*it)->getDescription()));
            writeElement(xml, "version", widenAnsi((*it)->getVersion()));
            xml << "</pdl>";
        }
        xml << "</device><device-configured>" << (path.deviceConfigured_ ? '1' : '0') << "</device-configured>";
    }
    xml << "<discovery>";
    WriteGuid(xml, path.discoveryId_) << "</discovery>";
    for (const GUID& id : path.configuratorIds_) {
        xml << "<configurator>";
        WriteGuid(xml, id) << "</configurator>";
    }
    for (const GUID& id : path.featureIds_) {
        xml << "<features>";
        WriteGuid(xml, id) << "</features>";
    }
    xml << "<attributes>";
    for (const auto& [name, attribute] : path.attributes_) {
        if (!attribute.persist)
            continue;
        xml << "<attribute>";
        writeElement(xml, "name", name);
        switch (attribute.type) {
        case PrintPathAttribute::String:
            writeElement(xml, "value-string", attribute.text);
            break;
        case PrintPathAttribute::Numeric:
            xml << "<value-numeric>" << static_cast<unsigned long>(attribute.number) << "</value-numeric>";
            break;
        case PrintPathAttribute::Binary:
            xml << "<value-binary size='" << attribute.bytes.size() << "' encoding='base64'>";
            Base64Encode(xml, attribute.bytes.data(), attribute.bytes.size()) << "</value-binary>";
            break;
        default:
            break;
        }
        xml << "</attribute>";
    }
    xml << "</attributes></print-path>";
    out = xml.str();
}

PrintPath* PrintPath::fromXml(const std::string& xml)
{
    QZAutoPtr<PrintPath> path(new PrintPath);
    PrintPathParser parser(path.get());
    if (!parser.parse(xml))
        return nullptr;
    return path.release();
}

PrintPath* PrintPath::fromXml(const std::wstring& xml)
{
    // Already decoded text: its UTF-8 form is what a print-path document's
    // declaration says it is.
    std::string utf8;
    if (!convertToUtf8(xml, utf8))
        return nullptr;
    return fromXml(utf8);
}

} // namespace MPrint
