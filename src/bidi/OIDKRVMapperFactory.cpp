#include "bidi/OIDKRVMapperFactory.h"

#include "bidi/OIDPDLHelper.h"
#include "bidi/OIDTrayHelper.h"
#include "tickets/DeviceTicket.h"

namespace MPrint {

namespace {

std::string arc(const std::string& prefix, int last) { return prefix + "." + std::to_string(last); }

// Both converters: refuse when the subtree is there and the row may use it;
// otherwise clear the old records and write them anew.
bool answerWith(OIDHelper& helper, DWORD flags, const wchar_t* firstRecord, const wchar_t* records)
{
    if (flags == 1 && helper.hasValue(firstRecord))
        return false;
    helper.removeNodes(records);
    return helper.collect() && helper.write();
}

} // namespace

OIDKRVMapperFactory& OIDKRVMapperFactory::instance()
{
    static OIDKRVMapperFactory factory;
    return factory;
}

bool answerPDLQuery(const std::string&, BidiRequest* request, DeviceTicket* ticket, DWORD flags)
{
    if (!request || !ticket)
        return false;
    OIDPDLHelperImpl helper(ticket);
    return answerWith(helper, flags, L"/PMLTree/pdl[0]/version", L"/PMLTree/pdl");
}

bool answerTrayQuery(const std::string&, BidiRequest* request, DeviceTicket* ticket, DWORD flags)
{
    if (!request || !ticket)
        return false;
    OIDTrayHelperImpl helper(ticket);
    return answerWith(helper, flags, L"/PMLTree/tray[0]/name", L"/PMLTree/tray");
}

void OIDKRVMapperFactory::Populate(const std::string& oid)
{
    OIDMapperFactory::Populate(oid);

    const std::string duplex = "1.3.6.1.2.1.43.13.4.1.9.1";
    add(arc(duplex, 1), BidiInteger, 1, L"/ProductInformation/DuplexInstalled", arc(duplex, 2));
    add(arc(duplex, 2), BidiInteger, 1, L"/ProductInformation/DuplexInstalled", kInvalidOID);
    const std::string paperDuplex = "1.3.6.1.4.1.11.2.3.9.4.2.1.4.1.1.4";
    add(paperDuplex, BidiInteger, 1, L"/PaperHandling/Duplex", arc(paperDuplex, 0));
    add(arc(paperDuplex, 0), BidiInteger, 1, L"/PaperHandling/Duplex", kInvalidOID);

    // Interpreter columns over the written "/PMLTree/pdl[i]" records.
    struct Column {
        std::string prefix;
        DWORD type;
        const wchar_t* prefixPath;
        OIDConverter converter;
        const wchar_t* element;
        const wchar_t* leaf;
        int first;
        int last;
    };
    const Column columns[] = {
        {"1.3.6.1.2.1.43.15.1.1.2.1", BidiInteger, L"/Phx/InstalledPersonalitiesSupport", answerPDLQuery, L"pdl",
         L"family", 0, 2},
        {"1.3.6.1.2.1.43.15.1.1.5.1", BidiText, L"", nullptr, L"pdl", L"description", 0, 2},
        {"1.3.6.1.2.1.43.15.1.1.3.1", BidiText, L"", nullptr, L"pdl", L"version", 0, 2},
        {"1.3.6.1.2.1.43.12.1.1.2.1", BidiInteger, nullptr, nullptr, nullptr, nullptr, 1, 2},
        {"1.3.6.1.2.1.43.8.2.1.13.1", BidiBinary, L"", answerTrayQuery, L"tray", L"name", 1, 5},
        {"1.3.6.1.2.1.43.8.2.1.2.1", BidiInteger, L"", nullptr, L"tray", L"type", 1, 5},
    };
    for (const Column& column : columns) {
        if (!column.element) {
            // Colour: two rows over one node, no prefix row.
            add(arc(column.prefix, 1), column.type, 1, L"/Phx/ColorFunctionality", arc(column.prefix, 2));
            add(arc(column.prefix, 2), column.type, 1, L"/Phx/ColorFunctionality", kInvalidOID);
            continue;
        }
        add(column.prefix, column.type, 1, column.prefixPath, arc(column.prefix, column.first), column.converter);
        for (int i = column.first; i <= column.last; ++i)
            add(arc(column.prefix, i), column.type, 1,
                L"/PMLTree/" + std::wstring(column.element) + L"[" + std::to_wstring(i - column.first) + L"]/" +
                    column.leaf,
                i < column.last ? arc(column.prefix, i + 1) : kInvalidOID);
    }
}

} // namespace MPrint
