// The start of a document through the shipped module on queues that do not
// take the printing extension, with a server policy in force: a queue in
// static mode gets the policy written into its printer data before its
// document prints; a connection to a remote server is left to its server.
// The entry points and the routines they reach are traced under their names.
#include "extension/KRVProperties.h"
#include "support/DialogDriver.h"
#include "support/PolicyTestEnv.h"
#include "support/PrivateCurrentUser.h"
#include "support/SharedState.h"
#include "support/TestEnv.h"
#include "support/TestSpooler.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

VRELM_TEST_SHARES(policy_settings);

namespace {

using DocumentEventFn = int(WINAPI*)(HANDLE, HDC, int, ULONG, PVOID, ULONG, PVOID);
using AttributesFn = BOOL(WINAPI*)(HANDLE, PDEVMODEW, DWORD, PVOID);
constexpr DWORD kAbsent = 0xFFFFFFFF;

class StaticQueueAtPrintTime : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(hkcu_.isActive());
        closePropertyStore();
        ASSERT_NE(nullptr, testspool::control());
        ASSERT_FALSE(testenv::policyLocalAddress().empty()) << "the computer name must resolve";
        policy_ = testenv::makeServerPolicyInForce(dir_.file(L"policy.xml"));
        ASSERT_TRUE(policy_.isOpen());
        policy_.setDword(L"DuplexDefault", 1);
        module_ = LoadLibraryW((testenv::binDir() + L"\\vrelm101.dll").c_str());
        ASSERT_NE(nullptr, module_);
        documentEvent_ = reinterpret_cast<DocumentEventFn>(
            reinterpret_cast<void*>(GetProcAddress(module_, "QZDrvDocumentEvent")));
        ASSERT_NE(nullptr, documentEvent_);
    }
    void TearDown() override
    {
        if (module_)
            FreeLibrary(module_);
        for (const wchar_t* marker : {krv::kCancelJob, krv::kUIOpen, krv::kApplyPolicy})
            deleteProcessProperty(marker);
        closePropertyStore();
    }
    static DWORD dword(HANDLE printer, const wchar_t* name)
    {
        DWORD value = 0, type = 0, size = 0;
        if (GetPrinterDataW(printer, const_cast<wchar_t*>(name), &type, reinterpret_cast<BYTE*>(&value),
                            sizeof(value), &size) != ERROR_SUCCESS)
            return kAbsent;
        return value;
    }

    testenv::PrivateCurrentUser hkcu_;
    testenv::Winsock sockets_;
    testenv::TempDir dir_;
    RegistryKey policy_{HKEY_CURRENT_USER, L"", RegistryKey::kRead};
    HMODULE module_ = nullptr;
    DocumentEventFn documentEvent_ = nullptr;
};

TEST_F(StaticQueueAtPrintTime, StaticQueueGetsThePolicyAndARemoteConnectionDoesNot)
{
    const struct {
        const char* what;
        std::wstring queue;
        bool staticMode;
        DWORD duplex;
    } rows[] = {
        {"queue in static mode", testspool::uniqueQueueName(L"Static At Print"), true, 1},
        {"connection to a remote server", L"\\\\Vrelm Server\\" + testspool::uniqueQueueName(L"Remote At Print"),
         false, kAbsent},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        testspool::ScopedQueue queue(row.queue);
        ASSERT_EQ(DWORD{ERROR_SUCCESS}, queue.error());
        if (row.staticMode) {
            ASSERT_EQ(DWORD{ERROR_SUCCESS}, queue.setDword(L"", L"StaticMode", 1));
        }
        HANDLE printer = nullptr;
        ASSERT_TRUE(OpenPrinterW(const_cast<wchar_t*>(row.queue.c_str()), &printer, nullptr));
        wchar_t name[] = L"Minutes.doc";
        DOCINFOW document = {sizeof(DOCINFOW), name, nullptr, nullptr, 0};
        const DOCINFOW* pointer = &document;
        {
            testenv::DialogDriver driver;
            EXPECT_EQ(0, documentEvent_(printer, nullptr, 5, sizeof(pointer), &pointer, 0, nullptr));
            EXPECT_EQ(0, driver.watchdogHits());
        }
        EXPECT_EQ(row.duplex, dword(printer, L"ManagedDuplex"));
        EXPECT_EQ(0u, getProcessProperty(krv::kCancelJob)) << "the document prints";
        EXPECT_EQ(0u, getProcessProperty(krv::kApplyPolicy));
        ClosePrinter(printer);
    }
}

