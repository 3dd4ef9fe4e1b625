#include "core/OutsideDocument.h"

#include "core/InternetHelpers.h"
#include "core/ScopedHandle.h"
#include "core/XmlEncoding.h"

#include <cwchar>

bool isWebLocation(const wchar_t* location)
{
    return location && (std::wcsstr(location, L"http://") || std::wcsstr(location, L"https://"));
}

bool readWholeFile(const wchar_t* path, std::string& out)
{
    if (!path)
        return false;
    const ScopedKernelHandle file(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                              FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file)
        return false;
    DWORD high = 0;
    const DWORD size = GetFileSize(file.get(), &high);
    // A file of 4 GB or more would be read as its size modulo 4 GB.
    if ((size == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) || high != 0)
        return false;
    std::string bytes;
    try {
        bytes.resize(size);
    } catch (...) {
        return false;
    }
    // One ReadFile may return less than asked (network files): go on until
    // the size is reached; the end of the file before that means the file
    // changed while it was read.
    DWORD total = 0;
    while (total < size) {
        DWORD read = 0;
        if (!ReadFile(file.get(), bytes.data() + total, size - total, &read, nullptr) || read == 0)
            return false;
        total += read;
    }
    out.swap(bytes);
    return true;
}

bool fetchDocument(const wchar_t* location, std::string& bytes, DWORD* status, DWORD timeoutMs)
{
    if (!location)
        return false;
    std::string text;
    const bool fetched = isWebLocation(location) ? httpGetToString(location, text, status, timeoutMs) && !text.empty()
                                                 : readWholeFile(location, text);
    if (!fetched)
        return false;
    // Converting a declared or UTF-8 text again would encode its non-ASCII
    // characters twice.
    if (isUndeclaredAnsiXml(text))
        text = ansiXmlToUtf8(text.c_str());
    bytes.swap(text);
    return true;
}
