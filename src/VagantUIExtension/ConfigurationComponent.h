// What device configurators and feature accessors share as components: the
// enabled flag (on at construction), the resource loader and the registry's
// context, kept as Initialize gives them.
#pragma once

#include "core/ComponentIntf.h"
#include "core/ResourceLoader.h"

namespace MPrint {

class ConfigurationComponent : public ComponentIntf {
public:
    uint32_t Initialize(const ResourceLoader& loader, void* context) override;
    bool IsEnabled() override;
    uint32_t SetEnabled(bool enabled) override;

protected:
    const ResourceLoader& resourceLoader() const { return loader_; }

private:
    bool enabled_ = true;
    ResourceLoader loader_;
    void* context_ = nullptr;
};

} // namespace MPrint
