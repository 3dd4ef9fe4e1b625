// Pointing a queue of the spooler stand-in at a destination's port: the
// shortcut when nothing changed, the switch with and without the update-now
// refresh, a queue that keeps its port, a refused port write, the monitor
// road for a user without rights (through the Keravin monitor's pipe host),
// the port-switch counter and the update-now marker in protected mode.
#include "extension/DestinationApply.h"

#include "access/MonitorAccess.h"
#include "core/RegistryKey.h"
#include "core/SettingsKeys.h"
#include "destination/DestinationContext.h"
#include "destination/PrintPathAttr.h"
#include "discovery/DiscoveryClassIds.h"
#include "extension/KRVProperties.h"
#include "extension/LumoraPrintingExtension.h"
#include "support/MonitorPipeHost.h"
#include "support/PolicyTestEnv.h"
#include "support/PrivateCurrentUser.h"
#include "support/QueueData.h"
#include "support/SharedState.h"
#include "support/TestEnv.h"
#include "support/TestSpooler.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

VRELM_TEST_SHARES(policy_settings, qzkrvmon_pipe);

namespace {

using MPrint::DestinationApply;
using MPrint::DestinationContext;
using MPrint::PrintPath;

constexpr DWORD kAbsent = 0xFFFFFFFF;

class DestinationApplyTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(hkcu_.isActive());
        closePropertyStore();
        testenv::clearPolicyState();
        ASSERT_EQ(DWORD{ERROR_SUCCESS}, queue_.error());
        extension_ = LumoraPrintingExtension::instance();
        ASSERT_NE(nullptr, extension_);
        deleteProcessProperty(krv::kFreeDVTs);
        deleteProcessProperty(krv::kProxyGetDevMode);
    }
    void TearDown() override
    {
        delete LumoraPrintingExtension::current();
        testenv::clearPolicyState();
        closePropertyStore();
    }

    // A context for the queue holding a path to a device of that model.
    std::unique_ptr<DestinationContext> context(const char* model, const wchar_t* address = L"10.9.8.7")
    {
        auto made = std::make_unique<DestinationContext>(queue_.name(), nullptr);
        if (model) {
            auto* path = new PrintPath();
            path->setDevice(MPrint::Device(model, model), true);
            path->setStringAttribute(PrintPathAttr::Address, address, true);
            made->setPrintPath(path);
        }
        return made;
    }
    std::wstring port()
    {
        ScopedPrinter printer = testspool::openQueue(queue_.name(), PRINTER_ACCESS_USE);
        DWORD needed = 0;
        GetPrinterW(printer.get(), 5, nullptr, 0, &needed);
        std::vector<BYTE> info(needed + 8);
        if (!needed || !GetPrinterW(printer.get(), 5, info.data(), needed, &needed))
            return L"<unread>";
        const wchar_t* name = reinterpret_cast<PRINTER_INFO_5W*>(info.data())->pPortName;
        return name ? name : L"";
    }
    std::optional<std::wstring> text(const std::wstring& name)
    {
        ScopedPrinter printer = testspool::openQueue(queue_.name(), PRINTER_ACCESS_USE);
        const testspool::DataValues values = testspool::enumDataValues(printer.get(), L"PrinterDriverData");
        const auto found = values.find(name);
        if (found == values.end() || found->second.first != REG_SZ)
            return std::nullopt;
        const std::string& bytes = found->second.second;
        std::wstring value(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2);
        return value.substr(0, value.find(L'\0'));
    }
    DWORD dword(const std::wstring& name)
    {
        ScopedPrinter printer = testspool::openQueue(queue_.name(), PRINTER_ACCESS_USE);
        DWORD value = kAbsent, type = 0, needed = 0;
        if (GetPrinterDataW(printer.get(), const_cast<LPWSTR>(name.c_str()), &type, reinterpret_cast<BYTE*>(&value),
                            sizeof(value), &needed) != ERROR_SUCCESS)
            return kAbsent;
        return value;
    }
    DWORD userValue(const wchar_t* name)
    {
        RegistryKey key(HKEY_CURRENT_USER, settingskeys::kSettings, RegistryKey::kRead);
        DWORD value = kAbsent;
        key.queryDword(name, &value);
        return value;
    }
    void setUserValue(const wchar_t* name, DWORD value)
    {
        RegistryKey key(HKEY_CURRENT_USER, settingskeys::kSettings, RegistryKey::kAllAccess, true);
        if (value == kAbsent)
            key.deleteValue(name);
        else
            key.setDword(name, value);
    }

    testenv::PrivateCurrentUser hkcu_;
    testspool::ScopedQueue queue_{testspool::uniqueQueueName(L"Apply Destination")};
    LumoraPrintingExtension* extension_ = nullptr;
};

