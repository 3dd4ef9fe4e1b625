// The class factory of an in-process COM stand-in: one static object per
// DLL that makes T (a COM object whose reference count starts at 1) and
// keeps the server's lock count for DllCanUnloadNow.
#pragma once

#include <objbase.h>

#include <new>

template <class T>
class StaticClassFactory final : public IClassFactory {
public:
    explicit StaticClassFactory(volatile LONG& locks) : locks_(locks) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
    {
        if (!out)
            return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IClassFactory) {
            *out = static_cast<IClassFactory*>(this);
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    // A static object: its count does not decide its lifetime.
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override
    {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        T* created = new (std::nothrow) T();
        if (!created)
            return E_OUTOFMEMORY;
        const HRESULT result = created->QueryInterface(iid, out);
        created->Release();
        return result;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override
    {
        if (lock)
            InterlockedIncrement(&locks_);
        else
            InterlockedDecrement(&locks_);
        return S_OK;
    }

private:
    volatile LONG& locks_;
};
