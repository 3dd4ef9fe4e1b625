// The print-path document: one golden text for a fully populated path, its
// round trip, and a table of small documents for the reader.
#include "destination/PrintPath.h"
#include "destination/PrintPathAttr.h"
#include "destination/PrintPathParser.h"
#include "support/TestEnv.h"

#include <gtest/gtest.h>

#include <memory>

using MPrint::PrintPath;

namespace {

const GUID kDiscovery = {0x0A0B0C0D, 0x0E0F, 0xABCD, {0x01, 0x02, 0xA3, 0xB4, 0xC5, 0xD6, 0xE7, 0xF8}};
const GUID kConfigurator = {0x11111111, 0x2222, 0x3333, {0x44, 0x44, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55}};
const GUID kFeature = {0x00000001, 0x0002, 0x0003, {0x00, 0x04, 0x00, 0x00, 0x00, 0x00, 0x00, 0x05}};

std::unique_ptr<PrintPath> populatedPath()
{
    auto path = std::make_unique<PrintPath>();
    MPrint::Device device("Model A & B", "Front <desk>");
    device.addPdl(PdlInfo(6, "PostScript", "3"));
    device.addPdl(PdlInfo(47, "PCL XL", "2.0"));
    path->setDevice(device, true);
    path->setDeviceConfigured(true);
    path->setDiscoveryId(kDiscovery);
    path->addConfiguratorId(kConfigurator);
    path->addFeatureId(kFeature);
    path->addFeatureId(kConfigurator);
    path->setStringAttribute(L"mDNSType", L"_pdl", true);
    path->setNumericAttribute(PrintPathAttr::Port, 9100, true);
    path->setStringAttribute(PrintPathAttr::Nickname, L"a<b&c \u00E9", true);
    path->setNumericAttribute(PrintPathAttr::NewlyDiscovered, 1, false);
    path->setNumericAttribute(PrintPathAttr::ChangeId, 0xFFFFFFFF, true);
    const BYTE blob[] = {0xFB, 0xEF, 0x00};
    path->setBinaryAttribute(L"Blob", blob, sizeof(blob), true);
    path->setStringAttribute(PrintPathAttr::DisplayString, L"Desk", true);
    path->setStringAttribute(PrintPathAttr::Address, L"10.0.0.5", true);
    return path;
}

const char kGolden[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?> <print-path>"
    "<device><model>Model A &amp; B</model><friendly-name>Front &lt;desk&gt;</friendly-name>"
    "<pdl><family>6</family><description>PostScript</description><version>3</version></pdl>"
    "<pdl><family>47</family><description>PCL XL</description><version>2.0</version></pdl>"
    "</device><device-configured>1</device-configured>"
    "<discovery>0a0b0c0d-0e0f-abcd-0102-a3b4c5d6e7f8</discovery>"
    "<configurator>11111111-2222-3333-4444-555555555555</configurator>"
    "<features>00000001-0002-0003-0004-000000000005</features>"
    "<features>11111111-2222-3333-4444-555555555555</features>"
    "<attributes>"
    "<attribute><name>Address</name><value-string>10.0.0.5</value-string></attribute>"
    "<attribute><name>Blob</name><value-binary size='3' encoding='base64'>++8A</value-binary></attribute>"
    "<attribute><name>ChangeId</name><value-numeric>4294967295</value-numeric></attribute>"
    "<attribute><name>DisplayString</name><value-string>Desk</value-string></attribute>"
    "<attribute><name>Nickname</name><value-string>a&lt;b&amp;c &#xe9;</value-string></attribute>"
    "<attribute><name>Port</name><value-numeric>9100</value-numeric></attribute>"
    "<attribute><name>mDNSType</name><value-string>_pdl</value-string></attribute>"
    "</attributes></print-path>";

TEST(PrintPathXmlTest, FullyPopulatedPathWritesTheGoldenDocument)
{
    std::string xml;
    PrintPath::toXml(*populatedPath(), xml, true);
    EXPECT_EQ(xml, kGolden);

    std::string bare;
    PrintPath::toXml(*populatedPath(), bare, false);
    EXPECT_EQ("<?xml version=\"1.0\" encoding=\"UTF-8\"?> " + bare, xml);
}

void expectSameContent(const PrintPath& read, const PrintPath& written)
{
    EXPECT_TRUE(read.isDevicePresent());
    EXPECT_FALSE(read.isDeviceConfigured()); // never configured when read
    const MPrint::Device& device = read.getDevice();
    EXPECT_EQ(device.getModelName(), written.getDevice().getModelName());
    EXPECT_EQ(device.getFriendlyName(), written.getDevice().getFriendlyName());
    ASSERT_EQ(device.pdlEnd() - device.pdlBegin(), 2);
    EXPECT_TRUE(**device.pdlBegin() == **written.getDevice().pdlBegin());
    EXPECT_EQ((*device.pdlBegin())->getMajorVersion(), 3);
    EXPECT_TRUE(*device.pdlBegin()[1] == *written.getDevice().pdlBegin()[1]);
    GUID id = {};
    read.getDiscoveryId(id);
    EXPECT_TRUE(IsEqualGUID(id, kDiscovery));
    ASSERT_EQ(read.configuratorsEnd() - read.configuratorsBegin(), 1);
    EXPECT_TRUE(IsEqualGUID(*read.configuratorsBegin(), kConfigurator));
    ASSERT_EQ(read.featuresEnd() - read.featuresBegin(), 2);
    EXPECT_TRUE(IsEqualGUID(read.featuresBegin()[1], kConfigurator));
    EXPECT_EQ(read.getStringAttribute(PrintPathAttr::Nickname), L"a<b&c \u00E9");
    EXPECT_EQ(read.getStringAttribute(PrintPathAttr::Address), L"10.0.0.5");
    EXPECT_EQ(read.getNumericAttribute(PrintPathAttr::Port), 9100u);
    EXPECT_EQ(read.getNumericAttribute(PrintPathAttr::ChangeId), 0xFFFFFFFFu);
    EXPECT_TRUE(read.attributes().at(PrintPathAttr::ChangeId).persist);
    EXPECT_EQ(read.attributes().count(PrintPathAttr::NewlyDiscovered), 0u);
    BYTE blob[4] = {};
    uint64_t size = sizeof(blob);
    EXPECT_TRUE(read.getBinaryAttribute(L"Blob", blob, size));
    EXPECT_EQ(size, 3u);
    EXPECT_EQ(blob[1], 0xEF);
    EXPECT_EQ(read.attributes().size(), 7u);
}

TEST(PrintPathXmlTest, GoldenDocumentReadsBackInBothForms)
{
    const std::unique_ptr<PrintPath> written = populatedPath();
    std::unique_ptr<PrintPath> fromNarrow(PrintPath::fromXml(std::string(kGolden)));
    ASSERT_TRUE(fromNarrow);
    expectSameContent(*fromNarrow, *written);
    // As the history stores it: wide text in the registry.
    std::unique_ptr<PrintPath> fromWide(PrintPath::fromXml(testenv::widen(kGolden)));
    ASSERT_TRUE(fromWide);
    expectSameContent(*fromWide, *written);
    // And written again, the same document minus the configured flag.
    std::string again;
    PrintPath::toXml(*fromNarrow, again, true);
    std::string expected = kGolden;
    expected.replace(expected.find("<device-configured>1"), 20, "<device-configured>0");
    EXPECT_EQ(again, expected);
}

TEST(PrintPathXmlTest, AbsentDeviceAndNoPersistedAttributes)
{
    PrintPath path;
    path.setNumericAttribute(PrintPathAttr::NewlyDiscovered, 1, false);
    path.setDeviceConfigured(true);
    std::string xml;
    PrintPath::toXml(path, xml, false);
    EXPECT_EQ(xml, "<print-path><device/><discovery>00000000-0000-0000-0000-000000000000</discovery>"
                   "<attributes></attributes></print-path>");
}

struct ReaderCase {
    const char* name;
    const char* body; // inside <print-path>
    bool devicePresent;
    const char* pdls;  // "family:description:version;" each
    const wchar_t* nickname;
};

std::string pdlSummary(const PrintPath& path)
{
    std::string out;
    for (auto it = path.getDevice().pdlBegin(); it != path.getDevice().pdlEnd(); ++it)
        out += std::to_string((*it)->getFamily()) + ":" + (*it)->getDescription() + ":" + (*it)->getVersion() + ";";
    return out;
}

TEST(PrintPathXmlTest, ReaderDocuments)
{
    const ReaderCase cases[] = {
        {"device without children", "<device></device><device-configured>1</device-configured>", false, "", L""},
        {"second pdl without family",
         "<device><pdl><family>6</family><description>PS</description><version>3</version></pdl>"
         "<pdl><description>PS2</description></pdl></device>",
         true, "6:PS:3;6:PS2:3;", L""},
        {"unknown elements",
         "<extra>1</extra><attributes><attribute><name>Nickname</name><unknown>u</unknown>"
         "<value-string>n</value-string></attribute></attributes>",
         false, "", L"n"},
        {"attribute without value", "<attributes><attribute><name>Nickname</name></attribute></attributes>", false,
         "", L""},
        {"element names in another case", "<DEVICE><Model>M</Model></DEVICE>", true, "", L""},
        {"model text carrying references", "<device><model>&#xe9;&lt;</model></device>", true, "", L""},
    };
    for (const ReaderCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::unique_ptr<PrintPath> path(
            PrintPath::fromXml(std::string("<print-path>") + c.body + "</print-path>"));
        ASSERT_TRUE(path);
        EXPECT_EQ(path->isDevicePresent(), c.devicePresent);
        EXPECT_FALSE(path->isDeviceConfigured());
        EXPECT_EQ(pdlSummary(*path), c.pdls);
        EXPECT_EQ(path->getStringAttribute(PrintPathAttr::Nickname), c.nickname);
    }
}

// Presence, model, friendly name and PDLs of the path's device.
std::string deviceSummary(const PrintPath& path)
{
    const MPrint::Device& device = path.getDevice();
    return std::string(path.isDevicePresent() ? "present" : "absent") + "|" + device.getModelName() + "|" +
           device.getFriendlyName() + "|" + pdlSummary(path);
}

std::string pdl(const char* family, const char* description, const char* version)
{
    return std::string("<pdl><family>") + family + "</family><description>" + description +
           "</description><version>" + version + "</version></pdl>";
}

// The writer puts one device in a document; other senders may put more. The
// reader's device is never cleared within a document: names are overwritten,
// PDL records gather, and each device end hands the target what has gathered
// so far.
TEST(PrintPathXmlTest, SeveralDeviceElements)
{
    const std::string ps = pdl("6", "PS", "3"), xl = pdl("47", "XL", "2.0"), pcl = pdl("3", "PCL", "5.0");
    const struct {
        const char* name;
        std::string body; // inside <print-path>
        const char* device;
    } cases[] = {
        {"later names, the PDLs of both",
         "<device><model>A</model><friendly-name>a</friendly-name>" + ps + "</device><device><model>B</model>" + xl +
             "</device>",
         "present|B|a|6:PS:3;47:XL:2.0;"},
        {"an empty device after one with PDLs", "<device><model>A</model>" + ps + "</device><device/>",
         "present|A||6:PS:3;"},
        {"a PDL after the last device", "<device><model>A</model>" + ps + "</device>" + pcl, "present|A||6:PS:3;"},
        {"a PDL between devices, then an empty device", "<device><model>A</model></device>" + pcl + "<device/>",
         "present|A||3:PCL:5.0;"},
        {"a PDL before any device, its family carried",
         "<pdl><family>3</family></pdl><device><pdl><description>PS</description></pdl></device>",
         "present|||3::;3:PS:;"},
        {"a device inside a device", "<device><model>A</model><device>" + ps + "</device>" + xl + "</device>",
         "present|A||6:PS:3;47:XL:2.0;"},
        {"empty devices only", "<device/><device></device>", "absent|||"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::unique_ptr<PrintPath> path(PrintPath::fromXml("<print-path>" + c.body + "</print-path>"));
        ASSERT_TRUE(path);
        EXPECT_EQ(deviceSummary(*path), c.device);
    }

    std::string many = "<print-path>", expected = "present|M99||";
    for (int n = 0; n < 100; ++n) {
        const std::string family = std::to_string(n);
        many += "<device><model>M" + family + "</model>" + pdl(family.c_str(), "D", "1.0") + "</device>";
        expected += family + ":D:1.0;";
    }
    std::unique_ptr<PrintPath> path(PrintPath::fromXml(many + "</print-path>"));
    ASSERT_TRUE(path);
    EXPECT_EQ(deviceSummary(*path), expected);
}

// A parser kept for several documents carries its device from one to the
// next until reset, and overwrites whatever the caller did to the target's
// device in between.
TEST(PrintPathXmlTest, ReusedParserCarriesItsDeviceAcrossDocuments)
{
    const std::string twoDevices = "<print-path><device><model>A</model>" + pdl("6", "PS", "3") + "</device><device>" +
                                   pdl("47", "XL", "2.0") + "</device></print-path>";
    PrintPath target;
    MPrint::PrintPathParser parser(&target);
    ASSERT_TRUE(parser.parse(twoDevices));
    EXPECT_EQ(deviceSummary(target), "present|A||6:PS:3;47:XL:2.0;");

    MPrint::Device replaced("X", "x");
    replaced.addPdl(PdlInfo(1, "Other", "1"));
    target.setDevice(replaced, false);
    ASSERT_TRUE(parser.parse(twoDevices));
    EXPECT_EQ(deviceSummary(target), "present|A||6:PS:3;47:XL:2.0;6:PS:3;47:XL:2.0;");

    // Rejected after one device end: the target keeps what that end gave it.
    target.setDevice(replaced, false);
    EXPECT_FALSE(parser.parse("<print-path><device>" + pdl("3", "PCL", "5.0") + "</device><device>" +
                              pdl("5", "PJL", "1") + "</device><model>A & B</model></print-path>"));
    EXPECT_EQ(deviceSummary(target), "present|A||6:PS:3;47:XL:2.0;6:PS:3;47:XL:2.0;3:PCL:5.0;5:PJL:1;");

    // A file read starts afresh.
    testenv::TempDir dir;
    ASSERT_TRUE(testenv::writeFile(dir.file(L"path.xml"), twoDevices));
    ASSERT_TRUE(parser.parseFile(dir.file(L"path.xml")));
    EXPECT_EQ(deviceSummary(target), "present|A||6:PS:3;47:XL:2.0;");
}

TEST(PrintPathXmlTest, RejectedDocumentsGiveNoPath)
{
    const char* cases[] = {
        "",
        "<print-path><device>",
        // What an unescaping writer produced: the entry could never be read.
        "<print-path><device><model>A & B</model></device></print-path>",
        "<print-path><attributes><attribute><name>N</name><value-string>\x01</value-string>"
        "</attribute></attributes></print-path>",
    };
    for (const char* document : cases)
        EXPECT_EQ(PrintPath::fromXml(std::string(document)), nullptr) << document;
    EXPECT_EQ(PrintPath::fromXml(std::wstring()), nullptr);
}

TEST(PrintPathXmlTest, DeviceTextsRoundTripThroughTheAnsiCodePage)
{
    // Device texts are narrow ANSI strings: a character above 127 goes out
    // as a reference and comes back as the same ANSI byte.
    char ansi[2] = {};
    BOOL lossy = FALSE;
    if (!WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, L"\u00E9", 1, ansi, 1, nullptr, &lossy) || lossy)
        GTEST_SKIP() << "the ANSI code page has no e acute";
    PrintPath path;
    path.setDevice(MPrint::Device(std::string("Caf") + ansi[0], "x"), true);
    std::string xml;
    PrintPath::toXml(path, xml, true);
    EXPECT_NE(xml.find("<model>Caf&#xe9;</model>"), std::string::npos);
    std::unique_ptr<PrintPath> read(PrintPath::fromXml(xml));
    ASSERT_TRUE(read);
    EXPECT_EQ(read->getDevice().getModelName(), std::string("Caf") + ansi[0]);
    // An entry stored as wide text by an older writer, with the character raw.
    std::unique_ptr<PrintPath> older(PrintPath::fromXml(
        std::wstring(L"<?xml version=\"1.0\" encoding=\"UTF-8\"?> <print-path><device><model>Caf\u00E9</model>"
                     L"</device></print-path>")));
    ASSERT_TRUE(older);
    EXPECT_EQ(older->getDevice().getModelName(), std::string("Caf") + ansi[0]);
}

} // namespace
