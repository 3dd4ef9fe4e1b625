// The Trebuk port's bidirectional COM server as the module calls it: two
// in-process classes with custom IUnknown-based interfaces (no proxy, never
// marshalled). Declared once for the module and the stand-in; only the slot
// positions and arguments bind, the names are ours. Buffers the server hands
// out are CoTaskMemAlloc blocks the caller frees.
#pragma once

#include "core/Win32.h"

#include <objbase.h>

namespace trebuk {

// {88721C4D-BC58-11D3-A99D-81EAEC5E8E45}
inline constexpr CLSID kRequestListClassId = {0x88721C4D, 0xBC58, 0x11D3, {0xA9, 0x9D, 0x81, 0xEA, 0xEC, 0x5E, 0x8E, 0x45}};
// {88721C4C-BC58-11D3-A99D-81EAEC5E8E45}
inline constexpr IID kRequestListInterfaceId = {0x88721C4C, 0xBC58, 0x11D3, {0xA9, 0x9D, 0x81, 0xEA, 0xEC, 0x5E, 0x8E, 0x45}};
// {88721C50-BC58-11D3-A99D-81EAEC5E8E45}
inline constexpr CLSID kConnectionClassId = {0x88721C50, 0xBC58, 0x11D3, {0xA9, 0x9D, 0x81, 0xEA, 0xEC, 0x5E, 0x8E, 0x45}};
// {88721C4F-BC58-11D3-A99D-81EAEC5E8E45}
inline constexpr IID kConnectionInterfaceId = {0x88721C4F, 0xBC58, 0x11D3, {0xA9, 0x9D, 0x81, 0xEA, 0xEC, 0x5E, 0x8E, 0x45}};

// Type codes of a value.
enum ValueType : DWORD { kTypeInteger = 1, kTypeCounter = 2, kTypeText = 4, kTypeOctets = 5 };
// The only request kind the module sets.
constexpr DWORD kRequestKindValue = 4;
// Overall status: the device gave no answer.
constexpr DWORD kOverallNoAnswer = 2;
// Connect result that makes retrying pointless.
constexpr HRESULT kConnectNoRetry = static_cast<HRESULT>(0xE0010007);

// Slots 0 to 2 are IUnknown's; the numbers below are the vtable slots.
struct IRequestList : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetOverallStatus(DWORD* status) = 0;                           // 3
    virtual HRESULT STDMETHODCALLTYPE GetAnswerCount(DWORD* count) = 0;                              // 4
    virtual HRESULT STDMETHODCALLTYPE SetOid(DWORD index, const wchar_t* oid) = 0;                   // 5
    virtual HRESULT STDMETHODCALLTYPE Clear() = 0;                                                   // 6
    virtual HRESULT STDMETHODCALLTYPE Reserved7() = 0;
    virtual HRESULT STDMETHODCALLTYPE GetNextOid(DWORD index, wchar_t** oid) = 0;                    // 8
    virtual HRESULT STDMETHODCALLTYPE GetValue(DWORD index, DWORD* type, BYTE** data, DWORD* size) = 0; // 9
    virtual HRESULT STDMETHODCALLTYPE SetRequestKind(DWORD index, DWORD kind) = 0;                   // 10
    virtual HRESULT STDMETHODCALLTYPE GetStatus(DWORD index, HRESULT* status) = 0;                   // 11
};

struct IPortConnection : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Retarget(const wchar_t* printer) = 0;                          // 3
    virtual HRESULT STDMETHODCALLTYPE Connect(const wchar_t* name, DWORD kind, const wchar_t* address,
                                              DWORD port) = 0;                                       // 4
    virtual HRESULT STDMETHODCALLTYPE Reserved5() = 0;
    virtual HRESULT STDMETHODCALLTYPE Get(IRequestList* list) = 0;                                   // 6
    virtual HRESULT STDMETHODCALLTYPE GetNext(IRequestList* list) = 0;                               // 7
    virtual HRESULT STDMETHODCALLTYPE Disconnect() = 0;                                              // 8
    virtual HRESULT STDMETHODCALLTYPE Reserved9() = 0;
    // The module passes (text, 0, -1, 3000, 2000, 1, 1).
    virtual HRESULT STDMETHODCALLTYPE Settings(const wchar_t* text, DWORD a, LONG b, DWORD c, DWORD d, DWORD e,
                                               DWORD f) = 0;                                         // 10
};

} // namespace trebuk
