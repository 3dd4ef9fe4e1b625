#include "core/CDbgHelp.h"

#include "core/ProcAddress.h"

#include <dbghelp.h>

#include <cstdio>
#include <cstring>

namespace {
using SymSetOptionsFn = DWORD(WINAPI*)(DWORD);
using SymGetOptionsFn = DWORD(WINAPI*)();
using SymInitializeFn = BOOL(WINAPI*)(HANDLE, PCSTR, BOOL);
using SymCleanupFn = BOOL(WINAPI*)(HANDLE);
using SymFromAddrFn = BOOL(WINAPI*)(HANDLE, DWORD64, PDWORD64, PSYMBOL_INFO);
using SymGetLineFromAddr64Fn = BOOL(WINAPI*)(HANDLE, DWORD64, PDWORD, PIMAGEHLP_LINE64);
using SymGetSearchPathFn = BOOL(WINAPI*)(HANDLE, PSTR, DWORD);
using SymSetSearchPathFn = BOOL(WINAPI*)(HANDLE, PCSTR);
constexpr DWORD kNameChars = 2000;
} // namespace

CDbgHelp::~CDbgHelp()
{
    // The session ends before its process handle closes and the library goes.
    if (ready_)
        if (auto cleanup = procAddress<SymCleanupFn>(module_.get(), "SymCleanup"))
            cleanup(process_.get());
}

bool CDbgHelp::initialize()
{
    if (ready_)
        return true;
    if (!module_)
        module_.reset(LoadLibraryW(L"dbghelp.dll"));
    auto setOptions = procAddress<SymSetOptionsFn>(module_.get(), "SymSetOptions");
    auto getOptions = procAddress<SymGetOptionsFn>(module_.get(), "SymGetOptions");
    auto init = procAddress<SymInitializeFn>(module_.get(), "SymInitialize");
    if (!setOptions || !getOptions || !init)
        return false;
    setOptions(getOptions() | SYMOPT_UNDNAME | SYMOPT_DEFERRED_LOADS | SYMOPT_DEBUG);
    if (!process_)
        // Module enumeration for SymInitialize needs the right to read the memory too.
        process_.reset(OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, GetCurrentProcessId()));
    ready_ = process_ && init(process_.get(), nullptr, TRUE);
    return ready_;
}

void CDbgHelp::lookup(void* address, char* function, char* file, DWORD* line)
{
    function[0] = '\0';
    file[0] = '\0';
    *line = 0;
    if (!ready_)
        return;
    // SYMBOL_INFO with room for the name, without the heap.
    alignas(SYMBOL_INFO) char buffer[sizeof(SYMBOL_INFO) + kNameChars] = {};
    auto* symbol = reinterpret_cast<SYMBOL_INFO*>(buffer);
    symbol->SizeOfStruct = sizeof(SYMBOL_INFO);
    symbol->MaxNameLen = kNameChars;
    DWORD64 displacement = 0;
    if (auto fromAddr = procAddress<SymFromAddrFn>(module_.get(), "SymFromAddr");
        fromAddr && fromAddr(process_.get(), reinterpret_cast<DWORD64>(address), &displacement, symbol))
        std::snprintf(function, 260, "%s", symbol->Name);
    IMAGEHLP_LINE64 where{};
    where.SizeOfStruct = sizeof(where);
    DWORD offset = 0;
    if (auto lineFromAddr = procAddress<SymGetLineFromAddr64Fn>(module_.get(), "SymGetLineFromAddr64");
        lineFromAddr && lineFromAddr(process_.get(), reinterpret_cast<DWORD64>(address), &offset, &where)) {
        std::snprintf(file, 260, "%s", where.FileName ? where.FileName : "");
        *line = where.LineNumber;
    }
}

bool CDbgHelp::getSearchPath(char* path, DWORD size)
{
    auto get = procAddress<SymGetSearchPathFn>(module_.get(), "SymGetSearchPath");
    return ready_ && get && get(process_.get(), path, size);
}

bool CDbgHelp::setSearchPath(const char* path)
{
    auto set = procAddress<SymSetSearchPathFn>(module_.get(), "SymSetSearchPath");
    return ready_ && set && set(process_.get(), path);
}

bool CDbgHelp::appendSearchPath(const char* entry)
{
    char current[512] = {};
    char combined[512] = {};
    if (!getSearchPath(current, sizeof(current)))
        return false;
    const int written = std::snprintf(combined, sizeof(combined), "%s;%s", current, entry);
    return written > 0 && static_cast<size_t>(written) < sizeof(combined) && setSearchPath(combined);
}
