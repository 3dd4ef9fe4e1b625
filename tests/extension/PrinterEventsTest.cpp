// The printer and driver events of a new queue against the spooler stand-in,
// the job-ticket module's and the pre-install module's stand-ins: the marks
// the events leave on the queue, its ticket and device mode, the pre-install
// step run once per driver date and recorded after it, and the names the
// events are handed.
#include "extension/PrinterEvents.h"

#include "core/RegistryKey.h"
#include "core/ScopedHandle.h"
#include "core/SettingsKeys.h"
#include "extension/InstallContext.h"
#include "extension/KRVProperties.h"
#include "extension/StaticModeSteps.h"
#include "shared/SpoolerQueries.h"
#include "tickets/JCTManager.h"
#include "support/JobTicketModuleStandIn.h"
#include "support/PrivateCurrentUser.h"
#include "support/QueueData.h"
#include "support/SharedState.h"
#include "support/TestEnv.h"
#include "support/TestSpooler.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <cwchar>
#include <memory>
#include <string>
#include <vector>

VRELM_TEST_SHARES(cluster_node, policy_settings);

namespace {

const std::wstring kPreCopy = L"Software\\Tarvokin\\QZ Print Settings\\PreCopy\\";
const std::wstring kMonitors = L"SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\";
const std::wstring kDrivers =
    L"SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\Windows x64\\Drivers\\Version-3\\";

TEST(PrinterEventNames, ServerAndDriverPartsAreCutFromTheQueueName)
{
    const struct {
        const wchar_t* given;
        const wchar_t* computer;
        const wchar_t* local;
    } rows[] = {
        {L"\\\\PC\\Laser", L"PC", L"Laser"},
        {L"\\\\SRV\\Laser", L"PC", L"Laser"},
        {L"Laser,Vrelm Driver,LPT1:", L"PC", L"Laser"},
        {L"\\\\PC\\Laser,Vrelm Driver", L"PC", L"Laser"},
        {L"\\\\PC\\PC Laser", L"PC", L"PC Laser"},   // the computer's name again in the queue's part
        {L"\\\\SRV\\PC Laser", L"PC", L"PC Laser"},  // only in the queue's part
        {L"Laser", L"PC", L"Laser"},
        {L"Laser", L"", L"Laser"},
        {L"", L"PC", L""},
        {L"\\\\SRV\\", L"PC", L""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testenv::narrow(row.given));
        EXPECT_EQ(LumoraUI::stripServerFromPrinterName(row.given, row.computer), row.local);
    }
}

// A driver of its own in the spooler stand-in and its HKLM pre-install record, both gone with the scope.
class ScopedDriver {
public:
    explicit ScopedDriver(const std::wstring& name) : name_(name) {}
    ~ScopedDriver()
    {
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, (kPreCopy + name_).c_str());
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, (kDrivers + name_).c_str());
    }
    ScopedDriver(const ScopedDriver&) = delete;
    ScopedDriver& operator=(const ScopedDriver&) = delete;
    const std::wstring& name() const { return name_; }
    DWORD setDate(DWORD high, DWORD low) const
    {
        const FILETIME date = {low, high};
        return testspool::control()->setDriverValue(name_.c_str(), L"DriverDate", REG_BINARY, &date, sizeof(date));
    }
    void record(const std::vector<std::pair<const wchar_t*, DWORD>>& values) const
    {
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, (kPreCopy + name_).c_str());
        RegistryKey key(HKEY_LOCAL_MACHINE, kPreCopy + name_, RegistryKey::kWrite, true);
        for (const auto& value : values)
            key.setDword(value.first, value.second);
    }
    bool recorded(DWORD& high, DWORD& low) const
    {
        RegistryKey key(HKEY_LOCAL_MACHINE, kPreCopy + name_, RegistryKey::kRead);
        return key.queryDword(L"DriverDateH", &high) && key.queryDword(L"DriverDateL", &low);
    }

