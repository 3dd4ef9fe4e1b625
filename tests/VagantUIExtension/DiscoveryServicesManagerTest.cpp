// The discovery services manager over fake services registered with the
// component registry: its state machine, partial failures, enabling and
// disabling one service, the history loads it waits for at shutdown, the
// per-user list names it enumerates, and the services it registers and makes
// for the managed printer lists.
#include "VagantUIExtension/DiscoveryServicesManager.h"
#include "core/ComponentRegistry.h"
#include "core/RegistryKey.h"
#include "core/ScopedHandle.h"
#include "core/SettingsKeys.h"
#include "discovery/DiscoveryServiceIntf.h"
#include "discovery/QZMPLDiscovery.h"
#include "extension/ManagedPrintPolicy.h"
#include "extension/PolicySources.h"
#include "support/FakeDiscoveryService.h"
#include "support/PrivateCurrentUser.h"
#include "support/SharedState.h"
#include "support/TestEnv.h"
#include "support/ScratchKey.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

VRELM_TEST_SHARES(policy_settings);

using fakes::FakeServiceConfig;

namespace {

// Byte order (Data1 little-endian first): kFirst < kSecond < kThird < kFourth.
const GUID kSecond = {0x00000201, 0x3c51, 0x4a7d, {0x8e, 0x02, 0x6b, 0x31, 0x00, 0x00, 0x00, 0x02}};
const GUID kFirst = {0x00000300, 0x3c51, 0x4a7d, {0x8e, 0x02, 0x6b, 0x31, 0x00, 0x00, 0x00, 0x01}};
const GUID kThird = {0x00000003, 0x3c51, 0x4a7d, {0x8e, 0x02, 0x6b, 0x31, 0x00, 0x00, 0x00, 0x03}};
const GUID kFourth = {0x00000004, 0x3c51, 0x4a7d, {0x8e, 0x02, 0x6b, 0x31, 0x00, 0x00, 0x00, 0x04}};
const GUID kConfigurator = {0x00000005, 0x3c51, 0x4a7d, {0x8e, 0x02, 0x6b, 0x31, 0x00, 0x00, 0x00, 0x05}};
const GUID kUnknown = {0x7d3e0c11, 0x0f42, 0x4b9a, {0x93, 0x5d, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06}};

void registerService(const GUID& classId, const FakeServiceConfig& config, uint8_t enabled = 1,
                     uint32_t category = kDiscoveryServiceComponent, ComponentCreator creator = fakes::createFakeService)
{
    fakes::configureFakeService(classId, config);
    ComponentRegistry::registerComponent(
        ComponentDescriptor{classId, category, creator, enabled, 0, 0, nullptr, 0, 0, 0, 0, 0});
}

class ManagerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        fakes::fakeServiceLog().clear();
        manager = DiscoveryServicesManager::GetInstance();
    }
    void TearDown() override
    {
        delete DiscoveryServicesManager::GetInstance();
        if (MPrint::ManagedPrintPolicy::hasInstance())
            delete MPrint::ManagedPrintPolicy::instance(); // made by Initialize, owned by the extension
        for (const GUID& id : {kFirst, kSecond, kThird, kFourth, kConfigurator})
            ComponentRegistry::unregisterComponent(id);
        EXPECT_EQ(fakes::liveFakeServices(), 0);
    }
    std::vector<std::string>& log() { return fakes::fakeServiceLog(); }

    DiscoveryServicesManager* manager = nullptr;
};

} // namespace

