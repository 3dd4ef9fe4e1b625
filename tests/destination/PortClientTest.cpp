// The port client against the stand-in monitors: the bytes each monitor
// receives (command record, PORT_DATA_1, the IPX/SPX record), the community
// chosen per queue or device, refused ports, and the name buffer's bound.
#include "destination/PortClient.h"

#include "access/MonitorAccess.h"
#include "destination/PrintPathAttr.h"
#include "shared/PortData1.h"
#include "support/TestEnv.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

const std::wstring kMonitors = L"SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\";
constexpr wchar_t kKeravin[] = L"QZ Keravin Print Monitor";

template <typename T>
T at(const std::vector<BYTE>& bytes, size_t offset)
{
    T value{};
    if (offset + sizeof(T) <= bytes.size())
        std::memcpy(&value, bytes.data() + offset, sizeof(T));
    return value;
}

std::wstring textAt(const std::vector<BYTE>& bytes, size_t offset, size_t chars)
{
    std::wstring text;
    for (size_t i = 0; i < chars && offset + 2 * i + 1 < bytes.size(); ++i) {
        const wchar_t c = at<wchar_t>(bytes, offset + 2 * i);
        if (!c)
            break;
        text += c;
    }
    return text;
}

// The last call of a command the monitor received from this process.
qzmon::ReceivedCall lastCall(const std::wstring& monitor, const std::wstring& command)
{
    qzmon::ReceivedCall found;
    for (const auto& call : qzmon::receivedCalls(monitor, GetCurrentProcessId()))
        if (call.command == command)
            found = call;
    return found;
}

std::wstring lookup(const std::wstring& name)
{
    return L"c-" + name;
}

class PortClientTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(qzmon::registerStandInMonitors()); }
    void TearDown() override
    {
        for (const std::wstring& key : created_)
            RegDeleteTreeW(HKEY_LOCAL_MACHINE, key.c_str());
    }
    std::wstring own(const std::wstring& text) const { return text + std::to_wstring(GetCurrentProcessId()); }
    std::wstring address(int last) const
    {
        return L"10.26." + std::to_wstring(GetCurrentProcessId() % 250) + L"." + std::to_wstring(last);
    }
    std::vector<std::wstring> created_;
};

TEST_F(PortClientTest, CommandRecordLayoutWithZeroedReservedBytes)
{
    const std::vector<BYTE> record = MPrint::PortClient::commandRecord(L"QZ UNC Port", L"\\\\s\\q");
    const size_t first = (11 + 1) * 2, second = (5 + 1) * 2;
    ASSERT_EQ(96 + first + second, record.size());
    EXPECT_EQ(record.size(), at<DWORD>(record, 0));
    EXPECT_EQ(3u, at<DWORD>(record, 4));
    EXPECT_EQ(96u, at<DWORD>(record, 8));
    EXPECT_EQ(96u + first, at<ULONGLONG>(record, 16));
    for (size_t i : {12, 13, 14, 15})
        EXPECT_EQ(0, record[i]) << i;
    for (size_t i = 24; i < 96; ++i)
        EXPECT_EQ(0, record[i]) << i;
    EXPECT_EQ(L"QZ UNC Port", textAt(record, 96, 64));
    EXPECT_EQ(L"\\\\s\\q", textAt(record, 96 + first, 64));

    const struct {
        DWORD attribute, port;
    } ports[] = {{0xFFFFFFFF, 9100}, {0, 9100}, {1, 9100}, {2, 9101}, {3, 9102}, {9105, 9105}};
    for (const auto& row : ports)
        EXPECT_EQ(row.port, MPrint::PortClient::portNumberFor(row.attribute)) << row.attribute;
}