private:
    std::wstring name_;
};

std::wstring uniqueDriverName(const std::wstring& base)
{
    static int counter = 0;
    return base + L" " + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++counter);
}

TEST(PreInstallRecord, NewerDriverDatesAndMissingRecordsNeedThePreInstallStep)
{
    ScopedDriver driver(uniqueDriverName(L"Vrelm PreCopy Driver"));
    std::wstring name = driver.name();
    DRIVER_INFO_6W info = {};
    info.pName = name.data();
    const struct {
        const char* what;
        std::vector<std::pair<const wchar_t*, DWORD>> recorded; // empty: no key
        FILETIME date;                                          // low, high
        bool needed;
    } rows[] = {
        {"no record", {}, {5, 7}, true},
        {"low part missing", {{L"DriverDateH", 7}}, {5, 7}, true},
        {"high part greater", {{L"DriverDateH", 6}, {L"DriverDateL", 9}}, {5, 7}, true},
        {"high part less", {{L"DriverDateH", 8}, {L"DriverDateL", 1}}, {5, 7}, false},
        {"same date", {{L"DriverDateH", 7}, {L"DriverDateL", 5}}, {5, 7}, false},
        {"low part greater", {{L"DriverDateH", 7}, {L"DriverDateL", 4}}, {5, 7}, true},
        {"low part less", {{L"DriverDateH", 7}, {L"DriverDateL", 6}}, {5, 7}, false},
        {"recorded as unsigned", {{L"DriverDateH", 0x80000000}, {L"DriverDateL", 0}}, {0, 0x80000001}, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, (kPreCopy + name).c_str());
        if (!row.recorded.empty())
            driver.record(row.recorded);
        info.ftDriverDate = row.date;
        EXPECT_EQ(LumoraUI::needsPreInstall(info), row.needed);
    }

    // Recorded, the same date needs nothing more; a driver name past any fixed path buffer is recorded whole.
    for (const std::wstring& driverName : {name, name + std::wstring(250 - name.size(), L'x')}) {
        ScopedDriver scope(driverName);
        std::wstring text = driverName;
        info.pName = text.data();
        info.ftDriverDate = {0x11223344, 0x01D9ABCD};
        ASSERT_TRUE(LumoraUI::recordDriverDate(info));
        DWORD high = 0, low = 0;
        ASSERT_TRUE(scope.recorded(high, low));
        EXPECT_EQ(high, 0x01D9ABCDu);
        EXPECT_EQ(low, 0x11223344u);
        EXPECT_FALSE(LumoraUI::needsPreInstall(info));
    }
    info.pName = nullptr;
    EXPECT_FALSE(LumoraUI::needsPreInstall(info)) << "a driver without a name has no record to keep";
    EXPECT_FALSE(LumoraUI::recordDriverDate(info));
}

// The extension's static-mode steps, recorded; the marker as the default keeps it.
class RecordingSteps : public StaticModeSteps {
public:
    bool verifyStaticModePrinter(LumoraPrintingExtension&, HANDLE printer, HWND parent, bool staticUpdate,
                                 bool showDialog) override
    {
        DWORD newInstall = 0;
        DWORD type = 0, size = 0;
        GetPrinterDataW(printer, const_cast<wchar_t*>(L"LumoNewInstall"), &type, reinterpret_cast<BYTE*>(&newInstall),
                        sizeof(newInstall), &size);
        verified.push_back({parent, staticUpdate, showDialog, newInstall});
        return true;
    }
    struct Call {
        HWND parent;
        bool staticUpdate;
        bool showDialog;
        DWORD newInstallDuring;
    };
    std::vector<Call> verified;
};

class PrinterEventsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(hkcu_.isActive());
        closePropertyStore();
        ASSERT_NE(nullptr, testspool::control());
        ASSERT_TRUE(tickets_.ready());
        SetEnvironmentVariableW(L"VRELM111_LOG", preInstallLog_.c_str());
        StaticModeSteps::set(&steps_);
        monitor_.monitorName = L"QZ Keravin Event Test " + std::to_wstring(GetCurrentProcessId());
        monitor_.systemDirectory = dir_.path();
    }
    void TearDown() override
    {
        StaticModeSteps::set(nullptr);
        testspool::control()->removeMonitor(monitor_.monitorName.c_str());
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, (kMonitors + monitor_.monitorName).c_str());
        SetEnvironmentVariableW(L"VRELM111_LOG", nullptr);
        deleteProcessProperty(krv::kPrtInit);
        closePropertyStore();
    }
    // A new queue of the test's driver (dated) on the port.
    void makeQueue(const std::wstring& port)
    {
        ASSERT_EQ(DWORD{ERROR_SUCCESS}, driver_.setDate(0x01D9ABCD, 0x10));
        queue_ = std::make_unique<testspool::ScopedQueue>(testspool::uniqueQueueName(L"Printer Events"),
                                                          driver_.name(), port);
        ASSERT_EQ(DWORD{ERROR_SUCCESS}, queue_->error());
    }
    void initialize(const std::wstring& name)
    {
        EXPECT_EQ(0, LumoraUI::driverEventInit());
        EXPECT_EQ(~std::uint64_t{0}, getProcessProperty(krv::kPrtInit));
        EXPECT_EQ(0, LumoraUI::printerEventInitPre(name.c_str(), LumoraUI::kPrinterEventInitialize));
        EXPECT_EQ(1u, getProcessProperty(krv::kPrtInit));
    }
    // Printer data "name" as a DWORD; -1 when absent.
    long long data(const wchar_t* name) const
    {
        HANDLE printer = nullptr;
        if (!OpenPrinterW(const_cast<wchar_t*>(queue_->name().c_str()), &printer, nullptr))
            return -2;
        DWORD value = 0, type = 0, size = 0;
        const DWORD error = GetPrinterDataW(printer, const_cast<wchar_t*>(name), &type, reinterpret_cast<BYTE*>(&value),
                                            sizeof(value), &size);
        ClosePrinter(printer);
        return error == ERROR_SUCCESS ? static_cast<long long>(value) : -1;
    }
    bool storedTicket() const
    {
        HANDLE printer = nullptr;
        if (!OpenPrinterW(const_cast<wchar_t*>(queue_->name().c_str()), &printer, nullptr))
            return false;
        wchar_t text[256] = {};
        DWORD type = 0, size = 0;
        const bool stored = GetPrinterDataExW(printer, JCTManager::kDataKey, L"MediaSize", &type,
                                              reinterpret_cast<BYTE*>(text), sizeof(text), &size) == ERROR_SUCCESS;
        ClosePrinter(printer);
        return stored;
    }
    // The per-process markers this process holds.
    static std::vector<std::wstring> processMarkers()
    {
        wchar_t pid[16];
        swprintf(pid, 16, L"%X", static_cast<unsigned>(GetCurrentProcessId()));
        std::vector<std::wstring> names;
        ScopedRegKey key;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, settingskeys::kKrvProperties, 0, KEY_READ, key.receive()) != ERROR_SUCCESS)
            return names;
        wchar_t name[512];
        for (DWORD index = 0;; ++index) {
            DWORD length = 512;
            if (RegEnumValueW(key.get(), index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
                break;
            const std::wstring text(name, length);
            if (text.size() > wcslen(pid) && text.compare(text.size() - wcslen(pid), std::wstring::npos, pid) == 0)
                names.push_back(text);
        }
        return names;
    }
    size_t preInstalls() const { return testenv::readLines(preInstallLog_).size(); }

    testenv::PrivateCurrentUser hkcu_;
    testenv::JobTicketModuleStandIn tickets_;
    testenv::TempDir dir_;
    std::wstring preInstallLog_ = dir_.file(L"vrelm111.log");
    RecordingSteps steps_;
    MPrint::PrintMonitorFiles monitor_;
    int post(const std::wstring& name, int event = LumoraUI::kPrinterEventInitialize)
    {
        return LumoraUI::printerEventInitPost(name.c_str(), event, monitor_);
    }
    ScopedDriver driver_{uniqueDriverName(L"Vrelm Event Driver")};
    std::unique_ptr<testspool::ScopedQueue> queue_;
};