TEST_F(ManagerTest, StateCodes)
{
    registerService(kFirst, {"first"});
    enum Op { Initialize, Start, Stop, Shutdown };
    struct Row {
        Op op;
        uint32_t code;
        uint32_t state;
    } rows[] = {
        {Start, 4, 0},      {Stop, 6, 0},     {Shutdown, 0, 0}, {Initialize, 0, 1}, {Initialize, 4, 1},
        {Stop, 6, 1},       {Start, 0, 2},    {Start, 4, 2},    {Initialize, 4, 2}, {Stop, 0, 1},
        {Stop, 6, 1},       {Start, 0, 2},    {Shutdown, 0, 0}, {Start, 4, 0},      {Initialize, 0, 1},
        {Shutdown, 0, 0},
    };
    const char* names[] = {"Initialize", "Start", "Stop", "Shutdown"};
    int step = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << "step " << step++ << ": " << names[row.op]);
        uint32_t code = 0;
        switch (row.op) {
        case Initialize: code = manager->Initialize(); break;
        case Start: code = manager->Start(); break;
        case Stop: code = manager->Stop(); break;
        case Shutdown: code = manager->Shutdown(); break;
        }
        EXPECT_EQ(code, row.code);
        EXPECT_EQ(manager->getState(), row.state);
        EXPECT_EQ(manager->GetService(kFirst) != nullptr, row.state != 0);
    }
}

TEST_F(ManagerTest, OneFailingServiceDoesNotHoldUpTheOthers)
{
    registerService(kFirst, {"first"});
    registerService(kSecond, {"refused"}, 1, kDiscoveryServiceComponent, fakes::refuseFakeService);
    registerService(kThird, {"disabled"}, 0);
    FakeServiceConfig failing{"failing"};
    failing.startCode = 9;
    registerService(kFourth, failing);
    registerService(kConfigurator, {"configurator"}, 1, kDeviceConfiguratorComponent);

    EXPECT_EQ(manager->Initialize(), 42u) << "the refused creation's code";
    EXPECT_EQ(manager->getState(), 1u);
    EXPECT_EQ(manager->GetService(kSecond), nullptr);
    EXPECT_EQ(manager->GetService(kConfigurator), nullptr) << "only discovery services";
    EXPECT_EQ(manager->GetService(kUnknown), nullptr);

    std::vector<GUID> order;
    for (auto it = manager->begin(); it != manager->end(); ++it) {
        if (!manager->getListNames().count(it->first)) // the managed lists' own services
            order.push_back(it->first);
    }
    ASSERT_EQ(order.size(), 3u);
    EXPECT_TRUE(IsEqualGUID(order[0], kFirst));
    EXPECT_TRUE(IsEqualGUID(order[1], kThird));
    EXPECT_TRUE(IsEqualGUID(order[2], kFourth));

    log().clear();
    EXPECT_EQ(manager->Start(), 9u);
    EXPECT_EQ(log(), (std::vector<std::string>{"first.Start", "failing.Start"})) << "the disabled one is left alone";
    EXPECT_EQ(manager->GetService(kFirst)->IsRunning(), 1u);
    EXPECT_EQ(manager->GetService(kThird)->IsRunning(), 0u);

    log().clear();
    EXPECT_EQ(manager->Shutdown(), 0u);
    EXPECT_EQ(log(), (std::vector<std::string>{"first.Stop", "first.delete", "disabled.delete", "failing.delete"}));
    EXPECT_EQ(fakes::liveFakeServices(), 0);
}

