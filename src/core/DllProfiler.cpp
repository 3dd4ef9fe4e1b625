#include "core/DllProfiler.h"

#include "core/ProcAddress.h"

#include <cwchar>
#include <iterator>
#include <cwctype>
#include <new>

namespace {
DllProfiler* g_profiler = nullptr;
// Constructed while the module loads, destroyed when it unloads.
DllProfiler g_profilerInstance;

const wchar_t kProfilerName[] = L"QZProfiler.dll";

wchar_t* copyToHeap(const wchar_t* text)
{
    const size_t length = std::wcslen(text);
    wchar_t* copy = new (std::nothrow) wchar_t[length + 1]();
    if (copy)
        std::wmemcpy(copy, text, length);
    return copy;
}
} // namespace

DllProfiler::DllProfiler()
{
    g_profiler = this;
}

DllProfiler::~DllProfiler()
{
    if (module_ && attached_ && detachLogger_)
        detachLogger_(ownModule_);
    delete[] ownFileName_;
    ownFileName_ = nullptr;
    // The profiler DLL stays loaded: its code may still be on another stack.
    if (g_profiler == this)
        g_profiler = nullptr;
}

DllProfiler* DllProfiler::instance()
{
    return g_profiler;
}

HMODULE DllProfiler::load() const
{
    if (HMODULE loaded = GetModuleHandleW(kProfilerName))
        return loaded;
    if (HMODULE found = LoadLibraryW(kProfilerName))
        return found;

    wchar_t host[521] = {};
    const DWORD hostLength = GetModuleFileNameW(nullptr, host, 520);
    for (DWORD i = 0; i < hostLength && i < 520; ++i)
        host[i] = static_cast<wchar_t>(std::towlower(host[i]));
    const bool spooler = hostLength == 0 || std::wcsstr(host, L"spoolsv.exe") != nullptr;

    wchar_t path[MAX_PATH * 2] = {};
    if (spooler) {
        // In the spooler the profiler must stand beside this module.
        wchar_t* own = getOwnModuleFileName(true);
        if (!own)
            return nullptr;
        wchar_t* slash = std::wcsrchr(own, L'\\');
        const bool ok = slash && size_t(slash - own) + 1 + std::size(kProfilerName) < std::size(path);
        if (ok) {
            slash[1] = L'\0';
            std::swprintf(path, std::size(path), L"%ls%ls", own, kProfilerName);
        }
        delete[] own;
        return ok ? LoadLibraryW(path) : nullptr;
    }

    // Elsewhere it lives in the "3" folder of the printer-driver directory.
    BYTE directory[1040 + sizeof(wchar_t)] = {};
    DWORD needed = 0;
    if (!GetPrinterDriverDirectoryW(nullptr, nullptr, 1, directory, 1040, &needed))
        return nullptr;
    const wchar_t* dir = reinterpret_cast<const wchar_t*>(directory);
    const size_t length = wcsnlen(dir, 520);
    const wchar_t* separator = (length > 0 && dir[length - 1] == L'\\') ? L"" : L"\\";
    const int written = std::swprintf(path, std::size(path), L"%.*ls%ls3\\%ls",
                                      static_cast<int>(length), dir, separator, kProfilerName);
    if (written <= 0)
        return nullptr;
    return LoadLibraryW(path);
}

bool DllProfiler::ensureLoaded()
{
    if (attempted_)
        return usable_ != 0;
    attempted_ = 1;

    module_ = load();
    if (!module_)
        return false;

    using UseLoggerFn = DWORD(__cdecl*)();
    auto useLogger = procAddress<UseLoggerFn>(module_, "UseLogger");
    if (!useLogger || !useLogger())
        return false;

    auto logTrace = procAddress<LogTraceFn>(module_, "LogTrace");
    auto scopeBegin = procAddress<ScopeBeginFn>(module_, "ProfileScopeBegin");
    auto scopeEnd = procAddress<ScopeEndFn>(module_, "ProfileScopeEnd");
    auto attach = procAddress<AttachFn>(module_, "AttachLogger");
    auto detach = procAddress<DetachFn>(module_, "DetachLogger");
    if (!logTrace || !scopeBegin || !scopeEnd || !attach || !detach)
        return false;
    logTrace_ = logTrace;
    scopeBegin_ = scopeBegin;
    scopeEnd_ = scopeEnd;
    attachLogger_ = attach;
    detachLogger_ = detach;

    ownFileName_ = getOwnModuleFileName(false);
    if (ownFileName_) {
        ownModule_ = GetModuleHandleW(ownFileName_);
        if (ownModule_)
            attached_ = attachLogger_(ownModule_);
    }
    usable_ = 1;
    return true;
}

void DllProfiler::logTrace(const char* text)
{
    if (ensureLoaded() && text)
        logTrace_(text);
}

DWORD DllProfiler::scopeBegin(const char* name)
{
    // A scope is a first use too: the DLL loads on whichever comes first.
    return ensureLoaded() ? scopeBegin_(name) : 0;
}

void DllProfiler::scopeEnd(DWORD id, const char* name)
{
    if (usable_)
        scopeEnd_(id, name);
}

void logTrace(const char* text)
{
    if (DllProfiler* profiler = DllProfiler::instance())
        profiler->logTrace(text);
}

DWORD profileScopeBegin(const char* name)
{
    DllProfiler* profiler = DllProfiler::instance();
    return profiler ? profiler->scopeBegin(name) : 0;
}

void profileScopeEnd(DWORD id, const char* name)
{
    if (DllProfiler* profiler = DllProfiler::instance())
        profiler->scopeEnd(id, name);
}

wchar_t* getOwnModuleFileName(bool fullPath)
{
    using GetModuleHandleExFn = BOOL(WINAPI*)(DWORD, LPCWSTR, HMODULE*);
    HMODULE kernel = GetModuleHandleW(L"Kernel32.dll");
    if (!kernel)
        return nullptr;
    auto getHandleEx = procAddress<GetModuleHandleExFn>(kernel, "GetModuleHandleExW");
    HMODULE self = nullptr;
    if (!getHandleEx ||
        !getHandleEx(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCWSTR>(&getOwnModuleFileName), &self))
        return nullptr;

    wchar_t path[512] = {};
    if (GetModuleFileNameW(self, path, 511) == 0)
        return nullptr;
    const wchar_t* slash = std::wcsrchr(path, L'\\');
    return copyToHeap(fullPath || !slash ? path : slash + 1);
}
