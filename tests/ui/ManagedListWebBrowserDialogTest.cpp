// The managed list's web page: query keys read only as whole keys, links
// decoded and turned into the parser's records, hostile texts kept inside
// their quotes and escaped in the result page, and scripted sessions in the
// browser module's window (a printer chosen through a link, a device check
// started, the window's saved size).
#include "ui/ManagedListWebBrowserDialog.h"

#include "destination/PrintPathAttr.h"
#include "discovery/ManagedListParser.h"
#include "discovery/ManagedPortDiscovery.h"
#include "extension/LumoraSettings.h"
#include "support/DialogDriver.h"
#include "support/ManagedListFixtures.h"
#include "support/ScopedCurrentJob.h"
#include "support/SharedState.h"
#include "support/TestEnv.h"
#include "support/UiTestEnv.h"
#include "ui/UiText.h"
#include "ui/resources/StringIds.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

VRELM_TEST_SHARES(policy_settings);

using testenv::CapturedRecord;
using testenv::DialogDriver;

namespace {

constexpr GUID kListClass = {0x7e2a3b40, 0x1c5d, 0x4f7e, {0x8a, 0x21, 0x4b, 0x63, 0x88, 0x12, 0x53, 0x35}};
constexpr int kListName = 1006, kPrompt = 1007, kLinks = 1008, kPageText = 1010;

// Records what each link handed to the parser.
class RecordingParser : public MPrint::ManagedListParser {
public:
    using ManagedListParser::ManagedListParser;
    uint32_t addPrinter(const MPrint::ManagedPrinterRecord* record, const MPrint::ManagedPrinterCaps* caps,
                        MPrint::ManagedPrinterCallback callback, void* context) override
    {
        records.push_back(testenv::capture(*record, *caps));
        return ManagedListParser::addPrinter(record, caps, callback, context);
    }
    std::vector<CapturedRecord> records;
};

std::wstring readUtf16(const std::wstring& path, bool* hasMark)
{
    const std::string bytes = testenv::readFile(path);
    *hasMark = bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
               static_cast<unsigned char>(bytes[1]) == 0xFE;
    std::wstring text(bytes.size() / 2, L'\0');
    std::memcpy(text.data(), bytes.data(), text.size() * 2);
    return text;
}

bool contains(const std::wstring& text, const std::wstring& part)
{
    return text.find(part) != std::wstring::npos;
}

class ManagedListWebBrowserDialogTest : public testenv::UiSuite {
protected:
    std::unique_ptr<ManagedListWebBrowserDialog> makeDialog()
    {
        return std::make_unique<ManagedListWebBrowserDialog>(extension(), &service_, &parser_, nullptr);
    }
    std::wstring text(UINT id) { return uitext::load(extension(), id); }
    std::wstring label(UINT id) { return uitext::format(extension(), id, L""); }
    RegistryKey& settingsKey() { return extension()->getSettings()->getSettingsKey(); }

