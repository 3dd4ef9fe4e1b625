// Stand-in of the maker's status module: a hosted status watch. Each watch
// has a thread that writes the next status of the series in
// VRELM104_STATUSES (decimal numbers separated by commas; "4,7,8" when
// unset) through the caller's pointer every VRELM104_INTERVAL_MS
// milliseconds (50 when unset), the last one staying, until the watch is
// closed. VRELM104_FAIL=open refuses every watch; VRELM104_FAIL=close
// refuses every close, so the watch goes on writing. Every call is appended
// to the file named by VRELM104_LOG as
//     open SPACE <printer> TAB <destination> TAB <handle or 0>
//     close SPACE <handle> TAB <result>
//     track SPACE <printer> TAB <job id>
//     check SPACE <arguments> (rundll32's CheckDevice; a line break as \n)
// TrackPausedJob only records the job it was handed.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <mutex>
#include <string>
#include <vector>

namespace {

std::mutex logLock;  // guards appends to the log file

std::wstring environment(const wchar_t* name)
{
    wchar_t value[512] = {};
    const DWORD length = GetEnvironmentVariableW(name, value, 512);
    return length > 0 && length < 512 ? std::wstring(value, length) : std::wstring();
}

void logLine(const std::wstring& line)
{
    const std::wstring path = environment(L"VRELM104_LOG");
    if (path.empty())
        return;
    std::lock_guard<std::mutex> guard(logLock);
    HANDLE file = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    const std::wstring text = line + L"\n";
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0,
                                         nullptr, nullptr);
    std::string bytes(size > 0 ? size : 0, '\0');
    if (size > 0)
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), bytes.data(), size, nullptr,
                            nullptr);
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

struct Watch {
    DWORD* target = nullptr;
    std::vector<DWORD> statuses;
    DWORD interval = 50;
    HANDLE stop = nullptr;
    HANDLE thread = nullptr;
};

DWORD WINAPI report(void* parameter)
{
    Watch* watch = static_cast<Watch*>(parameter);
    size_t next = 0;
    while (WaitForSingleObject(watch->stop, watch->interval) == WAIT_TIMEOUT) {
        InterlockedExchange(reinterpret_cast<volatile LONG*>(watch->target), static_cast<LONG>(watch->statuses[next]));
        if (next + 1 < watch->statuses.size())
            ++next;
    }
    return 0;
}

std::vector<DWORD> statusSeries()
{
    std::wstring text = environment(L"VRELM104_STATUSES");
    if (text.empty())
        text = L"4,7,8";
    std::vector<DWORD> series;
    const wchar_t* at = text.c_str();
    while (*at) {
        wchar_t* end = nullptr;
        series.push_back(static_cast<DWORD>(wcstoul(at, &end, 10)));
        at = *end == L',' ? end + 1 : end + wcslen(end);
    }
    return series.empty() ? std::vector<DWORD>{0} : series;
}

std::wstring handleText(const void* handle)
{
    wchar_t text[32] = {};
    swprintf(text, 32, L"%llx", static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(handle)));
    return text;
}

} // namespace

extern "C" {

UINT_PTR WINAPI GetHostedDeviceStatus(HWND, LPCWSTR printer, LPCWSTR destination,
                                                            DWORD* lastStatus)
{
    Watch* watch = nullptr;
    if (lastStatus && environment(L"VRELM104_FAIL") != L"open") {
        watch = new Watch;
        watch->target = lastStatus;
        watch->statuses = statusSeries();
        const std::wstring interval = environment(L"VRELM104_INTERVAL_MS");
        if (!interval.empty())
            watch->interval = static_cast<DWORD>(wcstoul(interval.c_str(), nullptr, 10));
        watch->stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        watch->thread = watch->stop ? CreateThread(nullptr, 0, report, watch, 0, nullptr) : nullptr;
        if (!watch->thread) {
            if (watch->stop)
                CloseHandle(watch->stop);
            delete watch;
            watch = nullptr;
        }
    }
    logLine(std::wstring(L"open ") + (printer ? printer : L"") + L"\t" + (destination ? destination : L"") +
            L"\t" + handleText(watch));
    return reinterpret_cast<UINT_PTR>(watch);
}

BOOL WINAPI CloseHostedDeviceStatus(UINT_PTR handle)
{
    Watch* watch = reinterpret_cast<Watch*>(handle);
    const bool refuse = !watch || environment(L"VRELM104_FAIL") == L"close";
    logLine(L"close " + handleText(watch) + L"\t" + (refuse ? L"0" : L"1"));
    if (refuse)
        return FALSE;
    SetEvent(watch->stop);
    WaitForSingleObject(watch->thread, 5000);
    CloseHandle(watch->thread);
    CloseHandle(watch->stop);
    delete watch;
    return TRUE;
}

BOOL WINAPI TrackPausedJob(LPCWSTR printer, DWORD jobId)
{
    logLine(std::wstring(L"track ") + (printer ? printer : L"") + L"\t" + std::to_wstring(jobId));
    return TRUE;
}

// rundll32 entry: the status check of one device. It only records what it
// was handed.
void CALLBACK CheckDeviceW(HWND, HINSTANCE, LPWSTR arguments, int)
{
    std::wstring text;
    for (const wchar_t* at = arguments ? arguments : L""; *at; ++at)
        text += *at == L'\n' ? std::wstring(L"\\n") : *at == L'\r' ? std::wstring(L"\\r") : std::wstring(1, *at);
    logLine(L"check " + text);
}

void CALLBACK CheckDevice(HWND window, HINSTANCE instance, LPSTR arguments, int show)
{
    std::wstring wide;
    const int count = arguments ? MultiByteToWideChar(CP_ACP, 0, arguments, -1, nullptr, 0) : 0;
    if (count > 0) {
        wide.resize(count);
        MultiByteToWideChar(CP_ACP, 0, arguments, -1, wide.data(), count);
    }
    CheckDeviceW(window, instance, wide.data(), show);
}

} // extern "C"