TEST_F(PrinterEventsTest, NewQueueIsSetUpForTheManagedModeAndThePreInstallStepRunsOncePerDriverDate)
{
    makeQueue(L"IP_127.0.0.9");
    tickets_.answerQueue(queue_->name(), L"office.xml");
    testspool::ScopedCallLog log;
    const std::wstring given = L"\\\\" + LumoraUI::computerName() + L"\\" + queue_->name() + L",driver,port";
    initialize(given);
    for (const wchar_t* name : {L"LumoDynamicUI", L"LumoraPrinter", L"LumoNewInstall", L"LumoUpdateNow"})
        EXPECT_EQ(data(name), 1) << testenv::narrow(name);
    EXPECT_EQ(data(L"LumoAutoCreated"), -1);

    EXPECT_EQ(0, post(given));
    EXPECT_EQ(0u, getProcessProperty(krv::kPrtInit));
    size_t monitorAdds = 0;
    for (const std::string& line : log.calls("AddMonitorW"))
        monitorAdds += line.find(testenv::narrow(monitor_.monitorName)) != std::string::npos ? 1 : 0;
    EXPECT_EQ(monitorAdds, 1u) << "the maker's monitor installed";
    EXPECT_EQ(data(L"StaticMode"), 1);
    for (const wchar_t* name : {L"LumoNewInstall", L"LumoUpdateNow", L"LumoPrnEventInitPostInstall"})
        EXPECT_EQ(data(name), -1) << testenv::narrow(name) << " is gone";
    ASSERT_EQ(steps_.verified.size(), 1u);
    EXPECT_EQ(steps_.verified[0].parent, nullptr);
    EXPECT_TRUE(steps_.verified[0].staticUpdate);
    EXPECT_FALSE(steps_.verified[0].showDialog);
    EXPECT_EQ(steps_.verified[0].newInstallDuring, 1u) << "verified while the queue is still new";
    // No address known for the queue: the ticket module's for the queue.
    EXPECT_EQ(tickets_.calls("CreateJCTForPrintQueue").size(), 1u);
    EXPECT_TRUE(storedTicket());
    bool levelEight = false;
    for (const std::string& line : log.calls("SetPrinterW"))
        levelEight = levelEight || line.find("\t8\t") != std::string::npos;
    EXPECT_TRUE(levelEight) << "the driver's default device mode set as the queue's";

    const std::vector<std::string> calls = testenv::readLines(preInstallLog_);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0], "preinstall\tvrelm111.config\t" + std::to_string(THREAD_PRIORITY_ABOVE_NORMAL));
    DWORD high = 0, low = 0;
    ASSERT_TRUE(driver_.recorded(high, low));
    EXPECT_EQ(high, 0x01D9ABCDu);
    EXPECT_EQ(low, 0x10u);

    // The same driver again: nothing to pre-install; a newer one runs the step and is recorded.
    initialize(queue_->name());
    EXPECT_EQ(0, post(queue_->name()));
    EXPECT_EQ(preInstalls(), 1u);
    ASSERT_EQ(DWORD{ERROR_SUCCESS}, driver_.setDate(0x01D9ABCD, 0x11));
    initialize(queue_->name());
    EXPECT_EQ(0, post(queue_->name()));
    EXPECT_EQ(preInstalls(), 2u);
    ASSERT_TRUE(driver_.recorded(high, low));
    EXPECT_EQ(low, 0x11u);
    EXPECT_EQ(processMarkers(), std::vector<std::wstring>{}) << "the events leave no marker of the process";
}

