// Local ports: the serial and parallel grammars and Resolve as one table,
// plug-and-play ports resolved through the spooler stand-in with their
// models from the device enumeration, Search over fixture device-map values
// and spooler ports (Bluetooth left out, cancel, flags), and validation.
#include "discovery/LocalPortDiscovery.h"

#include "destination/PrintPathAttr.h"
#include "discovery/DiscoveryClassIds.h"
#include "support/MachineRegistry.h"
#include "support/ResultWindow.h"
#include "support/TestEnv.h"
#include "support/TestSpooler.h"

#include <gtest/gtest.h>

#include <string>

using MPrint::LocalPortDiscovery;
using MPrint::PrintPath;

namespace {

const std::wstring kPid = std::to_wstring(GetCurrentProcessId());
const std::wstring kEnum = LocalPortDiscovery::kEnumKey;

// Device-map values, spooler ports and device-enumeration keys of this
// process: a USB port with a described device, a DOT4 port whose device has
// no description, a Bluetooth port, a parallel port with a device.
class LocalPortFixture {
public:
    const std::wstring usb = L"USB" + kPid;
    const std::wstring dot4 = L"DOT4_" + kPid;
    const std::wstring bluetooth = L"BTH" + kPid;
    const std::wstring monitor = L"Vrelm Test PnP Monitor " + kPid;

    LocalPortFixture()
    {
        const SpoolerControlApi* spooler = testspool::control();
        EXPECT_NE(spooler, nullptr);
        if (spooler) {
            EXPECT_EQ(spooler->addMonitor(monitor.c_str(), L"usbmon.dll"), DWORD{ERROR_SUCCESS});
            for (const std::wstring& port : {usb, dot4, bluetooth})
                EXPECT_EQ(spooler->addPort(monitor.c_str(), port.c_str()), DWORD{ERROR_SUCCESS});
        }
        const std::wstring serial = L"\\Device\\VrelmSerial" + kPid;
        const std::wstring parallel = L"\\Device\\VrelmParallel" + kPid;
        EXPECT_TRUE(registry_.setString(LocalPortDiscovery::kSerialMap, serial + L"a", L"COM7"));
        EXPECT_TRUE(registry_.setString(LocalPortDiscovery::kSerialMap, serial + L"b", L"COM0"));
        EXPECT_TRUE(registry_.setString(LocalPortDiscovery::kParallelMap, parallel + L"a", L"\\DosDevices\\LPT8"));
        EXPECT_TRUE(registry_.setString(LocalPortDiscovery::kParallelMap, parallel + L"b", L"LPT9.2"));
        EXPECT_TRUE(registry_.setString(LocalPortDiscovery::kParallelMap, parallel + L"c", L"LPT9.4"));

        const std::wstring usbDevice = kEnum + L"\\USBPRINT\\QZ_Laser_" + kPid + L"\\7&1";
        EXPECT_TRUE(registry_.setString(usbDevice, L"DeviceDesc", L"QZ Laser 5 " + kPid));
        EXPECT_TRUE(registry_.setString(usbDevice + L"\\Device Parameters", L"PortName", usb));
        const std::wstring otherUsb = kEnum + L"\\USBPRINT\\QZ_Other_" + kPid + L"\\1";
        EXPECT_TRUE(registry_.setString(otherUsb + L"\\Device Parameters", L"PortName", usb + L"0"));
        EXPECT_TRUE(registry_.setString(kEnum + L"\\DOT4PRT\\QZ_Ink_Tank_" + kPid + L"\\1\\Device Parameters",
                                        L"PortName", dot4));
        const std::wstring lptDevice = kEnum + L"\\LPTENUM\\QZ_Dot_" + kPid + L"\\0";
        EXPECT_TRUE(registry_.setString(lptDevice, L"DeviceDesc", L"Dot Matrix " + kPid));
        EXPECT_TRUE(registry_.setString(lptDevice + L"\\Device Parameters", L"PortName", L"LPT8"));
    }
    ~LocalPortFixture()
    {
        if (const SpoolerControlApi* spooler = testspool::control())
            spooler->removeMonitor(monitor.c_str());
    }

private:
    testenv::MachineRegistry registry_;
};

const PrintPath* announced(const testenv::ResultWindow& window, const std::wstring& address)
{
    for (const auto& path : window.results())
        if (path->getStringAttribute(PrintPathAttr::Address) == address)
            return path.get();
    return nullptr;
}

class LocalPortDiscoveryTest : public ::testing::Test {
protected:
    void SetUp() override { service_.Initialize(loader_, nullptr); }

