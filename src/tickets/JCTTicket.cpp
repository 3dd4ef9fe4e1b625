#include "tickets/JCTTicket.h"

#include <memory>

namespace MPrint {

bool JCTTicket::getFirstValue(const std::vector<std::wstring>& xpaths, std::wstring& text, bool useCached)
{
    for (const std::wstring& xpath : xpaths)
        if (getValue(xpath, text, useCached))
            return true;
    return false;
}

bool JCTTicket::getValue(const std::wstring& xpath, std::wstring& text, bool)
{
    return !xpath.empty() && getText(xpath, text);
}

bool JCTTicket::getChildCount(const std::wstring& xpath, DWORD& count)
{
    return document() && !xpath.empty() && countChildren(xpath, count);
}

bool JCTTicket::loadFile(const wchar_t* fileName)
{
    if (!fileName || !*fileName)
        return false;
    FILE* file = nullptr;
    if (_wfopen_s(&file, fileName, L"rb") != 0 || !file)
        return false;
    const bool loaded = loadStream(file);
    std::fclose(file);
    return loaded;
}

bool JCTTicket::loadStream(FILE* stream)
{
    if (!stream)
        return false;
    // One byte more than a ticket may hold tells an oversize file from one
    // that fills the buffer exactly; the last byte stays the terminator.
    auto buffer = std::make_unique<char[]>(kMaxTicketBytes + 2);
    size_t total = 0;
    while (total <= kMaxTicketBytes) {
        const size_t got = std::fread(buffer.get() + total, 1, kMaxTicketBytes + 1 - total, stream);
        if (got == 0)
            break;
        total += got;
    }
    if (std::ferror(stream) || total > kMaxTicketBytes)
        return false;
    buffer[total] = '\0';
    return loadText(buffer.get(), false);
}

} // namespace MPrint
