// Stand-in for one of the maker's Novell queue modules (built twice, as
// vrelq01.DLL and vreln01.DLL). NovOpenPrinterW answers a handle for a
// queue path it knows and null for any other; NovClosePrinter releases it.
//
// Test controls, read from the environment (NAME is the module's name in
// capitals, VRELQ01 or VRELN01):
//   VRELM_<NAME>_QUEUES  the queue paths it knows, ";"-separated, letter
//                        case ignored;
//   VRELM_<NAME>_ABSENT  when set, the module refuses to load, as a module
//                        that is not installed;
//   VRELM_NOVELL_LOG     one line per call appended to this file.
#include <windows.h>

#include <string>

namespace {

const std::wstring kName = NOVELL_MODULE_NAME;

std::wstring environment(const std::wstring& name)
{
    wchar_t value[4096] = {};
    const DWORD length = GetEnvironmentVariableW(name.c_str(), value, 4096);
    return length == 0 || length >= 4096 ? std::wstring() : std::wstring(value, length);
}

bool present(const std::wstring& name)
{
    return GetEnvironmentVariableW(name.c_str(), nullptr, 0) != 0;
}

void record(const std::wstring& line)
{
    const std::wstring path = environment(L"VRELM_NOVELL_LOG");
    if (path.empty())
        return;
    const std::wstring text = kName + L" " + line + L"\n";
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0,
                                         nullptr, nullptr);
    if (size <= 0)
        return;
    std::string bytes(size, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), bytes.data(), size, nullptr,
                        nullptr);
    HANDLE file = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

bool knows(const std::wstring& path)
{
    const std::wstring queues = environment(L"VRELM_" + kName + L"_QUEUES");
    size_t start = 0;
    while (start <= queues.size()) {
        size_t end = queues.find(L';', start);
        if (end == std::wstring::npos)
            end = queues.size();
        const std::wstring queue = queues.substr(start, end - start);
        if (!queue.empty() && CompareStringOrdinal(queue.c_str(), -1, path.c_str(), -1, TRUE) == CSTR_EQUAL)
            return true;
        start = end + 1;
    }
    return false;
}

// Handles are the addresses of live tokens.
struct QueueHandle {
    std::wstring path;
};

} // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH && present(L"VRELM_" + kName + L"_ABSENT"))
        return FALSE;
    return TRUE;
}

HANDLE WINAPI NovOpenPrinterW(const wchar_t* path)
{
    const std::wstring text = path ? path : L"";
    const bool known = knows(text);
    record(L"open " + text + (known ? L" handle" : L" null"));
    return known ? reinterpret_cast<HANDLE>(new QueueHandle{text}) : nullptr;
}

BOOL WINAPI NovClosePrinter(HANDLE handle)
{
    auto* queue = reinterpret_cast<QueueHandle*>(handle);
    record(L"close " + (queue ? queue->path : std::wstring(L"null")));
    delete queue;
    return queue != nullptr;
}

}
