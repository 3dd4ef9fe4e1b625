#include "shared/SpoolerQueries.h"

#include "core/ScopedHandle.h"

#include <cstddef>
#include <cwchar>
#include <string>

namespace {

// The size a driver may give its device mode: its fixed header at least, and
// not more than any driver's.
constexpr LONG kMinDevModeSize = static_cast<LONG>(offsetof(DEVMODEW, dmFields));
constexpr LONG kMaxDevModeSize = 64 * 1024;

template <typename Query>
bool queryIntoBlock(BYTE** info, Query query)
{
    if (!info)
        return false;
    DWORD needed = 0;
    query(nullptr, 0, &needed);
    if (needed == 0)
        return false;
    *info = static_cast<BYTE*>(GlobalAlloc(GPTR, needed));
    if (!*info)
        return false;
    return query(*info, needed, &needed) != FALSE;
}

// The two-call enumeration: a size query that must ask for more room, then a
// GPTR block of the need plus the margin. Other processes add printers, ports
// and jobs between the calls: a list that outgrew the margin is asked for
// again, a few times, rather than reported as a failure. Null (the spooler's
// error kept) when there is nothing to list or a call fails; *count is set on
// success.
template <typename Enumerate>
BYTE* enumerateIntoBlock(DWORD margin, DWORD* count, Enumerate enumerate)
{
    if (!count)
        return nullptr;
    constexpr int kAttempts = 4;
    for (int attempt = 1;; ++attempt) {
        DWORD needed = 0;
        DWORD returned = 0;
        if (enumerate(nullptr, 0, &needed, &returned) || GetLastError() != ERROR_INSUFFICIENT_BUFFER)
            return nullptr;
        const DWORD size = needed + margin;
        if (size < needed)
            return nullptr;
        GlobalBlock<BYTE> block(static_cast<BYTE*>(GlobalAlloc(GPTR, size)));
        if (!block)
            return nullptr;
        *count = 0;
        if (enumerate(block.get(), size, &needed, &returned)) {
            *count = returned;
            return block.release();
        }
        // The block goes, the spooler's error stays.
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || attempt == kAttempts)
            return nullptr;
    }
}

} // namespace

bool getPrinterAlloc(HANDLE printer, DWORD level, BYTE** info)
{
    return queryIntoBlock(info, [&](BYTE* buffer, DWORD size, DWORD* needed) {
        return GetPrinterW(printer, level, buffer, size, needed);
    });
}

std::wstring getPrinterName(HANDLE printer)
{
    GlobalBlock<BYTE> info;
    if (!printer || !getPrinterAlloc(printer, 1, info.receive()))
        return {};
    const wchar_t* name = reinterpret_cast<const PRINTER_INFO_1W*>(info.get())->pName;
    return name ? name : L"";
}

std::wstring getPrinterPortName(HANDLE printer)
{
    GlobalBlock<BYTE> info;
    if (!printer || !getPrinterAlloc(printer, 5, info.receive()))
        return {};
    const wchar_t* port = reinterpret_cast<const PRINTER_INFO_5W*>(info.get())->pPortName;
    return port ? port : L"";
}

bool getPrinterDword(HANDLE printer, const wchar_t* name, DWORD& value)
{
    DWORD type = 0, needed = 0, read = 0;
    if (!printer || !name ||
        GetPrinterDataW(printer, const_cast<wchar_t*>(name), &type, reinterpret_cast<BYTE*>(&read), sizeof(read),
                        &needed) != ERROR_SUCCESS ||
        needed != sizeof(read))
        return false;
    value = read;
    return true;
}

bool getJobAlloc(HANDLE printer, DWORD jobId, DWORD level, BYTE** info)
{
    if (!printer || !info || (level != 1 && level != 2))
        return false;
    DWORD needed = 0;
    if (GetJobW(printer, jobId, level, nullptr, 0, &needed) || GetLastError() != ERROR_INSUFFICIENT_BUFFER ||
        needed == 0)
        return false;
    const DWORD size = needed + (level == 1 ? 4096 : 8192);
    if (size < needed)
        return false;
    GlobalBlock<BYTE> block(static_cast<BYTE*>(GlobalAlloc(GPTR, size)));
    if (!block || !GetJobW(printer, jobId, level, block.get(), size, &needed))
        return false;
    *info = block.release();
    return true;
}

bool getPrinterDriverAlloc(HANDLE printer, DWORD level, BYTE** info)
{
    return queryIntoBlock(info, [&](BYTE* buffer, DWORD size, DWORD* needed) {
        return GetPrinterDriverW(printer, nullptr, level, buffer, size, needed);
    });
}

BYTE* enumJobsAlloc(HANDLE printer, DWORD level, DWORD* count)
{
    if (!printer)
        return nullptr;
    // Room for a job or two that arrive between the calls.
    return enumerateIntoBlock(1024, count, [&](BYTE* buffer, DWORD size, DWORD* needed, DWORD* returned) {
        return EnumJobsW(printer, 0, 0xFFFFFFFF, level, buffer, size, needed, returned);
    });
}

