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

// Points an environment variable of this process (and its children) at a
// fresh file in the temp folder, for a stand-in's record of its calls; the
// variable and the file go with the scope.
class ScopedLogVariable {
public:
    explicit ScopedLogVariable(const wchar_t* variable);
    ~ScopedLogVariable();
    ScopedLogVariable(const ScopedLogVariable&) = delete;
    ScopedLogVariable& operator=(const ScopedLogVariable&) = delete;
    const std::wstring& path() const { return path_; }
    std::vector<std::string> lines() const;
    // Lines whose first word is this one.
    size_t count(const std::string& word) const;

private:
    std::wstring variable_;
    std::wstring path_;
};

bool removeTree(const std::wstring& path);
// A driver store of this process's own below the folder: VRELM_SPOOLER_DRIVER_ROOT
// names it for this process and its children. Returns the folder of the
// queues' driver files ("...\\x64\\3"), created.
std::wstring makePrivateDriverStore(const TempDir& dir);
// A file or folder of that name exists.
bool fileExists(const std::wstring& path);
bool copyFileTo(const std::wstring& from, const std::wstring& to);
std::string readFile(const std::wstring& path);
// Creates or replaces the file with exactly these bytes.
bool writeFile(const std::wstring& path, const std::string& bytes);
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

// Runs a command line of this build's programs in a new Wine process whose
// user and system locale is `locale` (for example L"he_IL.UTF-8"), and
// returns the text it leaves in `reportFile` (empty when none appears
// within timeoutMs). Under Wine a child started directly inherits its
// parent's locale whatever its environment says, so this starts the build's
// wine-run.sh with LC_ALL set; such a Unix child gives no process handle and
// no captured output, hence the file. The child must write the report
// elsewhere and rename it to reportFile when complete (see writeReport).
std::string runInLocale(const std::wstring& commandLine, const std::wstring& locale,
                        const std::wstring& reportFile,
                        const std::vector<std::pair<std::wstring, std::wstring>>& environment = {},
                        DWORD timeoutMs = 30000);
// The child's side: writes the text and renames it into place at once.
bool writeReport(const std::wstring& reportFile, const std::string& text);

std::wstring widen(const std::string& text);
std::string narrow(const std::wstring& text);

} // namespace testenv
