// USB print keys: capabilities by the user setting, Resolve by prefix, the
// write test on the build's removable drive R: (tools/with-wine.sh) with the
// drive named the way Search names it, and the folder browse played under
// Xvfb: picking R:\ announces a path that validates; cancel gives 5. The
// callback's drive check runs on a made-up dialog, since Wine enables OK
// again after it.
#include "discovery/USBPrintKeyDiscovery.h"

#include "core/RegistryKey.h"
#include "core/SettingsKeys.h"
#include "destination/PrintPathAttr.h"
#include "discovery/DiscoveryClassIds.h"
#include "support/DialogDriver.h"
#include "support/PrivateCurrentUser.h"
#include "support/ResultWindow.h"
#include "support/TestEnv.h"

#include <gtest/gtest.h>

#include <string>

using MPrint::PrintPath;
using MPrint::USBPrintKeyDiscovery;

namespace {

const std::wstring kPrefix = USBPrintKeyDiscovery::kAddressPrefix;

class USBPrintKeyDiscoveryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        service_.Initialize(loader_, nullptr);
        service_.SetEnabled(true);
    }

    // The print directory as left on R: by ValidateDevice.
    static bool printDirectoryExists()
    {
        const DWORD attributes = GetFileAttributesW(L"R:\\qzprintdirectory");
        return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
    }

    const MPrint::ResourceLoader loader_{testenv::binDir() + L"\\vrelm102.DLL"};
    USBPrintKeyDiscovery service_;
};

} // namespace

TEST_F(USBPrintKeyDiscoveryTest, OfferedOnlyWhenTheUserTurnedItOn)
{
    testenv::PrivateCurrentUser user;
    ASSERT_TRUE(user.isActive());
    EXPECT_EQ(service_.GetSearchCapabilities(), 0u);
    EXPECT_EQ(service_.IsRunning(), 0u);
    RegistryKey settings(HKEY_CURRENT_USER, settingskeys::kSettings, RegistryKey::kAllAccess, true);
    ASSERT_TRUE(settings.setDword(L"USBKeyPrinting", 0));
    EXPECT_EQ(service_.GetSearchCapabilities(), 0u);
    ASSERT_TRUE(settings.setDword(L"USBKeyPrinting", 1));
    EXPECT_EQ(service_.GetSearchCapabilities(), 24u);
    EXPECT_EQ(service_.IsRunning(), 1u);
}

TEST_F(USBPrintKeyDiscoveryTest, ResolvesThePrefixOnly)
{
    struct Row {
        std::wstring address;
        uint32_t code;
    } rows[] = {
        {kPrefix + L"R", 0},
        {kPrefix + L"R:\\jobs", 0},
        {L"\\\\server\\queue", 3},
        {L"x" + kPrefix + L"R", 3},
        {L"\\\\qzusbprintkey\\R", 3}, // the prefix in its own case only
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testenv::narrow(row.address));
        PrintPathList list;
        ASSERT_EQ(service_.Resolve(nullptr, row.address, L"Nick", L"Shown", list), row.code);
        if (row.code)
            continue;
        const PrintPath& path = *list.front().get();
        EXPECT_EQ(path.getStringAttribute(PrintPathAttr::Address), row.address);
        EXPECT_EQ(path.getStringAttribute(PrintPathAttr::UNCPath), row.address);
        EXPECT_EQ(path.getStringAttribute(PrintPathAttr::Nickname), L"Nick");
        EXPECT_EQ(path.getStringAttribute(PrintPathAttr::DisplayString), L"Shown");
        EXPECT_EQ(path.getNumericAttribute(PrintPathAttr::ManuallyEntered), 1u);
        EXPECT_EQ(path.getNumericAttribute(PrintPathAttr::LumoDisableJobRetention), 1u);
        EXPECT_EQ(path.getStringAttribute(PrintPathAttr::IgnorePDLCheck), L"PostScript");
        EXPECT_EQ(path.getStringAttribute(PrintPathAttr::PrinterInfo), L"Address: " + row.address);
        GUID id = {};
        ASSERT_TRUE(path.getDiscoveryId(id));
        EXPECT_TRUE(IsEqualGUID(id, discoveryids::kUsbPrintKey));
        EXPECT_EQ(path.configuratorsBegin(), path.configuratorsEnd());
        EXPECT_EQ(path.featuresBegin(), path.featuresEnd());
    }
}

