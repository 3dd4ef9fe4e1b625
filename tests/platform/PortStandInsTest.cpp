// The remote-port module and the shared I/O server stand-ins, called
// directly as their own clients would.
#include "shared/RemotePortExports.h"
#include "shared/SharedIOInterface.h"
#include "support/PortStandIns.h"
#include "support/SharedState.h"
#include "support/TestEnv.h"
#include "support/TestSpooler.h"

#include <gtest/gtest.h>

VRELM_TEST_SHARES(shared_io);

using ScopedCallRecord = testenv::ScopedLogVariable;

namespace {

struct RemotePortModule {
    explicit RemotePortModule(const std::wstring& variant)
        : module(LoadLibraryW((testports::remotePortDir(variant) + L"\\vrelm109.dll").c_str()))
    {
        name = reinterpret_cast<remoteport::GetRemotePortNameFn>(
            reinterpret_cast<void*>(GetProcAddress(module, "GetRemotePortName")));
        info = reinterpret_cast<remoteport::GetRemotePortInformationFn>(
            reinterpret_cast<void*>(GetProcAddress(module, "GetRemotePortInformation")));
        free = reinterpret_cast<remoteport::FreeQZStringFn>(
            reinterpret_cast<void*>(GetProcAddress(module, "FreeQZString")));
    }
    ~RemotePortModule()
    {
        if (module)
            FreeLibrary(module);
    }
    HMODULE module;
    remoteport::GetRemotePortNameFn name = nullptr;
    remoteport::GetRemotePortInformationFn info = nullptr;
    remoteport::FreeQZStringFn free = nullptr;
};

std::wstring textOf(const wchar_t* text)
{
    return text ? text : L"(null)";
}

} // namespace

TEST(RemotePortStandIn, AnswersThePortOfAServersQueueAndRecordsEveryCall)
{
    ASSERT_NE(testspool::control(), nullptr);
    const std::wstring serverName = L"RP" + std::to_wstring(GetCurrentProcessId());
    const std::wstring server = L"\\\\" + serverName;
    const std::wstring printer = testspool::uniqueQueueName(L"Laser");
    testspool::ScopedQueue queue(server + L"\\" + printer, L"Remote Driver", L"IP_10.0.0.9");
    ASSERT_EQ(queue.error(), DWORD{ERROR_SUCCESS});
    ASSERT_EQ(testspool::control()->addServerPort(server.c_str(), L"IP_10.0.0.9", L"tcpmon.dll",
                                                  L"Standard TCP/IP Port"),
              DWORD{ERROR_SUCCESS});
    RemotePortModule module(L"full");
    ASSERT_TRUE(module.name && module.info && module.free);
    ScopedCallRecord record(L"VRELM_REMOTEPORT_LOG");

    wchar_t* port = nullptr;
    ASSERT_EQ(module.name(printer.c_str(), serverName.c_str(), &port), 0u);
    EXPECT_EQ(textOf(port), L"IP_10.0.0.9");
    wchar_t *address = nullptr, *monitor = nullptr, *description = nullptr;
    ASSERT_EQ(module.info(port, serverName.c_str(), &address, &monitor, &description), 0u);
    EXPECT_EQ(textOf(address), L"10.0.0.9");
    EXPECT_EQ(textOf(monitor), L"tcpmon.dll");
    EXPECT_EQ(textOf(description), L"Standard TCP/IP Port");
    for (wchar_t* text : {port, address, monitor, description, static_cast<wchar_t*>(nullptr)})
        module.free(text);
    EXPECT_EQ(record.count("GetRemotePortName"), 1u);
    EXPECT_EQ(record.count("GetRemotePortInformation"), 1u);
    EXPECT_EQ(record.count("FreeQZString"), 5u);

    // An unknown queue fails and hands out nothing; a forced failure hands out a text first.
    port = nullptr;
    EXPECT_NE(module.name(L"No Such Printer", serverName.c_str(), &port), 0u);
    EXPECT_EQ(port, nullptr);
    SetEnvironmentVariableW(L"VRELM_REMOTEPORT_FAIL", L"GetRemotePortName");
    EXPECT_EQ(module.name(printer.c_str(), serverName.c_str(), &port), DWORD{ERROR_ACCESS_DENIED});
    SetEnvironmentVariableW(L"VRELM_REMOTEPORT_FAIL", nullptr);
    EXPECT_EQ(textOf(port), L"partial");
    module.free(port);

    RemotePortModule nofree(L"nofree");
    EXPECT_NE(nofree.name, nullptr);
    EXPECT_EQ(nofree.free, nullptr);
}

TEST(SharedIOStandIn, ClassifiesConfiguredPortsAndAnswersTheirAddress)
{
    ASSERT_TRUE(testports::registerSharedIO());
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    const std::wstring port = L"SIO_" + std::to_wstring(GetCurrentProcessId());
    testports::ScopedSharedIOPort answer(port, {0x4, 7, L"10.1.2.3", 9101, L"extra", 0});
    ScopedCallRecord record(L"VRELM_SHAREDIO_LOG");
    sharedio::ISharedPortIO* io = nullptr;
    ASSERT_EQ(CoCreateInstance(sharedio::kClassId, nullptr, CLSCTX_ALL, sharedio::kInterfaceId,
                               reinterpret_cast<void**>(&io)),
              S_OK);
    DWORD flags = 0, value = 0;
    EXPECT_EQ(io->ClassifyPort(L"Queue", port.c_str(), &flags, &value), S_OK);
    EXPECT_EQ(flags, 0x4u);
    EXPECT_EQ(value, 7u);
    wchar_t* address = nullptr;
    DWORD valueB = 0;
    EXPECT_EQ(io->GetAddress4(&address, &valueB), S_OK);
    EXPECT_EQ(textOf(address), L"10.1.2.3");
    EXPECT_EQ(valueB, 9101u);
    CoTaskMemFree(address);
    wchar_t* secondary = nullptr;
    EXPECT_EQ(io->GetSecondaryText(&secondary), S_OK);
    EXPECT_EQ(textOf(secondary), L"extra");
    CoTaskMemFree(secondary);
    // An unknown port classifies with no flags.
    EXPECT_EQ(io->ClassifyPort(L"Queue", L"NO_SUCH_PORT", &flags, &value), S_OK);
    EXPECT_EQ(flags, 0u);
    EXPECT_EQ(io->Release(), 0u);
    EXPECT_EQ(record.lines(), (std::vector<std::string>{"slot 3", "slot 7", "slot 10", "slot 3"}));
    CoUninitialize();
}
