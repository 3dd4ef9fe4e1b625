#include "extension/WaypostJobEvents.h"

#include "core/LittleEndianBytes.h"
#include "core/ScopedHandle.h"
#include "destination/MonitorChannel.h"
#include "shared/SpoolerQueries.h"

#include <cstddef>

namespace LumoraUI {

namespace {

constexpr DWORD kRecordHeader = 96;
constexpr DWORD kRecordType = 6;
constexpr DWORD kBlockMagic = 0xE49F4EF9;
constexpr DWORD kBlockVersion = 0x00010000;
constexpr DWORD kBlockStrings = 88;
constexpr DWORD kBlockFixedSize = 92;

std::vector<BYTE> recordHeader(DWORD size, ULONGLONG event, DWORD jobId)
{
    std::vector<BYTE> record(kRecordHeader, 0);
    lebytes::putU32(record, 0, size);
    lebytes::putU32(record, 4, kRecordType);
    lebytes::putU64(record, 8, event);
    lebytes::putU64(record, 16, jobId);
    return record;
}

} // namespace

std::vector<BYTE> waypostRequest(ULONGLONG event, DWORD jobId)
{
    return recordHeader(kRecordHeader, event, jobId);
}

std::vector<BYTE> waypostJobStartRecord(DWORD jobId, bool duplex, short copies, const std::wstring& destination)
{
    const DWORD size = static_cast<DWORD>(kRecordHeader + (destination.size() + 1) * sizeof(wchar_t));
    std::vector<BYTE> record = recordHeader(size, kWaypostJobStart, jobId);
    lebytes::putU64(record, 24, duplex ? 1 : 0);
    lebytes::putU64(record, 32, 1);
    lebytes::putU64(record, 40, static_cast<ULONGLONG>(static_cast<LONGLONG>(copies)));
    lebytes::putU64(record, 64, kRecordHeader);
    lebytes::appendText(record, destination);
    return record;
}

bool parseWaypostReply(const BYTE* reply, DWORD size, WaypostReply& parsed)
{
    if (!reply || size < kWaypostReplyMin)
        return false;
    WaypostReply result;
    result.jobId = lebytes::u64(reply, 8);
    for (DWORD i = 0; i < 4; ++i)
        result.values[i] = lebytes::u64(reply, 16 + i * 8);
    for (DWORD i = 0; i < 3; ++i) {
        const ULONGLONG offset = lebytes::u64(reply, 48 + i * 8);
        result.present[i] = offset != 0;
        if (result.present[i] && !lebytes::text(reply, size, offset, result.strings[i]))
            return false;
    }
    parsed = std::move(result);
    return true;
}

std::vector<BYTE> waypostJobInfoBlock(const WaypostReply& reply, const WaypostTexts& texts)
{
    struct Text {
        DWORD offsetField;
        bool present;
        const std::wstring* text;
    };
    // In the order they are laid out, which is not the order of the offsets.
    const Text strings[] = {
        {28, reply.present[0], &reply.strings[0]},
        {32, reply.present[1], &reply.strings[1]},
        {36, reply.present[2], &reply.strings[2]},
        {40, !texts.accountingUser.empty(), &texts.accountingUser},
        {48, !texts.accountingModule.empty(), &texts.accountingModule},
        {52, !texts.accountingApi.empty(), &texts.accountingApi},
        {44, !texts.accountingUrl.empty(), &texts.accountingUrl},
        {60, !texts.deliveryModule.empty(), &texts.deliveryModule},
        {64, !texts.deliveryApi.empty(), &texts.deliveryApi},
        {56, !texts.deliveryUrl.empty(), &texts.deliveryUrl},
        {68, !texts.completionUrl.empty(), &texts.completionUrl},
        {72, !texts.completionModule.empty(), &texts.completionModule},
        {76, !texts.completionApi.empty(), &texts.completionApi},
        {80, !texts.completionProgram.empty(), &texts.completionProgram},
    };
    size_t size = kBlockFixedSize;
    for (const Text& text : strings)
        if (text.present)
            size += (text.text->size() + 1) * sizeof(wchar_t);
    std::vector<BYTE> block(size, 0);
    lebytes::putU32(block, 0, kBlockMagic);
    lebytes::putU32(block, 4, kBlockVersion);
    lebytes::putU32(block, 8, static_cast<DWORD>(reply.jobId));
    for (DWORD i = 0; i < 4; ++i)
        lebytes::putU32(block, 12 + i * 4, static_cast<DWORD>(reply.values[i]));
    size_t at = kBlockStrings;
    for (const Text& text : strings) {
        if (!text.present)
            continue;
        const size_t bytes = (text.text->size() + 1) * sizeof(wchar_t);
        lebytes::putU32(block, text.offsetField, static_cast<DWORD>(at));
        std::memcpy(block.data() + at, text.text->c_str(), bytes);
        at += bytes;
    }
    return block;
}

bool sendWaypostEvent(const std::vector<BYTE>& input, BYTE* output, DWORD outputSize, DWORD& status, DWORD& needed)
{
    MonitorChannel channel(kKeravinMonitorName);
    if (!channel.openMonitor())
        return false;
    needed = 0;
    const bool through = channel.xcvData(L"WaypostPrintEvent", input.data(), static_cast<DWORD>(input.size()),
                                         outputSize ? output : nullptr, output ? outputSize : 0, &needed);
    status = channel.getStatus();
    channel.close();
    return through;
}

void readJobCopiesAndDuplex(HANDLE printer, DWORD jobId, short& copies, bool& duplex)
{
    copies = 1;
    duplex = false;
    GlobalBlock<BYTE> info;
    if (!printer || !getJobAlloc(printer, jobId, 2, info.receive()))
        return;
    const DEVMODEW* mode = reinterpret_cast<const JOB_INFO_2W*>(info.get())->pDevMode;
    if (!mode)
        return;
    // Fields past a short device mode's size say nothing.
    if (mode->dmSize >= offsetof(DEVMODEW, dmCopies) + sizeof(mode->dmCopies))
        copies = mode->dmCopies;
    if (mode->dmSize >= offsetof(DEVMODEW, dmDuplex) + sizeof(mode->dmDuplex))
        duplex = mode->dmDuplex != DMDUP_SIMPLEX;
}

bool queryWaypostJob(DWORD jobId, WaypostReply& reply)
{
    const std::vector<BYTE> request = waypostRequest(kWaypostQuery, jobId);
    DWORD status = 0;
    DWORD needed = 0;
    if (!sendWaypostEvent(request, nullptr, 0, status, needed) || status != ERROR_INSUFFICIENT_BUFFER ||
        needed < kWaypostReplyMin || needed > kWaypostReplyMax)
        return false;
    std::vector<BYTE> bytes(needed, 0);
    lebytes::putU64(bytes, 0, kWaypostQuery);
    lebytes::putU64(bytes, 8, jobId);
    lebytes::putU64(bytes, 72, needed - 88);
    DWORD returned = 0;
    if (!sendWaypostEvent(request, bytes.data(), needed, status, returned) || status != ERROR_SUCCESS)
        return false;
    // Only what was allocated is read, whatever size the monitor claims.
    return parseWaypostReply(bytes.data(), needed, reply);
}

} // namespace LumoraUI