TEST_F(USBPrintKeyDiscoveryTest, WriteTestOnTheNamedDrive)
{
    ASSERT_EQ(GetDriveTypeW(L"R:\\"), static_cast<UINT>(DRIVE_REMOVABLE)) << "set up by tools/with-wine.sh";
    struct Row {
        std::wstring unc; // empty: no "UNCPath"
        uint32_t code;
    } rows[] = {
        {kPrefix + L"R", 0},
        {kPrefix + L"r:\\", 0},          // the address Search makes of a drive root
        {kPrefix + L"R:\\jobs\\week", 0}, // and of a folder
        {kPrefix + L"C:\\", 6},          // a fixed drive
        {kPrefix + L"Rx", 3},
        {kPrefix + L"1:\\", 3},
        {kPrefix, 3},
        {L"\\\\server\\R", 3},
        {L"", 3},                        // no address is not a valid one
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testenv::narrow(row.unc));
        PrintPath path;
        if (!row.unc.empty())
            path.setStringAttribute(PrintPathAttr::UNCPath, row.unc, true);
        EXPECT_EQ(service_.ValidateDevice(nullptr, &path), row.code);
        if (row.code == 0) {
            EXPECT_TRUE(printDirectoryExists());
            EXPECT_EQ(GetFileAttributesW(L"R:\\qzprintdirectory\\qzcpdTestFile"), INVALID_FILE_ATTRIBUTES)
                << "the test file goes";
        }
    }
    EXPECT_EQ(service_.ValidateDevice(nullptr, nullptr), 3u);
}

TEST_F(USBPrintKeyDiscoveryTest, BrowsePicksAFolderOfTheRemovableDrive)
{
    testenv::ResultWindow window;
    PrintPathList list;
    EXPECT_EQ(service_.Search(window.handle(), nullptr, list, 40), 3u);

    testenv::DialogDriver driver;
    std::wstring title;
    driver.onDialog([&](HWND dialog) {
        title = testenv::DialogDriver::title(dialog);
        SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(L"R:\\"));
        testenv::DialogDriver::click(dialog, IDOK);
    });
    ASSERT_EQ(service_.Search(window.handle(), nullptr, list, 8), 0u);
    EXPECT_EQ(title, L"QZ Print USB") << "no registered name: the built-in title";
    ASSERT_EQ(window.results().size(), 1u);
    ASSERT_EQ(list.size(), 1u);
    PrintPath& path = *list.front().get();
    EXPECT_EQ(path.getStringAttribute(PrintPathAttr::Address), kPrefix + L"R:\\");
    EXPECT_EQ(path.getStringAttribute(PrintPathAttr::DisplayString), L"QZ USB Key Printing on drive R:\\");
    EXPECT_EQ(path.getNumericAttribute(PrintPathAttr::ManuallyEntered), 0u);
    EXPECT_EQ(path.getNumericAttribute(PrintPathAttr::LumoDisableJobRetention), 1u);
    EXPECT_EQ(service_.ValidateDevice(nullptr, &path), 0u) << "a picked folder validates on its own drive";

    driver.onDialog([](HWND dialog) { testenv::DialogDriver::click(dialog, IDCANCEL); });
    EXPECT_EQ(service_.Search(window.handle(), nullptr, list, 8), 5u);
    EXPECT_EQ(window.results().size(), 1u);
    EXPECT_EQ(driver.watchdogHits(), 0);
}

TEST_F(USBPrintKeyDiscoveryTest, BrowseCallbackAllowsRemovableDrivesOnly)
{
    HWND dialog = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 400, 100, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(dialog, nullptr);
    HWND ok = CreateWindowExW(0, L"BUTTON", L"", WS_CHILD, 10, 10, 50, 20, dialog,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDOK)), nullptr, nullptr);
    const LPARAM data = reinterpret_cast<LPARAM>(&service_);
    EXPECT_EQ(USBPrintKeyDiscovery::usbBrowseCallback(dialog, BFFM_INITIALIZED, 0, data), 0);
    EXPECT_EQ(testenv::DialogDriver::title(dialog), L"QZ Print USB");
    struct Row {
        const wchar_t* folder;
        bool enabled;
    } rows[] = {{L"R:\\", true}, {L"C:\\", false}, {L"C:\\windows", false}};
    for (const Row& row : rows) {
        SCOPED_TRACE(testenv::narrow(row.folder));
        PIDLIST_ABSOLUTE item = ILCreateFromPathW(row.folder);
        ASSERT_NE(item, nullptr);
        EnableWindow(ok, !row.enabled);
        EXPECT_EQ(USBPrintKeyDiscovery::usbBrowseCallback(dialog, BFFM_SELCHANGED, reinterpret_cast<LPARAM>(item), data),
                  0);
        EXPECT_EQ(IsWindowEnabled(ok) != FALSE, row.enabled);
        ILFree(item);
    }
    EXPECT_EQ(USBPrintKeyDiscovery::usbBrowseCallback(dialog, BFFM_SELCHANGED, 0, data), 0);
    EXPECT_FALSE(IsWindowEnabled(ok)) << "no item, no pick";
    RemovePropW(dialog, USBPrintKeyDiscovery::kHiddenProperty);
    DestroyWindow(dialog);
}
