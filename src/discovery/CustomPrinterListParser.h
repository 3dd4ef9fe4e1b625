// Reader of the custom managed printer list (root "qzmanagedprinting"): it
// collects the values of one printer record and, at the record's end, hands
// a ManagedPrinterRecord and its caps to the printer callback, after the
// model filter (when one is set) accepted the model. Included lists and
// refresh times go to their own callbacks. A value stated outside a record
// is carried into the next one; every printer value returns to its default
// at each record end, accepted or not. Malformed XML ends the parse with
// the records already reported.
#pragma once

#include "core/MSSAXParser.h"
#include "discovery/ManagedPrinterRecord.h"

#include <string>

namespace MPrint {

class CustomPrinterListParser : public MSSAXParser {
public:
    enum ElementId : DWORD {
        kRoot = 1, kPrinters = 2, kPrinter = 3, kGroupName = 4, kComment = 5, kPrinterName = 6, kModel = 7,
        kIpAddress = 8, kIpxAddress = 9, kUncPath = 10, kHostName = 11, kSnmpCommunity = 12,
        kManagedPrinters = 13, kManagedList = 14, kListName = 15, kListFile = 16, kQuery = 17, kHardDisk = 18,
        kDuplexUnit = 19, kValidateDevice = 20, kRefresh = 22, kCostPerPage = 23, kColor = 24,
        kJobDelivery = 25, kSecurePrinter = 26, kListType = 27, kExtConfigAddress = 28, kExtConfigType = 29,
        kPdlPostScript = 30, kPdlPcl5 = 31, kPdlPcl6 = 32, kPdlPcl3 = 33, kLocation = 34, kJobDeliveryUrl = 35,
        kJobDeliveryModule = 36, kJobDeliveryApi = 37, kJobCompleteUrl = 38, kJobCompleteExe = 39,
        kJobCompleteModule = 40, kJobCompleteApi = 41, kJobCompleteBrowserSession = 42,
        kVerificationAddress = 43, kVerificationType = 44, kJobAccountingModule = 45,
        kJobAccountingApiName = 46, kJobAccountingUrl = 47, kDestinationType = 48,
        // OKV list only.
        kHardwareAddress = 100, kSystemName = 101,
    };

    CustomPrinterListParser();
    ~CustomPrinterListParser() override;

    void setQueryCallback(ManagedQueryCallback callback, void* context);
    void setIncludeCallback(ManagedIncludeCallback callback, void* context);
    void setPrinterCallback(ManagedPrinterCallback callback, void* context);
    void setRefreshCallback(ManagedRefreshCallback callback, void* context);
    // Asked with each record's model (ANSI) before the printer callback.
    void setModelFilter(ManagedModelFilter filter, void* context);

    // The text without CR, LF, TAB and blanks at either end, into field.
    static void assignTrimmed(std::wstring& field, const std::wstring& text);

protected:
    explicit CustomPrinterListParser(const SaxElementEntry* table);

    void onStringValue(const LevelData& level, const std::wstring& value) override;
    void onNumberValue(const LevelData& level, DWORD value) override;
    void onBoolValue(const LevelData& level, bool value) override;
    void onContainerEnd(const LevelData& level, const std::wstring& text) override;

    // The values of the printer record in progress.
    struct PrinterValues {
        std::wstring groupName, comment, printerName, model, address, snmpCommunity, costPerPage, location;
        uint32_t addressType = kManagedNoAddress;
        ManagedPrinterCaps caps;
        uint8_t jobDelivery = 0, securePrinter = 0, jobCompleteBrowserSession = 0;
        std::wstring extConfigAddress;
        uint32_t extConfigType = kNoExtConfig;
        std::wstring pdlPostScript, pdlPcl5, pdlPcl6, pdlPcl3;
        std::wstring jobDeliveryUrl, jobDeliveryModule, jobDeliveryApi;
        std::wstring jobCompleteUrl, jobCompleteExe, jobCompleteModule, jobCompleteApi;
        uint32_t verificationType = 0;
        std::wstring verificationAddress;
        std::wstring jobAccountingModule, jobAccountingApiName, jobAccountingUrl, destinationType;

        // Every value to its default.
        void reset();
    };

    // The custom printer end: filter, callback, then every value reset.
    void endPrinter();

    // The string a text element stores into (the address for all four
    // address elements), or null for elements handled otherwise.
    std::wstring* textField(DWORD elementId);

    PrinterValues printer_;
    std::wstring text_; // the trimmed text of a keyword element
    // The included list in progress and the query text.
    std::wstring listName_, listFile_, query_;
    uint32_t listIsOkv_ = 0;

private:
    ManagedPrinterCallback printerCallback_ = nullptr;
    void* printerContext_ = nullptr;
    ManagedIncludeCallback includeCallback_ = nullptr;
    void* includeContext_ = nullptr;
    ManagedRefreshCallback refreshCallback_ = nullptr;
    void* refreshContext_ = nullptr;
    ManagedQueryCallback queryCallback_ = nullptr;
    void* queryContext_ = nullptr;
    ManagedModelFilter modelFilter_ = nullptr;
    void* modelFilterContext_ = nullptr;
};

} // namespace MPrint
