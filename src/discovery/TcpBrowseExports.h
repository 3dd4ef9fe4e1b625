// The exports of the maker's TCP/IP browse module (vrelm103.dll), declared
// once for the TCP/IP discovery service and the stand-in. StartDiscovery
// blocks until its time-out or StopDiscovery; meanwhile it calls the
// callback on a thread of its own: event 2 hands over the handle that
// StopDiscovery takes, event 1 one printer record, valid during the call.
#pragma once

#include "core/Win32.h"

#include <cstdint>

namespace tcpbrowse {

inline constexpr wchar_t kModuleName[] = L"vrelm103.DLL";

inline constexpr int kEventPrinter = 1;
inline constexpr int kEventSearchHandle = 2;

inline constexpr uint32_t kRecordTag = 0x08C91901;
// A record of this size carries the two optional texts.
inline constexpr uint32_t kRecordSizeWithTexts = 80;

// Narrow texts, NUL-terminated; any may be null.
struct PrinterRecord {
    uint32_t tag;
    uint32_t size;
    void* reserved8;
    const char* instanceName;
    void* reserved24;
    const char* ipv4Address;
    const char* model;
    const char* domain;
    const char* serviceType;
    const char* comment;  // shown with label 89
    const char* location; // shown with label 149
};
static_assert(sizeof(PrinterRecord) == 80 && offsetof(PrinterRecord, instanceName) == 16 &&
                  offsetof(PrinterRecord, ipv4Address) == 32 && offsetof(PrinterRecord, comment) == 64 &&
                  offsetof(PrinterRecord, location) == 72,
              "the module's record layout");

using Callback = void(WINAPI*)(void* argument, void* context, int event);
using StartDiscoveryFn = int(WINAPI*)(Callback callback, void* context, uint32_t timeoutMs, const char* type,
                                      const char* domain, const char* instanceName);
// Non-zero when the handle named a running search.
using StopDiscoveryFn = int(WINAPI*)(void* searchHandle);

} // namespace tcpbrowse
