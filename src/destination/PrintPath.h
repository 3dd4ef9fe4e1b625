// One print destination: its device, the discovery service that found it,
// the configurators and feature accessors that apply, and named attributes
// (string, number or bytes), each with a flag deciding whether it is stored
// with the path's XML. Attribute names compare by UTF-16 code unit and are
// case-sensitive; names in use are in PrintPathAttr.h.
#pragma once

#include "core/QZAutoPtr.h"
#include "destination/Device.h"

#include <cstdint>
#include <list>
#include <map>
#include <string>
#include <vector>

namespace MPrint {

struct PrintPathAttribute {
    enum Type : DWORD { String = 0, Numeric = 1, Binary = 2 };

    bool persist = false;
    DWORD type = String;
    std::wstring text;        // String
    DWORD number = 0;         // Numeric
    std::vector<BYTE> bytes;  // Binary
};

class PrintPath {
public:
    using GuidList = std::vector<GUID>;
    using AttributeMap = std::map<std::wstring, PrintPathAttribute>;

    PrintPath();
    // A deep copy: device, flags, ids and every attribute.
    PrintPath(const PrintPath& other);
    PrintPath& operator=(const PrintPath&) = delete;
    virtual ~PrintPath();

    virtual PrintPath* getPrintPath() { return this; }

    MPrint::Device& getDevice() { return device_; }
    const MPrint::Device& getDevice() const { return device_; }
    // Copies the device; device-present is set only here.
    void setDevice(const MPrint::Device& device, bool present);
    bool isDevicePresent() const { return devicePresent_; }
    bool isDeviceConfigured() const { return deviceConfigured_; }
    void setDeviceConfigured(bool configured) { deviceConfigured_ = configured; }

    bool getDiscoveryId(GUID& id) const;
    void setDiscoveryId(const GUID& id) { discoveryId_ = id; }
    void addConfiguratorId(const GUID& id) { configuratorIds_.push_back(id); }
    GuidList::const_iterator configuratorsBegin() const { return configuratorIds_.begin(); }
    GuidList::const_iterator configuratorsEnd() const { return configuratorIds_.end(); }
    void addFeatureId(const GUID& id) { featureIds_.push_back(id); }
    GuidList::const_iterator featuresBegin() const { return featureIds_.begin(); }
    GuidList::const_iterator featuresEnd() const { return featureIds_.end(); }

    // The stored text, or a shared empty string when the name is absent or
    // holds another type.
    const std::wstring& getStringAttribute(const std::wstring& name) const;
    void setStringAttribute(const std::wstring& name, const std::wstring& value, bool persist);
    bool removeStringAttribute(const std::wstring& name);

    // 0xFFFFFFFF when absent or of another type; a stored 0xFFFFFFFF reads
    // the same as an absent value.
    DWORD getNumericAttribute(const std::wstring& name) const;
    void setNumericAttribute(const std::wstring& name, DWORD value, bool persist);
    bool removeNumericAttribute(const std::wstring& name);

    // size is in/out: the buffer's capacity in, the stored size out. Copies
    // and returns true only when the stored bytes fit; the buffer is
    // untouched otherwise (size 0 when the name holds no bytes).
    bool getBinaryAttribute(const std::wstring& name, void* buffer, uint64_t& size) const;
    void setBinaryAttribute(const std::wstring& name, const void* data, uint64_t size, bool persist);
    bool removeBinaryAttribute(const std::wstring& name);

    const AttributeMap& attributes() const { return attributes_; }

    // The print-path XML document of the path (persisted attributes only),
    // optionally with its UTF-8 declaration. The text is plain ASCII: every
    // character outside it is a character reference.
    static void toXml(const PrintPath& path, std::string& out, bool withDeclaration);
    // A new path owned by the caller, or null when the document is rejected.
    // The narrow form takes the document's bytes as stored or received.
    static PrintPath* fromXml(const std::string& xml);
    // A document held as wide text: parsed as UTF-8.
    static PrintPath* fromXml(const std::wstring& xml);

private:
    void setAttribute(const std::wstring& name, PrintPathAttribute&& value);
    bool removeAttribute(const std::wstring& name, DWORD type);

    MPrint::Device device_;
    bool deviceConfigured_ = false;
    bool devicePresent_ = false;
    GUID discoveryId_ = {};
    GuidList configuratorIds_;
    GuidList featureIds_;
    AttributeMap attributes_;
};

} // namespace MPrint

// Print paths shared by discovery results and target histories.
using PrintPathList = std::list<QZAutoPtr<MPrint::PrintPath>>;
