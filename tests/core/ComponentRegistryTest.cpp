// The component table: replacement, creation with its category check and
// hand-over of loader and context, byte-order enumeration, text loading,
// and a registration made by a static object of another translation unit.
#include "core/ComponentIntf.h"
#include "core/ComponentRegistry.h"
#include "core/ResourceLoader.h"
#include "support/TestEnv.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using MPrint::ComponentIntf;
using MPrint::ResourceLoader;

namespace {

std::vector<std::string> calls; // what the fakes saw, in order

class FakeComponent : public ComponentIntf {
public:
    explicit FakeComponent(const GUID& classId, uint32_t initializeCode = 0)
        : classId_(classId), initializeCode_(initializeCode)
    {
    }
    uint32_t Initialize(const ResourceLoader& loader, void* context) override
    {
        loaderLanguage = loader.getLanguage();
        this->context = context;
        calls.push_back("Initialize");
        return initializeCode_;
    }
    bool IsEnabled() override { return enabled; }
    uint32_t SetEnabled(bool value) override
    {
        enabled = value;
        calls.push_back(value ? "SetEnabled(1)" : "SetEnabled(0)");
        return 0;
    }
    uint32_t Execute(void*) override { return 0; }

    GUID classId_;
    uint32_t initializeCode_;
    LANGID loaderLanguage = 0;
    void* context = nullptr;
    bool enabled = false;
};

uint32_t createFake(const GUID& classId, ComponentIntf** out)
{
    calls.push_back("createFake");
    *out = new FakeComponent(classId);
    return 0;
}

uint32_t createOther(const GUID& classId, ComponentIntf** out)
{
    calls.push_back("createOther");
    *out = new FakeComponent(classId);
    return 0;
}

uint32_t createFailingInitialize(const GUID& classId, ComponentIntf** out)
{
    calls.push_back("createFailingInitialize");
    *out = new FakeComponent(classId, 17);
    return 0;
}

uint32_t createNothing(const GUID&, ComponentIntf** out)
{
    calls.push_back("createNothing");
    *out = nullptr;
    return 0;
}

uint32_t createRefusing(const GUID&, ComponentIntf** out)
{
    calls.push_back("createRefusing");
    *out = nullptr;
    return 42;
}

// Text order and byte order differ: Data1 is stored little-endian, so
// {00000100-...} (bytes 00 01 ..) comes before {00000002-...} (bytes 02 ..).
const GUID kLow = {0x00000002, 0x7a11, 0x4c3e, {0x9d, 0x21, 0x5e, 0x00, 0x00, 0x00, 0x00, 0x01}};
const GUID kHigh = {0x00000100, 0x7a11, 0x4c3e, {0x9d, 0x21, 0x5e, 0x00, 0x00, 0x00, 0x00, 0x02}};
const GUID kMiddle = {0x00000001, 0x7a11, 0x4c3e, {0x9d, 0x21, 0x5e, 0x00, 0x00, 0x00, 0x00, 0x03}};
const GUID kUnknown = {0x6e0b3c55, 0x1d2f, 0x4d8c, {0x8f, 0x4e, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66}};
const GUID kStatic = {0x2b9f7d10, 0x5c3a, 0x4e61, {0xa0, 0x7b, 0x3c, 0x9e, 0x15, 0x42, 0x88, 0xd1}};

ComponentDescriptor descriptor(const GUID& classId, uint32_t category, ComponentCreator creator,
                               uint8_t enabled = 1)
{
    return ComponentDescriptor{classId, category, creator, enabled, 0, 0, nullptr, 0, 0, 0, 0, 0};
}

class ComponentRegistryTest : public ::testing::Test {
protected:
    void SetUp() override { calls.clear(); }
    void TearDown() override
    {
        for (const GUID& id : {kLow, kHigh, kMiddle})
            ComponentRegistry::unregisterComponent(id);
        ComponentRegistry::setResourceLoader(ResourceLoader());
        ComponentRegistry::setContext(nullptr);
    }
};

} // namespace

// Made while the test executable loads, before main: the registry's state
// must already exist then, although it lives in another translation unit.
static ComponentRegistration staticRegistration(kStatic, kFeatureAccessorComponent, createFake, 0, 1, 2, nullptr,
                                                0, 0, 0, 0, 0);

