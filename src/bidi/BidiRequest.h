// One question to a printing device and its answer: an OID text in SNMP
// dotted-decimal form and the typed value a connection stores into it.
// Callers allocate arrays of requests; a connection rewrites `oid` during
// get-next (the next OID, or "Invalid" when none follows).
#pragma once

#include "core/Win32.h"

#include <string>
#include <vector>

namespace MPrint {

enum BidiStatus : DWORD { BidiNoValue = 0, BidiHasValue = 1, BidiEmptyOrUnconvertible = 2 };
enum BidiType : DWORD { BidiText = 0, BidiInteger = 1, BidiBinary = 2, BidiNone = 3 };

constexpr char kInvalidOID[] = "Invalid";

struct BidiValue {
    DWORD status = BidiNoValue;
    DWORD type = BidiNone;
    std::string text;          // UTF-8 for type text; the bytes for type binary
    LONG integer = -1;
    std::vector<BYTE> binary;  // no terminator
    DWORD binaryLength = 0;
    DWORD count = 0;           // children of the device-data node that answered last
};

struct BidiRequest {
    explicit BidiRequest(const char* oidText = nullptr) : oid(oidText ? oidText : "") {}

    std::string oid;
    BidiValue value;
    DWORD textConversion = 0;  // 0: bytes as received; others belong to the COM-server connection
};

// status 0, type none, integer -1, count 0, no text, no bytes.
bool resetBidiValue(BidiRequest* request);
// UTF-8 of the text (type text); an empty or unconvertible text fails with status 2.
bool setBidiValueString(BidiRequest* request, const std::wstring& text);
// A decimal long as wcstol reads it (white space and sign, digits up to the
// first other character, none gives 0); out of range fails with status 0.
bool setBidiValueInteger(BidiRequest* request, const std::wstring& text);
// The text in the ANSI code page, as bytes and as text.
bool setBidiValueBinary(BidiRequest* request, const std::wstring& text);
// 0 string, 1 integer, 2 binary; any other type fails.
bool setBidiValueByType(BidiRequest* request, const std::wstring& text, DWORD type);
// Replaces the OID only with a non-empty text.
bool setRequestOID(BidiRequest* request, const std::string& oid);

} // namespace MPrint