BYTE* enumPrintersAlloc(const wchar_t* name, DWORD level, DWORD* count)
{
    const DWORD flags = name && *name ? PRINTER_ENUM_NAME : PRINTER_ENUM_LOCAL;
    wchar_t* target = name && *name ? const_cast<wchar_t*>(name) : nullptr;
    return enumerateIntoBlock(1024, count, [&](BYTE* buffer, DWORD size, DWORD* needed, DWORD* returned) {
        return EnumPrintersW(flags, target, level, buffer, size, needed, returned);
    });
}

BYTE* enumPortsAlloc(const wchar_t* server, DWORD level, DWORD* count)
{
    wchar_t* target = server && *server ? const_cast<wchar_t*>(server) : nullptr;
    return enumerateIntoBlock(128, count, [&](BYTE* buffer, DWORD size, DWORD* needed, DWORD* returned) {
        return EnumPortsW(target, level, buffer, size, needed, returned);
    });
}

std::vector<std::wstring> dependentFilesInBlock(const BYTE* block, SIZE_T blockSize)
{
    std::vector<std::wstring> files;
    if (!block || (blockSize && blockSize < sizeof(DRIVER_INFO_3W)))
        return files;
    const wchar_t* file = reinterpret_cast<const DRIVER_INFO_3W*>(block)->pDependentFiles;
    if (!file)
        return files;
    // Within a block of known size the list is read only inside it; a list
    // that points outside or runs past its end is not read at all.
    const wchar_t* end = file + kMaxDependentFileChars;
    if (blockSize) {
        end = reinterpret_cast<const wchar_t*>(block + (blockSize & ~static_cast<SIZE_T>(1)));
        if (reinterpret_cast<const BYTE*>(file) < block || file >= end)
            return files;
    }
    while (file < end && *file) {
        const size_t length = wcsnlen(file, static_cast<size_t>(end - file));
        if (length == static_cast<size_t>(end - file))
            break;
        files.emplace_back(file, length);
        file += length + 1;
    }
    return files;
}

DWORD getLastJobId(HANDLE printer, const wchar_t* printerName, DWORD* jobId)
{
    ScopedPrinter opened;
    if (!printer) {
        HANDLE handle = nullptr;
        // OpenPrinterW may write the handle even when it fails; trust it only on success.
        if (!printerName || !*printerName || !OpenPrinterW(const_cast<wchar_t*>(printerName), &handle, nullptr))
            return 0;
        opened.reset(handle);
        printer = handle;
    }
    DWORD count = 0;
    GlobalBlock<BYTE> block(enumJobsAlloc(printer, 3, &count));
    if (!block || count == 0)
        return 0;
    if (jobId)
        *jobId = reinterpret_cast<const JOB_INFO_3*>(block.get())[count - 1].JobId;
    return count;
}

bool openPrinterWithAccess(const std::wstring& printerName, HANDLE* printer, ACCESS_MASK access)
{
    if (printerName.empty() || !printer)
        return false;
    PRINTER_DEFAULTSW defaults{nullptr, nullptr, access};
    return OpenPrinterW(const_cast<wchar_t*>(printerName.c_str()), printer, &defaults) != FALSE;
}

bool setDefaultDevMode(HANDLE printer, const wchar_t* deviceName)
{
    std::wstring name = deviceName ? deviceName : L"";
    LPWSTR device = deviceName ? name.data() : nullptr;
    const LONG size = DocumentPropertiesW(nullptr, printer, device, nullptr, nullptr, 0);
    // A driver's answer: at least the fixed part, and within reason; anything else is an error or a fault.
    if (size < kMinDevModeSize || size > kMaxDevModeSize)
        return false;
    GlobalBlock<DEVMODEW> mode(static_cast<DEVMODEW*>(GlobalAlloc(GPTR, static_cast<SIZE_T>(size))));
    // Whatever the driver writes back must still fit the buffer before it is read again by size.
    const auto fits = [&mode, size] {
        return mode->dmSize >= kMinDevModeSize && LONG{mode->dmSize} + mode->dmDriverExtra <= size;
    };
    if (!mode || DocumentPropertiesW(nullptr, printer, device, mode.get(), nullptr, DM_OUT_BUFFER) <= 0 || !fits())
        return false;
    // The prompt may be refused; the driver's own mode then stands.
    DocumentPropertiesW(nullptr, printer, device, mode.get(), mode.get(), DM_IN_BUFFER | DM_IN_PROMPT | DM_OUT_BUFFER);
    if (!fits())
        return false;
    PRINTER_INFO_8W info = {mode.get()};
    return SetPrinterW(printer, 8, reinterpret_cast<BYTE*>(&info), 0) != FALSE;
}
