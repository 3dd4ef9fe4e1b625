// The port resolver against the shared I/O stand-in: which slots it calls
// for which kinds, the registry gate on direct connections, and failures.
#include "shared/PortResolver.h"
#include "shared/SharedIOInterface.h"
#include "support/PortStandIns.h"
#include "support/SharedState.h"
#include "support/TestEnv.h"
#include "support/TestSpooler.h"

#include <gtest/gtest.h>

VRELM_TEST_SHARES(shared_io);

namespace {

constexpr wchar_t kCommonIoKey[] = L"SOFTWARE\\Tarvokin\\Meridian Common IO";

void setDirectConnection(const DWORD* value)
{
    if (!value) {
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, kCommonIoKey);
        return;
    }
    HKEY key = nullptr;
    RegCreateKeyExW(HKEY_LOCAL_MACHINE, kCommonIoKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr);
    RegSetValueExW(key, L"DirectConnectBidiSupported", 0, REG_DWORD, reinterpret_cast<const BYTE*>(value),
                   sizeof(*value));
    RegCloseKey(key);
}

class PortResolverFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(testspool::control(), nullptr);
        ASSERT_TRUE(testports::registerSharedIO());
        ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
        port_ = L"SIO_" + std::to_wstring(GetCurrentProcessId());
        queue_ = std::make_unique<testspool::ScopedQueue>(testspool::uniqueQueueName(L"Resolver"),
                                                          L"Vrelm Test Driver", port_);
        ASSERT_EQ(queue_->error(), DWORD{ERROR_SUCCESS});
    }
    void TearDown() override
    {
        queue_.reset();
        setDirectConnection(nullptr);
        CoUninitialize();
    }

    std::wstring port_;
    std::unique_ptr<testspool::ScopedQueue> queue_;
};

} // namespace

TEST_F(PortResolverFixture, FlagPriorityChoosesTheSlot)
{
    const DWORD on = 1, off = 0;
    struct Row {
        const char* name;
        DWORD flags;
        const DWORD* direct;  // "DirectConnectBidiSupported", null: missing
        bool result;
        std::vector<std::string> slots;
    } rows[] = {
        {"4 and 2: 4 wins", 0x4 | 0x2, nullptr, true, {"slot 3", "slot 7"}},
        {"2 and 8: 2 wins", 0x2 | 0x8, nullptr, true, {"slot 3", "slot 6"}},
        {"8", 0x8, nullptr, true, {"slot 3", "slot 8"}},
        {"1", 0x1, nullptr, true, {"slot 3", "slot 5"}},
        {"8 and 1: 8 wins", 0x8 | 0x1, nullptr, true, {"slot 3", "slot 8"}},
        {"16 allowed", 0x10, &on, true, {"slot 3", "slot 13"}},
        {"16 with the extra text", 0x01000010, &on, true, {"slot 3", "slot 10", "slot 13"}},
        {"16 refused", 0x10, &off, false, {"slot 3", "slot 13"}},
        {"16, gate missing", 0x10, nullptr, false, {"slot 3", "slot 13"}},
        {"16 and 1: 16 wins", 0x11, &on, true, {"slot 3", "slot 13"}},
        {"none: the classification alone", 0x0, nullptr, true, {"slot 3"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        testports::ScopedSharedIOPort answer(port_, {row.flags, 11, L"10.4.4.4", 9101, L"extra", 0});
        setDirectConnection(row.direct);
        testenv::ScopedLogVariable record(L"VRELM_SHAREDIO_LOG");
        std::wstring secondary = L"kept", address = L"kept";
        DWORD valueA = 0xBD, flags = 0, valueB = 0xBD;
        MPrint::PortResolver resolver;
        EXPECT_EQ(resolver.resolve(queue_->name(), secondary, address, valueA, flags, valueB), row.result);
        EXPECT_EQ(record.lines(), row.slots);
        EXPECT_EQ(flags, row.flags);
        EXPECT_EQ(valueA, 11u);
        const bool addressed = row.slots.size() > 1;
        EXPECT_EQ(address, addressed ? L"10.4.4.4" : L"kept");
        // Slot 5 answers an address alone.
        EXPECT_EQ(valueB, addressed && row.slots.back() != "slot 5" ? 9101u : 0xBDu);
        if (row.flags & 0x01000000)
            EXPECT_EQ(secondary, L"extra");
        else
            EXPECT_EQ(secondary, L"kept");
    }
}

TEST_F(PortResolverFixture, FailuresGiveFalse)
{
    std::wstring secondary, address = L"kept";
    DWORD valueA = 0, flags = 0, valueB = 0;
    MPrint::PortResolver resolver;
    {
        // The classification refuses the port.
        testports::ScopedSharedIOPort answer(port_, {0x4, 0, L"10.4.4.4", 0, L"", static_cast<DWORD>(E_FAIL)});
        EXPECT_FALSE(resolver.resolve(queue_->name(), secondary, address, valueA, flags, valueB));
        EXPECT_EQ(address, L"kept");
    }
    {
        // The address slot fails: nothing is copied.
        testports::ScopedSharedIOPort answer(port_, {0x4, 0, L"", 0, L"", 0});
        EXPECT_FALSE(resolver.resolve(queue_->name(), secondary, address, valueA, flags, valueB));
        EXPECT_EQ(address, L"kept");
    }
    EXPECT_FALSE(resolver.resolve(L"No Such Queue", secondary, address, valueA, flags, valueB));
    // Without the component registered nothing resolves.
    HMODULE server = LoadLibraryW((testenv::binDir() + L"\\sharedio\\QZSharedIO.dll").c_str());
    ASSERT_NE(server, nullptr);
    using RegisterFn = HRESULT(WINAPI*)();
    auto unregister =
        reinterpret_cast<RegisterFn>(reinterpret_cast<void*>(GetProcAddress(server, "DllUnregisterServer")));
    auto reregister =
        reinterpret_cast<RegisterFn>(reinterpret_cast<void*>(GetProcAddress(server, "DllRegisterServer")));
    ASSERT_EQ(unregister(), S_OK);
    testports::ScopedSharedIOPort answer(port_, {0x4, 0, L"10.4.4.4", 0, L"", 0});
    EXPECT_FALSE(resolver.resolve(queue_->name(), secondary, address, valueA, flags, valueB));
    EXPECT_EQ(reregister(), S_OK);
    FreeLibrary(server);
}

TEST_F(PortResolverFixture, PrinterInformationGrowsPastTheFirstBuffer)
{
    const std::wstring longComment(800, L'c');
    testspool::control()->setQueueValue(queue_->name().c_str(), L"", L"Description", REG_SZ, longComment.c_str(),
                                        static_cast<DWORD>((longComment.size() + 1) * sizeof(wchar_t)));
    BYTE* info = MPrint::PortResolver::getPrinterInfoByName(queue_->name(), 2);
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(reinterpret_cast<PRINTER_INFO_2W*>(info)->pPortName, port_);
    GlobalFree(info);
    EXPECT_EQ(MPrint::PortResolver::getPrinterInfoByName(L"No Such Queue", 2), nullptr);
}
