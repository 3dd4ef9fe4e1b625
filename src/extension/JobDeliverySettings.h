// Whether a printer's jobs are handed to a delivery service, and the seven
// texts that name it: delivery URL, module and API name, and the completion
// URL, program, module and API. Sources as for job accounting: the queue
// ("q...", only when the object was given a print path), the managed printer
// list ("mpl...") and the policy (the first four texts only); per field the
// first non-empty wins in that order. Loading reports nothing.
#pragma once

#include "core/Win32.h"
#include "destination/PrintPath.h"
#include "discovery/ManagedPrinterRecord.h"

#include <array>
#include <string>

class PrinterSettings;

class JobDeliverySettings {
public:
    enum Field { DeliveryURL, DeliveryModule, DeliveryAPIName, CompleteURL, CompleteExe, CompleteModule, CompleteAPI,
                 FieldCount };
    using Texts = std::array<std::wstring, FieldCount>;

    // Loads when a printer name is given; the path is borrowed.
    JobDeliverySettings(const wchar_t* printerName, MPrint::PrintPath* path);
    // The printer's name from its level-4 information; nothing is loaded
    // without a handle or when that query fails.
    JobDeliverySettings(HANDLE printer, MPrint::PrintPath* path);
    // The print path is the history's entry for destination in profile.
    JobDeliverySettings(const wchar_t* printerName, const wchar_t* destination, const wchar_t* profile);
    JobDeliverySettings(const JobDeliverySettings&) = delete;
    JobDeliverySettings& operator=(const JobDeliverySettings&) = delete;

    const std::wstring& get(Field field) const { return result_[field]; }
    const std::wstring& getDeliveryURL() const { return result_[DeliveryURL]; }
    const std::wstring& getDeliveryModule() const { return result_[DeliveryModule]; }
    const std::wstring& getDeliveryAPIName() const { return result_[DeliveryAPIName]; }
    const std::wstring& getCompleteURL() const { return result_[CompleteURL]; }
    const std::wstring& getCompleteExe() const { return result_[CompleteExe]; }
    const std::wstring& getCompleteModule() const { return result_[CompleteModule]; }
    const std::wstring& getCompleteAPI() const { return result_[CompleteAPI]; }
    bool isJobDeliveryEnabled() const { return enabled_; }

    // Re-reads the managed-list values with the path (which may be null) and
    // writes them into the printer's data, deleting the empty ones; the
    // switch "JobDelivery" is written as 1 or deleted. For a queue being made
    // permanent the extension's destination text goes to "mplDestinationName".
    // False only without printer settings.
    bool writeManagedListValues(PrinterSettings* settings, const MPrint::PrintPath* path);
    // The record's switch and seven texts onto the path as persisted
    // attributes; absent ones are removed. False, doing nothing, when either is null.
    static bool setManagedListAttributes(const MPrint::ManagedPrinterRecord* record, MPrint::PrintPath* path);
    // The path's switch and non-empty "q..." attributes into the printer's
    // data; nothing is deleted. False when either is null.
    static bool writeQueueValues(PrinterSettings* settings, const MPrint::PrintPath* path);
    // Only for a queue made permanent while the current job's printer opens:
    // the switch and the policy's four texts into the printer's data.
    // False, doing nothing, when either argument is null.
    static bool writePolicyValues(PrinterSettings* settings, const MPrint::PrintPath* path);

    static const wchar_t* const kQueueNames[FieldCount];
    static const wchar_t* const kManagedListNames[FieldCount];
    static const wchar_t* const kPolicyNames[FieldCount]; // null where the policy has none

private:
    void load();
    void readManagedListValues(HANDLE printer, const MPrint::PrintPath* path);

    DWORD makePermanentInstance_ = 0;
    Texts result_, managedList_, policy_, queue_;
    std::wstring destination_, profile_;
    std::wstring printerName_;
    MPrint::PrintPath* printPath_ = nullptr; // borrowed
    bool enabled_ = false;
    DWORD deliverySwitch_ = 0;
};
