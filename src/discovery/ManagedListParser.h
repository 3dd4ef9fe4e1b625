// Reads a managed printer list (custom or, with an "OKV:" prefix or the OKV
// flag, OKV format) from a file or URL through the host's cache, follows
// its included lists, resolves each printer's address to a print path with
// the list's settings and files the path in its printer group. Included
// lists nest at most kMaxDepth deep and a location already read by the
// outermost Parse is not read again, so a list that includes itself ends.
// One worker thread parses; stop() and the group accessors may be called
// from another.
#pragma once

#include "discovery/ManagedGroupList.h"
#include "discovery/ManagedListHost.h"

#include <atomic>
#include <set>
#include <string>

namespace MPrint {

class CustomPrinterListParser;

class ManagedListParser {
public:
    static constexpr uint32_t kStopped = 5;
    static constexpr uint32_t kNoLocation = 3;
    static constexpr uint32_t kMaxDepth = 16;
    static constexpr DWORD kReadTimeoutMs = 15000;
    // Prefixed to a job-delivery printer's address before it is resolved.
    static constexpr wchar_t kJobDeliveryMarker[] = L"^_//_^";

    explicit ManagedListParser(ManagedListHost& host);
    virtual ~ManagedListParser();
    ManagedListParser(const ManagedListParser&) = delete;
    ManagedListParser& operator=(const ManagedListParser&) = delete;

    // Handles one record as a parsed printer; 3 always.
    virtual uint32_t addPrinter(const ManagedPrinterRecord* record, const ManagedPrinterCaps* caps,
                                ManagedPrinterCallback callback, void* context);
    // 0 for any given location, whatever it held; 3 without one; 5 after
    // stop(). count (may be null) receives the groups this call made, 0
    // otherwise. readFailed() tells whether a list could not be read.
    virtual uint32_t Parse(const wchar_t* location, uint32_t* count, ManagedPrinterCallback callback, void* context,
                           int okvFlag);
    virtual void setListName(const std::wstring& name);
    // Frees the groups; the next read bypasses the cache and stop is undone.
    virtual void clear();
    virtual void stop();

    // A list of the last outermost Parse, or one it included, could not be
    // read or was not well-formed (Parse still answers 0 for it).
    bool readFailed() const { return readFailed_; }

    ManagedGroupList& groups() { return groups_; }
    uint32_t getCount() const { return groups_.getCount(); }
    PrintPathList* getAt(uint32_t index, std::wstring* name) const { return groups_.getAt(index, name); }
    PrintPathList* find(const std::wstring& name) const { return groups_.find(name); }
    PrintPathList* findDefault(std::wstring* name) const { return groups_.findDefault(name); }
    PrintPathList* addGroup(const std::wstring& name, bool isDefault) { return groups_.addGroup(name, isDefault); }

protected:
    virtual void readSource(CustomPrinterListParser& parser, const std::wstring& location);
    virtual void applyDeviceInfo(PrintPath& path, const ManagedPrinterRecord& record);
    virtual void applyJobDelivery(const ManagedPrinterRecord& record, PrintPath& path);
    virtual void applyJobAccounting(const ManagedPrinterRecord& record, PrintPath& path);
    virtual void applyDestinationVerification(const ManagedPrinterRecord& record, PrintPath& path);
    virtual void applyExternalConfiguration(const ManagedPrinterRecord& record, PrintPath& path);

private:
    static void onPrinter(void* self, const ManagedPrinterRecord& record, const ManagedPrinterCaps& caps);
    static void onInclude(void* self, const wchar_t* name, const wchar_t* file, uint32_t okvFlag);
    static void onRefresh(void* self, DWORD value);
    static void onQuery(void* self, const wchar_t* text);
    static bool onModel(void* self, const char* model);

    void handlePrinter(const ManagedPrinterRecord& record, const ManagedPrinterCaps& caps);
    void applySettings(const ManagedPrinterRecord& record, const ManagedPrinterCaps& caps, PrintPath& path);

    ManagedListHost& host_;
    ManagedGroupList groups_;
    ManagedPrinterCallback callback_ = nullptr;
    void* context_ = nullptr;
    std::wstring includeName_;  // the include being read, or the OKV list's own name
    std::wstring listName_;
    bool refreshPending_ = false;  // set by clear: the next outermost read bypasses the cache
    std::wstring location_;        // the list being read
    uint32_t depth_ = 0;
    std::atomic<bool> stop_{false}; // set from the dialog's thread
    std::set<std::wstring> visited_; // upper-cased locations read by the outermost Parse
    bool readFailed_ = false;
};

} // namespace MPrint