TEST_F(ManagerTest, EnableServiceStartsAndStopsOneService)
{
    registerService(kFirst, {"first"}, 0);
    ASSERT_EQ(manager->Initialize(), 0u);
    ASSERT_EQ(manager->Start(), 0u);
    MPrint::DiscoveryServiceIntf* service = manager->GetService(kFirst);
    ASSERT_NE(service, nullptr);

    struct Row {
        const char* name;
        const GUID* classId;
        bool enable;
        uint32_t code;
        bool enabled;
        uint32_t running;
        std::vector<std::string> calls;
    } rows[] = {
        {"unknown service", &kUnknown, true, 1, false, 0, {}},
        {"enable a disabled, stopped service", &kFirst, true, 0, true, 1, {"first.SetEnabled(1)", "first.Start"}},
        {"enable again", &kFirst, true, 0, true, 1, {}},
        {"disable a running service", &kFirst, false, 0, false, 0, {"first.Stop", "first.SetEnabled(0)"}},
        {"disable again", &kFirst, false, 0, false, 0, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        log().clear();
        EXPECT_EQ(manager->EnableService(*row.classId, row.enable), row.code);
        EXPECT_EQ(log(), row.calls);
        EXPECT_EQ(service->IsEnabled(), row.enabled);
        EXPECT_EQ(service->IsRunning(), row.running);
        EXPECT_EQ(ComponentRegistry::isEnabled(kFirst), row.enabled) << "recorded for services made later";
    }
}

TEST_F(ManagerTest, DeletedManagerIsMadeAgain)
{
    registerService(kFirst, {"first"});
    EXPECT_EQ(DiscoveryServicesManager::GetInstance(), manager);
    ASSERT_EQ(manager->Initialize(), 0u);
    ASSERT_EQ(manager->Start(), 0u);
    log().clear();
    delete manager;
    EXPECT_EQ(log(), (std::vector<std::string>{"first.Stop", "first.delete"}));
    manager = DiscoveryServicesManager::GetInstance();
    EXPECT_EQ(manager->getState(), 0u);
    EXPECT_EQ(manager->GetService(kFirst), nullptr);
}

namespace {

// A resolve that stays inside its service until the test lets it go, and
// notes how many services were alive when it returned.
HANDLE g_resolveEntered = nullptr;
HANDLE g_resolveRelease = nullptr;
int g_servicesAtReturn = -1;

void holdResolve()
{
    SetEvent(g_resolveEntered);
    WaitForSingleObject(g_resolveRelease, 10000);
    g_servicesAtReturn = fakes::liveFakeServices();
}

} // namespace

// A history loading on another thread resolves an older entry through the
// manager while the manager shuts down: Shutdown waits until the resolve
// has returned, and only then deletes the service.
TEST_F(ManagerTest, ShutdownWaitsForAHistoryLoadResolvingThroughTheServices)
{
    FakeServiceConfig held{"held", MPrint::DiscoveryServiceIntf::kCapResolve};
    held.resolvePaths = 1;
    held.duringResolve = holdResolve;
    registerService(kFirst, held);
    ASSERT_EQ(manager->Initialize(), 0u);
    testenv::ScratchKey scratch{L"DiscoveryServicesManagerTest-Load"};
    RegistryKey& key = *scratch;
    ASSERT_TRUE(key.setString(L"Target0", L"Front desk=10.0.0.5"));
    ASSERT_TRUE(key.setDword(L"HistoryLength", 1));
    ScopedKernelHandle entered(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    ScopedKernelHandle release(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    ScopedKernelHandle shutDown(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    g_resolveEntered = entered.get();
    g_resolveRelease = release.get();
    g_servicesAtReturn = -1;

    size_t loaded = 0;
    std::thread load([&] {
        TargetHistoryList history(key); // none of its own: the process's resolver
        history.load();
        loaded = history.size();
    });
    const bool resolving = WaitForSingleObject(entered.get(), 10000) == WAIT_OBJECT_0;
    std::thread shutdown([&] {
        manager->Shutdown();
        SetEvent(shutDown.get());
    });
    // A Shutdown that does not wait ends here, with the service deleted under the resolve.
    const DWORD duringResolve = resolving ? WaitForSingleObject(shutDown.get(), 500) : WAIT_FAILED;
    SetEvent(release.get());
    load.join();
    shutdown.join();

    ASSERT_TRUE(resolving) << "the load reached the service";
    EXPECT_EQ(DWORD{WAIT_TIMEOUT}, duringResolve) << "Shutdown returned while a resolve was running";
    EXPECT_EQ(1, g_servicesAtReturn) << "the service was deleted before its resolve returned";
    EXPECT_EQ(1u, loaded);
    EXPECT_EQ(0, fakes::liveFakeServices());
}

namespace {

class ListKey : public ::testing::Test {
protected:
    void SetUp() override
    {
        path_ = scratch_.path();
        key_ = scratch_.handle();
        ASSERT_NE(key_, nullptr);
    }
    void addList(const std::wstring& name, const std::wstring& location)
    {
        RegSetValueExW(key_, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(location.c_str()),
                       static_cast<DWORD>((location.size() + 1) * sizeof(wchar_t)));
    }

    testenv::ScratchKey scratch_{L"DiscoveryServicesManagerTest"};
    std::wstring path_;
    HKEY key_ = nullptr; // scratch_'s
};

} // namespace

TEST_F(ListKey, UserListNamesSkipOnlyNamesTooLong)
{
    addList(L"Office", L"http://127.0.0.1/office.xml");
    addList(std::wstring(600, L'L'), L"http://127.0.0.1/long.xml");
    addList(std::wstring(511, L'M'), L"http://127.0.0.1/longest.xml");
    addList(L"Home", L"C:\\lists\\home.xml");
    std::vector<std::wstring> names;
    DiscoveryServicesManager::EnumerateUserLists(key_, names);
    // Windows keeps the order of creation, Wine sorts by name.
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::wstring>{L"Home", std::wstring(511, L'M'), L"Office"}));
}

TEST_F(ListKey, UserListNamesStopWhenTheKeyGoes)
{
    addList(L"Office", L"http://127.0.0.1/office.xml");
    ASSERT_EQ(DWORD(RegDeleteTreeW(HKEY_CURRENT_USER, path_.c_str())), DWORD{ERROR_SUCCESS});
    wchar_t probe[16];
    DWORD probeLength = 16;
    EXPECT_EQ(DWORD(RegEnumValueW(key_, 0, probe, &probeLength, nullptr, nullptr, nullptr, nullptr)),
              DWORD{ERROR_KEY_DELETED})
        << "every index answers this, not ERROR_NO_MORE_ITEMS";
    std::vector<std::wstring> names;
    const DWORD begin = GetTickCount();
    DiscoveryServicesManager::EnumerateUserLists(key_, names);
    EXPECT_LT(GetTickCount() - begin, 2000u) << "the enumeration must end at the first error";
    EXPECT_TRUE(names.empty());

    DiscoveryServicesManager::EnumerateUserLists(nullptr, names);
    EXPECT_TRUE(names.empty());
}

namespace {

// One list of each kind: the default list named by the policy's URL, the
// policy's custom lists 0 and 2 (list 1 has no name), and a per-user list.
class ManagedListRegistration : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(user_.isActive());
        RegistryKey settings(HKEY_CURRENT_USER, settingskeys::kSettings, RegistryKey::kAllAccess, true);
        settings.setDword(L"KRVADS", 19728374); // the directory policy is on
        settings.setDword(L"ADSLoginSimulator", 1);
        RegistryKey group(HKEY_CURRENT_USER, settingskeys::kGroupPolicy, RegistryKey::kAllAccess, true);
        group.setString(L"QZManagedPrinterListURL", L"http://lists.example/printerlist.xml");
        group.setDword(L"CustomMPLCount", 3);
        group.setString(L"CustomMPLName0", L"Zero");
        group.setString(L"CustomMPLPath0", L"\\\\srv\\lists\\zero.xml");
        group.setString(L"CustomMPLName1", L"");
        group.setString(L"CustomMPLPath1", L"\\\\srv\\lists\\one.xml");
        group.setString(L"CustomMPLName2", L"Two");
        group.setString(L"CustomMPLPath2", L"qzmpls://lists.example/two.xml");
        group.setDword(L"CustomMPLType2", 1);
        RegistryKey lists(HKEY_CURRENT_USER, settingskeys::kUserLists, RegistryKey::kAllAccess, true);
        lists.setString(L"Office", L"C:\\lists\\office.xml");
        MPrint::installPolicySources(); // as the printing extension does when it is made
        manager = DiscoveryServicesManager::GetInstance();
    }
    void TearDown() override
    {
        delete DiscoveryServicesManager::GetInstance();
        if (MPrint::ManagedPrintPolicy::hasInstance())
            delete MPrint::ManagedPrintPolicy::instance();
    }
    // The registry's entry of a class id, or null.
    static const ComponentDescriptor* descriptorOf(const GUID& classId, ComponentEntryList& entries)
    {
        entries.clear();
        ComponentRegistry::enumerateComponents(entries, kDiscoveryServiceComponent);
        for (ComponentEntry* entry : entries) {
            if (IsEqualGUID(entry->descriptor.classId, classId))
                return &entry->descriptor;
        }
        return nullptr;
    }

    testenv::PrivateCurrentUser user_;
    DiscoveryServicesManager* manager = nullptr;
};

} // namespace

