// One printer of a managed printer list as the list readers hand it over.
// The texts point into the reader's own strings: valid only during the
// callback that receives the record. Every text is a valid, possibly empty
// string, except the four PDL texts, which are null when the list gives none.
#pragma once

#include "core/Win32.h"

#include <cstdint>

namespace MPrint {

enum ManagedAddressType : uint32_t {
    kManagedHostName = 0,
    kManagedIpAddress = 1,
    kManagedIpxAddress = 2,
    kManagedUncPath = 3,
    kManagedNoAddress = 4,
};

enum ManagedExtConfigType : uint32_t {
    kDeviceIsDestination = 0,
    kDeviceIsConfigOnly = 1,
    kBidiConfigData = 2,
    kXmlBidiConfigData = 3,
    kNoExtConfig = 4,
};

// Hard disk and duplex unit: 1 installed, 0 not installed, 2 not stated.
struct ManagedPrinterCaps {
    static constexpr uint32_t kNotStated = 2;
    uint32_t hardDisk = kNotStated;
    uint32_t duplexUnit = kNotStated;
    uint8_t validateDevice = 1;
    uint8_t color = 0;
};

struct ManagedPrinterRecord {
    static constexpr uint32_t kVersion = 7;

    uint32_t version = kVersion;
    uint32_t size = sizeof(ManagedPrinterRecord);
    const wchar_t* groupName = L"";
    const wchar_t* comment = L"";
    const wchar_t* printerName = L"";
    const wchar_t* address = L"";
    const wchar_t* model = L"";
    const wchar_t* costPerPage = L"";
    const wchar_t* location = L"";
    const wchar_t* snmpCommunity = L"";
    uint32_t addressType = kManagedNoAddress;
    uint8_t jobDelivery = 0;
    uint8_t securePrinter = 0;
    const wchar_t* extConfigAddress = L"";
    uint32_t extConfigType = kNoExtConfig;
    const wchar_t* pdlPostScript = nullptr;
    const wchar_t* pdlPcl5 = nullptr;
    const wchar_t* pdlPcl6 = nullptr;
    const wchar_t* pdlPcl3 = nullptr;
    const wchar_t* jobDeliveryUrl = L"";
    const wchar_t* jobDeliveryModule = L"";
    const wchar_t* jobDeliveryApi = L"";
    const wchar_t* jobCompleteUrl = L"";
    const wchar_t* jobCompleteExe = L"";
    const wchar_t* jobCompleteModule = L"";
    const wchar_t* jobCompleteApi = L"";
    uint8_t jobCompleteBrowserSession = 0;
    uint32_t destinationVerificationType = 0;
    const wchar_t* destinationVerificationAddress = L"";
    const wchar_t* jobAccountingModule = L"";
    const wchar_t* jobAccountingApiName = L"";
    const wchar_t* jobAccountingUrl = L"";
    const wchar_t* destinationType = L"";
};

// Callbacks of the list readers; context is the pointer given with them.
using ManagedPrinterCallback = void (*)(void* context, const ManagedPrinterRecord& record,
                                        const ManagedPrinterCaps& caps);
using ManagedIncludeCallback = void (*)(void* context, const wchar_t* name, const wchar_t* file, uint32_t okvFlag);
using ManagedRefreshCallback = void (*)(void* context, DWORD value);
using ManagedQueryCallback = void (*)(void* context, const wchar_t* text);
// The model acceptance test: false drops the record.
using ManagedModelFilter = bool (*)(void* context, const char* model);

} // namespace MPrint
