#include "extension/JobAccounting.h"

#include "core/LittleEndianBytes.h"
#include "core/ScopedHandle.h"
#include "extension/JobAccountingSettings.h"
#include "extension/JobInfoRecord.h"

#include <cstddef>
#include <cstring>

namespace LumoraUI {

namespace {

constexpr DWORD kBlockMagic = 0xF32AA23F;
constexpr DWORD kBlockVersion = 0x10000;
constexpr DWORD kBlockStrings = 56;
constexpr DWORD kReplyFixedPart = 64;
// A job's accounting texts take a few kilobytes; a larger size the monitor asks for is refused, not allocated.
constexpr DWORD kMaxReply = 64 * 1024;

// A string of the block: counted always (when present), written when not empty.
struct BlockText {
    DWORD offsetField;
    bool present;
    const std::wstring* text;
};

std::wstring policyText(HANDLE printer, const wchar_t* name, bool& found)
{
    std::wstring value;
    found = JobAccountingSettings::printerOrPolicyString(printer, name, value);
    return value;
}

} // namespace

bool parseAccountingReply(const BYTE* reply, DWORD size, AccountingReply& parsed)
{
    if (!reply || size < kReplyFixedPart)
        return false;
    AccountingReply result;
    result.values[0] = lebytes::u32(reply, 44);
    result.values[1] = lebytes::u32(reply, 8);
    result.values[2] = lebytes::u32(reply, 28);
    const DWORD infoOffset = lebytes::u32(reply, 48);
    if (infoOffset > size || size - infoOffset < sizeof(JOB_INFO_1W))
        return false;
    JOB_INFO_1W info;
    std::memcpy(&info, reply + infoOffset, sizeof(info));
    result.jobId = info.JobId;
    result.pages = info.PagesPrinted ? info.PagesPrinted : info.TotalPages;
    // The embedded record's strings are offsets from the record.
    auto member = [&](LPWSTR field, bool& present, std::wstring& text) {
        const ULONGLONG relative = reinterpret_cast<ULONG_PTR>(field);
        present = relative != 0;
        return !present || lebytes::text(reply, size, infoOffset + relative, text);
    };
    bool jobHasPrinter = false;
    if (!member(info.pDocument, result.hasDocument, result.document) ||
        !member(info.pPrinterName, jobHasPrinter, result.jobPrinter))
        return false;
    ULONGLONG own = 0;
    std::memcpy(&own, reply + 56, sizeof(own));
    if (own != 0) {
        if (!lebytes::text(reply, size, own, result.printer))
            return false;
        result.hasPrinter = true;
    } else {
        result.hasPrinter = jobHasPrinter;
        result.printer = result.jobPrinter;
    }
    parsed = std::move(result);
    return true;
}

std::vector<BYTE> accountingBlock(const AccountingReply& reply, const AccountingTexts& texts)
{
    const BlockText strings[] = {
        {32, reply.hasDocument, &reply.document}, {36, reply.hasPrinter, &reply.printer},
        {40, true, &texts.user},                  {44, true, &texts.url},
        {48, true, &texts.module},                {52, true, &texts.api},
    };
    size_t size = 60;
    for (const BlockText& text : strings)
        if (text.present)
            size += (text.text->size() + 1) * sizeof(wchar_t);
    std::vector<BYTE> block(size, 0);
    lebytes::putU32(block, 0, kBlockMagic);
    lebytes::putU32(block, 4, kBlockVersion);
    lebytes::putU32(block, 8, reply.jobId);
    lebytes::putU32(block, 12, reply.values[0]);
    lebytes::putU32(block, 16, reply.values[1]);
    lebytes::putU32(block, 20, reply.values[2]);
    lebytes::putU32(block, 24, reply.pages);
    lebytes::putU32(block, 28, 0xFFFFFFFF);
    DWORD at = kBlockStrings;
    for (const BlockText& text : strings) {
        if (!text.present || text.text->empty())
            continue;
        const DWORD bytes = static_cast<DWORD>((text.text->size() + 1) * sizeof(wchar_t));
        lebytes::putU32(block, text.offsetField, at);
        std::memcpy(block.data() + at, text.text->c_str(), bytes);
        at += bytes;
    }
    return block;
}

bool getJobAccountingInfo(DWORD jobId, const char* printerName, void** block)
{
    if (!block || *block) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    JobInfoRecord request(JobInfoRecord::kAccountingRequest);
    request.setU32(8, jobId);
    DWORD needed = 0;
    if (request.send(nullptr, &needed) != ERROR_INSUFFICIENT_BUFFER || needed < kReplyFixedPart ||
        needed > kMaxReply)
        return false;
    std::vector<BYTE> reply(needed, 0);
    DWORD size = needed;
    if (request.send(reply.data(), &size) != ERROR_SUCCESS || size > reply.size())
        return false;
    AccountingReply parsed;
    if (!parseAccountingReply(reply.data(), size, parsed))
        return false;

    HANDLE opened = nullptr;
    if (!printerName || !OpenPrinterA(const_cast<char*>(printerName), &opened, nullptr))
        opened = nullptr;
    ScopedPrinter printer(opened);
    SetEnvironmentVariableW(L"LocalPrinterName", parsed.jobPrinter.c_str());

    AccountingTexts texts;
    bool found = false;
    texts.url = policyText(printer.get(), L"JobAccountingURL", found);
    if (!found) {
        texts.module = policyText(printer.get(), L"JobAccountingModule", found);
        if (!found)
            return false;
    }
    texts.api = policyText(printer.get(), L"JobAccountingAPIName", found);
    texts.user = policyText(printer.get(), L"Userid", found);
    if (!found) {
        wchar_t user[128] = {};
        DWORD length = 128;
        texts.user = GetUserNameW(user, &length) ? user : L"unknown";
    }
    const std::vector<BYTE> bytes = accountingBlock(parsed, texts);
    void* out = GlobalAlloc(GPTR, bytes.size());
    if (!out)
        return false;
    std::memcpy(out, bytes.data(), bytes.size());
    *block = out;
    return true;
}

bool finishedJobAccounting(DWORD jobId)
{
    JobInfoRecord record(JobInfoRecord::kAccountingFinished);
    record.setU32(8, jobId);
    return record.send(nullptr, nullptr) == ERROR_SUCCESS;
}

bool setJobAttributes(const DEVMODEW* mode, DWORD level, const void* attributes)
{
    if (!attributes)
        return false;
    // ATTRIBUTE_INFO_1, _2 and _3 by level.
    static const DWORD kSizes[] = {0, 28, 32, 36};
    JobInfoRecord record(JobInfoRecord::kAttributes);
    record.setU32(36, level);
    if (level >= 1 && level <= 3)
        record.setBytes(40, attributes, kSizes[level]);
    // A device mode too short to hold dmDuplex says nothing about it.
    if (mode && mode->dmSize >= offsetof(DEVMODEW, dmDuplex) + sizeof(mode->dmDuplex) &&
        mode->dmDuplex != DMDUP_SIMPLEX)
        record.setU32(16, 1);
    return record.send(nullptr, nullptr) == ERROR_SUCCESS;
}

} // namespace LumoraUI