TEST(DestinationApplyModel, MakersFullNameBeforeItsShortNameIsShortened)
{
    const struct {
        const char* model;
        const char* stored;
    } rows[] = {
        {"TarvokinQZ LaserPro 4000", "QZ LaserPro 4000"},
        {"Tarvokin QZ LaserPro 4000", "Tarvokin QZ LaserPro 4000"}, // not written together
        {"TarvokinQZ 1 TarvokinQZ 2", "QZ 1 TarvokinQZ 2"},          // the first place only
        {"Other Laser", "Other Laser"},
        {"", ""},
    };
    for (const auto& row : rows)
        EXPECT_EQ(row.stored, DestinationApply::shortModelName(row.model)) << row.model;
}

TEST_F(DestinationApplyTest, SamePortAndModelTakeTheShortcut)
{
    queue_.setString(L"", L"LPT1:", L"QZ LaserPro 4000");
    testspool::ScopedCallLog log;
    auto made = context("TarvokinQZ LaserPro 4000");
    EXPECT_TRUE(extension_->applyDestinationToPrinter(made.get(), L"lpt1:"));
    EXPECT_EQ(L"LPT1:", port());
    EXPECT_TRUE(log.calls("SetPrinterW").empty()) << "no port write";
    EXPECT_TRUE(log.calls("PrinterProperties").empty());
    EXPECT_EQ(L"QZ LaserPro 4000", text(L"LPT1:").value_or(L"<absent>")) << "stored again under the port";
    EXPECT_EQ(kAbsent, userValue(L"ChangedPorts")) << "no switch counted";
}

TEST_F(DestinationApplyTest, SwitchingThePortRefreshesOnlyADynamicQueue)
{
    // A driver of the queue's own, whose device mode size the rows choose.
    const std::wstring driver = L"Vrelm Apply Driver " + std::to_wstring(GetCurrentProcessId());
    struct DriverGone {
        std::wstring key;
        ~DriverGone() { RegDeleteTreeW(HKEY_LOCAL_MACHINE, key.c_str()); }
    } gone{L"SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\Windows x64\\Drivers\\Version-3\\" + driver};
    ASSERT_EQ(DWORD{ERROR_SUCCESS}, testspool::control()->setDriverValue(driver.c_str(), nullptr, 0, nullptr, 0));
    ASSERT_EQ(DWORD{ERROR_SUCCESS},
              testspool::control()->setQueueValue(queue_.name().c_str(), nullptr, L"Printer Driver", REG_SZ,
                                                  driver.c_str(),
                                                  static_cast<DWORD>((driver.size() + 1) * sizeof(wchar_t))));
    const struct {
        const char* name;
        DWORD dynamicUI;
        DWORD changePortOnly;
        DWORD devModeSize; // kAbsent: the driver gives its mode's own size
        bool refreshed;
        bool modeSet;
    } rows[] = {
        {"static driver", 0, kAbsent, kAbsent, false, false},
        {"dynamic driver", 1, kAbsent, kAbsent, true, true},
        {"dynamic driver, port only", 1, 1, kAbsent, false, false},
        // A faulty driver's size: the refresh goes on without its device mode.
        {"dynamic driver giving no size", 1, kAbsent, 0, true, false},
        {"dynamic driver whose mode outgrows its size", 1, kAbsent, 100, true, false},
        {"dynamic driver giving more than any driver's", 1, kAbsent, 1024 * 1024, true, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        if (row.devModeSize != kAbsent) { // the rows of the driver's own size come first
            ASSERT_EQ(DWORD{ERROR_SUCCESS}, testspool::control()->setDriverValue(driver.c_str(), L"DevMode Size",
                                                                                REG_DWORD, &row.devModeSize,
                                                                                sizeof(DWORD)));
        }
        queue_.setDword(L"", L"LumoDynamicUI", 0);
        ASSERT_TRUE(DestinationApply(false).apply(context(nullptr).get(), L"LPT1:")); // back on LPT1:
        queue_.setString(L"", L"LPT1:", L"QZ Old Model");
        queue_.setDword(L"", L"LumoDynamicUI", row.dynamicUI);
        auto made = context("QZ LaserPro 4000");
        if (row.changePortOnly != kAbsent)
            made->getPrintPath()->setNumericAttribute(PrintPathAttr::ChangePortOnly, row.changePortOnly, false);
        deleteProcessProperty(krv::kProxyGetDevMode);
        testspool::ScopedCallLog log;

        EXPECT_TRUE(extension_->applyDestinationToPrinter(made.get(), L"FILE:"));
        EXPECT_EQ(L"FILE:", port());
        EXPECT_FALSE(text(L"LPT1:").has_value()) << "the old port's model is gone";
        EXPECT_EQ(L"QZ LaserPro 4000", text(L"FILE:").value_or(L"<absent>"));
        EXPECT_EQ(row.refreshed, !log.calls("PrinterProperties").empty());
        EXPECT_EQ(row.modeSet ? 1u : 0u, getProcessProperty(krv::kProxyGetDevMode)) << "global device mode set";
        bool levelEight = false;
        for (const std::string& line : log.calls("SetPrinterW"))
            levelEight = levelEight || line.find("\t8\t") != std::string::npos;
        EXPECT_EQ(row.modeSet, levelEight);
        EXPECT_EQ(row.refreshed ? 1u : kAbsent, dword(L"BidiCache"));
        EXPECT_EQ(row.refreshed ? 0u : kAbsent, dword(L"BidiReadCache")) << "nothing cached to move";
        EXPECT_EQ(kAbsent, dword(L"LumoUpdateNow")) << "the marker is only set while the driver refreshes";
        ScopedPrinter admin = testspool::openQueue(queue_.name());
        DeletePrinterDataW(admin.get(), const_cast<LPWSTR>(L"BidiCache"));
        DeletePrinterDataW(admin.get(), const_cast<LPWSTR>(L"BidiReadCache"));
    }
}

TEST_F(DestinationApplyTest, PortWritesThatFailOrAreKept)
{
    const struct {
        const char* name;
        const wchar_t* port;
        DWORD autoCreated;
        DWORD staticModeUpdate; // kAbsent: no print path at all
        bool result;
    } rows[] = {
        {"unknown port, no print path", L"NoSuchPort", 0, kAbsent, false},
        {"unknown port, print path", L"NoSuchPort", 0, 0, false},
        {"unknown port, static-mode update", L"NoSuchPort", 0, 1, true},
        {"auto-created queue keeps its port", L"FILE:", 1, 0, true},
    };
    setUserValue(L"ChangedPorts", 0);
    setUserValue(L"FreeDVTCount", 100);
    DWORD switches = 0;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        queue_.setDword(L"", L"LumoAutoCreated", row.autoCreated);
        auto made = context(row.staticModeUpdate == kAbsent ? nullptr : "QZ LaserPro 4000");
        if (row.staticModeUpdate != kAbsent)
            made->getPrintPath()->setNumericAttribute(PrintPathAttr::StaticModeUpdate, row.staticModeUpdate, false);
        EXPECT_EQ(row.result, extension_->applyDestinationToPrinter(made.get(), row.port));
        EXPECT_EQ(L"LPT1:", port());
        switches += row.result ? 1 : 0;
        EXPECT_EQ(switches, userValue(L"ChangedPorts")) << "a failed write counts no switch";
    }
    // The kept port carries the model it was applied with.
    EXPECT_EQ(L"QZ LaserPro 4000", text(L"LPT1:").value_or(L"<absent>"));
}

