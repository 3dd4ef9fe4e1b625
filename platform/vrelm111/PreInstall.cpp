// The maker's pre-install step as the driver's module calls it once per new
// driver version: RunDllDoPreInstall appends "preinstall <command line>
// <thread priority>" to the file VRELM111_LOG names (nothing without it).
#include <windows.h>

#include <cstring>
#include <string>

namespace {

std::string environment(const char* name)
{
    char value[512] = {};
    const DWORD length = GetEnvironmentVariableA(name, value, sizeof(value));
    return length > 0 && length < sizeof(value) ? std::string(value, length) : std::string();
}

} // namespace

extern "C" void WINAPI RunDllDoPreInstall(HWND, HINSTANCE, LPSTR commandLine, int)
{
    const std::string path = environment("VRELM111_LOG");
    if (path.empty())
        return;
    std::string line = "preinstall\t";
    if (commandLine)
        line.append(commandLine, strnlen(commandLine, 1024));
    line += "\t" + std::to_string(GetThreadPriority(GetCurrentThread())) + "\n";
    HANDLE file = CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0;
    WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    CloseHandle(file);
}
