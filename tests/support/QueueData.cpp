#include "support/QueueData.h"

#include "shared/PrintDriver.h"
#include "support/TestSpooler.h"

#include <winspool.h>

#include <vector>

namespace testspool {

ScopedPrinter openQueue(const std::wstring& name, ACCESS_MASK access)
{
    HANDLE handle = nullptr;
    PRINTER_DEFAULTSW defaults = {nullptr, nullptr, access};
    if (!OpenPrinterW(const_cast<wchar_t*>(name.c_str()), &handle, &defaults))
        return ScopedPrinter();
    return ScopedPrinter(handle);
}

DataValues enumDataValues(HANDLE printer, const std::wstring& key)
{
    DataValues values;
    DWORD needed = 0, count = 0;
    EnumPrinterDataExW(printer, key.c_str(), nullptr, 0, &needed, &count);
    std::vector<BYTE> block(needed + 1);
    if (EnumPrinterDataExW(printer, key.c_str(), block.data(), needed, &needed, &count) != ERROR_SUCCESS)
        return values;
    const auto* items = reinterpret_cast<const PRINTER_ENUM_VALUESW*>(block.data());
    for (DWORD i = 0; i < count; ++i)
        values[items[i].pValueName] = {items[i].dwType,
                                       std::string(reinterpret_cast<const char*>(items[i].pData), items[i].cbData)};
    return values;
}

DriverQueue::DriverQueue(const std::wstring& base)
    : driver_(uniqueQueueName(base + L" Driver")), name_(uniqueQueueName(base))
{
    const SpoolerControlApi* api = control();
    if (!api) {
        error_ = ERROR_NOT_SUPPORTED;
        return;
    }
    std::wstring directory;
    getPrinterDriverDirectory(directory, L"");
    const std::wstring file = directory + L"\\3\\unidrv.dll";
    api->setDriverValue(driver_.c_str(), L"Driver", REG_SZ, file.c_str(),
                        static_cast<DWORD>((file.size() + 1) * sizeof(wchar_t)));
    error_ = api->addQueue(name_.c_str(), driver_.c_str(), L"LPT1:", PRINTER_ATTRIBUTE_LOCAL);
    if (error_ == ERROR_SUCCESS)
        PrintDriver(name_).getDriverRegKeyPath(keyPath_);
}

DriverQueue::~DriverQueue()
{
    if (!keyPath_.empty())
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, keyPath_.c_str());
    if (error_ == ERROR_SUCCESS)
        control()->removeQueue(name_.c_str());
}

bool DriverQueue::setVerifyPdl(const std::optional<std::wstring>& value)
{
    if (keyPath_.empty())
        return false;
    if (!value) {
        const LONG removed = RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, keyPath_.c_str(), L"VerifyPDL");
        return removed == ERROR_SUCCESS || removed == ERROR_FILE_NOT_FOUND;
    }
    return RegSetKeyValueW(HKEY_LOCAL_MACHINE, keyPath_.c_str(), L"VerifyPDL", REG_SZ, value->c_str(),
                           static_cast<DWORD>((value->size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

std::string bytesOf(const void* data, size_t size)
{
    return std::string(static_cast<const char*>(data), size);
}

std::string textBytes(const std::wstring& text)
{
    return bytesOf(text.c_str(), (text.size() + 1) * sizeof(wchar_t));
}

std::string dwordBytes(DWORD value)
{
    return bytesOf(&value, sizeof(value));
}

} // namespace testspool