TEST_F(DestinationApplyTest, EverySwitchIsCountedAndTheThresholdFreesDeviceTickets)
{
    const struct {
        const char* name;
        DWORD changed, threshold;
        DWORD changedAfter;
        bool freesTickets;
    } rows[] = {
        {"neither value yet", kAbsent, kAbsent, 0, true},
        {"below the threshold", 2, kAbsent, 3, false},
        {"reaching the threshold", 4, 5, 0, true},
        {"a threshold of one", 0, 1, 0, true},
    };
    const wchar_t* ports[] = {L"FILE:", L"LPT1:"};
    int turn = 0;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        setUserValue(L"ChangedPorts", row.changed);
        setUserValue(L"FreeDVTCount", row.threshold);
        deleteProcessProperty(krv::kFreeDVTs);
        ASSERT_TRUE(DestinationApply(false).apply(context(nullptr).get(), ports[turn++ % 2]));
        EXPECT_EQ(row.changedAfter, userValue(L"ChangedPorts"));
        EXPECT_EQ(row.freesTickets, getProcessProperty(krv::kFreeDVTs) != 0);
    }
}

TEST_F(DestinationApplyTest, UpdateNowMarkerInProtectedMode)
{
    ScopedPrinter admin = testspool::openQueue(queue_.name());
    const struct {
        const char* name;
        bool protectedMode;
        int operation;
        DWORD value;
        bool result;
        DWORD stored;
    } rows[] = {
        {"set", false, DestinationApply::kSetMarker, 1, true, 1},
        {"read", false, DestinationApply::kGetMarker, 0, true, 1},
        {"protected: clearing by writing 0 is refused", true, DestinationApply::kSetMarker, 0, false, 1},
        {"protected: delete is refused", true, DestinationApply::kDeleteMarker, 0, false, 1},
        {"protected: set", true, DestinationApply::kSetMarker, 2, true, 2},
        {"delete", false, DestinationApply::kDeleteMarker, 0, true, kAbsent},
        {"read the deleted marker", false, DestinationApply::kGetMarker, 7, false, kAbsent},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        if (row.protectedMode)
            setProcessProperty(krv::kUpdateNowProtectedMode, 1);
        else
            deleteProcessProperty(krv::kUpdateNowProtectedMode);
        DWORD value = row.value;
        bool protectedMode = !row.protectedMode;
        EXPECT_EQ(row.result, LumoraPrintingExtension::updateNowMarker(row.operation, admin.get(), value, protectedMode));
        EXPECT_EQ(row.protectedMode, protectedMode);
        EXPECT_EQ(row.stored, dword(L"LumoUpdateNow"));
        if (row.operation == DestinationApply::kGetMarker && row.result) {
            EXPECT_EQ(row.stored, value);
        }
    }
    deleteProcessProperty(krv::kUpdateNowProtectedMode);
    DWORD value = 1;
    bool protectedMode = false;
    EXPECT_FALSE(LumoraPrintingExtension::updateNowMarker(DestinationApply::kSetMarker, nullptr, value, protectedMode));
}

