// Job-control-ticket features: the word tables, the stored text forms and
// reading the fixture tickets (bin/jct, shared with the module stand-in),
// the malformed ones included; the ticket's size bound; the device
// description readers.
#include "tickets/JCTBooleanFeature.h"
#include "tickets/JCTImageAdjustments.h"
#include "tickets/JCTOptionsFeature.h"
#include "tickets/JCTTicket.h"
#include "tickets/JCTWords.h"
#include "tickets/JCTXMLWrapper.h"
#include "support/JobTicketModuleStandIn.h"
#include "support/TestEnv.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace {

using testenv::JobTicketModuleStandIn;

struct LoadedTicket {
    MPrint::JCTTicket ticket;
    bool loaded = false;
    explicit LoadedTicket(const std::wstring& file) { loaded = ticket.initialize() && ticket.loadFile(file.c_str()); }
};

std::wstring valueOf(JCTFeature& feature)
{
    std::wstring text = L"<none>";
    feature.getValue(text);
    return text;
}

// Every feature of a queue, made afresh.
std::vector<std::unique_ptr<JCTFeature>> allFeatures()
{
    std::vector<std::unique_ptr<JCTFeature>> features;
    features.push_back(std::make_unique<JCTMediaSize>());
    features.push_back(std::make_unique<JCTMediaType>());
    features.push_back(std::make_unique<JCTChromalign>());
    features.push_back(std::make_unique<JCTJPEGArtifactReduction>());
    features.push_back(std::make_unique<JCTJPEGPassthrough>());
    features.push_back(std::make_unique<JCTPNGPassthrough>());
    features.push_back(std::make_unique<JCTImageIdentification>());
    features.push_back(std::make_unique<JCTPNGTransparency>());
    features.push_back(std::make_unique<JCTOutputBinOrientation>());
    features.push_back(std::make_unique<JCTDuplexOrientation>());
    features.push_back(std::make_unique<JCTImageAdjustments>());
    return features;
}

TEST(JCTWords, BothDirectionsOfEveryTable)
{
    using jct::WordTable;
    struct Row {
        WordTable table;
        const wchar_t* word;
        int value;
    };
    const Row rows[] = {
        {WordTable::Level, L"disabled", 0}, {WordTable::Level, L"higher3", 7}, {WordTable::Level, L"invalid", 9},
        {WordTable::Enable, L"enabled", 0}, {WordTable::Enable, L"disabled", 1}, {WordTable::Location, L"none", 2},
        {WordTable::Orientation, L"FaceDown", 1}, {WordTable::Boolean, L"true", 1}, {WordTable::Boolean, L"false", 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testenv::narrow(row.word));
        EXPECT_EQ(jct::valueOfWord(row.table, row.word), row.value);
        EXPECT_EQ(jct::wordOfValue(row.table, row.value), row.word);
    }
    EXPECT_EQ(jct::valueOfWord(WordTable::Boolean, L"1"), 1);
    EXPECT_EQ(jct::valueOfWord(WordTable::Boolean, L"0"), 0);
    EXPECT_EQ(jct::wordOfValue(WordTable::Boolean, -1), L"maybe");
    const struct {
        WordTable table;
        int other;
    } others[] = {{WordTable::Level, 10}, {WordTable::Enable, 2}, {WordTable::Location, 3},
                  {WordTable::Orientation, 2}, {WordTable::Boolean, -1}};
    for (const auto& other : others) {
        EXPECT_EQ(jct::valueOfWord(other.table, L"Enabled"), other.other) << "words match in their own case";
        EXPECT_EQ(jct::wordOfValue(other.table, other.other == -1 ? 2 : other.other), L"");
    }
}

