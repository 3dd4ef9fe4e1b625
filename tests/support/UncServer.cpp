#include "support/UncServer.h"

#include "support/TestEnv.h"

namespace testenv {

UncServer::UncServer(const std::wstring& server) : server_(server)
{
    wchar_t prefix[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableW(L"WINEPREFIX", prefix, MAX_PATH);
    if (length == 0 || length >= MAX_PATH || server.empty())
        return;
    std::wstring unc = L"Z:" + std::wstring(prefix, length) + L"\\dosdevices\\unc";
    for (wchar_t& c : unc)
        if (c == L'/')
            c = L'\\';
    CreateDirectoryW(unc.c_str(), nullptr);
    root_ = unc + L"\\" + server;
    ready_ = CreateDirectoryW(root_.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

UncServer::~UncServer()
{
    if (!root_.empty())
        removeTree(root_);
}

std::wstring UncServer::path(const std::wstring& relative) const
{
    return L"\\\\" + server_ + (relative.empty() ? L"" : L"\\" + relative);
}

std::wstring UncServer::local(const std::wstring& relative) const
{
    return root_ + L"\\" + relative;
}

bool UncServer::makeFolder(const std::wstring& relative) const
{
    if (!ready_)
        return false;
    // Each folder on the way, the last included.
    for (size_t slash = relative.find(L'\\'); slash != std::wstring::npos; slash = relative.find(L'\\', slash + 1))
        CreateDirectoryW(local(relative.substr(0, slash)).c_str(), nullptr);
    return CreateDirectoryW(local(relative).c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

bool UncServer::writeFile(const std::wstring& relative, const std::string& bytes) const
{
    const size_t slash = relative.rfind(L'\\');
    if (slash != std::wstring::npos && !makeFolder(relative.substr(0, slash)))
        return false;
    return ready_ && testenv::writeFile(local(relative), bytes);
}

} // namespace testenv
