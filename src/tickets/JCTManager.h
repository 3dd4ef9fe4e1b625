// The eleven job-control-ticket features of one queue and their printer
// data: one REG_SZ per feature with a value in "PrinterDriverData\JCTData",
// named after the feature; a feature without a value has its value removed.
// Printer data goes through PrinterSettings: straight to the spooler when
// the queue can be administered, otherwise batched, deletions included, and
// stored by the port monitor, whose answer decides the result. A change the
// spooler refuses for want of rights (ERROR_ACCESS_DENIED) switches to
// writing through the monitor, for it and the rest.
#pragma once

#include "destination/PrinterSettings.h"
#include "tickets/JCTFeature.h"

#include <map>
#include <memory>
#include <string>

class JCTManager {
public:
    using FeatureMap = std::map<std::wstring, std::unique_ptr<JCTFeature>>;

    static constexpr wchar_t kDataKey[] = L"PrinterDriverData\\JCTData";
    static constexpr wchar_t kSupportsJCT[] = L"SupportsJCT";

    // Opens the queue with full access; without it, writes are deferred.
    explicit JCTManager(const wchar_t* printerName);
    virtual ~JCTManager();
    JCTManager(const JCTManager&) = delete;
    JCTManager& operator=(const JCTManager&) = delete;

    // Replaces every feature by a new one with its defaults, not yet valid.
    void createFeatures();
    void deleteFeatures();
    // "SupportsJCT" reads as a 32-bit value other than 0xFFFFFFFF.
    static bool hasStoredJCT(HANDLE printer);

    // A value of a key below the queue as it will be once the monitor's batch
    // is stored (a deletion there reads as absent). The spooler's code; text
    // is set only on ERROR_SUCCESS. Bounded as every printer-data string
    // (core/ValueText.h): an empty value answers ERROR_FILE_NOT_FOUND, one
    // over the bound ERROR_MORE_DATA, and text ends at the value's size.
    DWORD readPrinterDataString(const wchar_t* name, std::wstring& text, const wchar_t* key = kDataKey);
    // An empty text writes nothing and succeeds. A value for the monitor
    // waits in its batch (ERROR_SUCCESS) until saveToPrinterData,
    // writeSupportsJCT or the manager's end stores it; otherwise the
    // spooler's code.
    DWORD writeString(const wchar_t* name, const wchar_t* text, const wchar_t* key = kDataKey);
    DWORD writeDWORD(const wchar_t* name, DWORD value, const wchar_t* key = kDataKey);
    // True once "SupportsJCT" is stored: a value batched for the monitor is
    // committed first, with anything else the batch holds.
    bool writeSupportsJCT(DWORD value);
    // Writes every valid feature's text and removes the others' values
    // (absent ones count as removed); true only when every write, removal
    // and, when deferred, the monitor's commit succeeded.
    bool saveToPrinterData();
    // Each feature takes its stored text; one that cannot is dropped (null).
    // True when any feature loaded.
    bool loadFromPrinterData();
    // A manager whose features were loaded from the queue, or null.
    static std::unique_ptr<JCTManager> load(const wchar_t* printerName);

    const FeatureMap& features() const { return features_; }
    // The named feature, or null (absent or dropped).
    JCTFeature* feature(const std::wstring& name) const;
    int getJCTSupport() const { return jctSupport_; }
    bool writesThroughMonitor() const { return settings_.isDeferred(); }

protected:
    std::wstring printerName_;
    PrinterSettings settings_;
    int jctSupport_ = -1;  // -1 unknown, 1 a ticket was read, 0 none
    FeatureMap features_;

private:
    // After a write: true once what was written is stored, the monitor's
    // batch committed when writes go through it.
    bool storeBatch();
};

// Copies the device description named by "QZXMLFileUsed" into
// "PrinterDriverData\XMLData" as the words its readers find; false when the
// queue has no such file or nothing could be read or written.
bool copyDeviceXMLFeatures(const wchar_t* printerName);
