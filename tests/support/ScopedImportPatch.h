// Points one import of a loaded module (found by DLL and function name) at
// a replacement until the scope ends. For what Wine cannot show: its
// message boxes, for one, ignore MB_RIGHT and MB_RTLREADING, so a test
// reads the flags a box was asked for at the call itself. A name that is
// not imported leaves the patch inactive.
#pragma once

#include "core/Win32.h"

namespace testenv {

class ScopedImportPatch {
public:
    ScopedImportPatch(HMODULE module, const char* dll, const char* function, void* replacement);
    ~ScopedImportPatch();
    ScopedImportPatch(const ScopedImportPatch&) = delete;
    ScopedImportPatch& operator=(const ScopedImportPatch&) = delete;

    bool active() const { return slot_ != nullptr; }
    void* original() const { return original_; }

private:
    static bool write(void** slot, void* value);

    void** slot_ = nullptr;
    void* original_ = nullptr;
};

} // namespace testenv
