// The property-sheet callbacks of one process against the spooler stand-in
// and a scripted chooser: the headers the driver hands in (checked, a full
// device name read to its 32 characters, the probe handle closed), the
// markers a cancelled or closed page leaves for the next sheet and start of
// document, the guards of the common callback, the directory-service
// copies, and the policy applied to a queue in static mode.
#include "ui/PropertySheetEvents.h"

#include "core/SettingsKeys.h"
#include "extension/DocumentEvents.h"
#include "extension/KRVProperties.h"
#include "extension/ManagedPrintPolicy.h"
#include "extension/PrintTimeDialogs.h"
#include "extension/StaticModeSteps.h"
#include "extension/StaticPrinterPolicy.h"
#include "support/PrivateCurrentUser.h"
#include "support/SharedState.h"
#include "support/TestEnv.h"
#include "support/TestSpooler.h"
#include "ui/DialogSuppressHook.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

VRELM_TEST_SHARES(cluster_node, policy_settings);

namespace {

using LumoraUI::DocumentPropertyHeader;

constexpr std::uint64_t kAllOnes = ~std::uint64_t{0};

// Answers every prompt with one result and counts them.
class FixedChooser : public PrintTimeDialogs {
public:
    explicit FixedChooser(INT_PTR answer) : answer_(answer) { PrintTimeDialogs::set(this); }
    ~FixedChooser() override { PrintTimeDialogs::set(nullptr); }
    INT_PTR confirm(LumoraPrintingExtension&, int, HWND, LPARAM) override
    {
        ++shown;
        return answer_;
    }
    int shown = 0;

private:
    INT_PTR answer_;
};

class RecordingSteps : public StaticModeSteps {
public:
    bool verifyStaticModePrinter(LumoraPrintingExtension&, HANDLE, HWND, bool, bool) override
    {
        ++verified;
        return true;
    }
    void launchUpdateStaticModePrinter(const PROPSHEETUI_INFO* sheet, LPARAM) override { launched.push_back(sheet); }
    int verified = 0;
    std::vector<const PROPSHEETUI_INFO*> launched;
};

class PropertySheetEventsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(hkcu_.isActive());
        closePropertyStore();
        ASSERT_NE(nullptr, testspool::control());
        ASSERT_EQ(DWORD{ERROR_SUCCESS}, queue_.error());
        PRINTER_DEFAULTSW all = {nullptr, nullptr, PRINTER_ALL_ACCESS};
        ASSERT_TRUE(OpenPrinterW(const_cast<wchar_t*>(queue_.name().c_str()), &printer_, &all));
        name_ = queue_.name();
        header_ = {sizeof(DocumentPropertyHeader), 0, printer_, name_.data(), nullptr, nullptr, 0, 0};
        sheet_.cbSize = sizeof(sheet_);
        sheet_.lParamInit = reinterpret_cast<LPARAM>(&header_);
        StaticModeSteps::set(&steps_);
    }
    void TearDown() override
    {
        StaticModeSteps::set(nullptr);
        removeDialogSuppressHook();
        ClosePrinter(printer_);
        for (const wchar_t* marker : {krv::kUIOpen, krv::kCancelDocProp, krv::kInDevProp, krv::kPrtInit,
                                      krv::kApplyPolicy})
            deleteProcessProperty(marker);
        for (const wchar_t* marker : {krv::kCancelDocProp, krv::kDocPropId, krv::kPromptAtPrint})
            deletePrinterProcessProperty(nullptr, name_.c_str(), marker);
        if (MPrint::ManagedPrintPolicy::hasInstance())
            delete MPrint::ManagedPrintPolicy::instance();
        closePropertyStore();
    }
    std::uint64_t printerMarker(const wchar_t* name) { return getPrinterProcessProperty(nullptr, name_.c_str(), name); }
    long long data(const wchar_t* key, const wchar_t* name, DWORD* typeOut = nullptr, std::vector<BYTE>* bytes = nullptr)
    {
        BYTE buffer[256] = {};
        DWORD type = 0, size = 0;
        const DWORD error = key ? GetPrinterDataExW(printer_, key, name, &type, buffer, sizeof(buffer), &size)
                                : GetPrinterDataW(printer_, const_cast<wchar_t*>(name), &type, buffer, sizeof(buffer), &size);
        if (error != ERROR_SUCCESS)
            return -1;
        if (typeOut)
            *typeOut = type;
        if (bytes)
            bytes->assign(buffer, buffer + size);
        DWORD value = 0;
        std::memcpy(&value, buffer, size < 4 ? size : 4);
        return value;
    }
    DWORD pid() const { return GetCurrentProcessId(); }

    testenv::PrivateCurrentUser hkcu_;
    testspool::ScopedQueue queue_{testspool::uniqueQueueName(L"Property Sheets")};
    HANDLE printer_ = nullptr;
    std::wstring name_;
    DocumentPropertyHeader header_{};
    PROPSHEETUI_INFO sheet_{};
    RecordingSteps steps_;
};

