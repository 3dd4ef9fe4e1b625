#include "core/FileVersion.h"

#include <vector>

bool getFileVersionInfoFixed(const wchar_t* path, VS_FIXEDFILEINFO& info)
{
    if (!path || !*path)
        return false;
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path, &ignored);
    if (size == 0)
        return false;
    std::vector<BYTE> block(size);
    if (!GetFileVersionInfoW(path, 0, size, block.data()))
        return false;
    // The root query finds the fixed part within the block, where a scan
    // for the signature would run past a block that lacks it.
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT fixedSize = 0;
    if (!VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &fixedSize) || !fixed ||
        fixedSize < sizeof(VS_FIXEDFILEINFO) || fixed->dwSignature != 0xFEEF04BD)
        return false;
    info = *fixed;
    return true;
}
