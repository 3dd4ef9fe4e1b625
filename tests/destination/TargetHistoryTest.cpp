// Target histories in the real registry: order by age, limits, surplus
// values, damaged and older entries, identity semantics, and profiles that
// are renamed and deleted. Every test works under a key of its own.
#include "VagantUIExtension/DiscoveryServicesManager.h"
#include "core/ComponentRegistry.h"
#include "core/RegistryKey.h"
#include "core/SettingsKeys.h"
#include "destination/HistoryProfile.h"
#include "destination/PrintPath.h"
#include "destination/PrintPathAttr.h"
#include "destination/TargetHistoryList.h"
#include "discovery/DiscoveryServiceIntf.h"
#include "extension/ManagedPrintPolicy.h"
#include "support/FakeDiscoveryService.h"
#include "support/ScratchKey.h"
#include "support/SharedState.h"
#include "support/TestEnv.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

VRELM_TEST_SHARES(policy_settings);

using MPrint::PrintPath;

namespace {

PrintPath* makePath(const std::wstring& display)
{
    auto* path = new PrintPath;
    path->setStringAttribute(PrintPathAttr::DisplayString, display, true);
    path->setStringAttribute(PrintPathAttr::Address, display + L".example", true);
    return path;
}

std::wstring xmlOf(const std::wstring& display)
{
    std::unique_ptr<PrintPath> path(makePath(display));
    std::string xml;
    PrintPath::toXml(*path, xml, true);
    return testenv::widen(xml);
}

std::vector<std::wstring> displays(TargetHistoryList& list)
{
    std::vector<std::wstring> result;
    for (auto it = list.begin(); it != list.end(); ++it)
        result.push_back(list.getDisplayString(it));
    return result;
}

class HistoryKey : public ::testing::Test {
protected:
    void SetUp() override
    {
        scratch_ = std::make_unique<testenv::ScratchKey>(
            L"TargetHistoryTest-" + testenv::widen(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        key_ = &**scratch_;
        ASSERT_TRUE(key_->isOpen());
    }

    void storeEntry(DWORD index, const std::wstring& text, const DWORD* age)
    {
        ASSERT_TRUE(key_->setString(L"Target" + std::to_wstring(index), text));
        if (age) {
            ASSERT_TRUE(key_->setDword(L"TargetAge" + std::to_wstring(index), *age));
        }
    }
    bool hasValue(const std::wstring& name)
    {
        return RegQueryValueExW(key_->getHandle(), name.c_str(), nullptr, nullptr, nullptr, nullptr) ==
               ERROR_SUCCESS;
    }
    DWORD dword(const std::wstring& name)
    {
        DWORD value = 0xBADF00D;
        key_->queryDword(name, &value);
        return value;
    }
    std::wstring storedDisplay(DWORD index)
    {
        std::wstring text;
        if (!key_->queryString(L"Target" + std::to_wstring(index), text))
            return L"(missing)";
        std::unique_ptr<PrintPath> path(PrintPath::fromXml(text));
        return path ? path->getStringAttribute(PrintPathAttr::DisplayString) : L"(unreadable)";
    }

    std::unique_ptr<testenv::ScratchKey> scratch_;
    RegistryKey* key_ = nullptr; // scratch_'s
};

} // namespace

TEST_F(HistoryKey, LoadsByAgeAndSavesInListOrder)
{
    const DWORD two = 2, zero = 0, one = 1, seven = 7;
    storeEntry(0, xmlOf(L"A"), &two);
    storeEntry(1, xmlOf(L"B"), &zero);
    storeEntry(2, xmlOf(L"C"), &one);
    storeEntry(3, xmlOf(L"D"), nullptr); // no age: sorts as 0, after B (value order)
    storeEntry(4, xmlOf(L"E"), &seven);
    key_->setDword(L"HistoryLength", 5);

    TargetHistoryList list(*key_);
    ASSERT_TRUE(list.load());
    EXPECT_EQ(displays(list), (std::vector<std::wstring>{L"B", L"D", L"C", L"A", L"E"}));
    EXPECT_EQ(list.getLimit(), TargetHistoryList::kDefaultLimit);

    ASSERT_TRUE(list.save());
    for (DWORD n = 0; n < 5; ++n) {
        SCOPED_TRACE(n);
        EXPECT_EQ(dword(L"TargetAge" + std::to_wstring(n)), n);
    }
    EXPECT_EQ(storedDisplay(0), L"B");
    EXPECT_EQ(storedDisplay(4), L"E");
    EXPECT_EQ(dword(L"HistoryLength"), 5u);
    EXPECT_EQ(dword(L"HistoryLimit"), 10u);
    std::wstring stored;
    ASSERT_TRUE(key_->queryString(L"Target0", stored));
    EXPECT_EQ(stored.compare(0, 5, L"<?xml"), 0) << "stored with its declaration";
}

TEST_F(HistoryKey, LimitComesFromTheKeyAndTrimsOnAdd)
{
    const DWORD age = 0;
    for (DWORD n = 0; n < 12; ++n)
        storeEntry(n, xmlOf(L"P" + std::to_wstring(n)), &age);
    key_->setDword(L"HistoryLength", 12);

    struct Row {
        const char* name;
        bool write;
        DWORD stored;
        int limit;
    } rows[] = {
        {"missing", false, 0, 10},
        {"5", true, 5, 5},
        {"0 keeps the current limit", true, 0, 5},
        {"beyond a signed limit keeps it too", true, 0x80000000u, 5},
        {"12", true, 12, 12},
    };
    TargetHistoryList list(*key_);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        if (row.write)
            key_->setDword(L"HistoryLimit", row.stored);
        else
            key_->deleteValue(L"HistoryLimit");
        ASSERT_TRUE(list.load());
        EXPECT_EQ(list.getLimit(), row.limit);
        EXPECT_EQ(list.size(), 12u) << "loading applies no limit";
    }

