// Stand-in for the optional diagnostic module. It appends one line per call
// to the file named by the environment variable QZPROFILER_LOG, so tests and
// the demo can see exactly what reached it. Built in three variants:
// complete, without "UseLogger", and with "UseLogger" answering 0.
#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace {
volatile LONG g_nextScope = 0;

void record(const char* format, ...)
{
    char path[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableA("QZPROFILER_LOG", path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return;
    char line[1200] = {};
    va_list args;
    va_start(args, format);
    const int written = _vsnprintf(line, sizeof(line) - 2, format, args);
    va_end(args);
    size_t size = written < 0 ? sizeof(line) - 2 : static_cast<size_t>(written);
    line[size++] = '\n';
    HANDLE file = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    DWORD done = 0;
    WriteFile(file, line, static_cast<DWORD>(size), &done, nullptr);
    CloseHandle(file);
}

void moduleBaseName(HMODULE module, char* out, DWORD size)
{
    char path[MAX_PATH] = {};
    if (!GetModuleFileNameA(module, path, MAX_PATH)) {
        std::snprintf(out, size, "?");
        return;
    }
    const char* slash = std::strrchr(path, '\\');
    std::snprintf(out, size, "%s", slash ? slash + 1 : path);
}
} // namespace

extern "C" {

#ifndef QZPROFILER_NO_USELOGGER
__declspec(dllexport) DWORD __cdecl UseLogger()
{
    record("UseLogger");
#ifdef QZPROFILER_USE_ZERO
    return 0;
#else
    return 1;
#endif
}
#endif

__declspec(dllexport) void __cdecl LogTrace(const char* text)
{
    record("LogTrace %s", text ? text : "(null)");
}

__declspec(dllexport) DWORD __cdecl ProfileScopeBegin(const char* name)
{
    const DWORD id = static_cast<DWORD>(InterlockedIncrement(&g_nextScope));
    record("ProfileScopeBegin %lu %s", id, name ? name : "(null)");
    return id;
}

__declspec(dllexport) void __cdecl ProfileScopeEnd(DWORD id, const char* name)
{
    record("ProfileScopeEnd %lu %s", id, name ? name : "(null)");
}

__declspec(dllexport) DWORD __cdecl AttachLogger(HMODULE module)
{
    char name[MAX_PATH] = {};
    moduleBaseName(module, name, sizeof(name));
    record("AttachLogger %s", name);
    return 1;
}

__declspec(dllexport) void __cdecl DetachLogger(HMODULE module)
{
    char name[MAX_PATH] = {};
    moduleBaseName(module, name, sizeof(name));
    record("DetachLogger %s", name);
}

} // extern "C"
