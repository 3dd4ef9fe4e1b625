// Stand-in for the maker's shared I/O component: an in-process COM server
// (ThreadingModel Both) that classifies a queue's port and answers its
// address. What it knows of a port lives under
//   HKLM\SOFTWARE\VrelmSharedIOStandIn\Ports\<port>
//     "Flags"     DWORD  the kinds reported by the classification
//     "ValueA"    DWORD  the classification's value
//     "Result"    DWORD  HRESULT of the classification (S_OK when missing)
//     "Address"   SZ     the address every address slot answers
//     "ValueB"    DWORD  the value those slots answer
//     "Secondary" SZ     the extra text of slot 10
// A port without a key is classified with no flags. Every slot called is
// appended as "slot N" to the file named by VRELM_SHAREDIO_LOG.
#include "shared/SharedIOInterface.h"

#include "comserver/InprocRegistration.h"
#include "comserver/StaticClassFactory.h"

#include <cstdio>
#include <string>

namespace {

constexpr wchar_t kPortsKey[] = L"SOFTWARE\\VrelmSharedIOStandIn\\Ports";
volatile LONG g_objects = 0;
volatile LONG g_locks = 0;
HMODULE g_module = nullptr;

void record(int slot)
{
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableW(L"VRELM_SHAREDIO_LOG", path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return;
    char line[32];
    const int size = std::snprintf(line, sizeof(line), "slot %d\n", slot);
    HANDLE file = CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    DWORD done = 0;
    WriteFile(file, line, static_cast<DWORD>(size), &done, nullptr);
    CloseHandle(file);
}

bool readDword(const std::wstring& port, const wchar_t* name, DWORD& value)
{
    DWORD size = sizeof(value);
    return RegGetValueW(HKEY_LOCAL_MACHINE, (std::wstring(kPortsKey) + L"\\" + port).c_str(), name,
                        RRF_RT_REG_DWORD, nullptr, &value, &size) == ERROR_SUCCESS;
}

// A CoTaskMemAlloc copy of a REG_SZ value, or null when it is missing.
wchar_t* readText(const std::wstring& port, const wchar_t* name)
{
    wchar_t value[1024] = {};
    DWORD size = sizeof(value);
    if (RegGetValueW(HKEY_LOCAL_MACHINE, (std::wstring(kPortsKey) + L"\\" + port).c_str(), name, RRF_RT_REG_SZ,
                     nullptr, value, &size) != ERROR_SUCCESS)
        return nullptr;
    const size_t bytes = (wcsnlen(value, 1023) + 1) * sizeof(wchar_t);
    auto* copy = static_cast<wchar_t*>(CoTaskMemAlloc(bytes));
    if (copy)
        memcpy(copy, value, bytes);
    return copy;
}

class SharedPortIO final : public sharedio::ISharedPortIO {
public:
    SharedPortIO() { InterlockedIncrement(&g_objects); }
    ~SharedPortIO() { InterlockedDecrement(&g_objects); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
    {
        if (!out)
            return E_POINTER;
        if (iid == IID_IUnknown || iid == sharedio::kInterfaceId) {
            *out = static_cast<sharedio::ISharedPortIO*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const LONG left = InterlockedDecrement(&refs_);
        if (left == 0)
            delete this;
        return static_cast<ULONG>(left);
    }

    HRESULT STDMETHODCALLTYPE ClassifyPort(const wchar_t* printer, const wchar_t* port, DWORD* flags,
                                           DWORD* value) override
    {
        record(3);
        if (!printer || !port || !flags || !value)
            return E_POINTER;
        port_.assign(port, wcsnlen(port, 256));
        DWORD result = S_OK;
        readDword(port_, L"Result", result);
        DWORD found = 0;
        *flags = readDword(port_, L"Flags", found) ? found : 0;
        DWORD a = 0;
        *value = readDword(port_, L"ValueA", a) ? a : 0;
        return static_cast<HRESULT>(result);
    }
    HRESULT STDMETHODCALLTYPE Reserved4() override { return unexpected(4); }
    HRESULT STDMETHODCALLTYPE GetAddress1(wchar_t** address) override
    {
        record(5);
        return answer(address, nullptr);
    }
    HRESULT STDMETHODCALLTYPE GetAddress2(wchar_t** address, DWORD* value) override
    {
        record(6);
        return answer(address, value);
    }
    HRESULT STDMETHODCALLTYPE GetAddress4(wchar_t** address, DWORD* value) override
    {
        record(7);
        return answer(address, value);
    }
    HRESULT STDMETHODCALLTYPE GetAddress8(wchar_t** address, DWORD* value) override
    {
        record(8);
        return answer(address, value);
    }
    HRESULT STDMETHODCALLTYPE Reserved9() override { return unexpected(9); }
    HRESULT STDMETHODCALLTYPE GetSecondaryText(wchar_t** text) override
    {
        record(10);
        if (!text)
            return E_POINTER;
        *text = readText(port_, L"Secondary");
        return *text ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Reserved11() override { return unexpected(11); }
    HRESULT STDMETHODCALLTYPE Reserved12() override { return unexpected(12); }
    HRESULT STDMETHODCALLTYPE GetDirectAddress(wchar_t** address, DWORD* value) override
    {
        record(13);
        return answer(address, value);
    }

private:
    HRESULT unexpected(int slot)
    {
        record(slot);
        return E_NOTIMPL;
    }
    HRESULT answer(wchar_t** address, DWORD* value)
    {
        if (!address)
            return E_POINTER;
        *address = readText(port_, L"Address");
        if (!*address)
            return HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
        DWORD b = 0;
        if (value)
            *value = readDword(port_, L"ValueB", b) ? b : 0;
        return S_OK;
    }

    volatile LONG refs_ = 1;
    std::wstring port_;  // of the last classification
};

StaticClassFactory<SharedPortIO> g_factory(g_locks);

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
    if (clsid != sharedio::kClassId)
        return CLASS_E_CLASSNOTAVAILABLE;
    return g_factory.QueryInterface(iid, out);
}

HRESULT WINAPI DllCanUnloadNow()
{
    return g_objects == 0 && g_locks == 0 ? S_OK : S_FALSE;
}

// Machine-wide registration of this file as the class's in-process server.
HRESULT WINAPI DllRegisterServer()
{
    return comserver::registerClass(g_module, sharedio::kClassId);
}

HRESULT WINAPI DllUnregisterServer()
{
    return comserver::unregisterClass(sharedio::kClassId);
}

} // extern "C"