    key_->setDword(L"HistoryLimit", 10);
    ASSERT_TRUE(list.load());
    PrintPath* added = makePath(L"new");
    auto front = list.add(added);
    ASSERT_NE(front, list.end());
    EXPECT_EQ(front->get(), added);
    EXPECT_EQ(list.size(), 10u);
    EXPECT_EQ(list.getDisplayString(list.begin()), L"new");
    EXPECT_EQ(displays(list).back(), L"P8");

    list.setLimit(3);
    EXPECT_EQ(displays(list), (std::vector<std::wstring>{L"new", L"P0", L"P1"}));
    list.setLimit(0);
    EXPECT_EQ(list.size(), 0u);
    EXPECT_EQ(list.add(makePath(L"no room")), list.end()) << "a limit of 0 leaves no room even for the new path";
    EXPECT_EQ(list.size(), 0u);
}

TEST_F(HistoryKey, SaveDeletesTheSurplusOfALongerStoredHistory)
{
    const DWORD age = 0;
    for (DWORD n = 0; n < 5; ++n)
        storeEntry(n, xmlOf(L"old" + std::to_wstring(n)), &age);
    key_->setDword(L"HistoryLength", 5);
    key_->setString(L"Unrelated", L"kept");

    TargetHistoryList list(*key_);
    list.add(makePath(L"second"));
    list.add(makePath(L"first"));
    ASSERT_TRUE(list.save());
    EXPECT_EQ(dword(L"HistoryLength"), 2u);
    EXPECT_EQ(storedDisplay(0), L"first");
    EXPECT_EQ(storedDisplay(1), L"second");
    for (DWORD n = 2; n < 5; ++n) {
        SCOPED_TRACE(n);
        EXPECT_FALSE(hasValue(L"Target" + std::to_wstring(n)));
        EXPECT_FALSE(hasValue(L"TargetAge" + std::to_wstring(n)));
    }
    EXPECT_TRUE(hasValue(L"Unrelated"));
}

// "HistoryLength" is a value the user can write: neither load nor save may
// walk it when it claims far more entries than the key holds.
TEST_F(HistoryKey, AHugeStoredLengthIsBoundedByTheValuesPresent)
{
    const DWORD zero = 0, one = 1;
    storeEntry(0, xmlOf(L"A"), &zero);
    storeEntry(1, xmlOf(L"B"), &one);
    key_->setDword(L"HistoryLength", 0xFFFFFFFF);

    const DWORD begin = GetTickCount();
    TargetHistoryList list(*key_);
    ASSERT_TRUE(list.load());
    EXPECT_EQ(displays(list), (std::vector<std::wstring>{L"A", L"B"}));
    list.remove(&*list.begin()->get());
    ASSERT_TRUE(list.save());
    EXPECT_LT(GetTickCount() - begin, 3000u);
    EXPECT_EQ(dword(L"HistoryLength"), 1u);
    EXPECT_EQ(storedDisplay(0), L"B");
    EXPECT_FALSE(hasValue(L"Target1"));
}

TEST_F(HistoryKey, TransientListLeavesTheRegistryAlone)
{
    const DWORD zero = 0;
    storeEntry(0, xmlOf(L"stored"), &zero);
    key_->setDword(L"HistoryLength", 1);
    TargetHistoryList list(*key_);
    list.setTransient(true);
    list.add(makePath(L"memory"));
    EXPECT_TRUE(list.load());
    EXPECT_EQ(displays(list), (std::vector<std::wstring>{L"memory"}));
    EXPECT_TRUE(list.save());
    EXPECT_EQ(storedDisplay(0), L"stored");
    EXPECT_EQ(dword(L"HistoryLength"), 1u);
}

namespace {

// Services in byte order of their class ids: kNoResolve, kTwoPaths,
// kOnePath, kAfter.
const GUID kNoResolve = {0x00000001, 0x51e2, 0x4a0b, {0x9c, 0x11, 0x70, 0x00, 0x00, 0x00, 0x00, 0x01}};
const GUID kTwoPaths = {0x00000002, 0x51e2, 0x4a0b, {0x9c, 0x11, 0x70, 0x00, 0x00, 0x00, 0x00, 0x02}};
const GUID kOnePath = {0x00000003, 0x51e2, 0x4a0b, {0x9c, 0x11, 0x70, 0x00, 0x00, 0x00, 0x00, 0x03}};
const GUID kAfter = {0x00000004, 0x51e2, 0x4a0b, {0x9c, 0x11, 0x70, 0x00, 0x00, 0x00, 0x00, 0x04}};

class OlderEntries : public HistoryKey {
protected:
    void SetUp() override
    {
        HistoryKey::SetUp();
        const uint32_t resolves = MPrint::DiscoveryServiceIntf::kCapResolve;
        fakes::FakeServiceConfig noResolve{"noResolve"};
        noResolve.resolvePaths = 1;
        fakes::FakeServiceConfig twoPaths{"twoPaths", resolves};
        twoPaths.resolvePaths = 2;
        fakes::FakeServiceConfig onePath{"onePath", resolves};
        onePath.resolvePaths = 1;
        fakes::FakeServiceConfig after{"after", resolves};
        after.resolvePaths = 1;
        const std::pair<GUID, fakes::FakeServiceConfig> services[] = {
            {kNoResolve, noResolve}, {kTwoPaths, twoPaths}, {kOnePath, onePath}, {kAfter, after}};
        for (const auto& [classId, config] : services) {
            fakes::configureFakeService(classId, config);
            ComponentRegistry::registerComponent(ComponentDescriptor{
                classId, kDiscoveryServiceComponent, fakes::createFakeService, 1, 0, 0, nullptr, 0, 0, 0, 0, 0});
        }
        ASSERT_EQ(DiscoveryServicesManager::GetInstance()->Initialize(), 0u);
        fakes::fakeServiceLog().clear();
    }
    void TearDown() override
    {
        delete DiscoveryServicesManager::GetInstance();
        if (MPrint::ManagedPrintPolicy::hasInstance())
            delete MPrint::ManagedPrintPolicy::instance(); // made by Initialize, owned by the extension
        for (const GUID& id : {kNoResolve, kTwoPaths, kOnePath, kAfter})
            ComponentRegistry::unregisterComponent(id);
        HistoryKey::TearDown();
    }
};

} // namespace

TEST_F(OlderEntries, AreResolvedByTheFirstServiceGivingExactlyOnePath)
{
    struct Row {
        const wchar_t* stored;
        const char* resolveArguments; // address, nickname, display string
        const wchar_t* display;       // of the entry, or null when skipped
    } rows[] = {
        {L"printer1=10.0.0.5", "10.0.0.5,printer1,printer1", L"printer1"},
        {L"  Front Desk \t=  10.0.0.7 ", "10.0.0.7 ,Front Desk,Front Desk", L"Front Desk"},
        {L"  10.0.0.9", "10.0.0.9,,10.0.0.9", L"10.0.0.9"},
        {L"a=b=c", "b=c,a,a", L"a"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testenv::narrow(row.stored));
        fakes::fakeServiceLog().clear();
        key_->setString(L"Target0", row.stored);
        key_->setDword(L"HistoryLength", 1);
        TargetHistoryList list(*key_);
        list.setResolver(DiscoveryServicesManager::GetInstance());
        ASSERT_TRUE(list.load());
        const std::string resolve = std::string("Resolve(") + row.resolveArguments + ")";
        // Asked in the manager's order; the service that gave two paths is
        // passed over, and nobody is asked after the one that gave one.
        EXPECT_EQ(fakes::fakeServiceLog(),
                  (std::vector<std::string>{"twoPaths." + resolve, "onePath." + resolve}));
        ASSERT_EQ(list.size(), 1u);
        GUID found = {};
        ASSERT_TRUE(list.begin()->get()->getDiscoveryId(found));
        EXPECT_TRUE(IsEqualGUID(found, kOnePath));
        EXPECT_EQ(list.getDisplayString(list.begin()), row.display);
    }
}

TEST_F(OlderEntries, DamagedDocumentsAreSkippedWithoutAskingTheServices)
{
    const DWORD zero = 0, one = 1, two = 2;
    storeEntry(0, L"<?xml version=\"1.0\"?><print-path><device>", &zero);
    storeEntry(1, xmlOf(L"good"), &one);
    storeEntry(2, L"<?xml", &two);
    key_->setDword(L"HistoryLength", 4); // entry 3 is missing
    TargetHistoryList list(*key_);
    list.setResolver(DiscoveryServicesManager::GetInstance());
    ASSERT_TRUE(list.load());
    EXPECT_EQ(displays(list), (std::vector<std::wstring>{L"good"}));
    EXPECT_TRUE(fakes::fakeServiceLog().empty());
}

namespace {

int livePaths = 0;

class CountingPath : public PrintPath {
public:
    CountingPath() { ++livePaths; }
    ~CountingPath() override { --livePaths; }
};

} // namespace

TEST_F(HistoryKey, EntriesAreFoundByIdentityNotContent)
{
    livePaths = 0;
    {
        TargetHistoryList list(*key_);
        auto* first = new CountingPath;
        auto* second = new CountingPath;
        auto* third = new CountingPath;
        for (PrintPath* path : {first, second, third})
            path->setStringAttribute(PrintPathAttr::DisplayString, L"same", true);
        list.add(first);
        list.add(second);
        list.add(third); // order: third, second, first

        PrintPath copy(*first);
        EXPECT_FALSE(list.moveToFront(&copy));
        EXPECT_EQ(list.find(&copy), list.end());
        EXPECT_FALSE(list.remove(&copy));
        EXPECT_FALSE(list.detach(&copy));

        EXPECT_TRUE(list.moveToFront(first));
        EXPECT_EQ(list.begin()->get(), first);
        EXPECT_EQ(std::next(list.begin())->get(), third);

        EXPECT_TRUE(list.remove(second));
        EXPECT_EQ(livePaths, 2) << "remove deletes the path";
        EXPECT_TRUE(list.detach(third));
        EXPECT_EQ(list.size(), 1u);
        EXPECT_EQ(livePaths, 2) << "detach leaves the path to the caller";
        delete third;
        EXPECT_EQ(list.getDisplayString(list.end()), L"");
        list.clear();
        EXPECT_EQ(livePaths, 0);
        list.add(new CountingPath);
    }
    EXPECT_EQ(livePaths, 0) << "the list deletes what it holds";
}

namespace {

// Profiles live under the real settings key; names are unique per process.
class Profiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        const std::wstring base = L"VrelmTest-TargetHistory-" + std::to_wstring(GetCurrentProcessId());
        oldName_ = base + L"-old";
        newName_ = base + L"-new";
        cleanUp();
    }
    void TearDown() override { cleanUp(); }
    void cleanUp()
    {
        for (const std::wstring& name : {oldName_, newName_})
            RegDeleteTreeW(HKEY_CURRENT_USER, keyOf(name).c_str());
    }
    static std::wstring keyOf(const std::wstring& name) { return std::wstring(settingskeys::kSettings) + L"\\" + name; }
    static std::wstring historyOf(const std::wstring& name) { return keyOf(name) + L"\\Target History"; }
    static bool exists(const std::wstring& path) { return testenv::keyExists(path); }
    MPrint::HistoryProfile* savedProfile(const std::wstring& name)
    {
        RegistryKey key(HKEY_CURRENT_USER, historyOf(name), RegistryKey::kAllAccess, true);
        auto* list = new TargetHistoryList(key);
        list->add(makePath(L"kept"));
        list->save();
        return new MPrint::HistoryProfile(name, list);
    }

