// The Waypost service's job events with the maker's port monitor
// ("WaypostPrintEvent"): the start of a job with its destination, the query
// that turns the monitor's job information and the job's settings into the
// WaypostJobInfo block handed to the monitor's components, and the end of a
// job. The monitor's reply comes from another process: every offset in it is
// checked against the size that was allocated before it is read.
#pragma once

#include "core/Win32.h"

#include <string>
#include <vector>

namespace LumoraUI {

inline constexpr ULONGLONG kWaypostJobStart = 1;
inline constexpr ULONGLONG kWaypostQuery = 2;
inline constexpr ULONGLONG kWaypostFinished = 3;

// The 96-byte request of a query or a finish.
std::vector<BYTE> waypostRequest(ULONGLONG event, DWORD jobId);
// The job-start record: 96 bytes of header, then the destination name.
std::vector<BYTE> waypostJobStartRecord(DWORD jobId, bool duplex, short copies, const std::wstring& destination);

struct WaypostReply {
    ULONGLONG jobId = 0;
    ULONGLONG values[4] = {};
    bool present[3] = {};
    std::wstring strings[3];
};
// The size a reply must have to hold its fixed fields (through the u64 at 72)
// and the most a job's reply is allowed to ask for.
inline constexpr DWORD kWaypostReplyMin = 88;
inline constexpr DWORD kWaypostReplyMax = 64 * 1024;
// False when the reply is shorter than its fixed part or a string offset
// lies outside it, is odd, or its text has no terminator inside it.
bool parseWaypostReply(const BYTE* reply, DWORD size, WaypostReply& parsed);

// The job's settings that the block carries, empty when not set.
struct WaypostTexts {
    std::wstring accountingUser, accountingUrl, accountingModule, accountingApi;
    std::wstring deliveryUrl, deliveryModule, deliveryApi;
    std::wstring completionUrl, completionModule, completionApi, completionProgram;
};
// The WaypostJobInfo block (magic 0xE49F4EF9, version 0x10000).
std::vector<BYTE> waypostJobInfoBlock(const WaypostReply& reply, const WaypostTexts& texts);

// One "WaypostPrintEvent" exchange with the maker's monitor: true when the
// call went through, with the monitor's status and the size it needed.
bool sendWaypostEvent(const std::vector<BYTE>& input, BYTE* output, DWORD outputSize, DWORD& status, DWORD& needed);

// The job's copies and duplex choice from its device mode (level 2); one copy
// and simplex when the job or its device mode cannot be read.
void readJobCopiesAndDuplex(HANDLE printer, DWORD jobId, short& copies, bool& duplex);

// The two-step query: the monitor's reply for the job, or false.
bool queryWaypostJob(DWORD jobId, WaypostReply& reply);

} // namespace LumoraUI
