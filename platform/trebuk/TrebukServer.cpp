// Stand-in for the Trebuk port's bidirectional COM server: an in-process
// server (ThreadingModel Both) with a request-list class and a connection
// class. A connection answers OID get and get-next from the device table of
// the address it connected to. What it knows of a device lives under
//   HKLM\SOFTWARE\VrelmTrebukStandIn\Devices\<address>
//     "Model"           SZ     a model folder under bin\devices, or a full path
//                              to a folder; its "oids.txt" is the device table
//     "ConnectFailures" DWORD  connect attempts of one object that fail first
//                              (0xFFFFFFFF: every attempt)
//     "ConnectResult"   DWORD  HRESULT of a failing attempt (E_FAIL when missing)
//     "GetResult"       DWORD  HRESULT of every get and get-next
//     "OverallStatus"   DWORD  the request list's overall status after a call
//     "ShortNextOids"   DWORD  1: next OIDs under the known prefixes come back
//                              shortened, as older firmware sends them
// An address without a key is dialled when it is a loopback IPv4 literal: a
// TCP connection to its port (a live emulated device's listener) connects,
// with an empty device table; a refused port fails with the socket's error.
// Any other address without a key cannot be connected. Device table lines:
//   <oid> int <decimal>        type 1, 32 bits little-endian
//   <oid> counter <decimal>    type 2
//   <oid> text <bytes>         type 4; \xHH escapes give any byte
//   <oid> octets <hex>         type 5
//   <oid> raw <code> <hex>     any type code with exactly these bytes
//   <oid> status <hex>         the OID answers this status and no value
// Every call is appended, one line each, to the file named by
// VRELM_TREBUK_LOG: a word, a space, then tab-separated fields.
#include "bidi/TrebukServerInterface.h"

#include "comserver/InprocRegistration.h"
#include "comserver/StaticClassFactory.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr wchar_t kDevicesKey[] = L"SOFTWARE\\VrelmTrebukStandIn\\Devices\\";
constexpr wchar_t kCommunityKey[] = L"Software\\Tarvokin\\Meridian Common IO\\Protocols\\vrelm110.exe\\SNMPCommunityName\\Get";
constexpr HRESULT kNotFound = HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
constexpr size_t kMaxItems = 4096;
constexpr size_t kMaxText = 4096;
// Reaches the implementation behind an IRequestList of this server.
// {6C1F3E2A-7B54-4F0E-9C1D-2A7E5B3C9D41}
constexpr IID kInternalListId = {0x6C1F3E2A, 0x7B54, 0x4F0E, {0x9C, 0x1D, 0x2A, 0x7E, 0x5B, 0x3C, 0x9D, 0x41}};

volatile LONG g_objects = 0;
volatile LONG g_locks = 0;
HMODULE g_module = nullptr;

std::string narrow(const wchar_t* text)
{
    if (!text)
        return "(null)";
    const size_t length = wcsnlen(text, kMaxText);
    std::string out;
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
    if (size > 0) {
        out.resize(static_cast<size_t>(size));
        WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), out.data(), size, nullptr, nullptr);
    }
    return out;
}

void record(const std::string& line)
{
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableW(L"VRELM_TREBUK_LOG", path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return;
    HANDLE file = CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    const std::string text = line + "\n";
    DWORD done = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &done, nullptr);
    CloseHandle(file);
}

