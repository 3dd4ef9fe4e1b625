// Answers OID batches through the Trebuk port's bidirectional COM server
// (an in-process server of the maker). COM is initialised once per object
// on the first Connect or Open and ended once by the destructor, which must
// run on the same thread. Get and GetNext are true when any item received a
// value; item statuses carry the server's HRESULTs.
#pragma once

#include "bidi/BidiPrinterConnectionIntf.h"
#include "bidi/TrebukServerInterface.h"

#include <wrl/client.h>

#include <string>

class COMWrapper;

namespace MPrint {

class TrebukBidiConnection : public BidiPrinterConnectionIntf {
public:
    // Without a name, the queue of the current destination (if any) is used.
    explicit TrebukBidiConnection(const wchar_t* printerName);
    ~TrebukBidiConnection() override;
    TrebukBidiConnection(const TrebukBidiConnection&) = delete;
    TrebukBidiConnection& operator=(const TrebukBidiConnection&) = delete;

    bool Connect(const wchar_t* name, const wchar_t* address, DWORD addressKind, DWORD port) override;
    bool Open() override;
    bool Close() override;
    bool Get(BidiRequest* requests, DWORD count) override;
    bool GetNext(BidiRequest* requests, DWORD count) override;
    bool IsHttpConnection() override { return false; }

    const std::wstring& getPrinterName() const { return printerName_; }

    // Connect tries twice, five times for a local port, with this pause between tries.
    static constexpr DWORD kRetryPauseMs = 700;
    // Text answers are converted into at most this many bytes.
    static constexpr int kTextBytes = 511;

protected:
    // Between two connect attempts.
    virtual void pause(DWORD milliseconds);

private:
    bool initializeCom();
    void publishCommunity(const wchar_t* address);
    bool query(BidiRequest* requests, DWORD count, bool next);
    void storeValue(BidiRequest& request, DWORD type, const BYTE* data, DWORD size);
    void repairNextOid(BidiRequest& request, DWORD index);

    std::wstring printerName_;
    Microsoft::WRL::ComPtr<trebuk::IRequestList> requestList_;
    Microsoft::WRL::ComPtr<trebuk::IPortConnection> connection_;
    HRESULT comResult_ = E_FAIL;
    bool comRecorded_ = false; // an initialisation this object must undo
    COMWrapper* com_ = nullptr; // the record it went into; null when made directly
    DWORD comThread_ = 0;       // the thread it was made on
};

} // namespace MPrint
