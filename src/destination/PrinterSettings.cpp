#include "destination/PrinterSettings.h"

#include "destination/MonitorChannel.h"
#include "destination/PrinterDataValues.h"
#include "shared/PrinterData.h"
#include "shared/SpoolerQueries.h"

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <vector>

namespace {

constexpr wchar_t kMonitorName[] = L"QZ Keravin Print Monitor";
// Most printer-data strings (names, addresses, URLs) fit in one read of this.
constexpr DWORD kLikelyStringBytes = 512;

// Printer data may lack its terminator whatever its type: the text ends at
// the first zero code unit or at the end of the data.
std::wstring boundedText(const BYTE* data, DWORD size)
{
    const auto* text = reinterpret_cast<const wchar_t*>(data);
    const size_t capacity = size / sizeof(wchar_t);
    size_t length = 0;
    while (length < capacity && text[length])
        ++length;
    return std::wstring(text, length);
}

std::wstring batchName(const wchar_t* key, const wchar_t* name) { return std::wstring(key) + L"\\" + name; }

// True on ERROR_SUCCESS; any other code is left for GetLastError.
bool succeeded(DWORD error)
{
    if (error == ERROR_SUCCESS)
        return true;
    SetLastError(error);
    return false;
}

} // namespace

PrinterSettings::PrinterSettings(const wchar_t* printerName, ACCESS_MASK desiredAccess)
    : printerName_(printerName ? printerName : L"")
{
    if (!printerName)
        return;
    std::wstring name = printerName_;
    PRINTER_DEFAULTSW defaults = {nullptr, nullptr, desiredAccess};
    HANDLE handle = nullptr;
    // OpenPrinterW may write the handle even when it fails; trust it only on success.
    if (OpenPrinterW(name.data(), &handle, &defaults)) {
        owned_.reset(handle);
    } else if (OpenPrinterW(name.data(), &handle, nullptr)) {
        owned_.reset(handle);
        deferred_ = true;
    }
    printer_ = owned_.get();
}

PrinterSettings::PrinterSettings(HANDLE printer) : printer_(printer)
{
    if (!printer)
        return;
    printerName_ = getPrinterName(printer);
    HANDLE reopened = nullptr;
    if (!printerName_.empty() && openPrinterWithAccess(printerName_, &reopened, PRINTER_ALL_ACCESS)) {
        owned_.reset(reopened);
        printer_ = reopened;
    } else {
        deferred_ = true;
    }
}

PrinterSettings::~PrinterSettings()
{
    owned_.reset();
    commitDeferred();
}

MPrint::PrinterDataValues& PrinterSettings::batch()
{
    if (!batch_)
        batch_ = std::make_unique<MPrint::PrinterDataValues>();
    return *batch_;
}

bool PrinterSettings::setString(const wchar_t* name, const wchar_t* text)
{
    if (!name || !text)
        return false;
    if (deferred_) {
        batch().addString(name, text);
        return true;
    }
    const DWORD size = static_cast<DWORD>((std::wcslen(text) + 1) * sizeof(wchar_t));
    return SetPrinterDataW(printer_, const_cast<LPWSTR>(name), REG_SZ,
                           reinterpret_cast<BYTE*>(const_cast<wchar_t*>(text)), size) == ERROR_SUCCESS;
}

bool PrinterSettings::setDword(const wchar_t* name, DWORD value)
{
    if (!name)
        return false;
    if (deferred_) {
        batch().addDword(name, value);
        return true;
    }
    return SetPrinterDataW(printer_, const_cast<LPWSTR>(name), REG_DWORD, reinterpret_cast<BYTE*>(&value),
                           sizeof(value)) == ERROR_SUCCESS;
}

bool PrinterSettings::readString(HANDLE printer, const wchar_t* name, std::wstring& text)
{
    if (!printer || !name)
        return false;
    // One read into a likely size; only a longer value is read again at its
    // own size. The text is bounded by what was really read.
    std::vector<BYTE> data(kLikelyStringBytes, 0);
    DWORD type = 0;
    DWORD needed = 0;
    DWORD result = GetPrinterDataW(printer, const_cast<LPWSTR>(name), &type, data.data(),
                                   static_cast<DWORD>(data.size()), &needed);
    if (result == ERROR_MORE_DATA && needed > data.size()) {
        data.assign(needed, 0);
        result = GetPrinterDataW(printer, const_cast<LPWSTR>(name), &type, data.data(), needed, &needed);
    }
    if (result != ERROR_SUCCESS || needed == 0)
        return false;
    text = boundedText(data.data(), std::min(needed, static_cast<DWORD>(data.size())));
    return true;
}

