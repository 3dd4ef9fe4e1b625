// One queue's printer data. When the queue may be written, values go to the
// spooler; when it may only be read, writes are kept in a batch that reads
// see, and the Keravin port monitor stores them with its own rights
// (commitDeferred, and the destructor). A failed commit keeps the batch.
#pragma once

#include "core/ScopedHandle.h"
#include "destination/DeviceSettings.h"

#include <memory>

namespace MPrint {
class PrinterDataValues;
}

class PrinterSettings : public DeviceSettings {
public:
    // Opens the queue with the access; failing that, read-only with deferred writes.
    PrinterSettings(const wchar_t* printerName, ACCESS_MASK desiredAccess);
    // Borrows the handle; reopens the queue with full access when it can
    // (that handle is owned), otherwise writes are deferred.
    explicit PrinterSettings(HANDLE printer);
    ~PrinterSettings() override;
    PrinterSettings(const PrinterSettings&) = delete;
    PrinterSettings& operator=(const PrinterSettings&) = delete;

    // Reads through a handle the caller holds, with the access it has (a read
    // needs no more than use of the queue): no reopening. Output untouched on false.
    static bool readString(HANDLE printer, const wchar_t* name, std::wstring& text);
    static bool readDword(HANDLE printer, const wchar_t* name, DWORD& value);

    bool setString(const wchar_t* name, const wchar_t* text) override;
    bool setDword(const wchar_t* name, DWORD value) override;
    bool getString(const wchar_t* name, std::wstring& text) override;
    bool getDword(const wchar_t* name, DWORD& value) override;
    // Always on the spooler, also in deferred mode; the batch is not touched.
    virtual bool deleteValue(const wchar_t* name);
    virtual bool commitDeferred();
    virtual void discardDeferred();

    // Values of a key below the queue (such as "PrinterDriverData\JCTData")
    // through the *PrinterDataExW calls, or, when deferred, batch entries
    // named key + "\" + value. Deletions of a key's values are deferred too,
    // so a later commit never brings back a value deleted after it was
    // batched; a deletion is true when the value is gone (absent included).
    // A change the spooler refuses with ERROR_ACCESS_DENIED, though the
    // handle was opened for it, is batched, and so is every later write.
    // False leaves the spooler's code for GetLastError (ERROR_FILE_NOT_FOUND
    // for a value deleted in the batch, ERROR_INVALID_PARAMETER for a missing name).
    bool setStringIn(const wchar_t* key, const wchar_t* name, const wchar_t* text);
    bool setDwordIn(const wchar_t* key, const wchar_t* name, DWORD value);
    bool getStringIn(const wchar_t* key, const wchar_t* name, std::wstring& text);
    bool deleteValueIn(const wchar_t* key, const wchar_t* name);

    bool isDeferred() const { return deferred_; }
    HANDLE handle() const { return printer_; }

private:
    MPrint::PrinterDataValues& batch();
    // Switches to deferred writes when a direct change was refused for want
    // of rights; true when it did.
    bool deferAfterRefusal(DWORD error);

    ScopedPrinter owned_;     // the queue opened here, if any
    HANDLE printer_ = nullptr; // the handle in use: owned_'s, or the caller's borrowed one
    bool deferred_ = false;
    std::wstring printerName_;
    std::unique_ptr<MPrint::PrinterDataValues> batch_;
};
