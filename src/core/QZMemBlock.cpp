#include "core/QZMemBlock.h"

#include <cstdlib>
#include <cstring>

namespace {

uintptr_t roundUp16(uintptr_t value)
{
    return (value + 15) & ~uintptr_t{15};
}

uintptr_t roundDown16(uintptr_t value)
{
    return value & ~uintptr_t{15};
}

DWORD pageSize()
{
    static DWORD cached = 1;  // 1: not read yet
    if (cached == 1) {
        SYSTEM_INFO info{};
        GetSystemInfo(&info);
        cached = info.dwPageSize ? info.dwPageSize : 4096;
    }
    return cached;
}

void breakIfDebugged()
{
    if (IsDebuggerPresent())
        DebugBreak();
}

} // namespace

void QZMemBlock::fillHeader(uint8_t* allocation, uint8_t* end, uint8_t* data, size_t size, uint32_t kind)
{
    auto* header = reinterpret_cast<QZMemHeader*>(data - QZMemCollector::kHeaderSize);
    memset(header, 0, sizeof(QZMemHeader));
    header->signature = 0xAA;
    header->data = data;
    header->allocation = allocation;
    header->kind = kind;
    header->size = size;
    header->leadingGuardLength = QZMemCollector::kGuardSize;
    if (withGuards_) {
        memset(header->leadingGuard, QZMemCollector::kGuardByte, QZMemCollector::kGuardSize);
        header->trailingGuard = data + size;
        header->trailingGuardLength = static_cast<uint64_t>(end - (data + size));
        memset(header->trailingGuard, QZMemCollector::kGuardByte, static_cast<size_t>(header->trailingGuardLength));
    }
    header_ = header;
}

void* QZMemBlock::allocateWithCaller(size_t size, void* caller, bool array, HANDLE heap)
{
    void* data = allocate(size, heap);
    if (data) {
        header_->caller = caller;
        header_->arrayFlag = array ? 1 : 0;
    }
    return data;
}

void* QZMemBlock::allocate(size_t size, HANDLE heap)
{
    if (size == 0)
        return nullptr;
    const size_t guard = withGuards_ ? QZMemCollector::kGuardSize : 0;
    if (size > SIZE_MAX / 2)
        return nullptr;
    const size_t total = roundUp16(size + QZMemCollector::kHeaderSize + guard) + 16;
    uint8_t* allocation = nullptr;
    uint32_t kind = QZMemCollector::kRuntimeHeap;
    if (heap) {
        allocation = static_cast<uint8_t*>(HeapAlloc(heap, HEAP_ZERO_MEMORY, total));
        kind = QZMemCollector::kProcessHeap;
    } else {
        allocation = static_cast<uint8_t*>(malloc(total));
    }
    if (!allocation)
        return nullptr;
    uint8_t* end = allocation + total;
    auto* data = reinterpret_cast<uint8_t*>(roundDown16(reinterpret_cast<uintptr_t>(end) - size - guard));
    if (data - QZMemCollector::kHeaderSize < allocation) {
        breakIfDebugged();
        if (kind == QZMemCollector::kProcessHeap)
            HeapFree(heap, 0, allocation);
        else
            free(allocation);
        return nullptr;
    }
    fillHeader(allocation, end, data, size, kind);
    return data;
}

void* QZMemBlockVirtualAlloc::allocate(size_t size, HANDLE heap)
{
    if (size == 0 || size > SIZE_MAX / 2)
        return nullptr;
    const size_t page = pageSize();
    const size_t rounded = roundUp16(size + QZMemCollector::kHeaderSize + QZMemCollector::kGuardSize);
    const size_t committed = ((rounded + 16) / page + 1) * page;
    auto* base = static_cast<uint8_t*>(VirtualAlloc(nullptr, committed + 2 * page, MEM_RESERVE | MEM_COMMIT,
                                                    PAGE_NOACCESS));
    DWORD old = 0;
    if (!base || !VirtualProtect(base + page, committed, PAGE_READWRITE, &old)) {
        if (base)
            VirtualFree(base, 0, MEM_RELEASE);
        QZMemCollector::reportLiveAllocations();
        // A guarded block of the C runtime instead: its guards are filled too.
        return QZMemBlock::allocate(size, nullptr);
    }
    (void)heap;
    uint8_t* end = base + page + committed;  // the trailing no-access page starts here
    auto* data = reinterpret_cast<uint8_t*>(
        roundDown16(reinterpret_cast<uintptr_t>(end) - QZMemCollector::kGuardSize - size));
    fillHeader(base, end, data, size, QZMemCollector::kVirtualAlloc);
    return data;
}

bool QZMemBlock::freeBlock()
{
    if (!header_)
        return false;
    void* allocation = header_->allocation;
    const uint32_t kind = header_->kind;
    header_->signature = 0;  // a second free finds no header
    header_ = nullptr;
    switch (kind) {
    case QZMemCollector::kProcessHeap:
        return HeapFree(GetProcessHeap(), 0, allocation) != FALSE;
    case QZMemCollector::kRuntimeHeap:
        free(allocation);
        return true;
    case QZMemCollector::kVirtualAlloc:
        if (VirtualFree(allocation, 0, MEM_RELEASE))
            return true;
        QZMemCollector::reportLiveAllocations();
        return false;
    default:
        breakIfDebugged();
        return false;
    }
}