TEST_F(PrinterEventsTest, AutoCreatedClientQueueKeepsItsDeviceModeAndGetsTheQueueTicket)
{
    makeQueue(L"TS001");
    testspool::ScopedCallLog log;
    initialize(queue_->name());
    EXPECT_EQ(data(L"LumoAutoCreated"), 1);
    EXPECT_EQ(0, post(queue_->name()));
    EXPECT_TRUE(tickets_.calls().empty()) << "the queue's ticket comes from the defaults, not the device";
    EXPECT_TRUE(log.calls("SetPrinterW").empty());
    EXPECT_TRUE(steps_.verified.empty());
    EXPECT_EQ(data(L"StaticMode"), 1);
    EXPECT_EQ(preInstalls(), 0u) << "an auto-created client queue has no pre-install step";
}

TEST_F(PrinterEventsTest, OtherEventsAndQueuesThatDoNotOpenOnlyMarkTheInstall)
{
    makeQueue(L"IP_127.0.0.9");
    testspool::ScopedCallLog log;
    const struct {
        const char* what;
        std::wstring name;
        int event;
    } rows[] = {
        {"another event", queue_->name(), 1},
        {"no such queue", queue_->name() + L" gone", LumoraUI::kPrinterEventInitialize},
        {"no name", L"", LumoraUI::kPrinterEventInitialize},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        EXPECT_EQ(0, LumoraUI::printerEventInitPre(row.name.c_str(), row.event));
        EXPECT_EQ(1u, getProcessProperty(krv::kPrtInit));
        EXPECT_EQ(0, post(row.name, row.event));
        EXPECT_EQ(0u, getProcessProperty(krv::kPrtInit));
    }
    EXPECT_EQ(0, LumoraUI::printerEventInitPre(nullptr, LumoraUI::kPrinterEventInitialize));
    EXPECT_EQ(0, LumoraUI::printerEventInitPost(nullptr, LumoraUI::kPrinterEventInitialize, monitor_));
    EXPECT_TRUE(log.calls("SetPrinterDataW").empty());
    EXPECT_EQ(data(L"LumoraPrinter"), -1);
    EXPECT_EQ(preInstalls(), 0u);


    // A queue removed while its handle is open: the driver gives no size, and no device mode is set.
    HANDLE printer = nullptr;
    ASSERT_TRUE(OpenPrinterW(const_cast<wchar_t*>(queue_->name().c_str()), &printer, nullptr));
    ASSERT_EQ(DWORD{ERROR_SUCCESS}, testspool::control()->removeQueue(queue_->name().c_str()));
    EXPECT_FALSE(setDefaultDevMode(printer));
    EXPECT_FALSE(setDefaultDevMode(nullptr));
    ClosePrinter(printer);
    EXPECT_TRUE(log.calls("SetPrinterW").empty());
    ASSERT_TRUE(setInstallMarker());
    EXPECT_EQ(0, LumoraUI::printerEventRefresh());
    EXPECT_EQ(getInstallState(), 0x80000u);
    clearInstallMarker();
    clearInstallState();
}

