#include "support/TestEnv.h"

#include <cstdio>
#include <map>

namespace testenv {

std::wstring binDir()
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring dir = path;
    return dir.substr(0, dir.find_last_of(L'\\'));
}

TempDir::TempDir()
{
    static LONG counter = 0;
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    for (;;) {
        path_ = std::wstring(temp) + L"vrelm-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                std::to_wstring(InterlockedIncrement(&counter));
        if (CreateDirectoryW(path_.c_str(), nullptr))
            break;
        if (GetLastError() != ERROR_ALREADY_EXISTS) {
            path_.clear();
            break;
        }
    }
}

TempDir::~TempDir()
{
    if (!path_.empty())
        removeTree(path_);
}

std::wstring makePrivateDriverStore(const TempDir& dir)
{
    const std::wstring root = dir.file(L"drivers");
    const std::wstring folder = root + L"\\x64\\3";
    SetEnvironmentVariableW(L"VRELM_SPOOLER_DRIVER_ROOT", root.c_str());
    CreateDirectoryW(root.c_str(), nullptr);
    CreateDirectoryW((root + L"\\x64").c_str(), nullptr);
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

bool removeTree(const std::wstring& path)
{
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((path + L"\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = data.cFileName;
            if (name == L"." || name == L"..")
                continue;
            const std::wstring child = path + L"\\" + name;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                removeTree(child);
            else {
                SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(child.c_str());
            }
        } while (FindNextFileW(find, &data));
        FindClose(find);
    }
    return RemoveDirectoryW(path.c_str()) != 0;
}

bool fileExists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool copyFileTo(const std::wstring& from, const std::wstring& to)
{
    return CopyFileW(from.c_str(), to.c_str(), FALSE) != 0;
}

std::string readFile(const std::wstring& path)
{
    std::string content;
    // Shared for delete too: a file another process has just renamed into
    // place is still open there, with delete access, for a moment.
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return content;
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof(buffer), &read, nullptr) && read > 0)
        content.append(buffer, read);
    CloseHandle(file);
    return content;
}

std::vector<std::string> readLines(const std::wstring& path)
{
    std::vector<std::string> lines;
    const std::string content = readFile(path);
    size_t start = 0;
    while (start < content.size()) {
        size_t end = content.find('\n', start);
        if (end == std::string::npos)
            end = content.size();
        std::string line = content.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

namespace {
// The current environment with overrides, as a sorted, double-terminated block.
std::wstring environmentBlock(const std::vector<std::pair<std::wstring, std::wstring>>& extra)
{
    std::map<std::wstring, std::wstring> vars;
    auto upper = [](std::wstring s) {
        CharUpperBuffW(s.data(), static_cast<DWORD>(s.size()));
        return s;
    };
    if (wchar_t* block = GetEnvironmentStringsW()) {
        for (const wchar_t* p = block; *p; p += wcslen(p) + 1) {
            const std::wstring entry = p;
            const size_t eq = entry.find(L'=', 1);
            if (eq == std::wstring::npos)
                continue;
            vars[upper(entry.substr(0, eq))] = entry;
        }
        FreeEnvironmentStringsW(block);
    }
    for (const auto& [name, value] : extra)
        vars[upper(name)] = name + L"=" + value;
    std::wstring result;
    for (const auto& [key, entry] : vars) {
        result += entry;
        result.push_back(L'\0');
    }
    result.push_back(L'\0');
    return result;
}
} // namespace

ProcessResult runProcess(const std::wstring& commandLine,
                         const std::vector<std::pair<std::wstring, std::wstring>>& environment,
                         const std::wstring& workingDir, DWORD timeoutMs)
{
    ProcessResult result;
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0))
        return result;
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);

    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd;
    startup.hStdError = writeEnd;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    PROCESS_INFORMATION process{};
    std::wstring command = commandLine;
    std::wstring env = environmentBlock(environment);
    const BOOL started = CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE,
                                        CREATE_UNICODE_ENVIRONMENT, env.data(),
                                        workingDir.empty() ? nullptr : workingDir.c_str(), &startup, &process);
    CloseHandle(writeEnd);
    if (!started) {
        CloseHandle(readEnd);
        return result;
    }
    // Read until the child closes its end; a reader thread keeps the wait bounded.
    struct Reader {
        HANDLE pipe;
        std::string* output;
    } reader{readEnd, &result.output};
    HANDLE thread = CreateThread(nullptr, 0, [](void* p) -> DWORD {
        auto* r = static_cast<Reader*>(p);
        char buffer[4096];
        DWORD read = 0;
        while (ReadFile(r->pipe, buffer, sizeof(buffer), &read, nullptr) && read > 0)
            r->output->append(buffer, read);
        return 0;
    }, &reader, 0, nullptr);
    if (WaitForSingleObject(process.hProcess, timeoutMs) == WAIT_TIMEOUT) {
        result.timedOut = true;
        TerminateProcess(process.hProcess, 0xDEAD);
        WaitForSingleObject(process.hProcess, 5000);
    }
    if (thread) {
        if (WaitForSingleObject(thread, 5000) == WAIT_TIMEOUT)
            CancelSynchronousIo(thread);
        WaitForSingleObject(thread, 5000);
        CloseHandle(thread);
    }
    GetExitCodeProcess(process.hProcess, &result.exitCode);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    CloseHandle(readEnd);
    return result;
}

