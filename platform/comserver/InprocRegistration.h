// Machine-wide registration of an in-process COM stand-in (ThreadingModel
// Both), as regsvr32 asks for it through DllRegisterServer.
#pragma once

#include <objbase.h>
#include <olectl.h>

#include <string>

namespace comserver {

inline std::wstring classKeyPath(REFCLSID clsid)
{
    wchar_t guid[64] = {};
    StringFromGUID2(clsid, guid, 64);
    return std::wstring(L"Software\\Classes\\CLSID\\") + guid;
}

// The module's file as the class's in-process server.
inline HRESULT registerClass(HMODULE module, REFCLSID clsid)
{
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(module, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return E_FAIL;
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, (classKeyPath(clsid) + L"\\InprocServer32").c_str(), 0, nullptr, 0,
                        KEY_WRITE, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return SELFREG_E_CLASS;
    const wchar_t model[] = L"Both";
    LONG rc = RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(path),
                             (length + 1) * sizeof(wchar_t));
    if (rc == ERROR_SUCCESS)
        rc = RegSetValueExW(key, L"ThreadingModel", 0, REG_SZ, reinterpret_cast<const BYTE*>(model), sizeof(model));
    RegCloseKey(key);
    return rc == ERROR_SUCCESS ? S_OK : SELFREG_E_CLASS;
}

inline HRESULT unregisterClass(REFCLSID clsid)
{
    const LONG rc = RegDeleteTreeW(HKEY_LOCAL_MACHINE, classKeyPath(clsid).c_str());
    return rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND ? S_OK : SELFREG_E_CLASS;
}

} // namespace comserver
