// Obtains a queue's job-control ticket and turns it into feature values:
// from the file named by "JCTPath" (per user, else per machine), or from the
// maker's module in the queue's driver directory, for the queue or for a
// device address. Lives for one retrieval.
#pragma once

#include "tickets/JCTManager.h"

#include <cstdio>

class JCTRetriever : private JCTManager {
public:
    // address null or empty: the queue's own ticket.
    JCTRetriever(const wchar_t* printerName, const wchar_t* address);
    ~JCTRetriever() override;

    using JCTManager::createFeatures;
    using JCTManager::feature;
    using JCTManager::features;
    using JCTManager::getJCTSupport;
    using JCTManager::saveToPrinterData;
    using JCTManager::writesThroughMonitor;

    // Features still without a value after a ticket was read take the
    // defaults of the media size and type lists; nothing else.
    bool applyDefaults();
    // The ticket from "JCTPath" or the module, then the defaults; false only
    // without a queue or when the defaults fail.
    bool retrieveForDevice();
    // Through the module; false when it is missing, refuses or writes no ticket.
    bool createJCT();
    bool readJCTFile(const std::wstring& path);
    // Each feature not yet valid reads the ticket; a media size or type that
    // fails is read again at ".../Default/dd:...ID". False only when the
    // ticket does not load.
    bool parseJCT(FILE* stream);
    // "JCTPath" under the settings key of HKCU, else HKLM.
    static bool findJCTPath(std::wstring& path);

private:
    std::wstring address_;
};

// The queue's features from their defaults, saved as its printer data. With
// force false a queue that records "SupportsJCT" is left as it is (true).
bool retrieveJCTForPrintQueue(const wchar_t* printerName, bool force);
// The same from the ticket of the device at the address (null: the queue's).
bool retrieveJCTForDeviceAddress(const wchar_t* printerName, bool force, const wchar_t* address);
