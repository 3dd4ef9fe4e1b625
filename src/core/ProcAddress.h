// Typed lookup of a DLL's export: the one place that casts FARPROC.
#pragma once

#include "core/Win32.h"

template <typename Fn>
Fn procAddress(HMODULE module, const char* name)
{
    if (!module)
        return nullptr;
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}
