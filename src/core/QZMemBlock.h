// One tracked block of the memory tracker: header, caller's data and guard
// bytes carved from one underlying allocation. Short-lived helper objects
// (made on the stack, never through the tracked operators) around a header.
#pragma once

#include "core/QZMemCollector.h"

class QZMemBlock {
public:
    explicit QZMemBlock(QZMemHeader* header = nullptr) : header_(header) {}
    virtual ~QZMemBlock() = default;

    virtual uint32_t getId() const { return header_ ? header_->id : 0; }
    virtual uint64_t getSize() const { return header_ ? header_->size : 0; }
    // allocate, then the caller and the array flag in the header.
    virtual void* allocateWithCaller(size_t size, void* caller, bool array, HANDLE heap);
    // A heap block (the process heap when heap is set, else the C runtime's);
    // guards filled when withGuards. Null for 0 bytes and on failure.
    virtual void* allocate(size_t size, HANDLE heap);
    virtual bool freeBlock();
    virtual void* getData() const { return header_ ? header_->data : nullptr; }
    virtual QZMemHeader* getHeader() const { return header_; }

    void setGuards(bool withGuards) { withGuards_ = withGuards; }

protected:
    // Header fields and guards for data placed inside [allocation, end).
    void fillHeader(uint8_t* allocation, uint8_t* end, uint8_t* data, size_t size, uint32_t kind);

    QZMemHeader* header_;
    bool withGuards_ = false;
};

// Mode 2: the block between two no-access pages; falls back to a guarded
// C-runtime block when the pages cannot be had.
class QZMemBlockVirtualAlloc : public QZMemBlock {
public:
    QZMemBlockVirtualAlloc() { withGuards_ = true; }
    ~QZMemBlockVirtualAlloc() override = default;
    void* allocate(size_t size, HANDLE heap) override;
};