    const MPrint::ResourceLoader loader_{testenv::binDir() + L"\\vrelm102.DLL"};
    LocalPortDiscovery service_;
};

} // namespace

TEST_F(LocalPortDiscoveryTest, ResolvesTypedPortNames)
{
    LocalPortFixture fixture;
    const std::wstring usbModel = L"QZ Laser 5 " + kPid;
    struct Row {
        std::wstring address;
        std::wstring display;
        std::wstring name;          // "Address" and "LocalPort"
        std::wstring shown;         // "DisplayString"
        DWORD type;
        DWORD port;                 // "Port", 0xFFFFFFFF when absent
        DWORD subPort;
        std::wstring model;
    } rows[] = {
        {L"com3", L"", L"COM3:", L"COM3:", 1, 3, 0xFFFFFFFF, L""},
        // A display argument that only repeats the address gives the canonical name.
        {L"COM12:", L"com12:", L"COM12:", L"COM12:", 1, 12, 0xFFFFFFFF, L""},
        {L"COM3", L"Desk printer", L"COM3:", L"Desk printer", 1, 3, 0xFFFFFFFF, L""},
        {L"LPT1.2", L"", L"LPT1.2:", L"LPT1.2:", 2, 1, 2, L""},
        {L"lpt1.0", L"", L"LPT1:", L"LPT1:", 2, 1, 0xFFFFFFFF, L""},
        {L"\\DosDevices\\LPT8", L"", L"LPT8:", L"LPT8:", 2, 8, 0xFFFFFFFF, L"Dot Matrix " + kPid},
        {fixture.usb, L"", fixture.usb, fixture.usb, 3, 0xFFFFFFFF, 0xFFFFFFFF, usbModel},
        {L"usb" + kPid, L"", fixture.usb, fixture.usb, 3, 0xFFFFFFFF, 0xFFFFFFFF, usbModel},
        {fixture.dot4, L"", fixture.dot4, fixture.dot4, 5, 0xFFFFFFFF, 0xFFFFFFFF, L"QZ Ink Tank " + kPid},
    };
    // Host names that begin like port names ("LPT1printer") are left to the
    // network services.
    const std::wstring refused[] = {L"COM0",      L"COM",       L"LPT",     L"LPT1.4",
                                    L"LPT1printer", L"com1-host", L"COM123456", fixture.bluetooth,
                                    L"USB",       L"USB999999" /* no such spooler port */};
    for (const std::wstring& address : refused) {
        SCOPED_TRACE(testenv::narrow(address));
        PrintPathList list;
        EXPECT_EQ(service_.Resolve(nullptr, address, L"Nick", L"", list), 3u);
        EXPECT_TRUE(list.empty());
    }
    for (const Row& row : rows) {
        SCOPED_TRACE(testenv::narrow(row.address));
        PrintPathList list;
        ASSERT_EQ(service_.Resolve(nullptr, row.address, L"Nick", row.display, list), 0u);
        ASSERT_EQ(list.size(), 1u);
        const PrintPath& path = *list.front().get();
        EXPECT_EQ(path.getStringAttribute(PrintPathAttr::Address), row.name);
        EXPECT_EQ(path.getStringAttribute(PrintPathAttr::LocalPort), row.name);
        EXPECT_EQ(path.getStringAttribute(PrintPathAttr::DisplayString), row.shown);
        EXPECT_EQ(path.getNumericAttribute(PrintPathAttr::LocalPortType), row.type);
        EXPECT_EQ(path.getNumericAttribute(PrintPathAttr::Port), row.port);
        EXPECT_EQ(path.getNumericAttribute(PrintPathAttr::SubPort), row.subPort);
        EXPECT_EQ(path.getStringAttribute(PrintPathAttr::DynamicPort), row.type >= 3 ? row.name : L"");
        EXPECT_EQ(path.getNumericAttribute(PrintPathAttr::ManuallyEntered), 1u);
        EXPECT_EQ(path.getStringAttribute(PrintPathAttr::Nickname), L"Nick");
        EXPECT_EQ(path.getStringAttribute(PrintPathAttr::RegMdlName), row.model);
        EXPECT_EQ(path.isDevicePresent(), !row.model.empty());
        EXPECT_EQ(path.isDeviceConfigured(), !row.model.empty());
        EXPECT_EQ(path.getDevice().getModelName(), testenv::narrow(row.model));
        const std::wstring info = row.model.empty() ? L"Address: " + row.name
                                                    : L"Model: " + row.model + L"\nAddress: " + row.name;
        EXPECT_EQ(path.getStringAttribute(PrintPathAttr::PrinterInfo), info);
        GUID id = {};
        ASSERT_TRUE(path.getDiscoveryId(id));
        EXPECT_TRUE(IsEqualGUID(id, discoveryids::kLocalPorts));
        ASSERT_EQ(path.configuratorsEnd() - path.configuratorsBegin(), 1);
        EXPECT_TRUE(IsEqualGUID(*path.configuratorsBegin(), discoveryids::kLocalPortConfigurator));
        ASSERT_EQ(path.featuresEnd() - path.featuresBegin(), 1);
        EXPECT_TRUE(IsEqualGUID(*path.featuresBegin(), discoveryids::kLocalPortFeatureAccessor));
    }
}

