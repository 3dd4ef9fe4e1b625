// SNMP community selection over its sources (group policy, queue, machine,
// default), the bounds of what each source may hold, the composite's kept
// choice, and the writers: queue printer data, registry and the shared I/O
// component's per-address key.
#include "bidi/SNMPCommunityName.h"

#include "support/PrivateCurrentUser.h"
#include "support/SharedState.h"
#include "support/TestSpooler.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

VRELM_TEST_SHARES(shared_io);

namespace {

// A raw value: its bytes exactly as given, terminator or not.
struct Raw {
    DWORD type = REG_SZ;
    std::string bytes;
};
Raw text(const std::wstring& value, bool terminated = true)
{
    const size_t count = value.size() + (terminated ? 1 : 0);
    return {REG_SZ, std::string(reinterpret_cast<const char*>(value.c_str()), count * sizeof(wchar_t))};
}

void setRegistry(HKEY root, const wchar_t* path, const std::optional<Raw>& value)
{
    if (!value) {
        RegDeleteKeyValueW(root, path, SNMPCommunityName::kValueName);
        return;
    }
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(root, path, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr));
    RegSetValueExW(key, SNMPCommunityName::kValueName, 0, value->type,
                   reinterpret_cast<const BYTE*>(value->bytes.data()), static_cast<DWORD>(value->bytes.size()));
    RegCloseKey(key);
}

class CommunityFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(hkcu_.isActive());
        ASSERT_NE(nullptr, testspool::control());
        ASSERT_EQ(DWORD{ERROR_SUCCESS}, queue_.error());
    }
    void TearDown() override { setRegistry(HKEY_LOCAL_MACHINE, SNMPGlobalCommunityName::kKeyPath, std::nullopt); }

    void setQueue(const std::optional<Raw>& value)
    {
        if (!value) {
            HANDLE printer = nullptr;
            PRINTER_DEFAULTSW all = {nullptr, nullptr, PRINTER_ALL_ACCESS};
            if (OpenPrinterW(const_cast<wchar_t*>(queue_.name().c_str()), &printer, &all)) {
                DeletePrinterDataW(printer, const_cast<wchar_t*>(SNMPCommunityName::kValueName));
                ClosePrinter(printer);
            }
            return;
        }
        testspool::control()->setQueueValue(queue_.name().c_str(), L"PrinterDriverData", SNMPCommunityName::kValueName,
                                            value->type, value->bytes.data(),
                                            static_cast<DWORD>(value->bytes.size()));
    }

    testenv::PrivateCurrentUser hkcu_;
    testspool::ScopedQueue queue_{testspool::uniqueQueueName(L"Community")};
};

} // namespace

