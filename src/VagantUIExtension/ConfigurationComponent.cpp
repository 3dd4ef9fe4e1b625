#include "VagantUIExtension/ConfigurationComponent.h"

namespace MPrint {

uint32_t ConfigurationComponent::Initialize(const ResourceLoader& loader, void* context)
{
    loader_ = loader;
    context_ = context;
    return 0;
}

bool ConfigurationComponent::IsEnabled()
{
    return enabled_;
}

uint32_t ConfigurationComponent::SetEnabled(bool enabled)
{
    enabled_ = enabled;
    return 0;
}

} // namespace MPrint