    std::wstring oldName_;
    std::wstring newName_;
};

} // namespace

TEST_F(Profiles, RenameMovesTheHistoryOnTheListsNextSave)
{
    std::unique_ptr<MPrint::HistoryProfile> profile(savedProfile(oldName_));
    ASSERT_TRUE(exists(historyOf(oldName_)));
    profile->save(newName_);
    EXPECT_EQ(std::wstring(profile->getName()), newName_);
    EXPECT_FALSE(exists(keyOf(oldName_)));
    ASSERT_TRUE(exists(historyOf(newName_)));

    ASSERT_TRUE(profile->getHistory()->save());
    RegistryKey moved(HKEY_CURRENT_USER, historyOf(newName_), RegistryKey::kRead);
    TargetHistoryList reread(moved);
    ASSERT_TRUE(reread.load());
    EXPECT_EQ(displays(reread), (std::vector<std::wstring>{L"kept"}));
}

TEST_F(Profiles, OldProfileKeyWithAnotherSubkeyIsKept)
{
    std::unique_ptr<MPrint::HistoryProfile> profile(savedProfile(oldName_));
    RegistryKey sibling(HKEY_CURRENT_USER, keyOf(oldName_) + L"\\Other", RegistryKey::kAllAccess, true);
    profile->save(newName_);
    EXPECT_FALSE(exists(historyOf(oldName_)));
    EXPECT_TRUE(exists(keyOf(oldName_) + L"\\Other"));
}

