#include "destination/Device.h"

#include <algorithm>

namespace MPrint {

Device::Device(const std::string& modelName, const std::string& friendlyName)
    : modelName_(modelName), friendlyName_(friendlyName)
{
}

Device::Device(const Device& other) : modelName_(other.modelName_), friendlyName_(other.friendlyName_)
{
    for (const PdlInfo* pdl : other.pdls_)
        addPdl(*pdl);
}

Device& Device::operator=(const Device& other)
{
    // Without this guard the records would be deleted before being copied.
    if (this == &other)
        return *this;
    modelName_ = other.modelName_;
    friendlyName_ = other.friendlyName_;
    clearPdls();
    for (const PdlInfo* pdl : other.pdls_)
        addPdl(*pdl);
    return *this;
}

Device::~Device()
{
    clearPdls();
}

void Device::addPdl(const PdlInfo& pdl)
{
    pdls_.push_back(new PdlInfo(pdl));
}

void Device::addPdl(PdlInfo* pdl)
{
    if (pdl)
        pdls_.push_back(pdl);
}

Device::const_iterator Device::findPdlByDescription(const std::string& description) const
{
    return std::find_if(pdls_.begin(), pdls_.end(),
                        [&](const PdlInfo* pdl) { return pdl->getDescription() == description; });
}

bool Device::hasPdlDescription(const std::string& description) const
{
    return findPdlByDescription(description) != pdls_.end();
}

Device::const_iterator Device::findPdlByFamily(DWORD family) const
{
    return std::find_if(pdls_.begin(), pdls_.end(), [&](const PdlInfo* pdl) { return pdl->getFamily() == family; });
}

bool Device::hasPdlFamily(DWORD family) const
{
    return findPdlByFamily(family) != pdls_.end();
}

void Device::removePdl(const PdlInfo& pdl)
{
    // The argument may itself be one of the records: compare on a copy.
    const PdlInfo target = pdl;
    auto keep = std::remove_if(pdls_.begin(), pdls_.end(), [&](PdlInfo* entry) {
        if (!(*entry == target))
            return false;
        delete entry;
        return true;
    });
    pdls_.erase(keep, pdls_.end());
}

void Device::clearPdls()
{
    for (PdlInfo* pdl : pdls_)
        delete pdl;
    pdls_.clear();
}

} // namespace MPrint
