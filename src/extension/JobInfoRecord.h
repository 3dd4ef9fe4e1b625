// The job-info record the module reports a job's progress with, and its
// "JobInfoData" message to the maker's port monitor. Little-endian, every
// field 32 bits; fields a kind does not name stay zero.
#pragma once

#include "core/Win32.h"

#include <string>
#include <vector>

class JobInfoRecord {
public:
    static constexpr DWORD kBaseSize = 88;
    static constexpr DWORD kStringsOffset = 84;
    enum Kind : DWORD {
        kStartOfDocument = 0,
        kDeviceContext = 1,
        kAttributes = 2,
        kEndOfDocument = 4,
        kAccountingRequest = 5,
        kAccountingFinished = 6,
    };

    // A zeroed record of the base size with its size and kind.
    explicit JobInfoRecord(Kind kind);
    // The start-of-document record: the strings from offset 84, printer name
    // first (null: absent, offset 0), sized 88 plus the strings as the
    // monitor expects (its last four bytes stay zero).
    static JobInfoRecord startOfDocument(DWORD jobId, DWORD processId, bool delivery, const std::wstring* printerName,
                                         const std::wstring& destination);

    void setU32(DWORD offset, DWORD value);
    DWORD u32(DWORD offset) const;
    // Copies bytes into the record at the offset; false when they do not fit.
    bool setBytes(DWORD offset, const void* data, DWORD size);
    // Device-context and printer handles at 28 and 32 (their low 32 bits).
    void setHandles(HANDLE printer, HDC deviceContext);
    const std::vector<BYTE>& bytes() const { return bytes_; }

    // The message: its size (96 + record), type 7, the record from offset 8.
    std::vector<BYTE> message() const;
    // Sends the message as "JobInfoData". The monitor's status when the call
    // went through, with *replySize (when given) set to the bytes it needed
    // or returned; 87 when the monitor cannot be reached. The reply buffer
    // is used only with a size, which gives its capacity.
    DWORD send(BYTE* reply, DWORD* replySize) const;

private:
    std::vector<BYTE> bytes_;
};