// A TCP connect to a loopback port, bounded by 2 s.
HRESULT dial(const std::wstring& address, DWORD port)
{
    const unsigned long ip = inet_addr(narrow(address.c_str()).c_str());
    if (ip == INADDR_NONE || (ntohl(ip) >> 24) != 127 || port == 0 || port > 65535)
        return kNotFound;
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0)
        return E_FAIL;
    HRESULT result = E_FAIL;
    const SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s != INVALID_SOCKET) {
        u_long nonBlocking = 1;
        ioctlsocket(s, FIONBIO, &nonBlocking);
        sockaddr_in to = {};
        to.sin_family = AF_INET;
        to.sin_addr.s_addr = ip;
        to.sin_port = htons(static_cast<u_short>(port));
        if (connect(s, reinterpret_cast<const sockaddr*>(&to), sizeof(to)) == 0) {
            result = S_OK;
        } else if (WSAGetLastError() == WSAEWOULDBLOCK) {
            fd_set writable, failed;
            FD_ZERO(&writable);
            FD_ZERO(&failed);
            FD_SET(s, &writable);
            FD_SET(s, &failed);
            timeval wait = {2, 0};
            int error = 0;
            int size = sizeof(error);
            if (select(0, nullptr, &writable, &failed, &wait) <= 0)
                result = HRESULT_FROM_WIN32(WSAETIMEDOUT);
            else if (FD_ISSET(s, &writable) &&
                     getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &size) == 0 && error == 0)
                result = S_OK;
            else
                result = HRESULT_FROM_WIN32(error ? error : WSAECONNREFUSED);
        } else {
            result = HRESULT_FROM_WIN32(WSAGetLastError());
        }
        closesocket(s);
    }
    WSACleanup();
    return result;
}

std::string number(unsigned long value, bool hex = false)
{
    char text[16];
    std::snprintf(text, sizeof(text), hex ? "0x%08lX" : "%lu", value);
    return text;
}

bool readDword(const std::wstring& key, const wchar_t* name, DWORD& value)
{
    DWORD size = sizeof(value);
    return RegGetValueW(HKEY_LOCAL_MACHINE, key.c_str(), name, RRF_RT_REG_DWORD, nullptr, &value, &size) ==
           ERROR_SUCCESS;
}

std::wstring readText(HKEY root, const std::wstring& key, const wchar_t* name)
{
    wchar_t value[MAX_PATH + 1] = {};
    DWORD size = MAX_PATH * sizeof(wchar_t);
    if (RegGetValueW(root, key.c_str(), name, RRF_RT_REG_SZ, nullptr, value, &size) != ERROR_SUCCESS)
        return {};
    return std::wstring(value, wcsnlen(value, MAX_PATH));
}

// Dotted-decimal components; a component that is not a number sorts as 0.
std::vector<unsigned long> oidKey(const std::string& oid)
{
    std::vector<unsigned long> key;
    size_t at = 0;
    while (at <= oid.size()) {
        const size_t dot = oid.find('.', at);
        const std::string part = oid.substr(at, dot == std::string::npos ? std::string::npos : dot - at);
        key.push_back(std::strtoul(part.c_str(), nullptr, 10));
        if (dot == std::string::npos)
            break;
        at = dot + 1;
    }
    return key;
}

struct Entry {
    std::string oid;
    std::vector<unsigned long> key;
    DWORD type = 0;
    std::string data;
    HRESULT status = S_OK;
};

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::string fromHex(const std::string& text)
{
    std::string bytes;
    int high = -1;
    for (char c : text) {
        const int digit = hexDigit(c);
        if (digit < 0)
            continue;
        if (high < 0) {
            high = digit;
        } else {
            bytes.push_back(static_cast<char>(high * 16 + digit));
            high = -1;
        }
    }
    return bytes;
}

std::string unescape(const std::string& text)
{
    std::string bytes;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 3 < text.size() && text[i + 1] == 'x' && hexDigit(text[i + 2]) >= 0 &&
            hexDigit(text[i + 3]) >= 0) {
            bytes.push_back(static_cast<char>(hexDigit(text[i + 2]) * 16 + hexDigit(text[i + 3])));
            i += 3;
        } else {
            bytes.push_back(text[i]);
        }
    }
    return bytes;
}

std::string littleEndian(unsigned long value)
{
    std::string bytes(4, '\0');
    for (int i = 0; i < 4; ++i)
        bytes[static_cast<size_t>(i)] = static_cast<char>((value >> (8 * i)) & 0xFF);
    return bytes;
}

