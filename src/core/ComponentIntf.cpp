#include "core/ComponentIntf.h"

namespace MPrint {

ComponentIntf::~ComponentIntf() = default;

} // namespace MPrint
