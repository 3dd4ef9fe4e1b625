#include "destination/PrintPath.h"

#include <cstring>

namespace MPrint {

namespace {

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

} // namespace MPrint
