// LEDM over HTTP: the probe that tells whether a host speaks LEDM, and the
// fetch of one LEDM resource ("DevMgmt/<Name>.xml" on port 8080) into a
// device ticket's tree table. Every session lives for one probe or fetch.
//
// Device answers are untrusted: only a 200 answer with a body whose first
// byte is not NUL counts, and a body over kMaxBodyBytes fails whatever its
// framing (chunked or not). Failures are false; the WinHTTP error is dropped.
#pragma once

#include "tickets/LEDMTreeTable.h"

#include <string>

namespace MPrint {

constexpr DWORD kLedmPort = 8080;
constexpr size_t kLedmMaxBodyBytes = 409601;

// True when the host is a numeric IP address (host names never probe) and
// answers GET DevMgmt/DiscoveryTree.xml with a body.
bool ledmProbeDiscoveryTree(const wchar_t* host);

// The resource named by the XPath's first step (the text between its first
// ':' and the next '/') for the table row named treeName; rows with the keep
// flag are fetched once and answered from their copy after that. *out
// receives a new zero-terminated global block (free with globalFreeBuffer).
bool ledmFetchResource(LEDMTreeTable* table, const wchar_t* host, const std::wstring& xpath,
                       const std::wstring& treeName, HGLOBAL* out);

// GlobalFree; always true.
bool globalFreeBuffer(HGLOBAL buffer);

} // namespace MPrint
