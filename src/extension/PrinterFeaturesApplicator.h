// Writes into a queue's printer data what the driver and its user interface
// learn about the chosen device (from the print path) and what the
// administrator's policy manages. All writes go through the queue's
// PrinterSettings, which defers them when the queue may only be read. The
// policy, settings and path are borrowed; the path may be null.
#pragma once

#include "core/Win32.h"

#include <string>

class PrinterSettings;

namespace MPrint {

class ManagedPrintPolicy;
class PrintPath;

class PrinterFeaturesApplicator {
public:
    PrinterFeaturesApplicator(ManagedPrintPolicy* policy, PrinterSettings* settings, PrintPath* path);
    virtual ~PrinterFeaturesApplicator();
    PrinterFeaturesApplicator(const PrinterFeaturesApplicator&) = delete;
    PrinterFeaturesApplicator& operator=(const PrinterFeaturesApplicator&) = delete;

    // The device values, the job delivery and accounting values, the device
    // configuration address and the PDL versions. Always true.
    virtual bool apply();
    // The managed defaults, the colour policy and the services tab; true
    // when anything was written.
    virtual bool applyManagedFeatures();
    // Writes the policy's DWORD when it exists and differs from the
    // printer's value (0 when absent); true when written.
    virtual bool applyManagedValue(const wchar_t* name, const wchar_t* policyName, bool refresh);
    // "LumoDisableColor": the low word is whether colour is disabled now, the
    // high word the state before the last change. Written only when the
    // current state changes, so a repeated run writes nothing.
    virtual bool applyColorPolicy();
    virtual bool applyServicesTabSettings();
    // "PDL-<language>" = the device's version text; languages the device no
    // longer reports keep an empty value. False without a print path.
    virtual bool applyPDLVersions();
    // False, writing nothing, without a print path.
    virtual bool applyDeviceConfigAddress();
    // Asks the driver to read its document properties again.
    virtual void requestDocPropRefresh();

private:
    DWORD printerDword(const wchar_t* name, DWORD absent = 0);
    DWORD pathDword(const wchar_t* name, DWORD absent);

    ManagedPrintPolicy* policy_;
    PrinterSettings* settings_;
    PrintPath* path_;
};

// Applies the device values and managed features to the printer's data with
// the process's policy, and marks the policy as applied ("LumoUpdatePolicy").
// Without a path, the one the discovery services find for the queue's port
// is used (and deleted again). The reset flag clears job retention on the
// path first. Always false: callers ignore the result.
bool applyPrinterFeatures(const std::wstring& printerName, bool resetJobRetention, PrintPath* path);

} // namespace MPrint
