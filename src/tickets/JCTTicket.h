// A job-control ticket: an XML ticket read by XPath from its document
// element, loaded from a file or an open stream. A ticket file must fit in
// kMaxTicketBytes; a longer one is refused whole rather than cut, so a
// truncated document is never read as if it were complete.
#pragma once

#include "tickets/XMLTicket.h"

#include <cstdio>

namespace MPrint {

class JCTTicket : public XMLTicket {
public:
    // The read buffer is 262,144 bytes and keeps a terminating zero byte.
    static constexpr size_t kMaxTicketBytes = 262143;

    bool getFirstValue(const std::vector<std::wstring>& xpaths, std::wstring& text, bool useCached) override;
    // The flag is ignored: a ticket file does not change while it is read.
    bool getValue(const std::wstring& xpath, std::wstring& text, bool useCached) override;
    bool getChildCount(const std::wstring& xpath, DWORD& count) override;

    // Replaces the document; false for an empty name, a read error, an
    // oversize file or text that does not parse.
    bool loadFile(const wchar_t* fileName);
    // The same from an open stream, read from its current position.
    bool loadStream(FILE* stream);
};

} // namespace MPrint
