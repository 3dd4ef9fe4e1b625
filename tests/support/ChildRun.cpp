#include "support/ChildRun.h"

#include <cstdlib>

namespace testenv {

namespace {

std::wstring selfPath()
{
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    return self;
}

} // namespace

ProcessResult runSelf(const std::string& filter,
                      const std::vector<std::pair<std::wstring, std::wstring>>& environment,
                      DWORD timeoutMs)
{
    auto env = environment;
    env.emplace_back(L"VRELM_TEST_CHILD", L"1");
    return runProcess(L"\"" + selfPath() + L"\" --gtest_filter=" + widen(filter), env, L"", timeoutMs);
}

ProcessResult runSelfFromUnix(const std::string& filter,
                              const std::vector<std::pair<std::wstring, std::wstring>>& unixEnvironment,
                              DWORD timeoutMs)
{
    ProcessResult result;
    using UnixNameFn = char*(__cdecl*)(const wchar_t*);
    const auto unixName = reinterpret_cast<UnixNameFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    TempDir dir;
    if (!unixName || dir.path().empty())
        return result;
    char* folderName = unixName(dir.path().c_str());
    if (!folderName)
        return result;
    const std::string folder = folderName;
    HeapFree(GetProcessHeap(), 0, folderName);

    wchar_t loader[MAX_PATH] = L"/usr/lib/wine/wine64";
    GetEnvironmentVariableW(L"WINELOADER", loader, MAX_PATH);
    std::string variables = "VRELM_TEST_CHILD=1";
    for (const auto& [name, value] : unixEnvironment)
        variables += " " + narrow(name) + "='" + narrow(value) + "'";
    // Wine starts a Unix program with no process handle to wait on: the
    // script reports its end by renaming the exit-code file into place.
    // The loader must not think it is re-executing itself.
    const std::string script = "env -u WINELOADERNOEXEC " + variables + " '" + narrow(loader) + "' '" +
                               narrow(selfPath()) + "' '--gtest_filter=" + filter + "' >'" + folder +
                               "/out' 2>&1; echo $? >'" + folder + "/rc.tmp'; mv '" + folder + "/rc.tmp' '" +
                               folder + "/rc'";
    std::wstring command = L"Z:\\bin\\sh -c \"" + widen(script) + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return result;
    if (process.hProcess)
        CloseHandle(process.hProcess);
    if (process.hThread)
        CloseHandle(process.hThread);

    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    while (GetFileAttributesW(dir.file(L"rc").c_str()) == INVALID_FILE_ATTRIBUTES) {
        if (GetTickCount64() > deadline) {
            result.timedOut = true;
            break;
        }
        Sleep(20);
    }
    result.output = readFile(dir.file(L"out"));
    if (!result.timedOut)
        result.exitCode = static_cast<DWORD>(std::strtoul(readFile(dir.file(L"rc")).c_str(), nullptr, 10));
    return result;
}

bool inChildProcess()
{
    wchar_t value[8] = {};
    return GetEnvironmentVariableW(L"VRELM_TEST_CHILD", value, 8) > 0 && value[0] == L'1';
}

} // namespace testenv