    testenv::DisplayNameListHost host_; // "unresolvable" resolves to nothing
    RecordingParser parser_{host_};
    testenv::TempDir dir_;
    MPrint::ManagedPortDiscovery service_{kListClass, L"Campus printers", dir_.file(L"page.html")};
};

TEST(ManagedListWebLinks, QueryValuesAreWholeKeys)
{
    const struct {
        const char* name;
        const wchar_t* text;
        const wchar_t* key;
        bool found;
        const wchar_t* value;
    } rows[] = {
        {"plain key", L"x://p/?address=10.0.0.1&model=A", L"address", true, L"10.0.0.1"},
        {"key in another case", L"x://p/?ADDRESS=Host&b=1", L"address", true, L"Host"},
        {"value keeps its case", L"x://p/?a=MixedCase", L"A", true, L"MixedCase"},
        {"value ends at the next pair", L"x://p/?a=1&b=2&c=3", L"b", true, L"2"},
        {"last pair", L"x://p/?a=1&b=2", L"b", true, L"2"},
        {"empty value", L"x://p/?a=&b=2", L"a", true, L""},
        {"longer key first", L"x://p/?DestinationVerificationAddress=10.9.9.9&address=10.0.0.1", L"address", true,
         L"10.0.0.1"},
        {"only a longer key", L"x://p/?DestinationVerificationAddress=10.9.9.9", L"address", false, L""},
        {"key in a value", L"x://p/?comment=address=evil&x=1", L"address", false, L""},
        {"no query", L"x://p/address=10.0.0.1", L"address", false, L""},
        {"absent key", L"x://p/?a=1", L"b", false, L""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        std::wstring value = L"untouched";
        EXPECT_EQ(row.found, ManagedListWebBrowserDialog::getQueryValue(row.text, row.key, value));
        if (row.found)
            EXPECT_EQ(row.value, value);
        else
            EXPECT_EQ(L"untouched", value);
    }
}

TEST(ManagedListWebLinks, DecodingAndAddresses)
{
    const struct {
        const char* name;
        const wchar_t* url;
        bool ok;
        const wchar_t* decoded;
    } rows[] = {
        {"blank", L"a%20b", true, L"a b"},
        {"UTF-8 pair", L"caf%C3%A9", true, L"caf\u00e9"},
        {"byte that is not UTF-8", L"caf%E9", true, L"caf\u00e9"},
        {"escaped escape", L"%2541", true, L"%41"},
        {"wide text passes", L"\u05e9%21", true, L"\u05e9!"},
        {"cut escape", L"a%2", false, L""},
        {"not hexadecimal", L"a%zz", false, L""},
        {"terminator", L"a%00b", false, L""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        std::wstring decoded = L"untouched";
        EXPECT_EQ(row.ok, ManagedListWebBrowserDialog::decodeUrl(row.url, decoded));
        EXPECT_EQ(row.ok ? std::wstring(row.decoded) : L"untouched", decoded);
    }

    EXPECT_EQ(L"https://lists/a?b=qzmpl", ManagedListWebBrowserDialog::startUrlFor(L"qzmpls://lists/a?b=qzmpl"));
    EXPECT_EQ(L"http://one/ http://two/", ManagedListWebBrowserDialog::startUrlFor(L"qzmpl://one/ qzmpl://two/"));
    EXPECT_EQ(L"QZMPL://as-is/", ManagedListWebBrowserDialog::startUrlFor(L"QZMPL://as-is/"));
}

TEST(ManagedListWebLinks, DeviceCheckCommandLineKeepsPageTextsInTheirQuotes)
{
    const struct {
        const char* name;
        const wchar_t* printer;
        const wchar_t* address;
        const wchar_t* expected; // empty: nothing is started
    } rows[] = {
        {"plain", L"Office", L"10.0.0.9",
         L"rundll32.exe \"C:\\Program Files\\Q\\vrelm104.DLL\",CheckDevice /pname\"Office\" /target\"10.0.0.9\" "
         L"mx=12 my=-3\n"},
        {"format characters stay text", L"%s%n%d", L"%1",
         L"rundll32.exe \"C:\\Program Files\\Q\\vrelm104.DLL\",CheckDevice /pname\"%s%n%d\" /target\"%1\" "
         L"mx=12 my=-3\n"},
        {"quote in the address", L"Office", L"10.0.0.9\" /pname\"Other", L""},
        {"quote in the printer name", L"Office \"A\"", L"10.0.0.9", L""},
        {"backslash ending the address", L"Office", L"10.0.0.9\\", L""},
        {"backslash ending the printer name", L"Office\\", L"10.0.0.9 /x", L""},
        {"backslash inside stays", L"Office", L"\\\\host\\q",
         L"rundll32.exe \"C:\\Program Files\\Q\\vrelm104.DLL\",CheckDevice /pname\"Office\" /target\"\\\\host\\q\" "
         L"mx=12 my=-3\n"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(row.expected, ManagedListWebBrowserDialog::deviceCheckCommandLine(L"C:\\Program Files\\Q\\",
                                                                                     row.printer, row.address,
                                                                                     POINT{12, -3}));
    }
}

TEST(ManagedListWebLinks, ReplaceAllContinuesAfterTheInsertedText)
{
    std::wstring text = L"$A$ and $A$";
    ManagedListWebBrowserDialog::replaceAll(text, L"$A$", L"[$A$]");
    EXPECT_EQ(L"[$A$] and [$A$]", text);
}

TEST_F(ManagedListWebBrowserDialogTest, PrinterLinksBecomeRecords)
{
    const std::wstring base = L"qzmpl://printer/?address=10.0.0.1&modelName=Model%20A&printerName=Front";
    const struct {
        const char* name;
        std::wstring link;
        std::function<void(const CapturedRecord&, const MPrint::PrintPath&)> check;
    } rows[] = {
        {"no group: the ungrouped group, defaults", base,
         [this](const CapturedRecord& r, const MPrint::PrintPath& path) {
             EXPECT_EQ(text(IDS_UNGROUPED_PRINTERS), r.groupName);
             EXPECT_EQ(L"Model A", r.model);
             EXPECT_EQ(0u, r.addressType);
             EXPECT_EQ(1, r.caps.validateDevice);
             EXPECT_EQ(1u, path.getNumericAttribute(PrintPathAttr::LumoDisableDuplex)); // duplex absent
             EXPECT_EQ(0xFFFFFFFFu, path.getNumericAttribute(PrintPathAttr::LumoDisableColor));
             EXPECT_EQ(text(IDS_UNGROUPED_PRINTERS), path.getStringAttribute(PrintPathAttr::ManagedGroupXMLAdded));
         }},
        {"empty group: the ungrouped group", base + L"&groupName=",
         [this](const CapturedRecord& r, const MPrint::PrintPath& path) {
             EXPECT_EQ(text(IDS_UNGROUPED_PRINTERS), r.groupName);
             EXPECT_EQ(text(IDS_UNGROUPED_PRINTERS), path.getStringAttribute(PrintPathAttr::ManagedGroupXMLAdded));
         }},
        {"a longer key standing first is not the address",
         L"qzmpl://printer/?DestinationVerificationAddress=10.9.9.9&address=10.0.0.1&modelName=M&printerName=P",
         [](const CapturedRecord& r, const MPrint::PrintPath& path) {
             EXPECT_EQ(L"10.0.0.1", r.address);
             EXPECT_EQ(L"10.0.0.1", path.getStringAttribute(PrintPathAttr::Address));
         }},
        {"escaped separators stay in their value",
         L"qzmpl://printer/?printerName=Sales%20%26%20Marketing%26address%3D10.6.6.6&address=10.0.0.1&modelName=M",
         [](const CapturedRecord& r, const MPrint::PrintPath&) {
             EXPECT_EQ(L"Sales & Marketing&address=10.6.6.6", r.printerName);
             EXPECT_EQ(L"10.0.0.1", r.address);
         }},
        {"settings", base + L"&groupName=Floor%202&duplex=1&harddisk=1&color=0&validate=0&validatedevice=1"
                            L"&comment=By%20the%20door&location=2F&cpp=0.05&secureprinter=1",
         [](const CapturedRecord& r, const MPrint::PrintPath& path) {
             EXPECT_EQ(L"Floor 2", r.groupName);
             EXPECT_EQ(1u, r.caps.duplexUnit);
             EXPECT_EQ(1u, r.caps.hardDisk);
             EXPECT_EQ(0, r.caps.validateDevice); // "validate" wins over "validatedevice"
             EXPECT_EQ(1u, path.getNumericAttribute(PrintPathAttr::LumoDisableColor));
             EXPECT_EQ(0u, path.getNumericAttribute(PrintPathAttr::LumoDisableDuplex));
             EXPECT_EQ(L"By the door", r.comment);
             EXPECT_EQ(L"2F", r.location);
             EXPECT_EQ(L"0.05", r.costPerPage);
             EXPECT_EQ(1, r.securePrinter);
         }},
        {"values compared whole", base + L"&duplex=10&color=00&validatedevice=0&jobdelivery=yes",
         [](const CapturedRecord& r, const MPrint::PrintPath&) {
             EXPECT_EQ(0u, r.caps.duplexUnit);
             EXPECT_EQ(0, r.caps.color);
             EXPECT_EQ(0, r.caps.validateDevice);
             EXPECT_EQ(0, r.jobDelivery);
         }},
        {"delivery texts ignored without job delivery",
         base + L"&DestinationType=Cloud&DestinationVerificationAddress=10.9.9.9&DestinationVerificationType=2"
                L"&JobDeliveryURL=http://d/",
         [](const CapturedRecord& r, const MPrint::PrintPath&) {
             EXPECT_EQ(L"", r.destinationType);
             EXPECT_EQ(L"", r.verificationAddress);
             EXPECT_EQ(0u, r.verificationType);
             EXPECT_EQ(L"", r.jobDeliveryUrl);
         }},
        {"delivery texts with job delivery",
         base + L"&jobdelivery=1&DestinationType=Cloud&DestinationVerificationAddress=10.9.9.9"
                L"&DestinationVerificationType=2&JobDeliveryURL=http://d/&JobCompleteReUserBrowserSession=1",
         [](const CapturedRecord& r, const MPrint::PrintPath&) {
             EXPECT_EQ(1, r.jobDelivery);
             EXPECT_EQ(L"Cloud", r.destinationType);
             EXPECT_EQ(L"10.9.9.9", r.verificationAddress);
             EXPECT_EQ(2u, r.verificationType);
             EXPECT_EQ(L"http://d/", r.jobDeliveryUrl);
             EXPECT_EQ(1, r.jobCompleteBrowserSession);
         }},
        {"configuration data: last segment decoded again, PDLs read",
         base + L"&ExtCfgType=xmlbidiconfigdata&ExtCfgAddr=http://cfg/a%2520b/c%2520d.xml&PDLPS=1&PDLPCL6=0",
         [](const CapturedRecord& r, const MPrint::PrintPath&) {
             EXPECT_EQ(3u, r.extConfigType);
             EXPECT_EQ(L"http://cfg/a%20b/c d.xml", r.extConfigAddress);
             EXPECT_EQ((std::vector<std::wstring>{L"1", L"(null)", L"0", L"(null)"}), r.pdls);
         }},
        {"configuration only: PDLs not read", base + L"&ExtCfgType=DeviceIsConfigOnly&ExtCfgAddr=10.0.0.7&PDLPS=1",
         [](const CapturedRecord& r, const MPrint::PrintPath&) {
             EXPECT_EQ(1u, r.extConfigType);
             EXPECT_EQ(L"10.0.0.7", r.extConfigAddress);
             EXPECT_EQ((std::vector<std::wstring>{L"(null)", L"(null)", L"(null)", L"(null)"}), r.pdls);
         }},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        parser_.records.clear();
        auto dialog = makeDialog();
        DialogDriver driver; // ends an error box that must not come
        ASSERT_TRUE(dialog->onPrinterLink(nullptr, row.link.c_str()));
        EXPECT_TRUE(driver.dialogsSeen().empty());
        ASSERT_EQ(1u, parser_.records.size());
        ASSERT_TRUE(dialog->getChosenPath());
        EXPECT_TRUE(dialog->isResultReady());
        EXPECT_EQ(2u, dialog->getResultCode()); // chosen, not yet finished
        row.check(parser_.records[0], *dialog->getChosenPath());
        parser_.clear();
    }
}

TEST_F(ManagedListWebBrowserDialogTest, ABrokenLinkShowsTheErrorAndChoosesNothing)
{
    const struct {
        const char* name;
        const wchar_t* link;
    } rows[] = {
        {"printer name missing", L"qzmpl://printer/?address=10.0.0.1&modelName=M"},
        {"address only as part of a longer key", L"qzmpl://printer/?DestinationVerificationAddress=1&modelName=M&printerName=P"},
        {"escape cut short", L"qzmpl://printer/?address=10.0.0.1&modelName=M&printerName=P%4"},
        {"address that resolves to nothing", L"qzmpl://printer/?address=unresolvable&modelName=M&printerName=P"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        auto dialog = makeDialog();
        // A previous choice is dropped by any link.
        ASSERT_TRUE(dialog->onPrinterLink(nullptr, L"qzmpl://printer/?address=10.0.0.5&modelName=M&printerName=Old"));
        DialogDriver driver;
        std::wstring boxText, caption;
        driver.onDialog([&](HWND box) {
            boxText = DialogDriver::messageBoxText(box);
            caption = DialogDriver::title(box);
            DialogDriver::click(box, IDOK);
        });
        EXPECT_FALSE(dialog->onPrinterLink(nullptr, row.link));
        EXPECT_EQ(text(IDS_PRINTER_NOT_FOUND), boxText);
        EXPECT_EQ(text(IDS_ERROR_CAPTION), caption);
        EXPECT_FALSE(dialog->getChosenPath());
        parser_.clear();
    }
}

TEST_F(ManagedListWebBrowserDialogTest, ResultPageEscapesTheListsTexts)
{
    const std::wstring page = L"<title>$TITLE$</title><h1>$PRINTER_INFO$</h1><table>"
                              L"<!-- NameValueBegin --><tr><td>$LABEL_NAME$</td><td>$VALUE$</td></tr>"
                              L"<!-- NameValueEnd --></table>";
    std::wstring file;
    {
        auto dialog = makeDialog();
        dialog->setPageTemplate(page.c_str());
        ASSERT_TRUE(dialog->onPrinterLink(
            nullptr, L"qzmpl://printer/?address=10.0.0.1&modelName=M%26M&printerName=%3Cscript%3Ealert(1)%3C/script%3E"
                     L"&comment=%22quoted%22%20%26%20'single'&location=%3Cb%3E2F&cpp=5"));
        DWORD handled = 0;
        const wchar_t* written = dialog->buildResultPage(handled);
        EXPECT_EQ(1u, handled);
        ASSERT_TRUE(written);
        file = written;
        bool mark = true;
        const std::wstring html = readUtf16(file, &mark);
        EXPECT_FALSE(mark);
        EXPECT_FALSE(contains(html, L"<script>"));
        EXPECT_FALSE(contains(html, L"<b>"));
        EXPECT_FALSE(contains(html, L"NameValue"));
        const std::wstring title = L"&lt;script&gt;alert(1)&lt;/script&gt;";
        auto row = [](const std::wstring& name, const std::wstring& value) {
            return L"<tr><td>" + name + L"</td><td>" + value + L"</td></tr>";
        };
        const std::wstring expected = L"<title>" + title + L"</title><h1>" + text(IDS_PRINTER_INFO) + L"</h1><table>" +
                                      row(text(IDS_NAME), title) + row(label(IDS_MODEL_FMT), L"M&amp;M") +
                                      row(label(IDS_ADDRESS_FMT), L"10.0.0.1") +
                                      row(label(IDS_LOCATION_FMT), L"&lt;b&gt;2F") +
                                      row(label(IDS_COMMENT_FMT), L"&quot;quoted&quot; &amp; &#39;single&#39;") +
                                      row(label(IDS_COST_PER_PAGE_FMT), L"5") + L"</table>";
        EXPECT_EQ(expected, html);

        // A second page replaces the first file.
        const std::wstring first = file;
        ASSERT_TRUE(dialog->buildResultPage(handled));
        file = dialog->getPageFile();
        EXPECT_NE(first, file);
        EXPECT_FALSE(testenv::fileExists(first));
    }
    EXPECT_FALSE(testenv::fileExists(file)) << "the dialog deletes its page";
}

TEST_F(ManagedListWebBrowserDialogTest, NoResultPageWithoutMarkersOrChoice)
{
    const struct {
        const char* name;
        const wchar_t* pageTemplate;
        const wchar_t* link; // null: no choice
        DWORD handled;
    } rows[] = {
        {"end marker missing", L"<!-- NameValueBegin -->$VALUE$", L"", 1},
        {"begin marker missing", L"$VALUE$<!-- NameValueEnd -->", L"", 1},
        {"end before begin", L"<!-- NameValueEnd --><!-- NameValueBegin -->", L"", 1},
        {"nofinish", L"<!-- NameValueBegin -->$VALUE$<!-- NameValueEnd -->", L"&nofinish=1", 1},
        {"no choice", L"<!-- NameValueBegin -->$VALUE$<!-- NameValueEnd -->", nullptr, 0},
        {"empty template", L"", L"", 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        auto dialog = makeDialog();
        dialog->setPageTemplate(row.pageTemplate);
        if (row.link) {
            ASSERT_TRUE(dialog->onPrinterLink(
                nullptr, (L"qzmpl://printer/?address=10.0.0.1&modelName=M&printerName=P" + std::wstring(row.link)).c_str()));
        }
        DWORD handled = 7;
        EXPECT_EQ(nullptr, dialog->buildResultPage(handled));
        EXPECT_EQ(row.handled, handled);
        EXPECT_TRUE(dialog->getPageFile().empty());
        parser_.clear();
    }
}

TEST_F(ManagedListWebBrowserDialogTest, NoFinishEndsTheChoiceAtOnce)
{
    auto dialog = makeDialog();
    ASSERT_TRUE(dialog->onPrinterLink(nullptr, L"qzmpl://printer/?address=10.0.0.1&modelName=M&printerName=P&nofinish=1"));
    ASSERT_TRUE(dialog->getChosenPath());
    EXPECT_EQ(1u, dialog->getChosenPath()->getNumericAttribute(PrintPathAttr::NoWizardFinish));
    EXPECT_EQ(1u, dialog->getResultCode());
    EXPECT_EQ(1u, dialog->resetChoice(nullptr));
    EXPECT_EQ(2u, dialog->getResultCode());
    EXPECT_FALSE(dialog->getChosenPath());
    EXPECT_FALSE(dialog->finish(nullptr));
}

TEST_F(ManagedListWebBrowserDialogTest, EventsWithoutContextOrDataDoNothing)
{
    auto dialog = makeDialog();
    DWORD out = 5;
    EXPECT_EQ(1u, ManagedListWebBrowserDialog::browserEvent(nullptr, nullptr, 2, nullptr, &out));
    for (DWORD event : {2u, 11u, 12u, 14u})
        EXPECT_EQ(1u, ManagedListWebBrowserDialog::browserEvent(nullptr, dialog.get(), event, nullptr, &out));
    EXPECT_EQ(5u, out);
    // Prefixes are matched as written; other addresses are the browser's.
    const wchar_t upper[] = L"QZMPL://printer/?address=10.0.0.1&modelName=M&printerName=P";
    EXPECT_EQ(1u, ManagedListWebBrowserDialog::browserEvent(nullptr, dialog.get(), 2, const_cast<wchar_t*>(upper), &out));
    EXPECT_EQ(5u, out);
    EXPECT_FALSE(dialog->getChosenPath());
    const wchar_t link[] = L"qzmpl://printer/?address=10.0.0.1&modelName=M&printerName=P";
    EXPECT_EQ(0u, ManagedListWebBrowserDialog::browserEvent(nullptr, dialog.get(), 2, const_cast<wchar_t*>(link), &out));
    EXPECT_EQ(1u, out);
    DWORD finished = 0;
    ManagedListWebBrowserDialog::browserEvent(nullptr, dialog.get(), 14, &finished, nullptr);
    EXPECT_EQ(1u, finished);
    EXPECT_EQ(1u, dialog->getResultCode());
}

// A page with links, shown by the browser module; the script double-clicks
// the links by their index.
class BrowserSession : public ManagedListWebBrowserDialogTest {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(testenv::writeFile(
            service_.getListLocation() /* a file: the start address as it is */,
            "<html><body><h1>Campus</h1><ul>"
            "<li><a href=\"qzmpl://printer/?address=10.1.2.3&amp;modelName=Model%20X&amp;printerName=Front%20Desk"
            "&amp;groupName=Floor%201&amp;location=Lobby\">Front desk</a></li>"
            "<li><a href='qzmpl://device/?address=10.1.2.3&amp;show=SNP'>Status</a></li>"
            "<li><a href=\"qzmpl://printer/?address=10.1.2.4&amp;modelName=M&amp;printerName=Back&amp;nofinish=1\">"
            "Back office</a></li>"
            "</ul></body></html>"));
        settingsKey().deleteValue(L"BrowseWidth");
        settingsKey().deleteValue(L"BrowseHeight");
    }
    void TearDown() override
    {
        settingsKey().deleteValue(L"BrowseWidth");
        settingsKey().deleteValue(L"BrowseHeight");
    }
    static void open(HWND browser, int link)
    {
        SendDlgItemMessageW(browser, kLinks, LB_SETCURSEL, link, 0);
        SendMessageW(browser, WM_COMMAND, MAKEWPARAM(kLinks, LBN_DBLCLK),
                     reinterpret_cast<LPARAM>(GetDlgItem(browser, kLinks)));
    }
};

TEST_F(BrowserSession, APrinterChosenThroughItsLink)
{
    auto dialog = makeDialog();
    DialogDriver driver;
    std::wstring listName, prompt, okText, pageText;
    LRESULT links = 0, tools = 0;
    driver.onDialog([&](HWND browser) {
        listName = DialogDriver::text(browser, kListName);
        prompt = DialogDriver::text(browser, kPrompt);
        okText = DialogDriver::text(browser, IDOK);
        links = SendDlgItemMessageW(browser, kLinks, LB_GETCOUNT, 0, 0);
        for (HWND popup = nullptr; (popup = FindWindowExW(nullptr, popup, TOOLTIPS_CLASSW, nullptr));) {
            if (GetWindow(popup, GW_OWNER) == browser)
                tools += SendMessageW(popup, TTM_GETTOOLCOUNT, 0, 0);
        }
        open(browser, 0);
        pageText = DialogDriver::text(browser, kPageText);
        DialogDriver::click(browser, IDOK);
    });
    EXPECT_EQ(1u, dialog->browse(nullptr, 1));
    EXPECT_EQ(0, driver.watchdogHits());
    EXPECT_EQ(L"Campus printers", listName);
    EXPECT_EQ(text(IDS_SELECT_AND_OK), prompt);
    EXPECT_EQ(text(IDS_OK), okText);
    EXPECT_EQ(3, links);
    EXPECT_EQ(5, tools);
    EXPECT_TRUE(contains(pageText, L"Front Desk")) << testenv::narrow(pageText);
    EXPECT_TRUE(contains(pageText, L"Lobby"));
    EXPECT_TRUE(dialog->isFinished());
    std::unique_ptr<MPrint::PrintPath> chosen(dialog->takeChosenPath());
    ASSERT_TRUE(chosen);
    EXPECT_EQ(L"Front Desk", chosen->getStringAttribute(PrintPathAttr::DisplayString));
    ASSERT_TRUE(parser_.find(L"Floor 1"));
    EXPECT_TRUE(parser_.find(L"Floor 1")->empty()); // released to the caller
}

TEST_F(BrowserSession, NoFinishLinkEndsTheWindowAndCancelChoosesNothing)
{
    {
        auto dialog = makeDialog();
        DialogDriver driver;
        driver.onDialog([&](HWND browser) { open(browser, 2); });
        EXPECT_EQ(1u, dialog->browse(nullptr, 1));
        EXPECT_EQ(0, driver.watchdogHits());
        std::unique_ptr<MPrint::PrintPath> chosen(dialog->takeChosenPath());
        ASSERT_TRUE(chosen);
        EXPECT_EQ(1u, chosen->getNumericAttribute(PrintPathAttr::NoWizardFinish));
    }
    {
        auto dialog = makeDialog();
        DialogDriver driver;
        driver.onDialog([&](HWND browser) {
            open(browser, 0);
            DialogDriver::click(browser, IDCANCEL);
        });
        EXPECT_EQ(2u, dialog->browse(nullptr, 1));
        EXPECT_EQ(0, driver.watchdogHits());
        EXPECT_FALSE(dialog->isFinished());
    }
}

TEST_F(BrowserSession, DeviceLinkStartsTheStatusCheck)
{
    testenv::ScopedLogVariable log(L"VRELM104_LOG");
    testenv::ScopedCurrentJob job(L"Office Queue");
    auto dialog = makeDialog();
    DialogDriver driver;
    std::vector<std::string> lines;
    driver.onDialog([&](HWND browser) {
        SetCursorPos(40, 30);
        open(browser, 1);
        DialogDriver::waitFor([&] { return !(lines = log.lines()).empty(); }, 15000,
                              [browser](bool) { DialogDriver::click(browser, IDCANCEL); });
    });
    EXPECT_EQ(2u, dialog->browse(nullptr, 1));
    ASSERT_EQ(1u, lines.size());
    POINT cursor = {};
    GetCursorPos(&cursor);
    const std::string expected = "check /pname\"Office Queue\" /target\"10.1.2.3\" mx=" + std::to_string(cursor.x) +
                                 " my=" + std::to_string(cursor.y) + "\\n";
    EXPECT_EQ(expected, lines[0]);
    EXPECT_FALSE(dialog->getChosenPath());
}

TEST_F(BrowserSession, TheWindowTakesItsSavedSizeAndSavesItsNewOne)
{
    const struct {
        const char* name;
        DWORD width, height;
        bool taken;
    } rows[] = {{"saved size", 520, 340, true}, {"width below the least", 100, 400, false},
                {"height below the least", 400, 50, false}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        settingsKey().setDword(L"BrowseWidth", row.width);
        settingsKey().setDword(L"BrowseHeight", row.height);
        auto dialog = makeDialog();
        DialogDriver driver;
        SIZE shown = {};
        RECT client = {};
        DWORD savedWidth = 0, savedHeight = 0;
        driver.onDialog([&](HWND browser) {
            RECT window = {};
            GetWindowRect(browser, &window);
            shown = {window.right - window.left, window.bottom - window.top};
            SetWindowPos(browser, nullptr, 0, 0, 610, 430, SWP_NOMOVE | SWP_NOZORDER);
            GetClientRect(browser, &client);
            DialogDriver::click(browser, IDCANCEL);
        });
        EXPECT_EQ(2u, dialog->browse(nullptr, 1));
        EXPECT_EQ(row.taken, shown.cx == static_cast<LONG>(row.width) && shown.cy == static_cast<LONG>(row.height))
            << shown.cx << "x" << shown.cy;
        ASSERT_TRUE(settingsKey().queryDword(L"BrowseWidth", &savedWidth));
        ASSERT_TRUE(settingsKey().queryDword(L"BrowseHeight", &savedHeight));
        EXPECT_EQ(static_cast<DWORD>(client.right), savedWidth);
        EXPECT_EQ(static_cast<DWORD>(client.bottom), savedHeight);
    }
}

} // namespace
