// The maker's shared I/O component as the module calls it: an in-process
// COM server with one custom IUnknown-based interface (no proxy, so it is
// never marshalled). Declared once for the module and the stand-in; only the
// slot positions and arguments bind, the names are ours. Texts the server
// returns are allocated with CoTaskMemAlloc and freed by the caller.
#pragma once

#include "core/Win32.h"

#include <objbase.h>

namespace sharedio {

// {5A5AA0AA-1DEB-4683-96B0-B43301E83971}
inline constexpr CLSID kClassId = {0x5A5AA0AA, 0x1DEB, 0x4683, {0x96, 0xB0, 0xB4, 0x33, 0x01, 0xE8, 0x39, 0x71}};
// {454CB2AB-0024-4434-A5C0-0DF0FB3C3E74}
inline constexpr IID kInterfaceId = {0x454CB2AB, 0x0024, 0x4434, {0xA5, 0xC0, 0x0D, 0xF0, 0xFB, 0x3C, 0x3E, 0x74}};

// Connection kinds the classification reports (in/out flags of slot 3).
enum PortFlags : DWORD {
    kFlagAddress1 = 0x1,
    kFlagAddress2 = 0x2,
    kFlagAddress4 = 0x4,
    kFlagAddress8 = 0x8,
    kFlagDirect = 0x10,              // gated by "DirectConnectBidiSupported"
    kFlagSecondaryText = 0x01000000, // with kFlagDirect: ask for the extra text first
};

// Slots 0 to 2 are IUnknown's; the numbers below are the vtable slots.
struct ISharedPortIO : public IUnknown {
    // 3: classify; anything but S_OK ends the resolution.
    virtual HRESULT STDMETHODCALLTYPE ClassifyPort(const wchar_t* printer, const wchar_t* port, DWORD* flags,
                                                   DWORD* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved4() = 0;
    virtual HRESULT STDMETHODCALLTYPE GetAddress1(wchar_t** address) = 0;                 // 5
    virtual HRESULT STDMETHODCALLTYPE GetAddress2(wchar_t** address, DWORD* value) = 0;   // 6
    virtual HRESULT STDMETHODCALLTYPE GetAddress4(wchar_t** address, DWORD* value) = 0;   // 7
    virtual HRESULT STDMETHODCALLTYPE GetAddress8(wchar_t** address, DWORD* value) = 0;   // 8
    virtual HRESULT STDMETHODCALLTYPE Reserved9() = 0;
    virtual HRESULT STDMETHODCALLTYPE GetSecondaryText(wchar_t** text) = 0;               // 10
    virtual HRESULT STDMETHODCALLTYPE Reserved11() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved12() = 0;
    virtual HRESULT STDMETHODCALLTYPE GetDirectAddress(wchar_t** address, DWORD* value) = 0; // 13
};

} // namespace sharedio
