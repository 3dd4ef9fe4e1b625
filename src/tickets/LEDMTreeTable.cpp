#include "tickets/LEDMTreeTable.h"

#include <cwchar>
#include <utility>

namespace MPrint {

namespace {

const LEDMTreeRow kTemplate[LEDMTreeTable::kRowCount] = {
    {0, L"pucap:ProductUsageCap", nullptr, 0, 1},
    {1, L"prdcfgcap:ProductConfigCap", nullptr, 0, 1},
    {2, L"prdcfgcap2:ProductConfigCap", nullptr, 0, 1},
    {3, L"mhdyn:MediaHandlingDyn", nullptr, 0, 1},
    {4, L"prdcfgdyn:ProductConfigDyn", nullptr, 0, 1},
    {5, L"prdcfgdyn2:ProductConfigDyn", nullptr, 0, 1},
    {6, L"mediacap:MediaCap", nullptr, 0, 1},
    {7, L"mediacap2:MediaCap", nullptr, 0, 1},
    {8, L"mhcap:MediaHandlingCap", nullptr, 0, 1},
    {9, L"mhcap2:MediaHandlingCap", nullptr, 0, 1},
    {10, L"ccdyn:ConsumableConfigDyn", nullptr, 0, 1},
    {11, L"pudyn:ProductUsageDyn", nullptr, 0, 1},
    {12, L"psdyn:ProductStatusDyn", nullptr, 0, 0},
};

} // namespace

LEDMTreeTable::LEDMTreeTable()
{
    ScopedGlobal block(GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(kTemplate)));
    if (!block)
        return;
    rows_ = static_cast<LEDMTreeRow*>(GlobalLock(block.get()));
    if (!rows_)
        return;
    block_ = std::move(block);
    for (DWORD i = 0; i < kRowCount; ++i)
        rows_[i] = kTemplate[i];
}

LEDMTreeTable::~LEDMTreeTable()
{
    if (!block_)
        return;
    // The cached bodies go first; block_'s owner frees the table itself.
    for (DWORD i = 0; i < kRowCount; ++i)
        ScopedGlobal cached(rows_[i].data);
    GlobalUnlock(block_.get());
}

LEDMTreeRow* LEDMTreeTable::find(const wchar_t* rootName)
{
    if (!rows_ || !rootName)
        return nullptr;
    for (DWORD i = 0; i < kRowCount; ++i)
        if (std::wcscmp(rows_[i].rootName, rootName) == 0)
            return &rows_[i];
    return nullptr;
}

LEDMTreeRow* LEDMTreeTable::row(DWORD id) { return rows_ && id < kRowCount ? &rows_[id] : nullptr; }

} // namespace MPrint
