#include "bidi/OIDLEDMMapperFactory.h"

namespace MPrint {

namespace {

const std::wstring kConfigDyn = L"/prdcfgdyn:ProductConfigDyn/prdcfgdyn:";
const std::wstring kConfigDyn2 = L"/prdcfgdyn2:ProductConfigDyn/prdcfgdyn:";
const std::wstring kInterpreter =
    L"/prdcfgcap:ProductConfigCap/prdcfgcap:ProductInformationCap/prdcfgcap:PersonalitySupport/dd:Interpreter[";
const std::wstring kInterpreter2 =
    L"/prdcfgcap2:ProductConfigCap/prdcfgcap2:ProductInformationCap/prdcfgcap:PersonalitySupport/dd:Interpreter[";

std::string arc(const std::string& prefix, int last) { return prefix + "." + std::to_string(last); }

std::wstring indexed(const std::wstring& before, int index, const std::wstring& after)
{
    return before + std::to_wstring(index) + L"]" + after;
}

} // namespace

OIDLEDMMapperFactory& OIDLEDMMapperFactory::instance()
{
    static OIDLEDMMapperFactory factory;
    return factory;
}

void OIDLEDMMapperFactory::Populate(const std::string&)
{
    for (const char* oid : {"1.3.6.1.2.1.25.3.2.1.3.1", "1.3.6.1.4.1.11.2.3.9.1.1.7.0"})
        add(oid, BidiText, 1, kConfigDyn + L"ProductInformation/dd:MakeAndModel", kInvalidOID)
            .addAlternateXPath(kConfigDyn2 + L"ProductInformation/dd:MakeAndModel");

    const std::string duplex = "1.3.6.1.2.1.43.13.4.1.9.1";
    for (int i = 1; i <= 2; ++i)
        add(arc(duplex, i), BidiText, 1,
            L"/prdcfgcap:ProductConfigCap/prdcfgcap:ProductSettingsCap/dd:SupportedFeatures",
            i == 1 ? arc(duplex, 2) : kInvalidOID)
            .addAlternateXPath(
                L"/prdcfgcap2:ProductConfigCap/prdcfgcap2:ProductSettingsCap/prdcfgcap2:DuplexSupport");

    const std::string colour = "1.3.6.1.2.1.43.12.1.1.2.1";
    for (int i = 1; i <= 2; ++i)
        add(arc(colour, i), BidiInteger, 1,
            L"/pucap:ProductUsageCap/pucap:ConsumableSubunitCap/pucap:MarkerColorSupport",
            i == 1 ? arc(colour, 2) : kInvalidOID);

    // The interpreter columns: family, description, version; a prefix, then .0 to .2.
    struct Column {
        std::string prefix;
        DWORD type;
        const wchar_t* leaf;
    };
    const Column interpreters[] = {
        {"1.3.6.1.2.1.43.15.1.1.2.1", BidiInteger, L"/dd:Description"},
        {"1.3.6.1.2.1.43.15.1.1.5.1", BidiText, L"/dd:DocumentFormat"},
        {"1.3.6.1.2.1.43.15.1.1.3.1", BidiText, L"/dd:Version/dd:Revision"},
    };
    for (const Column& column : interpreters) {
        if (column.type == BidiInteger) {
            add(column.prefix, column.type, 1, L"/prdcfgcap:ProductConfigCap/prdcfgcap:ProductInformationCap",
                arc(column.prefix, 0))
                .addAlternateXPath(L"/prdcfgcap2:ProductConfigCap/prdcfgcap:ProductInformationCap");
        } else {
            add(column.prefix, column.type, 1, L"", arc(column.prefix, 0));
        }
        for (int i = 0; i <= 2; ++i)
            add(arc(column.prefix, i), column.type, 1, indexed(kInterpreter, i, column.leaf),
                i < 2 ? arc(column.prefix, i + 1) : kInvalidOID)
                .addAlternateXPath(indexed(kInterpreter2, i, column.leaf));
    }

    // The tray columns: bin name and feeder type, a prefix, then .1 to .15.
    const Column trays[] = {
        {"1.3.6.1.2.1.43.8.2.1.13.1", BidiBinary, L"/dd:InputBin"},
        {"1.3.6.1.2.1.43.8.2.1.2.1", BidiBinary, L"/dd:FeederType"},
    };
    for (const Column& column : trays) {
        add(column.prefix, column.type, 1, L"", arc(column.prefix, 1));
        for (int i = 1; i <= 15; ++i)
            add(arc(column.prefix, i), column.type, 1,
                indexed(L"/mhdyn:MediaHandlingDyn/mhdyn:InputTray[", i - 1, column.leaf),
                i < 15 ? arc(column.prefix, i + 1) : kInvalidOID);
    }

    for (const char* oid : {"1.3.6.1.2.1.43.13.4.1.4.1.1", "1.3.6.1.4.1.11.2.3.9.4.2.1.4.1.2.26.0"})
        add(oid, BidiInteger, 0, L"/prdcfgcap:ProductConfigCap/prdcfgcap:ProductInformationCap/dd:PrintEnginePPM",
            kInvalidOID)
            .addAlternateXPath(
                L"/prdcfgcap2:ProductConfigCap/prdcfgcap2:ProductInformationCap/prdcfgcap:PrintEnginePPM");

    add("1.3.6.1.4.1.11.2.3.9.4.2.1.1.3.3.0", BidiText, 1, kConfigDyn + L"ProductInformation/dd:SerialNumber",
        kInvalidOID)
        .addAlternateXPath(kConfigDyn2 + L"ProductInformation/dd:SerialNumber");
    add("1.3.6.1.2.1.25.2.2.0", BidiInteger, 1, kConfigDyn + L"Memory/dd:TotalMemory", kInvalidOID)
        .addAlternateXPath(kConfigDyn2 + L"Memory/dd:TotalMemory");

    for (int arc13 = 13; arc13 <= 45; ++arc13)
        add("1.3.6.1.4.1.11.2.3.9.4.2.1.4.1.8.3." + std::to_string(arc13) + ".1.0", BidiText, 1,
            indexed(L"/mediacap:MediaCap/mediacap:MediaTypeSupport/dd:MediaType[", arc13 - 13, L""), kInvalidOID)
            .addAlternateXPath(indexed(L"/mediacap2:MediaCap/mediacap:MediaTypeSupport/dd:MediaType[", arc13 - 13, L""));

    for (int i = 1; i <= 15; ++i)
        add(arc("1.3.6.1.2.1.43.8.2.1.9.1", i), BidiInteger, 0,
            indexed(L"/mhcap:MediaHandlingCap/mhcap:InputTrayCap[", i - 1, L"/mhcap:MaxCapacitySupport/dd:MaxCapacity"),
            kInvalidOID)
            .addAlternateXPath(indexed(L"/mhcap2:MediaHandlingCap/mhcap2:InputTrayCap[", i - 1,
                                       L"/mhcap2:MaxCapacitySupport/dd:MaxCapacity"));
}

} // namespace MPrint