// The names the optional profiler receives, in order, for a few entry points
// and what they reach on a static queue.
TEST(EntryPointTraces, ScopesCarryTheEntrysNameHandleAndNumbers)
{
    testenv::PrivateCurrentUser hkcu;
    ASSERT_TRUE(hkcu.isActive());
    closePropertyStore();
    ASSERT_NE(nullptr, testspool::control());
    testenv::ScopedLogVariable log(L"QZPROFILER_LOG");
    // Loaded first, the profiler is the one the module finds in the process.
    HMODULE profiler = LoadLibraryW((testenv::binDir() + L"\\profiler\\full\\QZProfiler.dll").c_str());
    ASSERT_NE(nullptr, profiler);
    HMODULE module = LoadLibraryW((testenv::binDir() + L"\\vrelm101.dll").c_str());
    ASSERT_NE(nullptr, module);
    auto documentEvent =
        reinterpret_cast<DocumentEventFn>(reinterpret_cast<void*>(GetProcAddress(module, "QZDrvDocumentEvent")));
    auto attributes =
        reinterpret_cast<AttributesFn>(reinterpret_cast<void*>(GetProcAddress(module, "QZDrvSetJobAttrInfo")));
    ASSERT_NE(nullptr, documentEvent);
    ASSERT_NE(nullptr, attributes);

    testspool::ScopedQueue queue(testspool::uniqueQueueName(L"Traced"));
    ASSERT_EQ(DWORD{ERROR_SUCCESS}, queue.error());
    ASSERT_EQ(DWORD{ERROR_SUCCESS}, queue.setDword(L"", L"StaticMode", 1));
    HANDLE printer = nullptr;
    ASSERT_TRUE(OpenPrinterW(const_cast<wchar_t*>(queue.name().c_str()), &printer, nullptr));
    char handle[16] = {};
    std::snprintf(handle, sizeof(handle), "%X", static_cast<unsigned>(reinterpret_cast<UINT_PTR>(printer)));
    const std::string h = handle;

    wchar_t name[] = L"Minutes.doc";
    DOCINFOW document = {sizeof(DOCINFOW), name, nullptr, nullptr, 0};
    const DOCINFOW* pointer = &document;
    EXPECT_EQ(0, documentEvent(printer, nullptr, 99, 0, nullptr, 0, nullptr));
    EXPECT_EQ(0, documentEvent(printer, nullptr, 5, sizeof(pointer), &pointer, 0, nullptr));
    attributes(printer, nullptr, 9, nullptr);
    ClosePrinter(printer);
    FreeLibrary(module);
    FreeLibrary(profiler);
    deleteProcessProperty(krv::kApplyPolicy);
    closePropertyStore();

    const std::vector<std::string> expected = {
        "LumoraUI::QZDrvDocumentEvent(" + h + ",,99)",
        "LumoraUI::QZDrvDocumentEvent(" + h + ",,5)",
        "LumoraUI::isEventExtensionSupported(" + h + ",)",
        "LumoraUI::applyPolicySettingsToStaticPrinter(" + h + ", )",
        "LumoraUI::QZDrvSetJobAttrInfo(" + h + ", 9)",
    };
    // "ProfileScopeBegin <id> <name>"; scopes of other routines in between are passed over.
    std::vector<std::string> seen;
    for (const std::string& line : log.lines()) {
        const size_t id = line.find(' ');
        const size_t name = id == std::string::npos ? id : line.find(' ', id + 1);
        if (line.rfind("ProfileScopeBegin ", 0) == 0 && name != std::string::npos && seen.size() < expected.size() &&
            line.substr(name + 1) == expected[seen.size()])
            seen.push_back(line.substr(name + 1));
    }
    EXPECT_EQ(expected, seen);
}

} // namespace
