// What the two managed-list targets share: the driver over an in-memory
// host, and the checks every record it reports must pass.
#pragma once

#include "FuzzTarget.h"

#include "core/AutoLock.h"
#include "discovery/ManagedListParser.h"
#include "support/ManagedListFixtures.h"

namespace fuzz {

class ManagedListCheck : public FuzzTarget {
public:
    explicit ManagedListCheck(const wchar_t* location) : location_(location) {}

    void run(const std::string& input) override
    {
        testenv::InMemoryListHost host(input);
        size_t records = 0;
        {
            MPrint::ManagedListParser parser(host);
            parser.setListName(L"Fuzzed");
            uint32_t count = 0;
            if (parser.Parse(location_, &count, onRecord, &records, 0) != 0)
                reportWrongResult("a given location answered other than 0");
            size_t filed = 0;
            MPrint::AutoLock hold(&parser.groups().getLock());
            for (uint32_t i = 0; PrintPathList* printers = parser.getAt(i, nullptr); ++i)
                filed += printers->size();
            if (filed > records)
                reportWrongResult("more print paths filed than records reported");
        }
        if (host.reads.size() > MPrint::ManagedListParser::kMaxDepth * (input.size() + 1))
            reportWrongResult("includes read without bound");
    }

    std::vector<std::string> dictionary() const override
    {
        return {"qzmanagedprinting", "Printers", "Printer", "GroupName", "PrinterName", "PrinterModel", "IPAddress",
                "UNCPath", "Hostname", "IPXSPXAddress", "ManagedPrinters", "ManagedList", "xmlfile", "xmlType", "OKV",
                "RefreshMPL", "harddisk", "Installed", "duplexunit", "validatedevice", "JobDelivery", "Selected",
                "ExtConfigAddress", "ExtConfigType", "BidiConfigData", "ExtConfigPDLPCL6", "Devices", "Device",
                "HWAddr", "SysName", "IPHostName", "IPv4Address", "CAP_DUPLEX", "Yes", "%TEMP%"};
    }

private:
    static void onRecord(void* context, const MPrint::ManagedPrinterRecord& record, const MPrint::ManagedPrinterCaps&)
    {
        ++*static_cast<size_t*>(context);
        for (const wchar_t* text : {record.groupName, record.comment, record.printerName, record.address, record.model,
                                    record.costPerPage, record.location, record.snmpCommunity,
                                    record.extConfigAddress, record.destinationType})
            if (!text)
                reportWrongResult("a record text is null");
        for (const wchar_t* pdl : {record.pdlPostScript, record.pdlPcl5, record.pdlPcl6, record.pdlPcl3})
            if (pdl && !*pdl)
                reportWrongResult("an empty PDL text is not null");
    }

    const wchar_t* location_;
};

} // namespace fuzz
