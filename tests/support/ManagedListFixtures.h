// Managed printer lists for tests, benchmarks and fuzzing: one small
// document per format (what each record should read as is in the tests),
// a generator of large lists, a record captured past its callback, and a
// list host over the real cache and discovery services whose managed
// printing core parts are simple and recorded.
#pragma once

#include "discovery/ManagedPrinterRecord.h"
#include "extension/CachedManagedListHost.h"

#include <set>
#include <string>
#include <vector>

namespace testenv {

extern const char kCustomListFixture[];
extern const char kOkvListFixture[];

// A custom list of printers spread over groups ("Group <n>"), printer i at
// 10.<i/65536>.<i/256%256>.<i%256>, each with a model, a community and a
// line break after every element (the way list tools write them).
std::string generateCustomList(int printers, int groups);

// A record with its texts copied; a null PDL text stays distinguishable.
struct CapturedRecord {
    std::wstring groupName, comment, printerName, address, model, costPerPage, location, snmpCommunity;
    uint32_t addressType = 0;
    uint8_t jobDelivery = 0, securePrinter = 0, jobCompleteBrowserSession = 0;
    std::wstring extConfigAddress;
    uint32_t extConfigType = 0;
    std::vector<std::wstring> pdls; // PostScript, PCL5, PCL6, PCL3; "(null)" for null
    std::wstring jobDeliveryUrl, jobAccountingModule, destinationType, verificationAddress;
    uint32_t verificationType = 0;
    MPrint::ManagedPrinterCaps caps;
};
CapturedRecord capture(const MPrint::ManagedPrinterRecord& record, const MPrint::ManagedPrinterCaps& caps);
// A printer callback that appends to a std::vector<CapturedRecord> context.
void captureInto(void* records, const MPrint::ManagedPrinterRecord& record, const MPrint::ManagedPrinterCaps& caps);

// Texts "[<id>] %1"; models listed in rejected fail the model test;
// "PrinterInfo" becomes "<model> @ <address>".
class RecordingListHost : public MPrint::CachedManagedListHost {
public:
    std::set<std::string> rejected;
    std::vector<std::wstring> reads; // every location read, in order

    bool readList(const std::wstring& location, std::string& bytes, DWORD* status, DWORD timeoutMs) override;
    bool acceptModel(const char* model) override;
    void setPrinterInfoText(MPrint::PrintPath& path, const std::wstring& model, const std::wstring& address) override;
    std::wstring loadString(UINT id) override;
};

// A host that reaches nothing outside the process: every read answers the
// bytes given, and every address becomes a print path of its own (Address
// and Nickname set), so reading, settings and grouping run alone.
class InMemoryListHost : public RecordingListHost {
public:
    explicit InMemoryListHost(std::string bytes = {}) : bytes(std::move(bytes)) {}
    std::string bytes;

    bool readList(const std::wstring& location, std::string& out, DWORD* status, DWORD timeoutMs) override;
    void forgetCachedList(const std::wstring& location) override;
    void setRefreshTime(const std::wstring& location, DWORD value) override;
    MPrint::PrintPath* findPrintPath(const std::wstring& address, const std::wstring& name) override;
};

// As InMemoryListHost, with each printer's name as its display text; the
// address "unresolvable" makes no print path.
class DisplayNameListHost : public InMemoryListHost {
public:
    using InMemoryListHost::InMemoryListHost;
    MPrint::PrintPath* findPrintPath(const std::wstring& address, const std::wstring& name) override;
};

} // namespace testenv
