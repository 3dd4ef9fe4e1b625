#include "tickets/LEDMResourceFetch.h"

#include "core/GlobalLockGuard.h"
#include "core/ScopedHandle.h"
#include "shared/PrinterPort.h"

#include <winhttp.h>

#include <cstring>
#include <vector>

namespace MPrint {

namespace {

const wchar_t kAgent[] = L"KRV WinHTTP helper library Program";
const wchar_t kDiscoveryTree[] = L"DevMgmt/DiscoveryTree.xml";

struct WinHttpHandleTraits {
    using Handle = HINTERNET;
    static Handle none() { return nullptr; }
    static bool isValid(Handle handle) { return handle != nullptr; }
    static bool close(Handle handle) { return WinHttpCloseHandle(handle) != FALSE; }
};
using WinHttpHandle = ScopedHandle<WinHttpHandleTraits>;

// The port model's classification: only an IP address is asked.
bool isIpAddress(const wchar_t* host)
{
    PrinterPort port(host);
    return port.guessPortAddress(false) && port.getPortType() == kPortIP;
}

HGLOBAL globalCopy(const BYTE* data, size_t size)
{
    ScopedGlobal block(GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size));
    GlobalLockGuard<BYTE> target(block.get());
    if (!target)
        return nullptr;
    std::memcpy(target.get(), data, size);
    return block.release();
}

HGLOBAL globalCopy(HGLOBAL source, DWORD size)
{
    GlobalLockGuard<const BYTE> data(source);
    return data && GlobalSize(source) >= size ? globalCopy(data.get(), size) : nullptr;
}

// One GET on the connection; the body plus a terminator in *out.
bool httpGet(HINTERNET connection, const wchar_t* path, HGLOBAL* out, DWORD* size)
{
    if (!connection || !path || !out)
        return false;
    std::vector<BYTE> work;
    try {
        // Room for the terminator after a body of the largest size.
        work.assign(kLedmMaxBodyBytes + 1, 0);
    } catch (...) {
        return false;
    }
    WinHttpHandle request(WinHttpOpenRequest(connection, L"GET", path, L"HTTP/1.1", WINHTTP_NO_REFERER,
                                             WINHTTP_DEFAULT_ACCEPT_TYPES, WINHTTP_FLAG_REFRESH));
    if (!request.get())
        return false;
    if (!WinHttpSendRequest(request.get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0, 0) ||
        !WinHttpReceiveResponse(request.get(), nullptr))
        return false;
    // Only a real answer counts: an error page on port 8080 is no LEDM tree.
    DWORD status = 0;
    DWORD statusSize = sizeof(status);
    if (!WinHttpQueryHeaders(request.get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                             WINHTTP_HEADER_NAME_BY_INDEX, &status, &statusSize, WINHTTP_NO_HEADER_INDEX) ||
        status != HTTP_STATUS_OK)
        return false;
    size_t total = 0;
    for (;;) {
        DWORD available = 0;
        if (!WinHttpQueryDataAvailable(request.get(), &available))
            return false;
        if (available == 0)
            break;
        // The running total is bounded, not each piece: a body sent in
        // many pieces must not run past the work buffer.
        if (available > kLedmMaxBodyBytes - total)
            return false;
        DWORD read = 0;
        if (!WinHttpReadData(request.get(), work.data() + total, available, &read) || read != available)
            return false;
        total += read;
    }
    if (total == 0 || work[0] == 0)
        return false;
    HGLOBAL body = globalCopy(work.data(), total + 1); // the zero after the body comes along
    if (!body)
        return false;
    *out = body;
    if (size)
        *size = static_cast<DWORD>(total + 1);
    return true;
}

bool getFromHost(const wchar_t* host, const wchar_t* path, HGLOBAL* out, DWORD* size)
{
    WinHttpHandle session(
        WinHttpOpen(kAgent, WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
    if (!session.get())
        return false;
    WinHttpHandle connection(WinHttpConnect(session.get(), host, static_cast<INTERNET_PORT>(kLedmPort), 0));
    return connection.get() && httpGet(connection.get(), path, out, size);
}

} // namespace

bool globalFreeBuffer(HGLOBAL buffer)
{
    ScopedGlobal owned(buffer);
    return true;
}

bool ledmProbeDiscoveryTree(const wchar_t* host)
{
    if (!host || !*host || !isIpAddress(host))
        return false;
    ScopedGlobal body;
    return getFromHost(host, kDiscoveryTree, body.receive(), nullptr);
}

bool ledmFetchResource(LEDMTreeTable* table, const wchar_t* host, const std::wstring& xpath,
                       const std::wstring& treeName, HGLOBAL* out)
{
    if (!table || !host || !out || xpath.empty() || treeName.empty())
        return false;
    LEDMTreeRow* row = table->find(treeName.c_str());
    if (!row)
        return false;
    if (row->data) {
        HGLOBAL copy = globalCopy(row->data, row->size);
        if (!copy)
            return false;
        *out = copy;
        return true;
    }
    const size_t colon = xpath.find(L':');
    const size_t start = colon == std::wstring::npos ? 0 : colon + 1;
    const size_t slash = xpath.find(L'/', start);
    if (slash == std::wstring::npos)
        return false;
    const std::wstring path = L"DevMgmt/" + xpath.substr(start, slash - start) + L".xml";
    ScopedGlobal body;
    DWORD size = 0;
    if (!getFromHost(host, path.c_str(), body.receive(), &size))
        return false;
    HGLOBAL copy = globalCopy(body.get(), size);
    if (!copy)
        return false;
    *out = copy;
    if (row->keep) {
        row->data = body.release();
        row->size = size;
    }
    return true;
}

} // namespace MPrint
