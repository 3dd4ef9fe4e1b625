// A directory provider for ADSI's "LDAP:" namespace without a directory
// server. The directory it answers for is named by the environment variable
// VRELM_LDAP_STANDIN_DOMAIN (a DNS domain such as "corp.example"): with it,
// "LDAP://rootDSE" binds to an object whose "defaultNamingContext" is that
// domain's DN; without it every bind fails as with no reachable server.
// LdapStandinCalls reports the binds it was asked for.

#include <windows.h>
#include <iads.h>
#include <adserr.h>

#include "comserver/StaticClassFactory.h"

#include <cwchar>
#include <string>

namespace {

// {6B1F5C2E-8D44-4C1B-9E3A-5A0C7D2B91E4}
const CLSID kClsid = {0x6B1F5C2E, 0x8D44, 0x4C1B, {0x9E, 0x3A, 0x5A, 0x0C, 0x7D, 0x2B, 0x91, 0xE4}};

volatile LONG g_objects = 0;
volatile LONG g_locks = 0;

CRITICAL_SECTION g_callLock; // guards the call record below
LONG g_calls = 0;
wchar_t g_lastPath[512] = {};
LONG g_lastFlags = 0;
BOOL g_lastCredentials = FALSE;

std::wstring configuredDomain()
{
    wchar_t domain[256] = {};
    const DWORD length = GetEnvironmentVariableW(L"VRELM_LDAP_STANDIN_DOMAIN", domain, 256);
    return length > 0 && length < 256 ? domain : L"";
}

std::wstring namingContext(const std::wstring& domain)
{
    std::wstring dn = L"DC=";
    for (wchar_t c : domain)
        dn += c == L'.' ? std::wstring(L",DC=") : std::wstring(1, c);
    return dn;
}

template <class Interface, const IID& kInterfaceId>
class ComObject : public Interface {
public:
    ComObject() { InterlockedIncrement(&g_objects); }
    virtual ~ComObject() { InterlockedDecrement(&g_objects); }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override
    {
        if (!object)
            return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IDispatch || riid == kInterfaceId) {
            *object = static_cast<Interface*>(this);
            this->AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&refs_); }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const LONG left = InterlockedDecrement(&refs_);
        if (left == 0)
            delete this;
        return left;
    }
    // No type information: callers of a directory object use its vtable.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override
    {
        if (count)
            *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override
    {
        return E_NOTIMPL;
    }

private:
    volatile LONG refs_ = 1;
};

HRESULT stringOut(const std::wstring& text, BSTR* out)
{
    if (!out)
        return E_POINTER;
    *out = SysAllocString(text.c_str());
    return *out ? S_OK : E_OUTOFMEMORY;
}

// The root DSE of the configured domain: read-only.
class RootDse : public ComObject<IADs, IID_IADs> {
public:
    RootDse(std::wstring path, std::wstring domain) : path_(std::move(path)), domain_(std::move(domain)) {}
    HRESULT STDMETHODCALLTYPE get_Name(BSTR* out) override { return stringOut(L"rootDSE", out); }
    HRESULT STDMETHODCALLTYPE get_Class(BSTR* out) override { return stringOut(L"", out); }
    HRESULT STDMETHODCALLTYPE get_GUID(BSTR* out) override { return stringOut(L"", out); }
    HRESULT STDMETHODCALLTYPE get_ADsPath(BSTR* out) override { return stringOut(path_, out); }
    HRESULT STDMETHODCALLTYPE get_Parent(BSTR* out) override { return stringOut(L"LDAP:", out); }
    HRESULT STDMETHODCALLTYPE get_Schema(BSTR* out) override { return stringOut(L"", out); }
    HRESULT STDMETHODCALLTYPE GetInfo() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE SetInfo() override { return E_ADS_PROPERTY_NOT_SUPPORTED; }
    HRESULT STDMETHODCALLTYPE Get(BSTR name, VARIANT* value) override
    {
        if (!value)
            return E_POINTER;
        VariantInit(value);
        std::wstring text;
        if (name && _wcsicmp(name, L"defaultNamingContext") == 0)
            text = namingContext(domain_);
        else if (name && _wcsicmp(name, L"dnsHostName") == 0)
            text = L"dc." + domain_;
        else
            return E_ADS_PROPERTY_NOT_FOUND;
        value->vt = VT_BSTR;
        value->bstrVal = SysAllocString(text.c_str());
        return value->bstrVal ? S_OK : E_OUTOFMEMORY;
    }
    HRESULT STDMETHODCALLTYPE Put(BSTR, VARIANT) override { return E_ADS_PROPERTY_NOT_SUPPORTED; }
    HRESULT STDMETHODCALLTYPE GetEx(BSTR name, VARIANT* value) override { return Get(name, value); }
    HRESULT STDMETHODCALLTYPE PutEx(LONG, BSTR, VARIANT) override { return E_ADS_PROPERTY_NOT_SUPPORTED; }
    HRESULT STDMETHODCALLTYPE GetInfoEx(VARIANT, LONG) override { return S_OK; }

private:
    std::wstring path_;
    std::wstring domain_;
};

class Namespace : public ComObject<IADsOpenDSObject, IID_IADsOpenDSObject> {
public:
    HRESULT STDMETHODCALLTYPE OpenDSObject(BSTR path, BSTR user, BSTR password, LONG flags,
                                           IDispatch** object) override
    {
        if (!object)
            return E_POINTER;
        *object = nullptr;
        EnterCriticalSection(&g_callLock);
        ++g_calls;
        lstrcpynW(g_lastPath, path ? path : L"", 512);
        g_lastFlags = flags;
        g_lastCredentials = (user && *user) || (password && *password);
        LeaveCriticalSection(&g_callLock);

        const std::wstring domain = configuredDomain();
        if (domain.empty())
            return HRESULT_FROM_WIN32(ERROR_DS_SERVER_DOWN);
        if (!path || _wcsicmp(path, L"LDAP://rootDSE") != 0)
            return HRESULT_FROM_WIN32(ERROR_DS_NO_SUCH_OBJECT);
        *object = new RootDse(path, domain);
        return S_OK;
    }
};

StaticClassFactory<Namespace> g_factory(g_locks);

} // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH)
        InitializeCriticalSection(&g_callLock);
    else if (reason == DLL_PROCESS_DETACH)
        DeleteCriticalSection(&g_callLock);
    return TRUE;
}

HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID riid, void** object)
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    if (clsid != kClsid)
        return CLASS_E_CLASSNOTAVAILABLE;
    return g_factory.QueryInterface(riid, object);
}

HRESULT WINAPI DllCanUnloadNow()
{
    return g_objects == 0 && g_locks == 0 ? S_OK : S_FALSE;
}

// The number of binds asked for; the last one's path, flags and whether any
// user name or password came with it.
LONG WINAPI LdapStandinCalls(wchar_t* lastPath, DWORD capacity, LONG* lastFlags, BOOL* credentialsGiven)
{
    EnterCriticalSection(&g_callLock);
    const LONG calls = g_calls;
    if (lastPath && capacity)
        lstrcpynW(lastPath, g_lastPath, static_cast<int>(capacity));
    if (lastFlags)
        *lastFlags = g_lastFlags;
    if (credentialsGiven)
        *credentialsGiven = g_lastCredentials;
    LeaveCriticalSection(&g_callLock);
    return calls;
}

} // extern "C"
