// IPX/SPX addresses: resolution against ports listed under the monitor's
// key, the normaliser and socket-address builder as tables, and validation:
// without an IPX stack (Wine, like any current system) it fails and leaves
// the path alone; the success road runs through the probe seam.
#include "discovery/IPXSPXAddressDiscovery.h"

#include "destination/PrintPathAttr.h"
#include "discovery/DiscoveryClassIds.h"
#include "support/MachineRegistry.h"
#include "support/TestEnv.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

using MPrint::IPXSPXAddressDiscovery;
using MPrint::PrintPath;

namespace {

const std::wstring kPorts = IPXSPXAddressDiscovery::kPortsKey;

// Ports of the monitor for the test's scope. "7E57.2B" is a prefix of the
// malformed addresses too, so that their refusal is the grammar's doing.
class IpxPorts {
public:
    IpxPorts()
    {
        for (const wchar_t* port : {L"7E57.2B", L"123456789.1", L"7e57.00C0FFEE", L"7E57.1234567890123"})
            EXPECT_TRUE(registry_.createKey(kPorts + L"\\" + port));
    }

private:
    testenv::MachineRegistry registry_;
};

class ProbedDiscovery : public IPXSPXAddressDiscovery {
public:
    bool answer = true;
    std::vector<SOCKADDR_IPX> probes;

protected:
    bool probeDevice(const SOCKADDR_IPX& address) override
    {
        probes.push_back(address);
        return answer;
    }
};

} // namespace

TEST(IPXSPXAddressDiscoveryTest, ResolvesRegisteredWellFormedAddresses)
{
    IpxPorts ports;
    struct Row {
        const wchar_t* address;
        uint32_t code;
        const wchar_t* normalised;
        DWORD port;
    } rows[] = {
        {L"7E57.2B:1234", 0, L"00007E57.00000000002B", 1234},
        {L"7E57.2B", 0, L"00007E57.00000000002B", 16396},
        {L"7E57.00c0ffee:65535", 0, L"00007E57.000000c0ffee", 65535}, // the port's name in another case
        {L"1234.5678", 3, nullptr, 0},                                  // well formed, not a port
        {L"7E57.2B.3", 3, nullptr, 0},
        {L"7E57.2B\\x", 3, nullptr, 0},
        {L"7E57.2B/x", 3, nullptr, 0},
        {L"7E57.2BZZ", 3, nullptr, 0},           // non-hex digits made zeros once
        {L"123456789.1", 3, nullptr, 0},         // a network part of nine digits
        {L"7E57.1234567890123", 3, nullptr, 0},  // a node part of thirteen
        {L"7E57.2B:", 3, nullptr, 0},
        {L"7E57.2B:0", 3, nullptr, 0},
        {L"7E57.2B:65536", 3, nullptr, 0},
        {L"7E57.2B:12a", 3, nullptr, 0},
        {L"7E57.2B:1:2", 3, nullptr, 0},
    };
    IPXSPXAddressDiscovery service;
    MPrint::ResourceLoader loader(testenv::binDir() + L"\\vrelm102.DLL");
    service.Initialize(loader, nullptr);
    for (const Row& row : rows) {
        SCOPED_TRACE(testenv::narrow(row.address));
        PrintPathList list;
        ASSERT_EQ(service.Resolve(nullptr, row.address, L"Nick", L"Display", list), row.code);
        if (row.code != 0) {
            EXPECT_TRUE(list.empty());
            continue;
        }
        ASSERT_EQ(list.size(), 1u);
        const PrintPath& path = *list.front().get();
        EXPECT_EQ(path.getStringAttribute(PrintPathAttr::Address), row.address) << "kept as typed";
        EXPECT_EQ(path.getStringAttribute(PrintPathAttr::IPXSPXAddress), row.normalised);
        EXPECT_EQ(path.getNumericAttribute(PrintPathAttr::Port), row.port);
        EXPECT_EQ(path.getStringAttribute(PrintPathAttr::Nickname), L"Nick");
        EXPECT_EQ(path.getStringAttribute(PrintPathAttr::DisplayString), L"Display");
        EXPECT_EQ(path.getNumericAttribute(PrintPathAttr::ManuallyEntered), 1u);
        EXPECT_EQ(path.getStringAttribute(PrintPathAttr::PrinterInfo), std::wstring(L"Address: ") + row.address);
        GUID id = {};
        ASSERT_TRUE(path.getDiscoveryId(id));
        EXPECT_TRUE(IsEqualGUID(id, discoveryids::kIpxSpx));
        ASSERT_EQ(path.configuratorsEnd() - path.configuratorsBegin(), 1);
        EXPECT_TRUE(IsEqualGUID(*path.configuratorsBegin(), discoveryids::kIpxSpxConfigurator));
        ASSERT_EQ(path.featuresEnd() - path.featuresBegin(), 1);
        EXPECT_TRUE(IsEqualGUID(*path.featuresBegin(), discoveryids::kIpxSpxFeatureAccessor));
    }
}