// The driver's device mode is stored only when the size it gives holds what it
// writes back: a size out of reason or one its mode outgrows is refused, never
// read past, and the queue keeps the mode it had.
TEST_F(PrinterEventsTest, DefaultDeviceModeIsStoredOnlyWhenTheDriversSizeHoldsIt)
{
    makeQueue(L"IP_127.0.0.9");
    constexpr DWORD kOwnSize = ~0u; // the driver gives its mode's true size
    const DWORD fixedPart = offsetof(DEVMODEW, dmFields);
    const struct {
        const char* what;
        WORD driverExtra; // the private part of the queue's mode
        DWORD size;       // the size the driver gives
        bool stored;
    } rows[] = {
        {"its own size", 0, kOwnSize, true},
        {"its own size with a private part", 64, kOwnSize, true},
        {"no size", 0, 0, false},
        {"less than the fixed part", 0, fixedPart - 2, false},
        {"the fixed part, the mode says more", 0, fixedPart, false},
        {"the private part not counted", 64, sizeof(DEVMODEW), false},
        {"more than any driver's", 0, 1024 * 1024, false},
    };
    WORD orientation = DMORIENT_PORTRAIT;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        // A mode of the queue told apart from every other row's by its orientation and private bytes.
        orientation = orientation == DMORIENT_PORTRAIT ? DMORIENT_LANDSCAPE : DMORIENT_PORTRAIT;
        std::vector<BYTE> mode(sizeof(DEVMODEW) + row.driverExtra, static_cast<BYTE>(0x40 + orientation));
        DEVMODEW header{};
        wcscpy_s(header.dmDeviceName, CCHDEVICENAME, L"Events");
        header.dmSpecVersion = DM_SPECVERSION;
        header.dmSize = sizeof(DEVMODEW);
        header.dmDriverExtra = row.driverExtra;
        header.dmFields = DM_ORIENTATION;
        header.dmOrientation = static_cast<short>(orientation);
        memcpy(mode.data(), &header, sizeof(header));
        ASSERT_EQ(DWORD{ERROR_SUCCESS}, testspool::control()->setQueueValue(queue_->name().c_str(), nullptr,
                                                                            L"Default DevMode", REG_BINARY, mode.data(),
                                                                            static_cast<DWORD>(mode.size())));
        if (row.size != kOwnSize) { // the rows of the driver's own size come first
            ASSERT_EQ(DWORD{ERROR_SUCCESS},
                      testspool::control()->setDriverValue(driver_.name().c_str(), L"DevMode Size", REG_DWORD,
                                                           &row.size, sizeof(row.size)));
        }
        ScopedPrinter printer = testspool::openQueue(queue_->name());
        // The queue's mode as stored, and the spooler's view of it after the call.
        DWORD needed = 0;
        GetPrinterW(printer.get(), 8, nullptr, 0, &needed);
        std::vector<BYTE> before(needed);
        ASSERT_TRUE(GetPrinterW(printer.get(), 8, before.data(), needed, &needed));
        {
            testspool::ScopedCallLog log;
            EXPECT_EQ(row.stored, setDefaultDevMode(printer.get()));
            EXPECT_EQ(row.stored, !log.calls("SetPrinterW").empty());
        }
        GetPrinterW(printer.get(), 8, nullptr, 0, &needed);
        std::vector<BYTE> after(needed);
        ASSERT_TRUE(GetPrinterW(printer.get(), 8, after.data(), needed, &needed));
        const DEVMODEW* was = reinterpret_cast<PRINTER_INFO_8W*>(before.data())->pDevMode;
        const DEVMODEW* now = reinterpret_cast<PRINTER_INFO_8W*>(after.data())->pDevMode;
        ASSERT_NE(nullptr, was);
        ASSERT_NE(nullptr, now);
        ASSERT_EQ(was->dmSize + was->dmDriverExtra, now->dmSize + now->dmDriverExtra);
        EXPECT_EQ(0, memcmp(was, now, was->dmSize + was->dmDriverExtra)) << "the queue's mode, private part and all";
    }
}

TEST_F(PrinterEventsTest, InstallStartedFromAnotherQueueRecordsTheLocalName)
{
    makeQueue(L"IP_127.0.0.9");
    InstallContext context;
    ASSERT_TRUE(context.setContext(2));
    initialize(queue_->name());
    EXPECT_EQ(0, post((L"\\\\SRV\\" + queue_->name())));
    EXPECT_EQ(InstallContext().getOriginalPrinterName(), queue_->name());
}

} // namespace