TEST_F(PropertySheetEventsTest, HeadersAreReadOnlyWithinWhatTheDriverHandedIn)
{
    // A device mode whose name fills its 32 characters, followed by other members.
    DEVMODEW mode = {};
    for (wchar_t& c : mode.dmDeviceName)
        c = L'D';
    mode.dmSpecVersion = 0x0401;
    mode.dmSize = sizeof(mode);
    std::wstring missing = L"Gone Away Printer";
    DocumentPropertyHeader shortHeader = {4, 0, printer_, name_.data(), nullptr, nullptr, 0, 0};
    DocumentPropertyHeader gone = {sizeof(DocumentPropertyHeader), 0, printer_, missing.data(), &mode, nullptr, 0, 0};
    DocumentPropertyHeader opens = {sizeof(DocumentPropertyHeader), 0, printer_, name_.data(), &mode, nullptr, 0, 0};
    LumoraUI::DevicePropertyHeader device = {sizeof(LumoraUI::DevicePropertyHeader), 0, printer_, name_.data()};
    PROPSHEETUI_INFO sheet = {};
    sheet.lParamInit = reinterpret_cast<LPARAM>(&gone);
    const struct {
        const char* what;
        const PROPSHEETUI_INFO* sheet;
        LPARAM lParam;
        HANDLE printer;
        std::wstring name;
    } rows[] = {
        {"no header", nullptr, 0, nullptr, L""},
        {"header too short for its members", nullptr, reinterpret_cast<LPARAM>(&shortHeader), nullptr, L""},
        {"name that opens", nullptr, reinterpret_cast<LPARAM>(&opens), printer_, name_},
        {"name that does not open: the device mode's, to its 32 characters", nullptr,
         reinterpret_cast<LPARAM>(&gone), printer_, std::wstring(32, L'D')},
        {"the sheet's header wins over lParam", &sheet, reinterpret_cast<LPARAM>(&opens), printer_,
         std::wstring(32, L'D')},
        {"a device header has no device mode", nullptr, reinterpret_cast<LPARAM>(&device), printer_, name_},
    };
    testspool::ScopedCallLog log;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        std::wstring name = L"stale";
        EXPECT_EQ(LumoraUI::getDocumentPropertyPrinter(row.sheet, row.lParam, name), row.printer);
        EXPECT_EQ(name, row.name);
    }
    EXPECT_EQ(log.calls("OpenPrinterW").size(), 3u) << "the probes";
    EXPECT_EQ(log.calls("ClosePrinter").size(), 1u) << "the probe that opened is closed";
}