TEST(IPXSPXAddressDiscoveryTest, NoPortsKeyResolvesNothing)
{
    IPXSPXAddressDiscovery service;
    PrintPathList list;
    EXPECT_FALSE(IPXSPXAddressDiscovery::isIpxPortRegistered(L"7E57.2B"));
    EXPECT_EQ(service.Resolve(nullptr, L"7E57.2B", L"", L"", list), 3u);
    EXPECT_EQ(service.GetSearchCapabilities(), 16u);
    EXPECT_EQ(service.Search(nullptr, nullptr, list, 8), 3u);
    EXPECT_TRUE(list.empty());
}

TEST(IPXSPXAddressDiscoveryTest, SocketAddressFromNormalisedText)
{
    struct Row {
        const wchar_t* text;
        DWORD socket;
        bool ok;
        unsigned char bytes[12]; // network (4), node (6), socket in wire order (2)
    } rows[] = {
        {L"0000001A.00000000002B", 0x400C, true, {0, 0, 0, 0x1A, 0, 0, 0, 0, 0, 0x2B, 0x40, 0x0C}},
        {L"a1b2c3d4.e5f6a7b8c9d0", 0x1234, true, {0xA1, 0xB2, 0xC3, 0xD4, 0xE5, 0xF6, 0xA7, 0xB8, 0xC9, 0xD0, 0x12, 0x34}},
        {L"0000001A.00000000002G", 1, false, {}},
        {L"0000001A-00000000002B", 1, false, {}},
        {L"000001A.00000000002B", 1, false, {}},
        {L"", 1, false, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testenv::narrow(row.text));
        SOCKADDR_IPX address;
        std::memset(&address, 0xBD, sizeof(address));
        ASSERT_EQ(IPXSPXAddressDiscovery::buildSocketAddress(row.text, row.socket, address), row.ok);
        if (!row.ok) {
            EXPECT_EQ(reinterpret_cast<unsigned char*>(&address)[0], 0xBD) << "untouched";
            continue;
        }
        EXPECT_EQ(address.sa_family, AF_IPX);
        EXPECT_EQ(std::memcmp(address.sa_netnum, row.bytes, 4), 0);
        EXPECT_EQ(std::memcmp(address.sa_nodenum, row.bytes + 4, 6), 0);
        EXPECT_EQ(std::memcmp(&address.sa_socket, row.bytes + 10, 2), 0) << "network byte order";
    }
}

TEST(IPXSPXAddressDiscoveryTest, ValidationWithoutAnIpxStackLeavesThePath)
{
    IPXSPXAddressDiscovery service;
    EXPECT_EQ(service.ValidateDevice(nullptr, nullptr), 3u);
    PrintPath path;
    path.setStringAttribute(PrintPathAttr::IPXSPXAddress, L"0000001A.00000000002B", true);
    path.setNumericAttribute(PrintPathAttr::Port, 0x400C, true);
    const size_t before = path.attributes().size();
    EXPECT_EQ(service.ValidateDevice(nullptr, &path), 2u);
    EXPECT_EQ(path.attributes().size(), before);
}

TEST(IPXSPXAddressDiscoveryTest, ValidationThroughTheProbe)
{
    struct Row {
        const char* why;
        const wchar_t* address;
        DWORD port;
        bool answer;
        uint32_t code;
        size_t probes;
    } rows[] = {
        {"reachable", L"0000001A.00000000002B", 1234, true, 0, 1},
        {"no answer", L"0000001A.00000000002B", 1234, false, 2, 1},
        {"no dot", L"0000001A00000000002B", 1234, true, 2, 0},
        {"a stored port beyond 16 bits", L"0000001A.00000000002B", 0x1400C, true, 2, 0},
        {"a stored address in no normalised form", L"1A.2B", 1234, true, 2, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.why);
        ProbedDiscovery service;
        service.answer = row.answer;
        PrintPath path;
        path.setStringAttribute(PrintPathAttr::IPXSPXAddress, row.address, true);
        path.setNumericAttribute(PrintPathAttr::Port, row.port, true);
        EXPECT_EQ(service.ValidateDevice(nullptr, &path), row.code);
        ASSERT_EQ(service.probes.size(), row.probes);
        if (row.code == 0) {
            EXPECT_EQ(path.getStringAttribute(PrintPathAttr::NetNum), L"0000001A");
            EXPECT_EQ(path.getStringAttribute(PrintPathAttr::HardwareAddress), L"00000000002B");
            EXPECT_EQ(service.probes[0].sa_socket, htons(1234));
        } else {
            EXPECT_TRUE(path.getStringAttribute(PrintPathAttr::NetNum).empty());
        }
    }
}
