#include "shared/SpoolerQueries.h"

namespace {

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

} // namespace

bool getPrinterAlloc(HANDLE printer, DWORD level, BYTE** info)
{
    return queryIntoBlock(info, [&](BYTE* buffer, DWORD size, DWORD* needed) {
        return GetPrinterW(printer, level, buffer, size, needed);
    });
}

bool getPrinterDriverAlloc(HANDLE printer, DWORD level, BYTE** info)
{
    return queryIntoBlock(info, [&](BYTE* buffer, DWORD size, DWORD* needed) {
        return GetPrinterDriverW(printer, nullptr, level, buffer, size, needed);
    });
}

BYTE* enumJobsAlloc(HANDLE printer, DWORD level, DWORD* count)
{
    if (!printer || !count)
        return nullptr;
    DWORD needed = 0;
    DWORD returned = 0;
    // An empty queue answers the size query with success: no block.
    if (EnumJobsW(printer, 0, 0xFFFFFFFF, level, nullptr, 0, &needed, &returned) ||
        GetLastError() != ERROR_INSUFFICIENT_BUFFER)
        return nullptr;
    // Room for a job or two that arrive between the calls.
    const DWORD size = needed + 1024;
    if (size < needed)
        return nullptr;
    BYTE* block = static_cast<BYTE*>(GlobalAlloc(GPTR, size));
    if (!block)
        return nullptr;
    *count = 0;
    if (!EnumJobsW(printer, 0, 0xFFFFFFFF, level, block, size, &needed, &returned)) {
        const DWORD error = GetLastError();
        GlobalFree(block);
        SetLastError(error);
        return nullptr;
    }
    *count = returned;
    return block;
}

DWORD getLastJobId(HANDLE printer, const wchar_t* printerName, DWORD* jobId)
{
    HANDLE opened = nullptr;
    if (!printer) {
        if (!printerName || !*printerName ||
            !OpenPrinterW(const_cast<wchar_t*>(printerName), &opened, nullptr))
            return 0;
        printer = opened;
    }
    DWORD count = 0;
    BYTE* block = enumJobsAlloc(printer, 3, &count);
    DWORD result = 0;
    if (block) {
        if (count > 0) {
            result = count;
            if (jobId)
                *jobId = reinterpret_cast<const JOB_INFO_3*>(block)[count - 1].JobId;
        }
        GlobalFree(block);
    }
    if (opened)
        ClosePrinter(opened);
    return result;
}

bool openPrinterWithAccess(const std::wstring& printerName, HANDLE* printer, ACCESS_MASK access)
{
    if (printerName.empty() || !printer)
        return false;
    PRINTER_DEFAULTSW defaults{nullptr, nullptr, access};
    return OpenPrinterW(const_cast<wchar_t*>(printerName.c_str()), printer, &defaults) != FALSE;
}