TEST_F(PropertySheetEventsTest, CancelledDocumentPageMarksTheNextSheetAndClosedSheetMarksTheStartOfDocument)
{
    {
        FixedChooser chooser(2);
        EXPECT_EQ(-1, LumoraUI::documentPropertySheets(&sheet_, 0));
        EXPECT_EQ(chooser.shown, 1);
    }
    EXPECT_EQ(printerMarker(krv::kCancelDocProp), pid());
    EXPECT_EQ(data(nullptr, L"LumoCancelSNP"), 1);
    EXPECT_TRUE(isDialogSuppressHookArmed()) << "the driver's own dialog after the cancelled page is hidden";
    EXPECT_EQ(getProcessProperty(krv::kUIOpen), 0u);
    EXPECT_EQ(LumoraUI::docPropSheetInit(&sheet_, 0), 2);
    EXPECT_EQ(LumoraUI::docPropSheetDestroy(&sheet_, 0), 0);
    EXPECT_EQ(printerMarker(krv::kDocPropId), pid());

    {
        FixedChooser chooser(1);
        EXPECT_EQ(0, LumoraUI::documentPropertySheets(&sheet_, 0));
        EXPECT_EQ(chooser.shown, 1);
    }
    EXPECT_EQ(printerMarker(krv::kCancelDocProp), 0u);
    EXPECT_EQ(LumoraUI::docPropSheetInit(&sheet_, 0), 0);

    // While the extension's own dialog is open, a sheet it opens neither prompts nor marks.
    deletePrinterProcessProperty(nullptr, name_.c_str(), krv::kDocPropId);
    setProcessProperty(krv::kUIOpen, pid());
    FixedChooser chooser(2);
    EXPECT_EQ(0, LumoraUI::documentPropertySheets(&sheet_, 0));
    EXPECT_EQ(LumoraUI::docPropSheetDestroy(&sheet_, 0), 0);
    EXPECT_EQ(chooser.shown, 0);
    EXPECT_EQ(printerMarker(krv::kDocPropId), 0u);
}

TEST_F(PropertySheetEventsTest, PrinterPropertiesLeaveTheDevicePropertiesMarker)
{
    const struct {
        INT_PTR answer;
        int result;
        std::uint64_t inDevProp;
    } rows[] = {{2, -1, kAllOnes}, {1, 0, GetCurrentProcessId()}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.answer);
        FixedChooser chooser(row.answer);
        EXPECT_EQ(LumoraUI::devicePropertySheetsPre(&sheet_, 0), row.result);
        EXPECT_EQ(chooser.shown, 1);
        EXPECT_EQ(getProcessProperty(krv::kInDevProp), row.inDevProp);
        EXPECT_EQ(getProcessProperty(krv::kUIOpen), 0u);
    }
}