std::string runInLocale(const std::wstring& commandLine, const std::wstring& locale,
                        const std::wstring& reportFile,
                        const std::vector<std::pair<std::wstring, std::wstring>>& environment,
                        DWORD timeoutMs)
{
    wchar_t script[MAX_PATH] = {};
    const std::wstring relative = binDir() + L"\\..\\wine-run.sh";
    const DWORD length = GetFullPathNameW(relative.c_str(), MAX_PATH, script, nullptr);
    if (length == 0 || length >= MAX_PATH)
        return {};
    DeleteFileW(reportFile.c_str());
    auto env = environment;
    env.emplace_back(L"LC_ALL", locale);
    std::wstring command = L"\"" + std::wstring(script) + L"\" " + commandLine;
    std::wstring block = environmentBlock(env);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    // Wine starts the Unix child but may still answer FALSE (seen under load,
    // with the child's report arriving later): the report alone decides.
    const BOOL started = CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE,
                                        CREATE_UNICODE_ENVIRONMENT, block.data(), nullptr, &startup, &process);
    const DWORD startError = started ? ERROR_SUCCESS : GetLastError();
    // Wine hands out no handles for a Unix child; close whatever came.
    if (process.hProcess)
        CloseHandle(process.hProcess);
    if (process.hThread)
        CloseHandle(process.hThread);
    // Polled: the Unix child cannot be waited for. The report is renamed
    // into place whole, but may not be readable at the first sight of it.
    const DWORD begin = GetTickCount();
    std::string report;
    while ((report = readFile(reportFile)).empty()) {
        if (GetTickCount() - begin > timeoutMs) {
            std::fprintf(stderr, "runInLocale: no report after %lu ms (CreateProcessW %s, error %lu)\n", timeoutMs,
                         started ? "succeeded" : "failed", startError);
            return {};
        }
        Sleep(20);
    }
    DeleteFileW(reportFile.c_str());
    return report;
}

bool writeFile(const std::wstring& path, const std::string& bytes)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == bytes.size();
}

bool writeReport(const std::wstring& reportFile, const std::string& text)
{
    const std::wstring partial = reportFile + L".part";
    if (!writeFile(partial, text)) {
        DeleteFileW(partial.c_str());
        return false;
    }
    return MoveFileExW(partial.c_str(), reportFile.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

std::wstring widen(const std::string& text)
{
    if (text.empty())
        return {};
    const int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(size, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), size);
    return wide;
}

std::string narrow(const std::wstring& text)
{
    if (text.empty())
        return {};
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                         nullptr, nullptr);
    std::string result(size, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(), size, nullptr,
                        nullptr);
    return result;
}

ScopedLogVariable::ScopedLogVariable(const wchar_t* variable) : variable_(variable)
{
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    static LONG counter = 0;
    path_ = std::wstring(temp) + L"calls-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
            std::to_wstring(InterlockedIncrement(&counter)) + L".txt";
    DeleteFileW(path_.c_str());
    SetEnvironmentVariableW(variable_.c_str(), path_.c_str());
}

ScopedLogVariable::~ScopedLogVariable()
{
    SetEnvironmentVariableW(variable_.c_str(), nullptr);
    DeleteFileW(path_.c_str());
}

std::vector<std::string> ScopedLogVariable::lines() const
{
    return readLines(path_);
}

size_t ScopedLogVariable::count(const std::string& word) const
{
    size_t found = 0;
    for (const std::string& line : lines())
        if (line.compare(0, word.size(), word) == 0 && (line.size() == word.size() || line[word.size()] == ' '))
            ++found;
    return found;
}

} // namespace testenv
