#include "tickets/DeviceTicketFactory.h"
#include "tickets/DeviceTicketLEDM.h"
#include "tickets/DeviceTicketLELegacy.h"
#include "tickets/XMLTreeLibrary.h"

#include "support/DeviceDataStandIn.h"
#include "support/LedmDevice.h"

#include <gtest/gtest.h>

#include <memory>

using testenv::DeviceDataStandIn;
using testenv::LedmDevice;

namespace {

const wchar_t kModel[] = L"Vrelm Office MFP 4200 B\u00fcro \u2013 \u65e5\u672c";
const wchar_t kMakeAndModel[] = L"/prdcfgdyn:ProductConfigDyn/prdcfgdyn:ProductInformation/dd:MakeAndModel";
const wchar_t kMakeAndModel2[] = L"/prdcfgdyn2:ProductConfigDyn/prdcfgdyn:ProductInformation/dd:MakeAndModel";

// Counts the trees under the root, whatever their names.
template <typename Ticket>
class Counting : public Ticket {
public:
    DWORD trees()
    {
        DWORD count = 0;
        return this->countChildren(MPrint::DeviceTicket::treePath(L""), count) ? count : 0xFFFFFFFF;
    }
};

class DeviceTicketTest : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        DeviceDataStandIn& standIn = DeviceDataStandIn::shared();
        standIn.addHost(L"USB001", 2, L"mono-legacy");
        standIn.addHost(L"USB002", 1, L"office-ledm\\rev1");
    }
    DeviceDataStandIn& standIn() { return DeviceDataStandIn::shared(); }
};

TEST_F(DeviceTicketTest, TreeNamesFromPaths)
{
    struct Row {
        const char* name;
        bool ledm;
        const wchar_t* xpath;
        const wchar_t* tree; // null: no name
    };
    const Row rows[] = {
        {"first of two steps", true, L"/psdyn:ProductStatusDyn/psdyn:Status", L"psdyn:ProductStatusDyn"},
        {"deep path", false, L"/prdcfgdyn:ProductConfigDyn/a/b/c", L"prdcfgdyn:ProductConfigDyn"},
        {"list match", true, L"ProductConfig", L"ProductConfig"},
        {"list order decides", true, L"ProductStatus and MediaHandling", L"MediaHandling"},
        {"one step, legacy list", false, L"/PaperHandling", L"PaperHandling"},
        {"one step, no list name", false, L"/Nothing", nullptr},
        {"empty", true, L"", nullptr},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::unique_ptr<MPrint::DeviceTicket> ticket;
        if (row.ledm)
            ticket = std::make_unique<MPrint::DeviceTicketLEDM>();
        else
            ticket = std::make_unique<MPrint::DeviceTicketLELegacy>();
        std::wstring name = L"untouched";
        EXPECT_EQ(row.tree != nullptr, ticket->getTreeName(row.xpath, name));
        EXPECT_EQ(row.tree ? row.tree : L"untouched", name);
    }
}

TEST_F(DeviceTicketTest, LedmTicketFetchesTreesOnDemand)
{
    LedmDevice device;
    ASSERT_TRUE(device.started());
    Counting<MPrint::DeviceTicketLEDM> ticket;
    ASSERT_TRUE(ticket.open(device.host()));
    EXPECT_TRUE(ticket.ledmMode());

    // UTF-8 text with characters outside every single-byte code page.
    std::wstring text;
    EXPECT_TRUE(ticket.getValue(kMakeAndModel, text, true));
    EXPECT_EQ(kModel, text);
    EXPECT_TRUE(ticket.getValue(L"/prdcfgdyn:ProductConfigDyn/prdcfgdyn:Memory/dd:TotalMemory", text, true));
    EXPECT_EQ(L"524288", text);
    EXPECT_EQ(1u, device.count("/DevMgmt/ProductConfigDyn.xml")) << "a present tree answers";

    // A fresh read replaces the tree: one copy, from the kept body.
    EXPECT_TRUE(ticket.getValue(kMakeAndModel, text, false));
    EXPECT_EQ(1u, device.count("/DevMgmt/ProductConfigDyn.xml"));
    EXPECT_EQ(1u, ticket.trees());

    // Status is fetched from the device on every fresh read; kept trees once.
    const wchar_t status[] = L"/psdyn:ProductStatusDyn/psdyn:Status/dd:StatusCategory";
    const wchar_t media[] = L"/mediacap:MediaCap/mediacap:MediaTypeSupport/dd:MediaType[1]";
    for (int i = 0; i < 2; ++i) {
        EXPECT_TRUE(ticket.getValue(status, text, false));
        EXPECT_EQ(L"ready", text);
        EXPECT_TRUE(ticket.getValue(media, text, false));
        EXPECT_EQ(L"Letterhead", text);
    }
    EXPECT_EQ(2u, device.count("/DevMgmt/ProductStatusDyn.xml"));
    EXPECT_EQ(1u, device.count("/DevMgmt/MediaCap.xml"));
    EXPECT_EQ(3u, ticket.trees());

    DWORD count = 0;
    EXPECT_TRUE(ticket.getChildCount(L"/mhdyn:MediaHandlingDyn/mhdyn:InputTray[2]", count));
    EXPECT_EQ(2u, count);
    // A one-step path names no LEDM tree (the list match gives "MediaHandling").
    EXPECT_FALSE(ticket.getChildCount(L"/mhdyn:MediaHandlingDyn", count));
    EXPECT_FALSE(ticket.getValue(L"/pudyn:ProductUsageDyn/x", text, true)) << "a resource the device lacks";
    EXPECT_TRUE(standIn().calls("GetXMLTreeFromRootNodeName").empty()) << "LEDM mode never asks the module";
}

