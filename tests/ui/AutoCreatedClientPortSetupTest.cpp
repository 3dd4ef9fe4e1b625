// The real destination of a remote-desktop session's queue: the client's
// own printer, the client's "print$" configuration file (over Wine's UNC
// mapping; a folder in its place refuses access), the client's printer
// list, the credentials box when the user allows it, the store through the
// maker's monitor for a user without rights, and ordinary queues left alone.
#include "ui/AutoCreatedClientPortSetup.h"

#include "access/MonitorAccess.h"
#include "bidi/RegistryCache.h"
#include "core/RegistryKey.h"
#include "core/ScopedHandle.h"
#include "core/SettingsKeys.h"
#include "shared/AutoCreatedClientPort.h"
#include "support/DialogDriver.h"
#include "support/MonitorPipeHost.h"
#include "support/SessionPorts.h"
#include "support/SharedState.h"
#include "support/TestEnv.h"
#include "support/TestSpooler.h"
#include "support/UiTestEnv.h"
#include "support/UncServer.h"
#include "ui/resources/ConnectUNCDialogIds.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

VRELM_TEST_SHARES(cluster_node, policy_settings, qzkrvmon_pipe);

using testenv::DialogDriver;
using testspool::ScopedQueue;

namespace {

const std::wstring kPid = std::to_wstring(GetCurrentProcessId());
const std::wstring kClient = L"CL" + kPid;
const std::wstring kSessionPort = L"TS" + std::to_wstring(GetCurrentProcessId() % 100000 + 7);
const std::wstring kSessionQueue = L"Office 1 (from " + kClient + L") in session 2";
const std::wstring kClientQueue = L"\\\\" + kClient + L"\\Office 1";
const std::wstring kConfig = L"print$\\vrelc21.cfg";

// The connection box answered by script: "connecting" makes the refused
// file readable, as a real connection with the right credentials would.
class ScriptedSetup : public AutoCreatedClientPortSetup {
public:
    using AutoCreatedClientPortSetup::AutoCreatedClientPortSetup;
    std::function<INT_PTR()> answer;
    std::vector<std::pair<std::wstring, std::wstring>> asked;

protected:
    INT_PTR askForConnection(const std::wstring& uncPath, const std::wstring& displayText) override
    {
        asked.emplace_back(uncPath, displayText);
        return answer ? answer() : IDCANCEL;
    }
};

class AutoCreatedClientPortSetupTest : public testenv::UiSuite {
protected:
    void SetUp() override
    {
        ASSERT_NE(testspool::control(), nullptr);
        sessionPorts_.add(kSessionPort, kClient + L":  PRN1");
        setPrompt(std::nullopt);
    }

    static void setPrompt(std::optional<DWORD> value)
    {
        RegistryKey settings(HKEY_CURRENT_USER, settingskeys::kSettings, RegistryKey::kWrite, true);
        if (value)
            settings.setDword(L"AutoCreatePrompt", *value);
        else
            settings.deleteValue(L"AutoCreatePrompt");
    }

    // Runs the set-up on the queue; the stored value, or "<none>".
    static std::wstring run(AutoCreatedClientPortSetup& setup, const std::wstring& queue, bool& result,
                            std::wstring& port)
    {
        // As the policy's apply opens it.
        ScopedPrinter printer;
        PRINTER_DEFAULTSW all = {nullptr, nullptr, PRINTER_ALL_ACCESS};
        EXPECT_TRUE(OpenPrinterW(const_cast<wchar_t*>(queue.c_str()), printer.receive(), &all));
        result = setup.run(printer.get(), port);
        std::wstring stored;
        return autocreated::getAutoCreatedClientPort(printer.get(), stored) ? stored : L"<none>";
    }

