#include "extension/Rundll32Launch.h"

#include "core/ScopedHandle.h"
#include "extension/ModuleEntry.h"

#include <vector>

namespace rundll {

std::wstring moduleFileName()
{
    std::vector<wchar_t> path(1024);
    const DWORD length = GetModuleFileNameW(ModuleEntry::moduleHandle(), path.data(), static_cast<DWORD>(path.size()));
    if (length == 0 || length >= path.size())
        return L"VRELM101.DLL";
    return std::wstring(path.data(), length);
}

std::wstring moduleDirectory(const std::wstring& moduleFile)
{
    const size_t separator = moduleFile.find_last_of(L"\\/");
    return separator == std::wstring::npos ? std::wstring() : moduleFile.substr(0, separator + 1);
}

std::wstring commandLine(const std::wstring& moduleFile, const wchar_t* entry)
{
    return L"rundll32.exe \"" + moduleFile + L"\"," + entry;
}

bool appendQuoted(std::wstring& line, const std::wstring& text)
{
    if (text.find(L'"') != std::wstring::npos)
        return false;
    line += L'"';
    line += text;
    line += L'"';
    return true;
}

namespace {

// The system's rundll32.exe by its full path: the bare name of the command
// line would be looked up in the application's and the current directory
// first, where anybody may have put a program of that name.
std::wstring systemRundll32()
{
    wchar_t system[MAX_PATH] = {};
    const UINT length = GetSystemDirectoryW(system, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return {};
    return std::wstring(system, length) + L"\\rundll32.exe";
}

} // namespace

bool start(const std::wstring& commandLine, const wchar_t* directory)
{
    const std::wstring program = systemRundll32();
    if (program.empty())
        return false;
    // The child outlives the printing application's call: it inherits none
    // of the application's handles.
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
    line.push_back(L'\0');
    if (!CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, directory, &startup, &process))
        return false;
    // Nothing waits for the child.
    ScopedKernelHandle thread(process.hThread);
    ScopedKernelHandle child(process.hProcess);
    return true;
}

} // namespace rundll
