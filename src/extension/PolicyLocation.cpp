#include "extension/PolicyLocation.h"

#include "core/FileVersion.h"
#include "core/ScopedHandle.h"
#include "core/StreamEncoders.h"
#include "core/StringConversion.h"
#include "extension/KRVProperties.h"
#include "extension/ModuleEntry.h"

#include <cstdio>
#include <sstream>
#include <vector>

namespace MPrint {

namespace {

// A site names its policy server by this host in its DNS.
const wchar_t kDefaultPolicyServer[] = L"printpolicy";

constexpr DWORD kReachabilityMemoMs = 10800001;
constexpr ULONGLONG kResolved = 2766;
constexpr ULONGLONG kUnresolved = 0xBAD0001;

std::wstring expandEnvironment(const std::wstring& text)
{
    const DWORD needed = ExpandEnvironmentStringsW(text.c_str(), nullptr, 0);
    if (needed == 0)
        return text;
    std::vector<wchar_t> buffer(needed + 1);
    const DWORD written = ExpandEnvironmentStringsW(text.c_str(), buffer.data(), needed + 1);
    if (written == 0 || written > needed + 1)
        return text;
    return buffer.data();
}

// User and domain names may hold '&', '#', '+' or blanks: they travel
// percent-encoded (as UTF-8) so they cannot change the query.
std::wstring encodedQueryValue(const std::wstring& value)
{
    std::string utf8;
    if (!convertToUtf8(value, utf8))
        return std::wstring();
    std::ostringstream out;
    UrlEncode(out, utf8.c_str());
    const std::string encoded = out.str();
    return std::wstring(encoded.begin(), encoded.end());
}

bool moduleFileVersion(DWORD& mostSignificant, DWORD& leastSignificant)
{
    wchar_t path[MAX_PATH + 1] = {};
    const DWORD length = GetModuleFileNameW(ModuleEntry::moduleHandle(), path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return false;
    VS_FIXEDFILEINFO info = {};
    if (!getFileVersionInfoFixed(path, info))
        return false;
    mostSignificant = info.dwFileVersionMS;
    leastSignificant = info.dwFileVersionLS;
    return true;
}

std::string narrowAnsi(const std::wstring& text)
{
    std::string narrow;
    convertString(text, narrow, CP_ACP);
    return narrow;
}

} // namespace

PolicyLocation::PolicyLocation() : server_(kDefaultPolicyServer) {}

bool PolicyLocation::read(RegistryKey& key, const std::wstring& localAddress, bool recheck, std::wstring& location)
{
    bool found = false;
    bool dropped = true;
    std::wstring value;
    if (key.queryString(L"Policy", value) && !value.empty()) {
        found = true;
        location = value;
        dropped = false;
        if (value.compare(0, 4, L"http") == 0) {
            fromServer_ = false;
            server_.clear();
            if (value.find(L".xml") == std::wstring::npos && value.find(L".XML") == std::wstring::npos) {
                std::wstring query = queryString(key);
                if (!query.empty()) {
                    const bool hasQuestion = location.find(L'?') != std::wstring::npos;
                    if (query[0] == L'?') {
                        if (hasQuestion)
                            query[0] = L'&';
                    } else if (query[0] == L'&') {
                        if (!hasQuestion)
                            query[0] = L'?';
                    } else {
                        query.insert(0, hasQuestion ? L"&" : L"?");
                    }
                    location += query;
                }
            }
        } else if (value.find_first_of(L"\\?:/") != std::wstring::npos) {
            const ScopedKernelHandle file(CreateFileW(value.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
            if (file) {
                fromServer_ = false;
                server_.clear();
            } else {
                found = false;
                dropped = true;
            }
        } else {
            server_ = value;
            dropped = true;
        }
    }
    if (dropped) {
        location.clear();
        found = isServerReachable(localAddress, recheck);
        if (found)
            location = L"http://" + server_ + L"/policy" + queryString(key);
    }
    return found;
}

bool PolicyLocation::isServerReachable(const std::wstring& localAddress, bool recheck)
{
    if (server_.empty())
        return fromServer_;
    const std::wstring lastCheckedName = localAddress + L"-PSHostLastChecked-" + server_;
    const std::wstring stateName = localAddress + L"-PSHostResolveState-" + server_;
    const ULONGLONG state = getProcessProperty(stateName);
    if (state == kResolved)
        fromServer_ = true;
    else if (state == kUnresolved)
        fromServer_ = false;
    const DWORD lastChecked = static_cast<DWORD>(getProcessProperty(lastCheckedName));
    if (!recheck && lastChecked != 0 && GetTickCount() - lastChecked < kReachabilityMemoMs)
        return fromServer_;

    const std::string name = narrowAnsi(server_);
    const bool resolved = !name.empty() && (gethostbyname(name.c_str()) || inet_addr(name.c_str()) != INADDR_NONE);
    fromServer_ = resolved;
    setProcessProperty(stateName, resolved ? kResolved : kUnresolved);
    setProcessProperty(lastCheckedName, GetTickCount());
    return fromServer_;
}

std::wstring PolicyLocation::queryString(RegistryKey& key)
{
    std::wstring query = L"?userName=" + encodedQueryValue(expandEnvironment(L"%USERNAME%"));
    if (GetEnvironmentVariableW(L"USERDNSDOMAIN", nullptr, 0) != 0)
        query += L"&domainName=" + encodedQueryValue(expandEnvironment(L"%USERDOMAIN%"));
    DWORD mostSignificant = 0, leastSignificant = 0;
    if (moduleFileVersion(mostSignificant, leastSignificant)) {
        wchar_t version[64] = {};
        std::swprintf(version, 64, L"&mpdVersion=%d.%d.%d.%d", HIWORD(mostSignificant), LOWORD(mostSignificant),
                      HIWORD(leastSignificant), LOWORD(leastSignificant));
        query += version;
    }
    std::wstring extra;
    if (key.queryString(L"MPPQueryString", extra) && !extra.empty()) {
        if (extra[0] == L'?')
            extra.erase(0, 1);
        // Only the administrator's own text is expanded: the names above
        // are already final.
        if (extra.find(L'%') != std::wstring::npos)
            extra = expandEnvironment(extra);
        query += L"&" + extra;
    }
    return query;
}

} // namespace MPrint