    testspool::ScopedSessionPorts sessionPorts_{L"Client Session Ports " + kPid};
};

TEST_F(AutoCreatedClientPortSetupTest, TheClientsPrinterItsFileOrItsList)
{
    const std::string officePort = "[Office 1]\r\nport=IP_10.1.1.1\r\n";
    const struct {
        const char* name;
        const wchar_t* description;       // of the session port
        const wchar_t* clientQueuePort;   // the client's "Office 1", if any
        std::optional<std::string> config; // the file; nullopt: a folder refuses access
        bool result;
        const wchar_t* port;
    } rows[] = {
        {"the client's printer leads to a device", L":  PRN1", L"IP_10.0.0.9", officePort, true, L"10.0.0.9"},
        {"the client's file names the port", L":  PRN1", nullptr, officePort, true, L"IP_10.1.1.1"},
        {"the client named only by the queue's name", L"elsewhere", nullptr, officePort, true, L"IP_10.1.1.1"},
        {"no file: the client's list", L":  PRN1", L"Ne01:", std::string(), true, L"Ne01:"},
        {"refused file, no prompt: the client's list", L":  PRN1", L"Ne01:", std::nullopt, true, L"Ne01:"},
        {"an over-long port in the file is refused", L":  PRN1", L"Ne01:",
         "[Office 1]\r\nport=" + std::string(2000, 'x') + "\r\n", true, L"Ne01:"},
        {"a file about other printers, no list", L":  PRN1", nullptr, "[Office 2]\r\nport=IP_10.2.2.2\r\n", false,
         L"<none>"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        sessionPorts_.add(kSessionPort, row.description[0] == L':' ? kClient + row.description : row.description);
        testenv::UncServer client(kClient);
        ASSERT_TRUE(client.ready());
        if (!row.config) {
            ASSERT_TRUE(client.makeFolder(kConfig));
        } else if (!row.config->empty()) {
            ASSERT_TRUE(client.writeFile(kConfig, *row.config));
        }
        std::optional<ScopedQueue> clientQueue;
        if (row.clientQueuePort)
            clientQueue.emplace(kClientQueue, L"Vrelm Test Driver", row.clientQueuePort);
        ScopedQueue session(kSessionQueue, L"Vrelm Test Driver", kSessionPort);
        ASSERT_EQ(session.error(), DWORD{ERROR_SUCCESS});

        DialogDriver driver(3000);
        ScriptedSetup setup(extension());
        bool result = false;
        std::wstring port = L"stale";
        EXPECT_EQ(row.port, run(setup, session.name(), result, port));
        EXPECT_EQ(row.result, result);
        EXPECT_EQ(row.result ? row.port : L"", port);
        EXPECT_TRUE(setup.asked.empty());
        EXPECT_TRUE(driver.dialogsSeen().empty());
    }
}

TEST_F(AutoCreatedClientPortSetupTest, TheFileImportsTheBidiCacheUnderThePortAndModel)
{
    testenv::UncServer client(kClient);
    ASSERT_TRUE(client.writeFile(kConfig, "[Office 1]\r\nmodel=QZ LaserPro 4000\r\ncreg=office.creg\r\n"));
    ASSERT_TRUE(client.writeFile(L"print$\\office.creg", "cache bytes"));
    ScopedQueue session(kSessionQueue, L"Vrelm Test Driver", kSessionPort);
    MPrint::RegistryCache cache(nullptr);
    const std::wstring imported =
        cache.cachePath(MPrint::RegistryCache::makeCacheName(kSessionPort + L"QZ LaserPro 4000"));
    DeleteFileW(imported.c_str());

    ScriptedSetup setup(extension());
    bool result = false;
    std::wstring port;
    EXPECT_EQ(L"<none>", run(setup, session.name(), result, port));
    EXPECT_TRUE(result) << "the import succeeded, though no port was named";
    EXPECT_EQ(L"", port);
    EXPECT_EQ("cache bytes", testenv::readFile(imported));
    DeleteFileW(imported.c_str());
}

TEST_F(AutoCreatedClientPortSetupTest, ARefusedShareAsksForCredentialsWhenTheUserAllowsIt)
{
    setPrompt(1);
    testenv::UncServer client(kClient);
    ASSERT_TRUE(client.makeFolder(kConfig));
    ScopedQueue session(kSessionQueue, L"Vrelm Test Driver", kSessionPort);

    // Cancel in the real box ends the retries; the client lists nothing.
    {
        DialogDriver driver;
        std::wstring shown;
        driver.onDialog([&](HWND box) {
            shown = DialogDriver::text(box, IDC_CONNECT_PATH);
            DialogDriver::click(box, IDCANCEL);
        });
        AutoCreatedClientPortSetup setup(extension());
        bool result = true;
        std::wstring port;
        EXPECT_EQ(L"<none>", run(setup, session.name(), result, port));
        EXPECT_FALSE(result);
        EXPECT_EQ(L"\\\\" + kClient + L"\\Office 1", shown);
        EXPECT_EQ(1u, driver.dialogsSeen().size());
    }

    // Connected: the file is read on the next try.
    ScriptedSetup setup(extension());
    setup.answer = [&] {
        testenv::removeTree(client.local(kConfig));
        client.writeFile(kConfig, "[Office 1]\r\nport=IP_10.1.1.1\r\n");
        return INT_PTR{IDOK};
    };
    bool result = false;
    std::wstring port;
    EXPECT_EQ(L"IP_10.1.1.1", run(setup, session.name(), result, port));
    EXPECT_TRUE(result);
    ASSERT_EQ(1u, setup.asked.size());
    EXPECT_EQ(L"\\\\" + kClient + L"\\print$", setup.asked[0].first);
    EXPECT_EQ(L"\\\\" + kClient + L"\\Office 1", setup.asked[0].second);

    // A share that stays refused asks again until the user gives up.
    int answers = 0;
    ASSERT_TRUE(DeleteFileW(client.local(kConfig).c_str()));
    ASSERT_TRUE(client.makeFolder(kConfig));
    setup.asked.clear();
    setup.answer = [&] { return INT_PTR{++answers < 3 ? IDOK : IDCANCEL}; };
    EXPECT_EQ(L"IP_10.1.1.1", run(setup, session.name(), result, port)) << "the earlier value stays";
    EXPECT_FALSE(result);
    EXPECT_EQ(3u, setup.asked.size());
}

TEST_F(AutoCreatedClientPortSetupTest, AUserWithoutRightsStoresThroughTheMonitor)
{
    ASSERT_TRUE(qzmon::registerStandInMonitors());
    MonitorPipeHost host;
    ASSERT_TRUE(host.ready());
    testenv::UncServer client(kClient);
    ASSERT_TRUE(client.writeFile(kConfig, "[Office 1]\r\nport=IP_10.1.1.1\r\n"));
    ScopedQueue session(kSessionQueue, L"Vrelm Test Driver", kSessionPort);
    ScopedPrinter printer;
    ASSERT_TRUE(OpenPrinterW(const_cast<wchar_t*>(session.name().c_str()), printer.receive(), nullptr));
    bool result = false;
    std::wstring port;
    {
        testspool::ScopedUserRights user;
        result = AutoCreatedClientPortSetup(extension()).run(printer.get(), port);
    }
    EXPECT_TRUE(result);
    std::wstring stored;
    EXPECT_TRUE(autocreated::getAutoCreatedClientPort(printer.get(), stored));
    EXPECT_EQ(L"IP_10.1.1.1", stored);
}

TEST_F(AutoCreatedClientPortSetupTest, QueuesOffClientPortsAreLeftAlone)
{
    // Named like a session's queue, but on a network port: no client to ask.
    testenv::UncServer copy(L"1");
    ASSERT_TRUE(copy.writeFile(kConfig, "[Laser]\r\nport=IP_10.1.1.1\r\n"));
    ScopedQueue laser(testspool::uniqueQueueName(L"Laser") + L" (Copy 1)", L"Vrelm Test Driver", L"IP_10.5.5.5");
    ScriptedSetup setup(extension());
    bool result = true;
    std::wstring port;
    EXPECT_EQ(L"<none>", run(setup, laser.name(), result, port));
    EXPECT_FALSE(result);
    EXPECT_FALSE(setup.run(nullptr, port));
}

} // namespace
