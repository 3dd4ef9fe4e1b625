// A device-data tree as the device-data module or a device hands it over:
// merged into a legacy device ticket, then read the way the OID tables do
// (texts, child counts, element names, the PDL and tray records built from
// it).
#include "FuzzTarget.h"

#include "bidi/OIDPDLHelper.h"
#include "bidi/OIDTrayHelper.h"
#include "tickets/DeviceTicketLELegacy.h"

namespace {

class Ticket : public MPrint::DeviceTicketLELegacy {
public:
    bool take(const std::string& bytes, const std::wstring& root) { return mergeTree(bytes.c_str(), root); }
};

class DeviceTreeTarget : public fuzz::FuzzTarget {
public:
    void run(const std::string& input) override
    {
        Ticket ticket;
        if (!ticket.initialize() || !ticket.createDocument())
            return;
        for (const wchar_t* root : {L"Phx", L"PaperHandling", L"ProductInformation"})
            ticket.take(input, root);
        std::wstring text;
        ticket.getText(L"/ProductInformation/ProductName", text);
        MPrint::OIDPDLHelperImpl pdl(&ticket);
        if (pdl.collect())
            pdl.write();
        MPrint::OIDTrayHelperImpl trays(&ticket);
        if (trays.collect())
            trays.write();
    }

    std::vector<std::string> dictionary() const override
    {
        return {"<Phx>", "<InstalledPersonalitiesSupport>", "<PCL/>", "<PS/>", "<PCLXL/>", "<PDF/>",
                "<PaperHandling>", "<Tray1Size>", "<ManualFeed>", "<ProductInformation>", "<ProductName>",
                "encoding=\"UTF-8\"", "encoding=\"ISO-8859-1\"", "<!ENTITY a \"aaaaaaaa\">"};
    }
};

} // namespace

FUZZ_TARGET(DeviceTreeTarget, "device-tree", fuzz::InputShape::Xml);
