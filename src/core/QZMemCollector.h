// The memory tracker behind the module's global operator new and delete.
// Off unless HKLM "SOFTWARE\Tarvokin\QZProfiler" holds a non-zero
// "TrackMemoryAllocation" (2 page-guarded blocks, 3 heap blocks with guard
// bytes, 4 C-runtime blocks with guard bytes, other non-zero heap blocks
// without guards); the choice is made on the first allocation and holds for
// the process unless forgetHooks() clears it. With a non-zero
// "AppendRQNSymbolServerPath" the report's symbol lookups also ask the
// maker's symbol server. Tracked blocks carry a 504-byte header, sit in one
// list, are checked at their free, and whatever is left at unload is
// reported to the debugger output and two log files (".mlk" raw headers,
// ".mlk.log" text).
// The tracker never allocates through the operators it serves.
#pragma once

#include "core/Win32.h"

#include <cstddef>
#include <cstdint>

// The block header, byte for byte as the ".mlk" file holds it.
struct QZMemHeader {
    uint8_t signature;  // 0xAA
    uint8_t unset1[7];
    QZMemHeader* previous;
    QZMemHeader* next;
    uint32_t id;
    uint32_t unset2;
    uint64_t size;
    uint32_t arrayFlag;  // 1 from operator new[]
    uint32_t unset3;
    void* caller;
    uint64_t unset4;
    uint8_t released;  // freed after the report at unload
    uint8_t unset5[7];
    void* data;
    void* allocation;
    uint32_t kind;  // QZMemCollector::Kind
    uint8_t underrun;
    uint8_t overrun;
    uint8_t unset6[2];
    uint64_t trailingGuardLength;
    uint8_t* trailingGuard;
    uint64_t leadingGuardLength;
    uint8_t leadingGuard[384];
};
static_assert(sizeof(QZMemHeader) == 504);
static_assert(offsetof(QZMemHeader, id) == 24 && offsetof(QZMemHeader, caller) == 48);
static_assert(offsetof(QZMemHeader, released) == 64 && offsetof(QZMemHeader, kind) == 88);
static_assert(offsetof(QZMemHeader, overrun) == 93 && offsetof(QZMemHeader, leadingGuard) == 120);

class QZMemCollector {
public:
    enum Kind : uint32_t { kProcessHeap = 0, kRuntimeHeap = 1, kVirtualAlloc = 2 };
    enum Record { kLeak = 0, kAccessViolation = 1, kInUse = 2 };
    static constexpr size_t kHeaderSize = sizeof(QZMemHeader);
    static constexpr size_t kGuardSize = 384;
    static constexpr uint8_t kGuardByte = 0xD0;
    static constexpr DWORD kModeUnread = 0xFFFFFFFF;

    // Prepares tracking and becomes the live collector; the destructor writes
    // the report (when tracking is on) and ends tracking's bookkeeping.
    QZMemCollector();
    virtual ~QZMemCollector();
    QZMemCollector(const QZMemCollector&) = delete;
    QZMemCollector& operator=(const QZMemCollector&) = delete;

    // The operators' entries: the hooks chosen on first use. allocate
    // answers null on failure (the operators decide whether to throw).
    static void* allocate(size_t size, bool array, void* caller);
    static void release(void* data, bool array);
    static size_t blockSize(void* data);

    // The tracked forms, whatever the hooks: a block is made in the current
    // mode and judged at its free by its own. A pointer that is no tracked
    // block is left alone.
    static void* trackedAllocate(size_t size, bool array, void* caller, uint32_t* id = nullptr);
    static void trackedFree(void* data, bool array);

    // The next allocation, free or size query chooses its hook again from
    // the mode (setMode, or the machine setting while it is unread). Blocks
    // tracked before still go back through the tracker, and blocks of the
    // plain hooks to the C runtime. Only while no other thread allocates.
    static void forgetHooks();
    static void setBreakId(uint32_t id);
    // Clears the fail size; modes 1 and 3 take the process heap.
    static void setMode(DWORD mode);
    static void setFailSize(uint64_t size);
    static DWORD getMode();
    static bool isPageGuardMode();
    static uint32_t getAllocationCount();
    // True for 0 and for ids no longer in the list.
    static bool isReleased(uint32_t id);
    static bool hasUnderrun(void* data);
    static bool hasOverrun(void* data);
    static bool isDamaged(void* data);
    static const uint8_t* guardPattern();
    // The block's header, or null when the pointer is no tracked block.
    static QZMemHeader* headerOf(void* data);
    // Zeroed C-runtime memory of 1 to 0x7FFDEF00 bytes.
    static void* zeroedAlloc(size_t size);

    // Every live block to the debugger output as "MemoryInUse" lines.
    static void reportLiveAllocations();
};
