// The optional diagnostic module "QZProfiler.dll": found and loaded once
// per process on first use; without it every trace call is a flag test.
#pragma once

#include "core/Win32.h"

class DllProfiler {
public:
    DllProfiler();
    virtual ~DllProfiler();
    DllProfiler(const DllProfiler&) = delete;
    DllProfiler& operator=(const DllProfiler&) = delete;

    // Returns the usable flag; the first call loads the DLL. Not locked: a
    // thread arriving while another loads finds it unusable (calls are no-ops).
    virtual bool ensureLoaded();

    bool usable() const { return usable_ != 0; }
    void logTrace(const char* text);
    DWORD scopeBegin(const char* name);
    void scopeEnd(DWORD id, const char* name);

    // The process-wide instance, null before construction and after destruction.
    static DllProfiler* instance();

private:
    using LogTraceFn = void(__cdecl*)(const char*);
    using ScopeBeginFn = DWORD(__cdecl*)(const char*);
    using ScopeEndFn = void(__cdecl*)(DWORD, const char*);
    using DetachFn = void(__cdecl*)(HMODULE);
    using AttachFn = DWORD(__cdecl*)(HMODULE);

    HMODULE load() const;

    HMODULE module_ = nullptr;
    LogTraceFn logTrace_ = nullptr;
    ScopeBeginFn scopeBegin_ = nullptr;
    ScopeEndFn scopeEnd_ = nullptr;
    DetachFn detachLogger_ = nullptr;
    AttachFn attachLogger_ = nullptr;
    DWORD usable_ = 0;
    DWORD attempted_ = 0;
    DWORD attached_ = 0;
    HMODULE ownModule_ = nullptr;
    wchar_t* ownFileName_ = nullptr;
};

// Passes the text to "LogTrace" when the profiler is usable.
void logTrace(const char* text);
// "ProfileScopeBegin"(name) when usable (loading on first use), else 0.
DWORD profileScopeBegin(const char* name);
// "ProfileScopeEnd"(id, name) when usable.
void profileScopeEnd(DWORD id, const char* name);

// This module's file name: the full path when fullPath is true or when the
// path holds no backslash, else the part after the last backslash. A heap
// block the caller frees with delete[]; null on failure.
wchar_t* getOwnModuleFileName(bool fullPath);
