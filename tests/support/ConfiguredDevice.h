// A print path's configured device as the configurator tests compare it.
#pragma once

#include "destination/Device.h"

#include <string>

namespace testenv {

// "family:description/version" of each language, in order, comma-separated.
std::string pdlList(const MPrint::Device& device);

} // namespace testenv