// A second-revision device read through a first-revision path: the fetched
// tree has another name, so it is not merged, and reads never pile it up.
TEST_F(DeviceTicketTest, RevisionTwoTreesAnswerOnlyUnderTheirOwnName)
{
    LedmDevice device(L"office-ledm", 2);
    ASSERT_TRUE(device.started());
    Counting<MPrint::DeviceTicketLEDM> ticket;
    ASSERT_TRUE(ticket.open(device.host()));
    std::wstring text;
    for (int i = 0; i < 3; ++i) {
        EXPECT_FALSE(ticket.getValue(kMakeAndModel, text, true));
        EXPECT_TRUE(ticket.getValue(kMakeAndModel2, text, true));
        EXPECT_EQ(L"Vrelm Office MFP 4300 B\u00fcro \u2013 \u65e5\u672c", text);
    }
    EXPECT_EQ(1u, ticket.trees());
    EXPECT_EQ(2u, device.count("/DevMgmt/ProductConfigDyn.xml")) << "once per table row";
}

TEST_F(DeviceTicketTest, LegacyTicketAsksTheModule)
{
    standIn().clearCalls();
    Counting<MPrint::DeviceTicketLELegacy> ticket;
    ASSERT_TRUE(ticket.open(L"USB001"));
    std::wstring text;
    EXPECT_TRUE(ticket.getValue(L"/ProductInformation/ProductName", text, true));
    EXPECT_EQ(L"Vrelm Mono Laser 300 B\u00fcro", text);
    EXPECT_TRUE(ticket.getValue(L"/ProductInformation/DuplexInstalled", text, true));
    EXPECT_EQ(L"1", text);
    EXPECT_EQ(1u, standIn().calls("GetXMLTreeFromRootNodeName").size()) << "a present tree answers";
    EXPECT_TRUE(ticket.getValue(L"/ProductInformation/ProductName", text, false));
    EXPECT_EQ(2u, standIn().calls("GetXMLTreeFromRootNodeName").size());
    EXPECT_EQ(1u, ticket.trees());

    DWORD count = 0;
    EXPECT_TRUE(ticket.getChildCount(L"/Phx/InstalledPersonalitiesSupport", count));
    EXPECT_EQ(2u, count);
    EXPECT_TRUE(ticket.getNodeName(L"/Phx/InstalledPersonalitiesSupport/*[1]", text));
    EXPECT_EQ(L"PS", text);

    // An unknown tree: the module is asked, fails, and its tree is released all the same.
    const size_t releases = standIn().calls("ReleaseTree").size();
    EXPECT_FALSE(ticket.getValue(L"/PMLTree/pdl[0]/version", text, true));
    EXPECT_EQ(releases + 1, standIn().calls("ReleaseTree").size());
    const std::vector<std::string> asked = standIn().calls("GetXMLTreeFromRootNodeName");
    EXPECT_EQ("GetXMLTreeFromRootNodeName\tUSB001\tPMLTree\t0", asked.back());

    // Written subtrees are read back through the same paths.
    EXPECT_TRUE(ticket.appendElement(L"", L"PMLTree"));
    EXPECT_TRUE(ticket.appendElement(L"/PMLTree", L"pdl"));
    EXPECT_TRUE(ticket.appendElement(L"/PMLTree/pdl[0]", L"version"));
    EXPECT_TRUE(ticket.setText(L"/PMLTree/pdl[0]/version", L"Version 5.00E"));
    EXPECT_TRUE(ticket.getValue(L"/PMLTree/pdl[0]/version", text, true));
    EXPECT_EQ(L"Version 5.00E", text);
    EXPECT_TRUE(ticket.removeNode(L"/PMLTree/pdl"));
    EXPECT_FALSE(ticket.getText(L"/PMLTree/pdl[0]/version", text));
}

TEST_F(DeviceTicketTest, FactoryPicksTheTicketForTheHost)
{
    LedmDevice device;
    ASSERT_TRUE(device.started());
    MPrint::DeviceTicket* untouched = reinterpret_cast<MPrint::DeviceTicket*>(0x1);
    MPrint::DeviceTicketFactory::create(L"", &untouched);
    EXPECT_EQ(reinterpret_cast<MPrint::DeviceTicket*>(0x1), untouched);
    MPrint::DeviceTicketFactory::create(device.host(), nullptr);

    struct Row {
        const char* name;
        std::wstring host;
        bool ledm;
        bool legacy;
    };
    const Row rows[] = {
        {"LEDM device at an address", device.host(), true, false},
        {"module says LEDM", L"USB002", true, false},
        {"module says legacy", L"USB001", false, true},
        {"unknown host", LedmDevice::unusedHost(), false, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        MPrint::DeviceTicket* made = nullptr;
        MPrint::DeviceTicketFactory::create(row.host, &made);
        std::unique_ptr<MPrint::DeviceTicket> ticket(made);
        ASSERT_NE(nullptr, ticket);
        EXPECT_EQ(row.ledm, dynamic_cast<MPrint::DeviceTicketLEDM*>(made) != nullptr);
        EXPECT_EQ(row.legacy, dynamic_cast<MPrint::DeviceTicketLELegacy*>(made) != nullptr);
    }

    // An LEDM device reached without HTTP reads its LEDM trees through the module.
    MPrint::DeviceTicketLEDM ticket;
    ASSERT_TRUE(ticket.open(L"USB002"));
    EXPECT_FALSE(ticket.ledmMode());
    std::wstring text;
    EXPECT_TRUE(ticket.getValue(kMakeAndModel, text, true));
    EXPECT_EQ(kModel, text);

    MPrint::DeviceTicketLELegacy unknown;
    EXPECT_FALSE(unknown.open(L"USB999")) << "the module does not know the host";
    EXPECT_FALSE(unknown.open(L""));
}

} // namespace
