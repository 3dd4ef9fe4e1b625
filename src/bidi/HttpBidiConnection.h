// An XML connection to a network device that serves LEDM resources over
// HTTP: the LEDM table answers, whatever the device-data module says.
#pragma once

#include "bidi/XMLBidiConnectionBase.h"

namespace MPrint {

class HttpBidiConnection : public XMLBidiConnectionBase {
public:
    HttpBidiConnection() = default;
    ~HttpBidiConnection() override;
    // Only the address is used.
    bool Connect(const wchar_t* printerName, const wchar_t* address, DWORD addressKind, DWORD port) override;
    bool IsHttpConnection() override { return true; }
};

} // namespace MPrint