TEST_F(ManagedListRegistration, OneServicePerKnownList)
{
    ASSERT_EQ(manager->Initialize(), 0u);
    ASSERT_TRUE(MPrint::ManagedPrintPolicy::instance()->hasPolicy());

    struct Row {
        std::wstring listName; // empty: the default list
        std::wstring name, location;
        uint32_t capabilities, listType, nameId, iconId;
    } rows[] = {
        {L"", L"qz managed printing", L"http://lists.example/printerlist.xml", 0x1F008038, 0, 26, 0},
        {L"CustomMPLPath0", L"Zero", L"\\\\srv\\lists\\zero.xml", 0xC038, 0, 0, 0},
        {L"CustomMPLPath2", L"Two", L"qzmpls://lists.example/two.xml", 0xE038, 1, 0, 2},
        {L"Office", L"Office", L"C:\\lists\\office.xml", 0xC038, 0, 0, 0},
    };
    const auto& names = manager->getListNames();
    ASSERT_EQ(names.size(), std::size(rows));
    std::vector<GUID> ids;
    for (const Row& row : rows) {
        SCOPED_TRACE(testenv::narrow(row.name));
        auto it = std::find_if(names.begin(), names.end(), [&](const auto& entry) {
            return row.listName.empty() ? entry.second.size() > 512 : entry.second == row.listName;
        });
        ASSERT_NE(it, names.end());
        ids.push_back(it->first);
        ComponentEntryList entries;
        const ComponentDescriptor* descriptor = descriptorOf(it->first, entries);
        ASSERT_NE(descriptor, nullptr);
        EXPECT_EQ(descriptor->creator, &DiscoveryServicesManager::CreateManagedListService);
        EXPECT_EQ(descriptor->enabled, 1);
        EXPECT_EQ(descriptor->displayNameId, row.nameId);
        EXPECT_EQ(descriptor->thirdTextId, 110u);
        EXPECT_EQ(descriptor->iconId, row.iconId);

        auto* service = dynamic_cast<MPrint::ManagedPortDiscovery*>(manager->GetService(it->first));
        ASSERT_NE(service, nullptr) << "made by the manager through the registry";
        EXPECT_EQ(service->getName(), row.name);
        EXPECT_EQ(service->getListLocation(), row.location);
        EXPECT_EQ(service->GetSearchCapabilities(), row.capabilities);
        EXPECT_EQ(service->getListType(), row.listType);
        EXPECT_EQ(dynamic_cast<MPrint::QZMPLDiscovery*>(service) != nullptr, row.listName.empty());
    }

    ASSERT_EQ(manager->Start(), 0u);
    for (const GUID& id : ids)
        EXPECT_EQ(manager->GetService(id)->IsRunning(), 1u);
    ASSERT_EQ(manager->Stop(), 0u);
    for (const GUID& id : ids)
        EXPECT_EQ(manager->GetService(id)->IsRunning(), 0u);

    // A custom list whose name went meanwhile is made no more; an unknown id never.
    RegistryKey(HKEY_CURRENT_USER, settingskeys::kGroupPolicy, RegistryKey::kAllAccess).setString(L"CustomMPLName0", L"");
    MPrint::ComponentIntf* made = reinterpret_cast<MPrint::ComponentIntf*>(1);
    EXPECT_EQ(DiscoveryServicesManager::CreateManagedListService(ids[1], &made), 3u);
    EXPECT_EQ(made, nullptr);
    EXPECT_EQ(DiscoveryServicesManager::CreateManagedListService(kUnknown, &made), 3u);

    ASSERT_EQ(manager->Shutdown(), 0u);
    EXPECT_TRUE(manager->getListNames().empty());
    for (const GUID& id : ids) {
        ComponentEntryList entries;
        EXPECT_EQ(descriptorOf(id, entries), nullptr) << "unregistered at shutdown";
    }
    ASSERT_EQ(manager->Initialize(), 0u);
    EXPECT_EQ(manager->getListNames().size(), 3u) << "registered again, with new class ids";
    EXPECT_EQ(manager->getListNames().count(ids[0]), 0u);
}