TEST_F(LocalPortDiscoveryTest, SearchAnnouncesMappedAndPlugAndPlayPorts)
{
    LocalPortFixture fixture;
    EXPECT_EQ(service_.GetSearchCapabilities(), 16u);
    testenv::ResultWindow window;
    ASSERT_NE(window.handle(), nullptr);
    PrintPathList list;
    EXPECT_EQ(service_.Search(window.handle(), nullptr, list, 40), 3u) << "not on a worker thread";
    EXPECT_EQ(service_.Search(window.handle(), nullptr, list, 16), 3u);
    EXPECT_TRUE(list.empty());

    ASSERT_EQ(service_.Search(window.handle(), nullptr, list, 8), 0u);
    EXPECT_EQ(list.size(), window.results().size());
    struct Row {
        std::wstring address;
        DWORD type;
        std::wstring model;
    } rows[] = {
        {L"COM7:", 1, L""},
        {L"LPT8:", 2, L"Dot Matrix " + kPid},
        {L"LPT9.2:", 2, L""},
        {fixture.usb, 3, L"QZ Laser 5 " + kPid},
        {fixture.dot4, 5, L"QZ Ink Tank " + kPid},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testenv::narrow(row.address));
        const PrintPath* path = announced(window, row.address);
        ASSERT_NE(path, nullptr);
        EXPECT_EQ(path->getNumericAttribute(PrintPathAttr::LocalPortType), row.type);
        EXPECT_EQ(path->getNumericAttribute(PrintPathAttr::ManuallyEntered), 0u);
        EXPECT_EQ(path->getStringAttribute(PrintPathAttr::RegMdlName), row.model);
        // From the model: a blank after two characters unless it carries "QZ ".
        const std::wstring nickname = row.model.empty() || row.model.find(L"QZ ") == 0
                                          ? row.model
                                          : row.model.substr(0, 2) + L" " + row.model.substr(2);
        EXPECT_EQ(path->getStringAttribute(PrintPathAttr::Nickname), nickname);
    }
    EXPECT_EQ(announced(window, fixture.bluetooth), nullptr) << "no port can be made of a Bluetooth printer";
    EXPECT_EQ(announced(window, L"COM0:"), nullptr);
    EXPECT_EQ(announced(window, L"LPT9.4:"), nullptr);

    testenv::ResultWindow cancelling;
    cancelling.onResult([&](const PrintPath&) { service_.RequestCancel(); });
    PrintPathList partial;
    EXPECT_EQ(service_.Search(cancelling.handle(), nullptr, partial, 8), 5u);
    EXPECT_EQ(cancelling.results().size(), 1u) << "nothing announced after the cancel";
    EXPECT_EQ(partial.size(), 1u);
}

TEST_F(LocalPortDiscoveryTest, ValidatesPortsTheSpoolerLists)
{
    LocalPortFixture fixture;
    struct Row {
        std::wstring address;
        uint32_t code;
    } rows[] = {
        {fixture.usb, 0},
        {L"LPT1:", 0},          // one of the spooler's own ports
        {L"COM99:", 0},         // a serial name passes without a port
        {L"LPT77:", 2},
        {fixture.usb + L"9", 2},
        {L"", 3},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testenv::narrow(row.address));
        PrintPath path;
        if (!row.address.empty())
            path.setStringAttribute(PrintPathAttr::Address, row.address, true);
        EXPECT_EQ(service_.ValidateDevice(nullptr, &path), row.code);
    }
    EXPECT_EQ(service_.ValidateDevice(nullptr, nullptr), 3u);
}