TEST_F(PortClientTest, NewTcpIpPortsCarryTheQueuesCommunityAndPort)
{
    struct Row {
        const char* name;
        bool byAddress;
        std::wstring requested;
        DWORD portAttribute; // 0xFFFFFFFF: none
        std::wstring port;
        DWORD portNumber;
    } rows[] = {
        {"address, no port attribute", true, address(1), 0xFFFFFFFF, L"IP_" + address(1), 9100},
        {"address, port 3", true, address(2), 3, L"IP_" + address(2), 9102},
        {"address already named IP_", true, L"IP_" + address(3), 9105, L"IP_" + address(3), 9105},
        {"host name: the queue's community as well", false, own(L"host"), 2, L"HST_" + own(L"host"), 9101},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        created_.push_back(kMonitors + L"Standard TCP/IP Port\\Ports\\" + row.port);
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, created_.back().c_str());
        MPrint::PrintPath path;
        if (row.portAttribute != 0xFFFFFFFF)
            path.setNumericAttribute(PrintPathAttr::Port, row.portAttribute, true);
        MPrint::PortClient client(nullptr, row.requested, path, lookup);
        EXPECT_EQ(DWORD{ERROR_NOT_READY}, client.getError());
        const bool ensured = row.byAddress ? client.ensureTcpIpPort(L"Queue A") : client.ensureHostNamePort(L"Queue A");
        EXPECT_TRUE(ensured);
        EXPECT_EQ(row.port, client.getPortName());
        EXPECT_TRUE(client.wasPortCreated());
        const qzmon::ReceivedCall call = lastCall(L"Standard TCP/IP Port", L"AddPort");
        ASSERT_EQ(sizeof(PORT_DATA_1), call.input.size());
        EXPECT_EQ(row.port, textAt(call.input, 0, 64));
        EXPECT_EQ(row.requested, textAt(call.input, 144, 49));
        EXPECT_EQ(L"c-Queue A", textAt(call.input, 242, 33));
        EXPECT_EQ(row.byAddress ? row.requested : L"", textAt(call.input, 378, 16));
        EXPECT_EQ(row.portNumber, at<DWORD>(call.input, 952));
        EXPECT_EQ(1u, at<DWORD>(call.input, 956));
        EXPECT_EQ(1u, at<DWORD>(call.input, 960));
        for (size_t i = 410; i < 952; ++i)
            ASSERT_EQ(0, call.input[i]) << "reserved byte " << i;
    }
}

TEST_F(PortClientTest, ARefusedPortIsNoPort)
{
    // Both TCP/IP monitors refuse a TCP port above 65535: TRUE with a status.
    MPrint::PrintPath path;
    path.setNumericAttribute(PrintPathAttr::Port, 70000, true);
    MPrint::PortClient client(nullptr, address(9), path, lookup);
    EXPECT_FALSE(client.ensureTcpIpPort(L"Queue A"));
    EXPECT_FALSE(client.wasPortCreated());
    EXPECT_EQ(DWORD{ERROR_INVALID_PARAMETER}, client.getError());
    const auto refusal = lastCall(L"QZ Standard TCP/IP Port", L"AddPort");
    EXPECT_EQ(DWORD{ERROR_INVALID_PARAMETER}, refusal.status);

    // An address longer than its field is not cut into another one.
    MPrint::PrintPath plain;
    MPrint::PortClient longer(nullptr, L"fd00:1234:5678:9abc::" + std::to_wstring(GetCurrentProcessId()), plain);
    EXPECT_FALSE(longer.ensureTcpIpPort(L"Queue A"));
    EXPECT_EQ(DWORD{ERROR_INVALID_NAME}, longer.getError());
}

