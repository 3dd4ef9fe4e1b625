#include "support/ConfiguredDevice.h"

namespace testenv {

std::string pdlList(const MPrint::Device& device)
{
    std::string out;
    for (auto it = device.pdlBegin(); it != device.pdlEnd(); ++it)
        out += (out.empty() ? "" : ",") + std::to_string((*it)->getFamily()) + ":" + (*it)->getDescription() + "/" +
               (*it)->getVersion();
    return out;
}

} // namespace testenv
