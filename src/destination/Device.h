// The device behind a print path: model and friendly name (narrow, ANSI
// code page) and the PDL records it reported, which it owns.
#pragma once

#include "destination/PdlInfo.h"

#include <string>
#include <vector>

namespace MPrint {

class Device {
public:
    using PdlList = std::vector<PdlInfo*>;
    using const_iterator = PdlList::const_iterator;

    Device() = default;
    Device(const std::string& modelName, const std::string& friendlyName);
    Device(const Device& other);
    // Replaces this device's records by copies of the other's.
    Device& operator=(const Device& other);
    virtual ~Device();

    const std::string& getModelName() const { return modelName_; }
    void setModelName(const std::string& name) { modelName_ = name; }
    const std::string& getFriendlyName() const { return friendlyName_; }
    void setFriendlyName(const std::string& name) { friendlyName_ = name; }

    const_iterator pdlBegin() const { return pdls_.begin(); }
    const_iterator pdlEnd() const { return pdls_.end(); }

    // Appends a copy; the caller keeps its record.
    void addPdl(const PdlInfo& pdl);
    // Appends the record itself; the device takes ownership.
    void addPdl(PdlInfo* pdl);

    // The first match from the front, or pdlEnd().
    const_iterator findPdlByDescription(const std::string& description) const;
    bool hasPdlDescription(const std::string& description) const;
    const_iterator findPdlByFamily(DWORD family) const;
    bool hasPdlFamily(DWORD family) const;

    // Deletes every record equal to the given one.
    void removePdl(const PdlInfo& pdl);
    void clearPdls();

private:
    PdlList pdls_;
    std::string modelName_;
    std::string friendlyName_;
};

} // namespace MPrint
