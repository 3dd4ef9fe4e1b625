#include "GuardHeap.h"

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

constexpr size_t kGuardBytes = 16;
constexpr uint64_t kMagic = 0x4755415244424C4Bull;
constexpr unsigned char kFront = 0xFB;
constexpr unsigned char kBack = 0xFD;
constexpr unsigned char kFresh = 0xCD; // new memory: reads of it before a write show
constexpr unsigned char kFreed = 0xDD; // freed memory: later reads of it show

// 32 bytes before the caller's block keep it 16-byte aligned.
struct Header {
    size_t size;
    uint64_t magic;
    unsigned char front[kGuardBytes];
};
static_assert(sizeof(Header) == 32, "keeps the block aligned");

std::atomic<size_t> liveBlocks{0};

[[noreturn]] void corrupted(const void* block)
{
    const ULONG_PTR argument = reinterpret_cast<ULONG_PTR>(block);
    RaiseException(fuzz::kGuardException, EXCEPTION_NONCONTINUABLE, 1, &argument);
    std::abort();
}

void* allocate(size_t size) noexcept
{
    if (size > SIZE_MAX - sizeof(Header) - kGuardBytes)
        return nullptr;
    auto* header = static_cast<Header*>(std::malloc(sizeof(Header) + size + kGuardBytes));
    if (!header)
        return nullptr;
    header->size = size;
    header->magic = kMagic;
    std::memset(header->front, kFront, kGuardBytes);
    unsigned char* block = reinterpret_cast<unsigned char*>(header + 1);
    std::memset(block, kFresh, size);
    std::memset(block + size, kBack, kGuardBytes);
    ++liveBlocks;
    return block;
}

void release(void* pointer) noexcept
{
    if (!pointer)
        return;
    Header* header = static_cast<Header*>(pointer) - 1;
    if (header->magic != kMagic)
        corrupted(pointer);
    const unsigned char* block = static_cast<unsigned char*>(pointer);
    for (size_t i = 0; i < kGuardBytes; ++i) {
        if (header->front[i] != kFront || block[header->size + i] != kBack)
            corrupted(pointer);
    }
    header->magic = 0;
    std::memset(header + 1, kFreed, header->size);
    --liveBlocks;
    std::free(header);
}

void* allocateOrThrow(size_t size)
{
    for (;;) {
        if (void* block = allocate(size ? size : 1))
            return block;
        std::new_handler handler = std::get_new_handler();
        if (!handler)
            throw std::bad_alloc();
        handler();
    }
}

} // namespace

namespace fuzz {

size_t liveHeapBlocks()
{
    return liveBlocks.load();
}

} // namespace fuzz

void* operator new(size_t size) { return allocateOrThrow(size); }
void* operator new[](size_t size) { return allocateOrThrow(size); }
void* operator new(size_t size, const std::nothrow_t&) noexcept { return allocate(size ? size : 1); }
void* operator new[](size_t size, const std::nothrow_t&) noexcept { return allocate(size ? size : 1); }
void operator delete(void* pointer) noexcept { release(pointer); }
void operator delete[](void* pointer) noexcept { release(pointer); }
void operator delete(void* pointer, size_t) noexcept { release(pointer); }
void operator delete[](void* pointer, size_t) noexcept { release(pointer); }
void operator delete(void* pointer, const std::nothrow_t&) noexcept { release(pointer); }
void operator delete[](void* pointer, const std::nothrow_t&) noexcept { release(pointer); }
