// The owner of a WinINet handle (root, connection or request).
#pragma once

#include "core/ScopedHandle.h"
#include "core/Win32.h"

#include <wininet.h>

struct InternetHandleTraits {
    using Handle = HINTERNET;
    static Handle none() { return nullptr; }
    static bool isValid(Handle handle) { return handle != nullptr; }
    static bool close(Handle handle) { return InternetCloseHandle(handle) != FALSE; }
};
using InternetHandle = ScopedHandle<InternetHandleTraits>;
