// The fixed part (VS_FIXEDFILEINFO) of a file's version resource.
#pragma once

#include "core/Win32.h"

// True with the fixed part copied out when the file has a version block
// whose fixed part is complete and carries the signature 0xFEEF04BD; the
// output is untouched otherwise. Only the block's own bytes are read.
bool getFileVersionInfoFixed(const wchar_t* path, VS_FIXEDFILEINFO& info);