TEST_F(PortClientTest, IpxSpxFallsBackToTheAddressAndSendsItsRecord)
{
    const std::wstring hardware = L"00A0C9" + std::to_wstring(100000 + GetCurrentProcessId() % 800000);
    const std::wstring network = L"0000" + std::to_wstring(1000 + GetCurrentProcessId() % 9000) + L":" + hardware;
    created_.push_back(kMonitors + L"QZ Standard IPX/SPX Port\\Ports\\IPX_" + network);
    MPrint::PrintPath path;
    path.setStringAttribute(PrintPathAttr::HardwareAddress, hardware, true);
    path.setStringAttribute(PrintPathAttr::IPXSPXAddress, network, true);
    path.setStringAttribute(PrintPathAttr::NetNum, L"00001234", true);
    MPrint::Device device;
    device.setFriendlyName("Floor 3 Laser");
    path.setDevice(device, true);
    MPrint::PortClient client(nullptr, L"requested", path, lookup);
    ASSERT_TRUE(client.ensureIpxSpxPort(L"Queue A"));
    EXPECT_EQ(L"IPX_" + network, client.getPortName());
    EXPECT_TRUE(client.wasPortCreated());
    const qzmon::ReceivedCall call = lastCall(L"QZ Standard IPX/SPX Port", L"AddPort");
    ASSERT_EQ(1048u, call.input.size());
    EXPECT_EQ(L"IPX_" + network, textAt(call.input, 0, 64));
    EXPECT_EQ(1u, at<DWORD>(call.input, 128));
    EXPECT_EQ(3u, at<DWORD>(call.input, 132));
    EXPECT_EQ(1048u, at<DWORD>(call.input, 136));
    EXPECT_EQ(L"c-Floor 3 Laser", textAt(call.input, 242, 33));
    EXPECT_EQ(hardware, textAt(call.input, 410, 13));
    EXPECT_EQ(16396u, at<DWORD>(call.input, 952));
    EXPECT_EQ(L"00001234", textAt(call.input, 976, 9));
    EXPECT_EQ(hardware, textAt(call.input, 994, 22));
    EXPECT_EQ(90u, at<DWORD>(call.input, 1044));

    // The monitors' port search finds it the next time: no new port.
    MPrint::PortClient again(nullptr, L"requested", path, lookup);
    ASSERT_TRUE(again.ensureIpxSpxPort(L"Queue A"));
    EXPECT_EQ(L"IPX_" + network, again.getPortName());
    EXPECT_FALSE(again.wasPortCreated());
}

TEST_F(PortClientTest, KeravinPortsAreFoundOrAddedAndNamesStayBounded)
{
    const std::wstring server = own(L"pc");
    const std::wstring waypost = own(L"WP Test ");
    for (const std::wstring& name : {server + L" share", waypost}) {
        created_.push_back(kMonitors + kKeravin + L"\\Ports\\" + name);
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, created_.back().c_str());
    }
    created_.push_back(kMonitors + kKeravin + L"\\QZ UNC Port\\" + server + L" share");
    created_.push_back(kMonitors + kKeravin + L"\\QZ Waypost Port\\" + waypost);
    MPrint::PrintPath path;
    for (bool second : {false, true}) {
        SCOPED_TRACE(second ? "second" : "first");
        MPrint::PortClient unc(nullptr, L"\\\\" + server + L"\\share", path);
        EXPECT_TRUE(unc.ensureUncPort(L"Queue A"));
        EXPECT_EQ(server + L" share", unc.getPortName());
        EXPECT_EQ(!second, unc.wasPortCreated());
        MPrint::PortClient wp(nullptr, waypost, path);
        EXPECT_TRUE(wp.ensureWaypostPort());
        EXPECT_EQ(waypost, wp.getPortName());
        EXPECT_EQ(!second, wp.wasPortCreated());
    }
    const qzmon::ReceivedCall add = lastCall(kKeravin, L"AddNewWPPort");
    EXPECT_EQ(MPrint::PortClient::commandRecord(L"QZ Waypost Port", waypost), add.input);

    // A name longer than the buffer: cut to 127 characters and terminated.
    const std::wstring huge(300, L'n');
    MPrint::PortClient overlong(nullptr, huge, path);
    EXPECT_FALSE(overlong.ensureWaypostPort());
    EXPECT_EQ(127u, wcslen(overlong.getPortName()));
}

} // namespace
