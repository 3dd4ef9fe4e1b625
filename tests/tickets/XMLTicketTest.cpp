#include "tickets/XMLTicket.h"

#include "core/COMWrapper.h"
#include "support/TestEnv.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

// The smallest concrete ticket: reads are plain root-context texts.
class PlainTicket : public MPrint::XMLTicket {
public:
    ~PlainTicket() { close(); }
    bool getFirstValue(const std::vector<std::wstring>& xpaths, std::wstring& text, bool useCached) override
    {
        for (const std::wstring& xpath : xpaths)
            if (getValue(xpath, text, useCached))
                return true;
        return false;
    }
    bool getValue(const std::wstring& xpath, std::wstring& text, bool) override { return getText(xpath, text); }
    bool getChildCount(const std::wstring& xpath, DWORD& count) override { return countChildren(xpath, count); }
    using XMLTicket::document;
};

const wchar_t kDevice[] = L"<dev><a>one</a><b><c>x</c><c>y</c></b></dev>";

TEST(XMLTicket, LoadReplacesOrMergesUnderTheRoot)
{
    struct Row {
        const char* name;
        bool loadFirst;
        const wchar_t* text;
        bool merge;
        bool result;
        const wchar_t* probe; // an XPath read afterwards
        const wchar_t* expected; // null: not found
    };
    const Row rows[] = {
        {"replace", true, L"<r><q>1</q></r>", false, true, L"/r/q", L"1"},
        {"malformed replace keeps the old root", true, L"<r><q>", false, false, L"a", L"one"},
        {"merge appends under the root", true, L"<m><n>2</n></m>", true, true, L"/dev/m/n", L"2"},
        {"merge with no root", false, L"<m/>", true, false, L"/m", nullptr},
        {"empty text", true, L"", false, false, L"a", L"one"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        PlainTicket ticket;
        ASSERT_TRUE(ticket.initialize());
        if (row.loadFirst) {
            ASSERT_TRUE(ticket.loadXML(kDevice, false));
        }
        EXPECT_EQ(row.result, ticket.loadXML(row.text, row.merge));
        std::wstring text = L"untouched";
        EXPECT_EQ(row.expected != nullptr, ticket.getText(row.probe, text));
        EXPECT_EQ(row.expected ? row.expected : L"untouched", text);
    }
}

TEST(XMLTicket, ReadsAreRootRelativeExistsIsDocumentRelative)
{
    PlainTicket ticket;
    ASSERT_TRUE(ticket.initialize());
    ASSERT_TRUE(ticket.loadXML(kDevice, false));
    std::wstring text;
    EXPECT_TRUE(ticket.getText(L"a", text));
    EXPECT_EQ(L"one", text);
    EXPECT_FALSE(ticket.exists(L"a"));
    EXPECT_TRUE(ticket.exists(L"/dev/a"));
    DWORD count = 0;
    EXPECT_TRUE(ticket.getChildCount(L"/dev/b", count));
    EXPECT_EQ(2u, count);
    // Index predicates count from 0 in the document's default selection language.
    EXPECT_TRUE(ticket.getText(L"/dev/b/c[1]", text));
    EXPECT_EQ(L"y", text);
    EXPECT_TRUE(ticket.getNodeName(L"/dev/b/*[0]", text));
    EXPECT_EQ(L"c", text);
    EXPECT_FALSE(ticket.getText(L"/dev/missing", text));
    EXPECT_FALSE(ticket.getText(L"", text));
}

TEST(XMLTicket, EditsAndRemovals)
{
    PlainTicket ticket;
    ASSERT_TRUE(ticket.initialize());
    ASSERT_TRUE(ticket.loadXML(kDevice, false));
    std::wstring text;
    EXPECT_FALSE(ticket.setText(L"/dev/a", L""));
    EXPECT_TRUE(ticket.getText(L"/dev/a", text));
    EXPECT_EQ(L"one", text) << "an empty text changes nothing";

    EXPECT_TRUE(ticket.appendElement(L"/dev", L"new"));
    EXPECT_TRUE(ticket.setText(L"/dev/new", L"\u00e9t\u00e9 \u65e5"));
    EXPECT_TRUE(ticket.getText(L"/dev/new", text));
    EXPECT_EQ(L"\u00e9t\u00e9 \u65e5", text);
    EXPECT_FALSE(ticket.appendElement(L"/dev/none", L"x"));
    EXPECT_FALSE(ticket.appendElement(L"/dev", L""));

    EXPECT_TRUE(ticket.removeByName(L"dev/b"));
    EXPECT_FALSE(ticket.exists(L"/dev/b"));
    EXPECT_TRUE(ticket.removeNode(L"/dev/a"));
    EXPECT_FALSE(ticket.removeNode(L"/dev/a"));
}

// Device answers arrive as bytes: whatever they declare must survive.
TEST(XMLTicket, LoadTextDecodesTheBytesAsDeclared)
{
    struct Row {
        const char* name;
        std::string bytes;
        const wchar_t* expected;
    };
    const Row rows[] = {
        {"UTF-8 declared", "<?xml version=\"1.0\" encoding=\"UTF-8\"?><d><m>Caf\xc3\xa9 \xe6\x97\xa5\xe6\x9c\xac</m></d>",
         L"Caf\u00e9 \u65e5\u672c"},
        {"UTF-8 undeclared", "<d><m>\xe2\x82\xac \xd0\x96</m></d>", L"\u20ac \u0416"},
        {"UTF-8 with byte-order mark", "\xef\xbb\xbf<d><m>\xc3\xbc</m></d>", L"\u00fc"},
        {"ISO-8859-1 declared", "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><d><m>\xfc\xe9</m></d>", L"\u00fc\u00e9"},
        {"plain ASCII", "<d><m>Tray 1</m></d>", L"Tray 1"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        PlainTicket ticket;
        ASSERT_TRUE(ticket.initialize());
        ASSERT_TRUE(ticket.loadText(row.bytes.c_str(), false));
        std::wstring text;
        EXPECT_TRUE(ticket.getText(L"/d/m", text));
        EXPECT_EQ(row.expected, text);
    }
    PlainTicket ticket;
    ASSERT_TRUE(ticket.initialize());
    EXPECT_FALSE(ticket.loadText(nullptr, false));
    EXPECT_FALSE(ticket.loadText("<d><m>", false));
}

TEST(XMLTicket, SaveWritesTheWholeSerialisation)
{
    testenv::TempDir dir;
    struct Row {
        const char* name;
        const wchar_t* xml;
    };
    const Row rows[] = {
        {"plain", L"<dev><a>one</a></dev>"},
        // UTF-16 output holds zero bytes; the file must still hold all of it.
        {"UTF-16 declared", L"<?xml version=\"1.0\" encoding=\"UTF-16\"?><dev><a>one</a></dev>"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        PlainTicket ticket;
        ASSERT_TRUE(ticket.initialize());
        ASSERT_TRUE(ticket.loadXML(row.xml, false));
        const std::wstring file = dir.file(L"saved.xml");
        ASSERT_TRUE(ticket.save(file.c_str()));
        const std::string bytes = testenv::readFile(file);
        ASSERT_FALSE(bytes.empty());
        EXPECT_NE('\0', bytes.back()) << "no terminator";
        // The element's text, in whichever encoding the document was saved.
        const bool utf16 = bytes.find(std::string("o\0n\0e\0", 6)) != std::string::npos;
        EXPECT_TRUE(utf16 || bytes.find("<a>one</a>") != std::string::npos) << bytes.size() << " bytes";
        EXPECT_GT(bytes.size(), 20u);
    }
    PlainTicket empty;
    ASSERT_TRUE(empty.initialize());
    EXPECT_FALSE(empty.save(dir.file(L"empty.xml").c_str())) << "an empty document has nothing to write";
    EXPECT_FALSE(empty.save(nullptr));
}

TEST(XMLTicket, TextLengthBound)
{
    PlainTicket ticket;
    std::string text(MPrint::XMLTicket::kMaxTextLength, 'x');
    size_t length = 0;
    EXPECT_TRUE(ticket.getTextLength(text.c_str(), &length));
    EXPECT_EQ(409600u, length);
    text += 'x';
    length = 7;
    EXPECT_FALSE(ticket.getTextLength(text.c_str(), &length));
    EXPECT_EQ(7u, length);
    EXPECT_FALSE(ticket.getTextLength(nullptr, &length));
}

TEST(XMLTicket, ParseErrorReport)
{
    PlainTicket ticket;
    ASSERT_TRUE(ticket.initialize());
    EXPECT_FALSE(ticket.reportParseError(nullptr));
    EXPECT_FALSE(ticket.reportLoadError(nullptr));
    ASSERT_FALSE(ticket.loadXML(L"<a><b></a>", false));
    Microsoft::WRL::ComPtr<IXMLDOMParseError> error;
    ASSERT_EQ(S_OK, ticket.document()->get_parseError(error.GetAddressOf()));
    const std::wstring message = MPrint::XMLTicket::parseErrorMessage(error.Get());
    const wchar_t* labels[] = {L"  Error code = ", L"\n  File Position: ", L"\n  Line Number: ",
                               L"\n  Line Position: ", L"\n  Reason: ", L"\n  Source: ", L"\n  URL String: "};
    size_t at = 0;
    for (const wchar_t* label : labels) {
        SCOPED_TRACE(testing::Message() << "label " << (label - labels[0]));
        const size_t found = message.find(label, at);
        ASSERT_NE(std::wstring::npos, found);
        at = found + 1;
    }
    EXPECT_EQ(L'\n', message.back());
    EXPECT_FALSE(ticket.reportLoadError(ticket.document()));
}

// A thread already in the multithreaded apartment can still use a ticket,
// and close undoes only what the ticket itself initialised.
TEST(XMLTicket, ComInitialisationIsBalanced)
{
    std::thread worker([] {
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
        // Asked for each time: the wrapper whose record empties is gone.
        const auto depthNow = [] { return getThreadCOMWrapper(__FILE__, __LINE__)->depth(); };
        ASSERT_NE(nullptr, getThreadCOMWrapper(__FILE__, __LINE__));
        const DWORD depth = depthNow();
        {
            PlainTicket ticket;
            EXPECT_TRUE(ticket.initialize());
            EXPECT_TRUE(ticket.loadXML(kDevice, false));
            EXPECT_EQ(depth + 1, depthNow());
            EXPECT_TRUE(ticket.close());
            EXPECT_EQ(depth, depthNow());
        } // the destructor's close undoes nothing more
        EXPECT_EQ(depth, depthNow());
        CoUninitialize();
    });
    worker.join();
}

} // namespace
