// What a managed printer list takes from the layers above discovery: the
// document cache, address resolution by the discovery services, the model
// acceptance test, the per-printer settings of the managed printing core and
// the module's texts. The reader of a list is given one by its creator;
// nothing here throws.
#pragma once

#include "core/Win32.h"
#include "destination/PrintPath.h"
#include "discovery/ManagedPrinterRecord.h"

#include <string>

namespace MPrint {

class ManagedListHost {
public:
    virtual ~ManagedListHost() = default;

    // The document's bytes, from the cache when fresh; out is written only
    // on true. status (may be null) receives a download's HTTP status.
    virtual bool readList(const std::wstring& location, std::string& bytes, DWORD* status, DWORD timeoutMs) = 0;
    // The cached copy of location goes, so the next read fetches it again.
    virtual void forgetCachedList(const std::wstring& location) = 0;
    virtual void setRefreshTime(const std::wstring& location, DWORD value) = 0;

    // A new print path from the one discovery service that resolved the
    // address to exactly one path, or null; the caller owns it.
    virtual PrintPath* findPrintPath(const std::wstring& address, const std::wstring& name) = 0;
    // False drops the list's record of that model (ANSI text).
    virtual bool acceptModel(const char* model) = 0;
    // The job delivery, completion and accounting texts onto the path.
    virtual void applyJobDelivery(const ManagedPrinterRecord& record, PrintPath& path) = 0;
    virtual void applyJobAccounting(const ManagedPrinterRecord& record, PrintPath& path) = 0;
    // Rebuilds "PrinterInfo" from a model and an address.
    virtual void setPrinterInfoText(PrintPath& path, const std::wstring& model, const std::wstring& address) = 0;
    // A text of the module's resources; empty when it has none.
    virtual std::wstring loadString(UINT id) = 0;
};

} // namespace MPrint