TEST(JCTFeatures, OptionListsKeepTheirOrderAndAlwaysOfferTheRequiredOptions)
{
    struct Row {
        const char* name;
        std::function<std::unique_ptr<JCTOptionsFeature>()> make;
        const wchar_t* text;
        bool ok;
        const wchar_t* stored;  // getValue afterwards; null: fails
        const wchar_t* current;
    };
    const Row rows[] = {
        {"two sizes", [] { return std::make_unique<JCTMediaSize>(); }, L"iso_a5_148x210mm;custom", true,
         L"iso_a5_148x210mm;custom;na_letter_8.5x11in;iso_a4_210x297mm", L"iso_a5_148x210mm"},
        {"a required size is not repeated", [] { return std::make_unique<JCTMediaSize>(); },
         L"iso_a4_210x297mm;", true, L"iso_a4_210x297mm;na_letter_8.5x11in", L"iso_a4_210x297mm"},
        {"types", [] { return std::make_unique<JCTMediaType>(); }, L"plain;bond", true, L"plain;bond;auto",
         L"plain"},
        {"empty text", [] { return std::make_unique<JCTMediaType>(); }, L"", false, nullptr, L""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        auto feature = row.make();
        EXPECT_EQ(feature->setValue(row.text), row.ok);
        EXPECT_EQ(feature->isValid(), row.ok);
        EXPECT_EQ(feature->getCurrentValue(), row.current);
        EXPECT_EQ(valueOf(*feature), row.stored ? row.stored : L"<none>");
        EXPECT_EQ(feature->getState(), -1);
    }
    JCTMediaSize sizes;
    ASSERT_TRUE(sizes.setDefaults());
    std::vector<std::wstring> options;
    ASSERT_TRUE(sizes.getOptions(options));
    ASSERT_EQ(options.size(), 24u);
    EXPECT_EQ(options.front(), L"na_letter_8.5x11in");
    EXPECT_EQ(options.back(), L"custom");
    JCTMediaType types;
    ASSERT_TRUE(types.setDefaults());
    ASSERT_TRUE(types.getOptions(options));
    EXPECT_EQ(options.size(), 30u);
}

TEST(JCTFeatures, TwoValuedFeaturesKeepTheirValueWhenGivenNothing)
{
    JCTOutputBinOrientation bin;
    EXPECT_FALSE(bin.isValid());
    EXPECT_EQ(bin.getRawValue(), L"FaceDown");
    EXPECT_TRUE(bin.setDefaults());
    EXPECT_EQ(valueOf(bin), L"FaceDown");
    EXPECT_EQ(bin.getTriState(), 0);
    EXPECT_TRUE(bin.setValue(L"FaceUp"));
    EXPECT_EQ(bin.getTriState(), 1);
    EXPECT_FALSE(bin.setValue(L""));
    EXPECT_FALSE(bin.isValid());
    EXPECT_EQ(bin.getRawValue(), L"FaceUp");
    EXPECT_EQ(valueOf(bin), L"<none>");

    JCTChromalign chromalign;
    EXPECT_FALSE(chromalign.setDefaults()) << "no default value";
    EXPECT_TRUE(chromalign.setValue(L"sideways"));
    EXPECT_EQ(chromalign.getTriState(), -1);
    JCTPNGTransparency transparency;
    EXPECT_TRUE(transparency.setValue(L"host"));
    EXPECT_EQ(transparency.getTriState(), 0);
}

TEST(JCTFeatures, ImageAdjustmentTextForms)
{
    const std::wstring full = L"Contrast:high ShadowDetail:lower Sharpening:middle Smoothing:disabled "
                              L"Focusync:higher3 RedEye:true PetEye:false";
    struct Row {
        const char* name;
        std::wstring entry;
        bool parses;
        bool hasSettings;
        const wchar_t* text;  // entry text afterwards when it parses
    };
    const Row rows[] = {
        {"full", L"photo(device)(" + full + L")", true, true, nullptr},
        {"no settings group", L"text(host)", true, false, L"text(host)()"},
        {"empty settings group", L"text(none)()", true, false, L"text(none)()"},
        {"location no word", L"photo(printer)(" + full + L")", false, false, nullptr},
        {"no location", L"photo", false, false, nullptr},
        {"missing PetEye", L"photo(host)(Contrast:high ShadowDetail:lower Sharpening:middle Smoothing:disabled "
                           L"Focusync:higher3 RedEye:true)",
         true, false, L"photo(host)()"},
        {"odd number of parts", L"photo(host)(Contrast:high ShadowDetail)", true, false, L"photo(host)()"},
        {"numbers as booleans", L"photo(host)(Contrast:low ShadowDetail:low Sharpening:low Smoothing:low "
                                L"Focusync:low RedEye:1 PetEye:0 Extra:ignored)",
         true, true,
         L"photo(host)(Contrast:low ShadowDetail:low Sharpening:low Smoothing:low Focusync:low RedEye:true "
         L"PetEye:false)"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        DataDictionary::ImageAdjustment entry;
        ASSERT_EQ(entry.parseEntry(row.entry), row.parses);
        if (!row.parses)
            continue;
        EXPECT_EQ(entry.hasSettings, row.hasSettings);
        EXPECT_EQ(entry.entryText(), row.text ? std::wstring(row.text) : row.entry);
    }

    JCTImageAdjustments adjustments;
    const std::wstring list = L"[photo(device)(" + full + L")][bad][text(host)()][photo(host)()]";
    EXPECT_TRUE(adjustments.setValue(list));
    ASSERT_EQ(adjustments.getAdjustments().size(), 3u);
    EXPECT_EQ(valueOf(adjustments), L"[photo(device)(" + full + L")][text(host)()][photo(host)()]");
    ASSERT_NE(adjustments.findAdjustment(L"photo"), nullptr);
    EXPECT_EQ(adjustments.findAdjustment(L"photo")->location, 1) << "the last entry of the type";
    EXPECT_EQ(adjustments.findAdjustment(L"scan"), nullptr);
    EXPECT_TRUE(adjustments.setDefaults());
    EXPECT_EQ(valueOf(adjustments), L"");
    EXPECT_TRUE(adjustments.isValid());
}

TEST(JCTFeatures, EveryFeatureReadsTheOfficeTicket)
{
    LoadedTicket office(JobTicketModuleStandIn::ticket(L"office.xml"));
    ASSERT_TRUE(office.loaded);
    const std::map<std::wstring, std::wstring>& expected = JobTicketModuleStandIn::officeValues();
    for (auto& feature : allFeatures()) {
        std::wstring name;
        ASSERT_TRUE(feature->getName(name));
        SCOPED_TRACE(testenv::narrow(name));
        EXPECT_TRUE(feature->read(&office.ticket));
        EXPECT_EQ(feature->getState(), 1);
        EXPECT_EQ(valueOf(*feature), expected.at(name));
    }
}

// Tickets that say something else than the features expect: each feature
// that cannot read fails alone, empty, without a crash.
TEST(JCTFeatures, MalformedTicketsFailFeatureByFeature)
{
    struct Row {
        const wchar_t* file;
        const wchar_t* feature;
        bool read;
        const wchar_t* value;  // afterwards
    };
    const Row rows[] = {
        {L"unknown-option.xml", L"MediaSize", false, L"<none>"},      // default not among the options
        {L"unknown-option.xml", L"Chromalign", false, L"<none>"},     // "sometimes"
        {L"unknown-option.xml", L"OutputBinOrientation", false, L"<none>"},
        {L"missing-feature.xml", L"MediaType", false, L"<none>"},
        {L"missing-feature.xml", L"MediaSize", true, L"na_letter_8.5x11in"},
        {L"short-default.xml", L"MediaSize", false, L"<none>"},       // the default one level up
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testenv::narrow(row.file) + " " + testenv::narrow(row.feature));
        LoadedTicket loaded(JobTicketModuleStandIn::ticket(row.file));
        ASSERT_TRUE(loaded.loaded);
        for (auto& feature : allFeatures()) {
            std::wstring name;
            feature->getName(name);
            if (name != row.feature)
                continue;
            EXPECT_EQ(feature->read(&loaded.ticket), row.read);
            EXPECT_EQ(feature->getState(), row.read ? 1 : 0);
            EXPECT_EQ(valueOf(*feature), row.value);
        }
    }
    // The short form is read by the features made for it.
    LoadedTicket shortForm(JobTicketModuleStandIn::ticket(L"short-default.xml"));
    JCTMediaSize size(L"/dd:MediaSizeID");
    JCTMediaType type(L"/dd:MediaTypeID");
    EXPECT_TRUE(size.read(&shortForm.ticket));
    EXPECT_EQ(valueOf(size), L"na_legal_8.5x14in;custom");
    EXPECT_TRUE(type.read(&shortForm.ticket));
    EXPECT_EQ(valueOf(type), L"cardstock");

    // "none" is an answer that changes nothing; no answer is a failure that changes nothing either.
    LoadedTicket none(JobTicketModuleStandIn::ticket(L"missing-feature.xml"));
    JCTPNGTransparency transparency;
    ASSERT_TRUE(transparency.setValue(L"host"));
    EXPECT_TRUE(transparency.read(&none.ticket));
    EXPECT_EQ(transparency.getState(), -1);
    EXPECT_EQ(valueOf(transparency), L"host");
    LoadedTicket office(JobTicketModuleStandIn::ticket(L"short-default.xml"));
    EXPECT_FALSE(transparency.read(&office.ticket));
    EXPECT_EQ(transparency.getState(), -1);
    EXPECT_TRUE(transparency.isValid());
    EXPECT_FALSE(transparency.read(nullptr));
}

// A feature of more children than a queue could offer is refused whole, in
// bounded time, rather than read position by position.
TEST(JCTFeatures, HugeOptionListIsRefused)
{
    testenv::TempDir dir;
    for (const unsigned options : {200u, JCTOptionsFeature::kMaxChildren + 500}) {
        SCOPED_TRACE(options);
        std::string xml = "<Capabilities xmlns:media=\"urn:m\" xmlns:dd=\"urn:d\"><Task><Values>"
                          "<Feature feature-Type=\"media:MediaType\"><Default><media:MediaType><dd:MediaTypeID>"
                          "t0</dd:MediaTypeID></media:MediaType></Default>";
        for (unsigned i = 0; i < options; ++i)
            xml += "<Option><media:MediaType><dd:MediaTypeID>t" + std::to_string(i) +
                   "</dd:MediaTypeID></media:MediaType></Option>";
        xml += "</Feature></Values></Task></Capabilities>";
        ASSERT_TRUE(testenv::writeFile(dir.file(L"huge.xml"), xml));
        LoadedTicket huge(dir.file(L"huge.xml"));
        ASSERT_TRUE(huge.loaded);
        JCTMediaType type;
        const bool fits = options < JCTOptionsFeature::kMaxChildren;
        EXPECT_EQ(type.read(&huge.ticket), fits);
        std::vector<std::wstring> read;
        EXPECT_EQ(type.getOptions(read), fits);
        EXPECT_EQ(read.size(), fits ? options : 0u);
    }
}

TEST(JCTTicket, FileMustFitTheReadBufferAndParse)
{
    testenv::TempDir dir;
    const std::string head = "<Capabilities><Task>fits</Task><!--";
    const std::string tail = "--></Capabilities>";
    struct Row {
        const char* name;
        size_t size;  // whole file; 0: no file
        bool loads;
    };
    const Row rows[] = {
        {"largest that fits", MPrint::JCTTicket::kMaxTicketBytes, true},
        {"one byte more", MPrint::JCTTicket::kMaxTicketBytes + 1, false},
        {"far larger", 3 * MPrint::JCTTicket::kMaxTicketBytes, false},
        {"no file", 0, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const std::wstring file = dir.file(L"ticket.xml");
        DeleteFileW(file.c_str());
        if (row.size) {
            ASSERT_TRUE(testenv::writeFile(file, head + std::string(row.size - head.size() - tail.size(), 'x') + tail));
        }
        MPrint::JCTTicket ticket;
        ASSERT_TRUE(ticket.initialize());
        EXPECT_EQ(ticket.loadFile(file.c_str()), row.loads);
        std::wstring text;
        EXPECT_EQ(ticket.getValue(L"/Capabilities/Task", text, false), row.loads);
    }
    MPrint::JCTTicket ticket;
    ASSERT_TRUE(ticket.initialize());
    ASSERT_TRUE(testenv::writeFile(dir.file(L"text.xml"), "not xml at all <"));
    EXPECT_FALSE(ticket.loadFile(dir.file(L"text.xml").c_str()));
    EXPECT_FALSE(ticket.loadFile(L""));
    EXPECT_FALSE(ticket.loadStream(nullptr));
}

TEST(JCTXMLWrapper, DeviceDescriptionReaders)
{
    const std::wstring device = JobTicketModuleStandIn::ticket(L"device.xml");
    ChromalignXMLWrapper chromalign;
    EXPECT_TRUE(chromalign.read(device.c_str()));
    EXPECT_EQ(chromalign.chromalign, L"enabled");
    EXPECT_EQ(chromalign.pngTransparency, L"host");
    EXPECT_EQ(chromalign.jpegPassthrough, L"") << "\"maybe\" is no enable word";
    EXPECT_EQ(chromalign.imageIdentification, L"");
    EXPECT_EQ(chromalign.imageAdjustments, L"[photo(host)()]");
    DuplexOrientationXMLWrapper duplex;
    EXPECT_TRUE(duplex.read(device.c_str()));
    EXPECT_EQ(duplex.orientation, L"FaceUp");
    OutputBinOrientationXMLWrapper bin;
    EXPECT_FALSE(bin.read(device.c_str()));
    EXPECT_EQ(bin.orientation, L"");

    testenv::TempDir dir;
    ASSERT_TRUE(testenv::writeFile(dir.file(L"broken.xml"), "<device><other>"));
    EXPECT_FALSE(chromalign.read(dir.file(L"broken.xml").c_str()));
    EXPECT_FALSE(duplex.read(L"Z:\\no\\such\\file.xml"));
}

} // namespace
