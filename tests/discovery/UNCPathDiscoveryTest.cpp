// UNC paths: the grammar as a table; Resolve and ValidateDevice over Wine's
// UNC mapping (a file opens, a folder refuses access, a missing server is
// unreachable), the logon failure through the open seam; the Novell
// stand-ins in their three set-ups; the browse dialog cancelled by the
// user, refused off the dialog thread, balancing COM on a thread of another
// apartment, and its callback on a made-up dialog.
#include "discovery/UNCPathDiscovery.h"

#include "destination/PrintPathAttr.h"
#include "discovery/DiscoveryClassIds.h"
#include "support/DialogDriver.h"
#include "support/ResultWindow.h"
#include "support/TestEnv.h"
#include "support/UncServer.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

using MPrint::PrintPath;
using MPrint::UNCPathDiscovery;

namespace {

const std::wstring kPid = std::to_wstring(GetCurrentProcessId());
const std::wstring kServer = L"vrelmsrv" + kPid;

// Sets an environment variable for the scope (null: removes it).
class ScopedVariable {
public:
    ScopedVariable(const wchar_t* name, const wchar_t* value) : name_(name) { SetEnvironmentVariableW(name, value); }
    ~ScopedVariable() { SetEnvironmentVariableW(name_.c_str(), nullptr); }

private:
    std::wstring name_;
};

// \\vrelmsrv<pid>\queue is a file (opens), \\...\locked a folder (access
// denied).
class Shares {
public:
    Shares()
    {
        EXPECT_TRUE(server_.ready()) << "runs under Wine with its prefix";
        EXPECT_TRUE(server_.writeFile(L"queue", ""));
        EXPECT_TRUE(server_.makeFolder(L"locked"));
    }
    std::wstring share(const wchar_t* name) const { return server_.path(name); }

private:
    testenv::UncServer server_{kServer};
};

class SeamedDiscovery : public UNCPathDiscovery {
public:
    DWORD error = ERROR_LOGON_FAILURE;

protected:
    DWORD openShareForWrite(const std::wstring&) override { return error; }
};

class UNCPathDiscoveryTest : public ::testing::Test {
protected:
    void SetUp() override { service_.Initialize(loader_, nullptr); }

    const MPrint::ResourceLoader loader_{testenv::binDir() + L"\\vrelm102.DLL"};
    UNCPathDiscovery service_;
};

} // namespace

TEST(UNCPathGrammarTest, ServerAndShare)
{
    struct Row {
        const wchar_t* text;
        bool ok;
    } rows[] = {
        {L"\\\\ab\\c", true},       // six characters
        {L"\\\\a\\b", false},       // five
        {L"\\\\abc\\d", true},
        {L"\\\\abc", false},        // a server alone
        {L"\\\\abc\\", false},
        {L"\\\\abc\\\\", false},
        {L"\\\\abc\\d\\", true},    // one trailing backslash
        {L"\\\\abc\\d\\e", false},  // a further component
        {L"\\\\\\abcd", false},     // an empty server name
        {L"\\\\\\ab\\cd", false},
        {L"//abc/def", false},
        {L"abc\\\\def", false},
        {L"", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testenv::narrow(row.text));
        EXPECT_EQ(UNCPathDiscovery::isUNCPrinterPath(row.text), row.ok);
    }
}