TEST_F(CommunityFixture, ChoiceOverPolicyQueueMachineAndDefault)
{
    const std::wstring max(31, L'p');
    const std::wstring over(32, L'o');
    struct Row {
        const char* name;
        std::optional<Raw> policy;
        std::optional<Raw> queue;
        std::optional<Raw> machine;
        bool userRights; // the queue cannot be opened with full access
        std::wstring chosen;
    } rows[] = {
        {"nothing anywhere", {}, {}, {}, false, L"tundra"},
        {"policy first", text(L"policy"), text(L"queue"), text(L"machine"), false, L"policy"},
        {"31 characters are valid", text(max), text(L"queue"), {}, false, max},
        {"32 characters are skipped", text(over), text(L"queue"), {}, false, L"queue"},
        // Stored without terminator the value fills the read exactly: still bounded, still too long.
        {"32 characters, no terminator", text(over, false), text(L"queue"), {}, false, L"queue"},
        {"binary policy value read as text", Raw{REG_BINARY, std::string(64, 'A')}, text(L"queue"), {}, false,
         L"queue"},
        {"binary policy value holding text", Raw{REG_BINARY, text(L"policy").bytes}, text(L"queue"), {}, false,
         L"queue"},
        {"expandable policy text", Raw{REG_EXPAND_SZ, text(L"%policy%").bytes}, text(L"queue"), {}, false,
         L"%policy%"},
        {"empty policy", text(L""), text(L"queue"), {}, false, L"queue"},
        {"queue before machine", {}, text(L"queue"), text(L"machine"), false, L"queue"},
        {"queue too long", {}, text(over), text(L"machine"), false, L"machine"},
        {"queue without terminator", {}, text(over, false), text(L"machine"), false, L"machine"},
        {"queue not open to the user", {}, text(L"queue"), text(L"machine"), true, L"machine"},
        {"machine too long", {}, {}, text(over), false, L"tundra"},
        {"machine number value", {}, {}, Raw{REG_DWORD, std::string("m\0x\0", 4)}, false, L"tundra"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        setRegistry(HKEY_CURRENT_USER, SNMPADSCommunityName::kKeyPath, row.policy);
        setQueue(row.queue);
        setRegistry(HKEY_LOCAL_MACHINE, SNMPGlobalCommunityName::kKeyPath, row.machine);
        std::optional<testspool::ScopedUserRights> user;
        if (row.userRights)
            user.emplace();
        SNMPCommunityNameComposite composite;
        EXPECT_EQ(row.chosen, composite.getCommunityName(queue_.name().c_str()));
    }
}

TEST_F(CommunityFixture, CompositeKeepsItsFirstChoiceAndHandlesAreBorrowed)
{
    setRegistry(HKEY_CURRENT_USER, SNMPADSCommunityName::kKeyPath, std::nullopt);
    setQueue(text(L"first-queue"));
    SNMPCommunityNameComposite composite;
    EXPECT_EQ(L"first-queue", composite.getCommunityName(queue_.name().c_str()));
    setRegistry(HKEY_CURRENT_USER, SNMPADSCommunityName::kKeyPath, text(L"policy"));
    EXPECT_EQ(L"first-queue", composite.getCommunityName(L"another printer"));
    EXPECT_EQ(L"policy", SNMPCommunityNameComposite().getCommunityName(L"another printer"));

    // A borrowed handle stays open after the provider is gone.
    HANDLE printer = nullptr;
    ASSERT_TRUE(OpenPrinterW(const_cast<wchar_t*>(queue_.name().c_str()), &printer, nullptr));
    setRegistry(HKEY_CURRENT_USER, SNMPADSCommunityName::kKeyPath, std::nullopt);
    EXPECT_EQ(L"first-queue", SNMPCommunityNameComposite().getCommunityName(&printer));
    DWORD type = 0;
    DWORD needed = 0;
    EXPECT_EQ(DWORD{ERROR_MORE_DATA}, GetPrinterDataW(printer, const_cast<wchar_t*>(SNMPCommunityName::kValueName),
                                                      &type, nullptr, 0, &needed));
    ClosePrinter(printer);
    HANDLE none = nullptr;
    EXPECT_EQ(L"tundra", SNMPCommunityNameComposite().getCommunityName(&none));
    EXPECT_EQ(L"tundra", SNMPCommunityNameComposite().getCommunityName(static_cast<HANDLE*>(nullptr)));
}

TEST_F(CommunityFixture, StoresWriteTheTerminatorAndPublishPerAddress)
{
    SNMPQueueCommunityName queue(queue_.name().c_str());
    ASSERT_TRUE(queue.store(L"stored"));
    EXPECT_EQ(L"stored", SNMPQueueCommunityName(queue_.name().c_str()).getValue());
    HANDLE printer = nullptr;
    ASSERT_TRUE(OpenPrinterW(const_cast<wchar_t*>(queue_.name().c_str()), &printer, nullptr));
    DWORD type = 0;
    DWORD needed = 0;
    GetPrinterDataW(printer, const_cast<wchar_t*>(SNMPCommunityName::kValueName), &type, nullptr, 0, &needed);
    ClosePrinter(printer);
    EXPECT_EQ(DWORD{REG_SZ}, type);
    EXPECT_EQ(7u * sizeof(wchar_t), needed);

    SNMPADSCommunityName policy;
    ASSERT_TRUE(policy.store(L"ads"));
    EXPECT_EQ(L"ads", SNMPADSCommunityName().getValue());
    DWORD size = 0;
    RegGetValueW(HKEY_CURRENT_USER, SNMPADSCommunityName::kKeyPath, SNMPCommunityName::kValueName, RRF_RT_ANY,
                 &type, nullptr, &size);
    EXPECT_EQ(4u * sizeof(wchar_t), size);

    SNMPGlobalCommunityName machine;
    ASSERT_TRUE(machine.store(L"machine"));
    EXPECT_EQ(L"machine", SNMPGlobalCommunityName().getValue());

    // Published per device address; an empty address writes nothing and succeeds.
    const std::wstring address = L"192.0.2." + std::to_wstring(GetCurrentProcessId() % 250);
    SNMPCIOCommunityName published(L"public-one", address);
    EXPECT_TRUE(published.apply());
    wchar_t value[64] = {};
    size = sizeof(value) - sizeof(wchar_t);
    EXPECT_EQ(ERROR_SUCCESS, RegGetValueW(HKEY_LOCAL_MACHINE, SNMPCIOCommunityName::kKeyPath, address.c_str(),
                                          RRF_RT_REG_SZ, nullptr, value, &size));
    EXPECT_EQ(std::wstring(L"public-one"), value);
    EXPECT_TRUE(SNMPCIOCommunityName(L"other", std::string("192.0.2.77")).store(L"narrow-address"));
    RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, SNMPCIOCommunityName::kKeyPath, L"192.0.2.77");
    RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, SNMPCIOCommunityName::kKeyPath, address.c_str());

    // What an empty address would write: the key's unnamed value.
    RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, SNMPCIOCommunityName::kKeyPath, L"");
    EXPECT_TRUE(SNMPCIOCommunityName(L"nowhere", std::wstring()).apply());
    EXPECT_TRUE(SNMPCIOCommunityName().store(L"nowhere"));
    size = sizeof(value) - sizeof(wchar_t);
    EXPECT_NE(ERROR_SUCCESS, RegGetValueW(HKEY_LOCAL_MACHINE, SNMPCIOCommunityName::kKeyPath, L"", RRF_RT_ANY,
                                          nullptr, value, &size));

    EXPECT_TRUE(SNMPZMACommunityName(L"given").isValid());
    EXPECT_FALSE(SNMPZMACommunityName().isValid());
}

// A caller without a queue name (no destination context yet) must not reach
// the print server, which an empty name opens, let alone write its data.
TEST_F(CommunityFixture, QueueWithoutANameLeavesThePrintServerAlone)
{
    testspool::ScopedCallLog log;
    SNMPQueueCommunityName unnamed(L"");
    EXPECT_FALSE(unnamed.store(L"server-wide"));
    EXPECT_EQ(L"server-wide", unnamed.getValue());
    EXPECT_TRUE(log.calls("OpenPrinterW").empty());
    EXPECT_TRUE(log.calls("SetPrinterDataW").empty());
}
