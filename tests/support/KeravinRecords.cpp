#include "support/KeravinRecords.h"

#include <cstring>

namespace testenv {

std::vector<BYTE> keravinCommandRecord(const std::wstring& first, const std::wstring& second)
{
    const DWORD firstBytes = static_cast<DWORD>((first.size() + 1) * 2);
    const DWORD total = 96 + firstBytes + static_cast<DWORD>((second.size() + 1) * 2);
    std::vector<BYTE> record(total, 0);
    const DWORD three = 3, start = 96;
    const ULONGLONG secondOffset = 96 + firstBytes;
    std::memcpy(&record[0], &total, 4);
    std::memcpy(&record[4], &three, 4);
    std::memcpy(&record[8], &start, 4);
    std::memcpy(&record[16], &secondOffset, 8);
    std::memcpy(&record[96], first.c_str(), firstBytes);
    std::memcpy(&record[secondOffset], second.c_str(), (second.size() + 1) * 2);
    return record;
}

} // namespace testenv
