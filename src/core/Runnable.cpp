#include "core/Runnable.h"

namespace MPrint {

Runnable::~Runnable() = default;

void Runnable::run()
{
}

} // namespace MPrint