bool PrinterSettings::readDword(HANDLE printer, const wchar_t* name, DWORD& value)
{
    return getPrinterDword(printer, name, value);
}

bool PrinterSettings::getString(const wchar_t* name, std::wstring& text)
{
    if (!name)
        return false;
    bool found = readString(printer_, name, text);
    if (deferred_ && batch_) {
        if (const PrinterDataValue* value = batch_->find(name)) {
            text = boundedText(value->data.get(), value->size);
            found = true;
        }
    }
    return found;
}

bool PrinterSettings::getDword(const wchar_t* name, DWORD& value)
{
    if (!name)
        return false;
    bool found = readDword(printer_, name, value);
    if (deferred_ && batch_) {
        if (const PrinterDataValue* entry = batch_->find(name)) {
            DWORD number = 0;
            std::memcpy(&number, entry->data.get(), entry->size < sizeof(number) ? entry->size : sizeof(number));
            value = number;
            found = true;
        }
    }
    return found;
}

bool PrinterSettings::deleteValue(const wchar_t* name)
{
    if (!name)
        return false;
    return DeletePrinterDataW(printer_, const_cast<LPWSTR>(name)) == ERROR_SUCCESS;
}

bool PrinterSettings::commitDeferred()
{
    if (!deferred_ || !batch_)
        return false;
    DWORD error = ERROR_SUCCESS;
    bool committed = false;
    {
        MonitorChannel channel(kMonitorName);
        committed = channel.setPrinterData(printerName_.c_str(), batch_.get());
        error = GetLastError();
    }
    if (committed)
        batch_.reset();
    SetLastError(error);
    return committed;
}

void PrinterSettings::discardDeferred()
{
    if (deferred_)
        batch_.reset();
}

bool PrinterSettings::setStringIn(const wchar_t* key, const wchar_t* name, const wchar_t* text)
{
    if (!key || !*key || !name || !text)
        return succeeded(ERROR_INVALID_PARAMETER);
    if (!deferred_) {
        const DWORD size = static_cast<DWORD>((std::wcslen(text) + 1) * sizeof(wchar_t));
        const DWORD error = SetPrinterDataExW(printer_, key, name, REG_SZ,
                                              reinterpret_cast<BYTE*>(const_cast<wchar_t*>(text)), size);
        if (!deferAfterRefusal(error))
            return succeeded(error);
    }
    batch().addString(batchName(key, name).c_str(), text);
    return true;
}

bool PrinterSettings::setDwordIn(const wchar_t* key, const wchar_t* name, DWORD value)
{
    if (!key || !*key || !name)
        return succeeded(ERROR_INVALID_PARAMETER);
    if (!deferred_) {
        const DWORD error =
            SetPrinterDataExW(printer_, key, name, REG_DWORD, reinterpret_cast<BYTE*>(&value), sizeof(value));
        if (!deferAfterRefusal(error))
            return succeeded(error);
    }
    batch().addDword(batchName(key, name).c_str(), value);
    return true;
}

bool PrinterSettings::deferAfterRefusal(DWORD error)
{
    if (error != ERROR_ACCESS_DENIED)
        return false;
    deferred_ = true;
    return true;
}

bool PrinterSettings::getStringIn(const wchar_t* key, const wchar_t* name, std::wstring& text)
{
    if (!key || !*key || !name)
        return succeeded(ERROR_INVALID_PARAMETER);
    if (deferred_ && batch_) {
        if (const PrinterDataValue* value = batch_->find(batchName(key, name).c_str())) {
            if (value->type == REG_NONE)
                return succeeded(ERROR_FILE_NOT_FOUND);  // deleted, waiting for the monitor
            text = boundedText(value->data.get(), value->size);
            return true;
        }
    }
    return succeeded(readPrinterDataText(printer_, key, name, text));
}

bool PrinterSettings::deleteValueIn(const wchar_t* key, const wchar_t* name)
{
    if (!key || !*key || !name)
        return succeeded(ERROR_INVALID_PARAMETER);
    if (!deferred_) {
        const DWORD error = DeletePrinterDataExW(printer_, key, name);
        if (!deferAfterRefusal(error))
            return succeeded(error == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : error);
    }
    batch().addDeletion(batchName(key, name).c_str());
    return true;
}
