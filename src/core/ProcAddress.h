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

// LoadLibraryW of one of the maker's outside modules: a missing or damaged
// module shows no system message box (SEM_FAILCRITICALERRORS |
// SEM_NOOPENFILEERRORBOX for the call). Null on failure.
inline HMODULE loadOutsideModule(const wchar_t* path)
{
    const UINT oldMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    HMODULE module = LoadLibraryW(path);
    SetErrorMode(oldMode);
    return module;
}
