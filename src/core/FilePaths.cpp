#include "core/FilePaths.h"

#include "core/Win32.h"

#include <shlwapi.h>

#include <cwchar>
#include <iterator>

namespace {

wchar_t separator[10] = {};

} // namespace

const wchar_t* getPathSeparator()
{
    // Two threads that race here write the same text.
    if (separator[0] == L'\0') {
        wchar_t path[MAX_PATH] = L"a";
        PathAddBackslashW(path);
        const wchar_t* added = std::wcslen(path) >= 2 ? path + 1 : L"\\";
        size_t i = 0;
        for (; i + 1 < std::size(separator) && added[i]; ++i)
            separator[i] = added[i];
        separator[i] = L'\0';
    }
    return separator;
}

wchar_t getPathSeparatorChar()
{
    return getPathSeparator()[0];
}

std::wstring makeTempFileName(const wchar_t* directory)
{
    std::wstring result = L"c:\\temp\\qztemp.tmp";
    wchar_t folder[520] = L"c:\\temp";
    // A directory that does not fit would be cut into another one: use the
    // temporary directory instead.
    if (directory && *directory && std::wcslen(directory) < std::size(folder)) {
        wcscpy_s(folder, directory);
    } else {
        wchar_t temp[std::size(folder)] = {};
        const DWORD length = GetTempPathW(static_cast<DWORD>(std::size(temp)), temp);
        if (length > 0 && length < std::size(temp))
            wcscpy_s(folder, temp);
    }
    wchar_t name[1024] = {};
    if (GetTempFileNameW(folder, L"QZM", 0, name) != 0) {
        result = name;
        DeleteFileW(name);
    }
    return result;
}
