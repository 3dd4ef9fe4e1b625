// A connection that answers OID questions from a device's XML data through
// the OID tables: it owns a device ticket and the object that names the
// device kind, both made by Connect and released by Close. A Connect that
// fails leaves nothing behind, and a second Connect closes the first.
#pragma once

#include "bidi/BidiPrinterConnectionIntf.h"
#include "bidi/OIDObject.h"

#include <memory>
#include <string>

namespace MPrint {

class DeviceTicket;

class XMLBidiConnectionBase : public BidiPrinterConnectionIntf {
public:
    explicit XMLBidiConnectionBase(const wchar_t* printerName = nullptr);
    ~XMLBidiConnectionBase() override;

    // The queue's port name as host, then Connect.
    bool Open() override;
    bool Close() override;
    // Requests in order; the first that cannot be answered ends the call
    // with false and leaves the rest untouched.
    bool Get(BidiRequest* requests, DWORD count) override;
    // Every request moved to its successor; always true.
    bool GetNext(BidiRequest* requests, DWORD count) override;

    DeviceTicket* ticket() const { return ticket_.get(); }
    const std::wstring& host() const { return host_; }

protected:
    // Makes the ticket for the host and opens it; on failure nothing is kept.
    bool connectWith(const wchar_t* host, std::unique_ptr<OIDObject> object);

private:
    std::wstring printerName_;
    std::wstring host_;
    std::unique_ptr<DeviceTicket> ticket_;
    std::unique_ptr<OIDObject> object_;
};

} // namespace MPrint
