#include "FuzzTarget.h"

namespace fuzz {

std::vector<TargetEntry>& registeredTargets()
{
    static std::vector<TargetEntry> targets;
    return targets;
}

TargetRegistration::TargetRegistration(const char* name, InputShape shape, std::unique_ptr<FuzzTarget> (*make)())
{
    registeredTargets().push_back({name, shape, make});
}

} // namespace fuzz