std::vector<Entry> loadTable(const std::wstring& folder)
{
    std::vector<Entry> table;
    HANDLE file = CreateFileW((folder + L"\\oids.txt").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return table;
    std::string content;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof(buffer), &got, nullptr) && got > 0 && content.size() < (1u << 20))
        content.append(buffer, got);
    CloseHandle(file);

    size_t at = 0;
    while (at < content.size()) {
        size_t end = content.find('\n', at);
        if (end == std::string::npos)
            end = content.size();
        std::string line = content.substr(at, end - at);
        at = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line[0] == '#')
            continue;
        const size_t first = line.find(' ');
        const size_t second = first == std::string::npos ? std::string::npos : line.find(' ', first + 1);
        if (second == std::string::npos)
            continue;
        Entry entry;
        entry.oid = line.substr(0, first);
        entry.key = oidKey(entry.oid);
        const std::string form = line.substr(first + 1, second - first - 1);
        const std::string value = line.substr(second + 1);
        if (form == "int" || form == "counter") {
            entry.type = form == "int" ? trebuk::kTypeInteger : trebuk::kTypeCounter;
            entry.data = littleEndian(static_cast<unsigned long>(std::strtol(value.c_str(), nullptr, 10)));
        } else if (form == "text") {
            entry.type = trebuk::kTypeText;
            entry.data = unescape(value);
        } else if (form == "octets") {
            entry.type = trebuk::kTypeOctets;
            entry.data = fromHex(value);
        } else if (form == "raw") {
            const size_t space = value.find(' ');
            entry.type = std::strtoul(value.c_str(), nullptr, 10);
            entry.data = space == std::string::npos ? std::string() : fromHex(value.substr(space + 1));
        } else if (form == "status") {
            entry.status = static_cast<HRESULT>(std::strtoul(value.c_str(), nullptr, 16));
        } else {
            continue;
        }
        table.push_back(std::move(entry));
    }
    std::sort(table.begin(), table.end(), [](const Entry& a, const Entry& b) { return a.key < b.key; });
    return table;
}