TEST_F(ComponentRegistryTest, StaticRegistrationOfAnotherUnitIsInPlace)
{
    EXPECT_EQ(staticRegistration.getResult(), 0u);
    EXPECT_TRUE(IsEqualGUID(staticRegistration.getClassId(), kStatic));
    ComponentEntryList list;
    ComponentRegistry::enumerateComponents(list, kFeatureAccessorComponent);
    auto it = std::find_if(list.begin(), list.end(),
                           [](ComponentEntry* e) { return IsEqualGUID(e->descriptor.classId, kStatic); });
    ASSERT_NE(it, list.end());
    EXPECT_EQ((*it)->descriptor.flag2, 1);
    EXPECT_EQ((*it)->descriptor.flag3, 2);
    EXPECT_FALSE(ComponentRegistry::isEnabled(kStatic));
}

TEST_F(ComponentRegistryTest, CreationChecksTheCategoryBeforeCallingTheCreator)
{
    ComponentRegistry::registerComponent(descriptor(kLow, kDiscoveryServiceComponent, createFake));
    // The second registration of a class id replaces the first.
    EXPECT_EQ(ComponentRegistry::registerComponent(descriptor(kLow, kDeviceConfiguratorComponent, createOther, 0)),
              0u);
    int marker = 0;
    ComponentRegistry::setContext(&marker);
    ResourceLoader german;
    german.setLanguage(MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN));
    ComponentRegistry::setResourceLoader(german);

    struct Row {
        const char* name;
        const GUID* classId;
        uint32_t category;
        uint32_t code;
        bool created;
        std::vector<std::string> calls;
    } rows[] = {
        {"unknown class id", &kUnknown, kAnyComponent, 3, false, {}},
        {"category of the replaced entry", &kLow, kDiscoveryServiceComponent, 6, false, {}},
        {"matching category", &kLow, kDeviceConfiguratorComponent, 0, true,
         {"createOther", "Initialize", "SetEnabled(0)"}},
        {"any category", &kLow, kAnyComponent, 0, true, {"createOther", "Initialize", "SetEnabled(0)"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        calls.clear();
        ComponentIntf* component = reinterpret_cast<ComponentIntf*>(&marker); // must be overwritten
        EXPECT_EQ(ComponentRegistry::createComponent(*row.classId, &component, row.category), row.code);
        EXPECT_EQ(calls, row.calls);
        if (!row.created) {
            EXPECT_EQ(component, nullptr);
            continue;
        }
        auto* fake = dynamic_cast<FakeComponent*>(component);
        ASSERT_NE(fake, nullptr);
        EXPECT_EQ(fake->context, &marker);
        EXPECT_EQ(fake->loaderLanguage, MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN));
        EXPECT_TRUE(IsEqualGUID(fake->classId_, kLow));
        delete component;
    }

    EXPECT_TRUE(ComponentRegistry::setEnabled(kLow, true));
    EXPECT_TRUE(ComponentRegistry::isEnabled(kLow));
    calls.clear();
    ComponentIntf* component = nullptr;
    ASSERT_EQ(ComponentRegistry::createComponent(kLow, &component, kAnyComponent), 0u);
    EXPECT_EQ(calls.back(), "SetEnabled(1)");
    delete component;

    EXPECT_FALSE(ComponentRegistry::setEnabled(kUnknown, true));
    EXPECT_FALSE(ComponentRegistry::isEnabled(kUnknown));
    EXPECT_EQ(ComponentRegistry::unregisterComponent(kUnknown), 0u);
}