TEST_F(UNCPathDiscoveryTest, ResolveAndValidateOverTheUncMapping)
{
    Shares shares;
    testenv::ScopedLogVariable novellLog(L"VRELM_NOVELL_LOG");
    ScopedVariable novell(L"VRELM_VRELN01_QUEUES", (L"\\\\" + kServer + L"-nw\\queue").c_str());
    struct Row {
        const char* why;
        std::wstring address;
        DWORD windowsUnc;
        bool novell;
        uint32_t validation;
    } rows[] = {
        {"a share that opens", shares.share(L"queue"), 1, false, 0},
        {"a share that refuses these credentials", shares.share(L"locked"), 1, false, 14},
        {"no such server", L"\\\\nosuch" + kPid + L"\\queue", 0xFFFFFFFF, false, 2},
        {"a Novell queue", L"\\\\" + kServer + L"-nw\\queue", 0xFFFFFFFF, true, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.why);
        PrintPathList list;
        ASSERT_EQ(service_.Resolve(nullptr, row.address, L"Nick", L"Shown", list), 0u);
        ASSERT_EQ(list.size(), 1u);
        PrintPath& path = *list.front().get();
        EXPECT_EQ(path.getStringAttribute(PrintPathAttr::Address), row.address);
        EXPECT_EQ(path.getStringAttribute(PrintPathAttr::UNCPath), row.address);
        EXPECT_EQ(path.getStringAttribute(PrintPathAttr::Nickname), L"Nick");
        EXPECT_EQ(path.getStringAttribute(PrintPathAttr::DisplayString), L"Shown");
        EXPECT_EQ(path.getNumericAttribute(PrintPathAttr::ManuallyEntered), 1u);
        EXPECT_EQ(path.getStringAttribute(PrintPathAttr::PrinterInfo), L"Address: " + row.address);
        EXPECT_EQ(path.getNumericAttribute(PrintPathAttr::WindowsUNC), row.windowsUnc);
        EXPECT_EQ(path.getStringAttribute(PrintPathAttr::NovellAddress), row.novell ? row.address : L"");
        GUID id = {};
        ASSERT_TRUE(path.getDiscoveryId(id));
        EXPECT_TRUE(IsEqualGUID(id, discoveryids::kNetworkShares));
        ASSERT_EQ(path.configuratorsEnd() - path.configuratorsBegin(), 1);
        EXPECT_TRUE(IsEqualGUID(*path.configuratorsBegin(), discoveryids::kUncConfigurator));
        ASSERT_EQ(path.featuresEnd() - path.featuresBegin(), 1);
        EXPECT_TRUE(IsEqualGUID(*path.featuresBegin(), discoveryids::kUncFeatureAccessor));
        EXPECT_EQ(service_.ValidateDevice(nullptr, &path), row.validation);
    }
    size_t handles = 0, closes = 0;
    for (const std::string& line : novellLog.lines()) {
        handles += line.find(" handle") != std::string::npos;
        closes += line.find(" close ") != std::string::npos;
    }
    EXPECT_EQ(handles, 2u) << "the Novell queue, at Resolve and at ValidateDevice";
    EXPECT_EQ(closes, 2u);

    PrintPathList list;
    EXPECT_EQ(service_.Resolve(nullptr, L"\\\\\\abcd", L"", L"", list), 3u);
    EXPECT_EQ(service_.Resolve(nullptr, L"10.0.0.5", L"", L"", list), 3u);
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(service_.ValidateDevice(nullptr, nullptr), 3u);
    PrintPath empty;
    EXPECT_EQ(service_.ValidateDevice(nullptr, &empty), 2u);
}

TEST_F(UNCPathDiscoveryTest, LogonFailureNeedsCredentials)
{
    const std::wstring queue = L"\\\\" + kServer + L"\\secure";
    ScopedVariable novell(L"VRELM_VRELQ01_QUEUES", queue.c_str());
    SeamedDiscovery service;
    PrintPathList list;
    ASSERT_EQ(service.Resolve(nullptr, queue, L"", L"", list), 0u);
    PrintPath& path = *list.front().get();
    EXPECT_EQ(path.getNumericAttribute(PrintPathAttr::WindowsUNC), 1u);
    EXPECT_TRUE(path.getStringAttribute(PrintPathAttr::NovellAddress).empty()) << "a Windows share first";
    EXPECT_EQ(service.ValidateDevice(nullptr, &path), 14u);
    service.error = ERROR_BAD_NETPATH;
    EXPECT_EQ(service.ValidateDevice(nullptr, &path), 2u) << "marked a Windows share: Novell is not asked";
    path.removeNumericAttribute(PrintPathAttr::WindowsUNC);
    EXPECT_EQ(service.ValidateDevice(nullptr, &path), 0u);
    EXPECT_EQ(path.getStringAttribute(PrintPathAttr::NovellAddress), queue);
}

