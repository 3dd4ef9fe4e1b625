#include "support/PortStandIns.h"

#include "support/TestEnv.h"

namespace testports {

namespace {
constexpr wchar_t kPortsKey[] = L"SOFTWARE\\VrelmSharedIOStandIn\\Ports\\";
}

bool registerSharedIO()
{
    static const bool registered = [] {
        HMODULE server = LoadLibraryW((testenv::binDir() + L"\\sharedio\\QZSharedIO.dll").c_str());
        if (!server)
            return false;
        using RegisterFn = HRESULT(WINAPI*)();
        auto reg = reinterpret_cast<RegisterFn>(reinterpret_cast<void*>(GetProcAddress(server, "DllRegisterServer")));
        const bool ok = reg && SUCCEEDED(reg());
        FreeLibrary(server);
        return ok;
    }();
    return registered;
}

ScopedSharedIOPort::ScopedSharedIOPort(const std::wstring& port, const SharedIOAnswer& answer)
    : key_(kPortsKey + port)
{
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, key_.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return;
    auto dword = [&](const wchar_t* name, DWORD value) {
        RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
    };
    auto text = [&](const wchar_t* name, const std::wstring& value) {
        if (!value.empty())
            RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                           static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    };
    dword(L"Flags", answer.flags);
    dword(L"ValueA", answer.valueA);
    dword(L"ValueB", answer.valueB);
    dword(L"Result", answer.result);
    text(L"Address", answer.address);
    text(L"Secondary", answer.secondary);
    RegCloseKey(key);
}

ScopedSharedIOPort::~ScopedSharedIOPort()
{
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, key_.c_str());
}

std::wstring remotePortDir(const std::wstring& variant)
{
    return testenv::binDir() + L"\\remoteport\\" + variant;
}

} // namespace testports