TEST_F(PropertySheetEventsTest, CommonCallbackHonoursTheInstallMarkerAndItsParameters)
{
    LumoraUI::OemCuiParam parameters = {sizeof(LumoraUI::OemCuiParam), nullptr, printer_, name_.data()};
    LumoraUI::OemCuiParam truncated = {8, nullptr, printer_, name_.data()};
    const struct {
        const char* what;
        std::uint64_t prtInit;
        const LumoraUI::OemCuiParam* parameters;
        DWORD mode;
        int shown;
        std::uint64_t prtInitAfter;
    } rows[] = {
        {"driver being installed: marker taken", kAllOnes, &parameters, 1, 0, 0},
        {"printer being initialised: marker kept", 1, &parameters, 1, 0, 1},
        {"no parameters", 0, nullptr, 1, 0, 0},
        {"parameters too short", 0, &truncated, 1, 0, 0},
        {"document properties", 0, &parameters, 1, 1, 0},
        {"printer properties", 0, &parameters, 2, 1, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        FixedChooser chooser(1);
        if (row.prtInit)
            setProcessProperty(krv::kPrtInit, row.prtInit);
        EXPECT_EQ(0, LumoraUI::commonUIProp(row.mode, row.parameters));
        EXPECT_EQ(chooser.shown, row.shown);
        EXPECT_EQ(getProcessProperty(krv::kPrtInit), row.prtInitAfter);
        deleteProcessProperty(krv::kPrtInit);
    }
}

TEST_F(PropertySheetEventsTest, DirectoryServiceValuesAreCopiedWithTheirSizes)
{
    const BYTE yes = 1;
    const DWORD pages = 42;
    const wchar_t media[] = L"A4\0Letter\0";
    ASSERT_EQ(ERROR_SUCCESS, SetPrinterDataW(printer_, const_cast<wchar_t*>(L"printColor"), REG_BINARY,
                                             const_cast<BYTE*>(&yes), 1));
    ASSERT_EQ(ERROR_SUCCESS, SetPrinterDataW(printer_, const_cast<wchar_t*>(L"printPagesPerMinute"), REG_DWORD,
                                             reinterpret_cast<BYTE*>(const_cast<DWORD*>(&pages)), 4));
    ASSERT_EQ(ERROR_SUCCESS, SetPrinterDataW(printer_, const_cast<wchar_t*>(L"printMediaReady"), REG_MULTI_SZ,
                                             reinterpret_cast<BYTE*>(const_cast<wchar_t*>(media)), sizeof(media)));
    // Too long for its one byte: not copied.
    const DWORD wide = 0x01010101;
    ASSERT_EQ(ERROR_SUCCESS, SetPrinterDataW(printer_, const_cast<wchar_t*>(L"printCollate"), REG_BINARY,
                                             reinterpret_cast<BYTE*>(const_cast<DWORD*>(&wide)), 4));

    // A connection's name: nothing copied; a closing sheet launches the static-mode update.
    std::wstring connection = L"\\\\SRV\\" + name_;
    header_.pszPrinterName = connection.data();
    EXPECT_EQ(0, LumoraUI::devicePropertySheetsPost(&sheet_, 0));
    EXPECT_EQ(data(L"DsDriver", L"printColor"), -1);
    sheet_.Reason = 2;
    EXPECT_EQ(0, LumoraUI::devicePropertySheetsPost(&sheet_, 0));
    ASSERT_EQ(steps_.launched.size(), 1u);
    EXPECT_EQ(steps_.launched[0], &sheet_);

    header_.pszPrinterName = name_.data();
    sheet_.Reason = 0;
    EXPECT_EQ(0, LumoraUI::devicePropertySheetsPost(&sheet_, 0));
    DWORD type = 0;
    std::vector<BYTE> bytes;
    EXPECT_EQ(data(L"DsDriver", L"printColor", &type, &bytes), 1);
    EXPECT_EQ(type, DWORD{REG_BINARY});
    EXPECT_EQ(bytes.size(), 1u);
    EXPECT_EQ(data(L"DsDriver", L"printPagesPerMinute", &type), 42);
    EXPECT_EQ(type, DWORD{REG_DWORD});
    EXPECT_NE(data(L"DsDriver", L"printMediaReady", &type, &bytes), -1);
    EXPECT_EQ(type, DWORD{REG_MULTI_SZ});
    EXPECT_EQ(bytes, std::vector<BYTE>(reinterpret_cast<const BYTE*>(media), reinterpret_cast<const BYTE*>(media) + sizeof(media)));
    EXPECT_EQ(data(L"DsDriver", L"printCollate"), -1);
    EXPECT_EQ(data(L"DsDriver", L"printRate"), -1);

    // Opening the sheet brings the key's media list back as printer data.
    const wchar_t tray[] = L"Tray 2\0";
    ASSERT_EQ(ERROR_SUCCESS, SetPrinterDataExW(printer_, L"DsDriver", L"printMediaReady", REG_MULTI_SZ,
                                               reinterpret_cast<BYTE*>(const_cast<wchar_t*>(tray)), sizeof(tray)));
    FixedChooser chooser(1);
    EXPECT_EQ(0, LumoraUI::devicePropertySheetsPre(&sheet_, 0));
    EXPECT_NE(data(nullptr, L"printMediaReady", &type, &bytes), -1);
    EXPECT_EQ(bytes, std::vector<BYTE>(reinterpret_cast<const BYTE*>(tray), reinterpret_cast<const BYTE*>(tray) + sizeof(tray)));
}

TEST_F(PropertySheetEventsTest, StaticQueueGetsThePolicyOnceInsteadOfThePage)
{
    ASSERT_EQ(0u, queue_.setDword(L"", L"StaticMode", 1));
    ASSERT_EQ(0u, queue_.setDword(L"", L"LumoAutoCreated", 1));
    ASSERT_EQ(0u, queue_.setDword(L"", L"LumoUpdatePolicy", 1));
    FixedChooser chooser(2);

    // Already applying in this process: only the update request goes.
    setProcessProperty(krv::kApplyPolicy, pid());
    LumoraUI::applyPolicySettingsToStaticPrinter(printer_, nullptr);
    EXPECT_EQ(data(nullptr, L"LumoUpdatePolicy"), -1);
    EXPECT_EQ(data(nullptr, L"LumoAutoCreated"), 1);
    deleteProcessProperty(krv::kApplyPolicy);

    EXPECT_EQ(0, LumoraUI::documentPropertySheets(&sheet_, 0));
    EXPECT_EQ(chooser.shown, 0);
    EXPECT_EQ(data(nullptr, L"LumoAutoCreated"), 2);
    EXPECT_EQ(getProcessProperty(krv::kApplyPolicy), 0u);

    // Protected mode holds the policy back.
    ASSERT_EQ(0u, queue_.setDword(L"", L"LumoAutoCreated", 1));
    setProcessProperty(krv::kUpdateNowProtectedMode, 1);
    EXPECT_EQ(0, LumoraUI::documentPropertySheets(&sheet_, 0));
    deleteProcessProperty(krv::kUpdateNowProtectedMode);
    EXPECT_EQ(data(nullptr, L"LumoAutoCreated"), 1);
}

TEST(EventExtensionSupport, ConnectionsStaticAndClientPortQueuesDoNotTakeTheExtension)
{
    ASSERT_NE(nullptr, testspool::control());
    const struct {
        const char* what;
        std::wstring queue;
        const wchar_t* port;
        DWORD staticMode; // 0: not set
        bool supported;
        DWORD remote;
    } rows[] = {
        {"local queue", testspool::uniqueQueueName(L"Extension Local"), L"LPT1:", 0, true, 0},
        {"static mode", testspool::uniqueQueueName(L"Extension Static"), L"LPT1:", 1, false, 0},
        {"static mode, any non-zero value", testspool::uniqueQueueName(L"Extension Static Two"), L"LPT1:", 2, false, 0},
        {"terminal-server client port", testspool::uniqueQueueName(L"Extension Client"), L"TS004", 0, false, 0},
        {"connection to a server", L"\\\\Vrelm Server\\" + testspool::uniqueQueueName(L"Extension Remote"),
         L"LPT1:", 0, false, 1},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        testspool::ScopedQueue queue(row.queue, L"Vrelm Test Driver", row.port);
        ASSERT_EQ(DWORD{ERROR_SUCCESS}, queue.error());
        if (row.staticMode) {
            ASSERT_EQ(0u, queue.setDword(L"", L"StaticMode", row.staticMode));
        }
        HANDLE printer = nullptr;
        ASSERT_TRUE(OpenPrinterW(const_cast<wchar_t*>(row.queue.c_str()), &printer, nullptr));
        DWORD remote = 0;
        EXPECT_EQ(LumoraUI::isEventExtensionSupported(printer, &remote), row.supported);
        EXPECT_EQ(remote, row.remote);
        ClosePrinter(printer);
    }
    EXPECT_TRUE(LumoraUI::isEventExtensionSupported(nullptr, nullptr));
}

} // namespace
