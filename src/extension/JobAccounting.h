// Job accounting between the maker's print monitor and this module: the
// accounting block of a finished job built from the monitor's reply and the
// accounting settings, the end of accounting, and a document's attributes.
// The reply comes from another process: every offset in it is checked
// against its size before it is read.
#pragma once

#include "core/Win32.h"

#include <string>
#include <vector>

namespace LumoraUI {

// What the module reads from the monitor's reply to an accounting request.
struct AccountingReply {
    DWORD values[3] = {}; // the reply's u32 at 44, 8 and 28, in block order
    DWORD jobId = 0;
    DWORD pages = 0; // PagesPrinted, else TotalPages
    bool hasDocument = false;
    std::wstring document;
    bool hasPrinter = false;
    std::wstring printer;    // the reply's own name, else the job's
    std::wstring jobPrinter; // the job's printer name
};

// False when the reply is shorter than its fixed part, or an offset, a
// string or the embedded job record lies outside the reply or a string has
// no terminator within it.
bool parseAccountingReply(const BYTE* reply, DWORD size, AccountingReply& parsed);

struct AccountingTexts {
    std::wstring user, url, module, api;
};
// The block the accounting exports hand out (magic 0xF32AA23F, version 0x10000).
std::vector<BYTE> accountingBlock(const AccountingReply& reply, const AccountingTexts& texts);

// The accounting block of a job in a new GPTR block (the caller frees it).
// *block must be null on entry (else last error 87); false without an
// accounting URL or module, or when the monitor gives no usable reply.
bool getJobAccountingInfo(DWORD jobId, const char* printerName, void** block);
// The monitor forgets the job's accounting; true when it did.
bool finishedJobAccounting(DWORD jobId);
// Sends the document's attributes (levels 1 to 3 copied; others send the
// level only) with the device mode's duplex choice; true when the monitor took them.
bool setJobAttributes(const DEVMODEW* mode, DWORD level, const void* attributes);

} // namespace LumoraUI
