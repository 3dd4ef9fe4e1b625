#include "bidi/SNMPCommunityName.h"

#include "core/RegistryKey.h"

namespace {

// The sources hold at most 32 characters: one more slot keeps a value
// stored without its terminator (or of another type) terminated.
constexpr DWORD kReadBytes = 32 * sizeof(wchar_t);

std::wstring boundedText(const wchar_t* buffer)
{
    return std::wstring(buffer, wcsnlen(buffer, kReadBytes / sizeof(wchar_t)));
}

} // namespace

SNMPRegistryCommunityName::SNMPRegistryCommunityName(HKEY root, const wchar_t* path) : root_(root), path_(path)
{
    // Text values only; a longer one than the sources hold leaves the
    // provider empty rather than cut.
    RegistryKey key(root_, path_, RegistryKey::kRead);
    std::wstring text;
    if (key.isOpen() && key.queryString(kValueName, text) && text.size() <= kReadBytes / sizeof(wchar_t))
        value_ = text;
}

bool SNMPRegistryCommunityName::store(const std::wstring& value)
{
    value_ = value;
    RegistryKey key(root_, path_, RegistryKey::kAllAccess, true);
    return key.isOpen() && key.setString(kValueName, value_);
}

SNMPQueueCommunityName::SNMPQueueCommunityName(const wchar_t* printerName)
{
    // An empty name would open the print server, whose data is no queue's.
    if (!printerName || !*printerName)
        return;
    PRINTER_DEFAULTSW defaults = {nullptr, nullptr, PRINTER_ALL_ACCESS};
    HANDLE printer = nullptr;
    // OpenPrinterW may write the handle even when it fails; trust it only on success.
    if (OpenPrinterW(const_cast<wchar_t*>(printerName), &printer, &defaults) && printer) {
        owned_.reset(printer);
        printer_ = printer;
        read();
    }
}

SNMPQueueCommunityName::SNMPQueueCommunityName(HANDLE* printer)
{
    if (printer && *printer) {
        printer_ = *printer;
        read();
    }
}

void SNMPQueueCommunityName::read()
{
    DWORD type = 0;
    DWORD needed = 0;
    const DWORD rc = GetPrinterDataW(printer_, const_cast<wchar_t*>(kValueName), &type, nullptr, 0, &needed);
    if ((rc != ERROR_MORE_DATA && rc != ERROR_SUCCESS) || needed == 0 || needed > kReadBytes)
        return;
    wchar_t buffer[kReadBytes / sizeof(wchar_t) + 2] = {};
    if (GetPrinterDataW(printer_, const_cast<wchar_t*>(kValueName), &type, reinterpret_cast<BYTE*>(buffer),
                        kReadBytes, &needed) == ERROR_SUCCESS)
        value_ = boundedText(buffer);
}

bool SNMPQueueCommunityName::store(const std::wstring& value)
{
    value_ = value;
    if (!printer_)
        return false;
    return SetPrinterDataW(printer_, const_cast<wchar_t*>(kValueName), REG_SZ,
                           reinterpret_cast<BYTE*>(const_cast<wchar_t*>(value_.c_str())),
                           static_cast<DWORD>((value_.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

SNMPCIOCommunityName::SNMPCIOCommunityName(const std::wstring& value, const std::wstring& address)
    : SNMPCommunityName(value), address_(address)
{
}

SNMPCIOCommunityName::SNMPCIOCommunityName(const std::wstring& value, const std::string& address)
    : SNMPCommunityName(value), address_(address.begin(), address.end())
{
}

bool SNMPCIOCommunityName::apply()
{
    return store(value_);
}

bool SNMPCIOCommunityName::store(const std::wstring& value)
{
    if (address_.empty())
        return true;
    value_ = value;
    RegistryKey key(HKEY_LOCAL_MACHINE, kKeyPath, RegistryKey::kAllAccess, true);
    return key.isOpen() && key.setString(address_, value_);
}

const std::wstring& SNMPCommunityNameComposite::getCommunityName(const wchar_t* printerName)
{
    if (!chosen_.empty())
        return chosen_;
    return choose(SNMPQueueCommunityName(printerName));
}

const std::wstring& SNMPCommunityNameComposite::getCommunityName(HANDLE* printer)
{
    if (!chosen_.empty())
        return chosen_;
    return choose(SNMPQueueCommunityName(printer));
}

const std::wstring& SNMPCommunityNameComposite::choose(const SNMPCommunityName& queue)
{
    const SNMPADSCommunityName policy;
    const SNMPGlobalCommunityName machine;
    for (const SNMPCommunityName* source : {static_cast<const SNMPCommunityName*>(&policy), &queue,
                                            static_cast<const SNMPCommunityName*>(&machine)}) {
        if (source->isValid()) {
            chosen_ = source->getValue();
            return chosen_;
        }
    }
    chosen_ = kDefaultCommunity;
    return chosen_;
}