TEST_F(ComponentRegistryTest, CreatorAndInitializeResultsReachTheCaller)
{
    struct Row {
        const char* name;
        ComponentCreator creator;
        uint32_t code;
        bool created;
        std::vector<std::string> calls;
    } rows[] = {
        {"creator makes nothing", createNothing, 0, false, {"createNothing"}},
        {"creator refuses", createRefusing, 42, false, {"createRefusing"}},
        // The caller owns the component although Initialize failed.
        {"Initialize fails", createFailingInitialize, 17, true,
         {"createFailingInitialize", "Initialize", "SetEnabled(1)"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ComponentRegistry::registerComponent(descriptor(kMiddle, kFeatureAccessorComponent, row.creator));
        calls.clear();
        ComponentIntf* component = nullptr;
        EXPECT_EQ(ComponentRegistry::createComponent(kMiddle, &component, kFeatureAccessorComponent), row.code);
        EXPECT_EQ(calls, row.calls);
        EXPECT_EQ(component != nullptr, row.created);
        delete component;
    }
}

TEST_F(ComponentRegistryTest, EnumerationFollowsTheBytesOfTheClassIds)
{
    ComponentRegistry::registerComponent(descriptor(kLow, kDiscoveryServiceComponent, createFake));
    ComponentRegistry::registerComponent(descriptor(kHigh, kDiscoveryServiceComponent, createFake));
    ComponentRegistry::registerComponent(descriptor(kMiddle, kDeviceConfiguratorComponent, createFake));

    auto ours = [](uint32_t category) {
        ComponentEntryList list;
        EXPECT_EQ(ComponentRegistry::enumerateComponents(list, category), 0u);
        std::vector<const GUID*> found;
        for (ComponentEntry* entry : list) {
            for (const GUID* id : {&kLow, &kHigh, &kMiddle})
                if (IsEqualGUID(entry->descriptor.classId, *id))
                    found.push_back(id);
        }
        return found;
    };
    // Bytes: kMiddle 01 00 .., kHigh 00 01 .., kLow 02 00 ..
    EXPECT_EQ(ours(kAnyComponent), (std::vector<const GUID*>{&kHigh, &kMiddle, &kLow}));
    EXPECT_EQ(ours(kDiscoveryServiceComponent), (std::vector<const GUID*>{&kHigh, &kLow}));
    EXPECT_EQ(ours(kDeviceConfiguratorComponent), (std::vector<const GUID*>{&kMiddle}));

    ComponentEntryList discovery;
    ComponentRegistry::enumerateDiscoveryServices(discovery);
    ComponentEntryList byCategory;
    ComponentRegistry::enumerateComponents(byCategory, kDiscoveryServiceComponent);
    EXPECT_EQ(discovery, byCategory);
}

TEST_F(ComponentRegistryTest, TextsLoadOnceFromTheSharedLoader)
{
    ResourceLoader english(testenv::binDir() + L"\\vrelm102.DLL");
    english.setLanguage(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
    ComponentRegistry::setResourceLoader(english);
    ComponentDescriptor d = descriptor(kLow, kDiscoveryServiceComponent, createFake);
    d.displayNameId = 32;
    d.thirdTextId = 106;
    d.firstTextId = 153; // no such string: stays empty
    ComponentRegistry::registerComponent(d);

    ComponentInfo info;
    ASSERT_EQ(ComponentRegistry::getComponentInfo(kLow, info), 0u);
    EXPECT_EQ(info.displayName, L"Shared printers");
    EXPECT_EQ(info.thirdText, L"Printers shared by other computers on the network.");
    EXPECT_EQ(info.firstText, L"");
    EXPECT_EQ(info.icon, nullptr);

    // Loaded once: a later change of the shared loader does not reach it.
    english.setLanguage(MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN));
    ComponentRegistry::setResourceLoader(english);
    ComponentInfo again;
    ASSERT_EQ(ComponentRegistry::getComponentInfo(kLow, again), 0u);
    EXPECT_EQ(again.displayName, L"Shared printers");

    EXPECT_EQ(ComponentRegistry::getComponentInfo(kUnknown, again), 3u);
}

TEST_F(ComponentRegistryTest, MissingResourceModuleAnswers8UntilItAppears)
{
    testenv::TempDir dir;
    const std::wstring module = dir.file(L"texts.dll");
    ComponentDescriptor d = descriptor(kHigh, kDiscoveryServiceComponent, createFake);
    {
        std::wstring temporary = module; // the registry keeps its own copy of the name
        d.resourceModule = temporary.c_str();
        d.displayNameId = 34;
        ComponentRegistry::registerComponent(d);
        temporary.assign(temporary.size(), L'x');
    }
    ComponentInfo info;
    info.displayName = L"untouched";
    EXPECT_EQ(ComponentRegistry::getComponentInfo(kHigh, info), 8u);
    EXPECT_EQ(info.displayName, L"untouched");
    EXPECT_EQ(ComponentRegistry::loadAllComponentInfo(), 8u);

    ASSERT_TRUE(testenv::copyFileTo(testenv::binDir() + L"\\vrelm102.DLL", module));
    ASSERT_EQ(ComponentRegistry::getComponentInfo(kHigh, info), 0u);
    EXPECT_FALSE(info.displayName.empty());
    EXPECT_NE(info.displayName, L"untouched");
    EXPECT_EQ(ComponentRegistry::loadAllComponentInfo(), 0u);
    EXPECT_EQ(GetModuleHandleW(module.c_str()), nullptr) << "the temporary loader freed the module";
}
