#include "core/InternetHelpers.h"
#include "core/InternetHandle.h"

#include "core/FilePaths.h"
#include "core/ScopedHandle.h"

#include <process.h>
#include <shellapi.h>
#include <wininet.h>

#include <cwchar>
#include <iterator>
#include <string>
#include <new>

namespace {

constexpr wchar_t kUserAgent[] = L"QZ Lumora Printing";
// INTERNET_OPEN_TYPE_PRECONFIG_WITH_NO_AUTOPROXY: the user's proxy
// settings without running a proxy script.
constexpr DWORD kAccessType = 4;
constexpr DWORD kReadBlock = 31999;
// A server that keeps sending a byte now and then never trips the time-out of
// one read: the whole body gets this many time-outs.
constexpr ULONGLONG kBodyTimeouts = 4;
// A text document is held in memory whole: larger answers are refused.
constexpr ULONGLONG kMaxTextBytes = 64ull * 1024 * 1024;
constexpr ULONGLONG kNoLimit = ~0ull;

constexpr int kMaxRedirects = 10;

// The http or https URL that a redirect answer points to; false for any
// other answer, so that it is taken as the final one.
bool redirectTarget(HINTERNET request, const std::wstring& current, std::wstring& next)
{
    DWORD code = 0;
    DWORD size = sizeof(code);
    if (!HttpQueryInfoW(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &code, &size, nullptr) ||
        (code != 301 && code != 302 && code != 303 && code != 307 && code != 308))
        return false;
    wchar_t location[2048] = {};
    size = sizeof(location) - sizeof(wchar_t);
    if (!HttpQueryInfoW(request, HTTP_QUERY_LOCATION, location, &size, nullptr) || !location[0])
        return false;
    wchar_t combined[4096] = {};
    DWORD length = static_cast<DWORD>(std::size(combined));
    if (!InternetCombineUrlW(current.c_str(), location, combined, &length, ICU_NO_ENCODE))
        return false;
    if (_wcsnicmp(combined, L"http://", 7) != 0 && _wcsnicmp(combined, L"https://", 8) != 0)
        return false;
    next = combined;
    return true;
}

// The declared Content-Length; false when there is none or it is no number.
bool declaredLength(HINTERNET request, ULONGLONG& length)
{
    wchar_t text[32] = {};
    DWORD size = sizeof(text) - sizeof(wchar_t);
    if (!HttpQueryInfoW(request, HTTP_QUERY_CONTENT_LENGTH, text, &size, nullptr) || !text[0])
        return false;
    ULONGLONG value = 0;
    for (const wchar_t* c = text; *c; ++c) {
        if (*c < L'0' || *c > L'9' || value > (kNoLimit - 9) / 10)
            return false;
        value = value * 10 + (*c - L'0');
    }
    length = value;
    return true;
}

// Any URL that mentions "https://", also in its query, gets the secure
// flags. The server's certificate is checked in full (chain, name and
// date): a policy or a managed list from anyone on the path could send
// print jobs elsewhere.
DWORD requestFlags(const wchar_t* url)
{
    DWORD flags = INTERNET_FLAG_RELOAD;
    if (std::wcsstr(url, L"https://"))
        flags |= INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_KEEP_CONNECTION | INTERNET_FLAG_PRAGMA_NOCACHE |
                 INTERNET_FLAG_SECURE | INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTPS |
                 INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTP;
    return flags;
}

struct OpenUrlItem {
    HWND parent;
    wchar_t* url;
    HMODULE pin; // this module, referenced for the thread's life
};

unsigned __stdcall openUrlWorker(void* parameter)
{
    auto* item = static_cast<OpenUrlItem*>(parameter);
    const HMODULE pin = item->pin;
    const HCURSOR previous = SetCursor(LoadCursorW(nullptr, IDC_APPSTARTING));
    try {
        ShellExecuteW(item->parent, L"open", item->url, nullptr, nullptr, SW_SHOW);
    } catch (...) {
    }
    delete[] item->url;
    delete item;
    SetCursor(previous);
    // Returning would run on into this module's code after the reference is
    // dropped; the host may have unloaded it meanwhile.
    FreeLibraryAndExitThread(pin, 0);
    return 0;
}

bool downloadToFile(const wchar_t* url, const wchar_t* filePath, DWORD* status, DWORD timeoutMs,
                    ULONGLONG maxBytes)
{
    ScopedKernelHandle file(CreateFileW(filePath, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid())
        return false;
    InternetHandle session(InternetOpenW(kUserAgent, kAccessType, nullptr, nullptr, 0));
    if (!session.get())
        return false;

    DWORD timeout = timeoutMs;
    InternetSetOptionW(session.get(), INTERNET_OPTION_CONNECT_TIMEOUT, &timeout, sizeof(timeout));
    InternetSetOptionW(session.get(), INTERNET_OPTION_RECEIVE_TIMEOUT, &timeout, sizeof(timeout));
    InternetSetOptionW(session.get(), INTERNET_OPTION_SEND_TIMEOUT, &timeout, sizeof(timeout));

    // Redirects are followed here, a bounded number of times: WinINet's own
    // following (under Wine at least) goes on for ever between two URLs.
    const DWORD flags = requestFlags(url) | INTERNET_FLAG_NO_AUTO_REDIRECT;
    std::wstring current = url;
    InternetHandle connection(nullptr);
    InternetHandle request(nullptr);
    for (int redirects = 0;; ++redirects) {
        request.reset(openUrlWithTimeouts(session.get(), current.c_str(), flags, timeout, connection));
        if (!request.get())
            return false;
        std::wstring next;
        if (redirects >= kMaxRedirects || !redirectTarget(request.get(), current, next))
            break;
        request.reset(nullptr);
        current = next;
    }

    if (status)
        *status = 500;
    DWORD code = 0;
    DWORD size = sizeof(code);
    if (!HttpQueryInfoW(request.get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &code, &size, nullptr))
        return false;
    if (status)
        *status = code;
    if (code < 200 || code > 299)
        return false;

    ULONGLONG declared = 0;
    const bool hasLength = declaredLength(request.get(), declared);
    if (hasLength && declared > maxBytes)
        return false;
    const ULONGLONG start = GetTickCount64();
    ULONGLONG received = 0;
    char buffer[kReadBlock + 1];
    for (;;) {
        // One read of a whole block waits until the block is full, for as
        // long as bytes keep coming: ask only for what has arrived.
        DWORD available = 0;
        if (!InternetQueryDataAvailable(request.get(), &available, 0, 0))
            return false;
        DWORD read = 0;
        if (available && !InternetReadFile(request.get(), buffer, available < kReadBlock ? available : kReadBlock, &read))
            return false;
        // A connection closed early ends the body like a complete one: only
        // the declared length tells a cut answer from a whole one.
        if (read == 0)
            return !hasLength || received >= declared;
        received += read;
        if (received > maxBytes)
            return false;
        if (timeoutMs != INFINITE && GetTickCount64() - start > kBodyTimeouts * timeoutMs)
            return false;
        DWORD written = 0;
        if (!WriteFile(file.get(), buffer, read, &written, nullptr) || written != read)
            return false;
    }
}

// Deletes a file when it goes out of scope.
class RemoveOnExit {
public:
    explicit RemoveOnExit(const std::wstring& path) : path_(path) {}
    ~RemoveOnExit() { DeleteFileW(path_.c_str()); }
    RemoveOnExit(const RemoveOnExit&) = delete;
    RemoveOnExit& operator=(const RemoveOnExit&) = delete;

private:
    const std::wstring& path_;
};

} // namespace

// Done in three steps so that the time-outs can be set on the connection:
// Wine ignores receive and send time-outs set on the session, and a silent
// server would block for ever.
HINTERNET openUrlWithTimeouts(HINTERNET session, const wchar_t* url, DWORD flags, DWORD timeout, InternetHandle& connection)
{
    URL_COMPONENTSW parts{};
    parts.dwStructSize = sizeof(parts);
    parts.dwHostNameLength = 1;
    parts.dwUserNameLength = 1;
    parts.dwPasswordLength = 1;
    parts.dwUrlPathLength = 1;
    parts.dwExtraInfoLength = 1;
    if (!InternetCrackUrlW(url, 0, 0, &parts) ||
        (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS))
        return InternetOpenUrlW(session, url, nullptr, 0, flags, 0);

    auto part = [](const wchar_t* text, DWORD length) { return text ? std::wstring(text, length) : std::wstring(); };
    const std::wstring host = part(parts.lpszHostName, parts.dwHostNameLength);
    const std::wstring user = part(parts.lpszUserName, parts.dwUserNameLength);
    const std::wstring password = part(parts.lpszPassword, parts.dwPasswordLength);
    std::wstring object = part(parts.lpszUrlPath, parts.dwUrlPathLength) +
                          part(parts.lpszExtraInfo, parts.dwExtraInfoLength);
    if (object.empty())
        object = L"/";
    if (parts.nScheme == INTERNET_SCHEME_HTTPS)
        flags |= INTERNET_FLAG_SECURE;

    connection.reset(InternetConnectW(session, host.c_str(), parts.nPort, user.empty() ? nullptr : user.c_str(),
                                      password.empty() ? nullptr : password.c_str(), INTERNET_SERVICE_HTTP, flags, 0));
    if (!connection.get())
        return nullptr;
    InternetSetOptionW(connection.get(), INTERNET_OPTION_CONNECT_TIMEOUT, &timeout, sizeof(timeout));
    InternetSetOptionW(connection.get(), INTERNET_OPTION_RECEIVE_TIMEOUT, &timeout, sizeof(timeout));
    InternetSetOptionW(connection.get(), INTERNET_OPTION_SEND_TIMEOUT, &timeout, sizeof(timeout));
    InternetHandle request(
        HttpOpenRequestW(connection.get(), L"GET", object.c_str(), nullptr, nullptr, nullptr, flags, 0));
    if (!request)
        return nullptr;
    if (!HttpSendRequestW(request.get(), nullptr, 0, nullptr, 0))
        return nullptr; // the close keeps the send's error
    return request.release();
}


bool httpGetToFile(const wchar_t* url, const wchar_t* filePath, DWORD* status, DWORD timeoutMs)
{
    if (!url || !filePath)
        return false;
    try {
        return downloadToFile(url, filePath, status, timeoutMs, kNoLimit);
    } catch (...) { // out of memory: the handles are closed on the way out
        return false;
    }
}

bool httpGetToString(const wchar_t* url, std::string& out, DWORD* status, DWORD timeoutMs)
try {
    const std::wstring temporary = makeTempFileName(nullptr);
    const RemoveOnExit remove(temporary);
    bool done = url && downloadToFile(url, temporary.c_str(), status, timeoutMs, kMaxTextBytes);
    if (done) {
        std::string body;
        {
            ScopedKernelHandle file(CreateFileW(temporary.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
            done = file.valid();
            char buffer[32767];
            while (done) {
                DWORD read = 0;
                done = ReadFile(file.get(), buffer, sizeof(buffer), &read, nullptr) != 0;
                if (read == 0)
                    break;
                body.append(buffer, read);
            }
        }
        if (done)
            out += body;
    }
    return done;
} catch (...) {
    return false;
}

void openUrlAsync(const wchar_t* url, HWND parentWindow)
{
    if (!url)
        return;
    auto* item = new (std::nothrow) OpenUrlItem{parentWindow, nullptr, nullptr};
    if (!item)
        return;
    const size_t length = std::wcslen(url);
    item->url = new (std::nothrow) wchar_t[length + 1];
    if (!item->url ||
        !GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                            reinterpret_cast<LPCWSTR>(reinterpret_cast<void*>(&openUrlWorker)), &item->pin)) {
        delete[] item->url;
        delete item;
        return;
    }
    std::wmemcpy(item->url, url, length + 1);
    // The worker drops the reference as it ends; until it starts it is ours.
    ScopedModule pin(item->pin);
    // _beginthreadex keeps the handle ours until we close it, so setting
    // the priority cannot race with the thread's end.
    const ScopedKernelHandle thread(reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, &openUrlWorker, item, 0, nullptr)));
    if (!thread) {
        delete[] item->url;
        delete item;
        return;
    }
    pin.release();
    SetThreadPriority(thread.get(), THREAD_PRIORITY_HIGHEST);
}
