#include "support/LoopbackAddress.h"

#include "core/Win32.h"

#include <cstdint>

namespace testenv {

unsigned long randomLoopback(std::mt19937& random)
{
    std::uniform_int_distribution<unsigned long> part(1, 254);
    return (127ul << 24) | (part(random) << 16) | (part(random) << 8) | part(random);
}

std::mt19937 seededRandom()
{
    static int anchor = 0;
    return std::mt19937(static_cast<unsigned>(GetCurrentProcessId() * 2654435761u ^ GetTickCount() ^
                                              static_cast<unsigned>(reinterpret_cast<uintptr_t>(&anchor))));
}

} // namespace testenv