TEST_F(Profiles, DisabledProfileDoesNotMoveAndMarkedProfileIsDeleted)
{
    {
        std::unique_ptr<MPrint::HistoryProfile> profile(savedProfile(oldName_));
        profile->setEnabled(false);
        EXPECT_FALSE(profile->isEnabled());
        profile->save(newName_);
        EXPECT_EQ(std::wstring(profile->getName()), oldName_);
        EXPECT_TRUE(exists(historyOf(oldName_)));
        EXPECT_FALSE(exists(keyOf(newName_)));
    }
    EXPECT_TRUE(exists(historyOf(oldName_))) << "destroyed without the mark: keys stay";
    {
        std::unique_ptr<MPrint::HistoryProfile> profile(savedProfile(oldName_));
        profile->markForDelete();
    }
    EXPECT_FALSE(exists(keyOf(oldName_)));
}

TEST_F(Profiles, UnnamedProfileDeletesNothing)
{
    RegistryKey settingsHistory(HKEY_CURRENT_USER, std::wstring(settingskeys::kSettings) + L"\\Target History",
                                RegistryKey::kRead);
    const bool hadHistory = settingsHistory.isOpen();
    MPrint::HistoryProfile profile(L"", nullptr);
    EXPECT_FALSE(profile.deleteKeys());
    EXPECT_TRUE(exists(settingskeys::kSettings));
    EXPECT_EQ(exists(std::wstring(settingskeys::kSettings) + L"\\Target History"), hadHistory);
}
