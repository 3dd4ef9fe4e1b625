// Every question to a printing device goes through one of these: Connect
// (or Open with the queue given at construction), then any number of Get and
// GetNext on arrays of requests, Close, and delete through the destructor.
#pragma once

#include "bidi/BidiRequest.h"

namespace MPrint {

// Address kinds callers pass to Connect.
enum BidiAddressKind : DWORD {
    BidiAddressIp = 2,
    BidiAddressHostName = 4,
    BidiAddressIpx = 8,
    BidiAddressLocalPort = 16,
    BidiAddressFromQueue = 0xFFFFFFFF,
};
constexpr DWORD kBidiDefaultPort = 0xFFFFFFFF;

class BidiPrinterConnectionIntf {
public:
    virtual ~BidiPrinterConnectionIntf() = default;
    virtual bool Connect(const wchar_t* printerName, const wchar_t* address, DWORD addressKind, DWORD port) = 0;
    virtual bool Open() = 0;
    virtual bool Close() = 0;
    virtual bool Get(BidiRequest* requests, DWORD count) = 0;
    virtual bool GetNext(BidiRequest* requests, DWORD count) = 0;
    virtual bool IsHttpConnection() = 0;
};

} // namespace MPrint
