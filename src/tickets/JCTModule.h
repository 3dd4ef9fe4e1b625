// The maker's module that writes a queue's or a device's job-control ticket
// to a file: loaded from the queue's driver directory. Both exports take two
// terminated wide texts (the queue name or device address, then the file to
// write) and answer non-zero on success. Shared with the stand-in.
#pragma once

#include "core/Win32.h"

namespace jctmodule {

inline constexpr wchar_t kModuleName[] = L"vrelm108.DLL";
inline constexpr char kCreateJCTForDeviceAddress[] = "CreateJCTForDeviceAddress";
inline constexpr char kCreateJCTForPrintQueue[] = "CreateJCTForPrintQueue";

using CreateJCTFn = BOOL(WINAPI*)(const wchar_t* source, const wchar_t* fileName);

} // namespace jctmodule