TEST(NovellQueueTest, ModulesInOrder)
{
    const std::wstring queue = L"\\\\nw" + kPid + L"\\queue";
    struct Row {
        const char* why;
        const wchar_t* firstQueues;  // null: vrelq01 missing
        const wchar_t* secondQueues; // null: vreln01 missing
        bool novell;
        std::vector<std::string> log;
    } rows[] = {
        {"both missing", nullptr, nullptr, false, {}},
        {"only the second, knowing the queue", nullptr, L"q", true, {"VRELN01 open", "VRELN01 close"}},
        {"the first answers null, the second knows it", L"", L"q", true,
         {"VRELQ01 open", "VRELN01 open", "VRELN01 close"}},
        {"the first knows it: the second is not asked", L"q", L"q", true, {"VRELQ01 open", "VRELQ01 close"}},
        {"neither knows it", L"", L"", false, {"VRELQ01 open", "VRELN01 open"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.why);
        testenv::ScopedLogVariable log(L"VRELM_NOVELL_LOG");
        auto known = [&](const wchar_t* setting) { return std::wstring(setting && *setting ? queue : L""); };
        ScopedVariable firstAbsent(L"VRELM_VRELQ01_ABSENT", row.firstQueues ? nullptr : L"1");
        ScopedVariable secondAbsent(L"VRELM_VRELN01_ABSENT", row.secondQueues ? nullptr : L"1");
        ScopedVariable firstQueues(L"VRELM_VRELQ01_QUEUES", known(row.firstQueues).c_str());
        ScopedVariable secondQueues(L"VRELM_VRELN01_QUEUES", known(row.secondQueues).c_str());
        EXPECT_EQ(UNCPathDiscovery::isNovellQueue(queue), row.novell);
        std::vector<std::string> calls;
        for (const std::string& line : log.lines())
            calls.push_back(line.substr(0, line.find(' ', 8)));
        EXPECT_EQ(calls, row.log);
        EXPECT_EQ(GetModuleHandleW(L"vrelq01.DLL"), nullptr) << "freed after the test";
        EXPECT_EQ(GetModuleHandleW(L"vreln01.DLL"), nullptr);
    }
    EXPECT_FALSE(UNCPathDiscovery::isNovellQueue(L""));
}

TEST_F(UNCPathDiscoveryTest, SearchShowsTheBrowseDialog)
{
    EXPECT_EQ(service_.GetSearchCapabilities(), 24u);
    testenv::ResultWindow window;
    PrintPathList list;
    EXPECT_EQ(service_.Search(window.handle(), nullptr, list, 40), 3u) << "no dialog on a worker thread";

    testenv::DialogDriver driver;
    std::wstring title;
    driver.onDialog([&](HWND dialog) {
        title = testenv::DialogDriver::title(dialog);
        testenv::DialogDriver::click(dialog, IDCANCEL);
    });
    EXPECT_EQ(service_.Search(window.handle(), nullptr, list, 8), 5u);
    EXPECT_EQ(driver.dialogsSeen().size(), 1u);
    EXPECT_EQ(driver.watchdogHits(), 0);
    EXPECT_TRUE(list.empty());
    EXPECT_TRUE(window.results().empty());
}

TEST(UNCBrowseCallbackTest, HidesTheNewFolderButtonOnce)
{
    struct Row {
        const char* why;
        int buttonLeft;
        int okLeftAfter;
        int cancelLeftAfter;
    } rows[] = {
        {"button right of Cancel: OK and Cancel move right", 220, 160, 220},
        {"button left of OK: nothing moves", 0, 110, 160},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.why);
        HWND dialog = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 400, 100, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(dialog, nullptr);
        auto button = [&](int id, int left) {
            return CreateWindowExW(0, L"BUTTON", L"", WS_CHILD | WS_VISIBLE, left, 10, 50, 20, dialog,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
        };
        button(IDOK, 110);
        button(IDCANCEL, 160);
        HWND newFolder = button(UNCPathDiscovery::kNewFolderButton, row.buttonLeft);
        auto leftOf = [&](int id) {
            RECT rect = {};
            GetWindowRect(GetDlgItem(dialog, id), &rect);
            MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
            return static_cast<int>(rect.left);
        };
        auto shown = [&] { return (GetWindowLongW(newFolder, GWL_STYLE) & WS_VISIBLE) != 0; };
        EXPECT_EQ(UNCPathDiscovery::browseCallback(dialog, BFFM_INITIALIZED, 0, 0), 0);
        EXPECT_FALSE(shown());
        EXPECT_NE(GetPropW(dialog, UNCPathDiscovery::kHiddenProperty), nullptr);
        EXPECT_EQ(leftOf(IDOK), row.okLeftAfter);
        EXPECT_EQ(leftOf(IDCANCEL), row.cancelLeftAfter);
        // A second message finds the mark and moves nothing back.
        ShowWindow(newFolder, SW_SHOW);
        EXPECT_EQ(UNCPathDiscovery::browseCallback(dialog, BFFM_SELCHANGED, 0, 0), 0);
        EXPECT_TRUE(shown());
        EXPECT_EQ(leftOf(IDOK), row.okLeftAfter);
        EXPECT_EQ(UNCPathDiscovery::browseCallback(dialog, BFFM_VALIDATEFAILEDW, 0, 0), 1) << "stays open";
        RemovePropW(dialog, UNCPathDiscovery::kHiddenProperty);
        DestroyWindow(dialog);
    }
}

TEST_F(UNCPathDiscoveryTest, BrowseLeavesTheThreadsApartmentAlone)
{
    // On a thread already in the multithreaded apartment the browse's own
    // initialise fails; the thread's initialise must still stand afterwards.
    // Windows uninitialises COM on an unmatched OleUninitialize; Wine 8
    // ignores one (checked: this test passes there even with the fault), so
    // only a Windows run can catch it.
    uint32_t code = 0;
    HRESULT again = E_FAIL;
    std::thread worker([&] {
        if (FAILED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)))
            return;
        {
            testenv::DialogDriver driver;
            driver.onDialog([](HWND dialog) { testenv::DialogDriver::click(dialog, IDCANCEL); });
            PrintPathList list;
            code = service_.Search(nullptr, nullptr, list, 8);
        }
        again = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        if (SUCCEEDED(again))
            CoUninitialize();
        CoUninitialize();
    });
    worker.join();
    EXPECT_EQ(code, 5u);
    EXPECT_EQ(again, S_FALSE) << "still initialised: no uninitialise without a successful initialise";
}
