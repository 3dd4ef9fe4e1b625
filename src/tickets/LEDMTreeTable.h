// The LEDM resource trees of one device ticket: 13 rows (tree id = row
// index, root element name, cached body, its size, keep flag) in one
// zero-filled global-memory block. Rows with the keep flag hold their body
// for the life of the table; only "psdyn:ProductStatusDyn" is fetched anew on
// every read. A failed allocation leaves the table without rows (valid()
// false). The destructor frees every cached body, then the block.
#pragma once

#include "core/ScopedHandle.h"
#include "core/Win32.h"

namespace MPrint {

struct LEDMTreeRow {
    DWORD id;
    const wchar_t* rootName;
    HGLOBAL data;   // the body plus its terminator, or null
    DWORD size;     // bytes in data, terminator included
    DWORD keep;
};

class LEDMTreeTable {
public:
    static constexpr DWORD kRowCount = 13;

    LEDMTreeTable();
    ~LEDMTreeTable();
    LEDMTreeTable(const LEDMTreeTable&) = delete;
    LEDMTreeTable& operator=(const LEDMTreeTable&) = delete;

    bool valid() const { return block_.valid(); }
    // The row whose root name equals the name exactly, or null.
    LEDMTreeRow* find(const wchar_t* rootName);
    LEDMTreeRow* row(DWORD id);

private:
    ScopedGlobal block_;
    LEDMTreeRow* rows_ = nullptr; // block_ locked for the table's life
};

} // namespace MPrint
