// The SAX parser base through a recording subclass: element lookup, value
// conversion by type, reuse of one parser, decoding by the document's
// declaration, hostile documents and files.
#include "core/COMWrapper.h"
#include "core/MSSAXParser.h"
#include "core/SaxReaderScope.h"
#include "support/TestEnv.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

using MPrint::MSSAXParser;
using MPrint::SaxElementEntry;

namespace {

const SaxElementEntry kTable[] = {
    {L"root", 1, MPrint::SaxContainer}, {L"text", 2, MPrint::SaxString},   {L"number", 3, MPrint::SaxNumber},
    {L"short", 4, MPrint::SaxShort},    {L"blob", 5, MPrint::SaxBinary},   {L"flag", 6, MPrint::SaxBool},
    {L"id", 7, MPrint::SaxGuid},        {L"group", 8, MPrint::SaxContainer}, {nullptr, 0, 0},
};

// Records every handler call as "kind:id:name=value".
class Recorder : public MSSAXParser {
public:
    Recorder() : MSSAXParser(kTable, 99) {}
    std::vector<std::wstring> calls;

protected:
    void add(const wchar_t* kind, const LevelData& level, const std::wstring& value)
    {
        calls.push_back(std::wstring(kind) + L":" + std::to_wstring(level.elementId) + L":" + level.name + L"=" +
                        value);
    }
    void onStringValue(const LevelData& l, const std::wstring& v) override { add(L"string", l, v); }
    void onNumberValue(const LevelData& l, DWORD v) override { add(L"number", l, std::to_wstring(v)); }
    void onShortValue(const LevelData& l, WORD v) override { add(L"short", l, std::to_wstring(v)); }
    void onBinaryValue(const LevelData& l, const std::wstring& v) override { add(L"binary", l, v); }
    void onContainerEnd(const LevelData& l, const std::wstring& v) override { add(L"container", l, v); }
    void onBoolValue(const LevelData& l, bool v) override { add(L"bool", l, v ? L"true" : L"false"); }
    void onGuidValue(const LevelData& l, const GUID& v) override
    {
        wchar_t text[40];
        StringFromGUID2(v, text, 40);
        add(L"guid", l, text);
    }
    void onOtherValue(const LevelData& l, const std::wstring& v) override { add(L"other", l, v); }
};

TEST(MSSAXParserTest, ElementsReachTheirTypedHandlers)
{
    Recorder parser;
    ASSERT_TRUE(parser.parse("<ROOT>a<Text>x &amp; y</Text><number>12abc</number><number/>"
                             "<short>70000</short><blob>AAE=</blob><flag>Enabled</flag>"
                             "<id>12345678-9abc-def0-1234-56789abcdef0</id><unknown>u</unknown>"
                             "<group><text>in</text>tail</group>after</ROOT>"));
    const std::vector<std::wstring> expected = {
        L"string:2:Text=x & y",
        L"number:3:number=12",
        L"number:3:number=0",
        L"short:4:short=4464",
        L"binary:5:blob=AAE=",
        L"bool:6:flag=true",
        L"guid:7:id={12345678-9ABC-DEF0-1234-56789ABCDEF0}",
        L"other:99:unknown=u",
        L"string:2:text=in",
        L"container:8:group=tail",
        L"container:1:ROOT=after", // only the text after the last child
    };
    EXPECT_EQ(parser.calls, expected);
    EXPECT_EQ(parser.getDocumentElementId(), 1u);
}

TEST(MSSAXParserTest, OneParserParsesAgain)
{
    Recorder parser;
    ASSERT_TRUE(parser.parse("<root><text>first</text></root>"));
    parser.calls.clear();
    ASSERT_TRUE(parser.parse("<root><text>second</text></root>"));
    EXPECT_EQ(parser.calls, (std::vector<std::wstring>{L"string:2:text=second", L"container:1:root="}));
    // A rejected document does not spoil the next parse.
    EXPECT_FALSE(parser.parse("<root><text>broken</root>"));
    parser.calls.clear();
    ASSERT_TRUE(parser.parse("<other/>"));
    EXPECT_EQ(parser.calls, (std::vector<std::wstring>{L"other:99:other="}));
    EXPECT_EQ(parser.getDocumentElementId(), 99u);
}

TEST(MSSAXParserTest, TextIsDecodedAsTheDocumentDeclares)
{
    struct Case {
        const char* name;
        std::string document;
    };
    const Case cases[] = {
        {"no declaration means UTF-8", "<text>\xC3\xA9</text>"},
        {"UTF-8", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<text>\xC3\xA9</text>"},
        {"utf-8 in single quotes", "<?xml version='1.0' encoding='utf-8'?><text>\xC3\xA9</text>"},
        {"byte-order mark", "\xEF\xBB\xBF<text>\xC3\xA9</text>"},
        {"ISO-8859-1", "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><text>\xE9</text>"},
        {"windows-1252", "<?xml version=\"1.0\" encoding=\"windows-1252\"?><text>\xE9</text>"},
        {"reference", "<text>&#xe9;</text>"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Recorder parser;
        EXPECT_TRUE(parser.parse(c.document));
        EXPECT_EQ(parser.calls, std::vector<std::wstring>{L"string:2:text=\u00E9"});
    }
}

TEST(MSSAXParserTest, HostileDocumentsAreRejected)
{
    const char* cases[] = {
        "",
        "<text>\xE9</text>", // not UTF-8, and nothing declares otherwise
        "<root><text>unclosed</root>",
        "<!DOCTYPE text [<!ENTITY e \"x\">]><text>&e;</text>",
        "<!DOCTYPE text [<!ENTITY e SYSTEM \"file:///c:/windows/win.ini\">]><text>&e;</text>",
    };
    for (const char* document : cases) {
        SCOPED_TRACE(document);
        Recorder parser;
        EXPECT_FALSE(parser.parse(document));
        EXPECT_TRUE(std::none_of(parser.calls.begin(), parser.calls.end(),
                                 [](const std::wstring& call) { return call.find(L"x") != std::wstring::npos; }));
    }
}

TEST(MSSAXParserTest, BooleanTexts)
{
    const struct {
        const wchar_t* text;
        bool value;
    } cases[] = {
        {L"Enabled", true}, {L"TRUE", true},   {L"1", true},       {L"2", true},  {L"disabled", false},
        {L"False", false},  {L"0", false},     {L"No", false},     {L"yes", false}, {L"", false},
        {L"-3", true},      {L"truex", false},
    };
    Recorder parser;
    for (const auto& c : cases)
        EXPECT_EQ(parser.parseBool(c.text), c.value) << testenv::narrow(c.text);
}

TEST(MSSAXParserTest, GuidTexts)
{
    const GUID expected = {0x12345678, 0x9abc, 0xdef0, {0x12, 0x34, 0x56, 0x78, 0x9a, 0xbc, 0xde, 0xf0}};
    const GUID zero = {};
    const struct {
        const wchar_t* text;
        const GUID& value;
    } cases[] = {
        {L"12345678-9abc-def0-1234-56789abcdef0", expected},
        {L"12345678-9ABC-DEF0-1234-56789ABCDEF0", expected},
        {L"{12345678-9abc-def0-1234-56789abcdef0}", zero},
        {L"12345678-9abc-def0-1234", zero},
        {L"", zero},
        {L"not a guid", zero},
    };
    Recorder parser;
    for (const auto& c : cases)
        EXPECT_TRUE(IsEqualGUID(parser.parseGuid(c.text), c.value)) << testenv::narrow(c.text);
}

TEST(MSSAXParserTest, Utf8ToSingleByte)
{
    EXPECT_EQ(MSSAXParser::utf8ToSingleByte("caf\xC3\xA9"), "caf\xE9");
    EXPECT_EQ(MSSAXParser::utf8ToSingleByte("plain"), "plain");
    EXPECT_EQ(MSSAXParser::utf8ToSingleByte("end\xC3"), "end\xC3"); // no read past the end
    EXPECT_EQ(MSSAXParser::utf8ToSingleByte(""), "");
}

class MSSAXParserFileTest : public ::testing::Test {
protected:
    std::wstring write(const std::string& bytes)
    {
        const std::wstring path = dir_.file(L"doc.xml");
        HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD written = 0;
        WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
        CloseHandle(file);
        return path;
    }
    testenv::TempDir dir_;
};

TEST_F(MSSAXParserFileTest, FileOfExactlyOneBlockAndEmptyFile)
{
    std::string document = "<text>";
    document += std::string(512 - document.size() - 7, 'a');
    document += "</text>";
    ASSERT_EQ(document.size(), 512u);
    Recorder parser;
    EXPECT_TRUE(parser.parseFile(write(document)));
    ASSERT_EQ(parser.calls.size(), 1u);
    EXPECT_EQ(parser.calls[0].size(), std::wstring(L"string:2:text=").size() + 499);

    parser.calls.clear();
    EXPECT_TRUE(parser.parseFile(write("")));
    EXPECT_TRUE(parser.calls.empty());
}

TEST_F(MSSAXParserFileTest, FileLockedByAWriterIsReadOnceReleased)
{
    const std::wstring path = write("<text>\xC3\xA9</text>");
    HANDLE locked = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(locked, INVALID_HANDLE_VALUE);
    std::thread releaser([locked] {
        Sleep(300); // the parser retries every 100 ms
        CloseHandle(locked);
    });
    Recorder parser;
    EXPECT_TRUE(parser.parseFile(path));
    releaser.join();
    EXPECT_EQ(parser.calls, std::vector<std::wstring>{L"string:2:text=\u00E9"});
}

TEST(MSSAXParserComTest, ParserBalancesTheThreadsComInitialisation)
{
    std::thread([] {
        {
            Recorder parser;
            ASSERT_TRUE(parser.parse("<text>x</text>"));
            ASSERT_TRUE(parser.parse("<text>y</text>"));
        }
        // Uninitialised again: a multithreaded probe succeeds.
        const HRESULT probe = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        EXPECT_EQ(probe, S_OK);
        CoUninitialize();
        {
            Recorder neverParsed; // must not uninitialise anything
        }
        ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
        {
            Recorder inMta; // uses the caller's apartment
            EXPECT_TRUE(inMta.parse("<text>z</text>"));
        }
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_FALSE); // still ours
        CoUninitialize();
        CoUninitialize();
    }).join();
}

// Parses the document named by its text element from inside the handler.
class NestingRecorder : public Recorder {
protected:
    void onStringValue(const LevelData& l, const std::wstring& v) override
    {
        Recorder::onStringValue(l, v);
        Recorder inner;
        nestedParsed = inner.parse("<text>inner</text>") && inner.calls.size() == 1;
    }

public:
    bool nestedParsed = false;
};

TEST(MSSAXParserComTest, ScopeSetsUpComOnceForEveryParseInside)
{
    std::thread([] {
        const auto apartmentIsOurs = [] {
            const HRESULT probe = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
            if (SUCCEEDED(probe))
                CoUninitialize();
            return probe == RPC_E_CHANGED_MODE;
        };
        {
            MPrint::SaxReaderScope scope;
            for (const char* document : {"<text>a</text>", "<text>b</text>"}) {
                Recorder parser;
                ASSERT_TRUE(parser.parse(document));
                EXPECT_EQ(parser.calls.size(), 1u);
            }
            // Both parsers are gone; the scope keeps the apartment for the next.
            EXPECT_TRUE(apartmentIsOurs());
            // A parse started from inside a parse cannot share the lent reader.
            NestingRecorder outer;
            EXPECT_TRUE(outer.parse("<root><text>outer</text></root>"));
            EXPECT_TRUE(outer.nestedParsed);
            EXPECT_FALSE(outer.parse("<root><text>unclosed</root>"));
            Recorder afterFailure;
            EXPECT_TRUE(afterFailure.parse("<text>c</text>"));
        }
        EXPECT_FALSE(apartmentIsOurs()); // undone with the scope
    }).join();
}

// Without a scope, a thread whose COM the module holds keeps one reader for
// every parse; a parse from inside a parse, or one that fails, does not
// hand its reader on; the reader goes with the initialisation it relies on.
TEST(MSSAXParserComTest, ThreadWhereTheModuleHoldsComKeepsOneReader)
{
    std::thread([] {
        const auto kept = [] { return getThreadCOMWrapper(__FILE__, __LINE__)->kept(); };
        {
            Recorder parser;
            ASSERT_TRUE(parser.parse("<text>no module COM</text>"));
        }
        EXPECT_EQ(kept(), nullptr) << "nothing kept without the module's own initialisation";

        ASSERT_EQ(getThreadCOMWrapper(__FILE__, __LINE__)->initialize(), S_OK);
        ASSERT_EQ(getThreadCOMWrapper(__FILE__, __LINE__)->initialize(), S_FALSE);
        const DWORD depth = getThreadCOMWrapper(__FILE__, __LINE__)->depth();
        {
            Recorder parser;
            ASSERT_TRUE(parser.parse("<text>a</text>"));
        }
        IUnknown* first = kept();
        ASSERT_NE(first, nullptr);
        {
            Recorder parser;
            ASSERT_TRUE(parser.parse("<text>b</text>"));
            EXPECT_EQ(parser.calls, std::vector<std::wstring>{L"string:2:text=b"});
        }
        EXPECT_EQ(kept(), first) << "the same reader again";
        EXPECT_EQ(getThreadCOMWrapper(__FILE__, __LINE__)->depth(), depth) << "no initialisation per parse";

        NestingRecorder outer;
        EXPECT_TRUE(outer.parse("<root><text>outer</text></root>"));
        EXPECT_TRUE(outer.nestedParsed);
        EXPECT_EQ(outer.calls, (std::vector<std::wstring>{L"string:2:text=outer", L"container:1:root="}));
        EXPECT_NE(kept(), nullptr);

        {
            Recorder broken;
            EXPECT_FALSE(broken.parse("<root><text>unclosed</root>"));
        }
        EXPECT_EQ(kept(), nullptr) << "a reader whose parse failed is not kept";
        {
            Recorder parser;
            EXPECT_TRUE(parser.parse("<text>c</text>"));
            EXPECT_EQ(parser.calls.size(), 1u);
        }
        EXPECT_NE(kept(), nullptr);

        // Kept under the inner initialisation: it goes when that one does.
        getThreadCOMWrapper(__FILE__, __LINE__)->uninitialize();
        EXPECT_EQ(kept(), nullptr);
        getThreadCOMWrapper(__FILE__, __LINE__)->uninitialize();
    }).join();
}

TEST(MSSAXParserComTest, QueryInterfaceAnswersTheHandlerInterfaces)
{
    Recorder parser;
    IUnknown* unknown = nullptr;
    ASSERT_EQ(parser.QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown)), S_OK);
    ISAXContentHandler* handler = nullptr;
    ASSERT_EQ(parser.QueryInterface(__uuidof(ISAXContentHandler), reinterpret_cast<void**>(&handler)), S_OK);
    EXPECT_EQ(handler, static_cast<ISAXContentHandler*>(&parser));
    void* other = &parser;
    EXPECT_EQ(parser.QueryInterface(__uuidof(ISAXXMLReader), &other), E_NOINTERFACE);
    EXPECT_EQ(other, nullptr);
    EXPECT_EQ(parser.QueryInterface(IID_IUnknown, nullptr), E_POINTER);
    EXPECT_EQ(unknown->Release(), 2u);
    EXPECT_EQ(handler->Release(), 1u);
}

} // namespace
