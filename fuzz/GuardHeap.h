// Guard bytes around every block from operator new in the fuzz program
// (there is no AddressSanitizer for mingw): the program replaces the global
// operator new and delete, so the module's code linked into it allocates
// through them. A block freed with its guards overwritten, or a pointer
// freed that no new returned, raises kGuardException, which the fuzz
// program's crash capture reports with the input that did it.
#pragma once

#include <cstddef>

namespace fuzz {

constexpr unsigned long kGuardException = 0xE0F0BAD0;

// Blocks from operator new not yet freed.
size_t liveHeapBlocks();

} // namespace fuzz