TEST_F(DestinationApplyTest, UserWithoutRightsSwitchesThroughThePortMonitor)
{
    ASSERT_TRUE(qzmon::registerStandInMonitors());
    MonitorPipeHost host;
    ASSERT_TRUE(host.ready());
    queue_.setDword(L"", L"LumoDynamicUI", 1);
    queue_.setDword(L"", L"LumoNewInstall", 1);
    auto made = context("TarvokinQZ LaserPro 4000");
    PrintPath* path = made->getPrintPath();
    path->setNumericAttribute(PrintPathAttr::SetBIDIHelperValuesXcv, 1, false);
    path->setNumericAttribute(PrintPathAttr::BIDIPortType, 1, false);
    path->setNumericAttribute(PrintPathAttr::BIDIPortNumber, 9100, false);
    path->setNumericAttribute(PrintPathAttr::BIDIDeviceAddressOverride, 0, false);
    path->setStringAttribute(PrintPathAttr::BIDIDeviceAddress, L"10.9.8.7", false);
    path->setStringAttribute(PrintPathAttr::BIDICurrentPort, L"FILE:", false);
    {
        testspool::ScopedUserRights user;
        EXPECT_TRUE(DestinationApply(true).apply(made.get(), L"FILE:"));
        EXPECT_FALSE(DestinationApply(false).apply(made.get(), L"NoSuchPort")) << "the monitor refuses it too";
    }
    EXPECT_EQ(L"FILE:", port());
    EXPECT_EQ(L"QZ LaserPro 4000", text(L"FILE:").value_or(L"<absent>"));
    EXPECT_EQ(0u, dword(L"LumoNewInstall"));
    EXPECT_EQ(1u, dword(L"BidiCache"));
    EXPECT_EQ(0u, dword(L"BidiReadCache"));
    EXPECT_EQ(9100u, dword(L"BIDIPortNumber"));
    EXPECT_EQ(L"10.9.8.7", text(L"BIDIDeviceAddress").value_or(L"<absent>"));
    EXPECT_EQ(0u, userValue(L"ChangedPorts")) << "the first switch reached the default threshold";
}

TEST_F(DestinationApplyTest, PrintPathIsAppliedAndTheCallerKeepsIt)
{
    PrintPath path;
    path.setDevice(MPrint::Device("QZ LaserPro 4000", "QZ LaserPro 4000"), true);
    path.setDiscoveryId(discoveryids::kLocalPorts);
    path.setStringAttribute(PrintPathAttr::LocalPort, L"FILE:", true);
    path.setNumericAttribute(PrintPathAttr::LocalPortType, 1, true);
    auto made = context(nullptr);
    std::wstring portName;
    const bool applied = extension_->applyPrintPathToPrinter(made.get(), &path, portName);
    ASSERT_NE(nullptr, made->getPrintPath());
    EXPECT_NE(&path, made->getPrintPath()) << "the context holds a copy";
    EXPECT_TRUE(applied);
    EXPECT_EQ(L"FILE:", portName);
    EXPECT_EQ(L"FILE:", port());
    EXPECT_FALSE(extension_->applyPrintPathToPrinter(made.get(), nullptr, portName));
    EXPECT_FALSE(extension_->applyDestinationToPrinter(nullptr, L"FILE:"));
    EXPECT_FALSE(extension_->applyDestinationToPrinter(made.get(), L""));
}

} // namespace
