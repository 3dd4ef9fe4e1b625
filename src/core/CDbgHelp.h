// Symbol lookups for the memory tracker's reports through dbghelp.dll,
// loaded on first use. Without it (or without symbols) names are empty.
#pragma once

#include "core/ScopedHandle.h"
#include "core/Win32.h"

class CDbgHelp {
public:
    CDbgHelp() = default;
    virtual ~CDbgHelp();
    CDbgHelp(const CDbgHelp&) = delete;
    CDbgHelp& operator=(const CDbgHelp&) = delete;

    // Symbol options, the own process and SymInitialize with every loaded module.
    bool initialize();
    // Function and file (each at most 259 characters, empty when unknown) and line (0).
    void lookup(void* address, char* function, char* file, DWORD* line);
    bool getSearchPath(char* path, DWORD size);
    bool setSearchPath(const char* path);
    // The current path, ';' and the entry, in at most 512 bytes.
    bool appendSearchPath(const char* entry);

private:
    ScopedModule module_;
    ScopedKernelHandle process_;  // dbghelp knows the session by this handle
    bool ready_ = false;
};
