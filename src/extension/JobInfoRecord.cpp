#include "extension/JobInfoRecord.h"

#include "destination/MonitorChannel.h"

#include <cstring>

JobInfoRecord::JobInfoRecord(Kind kind) : bytes_(kBaseSize, 0)
{
    setU32(0, kBaseSize);
    setU32(4, kind);
}

JobInfoRecord JobInfoRecord::startOfDocument(DWORD jobId, DWORD processId, bool delivery,
                                             const std::wstring* printerName, const std::wstring& destination)
{
    JobInfoRecord record(kStartOfDocument);
    const DWORD printerBytes = printerName ? static_cast<DWORD>((printerName->size() + 1) * sizeof(wchar_t)) : 0;
    const DWORD destinationBytes = static_cast<DWORD>((destination.size() + 1) * sizeof(wchar_t));
    const DWORD size = kBaseSize + printerBytes + destinationBytes;
    record.bytes_.assign(size, 0);
    record.setU32(0, size);
    record.setU32(8, jobId);
    record.setU32(12, processId);
    record.setU32(delivery ? 20 : 24, 1);
    DWORD at = kStringsOffset;
    if (printerName) {
        record.setU32(76, at);
        record.setBytes(at, printerName->c_str(), printerBytes);
        at += printerBytes;
    }
    record.setU32(80, at);
    record.setBytes(at, destination.c_str(), destinationBytes);
    return record;
}

void JobInfoRecord::setU32(DWORD offset, DWORD value)
{
    setBytes(offset, &value, sizeof(value));
}

DWORD JobInfoRecord::u32(DWORD offset) const
{
    DWORD value = 0;
    if (offset <= bytes_.size() && bytes_.size() - offset >= sizeof(value))
        std::memcpy(&value, bytes_.data() + offset, sizeof(value));
    return value;
}

bool JobInfoRecord::setBytes(DWORD offset, const void* data, DWORD size)
{
    if (offset > bytes_.size() || bytes_.size() - offset < size)
        return false;
    if (size)
        std::memcpy(bytes_.data() + offset, data, size);
    return true;
}

void JobInfoRecord::setHandles(HANDLE printer, HDC deviceContext)
{
    setU32(28, static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(printer)));
    setU32(32, static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(deviceContext)));
}

std::vector<BYTE> JobInfoRecord::message() const
{
    std::vector<BYTE> message(96 + bytes_.size(), 0);
    const DWORD size = static_cast<DWORD>(message.size());
    const DWORD type = 7;
    std::memcpy(message.data(), &size, 4);
    std::memcpy(message.data() + 4, &type, 4);
    std::memcpy(message.data() + 8, bytes_.data(), bytes_.size());
    return message;
}

DWORD JobInfoRecord::send(BYTE* reply, DWORD* replySize) const
{
    MonitorChannel channel(kKeravinMonitorName);
    if (!channel.openMonitor())
        return ERROR_INVALID_PARAMETER;
    const std::vector<BYTE> data = message();
    const DWORD capacity = reply && replySize ? *replySize : 0;
    DWORD needed = 0;
    const bool through = channel.xcvData(L"JobInfoData", data.data(), static_cast<DWORD>(data.size()),
                                         capacity ? reply : nullptr, capacity, &needed);
    const DWORD status = channel.getStatus();
    channel.close();
    if (!through)
        return ERROR_INVALID_PARAMETER;
    if (replySize)
        *replySize = needed;
    return status;
}
