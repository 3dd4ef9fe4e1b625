// Shared fixtures for tests: the build's bin folder, scratch folders that
// clean up after themselves, and child processes with captured output.
#pragma once

#include "core/Win32.h"

#include <string>
#include <utility>
#include <vector>

namespace testenv {

// The folder of the running test executable (the build's bin folder).
std::wstring binDir();

// A fresh folder under the temp directory, removed with its contents.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::wstring& path() const { return path_; }
    std::wstring file(const std::wstring& name) const { return path_ + L"\\" + name; }

private:
    std::wstring path_;
};

bool removeTree(const std::wstring& path);
bool copyFileTo(const std::wstring& from, const std::wstring& to);
std::string readFile(const std::wstring& path);
std::vector<std::string> readLines(const std::wstring& path);

struct ProcessResult {
    DWORD exitCode = 0xFFFFFFFF;
    std::string output; // stdout and stderr together
    bool timedOut = false;
};

// Runs a command line with extra environment variables (name, value) and
// the given working folder (empty: inherit); kills it after timeoutMs.
ProcessResult runProcess(const std::wstring& commandLine,
                         const std::vector<std::pair<std::wstring, std::wstring>>& environment = {},
                         const std::wstring& workingDir = L"", DWORD timeoutMs = 30000);

std::wstring widen(const std::string& text);
std::string narrow(const std::wstring& text);

} // namespace testenv