// The model folder of a device: bin\devices\<model> (beside this DLL's
// folder) or the full path the key names.
std::wstring modelFolder(const std::wstring& model)
{
    if (model.find(L'\\') != std::wstring::npos || model.find(L':') != std::wstring::npos)
        return model;
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(g_module, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return {};
    std::wstring folder(path, length);
    for (int up = 0; up < 2; ++up) {
        const size_t slash = folder.find_last_of(L'\\');
        if (slash == std::wstring::npos)
            return {};
        folder.resize(slash);
    }
    return folder + L"\\devices\\" + model;
}

// Older firmware answers a next OID without the part it shares with the
// question: the bare tail under the private arc, and a throw-away first
// character before the rest under the printer and host-resources arcs.
std::string shorten(const std::string& oid)
{
    static const char kPrivate[] = "1.3.6.1.4.1.11.2.3.9.4.2.";
    if (oid.compare(0, sizeof(kPrivate) - 1, kPrivate) == 0)
        return oid.substr(sizeof(kPrivate) - 1);
    for (const char* prefix : {"1.3.6.1.2.1.43", "1.3.6.1.2.1.25"}) {
        const size_t length = strlen(prefix);
        if (oid.compare(0, length, prefix) == 0)
            return "x" + oid.substr(length);
    }
    return oid;
}

template <class Interface>
class ComObject : public Interface {
public:
    ComObject() { InterlockedIncrement(&g_objects); }
    virtual ~ComObject() { InterlockedDecrement(&g_objects); }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const LONG left = InterlockedDecrement(&refs_);
        if (left == 0)
            delete this;
        return static_cast<ULONG>(left);
    }

protected:
    HRESULT answerInterface(REFIID iid, REFIID own, void** out)
    {
        if (!out)
            return E_POINTER;
        if (iid == IID_IUnknown || iid == own) {
            *out = static_cast<Interface*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }

private:
    volatile LONG refs_ = 1;
};

class RequestList final : public ComObject<trebuk::IRequestList> {
public:
    struct Item {
        std::wstring oid;
        DWORD kind = 0;
        HRESULT status = kNotFound;
        DWORD type = 0;
        std::string data;
        std::string next;
        bool answered = false;
    };

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
    {
        if (out && iid == kInternalListId) {
            *out = this;
            AddRef();
            return S_OK;
        }
        return answerInterface(iid, trebuk::kRequestListInterfaceId, out);
    }
    HRESULT STDMETHODCALLTYPE GetOverallStatus(DWORD* status) override
    {
        if (!status)
            return E_POINTER;
        *status = overall_;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetAnswerCount(DWORD* count) override
    {
        if (!count)
            return E_POINTER;
        *count = answers_;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetOid(DWORD index, const wchar_t* oid) override
    {
        if (!oid || index >= kMaxItems)
            return E_INVALIDARG;
        if (index >= items_.size())
            items_.resize(index + 1);
        items_[index] = Item();
        items_[index].oid.assign(oid, wcsnlen(oid, kMaxText));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Clear() override
    {
        items_.clear();
        overall_ = 0;
        answers_ = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Reserved7() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetNextOid(DWORD index, wchar_t** oid) override
    {
        if (!oid)
            return E_POINTER;
        *oid = nullptr;
        if (index >= items_.size() || items_[index].next.empty())
            return kNotFound;
        const std::string& next = items_[index].next;
        auto* copy = static_cast<wchar_t*>(CoTaskMemAlloc((next.size() + 1) * sizeof(wchar_t)));
        if (!copy)
            return E_OUTOFMEMORY;
        for (size_t i = 0; i <= next.size(); ++i)
            copy[i] = static_cast<unsigned char>(next.c_str()[i]);
        *oid = copy;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetValue(DWORD index, DWORD* type, BYTE** data, DWORD* size) override
    {
        if (!type || !data || !size)
            return E_POINTER;
        *data = nullptr;
        *size = 0;
        if (index >= items_.size() || !items_[index].answered)
            return kNotFound;
        const Item& item = items_[index];
        *type = item.type;
        *data = static_cast<BYTE*>(CoTaskMemAlloc(item.data.size() + 1));
        if (!*data)
            return E_OUTOFMEMORY;
        memcpy(*data, item.data.data(), item.data.size());
        *size = static_cast<DWORD>(item.data.size());
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetRequestKind(DWORD index, DWORD kind) override
    {
        if (index >= items_.size())
            return E_INVALIDARG;
        items_[index].kind = kind;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetStatus(DWORD index, HRESULT* status) override
    {
        if (!status)
            return E_POINTER;
        *status = index < items_.size() ? items_[index].status : E_INVALIDARG;
        return S_OK;
    }

    std::vector<Item> items_;
    DWORD overall_ = 0;
    DWORD answers_ = 0;
};

class PortConnection final : public ComObject<trebuk::IPortConnection> {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
    {
        return answerInterface(iid, trebuk::kConnectionInterfaceId, out);
    }
    HRESULT STDMETHODCALLTYPE Retarget(const wchar_t* printer) override
    {
        record("retarget " + narrow(printer));
        return printer ? S_OK : E_POINTER;
    }
    HRESULT STDMETHODCALLTYPE Connect(const wchar_t* name, DWORD kind, const wchar_t* address, DWORD port) override
    {
        ++attempts_;
        const std::wstring wideAddress = address ? std::wstring(address, wcsnlen(address, MAX_PATH)) : L"";
        const std::string community =
            narrow(readText(HKEY_LOCAL_MACHINE, kCommunityKey, wideAddress.c_str()).c_str());
        record("connect " + narrow(name) + "\t" + number(kind) + "\t" + narrow(address) + "\t" + number(port) +
               "\t" + community + "\t" + number(GetTickCount()));
        if (!address)
            return E_POINTER;
        const std::wstring key = kDevicesKey + wideAddress;
        const std::wstring model = readText(HKEY_LOCAL_MACHINE, key, L"Model");
        if (model.empty()) {
            const HRESULT dialled = dial(wideAddress, port);
            if (FAILED(dialled))
                return dialled;
            table_.clear();
            deviceKey_ = key;
            connected_ = true;
            return S_OK;
        }
        DWORD failures = 0;
        if (readDword(key, L"ConnectFailures", failures) && (failures == 0xFFFFFFFF || attempts_ <= failures)) {
            DWORD result = static_cast<DWORD>(E_FAIL);
            readDword(key, L"ConnectResult", result);
            return static_cast<HRESULT>(result);
        }
        table_ = loadTable(modelFolder(model));
        deviceKey_ = key;
        connected_ = true;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Reserved5() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Get(trebuk::IRequestList* list) override { return answer(list, false); }
    HRESULT STDMETHODCALLTYPE GetNext(trebuk::IRequestList* list) override { return answer(list, true); }
    HRESULT STDMETHODCALLTYPE Disconnect() override
    {
        record("disconnect");
        connected_ = false;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Reserved9() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Settings(const wchar_t* text, DWORD a, LONG b, DWORD c, DWORD d, DWORD e,
                                       DWORD f) override
    {
        record("settings " + narrow(text) + "\t" + number(a) + "\t" + std::to_string(b) + "\t" + number(c) + "\t" +
               number(d) + "\t" + number(e) + "\t" + number(f));
        return S_OK;
    }

private:
    HRESULT answer(trebuk::IRequestList* list, bool next)
    {
        if (!list)
            return E_POINTER;
        RequestList* own = nullptr;
        if (FAILED(list->QueryInterface(kInternalListId, reinterpret_cast<void**>(&own))) || !own)
            return E_INVALIDARG;
        std::string line = next ? "getnext " : "get ";
        for (size_t i = 0; i < own->items_.size(); ++i)
            line += (i ? "\t" : "") + narrow(own->items_[i].oid.c_str()) + "/" + number(own->items_[i].kind);
        record(line);

        HRESULT result = S_OK;
        if (!connected_) {
            result = E_UNEXPECTED;
        } else {
            DWORD forced = 0;
            if (readDword(deviceKey_, L"GetResult", forced))
                result = static_cast<HRESULT>(forced);
        }
        if (FAILED(result)) {
            own->Release();
            return result;
        }
        DWORD shortNext = 0;
        readDword(deviceKey_, L"ShortNextOids", shortNext);
        own->answers_ = 0;
        for (RequestList::Item& item : own->items_) {
            const Entry* found = next ? following(narrow(item.oid.c_str())) : exact(narrow(item.oid.c_str()));
            item.answered = false;
            item.next.clear();
            if (!found) {
                item.status = kNotFound;
                continue;
            }
            item.status = found->status;
            if (next)
                item.next = shortNext ? shorten(found->oid) : found->oid;
            if (FAILED(found->status))
                continue;
            item.type = found->type;
            item.data = found->data;
            item.answered = true;
            ++own->answers_;
        }
        DWORD overall = 0;
        own->overall_ = readDword(deviceKey_, L"OverallStatus", overall) ? overall
                        : own->answers_ == 0                          ? trebuk::kOverallNoAnswer
                                                                      : 0;
        own->Release();
        return S_OK;
    }
    const Entry* exact(const std::string& oid) const
    {
        for (const Entry& entry : table_)
            if (entry.oid == oid)
                return &entry;
        return nullptr;
    }
    const Entry* following(const std::string& oid) const
    {
        const std::vector<unsigned long> key = oidKey(oid);
        for (const Entry& entry : table_)
            if (entry.key > key)
                return &entry;
        return nullptr;
    }

    std::vector<Entry> table_;
    std::wstring deviceKey_;
    DWORD attempts_ = 0;
    bool connected_ = false;
};

StaticClassFactory<RequestList> g_listFactory(g_locks);
StaticClassFactory<PortConnection> g_connectionFactory(g_locks);

} // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) {
        g_module = instance;
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (clsid == trebuk::kRequestListClassId)
        return g_listFactory.QueryInterface(iid, out);
    if (clsid == trebuk::kConnectionClassId)
        return g_connectionFactory.QueryInterface(iid, out);
    return CLASS_E_CLASSNOTAVAILABLE;
}

HRESULT WINAPI DllCanUnloadNow()
{
    return g_objects == 0 && g_locks == 0 ? S_OK : S_FALSE;
}

// Machine-wide registration of this file as both classes' in-process server.
HRESULT WINAPI DllRegisterServer()
{
    const HRESULT result = comserver::registerClass(g_module, trebuk::kRequestListClassId);
    return FAILED(result) ? result : comserver::registerClass(g_module, trebuk::kConnectionClassId);
}

HRESULT WINAPI DllUnregisterServer()
{
    const HRESULT result = comserver::unregisterClass(trebuk::kRequestListClassId);
    return FAILED(result) ? result : comserver::unregisterClass(trebuk::kConnectionClassId);
}

} // extern "C"
