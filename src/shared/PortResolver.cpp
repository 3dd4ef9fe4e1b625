#include "shared/PortResolver.h"

#include "core/RegistryKey.h"
#include "core/ScopedHandle.h"
#include "core/SettingsKeys.h"
#include "shared/SharedIOInterface.h"

#include <wrl/client.h>

namespace MPrint {

namespace {

constexpr DWORD kCreateContext = CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER |
                                 CLSCTX_REMOTE_SERVER;  // 23
static_assert(kCreateContext == 23);

// A text of the component: taken (bounded) and freed.
class ComText {
public:
    ~ComText() { CoTaskMemFree(text_); }
    wchar_t** receive() { return &text_; }
    bool copyTo(std::wstring& out) const
    {
        if (!text_)
            return false;
        out.assign(text_, wcsnlen(text_, 4096));
        return true;
    }

private:
    wchar_t* text_ = nullptr;
};

bool directConnectionAllowed()
{
    RegistryKey key(HKEY_LOCAL_MACHINE, settingskeys::kCommonIo, RegistryKey::kRead);
    DWORD supported = 0;
    return key.queryDword(L"DirectConnectBidiSupported", &supported) && supported != 0;
}

} // namespace

BYTE* PortResolver::getPrinterInfoByName(const std::wstring& printerName, DWORD level)
{
    ScopedPrinter printer;
    if (printerName.empty() || !OpenPrinterW(const_cast<wchar_t*>(printerName.c_str()), printer.receive(), nullptr))
        return nullptr;
    DWORD size = 1000;
    for (int attempt = 0; attempt < 2; ++attempt) {
        GlobalBlock<BYTE> block(static_cast<BYTE*>(GlobalAlloc(GPTR, size)));
        if (!block)
            return nullptr;
        DWORD needed = 0;
        if (GetPrinterW(printer.get(), level, block.get(), size, &needed))
            return block.release();
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || needed == 0 || needed > 0xFFFFFFFFu - 100)
            return nullptr;
        size = needed + 100;
    }
    return nullptr;
}

bool PortResolver::resolve(const std::wstring& printerName, std::wstring& secondaryText, std::wstring& address,
                           DWORD& valueA, DWORD& flags, DWORD& valueB)
{
    std::wstring port;
    {
        GlobalBlock<PRINTER_INFO_5W> five(reinterpret_cast<PRINTER_INFO_5W*>(getPrinterInfoByName(printerName, 5)));
        if (five && five->pPortName)
            port = five->pPortName;
    }
    if (port.empty())
        return false;
    Microsoft::WRL::ComPtr<sharedio::ISharedPortIO> io;
    if (FAILED(CoCreateInstance(sharedio::kClassId, nullptr, kCreateContext, sharedio::kInterfaceId,
                                reinterpret_cast<void**>(io.GetAddressOf()))) ||
        !io)
        return false;
    if (io->ClassifyPort(printerName.c_str(), port.c_str(), &flags, &valueA) != S_OK)
        return false;
    ComText text;
    ComText secondary;
    HRESULT last = S_OK;
    if (flags & sharedio::kFlagAddress4) {
        last = io->GetAddress4(text.receive(), &valueB);
    } else if (flags & sharedio::kFlagAddress2) {
        last = io->GetAddress2(text.receive(), &valueB);
    } else if (flags & sharedio::kFlagAddress8) {
        last = io->GetAddress8(text.receive(), &valueB);
    } else if (flags & sharedio::kFlagDirect) {
        if (flags & sharedio::kFlagSecondaryText)
            io->GetSecondaryText(secondary.receive());
        last = io->GetDirectAddress(text.receive(), &valueB);
    } else if (flags & sharedio::kFlagAddress1) {
        last = io->GetAddress1(text.receive());
    }
    const bool resolved = SUCCEEDED(last);
    if (resolved) {
        text.copyTo(address);
        secondary.copyTo(secondaryText);
    }
    io.Reset();
    if (resolved && (flags & sharedio::kFlagDirect))
        return directConnectionAllowed();
    return resolved;
}

} // namespace MPrint
