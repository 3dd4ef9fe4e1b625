#include "extension/Rundll32Launch.h"

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

bool start(const std::wstring& commandLine, const wchar_t* directory)
{
    // The child outlives the printing application's call: it inherits none
    // of the application's handles.
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
    line.push_back(L'\0');
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, directory, &startup, &process))
        return false;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

} // namespace rundll
