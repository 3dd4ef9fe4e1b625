// The base of every discovery service, device configurator and feature
// accessor. Components are made by the ComponentRegistry's creators and
// owned (and deleted) by whoever asked for them.
#pragma once

#include <cstdint>

namespace MPrint {

class ResourceLoader;

class ComponentIntf {
public:
    ComponentIntf() = default;
    virtual ~ComponentIntf();
    ComponentIntf(const ComponentIntf&) = delete;
    ComponentIntf& operator=(const ComponentIntf&) = delete;

    // context: the registry's opaque context value, never interpreted here.
    virtual uint32_t Initialize(const ResourceLoader& loader, void* context) = 0;
    virtual bool IsEnabled() = 0;
    virtual uint32_t SetEnabled(bool enabled) = 0;
    virtual uint32_t Execute(void* argument) = 0;
};

} // namespace MPrint
