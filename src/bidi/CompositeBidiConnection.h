// An XML connection to a device on a USB port: the device-data module
// delivers its trees and says which table (LEDM or legacy) answers.
#pragma once

#include "bidi/XMLBidiConnectionBase.h"

namespace MPrint {

class CompositeBidiConnection : public XMLBidiConnectionBase {
public:
    CompositeBidiConnection() = default;
    ~CompositeBidiConnection() override;
    // The address is the USB port name.
    bool Connect(const wchar_t* printerName, const wchar_t* portName, DWORD addressKind, DWORD port) override;
    bool IsHttpConnection() override { return false; }
};

} // namespace MPrint
